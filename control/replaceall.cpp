// SPDX-License-Identifier: GPL-3.0-or-later
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

// One Replace all: the pattern, the replacement, what the first scan found,
// and the passes of step 2 with their undo steps.
struct THexEditor::TReplaceRun {
  TReplaceRun(THexEditor& editor, const uint8_t* pattern, int32_t count, bool ignoreCase, int32_t firstMatch,
              const uint8_t* data, int32_t dataCount, const TProgress& progress)
      : Pattern(Folded(pattern, count, ignoreCase)),
        Matcher(Pattern.data(), count, SearchFold(ignoreCase)),
        Document(editor),
        Count(count),
        FirstMatch(firstMatch),
        Size(editor.DataSize()),
        Span(Size - int64_t{firstMatch}),
        Data(data),
        DataCount(dataCount),
        Delta(int64_t{dataCount} - count),
        Progress(progress),
        Ring(kMaxUndo, count) {}

  static std::vector<uint8_t> Folded(const uint8_t* pattern, int32_t count, bool ignoreCase) {
    std::vector<uint8_t> pat(pattern, pattern + count);
    PrepareSearchPattern(TTranslationType::ttAnsi, ignoreCase, pat.data(), count);
    return pat;
  }
  // Progress over both scans; false once the user has stopped the work.
  bool Report(int64_t done) {
    Stopped = Stopped || (Progress && !Progress(done, 2 * Span));
    return !Stopped;
  }
  bool FinalReport(int64_t end) { return Report(Span + end - FirstMatch); }
  template <class OnMatch, class OnFinal>
  void Scan(OnMatch&& onMatch, OnFinal&& onFinal) {
    ScanMatches(Document, Matcher, Count, FirstMatch, Size, onMatch, onFinal);
  }

  std::vector<uint8_t> Pattern;
  TPatternMatcher Matcher;
  TEditorSource Document;
  int32_t Count, FirstMatch;
  int32_t Size;
  int64_t Span;
  const uint8_t* Data;
  int32_t DataCount;
  int64_t Delta;
  const TProgress& Progress;
  bool Stopped = false;
  int64_t Matches = 0, Last = -1;  // found by the first scan
  // Step 2: the passes made, and where the caret was before.
  TPassRing Ring;
  bool InChar = false, ModifiedBefore = false;
};

int32_t THexEditor::ReplaceAll(const uint8_t* pattern, int32_t count, bool ignoreCase, int32_t firstMatch,
                               const uint8_t* data, int32_t dataCount, const TProgress& progress) {
  const int32_t size = DataSize();
  if (pattern == nullptr || count < 1 || dataCount < 0 || (dataCount > 0 && data == nullptr) || firstMatch < 0 ||
      int64_t{firstMatch} + count > size)
    throw EHexEditorError("Invalid ReplaceAll argument");
  TReplaceRun run(*this, pattern, count, ignoreCase, firstMatch, data, dataCount, progress);
  TWaitCursor wait(*this);

  // 1. How many matches, and where the last one is.
  run.Scan(
      [&](int64_t pos, uint8_t*) {
        ++run.Matches;
        run.Last = pos;
      },
      [&](const uint8_t*, int64_t, int64_t end) { return run.Report(end - firstMatch); });
  if (run.Matches == 0 || run.Stopped) return 0;
  const int64_t finalSize = size + run.Matches * run.Delta;
  // A document that would outgrow the limit is refused before anything changes.
  if (finalSize > kMaxDocumentSize) ReserveDocument(finalSize);

  // 2. Every match but the last one, in one pass.
  if (run.Matches > 1) {
    NoteChangeComing();
    TEditTransaction edit(*this);
    const TDocumentStore::TChange change(FStore);
    GetPosAtCell(Col(), Row());
    run.InChar = FInCharField;
    run.ModifiedBefore = FModified;
    if (run.Delta != 0) ReplaceIntoNewFile(run, edit);
    else ReplaceInPlace(run, edit);
  }

  // Stopped by the user: the matches replaced so far stay replaced.
  if (run.Stopped) return static_cast<int32_t>(run.Ring.Passes());
  // 3. The last match, replaced as a single replacement is.
  ReplaceMatch(static_cast<int32_t>(run.Last + (run.Matches - 1) * run.Delta), count, data, dataCount);
  run.Report(2 * run.Span);
  return static_cast<int32_t>(run.Matches);
}

void THexEditor::RecordReplaceSteps(TReplaceRun& run, TEditTransaction& edit) {
  // The undo steps of the passes held, oldest first, as the single
  // replacements record them (after selecting the match). A list that could
  // not take them all is emptied: it would not fit the document.
  try {
    for (int64_t pass = run.Ring.Passes() - run.Ring.Held() + 1; pass <= run.Ring.Passes(); ++pass) {
      const int32_t at = run.Ring.Pos(pass);
      TUndoState state;
      state.Caret = at + run.Count - 1;
      state.InChar = run.InChar;
      state.SelMin = at;
      state.SelMax = state.SelAnchor = at + run.Count - 1;
      state.Modified = pass == 1 ? run.ModifiedBefore : true;
      edit.RecordMade(TUndoKind::ukReplaceSelection, at, run.Count, run.DataCount, state, run.Ring.Old(pass));
    }
  } catch (...) {
    ResetUndo();
    throw;
  }
}

void THexEditor::ReplacePassDone(TReplaceRun& run) {
  // What every replacement leaves behind: the document changed, its marks
  // from the first match on go, the rows follow the length.
  if (run.Ring.Passes() > 0) SetModified(true);
  BytesChanged(run.Ring.Passes() > 0 ? run.FirstMatch : -1);
  PostStateChange();
}

void THexEditor::ReplaceIntoNewFile(TReplaceRun& run, TEditTransaction& edit) {
  // The new document goes to a new working file; the old one stays untouched
  // until the new one is complete.
  TTempFile scratch;
  try {
    scratch = NewWorkFile();
    // Room for the last replacement too: it is made in this file.
    scratch.Handle().TryReserve(run.Size + run.Matches * run.Delta);
    scratch.Handle().Reserve(run.Size + (run.Matches - 1) * run.Delta);
    CopyData(Data(), 0, scratch.Handle(), 0, run.FirstMatch);
    TSequentialWriter out(scratch.Handle(), run.FirstMatch);
    int64_t copied = run.FirstMatch;
    run.Scan(
        [&](int64_t pos, uint8_t* at) {
          if (pos == run.Last) return;  // replaced on its own in step 3
          out.Put(at - (pos - copied), pos - copied);
          run.Ring.Add(static_cast<int32_t>(pos + run.Ring.Passes() * run.Delta), at);
          out.Put(run.Data, run.DataCount);
          copied = pos + run.Count;
        },
        [&](const uint8_t* piece, int64_t piecePos, int64_t end) {
          out.Put(piece + (copied - piecePos), end - copied);
          copied = end;
          return run.FinalReport(end);
        });
    out.Flush();
    if (run.Stopped) {
      // The rest of the document follows unchanged.
      CopyData(Data(), copied, scratch.Handle(), out.Pos(), run.Size - copied);
      scratch.Handle().SetSize(out.Pos() + run.Size - copied);
    }
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for Replace all; nothing was replaced");
  }
  // The steps go in before the new file takes the old one's place: a list
  // that cannot take them leaves the document as it was.
  RecordReplaceSteps(run, edit);
  AdoptWorkFile(std::move(scratch));
  ReplacePassDone(run);
  edit.Commit();
}

void THexEditor::ReplaceInPlace(TReplaceRun& run, TEditTransaction& edit) {
  // Same length: the bytes are overwritten in place, a piece at a time. A
  // piece that cannot be written is put back, and the document keeps the
  // replacements of the pieces before it, with their steps.
  std::vector<int64_t> piecePositions;
  std::vector<uint8_t> pieceOld;
  int64_t passesBeforePiece = 0;
  auto finish = [&] {
    ReplacePassDone(run);
    RecordReplaceSteps(run, edit);
    edit.Commit();
  };
  try {
    run.Scan(
        [&](int64_t pos, uint8_t* at) {
          if (pos == run.Last) return;
          run.Ring.Add(static_cast<int32_t>(pos), at);
          piecePositions.push_back(pos);
          pieceOld.insert(pieceOld.end(), at, at + run.Count);
          std::memcpy(at, run.Data, static_cast<size_t>(run.Count));
        },
        [&](const uint8_t* piece, int64_t piecePos, int64_t end) {
          if (!piecePositions.empty()) {
            const int64_t a = piecePositions.front(), b = piecePositions.back() + run.Count;
            Data().WriteAt(piece + (a - piecePos), b - a, a);
          }
          piecePositions.clear();
          pieceOld.clear();
          passesBeforePiece = run.Ring.Passes();
          return run.FinalReport(end);
        });
  } catch (...) {
    for (size_t i = 0; i < piecePositions.size(); ++i) {
      try {
        Data().WriteAt(pieceOld.data() + i * static_cast<size_t>(run.Count), run.Count, piecePositions[i]);
      } catch (const std::exception&) {
      }
    }
    run.Ring.Truncate(passesBeforePiece);
    finish();  // the pieces written before stay, with their steps
    throw;
  }
  SetModified(true);
  finish();
}

}  // namespace byteloom
