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
// Memory: a bitmap takes one bit per offset and is narrowed in place; the
// set before a step goes into the history stream (a file once large) first,
// and a set is read back only after the one it replaces is freed, so no two
// bitmaps are ever held at once.
#include "compare/snapshots.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "control/bookmarks.h"
#include "control/documents.h"
#include "control/hexeditor.h"
#include "platform/numconv.h"
#include "platform/platform.h"

namespace byteloom {

namespace {

using TUInt128 = unsigned __int128;

constexpr int kRankWords = 64;              // bitmap words per rank entry
constexpr int32_t kListWindow = 4096;       // bytes read around sparse candidates
constexpr int64_t kMaxListOffsets = 2 << 20;  // a list takes at most 8 MiB

// How a set starts in the history stream; its bitmap words or list offsets follow.
struct TSetHeader {
  int64_t Kind, Limit, Step, Count, Entries;
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

TCandidates TCandidates::All(int32_t limit, int width, int step) {
  TCandidates set;
  set.FLimit = std::max(limit - width + 1, 0);
  set.FStep = step;
  set.FCount = (int64_t{set.FLimit} + step - 1) / step;
  return set;
}

int32_t TCandidates::At(int64_t index) const {
  switch (FKind) {
    case TKind::kAll: return static_cast<int32_t>(index * FStep);
    case TKind::kList: return FList.at(static_cast<size_t>(index));
    case TKind::kBitmap: break;
  }
  const auto block = static_cast<size_t>(std::upper_bound(FRanks.begin(), FRanks.end(), index) - FRanks.begin() - 1);
  int64_t left = index - FRanks[block];
  for (size_t w = block * kRankWords; w < FBits.size(); ++w) {
    const int bits = std::popcount(FBits[w]);
    if (left < bits) {
      uint64_t word = FBits[w];
      for (; left > 0; --left) word &= word - 1;
      return static_cast<int32_t>(w * 64 + static_cast<size_t>(std::countr_zero(word)));
    }
    left -= bits;
  }
  throw std::out_of_range("No such candidate");
}

bool TCandidates::Contains(int32_t offset) const {
  if (offset < 0 || offset >= FLimit) return false;
  switch (FKind) {
    case TKind::kAll: return offset % FStep == 0;
    case TKind::kList: return std::binary_search(FList.begin(), FList.end(), offset);
    case TKind::kBitmap: return (FBits[static_cast<size_t>(offset) / 64] >> (offset % 64)) & 1;
  }
  return false;
}

size_t TCandidates::MemoryBytes() const {
  return FBits.capacity() * 8 + FRanks.capacity() * 8 + FList.capacity() * 4;
}

std::vector<int32_t> TCandidates::ToVector() const {
  std::vector<int32_t> offsets;
  offsets.reserve(static_cast<size_t>(FCount));
  if (FKind != TKind::kBitmap) {
    for (int64_t k = 0; k < FCount; ++k) offsets.push_back(At(k));
  } else {
    for (size_t w = 0; w < FBits.size(); ++w)
      for (uint64_t word = FBits[w]; word != 0; word &= word - 1)
        offsets.push_back(static_cast<int32_t>(w * 64 + static_cast<size_t>(std::countr_zero(word))));
  }
  return offsets;
}

void TCandidates::Recount() {
  if (FKind != TKind::kBitmap) return;
  FCount = 0;
  for (uint64_t word : FBits) FCount += std::popcount(word);
  // Sparse: a list of 4-byte offsets takes at most an eighth of the bitmap
  // (and 8 MiB, so that bitmap and list fit the search's bound together).
  if (FCount <= std::min(int64_t{FLimit} / 256, kMaxListOffsets)) {
    std::vector<int64_t>().swap(FRanks);
    FList = ToVector();
    FKind = TKind::kList;
    std::vector<uint64_t>().swap(FBits);
    return;
  }
  IndexRanks();
}

void TCandidates::IndexRanks() {
  FRanks.assign((FBits.size() + kRankWords - 1) / kRankWords, 0);
  int64_t before = 0;
  for (size_t w = 0; w < FBits.size(); ++w) {
    if (w % kRankWords == 0) FRanks[w / kRankWords] = before;
    before += std::popcount(FBits[w]);
  }
}

void TCandidates::Save(TUndoStream& stream) const {
  const bool bitmap = FKind == TKind::kBitmap;
  const size_t entries = bitmap ? FBits.size() : FList.size();
  const TSetHeader header{static_cast<int64_t>(FKind), FLimit, FStep, FCount, static_cast<int64_t>(entries)};
  stream.Append(&header, sizeof header);
  if (bitmap) stream.Append(FBits.data(), static_cast<int64_t>(entries * 8));
  if (!bitmap) stream.Append(FList.data(), static_cast<int64_t>(entries * 4));
}

TCandidates TCandidates::Load(const TUndoStream& stream, int64_t pos) {
  TSetHeader header{};
  stream.Read(pos, &header, sizeof header);
  TCandidates set;
  set.FKind = static_cast<TKind>(header.Kind);
  set.FLimit = static_cast<int32_t>(header.Limit);
  set.FStep = static_cast<int>(header.Step);
  set.FCount = header.Count;
  pos += sizeof header;
  if (set.FKind == TKind::kBitmap) {
    set.FBits.resize(static_cast<size_t>(header.Entries));
    stream.Read(pos, set.FBits.data(), header.Entries * 8);
    set.IndexRanks();
  } else if (set.FKind == TKind::kList) {
    set.FList.resize(static_cast<size_t>(header.Entries));
    stream.Read(pos, set.FList.data(), header.Entries * 4);
  }
  return set;
}

// --- The search --------------------------------------------------------------------------

void TSnapshotSearch::AddSource(std::unique_ptr<TByteSource> source, const std::string& caption) {
  FSnapshots.push_back(TSnapshot{std::move(source), caption, 0});
  if (FSteps.empty()) Restart(FFormat);
}

void TSnapshotSearch::AddDocument(THexEditor& editor, const std::string& caption) {
  AddSource(std::make_unique<TEditorSource>(editor), caption);
  FSnapshots.back().EditorSerial = editor.Serial();
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
  const int32_t size = FSnapshots.empty() || !FSnapshots[0].Source ? 0 : FSnapshots[0].Source->Size();
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
    FCandidates = TCandidates::Load(*FHistory, pos);
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

std::string TSnapshotSearch::ValueAt(int snapshot, int32_t offset) {
  TSnapshot& s = FSnapshots.at(static_cast<size_t>(snapshot));
  const int width = ValueWidth(FFormat.Type);
  if (!s.Source || offset < 0 || int64_t{offset} + width > s.Source->Size()) return "";
  uint8_t bytes[8];
  s.Source->Read(bytes, offset, width);
  return ValueText(DecodeValue(bytes, FFormat), FFormat.Type);
}

int TSnapshotSearch::SeekSnapshots(TDocumentList& documents, int32_t offset) const {
  int moved = 0;
  for (int k = 0; k < documents.DocumentCount(); ++k) {
    THexEditor& editor = documents.DocumentEditor(k);
    const bool shown = std::any_of(FSnapshots.begin(), FSnapshots.end(),
                                   [&editor](const TSnapshot& s) { return s.Source && s.EditorSerial == editor.Serial(); });
    if (shown && editor.Seek(offset, 0, true)) ++moved;
  }
  return moved;
}

namespace {

void ClearBit(std::vector<uint64_t>& bits, int64_t o) { bits[static_cast<size_t>(o / 64)] &= ~(uint64_t{1} << (o % 64)); }
void SetBit(std::vector<uint64_t>& bits, int64_t o) { bits[static_cast<size_t>(o / 64)] |= uint64_t{1} << (o % 64); }
bool TestBit(const std::vector<uint64_t>& bits, int64_t o) { return (bits[static_cast<size_t>(o / 64)] >> (o % 64)) & 1; }

// Sets or clears every step-th of bits [from, to) (whole words at a time for step 1).
void FillBits(std::vector<uint64_t>& bits, int64_t from, int64_t to, bool value, int step) {
  const auto put = [&bits, value](int64_t o) { value ? SetBit(bits, o) : ClearBit(bits, o); };
  int64_t o = (from + step - 1) / step * step;
  if (step == 1) {
    for (; o < to && o % 64 != 0; ++o) put(o);
    for (; o + 64 <= to; o += 64) bits[static_cast<size_t>(o / 64)] = value ? ~uint64_t{0} : 0;
  }
  for (; o < to; o += step) put(o);
}

// The first j in [from, end) with a[j] != b[j], or end.
int32_t NextDifference(const uint8_t* a, const uint8_t* b, int32_t from, int32_t end) {
  int32_t j = from;
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

bool TSnapshotSearch::Narrow(TCandidates& set, int from, const TStep& step, const TProgress& progress) {
  TByteSource& first = *FSnapshots.at(static_cast<size_t>(from)).Source;
  TByteSource& second = *FSnapshots.at(static_cast<size_t>(from) + 1).Source;
  const int width = ValueWidth(FFormat.Type);
  // In 64 bits: the last offset plus a value's width may pass the largest int32_t.
  const auto dataLimit = static_cast<int32_t>(
      std::min<int64_t>({first.Size(), second.Size(), int64_t{set.FLimit} + width - 1}));
  const int32_t limit = std::max(dataLimit - width + 1, 0);  // offsets below it can still match
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
      const int32_t o = set.FList[k];
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

  const bool wasAll = set.IsAll();
  if (wasAll) {
    set.FBits.assign((static_cast<size_t>(limit) + 63) / 64, 0);
    set.FKind = TCandidates::TKind::kBitmap;
  } else {
    FillBits(set.FBits, limit, set.FLimit, false, 1);
  }
  std::vector<int64_t>().swap(set.FRanks);  // stale once bits change; Recount builds them anew
  const int stride = set.FStep;
  const auto member = [&](int64_t o) { return wasAll ? o % stride == 0 : TestBit(set.FBits, o); };
  const bool sparse = NeedsChange(step);
  const bool unchanged = step.Condition == TStepCondition::scUnchanged;
  {
    // Pieces of PieceOffsets offsets, each with the bytes its last value needs.
    TPieceReader readA(first, 0, dataLimit, width - 1, PieceOffsets), readB(second, 0, dataLimit, width - 1, PieceOffsets);
    std::vector<int32_t> survivors;
    while (readA.Next() && readB.Next()) {
      // The piece's start counts in 64 bits: past the last piece of a
      // snapshot near 2 GiB it would leave the 32-bit range.
      const auto p = static_cast<int32_t>(readA.Pos());
      const auto q = static_cast<int32_t>(std::min<int64_t>(readA.End() - width + 1, limit) - p);  // offsets p .. p + q - 1
      const auto length = static_cast<int32_t>(readA.Size());
      const uint8_t* a = readA.Data();
      const uint8_t* b = readB.Data();
      if (sparse || unchanged) {
        // Offsets o whose value holds a differing byte j: j - width < o <= j.
        if (unchanged && wasAll) FillBits(set.FBits, p, int64_t{p} + q, true, stride);
        survivors.clear();
        int32_t next = 0;  // offsets before it are done
        for (int32_t j = NextDifference(a, b, 0, length); j < length; j = NextDifference(a, b, j + 1, length)) {
          for (int32_t o = std::max(next, j - width + 1); o <= j && o < q; ++o) {
            if (unchanged) {
              ClearBit(set.FBits, int64_t{p} + o);
            } else if (member(int64_t{p} + o) && holds(a + o, b + o)) {
              survivors.push_back(p + o);
            }
          }
          next = j + 1;
        }
        if (sparse) {
          if (!wasAll) FillBits(set.FBits, p, int64_t{p} + q, false, 1);
          for (int32_t o : survivors) SetBit(set.FBits, o);
        }
      } else {
        for (int32_t o = 0; o < q; ++o) {
          if (!member(int64_t{p} + o)) continue;
          const bool ok = holds(a + o, b + o);
          if (wasAll && ok) SetBit(set.FBits, int64_t{p} + o);
          if (!wasAll && !ok) ClearBit(set.FBits, int64_t{p} + o);
        }
      }
      FWorkBytes = 2 * static_cast<size_t>(PieceOffsets + width - 1) + survivors.capacity() * sizeof(int32_t);
      if (p + q < limit && progress && !progress(int64_t{p} + q, limit)) return false;
    }
    // The pieces' buffers go before Recount may make a list.
  }
  set.FLimit = limit;
  set.Recount();
  return true;
}

std::string AddToBookmarks(TBookmarkTable& table, const std::vector<int32_t>& offsets) {
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
