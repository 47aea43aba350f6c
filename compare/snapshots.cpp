// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot search. A step reads the two snapshots it compares in pieces
// of PieceOffsets offsets (plus the bytes a value at the piece's end needs).
// Conditions that need a change (changed, increased, decreased, an integer
// step by N != 0, from A to B with A != B) can only hold where a byte of the
// value differs, so within a piece only the offsets next to differing bytes
// are examined, and those are found eight bytes at a time; "unchanged" drops
// exactly those offsets. The other conditions test every candidate. Once the
// candidates are sparse, a step reads only small windows around them.
//
// Memory: the bitmap's pages are narrowed in place, one after the other (a
// page in the file is read, narrowed and written back); a full page gets
// bits only when some of its offsets go and others stay. The set before a
// step goes into the history stream (a file once large) first, as its page
// kinds and mixed pages, and a set is read back only after the one it
// replaces is freed, so no two bitmaps are ever held at once.
#include "compare/snapshots.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "control/bookmarks.h"
#include "control/documents.h"
#include "control/hexeditor.h"
#include "document/processmemory.h"
#include "platform/numconv.h"
#include "platform/platform.h"

namespace byteloom {

namespace {

using TUInt128 = unsigned __int128;

constexpr int64_t kListWindow = 4096;       // bytes read around sparse candidates
constexpr int64_t kMaxListOffsets = 2 << 20;  // a list takes at most 16 MiB

// How a set starts in the history stream; its pages or list offsets follow.
struct TSetHeader {
  int64_t Kind, Limit, Step, Count, Entries, PageOffsets;
};

}  // namespace

// --- Conditions --------------------------------------------------------------------------

const char* StepConditionName(TStepCondition condition) {
  static const char* const kNames[] = {"changed",           "unchanged",   "increased",
                                       "decreased",         "increased by N", "decreased by N",
                                       "equals V",          "changed from A to B", "within [min, max]"};
  return kNames[static_cast<int>(condition)];
}

int ConditionArgumentCount(TStepCondition condition) {
  switch (condition) {
    case TStepCondition::scIncreasedBy:
    case TStepCondition::scDecreasedBy:
    case TStepCondition::scEquals: return 1;
    case TStepCondition::scChangedFromTo:
    case TStepCondition::scWithin: return 2;
    default: return 0;
  }
}

namespace {

// a < b, a == b, a + d == b for two values of the same kind.
bool Less(const TValue& a, const TValue& b) { return a.IsFloat ? a.Float < b.Float : a.Int < b.Int; }
bool LessEqual(const TValue& a, const TValue& b) { return a.IsFloat ? a.Float <= b.Float : a.Int <= b.Int; }
bool Equal(const TValue& a, const TValue& b) { return a.IsFloat ? a.Float == b.Float : a.Int == b.Int; }
bool Shifted(const TValue& a, const TValue& d, const TValue& b, int sign) {
  return a.IsFloat ? a.Float + sign * d.Float == b.Float : a.Int + sign * d.Int == b.Int;
}

// Whether the step can only hold where the value's bytes differ.
bool NeedsChange(const TStep& step) {
  switch (step.Condition) {
    case TStepCondition::scChanged:
    case TStepCondition::scIncreased:
    case TStepCondition::scDecreased: return true;
    case TStepCondition::scIncreasedBy:
    case TStepCondition::scDecreasedBy: return !step.First.IsFloat && step.First.Int != 0;
    case TStepCondition::scChangedFromTo: return !Equal(step.First, step.Second);
    default: return false;
  }
}

}  // namespace

bool StepHolds(const TStep& step, const TValue& a, const TValue& b, bool sameBytes) {
  switch (step.Condition) {
    case TStepCondition::scChanged: return !sameBytes;
    case TStepCondition::scUnchanged: return sameBytes;
    case TStepCondition::scIncreased: return Less(a, b);
    case TStepCondition::scDecreased: return Less(b, a);
    case TStepCondition::scIncreasedBy: return Shifted(a, step.First, b, 1);
    case TStepCondition::scDecreasedBy: return Shifted(a, step.First, b, -1);
    case TStepCondition::scEquals: return Equal(b, step.First);
    case TStepCondition::scChangedFromTo: return Equal(a, step.First) && Equal(b, step.Second);
    case TStepCondition::scWithin: return LessEqual(step.First, b) && LessEqual(b, step.Second);  // NaN never
  }
  return false;
}

TStepInput MakeStep(TStepCondition condition, TValueType type, const std::string& first, const std::string& second) {
  TStepInput input;
  TStep step;
  step.Condition = condition;
  const std::string* texts[] = {&first, &second};
  TValue* values[] = {&step.First, &step.Second};
  for (int k = 0; k < ConditionArgumentCount(condition); ++k) {
    const std::optional<TValue> value = ParseValue(*texts[k], type);
    if (!value) {
      input.Error = "'" + *texts[k] + "' is not a " + ValueTypeName(type) + " value";
      return input;
    }
    *values[k] = *value;
  }
  const bool byN = condition == TStepCondition::scIncreasedBy || condition == TStepCondition::scDecreasedBy;
  if (byN && Less(step.First, TValue{step.First.IsFloat, 0, 0})) {
    input.Error = "The amount N must not be negative";
    return input;
  }
  input.Step = step;
  return input;
}

// --- Candidates --------------------------------------------------------------------------

namespace {

// The bits of every step-th offset in a word (pages start on a multiple of 64).
uint64_t FullWord(int step) {
  uint64_t word = 0;
  for (int b = 0; b < 64; b += step) word |= uint64_t{1} << b;
  return word;
}

void ClearBit(uint64_t* bits, int64_t o) { bits[o / 64] &= ~(uint64_t{1} << (o % 64)); }
void SetBit(uint64_t* bits, int64_t o) { bits[o / 64] |= uint64_t{1} << (o % 64); }
bool TestBit(const uint64_t* bits, int64_t o) { return (bits[o / 64] >> (o % 64)) & 1; }

// Clears bits [from, to) (whole words at a time).
void ClearBits(uint64_t* bits, int64_t from, int64_t to) {
  for (; from < to && from % 64 != 0; ++from) ClearBit(bits, from);
  for (; from + 64 <= to; from += 64) bits[from / 64] = 0;
  for (; from < to; ++from) ClearBit(bits, from);
}

}  // namespace

TCandidates TCandidates::All(int64_t limit, int width, int step) {
  TCandidates set;
  set.FLimit = std::max<int64_t>(limit - width + 1, 0);
  set.FStep = step;
  set.FCount = (set.FLimit + step - 1) / step;
  return set;
}

const uint64_t* TCandidates::PageBits(size_t page) const {
  const TPage& p = FPages[page];
  if (!p.Bits.empty()) return p.Bits.data();
  if (FCachedSlot != p.Slot) {
    FCachedSlot = -1;
    FCache.resize(PageWords());
    ReadSlot(p.Slot, FCache.data());
    FCachedSlot = p.Slot;
  }
  return FCache.data();
}

void TCandidates::ReadSlot(int64_t slot, uint64_t* words) const {
  const auto bytes = static_cast<int64_t>(PageWords() * 8);
  FPageFile->Read(slot * bytes, words, bytes);
}

void TCandidates::WriteSlot(int64_t slot, const uint64_t* words) {
  if (slot == FCachedSlot) FCachedSlot = -1;
  const auto bytes = static_cast<int64_t>(PageWords() * 8);
  try {
    if (!FPageFile) FPageFile = std::make_unique<TUndoStream>(WorkFolder(), 0);
    FPageFile->Write(slot * bytes, words, bytes);
  } catch (const EFileError& e) {
    throw EFileError(std::string("The candidates do not fit into the temporary folder (") + e.what() + ")", e.Errno());
  }
}

int64_t TCandidates::TakeSlot() {
  if (FFreeSlots.empty()) return FSlots++;
  const int64_t slot = FFreeSlots.back();
  FFreeSlots.pop_back();
  return slot;
}

void TCandidates::FreeStorage(TPage& page) {
  if (!page.Bits.empty()) {
    std::vector<uint64_t>().swap(page.Bits);
    --FPagesInMemory;
  }
  if (page.Slot >= 0) FFreeSlots.push_back(page.Slot);
  page.Slot = -1;
}

void TCandidates::StoreMixed(TPage& page, std::vector<uint64_t>& words, bool inMemory) {
  page.Kind = TPageKind::pkMixed;
  if (inMemory || (FPagesInMemory + 1) * PageWords() * 8 <= TSnapshotSearch::PageBudget) {
    page.Bits = std::move(words);
    words = {};
    ++FPagesInMemory;
    return;
  }
  const int64_t slot = TakeSlot();
  try {
    WriteSlot(slot, words.data());
  } catch (...) {
    FFreeSlots.push_back(slot);
    throw;
  }
  page.Slot = slot;
}

int64_t TCandidates::At(int64_t index) const {
  if (index < 0 || index >= FCount) throw std::out_of_range("No such candidate");
  switch (FKind) {
    case TKind::kAll: return index * FStep;
    case TKind::kList: return FList[static_cast<size_t>(index)];
    case TKind::kPaged: break;
  }
  // The last page with fewer candidates before it than index holds it.
  const auto page = static_cast<size_t>(
      std::upper_bound(FPages.begin(), FPages.end(), index, [](int64_t i, const TPage& p) { return i < p.Before; }) -
      FPages.begin() - 1);
  int64_t left = index - FPages[page].Before;
  if (FPages[page].Kind == TPageKind::pkFull) return PageStart(page) + left * FStep;
  const uint64_t* bits = PageBits(page);
  for (size_t w = 0; w < PageWords(); ++w) {
    const int count = std::popcount(bits[w]);
    if (left < count) {
      uint64_t word = bits[w];
      for (; left > 0; --left) word &= word - 1;
      return PageStart(page) + static_cast<int64_t>(w * 64) + std::countr_zero(word);
    }
    left -= count;
  }
  throw std::out_of_range("No such candidate");
}

bool TCandidates::Contains(int64_t offset) const {
  if (offset < 0 || offset >= FLimit) return false;
  switch (FKind) {
    case TKind::kAll: return offset % FStep == 0;
    case TKind::kList: return std::binary_search(FList.begin(), FList.end(), offset);
    case TKind::kPaged: break;
  }
  const auto page = static_cast<size_t>(offset / FPageOffsets);
  switch (FPages[page].Kind) {
    case TPageKind::pkEmpty: return false;
    case TPageKind::pkFull: return offset % FStep == 0;
    case TPageKind::pkMixed: break;
  }
  return TestBit(PageBits(page), offset - PageStart(page));
}

int64_t TCandidates::PagesInFile() const { return FSlots - static_cast<int64_t>(FFreeSlots.size()); }

size_t TCandidates::MemoryBytes() const {
  return FPages.capacity() * sizeof(TPage) + FPagesInMemory * PageWords() * 8 + FList.capacity() * 8 +
         FCache.capacity() * 8 + FFreeSlots.capacity() * 8 + (FPageFile ? FPageFile->MemoryBytes() : 0);
}

std::vector<int64_t> TCandidates::ToVector() const {
  std::vector<int64_t> offsets;
  if (FKind != TKind::kPaged) {
    offsets.reserve(static_cast<size_t>(FCount));
    for (int64_t k = 0; k < FCount; ++k) offsets.push_back(At(k));
    return offsets;
  }
  offsets.reserve(static_cast<size_t>(FCount));
  for (size_t page = 0; page < FPages.size(); ++page) {
    const int64_t start = PageStart(page);
    if (FPages[page].Kind == TPageKind::pkFull)
      for (int64_t o = start; o < PageEnd(page); o += FStep) offsets.push_back(o);
    if (FPages[page].Kind != TPageKind::pkMixed) continue;
    const uint64_t* bits = PageBits(page);
    for (size_t w = 0; w < PageWords(); ++w)
      for (uint64_t word = bits[w]; word != 0; word &= word - 1)
        offsets.push_back(start + static_cast<int64_t>(w * 64) + std::countr_zero(word));
  }
  return offsets;
}

void TCandidates::Recount() {
  if (FKind != TKind::kPaged) return;
  FCount = 0;
  for (TPage& page : FPages) {
    page.Before = FCount;
    FCount += page.Count;
  }
  // Sparse: a list of 8-byte offsets takes at most a quarter of the bitmap
  // (and 16 MiB); the pages and their file go once it is made.
  if (FCount <= std::min(FLimit / 256, kMaxListOffsets)) {
    std::vector<int64_t> list = ToVector();
    TCandidates sparse;
    sparse.FKind = TKind::kList;
    sparse.FLimit = FLimit;
    sparse.FStep = FStep;
    sparse.FCount = FCount;
    sparse.FList = std::move(list);
    *this = std::move(sparse);
  }
}

void TCandidates::Save(TUndoStream& stream) const {
  const bool paged = FKind == TKind::kPaged;
  const size_t entries = paged ? FPages.size() : FList.size();
  const TSetHeader header{static_cast<int64_t>(FKind), FLimit, FStep, FCount, static_cast<int64_t>(entries), FPageOffsets};
  stream.Append(&header, sizeof header);
  if (!paged) {
    stream.Append(FList.data(), static_cast<int64_t>(entries * 8));
    return;
  }
  // The pages' counts (an empty or full page needs no more), then the mixed pages' bits.
  std::vector<int64_t> counts;
  counts.reserve(entries);
  for (const TPage& page : FPages) counts.push_back(page.Count);
  stream.Append(counts.data(), static_cast<int64_t>(entries * 8));
  for (size_t page = 0; page < entries; ++page)
    if (FPages[page].Kind == TPageKind::pkMixed) stream.Append(PageBits(page), static_cast<int64_t>(PageWords() * 8));
}

TCandidates TCandidates::Load(const TUndoStream& stream, int64_t pos, bool inMemory) {
  TSetHeader header{};
  stream.Read(pos, &header, sizeof header);
  TCandidates set;
  set.FKind = static_cast<TKind>(header.Kind);
  set.FLimit = header.Limit;
  set.FStep = static_cast<int>(header.Step);
  set.FCount = header.Count;
  set.FPageOffsets = header.PageOffsets;
  pos += sizeof header;
  if (set.FKind == TKind::kList) {
    set.FList.resize(static_cast<size_t>(header.Entries));
    stream.Read(pos, set.FList.data(), header.Entries * 8);
  } else if (set.FKind == TKind::kPaged) {
    std::vector<int64_t> counts(static_cast<size_t>(header.Entries));
    stream.Read(pos, counts.data(), header.Entries * 8);
    pos += header.Entries * 8;
    set.FPages.resize(counts.size());
    std::vector<uint64_t> words;
    for (size_t page = 0; page < counts.size(); ++page) {
      TPage& p = set.FPages[page];
      p.Count = counts[page];
      p.Kind = p.Count == 0 ? TPageKind::pkEmpty : TPageKind::pkFull;
      if (p.Count == 0 || p.Count == set.FullCount(set.PageStart(page), set.PageEnd(page))) continue;
      words.resize(set.PageWords());
      stream.Read(pos, words.data(), static_cast<int64_t>(words.size() * 8));
      pos += static_cast<int64_t>(words.size() * 8);
      set.StoreMixed(p, words, inMemory);
    }
    set.Recount();
  }
  return set;
}

// --- The search --------------------------------------------------------------------------

void TSnapshotSearch::Append(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) {
  FSnapshots.push_back(TSnapshot{std::move(source), caption, 0, shownIn});
  if (FSteps.empty()) Restart(FFormat);
}

void TSnapshotSearch::AddSource(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) {
  if (FProgram)
    throw std::runtime_error("The search follows the memory of " + FProgram->Caption + "; " + caption +
                             " cannot join it. Remove the program's snapshots to search files and documents.");
  Append(std::move(source), caption, shownIn);
}

void TSnapshotSearch::AddDocument(THexEditor& editor, const std::string& caption) {
  if (editor.IsLive())
    throw std::runtime_error(caption + " is a running program's memory: Take snapshot copies it as the next snapshot.");
  AddSource(std::make_unique<TEditorSource>(editor), caption);
  FSnapshots.back().EditorSerial = editor.Serial();
}

// --- A running program -------------------------------------------------------------------

namespace {

const TProcessMemory* ProgramOf(const THexEditor& editor) {
  return editor.IsLive() ? dynamic_cast<const TProcessMemory*>(editor.Document().LiveSource()) : nullptr;
}

std::string AddressText(uint64_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(address));
  return text;
}

std::string ClockText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

}  // namespace

std::string TSnapshotSearch::ProgramCaption() const { return FProgram ? FProgram->Caption : std::string(); }

const TProcessLayout& TSnapshotSearch::Layout() const {
  static const TProcessLayout kNone;
  return FProgram ? FProgram->Layout : kNone;
}

bool TSnapshotSearch::ShowsProgram(const THexEditor& editor) const {
  const TProcessMemory* memory = ProgramOf(editor);
  if (!FProgram || !memory || memory->Process().Pid() != FProgram->Process.Pid()) return false;
  // A window over the program that has ended found it ended too.
  return ProcessStartTime(memory->Process().Pid()) == FProgram->StartTime || (FProgram->Ended && memory->Ended());
}

bool TSnapshotSearch::ProgramRunning() {
  if (!FProgram || FProgram->Ended) return false;
  const int pid = FProgram->Process.Pid();
  FProgram->Ended = !TProcess::Alive(pid) || ProcessStartTime(pid) != FProgram->StartTime;
  return !FProgram->Ended;
}

std::string TSnapshotSearch::EndedText() const {
  const int taken = SnapshotCount();
  return FProgram->Caption + " has ended: no more snapshots can be taken of it. " +
         (taken == 1 ? std::string("The snapshot taken stays usable.")
                     : "The " + std::to_string(taken) + " snapshots taken stay usable.");
}

std::string TSnapshotSearch::TakeSnapshot(THexEditor& editor, const TProgress& progress) {
  const TProcessMemory* memory = ProgramOf(editor);
  if (!memory)
    return "Take snapshot copies a running program's memory: open the program with File > Open process... "
           "or Start program... first, and take the snapshot in its window.";
  const std::string caption = editor.FileName();
  if (FProgram) {
    if (!ShowsProgram(editor))
      return "The search follows " + FProgram->Caption + "; " + caption +
             " is another program. Remove the snapshots of the first to search this one.";
    return TakeSnapshot(progress);
  }
  if (SnapshotCount() > 0)
    return "The search compares files and documents; the memory of " + caption +
           " cannot join them. Remove their snapshots first to search the program.";
  const TProcess& process = memory->Process();
  const uint64_t started = ProcessStartTime(process.Pid());
  try {
    if (started == 0 || !process.Alive()) throw EProcessError("gone");
    TProcessLayout layout = TProcessLayout::Of(process);
    if (layout.Size() == 0) return caption + " has no writable memory of its own to search.";
    TLiveProcessSource live(process, layout);
    FProgram.reset(new TProgram{process, started, caption, std::move(layout), std::move(live), false});
  } catch (const EProcessError&) {
    return caption + " has ended: there is nothing to take a snapshot of.";
  }
  std::string refusal = TakeSnapshot(progress);
  if (SnapshotCount() == 0) FProgram.reset();  // not even the first one: the search is free again
  return refusal;
}

std::string TSnapshotSearch::TakeSnapshot(const TProgress& progress) {
  if (!FProgram) return "Take the first snapshot in the window of the running program.";
  if (!ProgramRunning()) return EndedText();
  std::unique_ptr<TProcessSnapshot> snapshot;
  try {
    snapshot = TakeProcessSnapshot(FProgram->Process, FProgram->Layout, progress);
  } catch (const EProcessError&) {
    FProgram->Ended = true;
    return EndedText();
  } catch (const EFileError& e) {
    return e.what();
  }
  // Cancelled, or the program ended while it was copied (its last pages
  // would be zeros).
  if (!snapshot) return "";
  if (!ProgramRunning()) return EndedText();
  std::string caption = FProgram->Caption + " at " + ClockText();
  if (snapshot->GoneBytes() > 0) caption += " (" + ByteCountText(snapshot->GoneBytes()) + " no longer mapped, read as zeros)";
  Append(std::move(snapshot), caption, 0);
  return "";
}

std::string TSnapshotSearch::ValueNow(int64_t offset) {
  if (!FProgram) return "";
  if (FProgram->Ended) return kEndedMark;
  const int width = ValueWidth(FFormat.Type);
  if (offset < 0 || offset + width > FProgram->Layout.Size()) return "";
  uint8_t bytes[8];
  const int64_t gone = FProgram->Live.GoneBytes();
  try {
    FProgram->Live.Read(bytes, offset, width);
  } catch (const EProcessError&) {
    FProgram->Ended = true;
    return kEndedMark;
  }
  if (FProgram->Live.GoneBytes() != gone) return kUnmappedMark;
  return ValueText(DecodeValue(bytes, FFormat), FFormat.Type);
}

std::string TSnapshotSearch::CheckStepNow() {
  if (!FProgram) return "Compare with the memory now works in a search of a running program.";
  if (!ProgramRunning())
    return FProgram->Caption + " has ended: its memory cannot be compared any more. The snapshots taken stay usable.";
  if (SnapshotCount() != StepCount() + 1)
    return "Snapshot " + std::to_string(StepCount() + 2) +
           " is not compared yet: run the step without comparing with the memory now, or remove it.";
  return CheckOpen(StepCount());
}

bool TSnapshotSearch::RunStepNow(const TStep& step, const TProgress& progress) {
  TakeBack();
  if (const std::string refusal = CheckStepNow(); !refusal.empty()) throw std::runtime_error(refusal);
  const int before = SnapshotCount();
  if (const std::string refusal = TakeSnapshot(progress); !refusal.empty()) throw std::runtime_error(refusal);
  if (SnapshotCount() == before) return false;
  bool done = false;
  try {
    done = RunStep(step, progress);
  } catch (...) {
    RemoveSnapshot(before);
    throw;
  }
  if (!done) RemoveSnapshot(before);
  return done;
}

TSnapshotSearch::TPlaces TSnapshotSearch::PlacesOf(const TDocumentList& documents, const std::vector<int64_t>& offsets) const {
  TPlaces places;
  if (!FProgram) {
    places.Window = documents.ActiveDocument();
    places.Positions = offsets;
    if (places.Window < 0) places.Error = "Open the document to add the field to first.";
    return places;
  }
  for (int k = 0; k < documents.DocumentCount() && places.Window < 0; ++k)
    if (ShowsProgram(documents.DocumentEditor(k))) places.Window = k;
  if (places.Window < 0) {
    places.Error = "Open the window of " + FProgram->Caption + " first (File > Open process...).";
    return places;
  }
  const THexEditor& editor = documents.DocumentEditor(places.Window);
  for (int64_t offset : offsets) {
    const uint64_t address = FProgram->Layout.AddressOf(offset);
    const std::optional<int64_t> pos = editor.PosOfAddress(address);
    if (!pos) {
      places.Error = "The address " + AddressText(address) + " is no longer in the window of " + FProgram->Caption + ".";
      places.Positions.clear();
      return places;
    }
    places.Positions.push_back(*pos);
  }
  return places;
}

void TSnapshotSearch::AddFile(const std::string& fileName) { AddSource(std::make_unique<TFileSource>(fileName), fileName); }

std::string TSnapshotSearch::AddFiles(const std::vector<std::string>& fileNames) {
  std::string refused;
  for (const std::string& name : fileNames) try {
      AddFile(name);
    } catch (const std::exception& e) {
      refused += (refused.empty() ? "" : "\n") + std::string(e.what());
    }
  return refused;
}

bool TSnapshotSearch::RemoveSnapshot(int index) {
  if (index < 0 || index >= SnapshotCount()) return false;
  // Steps 0..StepCount()-1 have read snapshots 0..StepCount().
  const bool used = StepCount() > 0 && index <= StepCount();
  FSnapshots.erase(FSnapshots.begin() + index);
  if (FSnapshots.empty()) FProgram.reset();  // the search may take anything again
  // The candidates cover the first snapshot's offsets.
  if (used || index == 0) Restart(FFormat);
  return used;
}

void TSnapshotSearch::Restart(const TValueFormat& format) {
  FFormat = format;
  // Snapshots whose window was closed cannot be read again: they go.
  std::erase_if(FSnapshots, [](const TSnapshot& s) { return !s.Source; });
  // Everything the search held is given back (the history's file goes).
  std::vector<TStep>().swap(FSteps);
  std::vector<int64_t>().swap(FKept);
  FHistory.reset();
  FAsideAt = -1;
  const int width = ValueWidth(format.Type);
  const int64_t size = FSnapshots.empty() || !FSnapshots[0].Source ? 0 : FSnapshots[0].Source->Size();
  FCandidates = TCandidates::All(size, width, format.Aligned ? width : 1);
}

void TSnapshotSearch::ForgetClosedDocuments(const TDocumentList& documents) {
  for (TSnapshot& snapshot : FSnapshots) {
    if (!snapshot.EditorSerial || !snapshot.Source) continue;
    bool open = false;
    for (int k = 0; k < documents.DocumentCount() && !open; ++k)
      open = documents.DocumentEditor(k).Serial() == snapshot.EditorSerial;
    if (!open) snapshot.Source.reset();
  }
}

std::string TSnapshotSearch::CheckOpen(int last) const {
  for (int k = 0; k <= last; ++k)
    if (!FSnapshots[static_cast<size_t>(k)].Source)
      return "Snapshot " + std::to_string(k + 1) + " (" + FSnapshots[static_cast<size_t>(k)].Caption +
             ") was closed; start a new search without it";
  return "";
}

std::string TSnapshotSearch::CheckNextStep() const {
  if (StepCount() + 1 >= SnapshotCount())
    return "Add snapshot " + std::to_string(StepCount() + 2) + " before the next step";
  return CheckOpen(StepCount() + 1);
}

int64_t TSnapshotSearch::Keep() {
  if (!FHistory) FHistory = std::make_unique<TUndoStream>(WorkFolder(), static_cast<int64_t>(UndoBudget));
  const int64_t pos = FHistory->Size();
  try {
    FCandidates.Save(*FHistory);
  } catch (...) {
    try {
      FHistory->SetSize(pos);
    } catch (...) {
    }
    throw;
  }
  return pos;
}

void TSnapshotSearch::Restore(int64_t pos) {
  FCandidates = TCandidates{};  // freed before the kept set is read
  try {
    try {
      FCandidates = TCandidates::Load(*FHistory, pos);
    } catch (const EFileError&) {
      // Where the pages do not fit into the file (a full disk) they stay
      // in memory until a step can move them.
      FCandidates = TCandidates{};
      FCandidates = TCandidates::Load(*FHistory, pos, true);
    }
    FHistory->SetSize(pos);
  } catch (const std::exception& e) {
    Restart(FFormat);
    throw EFileError(std::string("The search starts over: its earlier candidates could not be read back (") +
                     e.what() + ")");
  }
}

void TSnapshotSearch::PutAside() {
  if (FAsideAt >= 0) return;
  FAsideAt = Keep();
  FCandidates = TCandidates{};
}

void TSnapshotSearch::TakeBack() {
  if (FAsideAt < 0) return;
  const int64_t pos = FAsideAt;
  FAsideAt = -1;
  Restore(pos);
}

size_t TSnapshotSearch::MemoryBytes() const {
  return FCandidates.MemoryBytes() + (FHistory ? FHistory->MemoryBytes() : 0) + FSteps.capacity() * sizeof(TStep) +
         FKept.capacity() * sizeof(int64_t) + FWorkBytes;
}

bool TSnapshotSearch::RunStep(const TStep& step, const TProgress& progress) {
  TakeBack();
  const std::string refusal = CheckNextStep();
  if (!refusal.empty()) throw std::runtime_error(refusal);
  // Cancelled or failed (a snapshot could not be read): back to the set kept.
  const int64_t kept = Keep();
  bool done = false;
  try {
    done = Narrow(FCandidates, StepCount(), step, progress);
  } catch (...) {
    Restore(kept);
    throw;
  }
  if (!done) {
    Restore(kept);
    return false;
  }
  FSteps.push_back(step);
  FKept.push_back(kept);
  return true;
}

bool TSnapshotSearch::UndoStep() {
  TakeBack();
  if (FSteps.empty()) return false;
  Restore(FKept.back());
  FKept.pop_back();
  FSteps.pop_back();
  return true;
}

std::string TSnapshotSearch::ValueAt(int snapshot, int64_t offset) {
  TSnapshot& s = FSnapshots.at(static_cast<size_t>(snapshot));
  const int width = ValueWidth(FFormat.Type);
  if (!s.Source || offset < 0 || offset + width > s.Source->Size()) return "";
  uint8_t bytes[8];
  s.Source->Read(bytes, offset, width);
  return ValueText(DecodeValue(bytes, FFormat), FFormat.Type);
}

int TSnapshotSearch::SeekSnapshots(TDocumentList& documents, int64_t offset) const {
  int moved = 0;
  for (int k = 0; k < documents.DocumentCount(); ++k) {
    THexEditor& editor = documents.DocumentEditor(k);
    if (FProgram) {
      const std::optional<int64_t> pos = ShowsProgram(editor) ? editor.PosOfAddress(FProgram->Layout.AddressOf(offset))
                                                               : std::nullopt;
      if (pos && editor.Seek(*pos, 0, true)) ++moved;
      continue;
    }
    const bool shown = std::any_of(FSnapshots.begin(), FSnapshots.end(),
                                   [&editor](const TSnapshot& s) {
                                     return s.Source && (s.EditorSerial == editor.Serial() || s.ShownIn == editor.Serial());
                                   });
    if (shown && editor.Seek(offset, 0, true)) ++moved;
  }
  return moved;
}

namespace {

// The first j in [from, end) with a[j] != b[j], or end. Equal runs go a
// block at a time (memcmp compares wide), then eight bytes at a time.
int64_t NextDifference(const uint8_t* a, const uint8_t* b, int64_t from, int64_t end) {
  constexpr int64_t kBlock = 256;
  int64_t j = from;
  while (j + kBlock <= end && std::memcmp(a + j, b + j, kBlock) == 0) j += kBlock;
  for (; j + 8 <= end; j += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + j, 8);
    std::memcpy(&y, b + j, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little) return j + std::countr_zero(x ^ y) / 8;
      break;
    }
  }
  while (j < end && a[j] == b[j]) ++j;
  return j;
}

}  // namespace

// The page a step narrows, one after the other from the first: a mixed
// page's bits are at hand while it is narrowed (those in the file are read
// and written back), a full page gets bits only once one of its offsets goes
// and the rest stays; offsets dropped from a full page's start on need none.
class TPageCursor {
 public:
  // limit: the offsets the step leaves below it.
  TPageCursor(TCandidates& set, int64_t limit) : FSet(set), FLimit(limit) {}
  size_t Page() const { return FPage; }
  bool Empty() const { return FOld == TCandidates::TPageKind::pkEmpty; }
  size_t BufferBytes() const { return FWords.capacity() * 8; }

  // Finishes the page held and takes up page (the pages after the one held).
  void Open(size_t page) {
    if (page == FPage) return;
    Finish();
    FPage = page;
    FStart = FSet.PageStart(page);
    TCandidates::TPage& p = FSet.FPages[page];
    FOld = p.Kind;
    FDroppedTo = 0;
    FHave = FDirty = FFromMemory = false;
    if (FOld != TCandidates::TPageKind::pkMixed) return;
    if (!p.Bits.empty()) {
      FWords = std::move(p.Bits);
      p.Bits = {};
      FFromMemory = true;
    } else {
      FWords.resize(FSet.PageWords());
      FSet.ReadSlot(p.Slot, FWords.data());
    }
    FHave = true;
  }
  bool Member(int64_t o) const {
    switch (FOld) {
      case TCandidates::TPageKind::pkEmpty: return false;
      case TCandidates::TPageKind::pkFull: return o % FSet.FStep == 0;
      case TCandidates::TPageKind::pkMixed: break;
    }
    return TestBit(FWords.data(), o - FStart);
  }
  void Clear(int64_t o) {
    if (FOld == TCandidates::TPageKind::pkEmpty || !Member(o)) return;
    Materialize();
    ClearBit(FWords.data(), o - FStart);
  }
  void Set(int64_t o) {
    Materialize();
    SetBit(FWords.data(), o - FStart);
  }
  // Drops the offsets [from, to) of the page.
  void ClearRange(int64_t from, int64_t to) {
    if (FOld == TCandidates::TPageKind::pkEmpty) return;
    if (!FHave && from - FStart <= FDroppedTo) {
      FDroppedTo = std::max(FDroppedTo, to - FStart);
      return;
    }
    Materialize();
    ClearBits(FWords.data(), from - FStart, to - FStart);
  }
  // The page held gets its kind, count and storage anew.
  void Finish() {
    if (FPage == kNone) return;
    TCandidates::TPage& p = FSet.FPages[FPage];
    const int64_t end = std::min(FStart + FSet.FPageOffsets, FLimit) - FStart;  // offsets in the page now
    if (!FHave && FOld == TCandidates::TPageKind::pkFull && FDroppedTo > 0 && FDroppedTo < end) Materialize();
    FPage = kNone;
    if (!FHave) {
      // Untouched: an empty page stays, a full one keeps the offsets below the limit.
      const bool full = FOld == TCandidates::TPageKind::pkFull && FDroppedTo == 0 && end > 0;
      p.Kind = full ? TCandidates::TPageKind::pkFull : TCandidates::TPageKind::pkEmpty;
      p.Count = full ? FSet.FullCount(FStart, FStart + end) : 0;
      return;
    }
    if (end < FSet.FPageOffsets) {  // the step's limit cuts the page
      ClearBits(FWords.data(), end, FSet.FPageOffsets);
      FDirty = true;
    }
    int64_t count = 0;
    for (uint64_t word : FWords) count += std::popcount(word);
    p.Count = count;
    const bool mixed = count > 0 && count < FSet.FullCount(FStart, FStart + end);
    if (FFromMemory) {
      // Pages kept in memory beyond the budget (the file could not take them) move now.
      if (mixed && FSet.FPagesInMemory * FSet.PageWords() * 8 <= TSnapshotSearch::PageBudget) {
        p.Bits = std::move(FWords);
        FWords = {};
        return;
      }
      --FSet.FPagesInMemory;
      if (mixed) FSet.StoreMixed(p, FWords);
    } else if (p.Slot >= 0) {
      if (mixed) {
        if (FDirty) FSet.WriteSlot(p.Slot, FWords.data());
        return;
      }
      FSet.FreeStorage(p);
    } else if (mixed) {
      FSet.StoreMixed(p, FWords);
    }
    p.Kind = count == 0 ? TCandidates::TPageKind::pkEmpty : mixed ? TCandidates::TPageKind::pkMixed
                                                                  : TCandidates::TPageKind::pkFull;
  }

 private:
  static constexpr size_t kNone = ~size_t{0};
  // Bits for the page as it was, less the offsets dropped from its start.
  void Materialize() {
    FDirty = true;
    if (FHave) return;
    FWords.assign(FSet.PageWords(), FOld == TCandidates::TPageKind::pkFull ? FullWord(FSet.FStep) : 0);
    ClearBits(FWords.data(), 0, FDroppedTo);
    FHave = true;
  }

  TCandidates& FSet;
  int64_t FLimit;
  size_t FPage = kNone;
  int64_t FStart = 0;
  TCandidates::TPageKind FOld = TCandidates::TPageKind::pkEmpty;
  int64_t FDroppedTo = 0;  // a full page without bits: offsets from its start dropped
  bool FHave = false, FDirty = false, FFromMemory = false;
  std::vector<uint64_t> FWords;
};

bool TSnapshotSearch::Narrow(TCandidates& set, int from, const TStep& step, const TProgress& progress) {
  TByteSource& first = *FSnapshots.at(static_cast<size_t>(from)).Source;
  TByteSource& second = *FSnapshots.at(static_cast<size_t>(from) + 1).Source;
  const int width = ValueWidth(FFormat.Type);
  const int64_t dataLimit = std::min<int64_t>({first.Size(), second.Size(), set.FLimit + width - 1});
  const int64_t limit = std::max<int64_t>(dataLimit - width + 1, 0);  // offsets below it can still match
  const auto holds = [&](const uint8_t* a, const uint8_t* b) {
    return StepHolds(step, DecodeValue(a, FFormat), DecodeValue(b, FFormat), std::memcmp(a, b, static_cast<size_t>(width)) == 0);
  };
  // The step's buffers count as held while it runs.
  struct TWorkBytes {
    size_t& Bytes;
    ~TWorkBytes() { Bytes = 0; }
  } work{FWorkBytes};

  if (set.IsList()) {
    // Ascending reads of a few bytes: each reader holds a window from the
    // last offset it had to fetch.
    TPieceReader readA(first, 0, dataLimit, 0, kListWindow), readB(second, 0, dataLimit, 0, kListWindow);
    FWorkBytes = 2 * kListWindow;
    size_t kept = 0;
    for (size_t k = 0; k < set.FList.size(); ++k) {
      const int64_t o = set.FList[k];
      if (o >= limit) break;
      if (holds(readA.At(o, width), readB.At(o, width))) set.FList[kept++] = o;
      if (k % 65536 == 65535 && progress && !progress(static_cast<int64_t>(k), static_cast<int64_t>(set.FList.size())))
        return false;
    }
    set.FList.resize(kept);
    set.FList.shrink_to_fit();
    set.FCount = static_cast<int64_t>(kept);
    set.FLimit = limit;
    return true;
  }

  if (set.IsAll()) {
    // Every page full.
    set.FKind = TCandidates::TKind::kPaged;
    set.FPageOffsets = std::max<int64_t>(64, (PageOffsets + 63) / 64 * 64);
    set.FPages.resize(static_cast<size_t>((set.FLimit + set.FPageOffsets - 1) / set.FPageOffsets));
    for (size_t page = 0; page < set.FPages.size(); ++page)
      set.FPages[page].Count = set.FullCount(set.PageStart(page), set.PageEnd(page));
  }
  const bool sparse = NeedsChange(step);
  const bool unchanged = step.Condition == TStepCondition::scUnchanged;
  {
    TPageCursor page(set, limit);
    // Pieces of PieceOffsets offsets, each with the bytes its last value needs.
    TPieceReader readA(first, 0, dataLimit, width - 1, PieceOffsets), readB(second, 0, dataLimit, width - 1, PieceOffsets);
    std::vector<int64_t> survivors;
    while (readA.Next() && readB.Next()) {
      const int64_t p = readA.Pos();
      const int64_t q = std::min(readA.End() - width + 1, limit) - p;  // offsets p .. p + q - 1
      const int64_t length = readA.Size();
      const uint8_t* a = readA.Data();
      const uint8_t* b = readB.Data();
      // The piece's offsets [lo, hi) on one page at a time.
      for (int64_t lo = 0, hi; lo < q; lo = hi) {
        page.Open(static_cast<size_t>((p + lo) / set.FPageOffsets));
        hi = std::min(q, set.PageStart(page.Page()) + set.FPageOffsets - p);
        if (page.Empty()) continue;
        if (sparse || unchanged) {
          // Offsets o whose value holds a differing byte j: j - width < o <= j.
          survivors.clear();
          const int64_t end = std::min(length, hi + width - 1);
          int64_t next = lo;  // offsets before it are done
          for (int64_t j = NextDifference(a, b, lo, end); j < end; j = NextDifference(a, b, j + 1, end)) {
            for (int64_t o = std::max(next, j - width + 1); o <= j && o < hi; ++o) {
              if (unchanged) {
                page.Clear(p + o);
              } else if (page.Member(p + o) && holds(a + o, b + o)) {
                survivors.push_back(p + o);
              }
            }
            next = j + 1;
          }
          if (sparse) {
            page.ClearRange(p + lo, p + hi);
            for (int64_t o : survivors) page.Set(o);
          }
        } else {
          for (int64_t o = lo; o < hi; ++o)
            if (page.Member(p + o) && !holds(a + o, b + o)) page.Clear(p + o);
        }
      }
      FWorkBytes = 2 * static_cast<size_t>(PieceOffsets + width - 1) + survivors.capacity() * sizeof(int64_t) +
                   page.BufferBytes();
      if (p + q < limit && progress && !progress(p + q, limit)) return false;
    }
    page.Finish();
    // The pieces' buffers go before Recount may make a list.
  }
  // Pages past the limit go.
  const auto pages = static_cast<size_t>((limit + set.FPageOffsets - 1) / set.FPageOffsets);
  for (size_t k = pages; k < set.FPages.size(); ++k) set.FreeStorage(set.FPages[k]);
  set.FPages.resize(pages);
  set.FLimit = limit;
  set.Recount();
  return true;
}

std::string AddToBookmarks(TBookmarkTable& table, const std::vector<int64_t>& offsets) {
  size_t added = 0;
  while (added < offsets.size() && table.Add(offsets[added]) != 0) ++added;
  const std::string count = std::to_string(added) + (added == 1 ? " candidate" : " candidates");
  if (added == offsets.size()) return count + " added to the bookmarks.";
  return count + " added to the bookmarks; " + std::to_string(offsets.size() - added) +
         " more found no free row (there are five bookmarks; clear some under Bookmarks > Edit Bookmark).";
}

std::string NoCandidateText(const TValueFormat& format) {
  return std::string("No offset is left. Usually the value has moved to another place between the snapshots, or it is "
                     "kept as another type or in the other byte order than ") +
         ValueTypeName(format.Type) + (format.Order == TByteOrder::boBig ? ", big endian" : ", little endian") +
         (format.Aligned ? ", aligned" : "") + ". Take the step back?";
}

}  // namespace byteloom
