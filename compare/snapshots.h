// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot search: narrows down where a value lives by stepping through
// several snapshots of the same file. The user fixes a value type, a byte
// order and an alignment, then for each step from snapshot k to k + 1 picks
// a condition; the candidates are the offsets whose value met every step so
// far. Integer arithmetic is exact (no wrap-around).
//
// Snapshots are byte sources read in pieces: open documents through their
// working copies, or files on disk, of any size. Candidates are a bitmap
// in pages while dense and a sorted offset list once sparse; only the pages
// that are neither empty nor full hold bits, in memory up to PageBudget and
// beyond it in a private temporary file. The set before each step is kept
// for Undo step and Cancel in a stream that moves into a private temporary
// file once it is large, so that the search holds at most PageBudget, the
// page table (under 64 bytes a page of 2^18 offsets) and 16 MiB in memory,
// whatever the size of the snapshots.
//
// A search may follow a running program instead: each snapshot copies the
// program's writable memory into a private file (0600, removed with the
// snapshot), over one layout of regions fixed at the first snapshot, so that
// an offset is the same address in every snapshot. Such a search takes no
// files or documents, nor another program, and can compare its last
// snapshot with the memory as it is now.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compare/processsnap.h"
#include "control/bytesource.h"
#include "control/undostream.h"
#include "control/valuetypes.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;
class TDocumentList;
class TBookmarkTable;

enum class TStepCondition : uint8_t {
  scChanged,        // "changed": the value's bytes differ
  scUnchanged,      // "unchanged": the value's bytes are equal
  scIncreased,      // "increased"
  scDecreased,      // "decreased"
  scIncreasedBy,    // "increased by N": a + N = b
  scDecreasedBy,    // "decreased by N": a - N = b
  scEquals,         // "equals V": b = V
  scChangedFromTo,  // "changed from A to B": a = A and b = B
  scWithin,         // "within [min, max]": min <= b <= max
};
constexpr int kStepConditionCount = 9;
// The condition's name as the form lists it.
const char* StepConditionName(TStepCondition condition);
// How many values the condition takes (0, 1 or 2).
int ConditionArgumentCount(TStepCondition condition);

struct TStep {
  TStepCondition Condition = TStepCondition::scChanged;
  TValue First, Second;  // N, V, A and B, or min and max
};
// Whether the value a (snapshot k) -> b (snapshot k + 1) meets the step; a
// and b are whole values, sameBytes tells whether their bytes are equal.
bool StepHolds(const TStep& step, const TValue& a, const TValue& b, bool sameBytes);
// Builds a step from typed values; the message of the first that does not
// convert (for example "'300' is not a u8 value") when one fails.
struct TStepInput {
  std::optional<TStep> Step;
  std::string Error;
};
TStepInput MakeStep(TStepCondition condition, TValueType type, const std::string& first, const std::string& second);

// The offsets still matching: every valid offset (before the first step),
// pages of a bitmap while dense, a sorted list once sparse. The bitmap is
// split into pages of a fixed number of offsets; a page is empty, full (every
// step-th offset) or mixed, and only mixed pages hold bits: in memory up to
// TSnapshotSearch::PageBudget, beyond it in a private temporary file.
class TCandidates {
 public:
  // Every offset o with o + width <= limit (and o a multiple of step).
  static TCandidates All(int64_t limit, int width, int step);
  int64_t Count() const { return FCount; }
  // Every candidate lies below it.
  int64_t Limit() const { return FLimit; }
  // The index-th candidate in increasing order (0 <= index < Count()).
  int64_t At(int64_t index) const;
  bool Contains(int64_t offset) const;
  bool IsAll() const { return FKind == TKind::kAll; }
  bool IsPaged() const { return FKind == TKind::kPaged; }
  bool IsList() const { return FKind == TKind::kList; }
  // Mixed pages whose bits are in the temporary file.
  int64_t PagesInFile() const;
  // Bytes held in memory (not those in the file).
  size_t MemoryBytes() const;
  std::vector<int64_t> ToVector() const;
  // Appends the set to stream: the page kinds and the mixed pages' bits, or
  // the list. Load reads the one written at pos, with the mixed pages beyond
  // the budget in the file unless inMemory (raises EFileError).
  void Save(TUndoStream& stream) const;
  static TCandidates Load(const TUndoStream& stream, int64_t pos, bool inMemory = false);

 private:
  friend class TSnapshotSearch;
  friend class TPageCursor;
  enum class TKind { kAll, kPaged, kList };
  enum class TPageKind : uint8_t { pkEmpty, pkFull, pkMixed };
  struct TPage {
    int64_t Before = 0;  // candidates in the pages before
    int64_t Count = 0;
    int64_t Slot = -1;   // a mixed page in the file: where its bits are, in pages
    TPageKind Kind = TPageKind::pkFull;
    std::vector<uint64_t> Bits;  // a mixed page in memory
  };
  int64_t PageStart(size_t page) const { return static_cast<int64_t>(page) * FPageOffsets; }
  int64_t PageEnd(size_t page) const { return std::min(PageStart(page) + FPageOffsets, FLimit); }
  size_t PageWords() const { return static_cast<size_t>(FPageOffsets / 64); }
  // Candidates of a full page [start, end).
  int64_t FullCount(int64_t start, int64_t end) const { return (end + FStep - 1) / FStep - (start + FStep - 1) / FStep; }
  // A mixed page's bits (from memory, or read from the file into the cache).
  const uint64_t* PageBits(size_t page) const;
  void ReadSlot(int64_t slot, uint64_t* words) const;
  void WriteSlot(int64_t slot, const uint64_t* words);
  int64_t TakeSlot();
  void FreeStorage(TPage& page);
  // Keeps a page that became mixed: in memory while the budget allows.
  void StoreMixed(TPage& page, std::vector<uint64_t>& words, bool inMemory = false);
  void Recount();  // after the pages changed: counts, prefix sums, a list when sparse

  TKind FKind = TKind::kAll;
  int64_t FLimit = 0;  // offsets below it
  int FStep = 1;  // 1, or the value's size when aligned
  int64_t FCount = 0;
  int64_t FPageOffsets = 1 << 20;  // kPaged: offsets per page, a multiple of 64
  std::vector<TPage> FPages;
  size_t FPagesInMemory = 0;
  std::unique_ptr<TUndoStream> FPageFile;  // the mixed pages beyond the budget
  std::vector<int64_t> FFreeSlots;
  int64_t FSlots = 0;
  mutable std::vector<uint64_t> FCache;  // the file page read last
  mutable int64_t FCachedSlot = -1;
  std::vector<int64_t> FList;    // kList
};

class TSnapshotSearch {
 public:
  // Snapshots in order: an open document (its working copy as edited) or a
  // file from disk. caption names it in the list and in messages.
  void AddDocument(THexEditor& editor, const std::string& caption);
  // Opens fileName (raises std::runtime_error with the reason when it cannot).
  void AddFile(const std::string& fileName);
  // Adds each of fileNames in their order; why those that could not be
  // opened were left out, one a line (empty: all were added).
  std::string AddFiles(const std::vector<std::string>& fileNames);
  // AddDocument, AddFile(s) and AddSource raise std::runtime_error with the
  // reason in a search of a running program, and AddDocument for a window
  // over a running program (Take snapshot copies its memory instead).
  // Any byte source (a watched file's version, tests, benchmarks); shownIn:
  // the serial of a document window whose offsets are the source's (the
  // window of a watched file), which SeekSnapshots moves too.
  void AddSource(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn = 0);
  int SnapshotCount() const { return static_cast<int>(FSnapshots.size()); }
  // Removes a snapshot from the list. One that no step has compared yet
  // just goes; one that a step used makes the search start over (true then).
  bool RemoveSnapshot(int index);
  const std::string& SnapshotCaption(int index) const { return FSnapshots.at(static_cast<size_t>(index)).Caption; }

  // --- A running program ----------------------------------------------------------
  // Takes a snapshot of the program editor shows (a window over a running
  // program's memory) as the next snapshot; the first one fixes the layout.
  // The reason when none was taken: the window shows no running program,
  // the search is over files or over another program, the program has
  // ended, the disk is full. "" when taken, or when progress cancelled.
  std::string TakeSnapshot(THexEditor& editor, const TProgress& progress = {});
  // The next snapshot of the program the search follows (no window needed).
  std::string TakeSnapshot(const TProgress& progress = {});
  bool FollowsProgram() const { return FProgram != nullptr; }
  // The program's name and PID, for messages ("" without one).
  std::string ProgramCaption() const;
  // The layout fixed at the first snapshot; the address of an offset in it.
  const TProcessLayout& Layout() const;
  uint64_t AddressOf(int64_t offset) const { return FProgram ? Layout().AddressOf(offset) : static_cast<uint64_t>(offset); }
  // Whether the program still runs (the same one: its PID not taken by
  // another since); once it has ended, it stays ended.
  bool ProgramRunning();
  // The value at offset in the program's memory as it is now; kEndedMark
  // once the program has ended, kUnmappedMark where the memory is gone,
  // "" in a search of files.
  static constexpr const char* kEndedMark = "(ended)";
  static constexpr const char* kUnmappedMark = "(unmapped)";
  std::string ValueNow(int64_t offset);
  // "Compare with the memory now": the message that keeps it from running
  // ("" when it can): the search follows a program that still runs, and its
  // last snapshot is the one the next step starts from.
  std::string CheckStepNow();
  // Takes a fresh snapshot of the program, then runs the next step against
  // it, so that the step after still starts from a fixed snapshot. false
  // when cancelled (the fresh snapshot goes again, as it does when the step
  // fails); raises std::runtime_error with the reason when it cannot run.
  bool RunStepNow(const TStep& step, const TProgress& progress = {});
  // Where candidates lie for "Add as field" and "Add to bookmarks": in a
  // search of a program, positions in the first open window over it (Error
  // says so when there is none, or an address is no longer in it);
  // otherwise the offsets themselves in the active document.
  struct TPlaces {
    int Window = -1;  // the document's index
    std::vector<int64_t> Positions;
    std::string Error;
  };
  TPlaces PlacesOf(const TDocumentList& documents, const std::vector<int64_t>& offsets) const;

  // Starts over with no step and every offset a candidate; the snapshots
  // stay, except those whose window was closed.
  void Restart(const TValueFormat& format);
  const TValueFormat& Format() const { return FFormat; }
  // Steps done: step k compared snapshot k with k + 1 (0-based).
  int StepCount() const { return static_cast<int>(FSteps.size()); }
  const TCandidates& Candidates() const { return FCandidates; }
  // The message that keeps the next step from running, or "" when it can:
  // the step needs the snapshot after the last one compared.
  std::string CheckNextStep() const;
  // Runs the next step (snapshot StepCount() -> StepCount() + 1); false when
  // cancelled (nothing changed then). Raises EFileError, with nothing
  // changed, when the set before it cannot be kept for Undo step.
  bool RunStep(const TStep& step, const TProgress& progress = {});
  // Takes the last step back (reads no snapshot); false when there is none.
  bool UndoStep();
  // Puts the candidates away with the sets kept for Undo step (in the
  // temporary file when they are large), so that a closed window holds no
  // memory for them; Candidates() is empty until TakeBack brings them back,
  // which every step and undo does first (a new search drops them).
  void PutAside();
  void TakeBack();
  // Bytes held in memory: candidates, the sets kept for Undo step, a
  // running step's buffers.
  size_t MemoryBytes() const;
  // Text of the value at offset in a snapshot ("" beyond its end or when
  // the snapshot was closed).
  std::string ValueAt(int snapshot, int64_t offset);
  // Moves the caret of every open window that shows a snapshot to offset
  // (in a search of a program: every window over it, to the offset's
  // address); returns how many moved.
  int SeekSnapshots(TDocumentList& documents, int64_t offset) const;
  // Marks the snapshots whose document is no longer open (its window was
  // closed): they are never read again, and a step or an undo that needs one
  // is refused with its name.
  void ForgetClosedDocuments(const TDocumentList& documents);
  bool SnapshotClosed(int index) const { return !FSnapshots.at(static_cast<size_t>(index)).Source; }

  // The sets kept for Undo step stay in memory up to this many bytes and
  // move into a private temporary file beyond.
  static inline size_t UndoBudget = 2u << 20;
  // Offsets per piece a dense step reads at once (pieces of 256 KiB stay in
  // the processor's cache between the read and the compare).
  static inline int64_t PieceOffsets = 1 << 18;
  // Offsets per page of the candidates' bitmap (rounded up to a multiple of
  // 64), and the bytes of mixed pages held in memory; the rest go into a
  // private temporary file.
  static inline int64_t PageOffsets = 1 << 18;
  static inline size_t PageBudget = size_t{64} << 20;

 private:
  struct TSnapshot {
    std::unique_ptr<TByteSource> Source;
    std::string Caption;
    uint64_t EditorSerial = 0;  // the document's control, or 0 for a file
    uint64_t ShownIn = 0;       // a control that shows the source's offsets, or 0
  };
  // The program a search follows: which one (a PID is used again once its
  // program has ended: the start time tells them apart), its layout, and
  // its memory read live.
  struct TProgram {
    TProcess Process;
    uint64_t StartTime = 0;
    std::string Caption;
    TProcessLayout Layout;
    TLiveProcessSource Live;
    bool Ended = false;
  };
  void Append(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn);
  // Whether editor is a window over the program the search follows.
  bool ShowsProgram(const THexEditor& editor) const;
  // Why nothing more can be taken of the program that has ended.
  std::string EndedText() const;
  // Narrows set by step from snapshot `from` to from + 1, in place (a
  // cancelled narrowing leaves set part done).
  bool Narrow(TCandidates& set, int from, const TStep& step, const TProgress& progress);
  // The snapshots up to last must be readable: the message naming a closed one, or "".
  std::string CheckOpen(int last) const;
  // Keeps the candidates at the end of the history; returns where they start.
  int64_t Keep();
  // Makes the set kept at pos the candidates again and drops it and what
  // follows it from the history. A history that cannot be read starts the
  // search over (EFileError then says so).
  void Restore(int64_t pos);

  std::vector<TSnapshot> FSnapshots;
  TValueFormat FFormat;
  TCandidates FCandidates;
  std::vector<TStep> FSteps;
  std::unique_ptr<TUndoStream> FHistory;  // the set before each step, then the one put aside
  std::vector<int64_t> FKept;              // where the set before each step starts in it
  int64_t FAsideAt = -1;                   // where the set put aside starts, or -1
  size_t FWorkBytes = 0;                   // a running step's buffers
  std::unique_ptr<TProgram> FProgram;      // the program followed, or none
};

// What usually leaves a step with no candidate, and the offer to take it back.
std::string NoCandidateText(const TValueFormat& format);

// "Add to bookmarks": the offsets go into the free bookmark rows in order
// until all five are in use; the rest are left out. Returns the message
// for the user: how many went in, and how many found no free row.
std::string AddToBookmarks(TBookmarkTable& table, const std::vector<int64_t>& offsets);

}  // namespace byteloom
