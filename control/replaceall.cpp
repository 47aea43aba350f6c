// Find and replace steps of the control: selecting a match, replacing at a
// match, and Replace all.
//
// Replace all gives the result of replacing the matches one by one (select
// the match, ReplaceSelection, search again behind the replacement), but
// rewrites the document in one pass: replacing one match at a time moves
// the rest of the document for every match, so a document with many
// matches would take time proportional to matches × length. The work:
//   1. one scan counts the matches and finds the last one;
//   2. a second scan writes the document with every match but the last one
//      replaced: into a new working file when the length changes, in place
//      when it does not; the undo steps the single replacements would have
//      left (the newest 100) are recorded from what the scan saw;
//   3. the last match is replaced with ReplaceMatch itself, which leaves the
//      caret, the selection and the change marks exactly as the one-by-one
//      replacement does.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "control/matcher.h"

namespace byteloom {

namespace {

constexpr int64_t kPiece = int64_t{1} << 20;

// Walks the leftmost matches in [from, end) of the document, each search
// starting behind the match before. onMatch(pos, at) gets every match with
// its bytes at `at` (a piece in memory, which onMatch may change: those
// bytes are not looked at again). onFinal(piece, piecePos, finalEnd) follows
// once per piece: every match before finalEnd has been reported, and the
// piece holds the bytes from piecePos to finalEnd; false stops the walk.
template <class OnMatch, class OnFinal>
void ScanMatches(TByteSource& document, const TPatternMatcher& matcher, int32_t count, int64_t from, int64_t end,
                 OnMatch&& onMatch, OnFinal&& onFinal) {
  const int64_t overlap = count - 1;
  TPieceReader pieces(document, from, end, overlap, kPiece);
  int64_t searchFrom = from;
  for (int64_t keep = from; pieces.Next(keep);) {
    uint8_t* const buf = pieces.Data();
    for (;;) {
      const int64_t off = searchFrom - pieces.Pos();
      const int64_t hit = matcher.First(buf + off, pieces.Size() - off);
      if (hit < 0) break;
      onMatch(searchFrom + hit, buf + off + hit);
      searchFrom += hit + count;
    }
    // The last count - 1 bytes may begin a match that the next piece completes.
    keep = pieces.Last() ? pieces.End() : std::max(searchFrom, pieces.End() - overlap);
    if (!onFinal(static_cast<const uint8_t*>(buf), pieces.Pos(), keep)) return;
    searchFrom = std::max(searchFrom, keep);  // no match starts before keep
  }
}

// Writes a file from a position on, in large pieces.
class TSequentialWriter {
 public:
  TSequentialWriter(TFileHandle& file, int64_t pos) : FFile(file), FPos(pos), FBuf(static_cast<size_t>(kPiece)) {}
  void Put(const uint8_t* p, int64_t n) {
    if (n <= 0) return;
    if (FUsed + n > kPiece) Flush();
    if (n >= kPiece) {
      FFile.WriteAt(p, n, FPos);
      FPos += n;
      return;
    }
    std::memcpy(FBuf.data() + FUsed, p, static_cast<size_t>(n));
    FUsed += n;
  }
  void Flush() {
    if (FUsed > 0) FFile.WriteAt(FBuf.data(), FUsed, FPos);
    FPos += FUsed;
    FUsed = 0;
  }
  // Where the next bytes go, once flushed.
  int64_t Pos() const { return FPos; }

 private:
  TFileHandle& FFile;
  int64_t FPos;
  std::vector<uint8_t> FBuf;
  int64_t FUsed = 0;
};

// The newest replacements (up to the undo limit): where each one went and
// the bytes it took away.
class TPassRing {
 public:
  TPassRing(int capacity, int32_t count)
      : FCapacity(capacity), FCount(count), FPos(static_cast<size_t>(capacity)),
        FOld(static_cast<size_t>(capacity) * static_cast<size_t>(count)) {}
  // Pass number Passes() + 1 put its replacement at pos.
  void Add(int32_t pos, const uint8_t* old) {
    const size_t slot = Slot(FPasses + 1);
    FPos[slot] = pos;
    std::memcpy(FOld.data() + slot * static_cast<size_t>(FCount), old, static_cast<size_t>(FCount));
    ++FPasses;
    FHeld = std::min(FHeld + 1, FCapacity);
  }
  // Forgets the passes after pass number `passes`.
  void Truncate(int64_t passes) {
    FHeld = static_cast<int>(std::max<int64_t>(0, FHeld - (FPasses - passes)));
    FPasses = passes;
  }
  int64_t Passes() const { return FPasses; }
  // The passes held are Passes() - Held() + 1 .. Passes().
  int Held() const { return FHeld; }
  int32_t Pos(int64_t pass) const { return FPos[Slot(pass)]; }
  const uint8_t* Old(int64_t pass) const { return FOld.data() + Slot(pass) * static_cast<size_t>(FCount); }

 private:
  size_t Slot(int64_t pass) const { return static_cast<size_t>((pass - 1) % FCapacity); }
  int FCapacity;
  int32_t FCount;
  std::vector<int32_t> FPos;
  std::vector<uint8_t> FOld;
  int64_t FPasses = 0;
  int FHeld = 0;
};

}  // namespace

void THexEditor::SelectMatch(int32_t pos, int32_t count) {
  SetSelStart(pos + count - 1);
  SetSelEnd(pos);
}

void THexEditor::ReplaceMatch(int32_t pos, int32_t count, const uint8_t* data, int32_t dataCount) {
  SelectMatch(pos, count);
  ReplaceSelection(data, dataCount);
}

int32_t THexEditor::ReplaceAll(const uint8_t* pattern, int32_t count, bool ignoreCase, int32_t firstMatch,
                               const uint8_t* data, int32_t dataCount, const TProgress& progress) {
  const int32_t size = DataSize();
  if (pattern == nullptr || count < 1 || dataCount < 0 || (dataCount > 0 && data == nullptr) || firstMatch < 0 ||
      int64_t{firstMatch} + count > size)
    throw EHexEditorError("Invalid ReplaceAll argument");
  std::vector<uint8_t> pat(pattern, pattern + count);
  PrepareSearchPattern(TTranslationType::ttAnsi, ignoreCase, pat.data(), count);
  const TPatternMatcher matcher(pat.data(), count, SearchFold(ignoreCase));
  TWaitCursor wait(*this);
  TEditorSource document(*this);
  const int64_t span = size - int64_t{firstMatch};
  // False once the user has stopped the work.
  bool stopped = false;
  auto report = [&](int64_t done) {
    stopped = stopped || (progress && !progress(done, 2 * span));
    return !stopped;
  };

  // 1. How many matches, and where the last one is.
  int64_t matches = 0, last = -1;
  ScanMatches(
      document, matcher, count, firstMatch, size,
      [&](int64_t pos, uint8_t*) {
        ++matches;
        last = pos;
      },
      [&](const uint8_t*, int64_t, int64_t end) { return report(end - firstMatch); });
  if (matches == 0 || stopped) return 0;
  const int64_t delta = int64_t{dataCount} - count;
  const int64_t finalSize = size + matches * delta;
  // A document that would outgrow the limit is refused before anything changes.
  if (finalSize > kMaxDocumentSize) ReserveDocument(finalSize);

  int64_t replaced = 0;
  if (matches > 1) {
    NoteChangeComing();
    TEditTransaction edit(*this);
    const TDocumentStore::TChange change(FStore);
    // 2. Every match but the last one, in one pass.
    GetPosAtCell(Col(), Row());
    const bool inChar = FInCharField;
    const bool modifiedBefore = FModified;
    TPassRing ring(kMaxUndo, count);
    auto onFinalReport = [&](int64_t end) { return report(span + end - firstMatch); };
    // The undo steps of the passes held, oldest first, as the single
    // replacements record them (after selecting the match). A list that
    // could not take them all is emptied: it would not fit the document.
    auto recordSteps = [&] {
      try {
        for (int64_t pass = ring.Passes() - ring.Held() + 1; pass <= ring.Passes(); ++pass) {
          const int32_t at = ring.Pos(pass);
          TUndoState state;
          state.Caret = at + count - 1;
          state.InChar = inChar;
          state.SelMin = at;
          state.SelMax = state.SelAnchor = at + count - 1;
          state.Modified = pass == 1 ? modifiedBefore : true;
          edit.RecordMade(TUndoKind::ukReplaceSelection, at, count, dataCount, state, ring.Old(pass));
        }
      } catch (...) {
        ResetUndo();
        throw;
      }
    };
    // The document has changed: what every replacement leaves behind.
    auto afterChange = [&] {
      if (ring.Passes() > 0) SetModified(true);
      LengthChanged(ring.Passes() > 0 ? firstMatch : -1);
      PostStateChange();
    };
    if (delta != 0) {
      // The new document goes to a new working file; the old one stays
      // untouched until the new one is complete.
      TTempFile scratch;
      try {
        scratch = NewWorkFile();
        // Room for the last replacement too: it is made in this file.
        scratch.Handle().TryReserve(size + matches * delta);
        scratch.Handle().Reserve(size + (matches - 1) * delta);
        CopyData(Data(), 0, scratch.Handle(), 0, firstMatch);
        TSequentialWriter out(scratch.Handle(), firstMatch);
        int64_t copied = firstMatch;
        ScanMatches(
            document, matcher, count, firstMatch, size,
            [&](int64_t pos, uint8_t* at) {
              if (pos == last) return;  // replaced on its own below
              out.Put(at - (pos - copied), pos - copied);
              ring.Add(static_cast<int32_t>(pos + ring.Passes() * delta), at);
              out.Put(data, dataCount);
              copied = pos + count;
            },
            [&](const uint8_t* piece, int64_t piecePos, int64_t end) {
              out.Put(piece + (copied - piecePos), end - copied);
              copied = end;
              return onFinalReport(end);
            });
        out.Flush();
        if (stopped) {
          // The rest of the document follows unchanged.
          CopyData(Data(), copied, scratch.Handle(), out.Pos(), size - copied);
          scratch.Handle().SetSize(out.Pos() + size - copied);
        }
      } catch (const EFileError& e) {
        ThrowNoSpace(e, "for Replace all; nothing was replaced");
      }
      recordSteps();
      AdoptWorkFile(std::move(scratch));
      afterChange();
      edit.Commit();
    } else {
      // Same length: the bytes are overwritten in place, a piece at a time.
      // A piece that cannot be written is put back, and the document keeps
      // the replacements of the pieces before it.
      std::vector<int64_t> piecePositions;
      std::vector<uint8_t> pieceOld;
      int64_t passesBeforePiece = 0;
      try {
        ScanMatches(
            document, matcher, count, firstMatch, size,
            [&](int64_t pos, uint8_t* at) {
              if (pos == last) return;
              ring.Add(static_cast<int32_t>(pos), at);
              piecePositions.push_back(pos);
              pieceOld.insert(pieceOld.end(), at, at + count);
              std::memcpy(at, data, static_cast<size_t>(count));
            },
            [&](const uint8_t* piece, int64_t piecePos, int64_t end) {
              if (!piecePositions.empty()) {
                const int64_t a = piecePositions.front(), b = piecePositions.back() + count;
                Data().WriteAt(piece + (a - piecePos), b - a, a);
              }
              piecePositions.clear();
              pieceOld.clear();
              passesBeforePiece = ring.Passes();
              return onFinalReport(end);
            });
      } catch (...) {
        for (size_t i = 0; i < piecePositions.size(); ++i) {
          try {
            Data().WriteAt(pieceOld.data() + i * static_cast<size_t>(count), count, piecePositions[i]);
          } catch (const std::exception&) {
          }
        }
        ring.Truncate(passesBeforePiece);
        afterChange();
        recordSteps();
        edit.Commit();  // the pieces written before stay, with their steps
        throw;
      }
      SetModified(true);
      afterChange();
      recordSteps();
      edit.Commit();
    }
    replaced = ring.Passes();
  }

  // Stopped by the user: the matches replaced so far stay replaced.
  if (stopped) return static_cast<int32_t>(replaced);
  // 3. The last match, replaced as a single replacement is.
  ReplaceMatch(static_cast<int32_t>(last + (matches - 1) * delta), count, data, dataCount);
  report(2 * span);
  return static_cast<int32_t>(matches);
}

}  // namespace byteloom
