// SPDX-License-Identifier: GPL-3.0-or-later
// Find and replace steps of the control: selecting a match, replacing at a
// match, and Replace all.
//
// Replace all gives the result of replacing the matches one by one (select
// the match, ReplaceSelection, search again behind the replacement), but
// rewrites the document in one pass: replacing one match at a time moves
// the rest of the document for every match, so a document with many
// matches would take time proportional to matches × length. The work:
//   1. one scan counts the matches and finds the newest 100;
//   2. a second scan replaces the older ones (no undo step would be kept
//      for them), a piece of the scan at a time with one journal write:
//      where the matches lie close together, the piece's stretch from the
//      first to the last is added anew with its replacements and spliced in
//      once; else the replacements are added as one stretch and each match
//      is a splice;
//   3. the newest 100 are replaced with ReplaceMatch itself, which leaves
//      the undo steps, the caret, the selection and the change marks exactly
//      as the one-by-one replacement does.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <limits>
#include <vector>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "control/matcher.h"

namespace byteloom {

namespace {

constexpr int64_t kPiece = int64_t{1} << 20;
// Where the matches of a piece of the scan lie closer than this on average,
// the stretch from the first to the end of the last is written anew as one
// piece (a splice per match would cost more than writing the bytes, and
// would make a piece per match).
constexpr int64_t kDenseGap = 1024;

bool Dense(int64_t stretch, int64_t matches) { return stretch <= matches * kDenseGap; }

// Walks the leftmost matches in [from, end) of the document, each search
// starting behind the match before. onMatch(pos, at) gets every match with
// its bytes at `at` (a piece in memory, which onMatch may change: those
// bytes are not looked at again). onFinal(piece, piecePos, finalEnd) follows
// once per piece: every match before finalEnd has been reported, and the
// piece holds the bytes from piecePos to finalEnd; false stops the walk.
template <class OnMatch, class OnFinal>
void ScanMatches(TByteSource& document, const TPatternMatcher& matcher, int64_t count, int64_t from, int64_t end,
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

// The document as it was before Replace all began: once the passes before a
// position have changed the length, it is read that much further on.
class TShiftedSource final : public TByteSource {
 public:
  TShiftedSource(THexEditor& editor, int64_t size) : FEditor(editor), FSize(size) {}
  int64_t Size() override { return FSize; }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override { FEditor.Document().Read(pos + Shift, count, dest); }
  int64_t Shift = 0;

 private:
  THexEditor& FEditor;
  int64_t FSize;
};

}  // namespace

void THexEditor::SelectMatch(int64_t pos, int64_t count) {
  SetSelStart(pos + count - 1);
  SetSelEnd(pos);
}

void THexEditor::ReplaceMatch(int64_t pos, int64_t count, const uint8_t* data, int64_t dataCount) {
  SelectMatch(pos, count);
  ReplaceSelection(data, dataCount);
}

// One Replace all: the pattern, the replacement, and what the first scan
// found.
struct THexEditor::TReplaceRun {
  TReplaceRun(THexEditor& editor, const uint8_t* pattern, int64_t count, bool ignoreCase, int64_t firstMatch,
              const uint8_t* data, int64_t dataCount, const TProgress& progress)
      : Pattern(Folded(pattern, count, ignoreCase)),
        Matcher(Pattern.data(), count, SearchFold(ignoreCase)),
        Document(editor, editor.DataSize()),
        Count(count),
        FirstMatch(firstMatch),
        Size(editor.DataSize()),
        Span(Size - firstMatch),
        Data(data),
        DataCount(dataCount),
        Delta(dataCount - count),
        Progress(progress) {}

  static std::vector<uint8_t> Folded(const uint8_t* pattern, int64_t count, bool ignoreCase) {
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
  TShiftedSource Document;
  int64_t Count, FirstMatch;
  int64_t Size;
  int64_t Span;
  const uint8_t* Data;
  int64_t DataCount;
  int64_t Delta;
  const TProgress& Progress;
  bool Stopped = false;
  int64_t Matches = 0;       // found by the first scan
  std::deque<int64_t> Tail;  // where the newest matches (as many as undo keeps) are
  // The added bytes the second scan needs: written anew where matches lie
  // close, and only the replacements.
  int64_t DenseNeed = 0, SparseNeed = 0;
  bool Rewrite = true;       // close matches are written anew (room was found)
  int64_t Passes = 0;        // matches replaced so far
};

int64_t THexEditor::ReplaceAll(const uint8_t* pattern, int64_t count, bool ignoreCase, int64_t firstMatch,
                               const uint8_t* data, int64_t dataCount, const TProgress& progress) {
  const int64_t size = DataSize();
  if (pattern == nullptr || count < 1 || dataCount < 0 || (dataCount > 0 && data == nullptr) || firstMatch < 0 ||
      firstMatch + count > size)
    throw EHexEditorError("Invalid ReplaceAll argument");
  TReplaceRun run(*this, pattern, count, ignoreCase, firstMatch, data, dataCount, progress);
  TWaitCursor wait(*this);

  // 1. How many matches, where the newest ones are, and the room needed.
  int64_t pieceFirst = 0, pieceEnd = 0, pieceMatches = 0;
  run.Scan(
      [&](int64_t pos, uint8_t*) {
        ++run.Matches;
        run.Tail.push_back(pos);
        if (run.Tail.size() > static_cast<size_t>(kMaxUndo)) run.Tail.pop_front();
        if (pieceMatches++ == 0) pieceFirst = pos;
        pieceEnd = pos + count;
      },
      [&](const uint8_t*, int64_t, int64_t end) {
        const int64_t replacements = pieceMatches * dataCount;
        run.SparseNeed += replacements;
        run.DenseNeed += pieceMatches > 0 && Dense(pieceEnd - pieceFirst, pieceMatches)
                             ? pieceEnd - pieceFirst + replacements
                             : replacements;
        pieceMatches = 0;
        return run.Report(end - firstMatch);
      });
  if (run.Matches == 0 || run.Stopped) return 0;
  // A document that would outgrow the limit is refused before anything changes.
  if (__int128{size} + __int128{run.Matches} * run.Delta > kMaxDocumentSize)
    throw EHexEditorError(std::string(kDocumentLimitMessage) + "; the edit was not made");

  // 2. The matches whose steps undo would not keep, a piece at a time.
  ReplacePasses(run);
  // Stopped by the user: the matches replaced so far stay replaced.
  if (run.Stopped) return run.Passes;
  // 3. The newest ones, replaced as single replacements are, with their steps.
  for (const int64_t pos : run.Tail) {
    if (!run.FinalReport(pos)) return run.Passes;
    ReplaceMatch(pos + run.Passes * run.Delta, count, data, dataCount);
    ++run.Passes;
  }
  run.Report(2 * run.Span);
  return run.Matches;
}

void THexEditor::ReplacePasses(TReplaceRun& run) {
  const int64_t bulk = run.Matches - static_cast<int64_t>(run.Tail.size());
  if (bulk == 0) return;
  // The added bytes of every pass, and the journal, are made sure of before
  // anything changes; where close matches cannot be written anew for want
  // of room, each is a splice.
  try {
    try {
      FStore.Doc().ReserveAdded(run.DenseNeed);
    } catch (const EFileError& e) {
      if (!IsNoSpace(e) || run.DenseNeed == run.SparseNeed) throw;
      run.Rewrite = false;
      FStore.Doc().ReserveAdded(run.SparseNeed);
    }
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for Replace all; nothing was replaced");
  }
  NoteChangeComing();
  // What every replacement leaves behind, also when a piece fails or the
  // user stops: the document changed, its marks from the first match on
  // go, the rows follow the length.
  struct TPassesDone {
    THexEditor& Ed;
    TReplaceRun& Run;
    ~TPassesDone() {
      Ed.FJournalBatch = nullptr;
      Ed.FStore.Changed();
      Ed.FStore.Edited();
      if (Run.Passes == 0) return;
      Ed.FModified = true;
      Ed.TrimChangedBits(Run.FirstMatch);
      try {
        Ed.AdjustMetrics();
      } catch (const std::exception&) {
      }
      Ed.PostStateChange();
    }
  } done{*this, run};
  // The matches of one piece of the scan: their replacements are added as
  // one stretch, each match a splice, and their journal records go in one
  // write; a piece whose record cannot be written is taken back.
  std::vector<int64_t> matches;
  std::vector<uint8_t> added;
  std::vector<TJournalRecord> records;
  run.Scan(
      [&](int64_t pos, uint8_t*) {
        if (run.Passes + static_cast<int64_t>(matches.size()) < bulk) matches.push_back(pos);
      },
      [&](const uint8_t* piece, int64_t piecePos, int64_t end) {
        if (!matches.empty()) {
          const int64_t first = matches.front(), stretch = matches.back() + run.Count - first;
          const int64_t k = static_cast<int64_t>(matches.size());
          const bool rewrite = run.Rewrite && Dense(stretch, k);
          // The stretch as it becomes, or the replacements one after another.
          added.clear();
          int64_t from = first;
          for (const int64_t pos : matches) {
            if (rewrite) added.insert(added.end(), piece + (from - piecePos), piece + (pos - piecePos));
            added.insert(added.end(), run.Data, run.Data + run.DataCount);
            from = pos + run.Count;
          }
          TDocument& doc = FStore.Doc();
          const TPiece stored = doc.Add(added.data(), static_cast<int64_t>(added.size()));
          const uint64_t each = 2 * static_cast<uint64_t>(run.DataCount);
          TEditStep splices;
          records.clear();
          FJournalBatch = &records;
          try {
            if (rewrite) {
              std::vector<TPiece> by;
              if (stored.Length > 0) by.push_back(stored);
              splices = doc.Put(first + run.Document.Shift, stretch, by);
              run.Document.Shift += k * run.Delta;
            } else {
              for (int64_t i = 0; i < k; ++i) {
                std::vector<TPiece> by;
                if (each > 0) by.push_back({stored.Source, stored.Start + static_cast<uint64_t>(i) * each, each});
                TEditStep one = doc.Put(matches[static_cast<size_t>(i)] + run.Document.Shift, run.Count, by);
                splices.Splices.push_back(std::move(one.Splices.front()));
                run.Document.Shift += run.Delta;
              }
            }
            FJournalBatch = nullptr;
            FJournal.Append(records);
          } catch (...) {
            FJournalBatch = nullptr;
            FJournalHeld = true;
            doc.Undo(splices);
            FJournalHeld = false;
            throw;
          }
          run.Passes += static_cast<int64_t>(matches.size());
          matches.clear();
        }
        return run.FinalReport(end) && run.Passes < bulk;
      });
}

}  // namespace byteloom
