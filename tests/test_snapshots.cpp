// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot search: number entry and decoding by type and byte order, and
// every type, byte order, alignment and condition against a brute-force
// model on random snapshots of different sizes read in small pieces (values
// straddle the pieces), with Undo step kept in memory and in a file, Cancel,
// the memory bound on large snapshots, and snapshots from open documents and
// files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>

#include "compare/snapshots.h"
#include "control/documents.h"
#include "control/hexeditor.h"
#include "tests/support/fakedocuments.h"
#include "tests/support/fakehost.h"
#include "tests/support/filelimit.h"
#include "tests/support/patternsource.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using T = TValueType;
using C = TStepCondition;

TEST(SnapshotValues, ParseDecodeAndText) {
  const struct {
    const char* Text;
    T Type;
    const char* Shown;  // nullptr: refused
  } rows[] = {{"255", T::vtU8, "255"},       {"256", T::vtU8, nullptr},     {"-1", T::vtU8, nullptr},
              {"$FF", T::vtU8, "255"},       {" 0x10 ", T::vtU16, "16"},    {"-128", T::vtI8, "-128"},
              {"-129", T::vtI8, nullptr},    {"0xFFFFFFFFFFFFFFFF", T::vtU64, "18446744073709551615"},
              {"-9223372036854775808", T::vtI64, "-9223372036854775808"}, {"9223372036854775808", T::vtI64, nullptr},
              {"1.5", T::vtF32, "1.5"},      {"0.1", T::vtF32, "0.1"},      {"0.1", T::vtF64, "0.1"},
              {"1.5", T::vtU32, nullptr},    {"", T::vtU32, nullptr},       {"12a", T::vtI32, nullptr}};
  for (const auto& r : rows) {
    const auto value = ParseValue(r.Text, r.Type);
    ASSERT_EQ(value.has_value(), r.Shown != nullptr) << r.Text;
    if (value) {
      EXPECT_EQ(ValueText(*value, r.Type), r.Shown) << r.Text;
    }
  }
  const uint8_t bytes[8] = {0x01, 0x02, 0x03, 0x84, 0x00, 0x00, 0xC0, 0x3F};
  const struct {
    T Type;
    TByteOrder Order;
    int Offset;
    const char* Shown;
  } decoded[] = {{T::vtU16, TByteOrder::boLittle, 0, "513"},         {T::vtU16, TByteOrder::boBig, 0, "258"},
                 {T::vtI32, TByteOrder::boLittle, 0, "-2080177663"}, {T::vtU32, TByteOrder::boLittle, 0, "2214789633"},
                 {T::vtI8, TByteOrder::boBig, 3, "-124"},            {T::vtF32, TByteOrder::boLittle, 4, "1.5"},
                 {T::vtF32, TByteOrder::boBig, 4, "6.8965e-41"}};
  for (const auto& d : decoded)
    EXPECT_EQ(ValueText(DecodeValue(bytes + d.Offset, {d.Type, d.Order, false}), d.Type), d.Shown)
        << ValueTypeName(d.Type);
  EXPECT_EQ(MakeStep(C::scEquals, T::vtU8, "300", "").Error, "'300' is not a u8 value");
  EXPECT_FALSE(MakeStep(C::scIncreasedBy, T::vtI16, "-2", "").Step);
  EXPECT_TRUE(MakeStep(C::scWithin, T::vtF64, "-1e3", "2.5").Step);
  // No value's text is longer than the widest of its type.
  std::mt19937_64 rng(3);
  for (int t = 0, k = 0; t < kValueTypeCount; t += ++k % 20000 == 0) {
    const uint64_t bytes = rng() >> (k % 64);
    ASSERT_LE(ValueText(DecodeValue(reinterpret_cast<const uint8_t*>(&bytes), {T(t)}), T(t)).size(), WidestValueText(T(t)).size());
  }
}

// --- Brute force ------------------------------------------------------------------------

using Bytes = std::vector<uint8_t>;

// The plain model: a value read byte by byte into a typed variable.
template <typename V>
V Typed(const Bytes& s, size_t o, TByteOrder order) {
  uint8_t raw[sizeof(V)];
  for (size_t i = 0; i < sizeof(V); ++i) raw[i] = s[o + (order == TByteOrder::boLittle ? i : sizeof(V) - 1 - i)];
  V v;
  std::memcpy(&v, raw, sizeof v);
  return v;
}

struct ModelValue {
  long double F = 0;  // floats
  __int128 I = 0;     // integers
};

ModelValue Model(const Bytes& s, size_t o, const TValueFormat& f) {
  ModelValue m;
  switch (f.Type) {
    case T::vtU8: m.I = Typed<uint8_t>(s, o, f.Order); break;
    case T::vtU16: m.I = Typed<uint16_t>(s, o, f.Order); break;
    case T::vtU32: m.I = Typed<uint32_t>(s, o, f.Order); break;
    case T::vtU64: m.I = Typed<uint64_t>(s, o, f.Order); break;
    case T::vtI8: m.I = Typed<int8_t>(s, o, f.Order); break;
    case T::vtI16: m.I = Typed<int16_t>(s, o, f.Order); break;
    case T::vtI32: m.I = Typed<int32_t>(s, o, f.Order); break;
    case T::vtI64: m.I = Typed<int64_t>(s, o, f.Order); break;
    case T::vtF32: m.F = Typed<float>(s, o, f.Order); break;
    case T::vtF64: m.F = Typed<double>(s, o, f.Order); break;
  }
  return m;
}

struct ModelStep {
  C Cond;
  ModelValue X, Y;  // N, V, A, B, min, max
  std::string TextX, TextY;
};

bool ModelHolds(const ModelStep& st, const Bytes& s1, const Bytes& s2, size_t o, const TValueFormat& f) {
  const size_t w = static_cast<size_t>(ValueWidth(f.Type));
  const bool same = std::equal(s1.begin() + static_cast<long>(o), s1.begin() + static_cast<long>(o + w),
                               s2.begin() + static_cast<long>(o));
  const ModelValue a = Model(s1, o, f), b = Model(s2, o, f);
  if (IsFloatType(f.Type)) {
    const double x = static_cast<double>(st.X.F), y = static_cast<double>(st.Y.F);
    const double fa = static_cast<double>(a.F), fb = static_cast<double>(b.F);
    switch (st.Cond) {
      case C::scChanged: return !same;
      case C::scUnchanged: return same;
      case C::scIncreased: return fa < fb;
      case C::scDecreased: return fa > fb;
      case C::scIncreasedBy: return fa + x == fb;
      case C::scDecreasedBy: return fa - x == fb;
      case C::scEquals: return fb == x;
      case C::scChangedFromTo: return fa == x && fb == y;
      case C::scWithin: return x <= fb && fb <= y;
    }
  }
  switch (st.Cond) {
    case C::scChanged: return !same;
    case C::scUnchanged: return same;
    case C::scIncreased: return a.I < b.I;
    case C::scDecreased: return a.I > b.I;
    case C::scIncreasedBy: return a.I + st.X.I == b.I;
    case C::scDecreasedBy: return a.I - st.X.I == b.I;
    case C::scEquals: return b.I == st.X.I;
    case C::scChangedFromTo: return a.I == st.X.I && b.I == st.Y.I;
    case C::scWithin: return st.X.I <= b.I && b.I <= st.Y.I;
  }
  return false;
}

std::vector<int64_t> ModelCandidates(const std::vector<Bytes>& snaps, const std::vector<ModelStep>& steps,
                                     const TValueFormat& f) {
  const size_t w = static_cast<size_t>(ValueWidth(f.Type));
  size_t shortest = snaps[0].size();
  for (size_t k = 0; k <= steps.size(); ++k) shortest = std::min(shortest, snaps[k].size());
  std::vector<int64_t> out;
  for (size_t o = 0; o + w <= shortest; o += f.Aligned ? w : 1) {
    bool ok = true;
    for (size_t k = 0; k < steps.size() && ok; ++k) ok = ModelHolds(steps[k], snaps[k], snaps[k + 1], o, f);
    if (ok) out.push_back(static_cast<int64_t>(o));
  }
  return out;
}

std::string Text(const ModelValue& v, const TValueFormat& f) {
  return ValueText(TValue{IsFloatType(f.Type), v.I, static_cast<double>(v.F)}, f.Type);
}

class SnapshotSearchTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    TSnapshotSearch::PieceOffsets = 100;  // pieces need not start on a word
    TSnapshotSearch::PageOffsets = 256;   // nor on a page
  }
  void TearDown() override {
    TSnapshotSearch::PieceOffsets = 1 << 18;
    TSnapshotSearch::PageOffsets = 1 << 18;
    TSnapshotSearch::UndoBudget = 2u << 20;
    TSnapshotSearch::PageBudget = size_t{64} << 20;
    TempDirTest::TearDown();
  }
};

// Snapshot k + 1 is snapshot k with about a tenth of its bytes nudged by one
// or replaced, so small steps by N and equal values are frequent.
std::vector<Bytes> RandomSnapshots(std::mt19937& rng, std::vector<size_t> sizes) {
  std::vector<Bytes> snaps;
  Bytes bytes(sizes[0]);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : rng() % 3);
  for (size_t size : sizes) {
    bytes.resize(size, 1);
    for (auto& b : bytes) {
      const unsigned r = rng() % 30;
      if (r == 0) ++b;
      if (r == 1) --b;
      if (r == 2) b = static_cast<uint8_t>(rng());
    }
    snaps.push_back(bytes);
  }
  return snaps;
}

TEST_F(SnapshotSearchTest, EveryTypeOrderAlignmentAndConditionMatchesTheModel) {
  std::mt19937 rng(1234);
  int listsSeen = 0, fromFile = 0, narrowed = 0, pagesInFile = 0;
  for (int t = 0; t < 10; ++t)
    for (TByteOrder order : {TByteOrder::boLittle, TByteOrder::boBig})
      for (bool aligned : {false, true}) {
        const TValueFormat f{static_cast<T>(t), order, aligned};
        // Sizes differ: offsets past the shortest snapshot so far never match.
        const std::vector<Bytes> snaps = RandomSnapshots(rng, {6000, 5990, 6003, 5999});
        TSnapshotSearch search;
        for (size_t k = 0; k < snaps.size(); ++k)
          search.AddSource(std::make_unique<TBufferSource>(snaps[k]), "s" + std::to_string(k));
        search.Restart(f);
        TSnapshotSearch::UndoBudget = (t + aligned) % 2 ? 0 : 1u << 20;
        // Pages (32 bytes each) all in memory, all in the file, or some of each.
        TSnapshotSearch::PageBudget = std::array<size_t, 3>{1u << 20, 0, 320}[(t + (order == TByteOrder::boBig)) % 3];
        std::vector<ModelStep> steps;
        std::vector<std::vector<int64_t>> expected{ModelCandidates(snaps, steps, f)};
        for (size_t k = 0; k + 1 < snaps.size(); ++k) {
          // Conditions cycle; values come from the snapshots themselves.
          ModelStep st{static_cast<C>((t * 4 + k + (order == TByteOrder::boBig) * 2 + aligned) % kStepConditionCount),
                       {}, {}, "", ""};
          const size_t w = static_cast<size_t>(ValueWidth(f.Type));
          const size_t o1 = rng() % 5000, o2 = rng() % 5000;
          st.X = Model(snaps[k + (st.Cond == C::scEquals)], o1, f);
          st.Y = Model(snaps[k + 1], o1, f);
          if (st.Cond == C::scWithin) st.Y = Model(snaps[k + 1], o2 - o2 % w, f);
          if (st.Cond == C::scIncreasedBy || st.Cond == C::scDecreasedBy) st.X = ModelValue{1, 1};
          if (st.Cond == C::scWithin && (IsFloatType(f.Type) ? st.Y.F < st.X.F : st.Y.I < st.X.I)) std::swap(st.X, st.Y);
          if (IsFloatType(f.Type) && (std::isnan(st.X.F) || std::isnan(st.Y.F))) st.X = st.Y = ModelValue{0.5, 0};
          const TStepInput input = MakeStep(st.Cond, f.Type, Text(st.X, f), Text(st.Y, f));
          ASSERT_TRUE(input.Step) << input.Error;
          ASSERT_TRUE(search.RunStep(*input.Step));
          steps.push_back(st);
          expected.push_back(ModelCandidates(snaps, steps, f));
          const TCandidates& got = search.Candidates();
          ASSERT_EQ(got.ToVector(), expected.back())
              << ValueTypeName(f.Type) << " order " << int(order) << " aligned " << aligned << " step " << k << " "
              << StepConditionName(st.Cond);
          ASSERT_EQ(got.Count(), static_cast<int64_t>(expected.back().size()));
          for (size_t i = 0; i < expected.back().size(); i += 97) EXPECT_EQ(got.At(static_cast<int64_t>(i)), expected.back()[i]);
          if (!expected.back().empty()) {
            EXPECT_TRUE(got.Contains(expected.back().back()));
            EXPECT_FALSE(got.Contains(expected.back().back() + 1));
          }
          listsSeen += got.IsList();
          pagesInFile += got.PagesInFile() > 0;
          narrowed += !expected.back().empty() && expected.back().size() < expected[expected.size() - 2].size();
        }
        for (size_t k = steps.size(); k > 0; --k) {
          fromFile += TSnapshotSearch::UndoBudget == 0 && k > 1;
          ASSERT_TRUE(search.UndoStep());
          ASSERT_EQ(search.Candidates().ToVector(), expected[k - 1]) << "undo to step " << k - 1;
        }
        EXPECT_FALSE(search.UndoStep());
      }
  EXPECT_GT(listsSeen, 10);  // the sparse form was exercised
  EXPECT_GT(fromFile, 10);  // sets read back from the temporary file
  EXPECT_GT(narrowed, 80);  // most steps kept some candidates and dropped others
  EXPECT_GT(pagesInFile, 20);  // pages narrowed in the temporary file
}

// A step cancelled half-way, or one whose pages cannot move into the file
// (a write fails as on a full disk), leaves the search as it was: the
// history and the pages in memory or in the file. Snapshot 1 differs from
// snapshot 0 in its first 1,000 bytes only, so "unchanged" leaves four mixed
// pages and full ones, which "within" makes mixed.
TEST_F(SnapshotSearchTest, CancelOrAFailingPageFileLeavesTheCandidatesAsTheyWere) {
  std::mt19937 rng(7);
  std::vector<Bytes> snaps = RandomSnapshots(rng, {3000, 3000, 3000});
  std::copy(snaps[0].begin() + 1000, snaps[0].end(), snaps[1].begin() + 1000);
  const struct {
    size_t UndoBudget, PageBudget;
    bool Fail;  // instead of Cancel: no file may grow
  } rows[] = {{0, 1u << 20, false}, {1u << 20, 1u << 20, false}, {1u << 20, 0, false}, {0, 0, false},
              {1u << 20, 128, true}, {0, 128, true}, {1u << 20, 0, true}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.UndoBudget << " " << row.PageBudget << " " << row.Fail);
    TSnapshotSearch::UndoBudget = row.UndoBudget;
    TSnapshotSearch::PageBudget = row.PageBudget;
    TSnapshotSearch search;
    for (const Bytes& s : snaps) search.AddSource(std::make_unique<TBufferSource>(s), "s");
    search.Restart({T::vtU16, TByteOrder::boLittle, false});
    ASSERT_TRUE(search.RunStep(*MakeStep(C::scUnchanged, T::vtU16, "", "").Step));
    ASSERT_TRUE(search.Candidates().IsPaged());
    const std::vector<int64_t> before = search.Candidates().ToVector();
    const TStep within = *MakeStep(C::scWithin, T::vtU16, "0", "300").Step;
    if (row.Fail) {
      const TFileSizeLimit noGrowth(0);
      try {
        search.RunStep(within);
        ADD_FAILURE() << "the step ran";
      } catch (const EFileError& e) {
        EXPECT_NE(std::string(e.what()).find("Cannot"), std::string::npos) << e.what();
      }
    } else {
      int calls = 0;
      EXPECT_FALSE(search.RunStep(within, [&calls](int64_t, int64_t) { return ++calls < 5; }));
    }
    EXPECT_EQ(search.StepCount(), 1);
    EXPECT_EQ(search.Candidates().ToVector(), before);
    EXPECT_EQ(search.CheckNextStep(), "");
    ASSERT_TRUE(search.RunStep(within));
    EXPECT_EQ(search.Candidates().ToVector(), ModelCandidates(snaps, {{C::scUnchanged}, {C::scWithin, {}, {0, 300}}},
                                                              {T::vtU16, TByteOrder::boLittle, false}));
    EXPECT_EQ(search.CheckNextStep(), "Add snapshot 4 before the next step");
  }
}

// The last piece of a snapshot near 2 GiB ends beyond the 32-bit range, and
// offsets past 4 GiB are found, listed, told apart and read exactly: three
// bytes differ, "unchanged" leaves pages (some in the file) without them,
// "changed" a list of them.
TEST(SnapshotLimits, SnapshotsOfAnySize) {
  TSnapshotSearch::PageBudget = 1u << 15;  // one page of 2^18 offsets
  for (const int64_t size : {int64_t{2146435073}, int64_t{2147483647}, (int64_t{1} << 32) + 17}) {
    SCOPED_TRACE(size);
    const int64_t mid = size - 9;  // past 4 GiB in the largest
    TSnapshotSearch search;
    search.AddSource(std::make_unique<TPatternSource>(size, 0), "before");
    search.AddSource(std::make_unique<TPatternSource>(size, 0, 0, 0, TPatternSource::TBytes{{5, 1}, {mid, 7}, {size - 1, 9}}),
                     "after");
    search.Restart({T::vtU8, TByteOrder::boLittle, false});
    ASSERT_TRUE(search.RunStep(*MakeStep(C::scUnchanged, T::vtU8, "", "").Step));
    const TCandidates& kept = search.Candidates();
    EXPECT_TRUE(kept.IsPaged());
    EXPECT_EQ(kept.Count(), size - 3);
    EXPECT_EQ(kept.At(mid - 2), mid - 1);
    EXPECT_EQ(kept.At(mid - 1), mid + 1);
    EXPECT_EQ(kept.PagesInFile(), 1);
    EXPECT_EQ(kept.At(size - 4), size - 2);
    EXPECT_FALSE(kept.Contains(mid));
    EXPECT_TRUE(kept.Contains(mid + 1));
    EXPECT_FALSE(kept.Contains(size - 1));
    ASSERT_TRUE(search.UndoStep());
    ASSERT_TRUE(search.RunStep(*MakeStep(C::scChanged, T::vtU8, "", "").Step));
    EXPECT_EQ(search.Candidates().ToVector(), (std::vector<int64_t>{5, mid, size - 1}));
    EXPECT_TRUE(search.Candidates().Contains(mid));
    EXPECT_EQ(search.Candidates().At(1), mid);
    EXPECT_EQ(search.ValueAt(0, mid) + " " + search.ValueAt(1, mid) + " " + search.ValueAt(1, size - 1), "0 7 9");
  }
  TSnapshotSearch::PageBudget = size_t{64} << 20;
}

// The peak of the process's resident memory since ResetPeak, in bytes; -1
// under a sanitizer, whose allocator holds freed memory back.
int64_t PeakResident() {
#if !defined(__SANITIZE_ADDRESS__)
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
#endif
  return -1;
}
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

class SnapshotMemory : public TempDirTest {};

// Snapshot k is snapshot 0 with every 4099th byte from k * 1000 on raised:
// "unchanged" keeps a dense set, "changed" leaves a list. Steps (u
// unchanged, c changed, x changed but cancelled half-way) and Undo step (<)
// hold at most the pages' budget (a quarter of the bitmap: the rest is in
// the file) and 16 MiB, and a set comes back as it was; a new search gives
// everything back, the files too.
TEST_F(SnapshotMemory, StepsUndoCancelAndResetStayWithinThePageBudget) {
  constexpr int32_t kSize = 256 << 20;
  TSnapshotSearch::PageBudget = size_t{8} << 20;
  const size_t bound = TSnapshotSearch::PageBudget + (size_t{16} << 20);
  ResetPeak();
  const int64_t peakBefore = PeakResident();
  TSnapshotSearch search;
  for (int k = 0; k < 4; ++k) search.AddSource(std::make_unique<TPatternSource>(kSize, 7, 4099 * (k > 0), k * 1000), "s");
  search.Restart({T::vtU32, TByteOrder::boLittle, false});
  const auto held = [&search, bound] {
    EXPECT_LE(search.MemoryBytes(), bound);
    return search.Candidates().Count();
  };
  std::vector<int64_t> counts{held()};  // after 0, 1, 2 ... steps
  for (char op : std::string("uux<uc")) {
    if (op == '<') ASSERT_TRUE(search.UndoStep());
    const auto progress = [&](int64_t done, int64_t total) { return held() >= 0 && (op != 'x' || done < total / 2); };
    const TStep step = *MakeStep(op == 'u' ? C::scUnchanged : C::scChanged, T::vtU32, "", "").Step;
    if (op != '<') ASSERT_EQ(search.RunStep(step, progress), op != 'x');
    if (search.StepCount() == static_cast<int>(counts.size())) counts.push_back(held());
    EXPECT_EQ(held(), counts[static_cast<size_t>(search.StepCount())]) << op;
  }
  EXPECT_TRUE(search.Candidates().IsList());
  EXPECT_EQ(List(WorkFiles()).size(), 1u);
  search.Restart(search.Format());
  EXPECT_LE(search.MemoryBytes(), 4096u);
  EXPECT_TRUE(List(WorkFiles()).empty());
  if (peakBefore >= 0) {
    EXPECT_LE(PeakResident() - peakBefore, static_cast<int64_t>(bound));
  }
  TSnapshotSearch::PageBudget = size_t{64} << 20;
}

class SnapshotSources : public TempDirTest {};

TEST_F(SnapshotSources, DocumentsAndFilesAsSnapshots) {
  EXPECT_THROW(TFileSource{Path("missing")}, std::runtime_error);
  EXPECT_THROW(TFileSource{Dir()}, std::runtime_error);
  // A file past 4 GiB (sparse: it takes no disk) is read where it says.
  const std::string big = Path("big");
  WriteFile(big, {});
  std::filesystem::resize_file(big, (uint64_t{1} << 32) + 17);
  std::fstream(big, std::ios::in | std::ios::out | std::ios::binary).seekp((int64_t{1} << 32) + 5).put('\x2A');
  TFileSource bigSource(big);
  uint8_t byte = 0;
  bigSource.Read(&byte, (int64_t{1} << 32) + 5, 1);
  EXPECT_EQ(bigSource.Size(), (int64_t{1} << 32) + 17);
  EXPECT_EQ(byte, 0x2A);
  TFakeHost host;
  TFakeDocuments docs;
  TSnapshotSearch search;
  // A counter at offset 6 (u16 big-endian): 0x00FF -> 0x0100 -> 0x0101.
  const std::vector<Bytes> data = {{9, 9, 9, 9, 9, 9, 0x00, 0xFF, 9, 9},
                                   {9, 9, 9, 9, 7, 9, 0x01, 0x00, 9, 9},
                                   {9, 9, 9, 9, 7, 9, 0x01, 0x01, 9}};
  for (size_t k = 0; k < data.size(); ++k) {
    const std::string path = Path("s" + std::to_string(k));
    WriteFile(path, data[k]);
    if (k == 2) {
      search.AddFile(path);
      continue;
    }
    auto editor = std::make_unique<THexEditor>(host);
    editor->Loaded();
    ASSERT_TRUE(editor->LoadFromFile(path));
    search.AddDocument(*editor, "doc" + std::to_string(k));
    docs.Editors.push_back(std::move(editor));
  }
  // A window that shows no snapshot keeps its caret.
  docs.Editors.push_back(std::make_unique<THexEditor>(host));
  docs.Editors.back()->Loaded();
  search.Restart({T::vtU16, TByteOrder::boBig, false});
  for (int k = 0; k < 2; ++k) ASSERT_TRUE(search.RunStep(*MakeStep(C::scIncreasedBy, T::vtU16, "1", "").Step));
  EXPECT_EQ(search.Candidates().ToVector(), std::vector<int64_t>{6});
  EXPECT_EQ(search.ValueAt(0, 6) + " " + search.ValueAt(2, 6) + " [" + search.ValueAt(2, 8) + "]", "255 257 []");
  EXPECT_EQ(search.SeekSnapshots(docs, 6), 2);
  EXPECT_EQ(docs.Editors[1]->GetCursorPos(), 6);
  EXPECT_EQ(docs.Editors[2]->GetCursorPos(), 0);
  // Closing a document's window: it is never read again, not even when a new
  // window's control takes its place in memory; Undo step reads no snapshot.
  search.ForgetClosedDocuments(docs);
  EXPECT_FALSE(search.SnapshotClosed(1));
  THexEditor* slot = docs.Editors[1].get();
  slot->~THexEditor();
  new (slot) THexEditor(host);
  search.ForgetClosedDocuments(docs);
  EXPECT_TRUE(search.SnapshotClosed(1));
  EXPECT_EQ(search.ValueAt(1, 6), "");
  EXPECT_TRUE(search.UndoStep());
  EXPECT_TRUE(search.UndoStep());
  EXPECT_EQ(search.CheckNextStep(), "Snapshot 2 (doc1) was closed; start a new search without it");
  search.Restart({T::vtU16, TByteOrder::boBig, false});
  EXPECT_EQ(search.SnapshotCount(), 2);
  EXPECT_EQ(search.CheckNextStep(), "");
}

}  // namespace
}  // namespace byteloom::test
