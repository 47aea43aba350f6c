// SPDX-License-Identifier: GPL-3.0-or-later
// The compare engine: the mode tests, the meter counters and rows, runs over
// open documents (file choice, offsets, warnings, carets, Compare again),
// a randomized check of every mode against whole-copy loops, and a
// differential test of search + Compare again (with start offsets, whose
// distance Compare again keeps) against `cmp -l`.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "compare/compareengine.h"
#include "control/documents.h"
#include "control/hexeditor.h"
#include "tests/support/fakedocuments.h"
#include "tests/support/fakehost.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using M = TCompareMode;

// --- Mode tests and meter arithmetic ----------------------------------------------

TEST(CompareModes, TestsWithoutWrapAround) {
  struct Row {
    M Mode;
    int A, B, V1, V2;
    bool Match;
  };
  const Row rows[] = {
      {M::cmIncrease, 5, 6, 0, 0, true},          {M::cmIncreaseBy1, 5, 6, 0, 0, true},
      {M::cmDecrease, 5, 6, 0, 0, false},         {M::cmSimple, 5, 6, 0, 0, true},
      {M::cmIncreaseBy1, 0xFF, 0, 0, 0, false},   {M::cmDecrease, 0xFF, 0, 0, 0, true},
      {M::cmDecreaseBy1, 0, 0xFF, 0, 0, false},   {M::cmDecreaseBy1, 7, 6, 0, 0, true},
      {M::cmIncreaseByValue, 10, 13, 3, 0, true}, {M::cmIncreaseByValue, 10, 12, 3, 0, false},
      {M::cmIncreaseByValue, 0xFE, 1, 3, 0, false}, {M::cmDecreaseByValue, 13, 10, 3, 0, true},
      {M::cmDecreaseByValue, 1, 0xFE, 3, 0, false}, {M::cmValuePair, 2, 1, 2, 1, true},
      {M::cmValuePair, 1, 2, 2, 1, false},        {M::cmIncreaseByValue, 4, 4, 0, 0, true},
  };
  for (const Row& r : rows)
    EXPECT_EQ(DifferenceMatches(r.Mode, static_cast<uint8_t>(r.A), static_cast<uint8_t>(r.B),
                                static_cast<uint8_t>(r.V1), static_cast<uint8_t>(r.V2)),
              r.Match)
        << static_cast<int>(r.Mode) << " " << r.A << "->" << r.B;
}

TEST(CompareMeter, BucketsRoundHalvesToEvenAndRowsHideNothing) {
  // i / (n / 2) * 100: 0.5 -> 0, 1.5 -> 2, 2.5 -> 2, 99.5 -> 100.
  const struct {
    int64_t I, N;
    int Bucket;
  } rows[] = {{0, 10, 0}, {1, 400, 0}, {3, 400, 2}, {5, 400, 2}, {199, 400, 100}, {99, 100, 198},
              {1, 2, 100}, {511, 512, 200}, {399, 400, 200}, {397, 400, 198}};
  for (const auto& r : rows) EXPECT_EQ(MeterBucket(r.I, r.N), r.Bucket) << r.I << "/" << r.N;

  TMeterBuckets buckets{};
  for (int k : {0, 100, 197, 199}) buckets[static_cast<size_t>(k)] = 1;
  const auto red = MeterRedRows(buckets);
  for (int row = 0; row < kMeterRows; ++row)
    EXPECT_EQ(red[static_cast<size_t>(row)], row == 0 || row == 100 || row == 197) << row;
  buckets = {};
  buckets[200] = 5;
  EXPECT_TRUE(MeterRedRows(buckets)[kMeterRows - 1]);
  EXPECT_EQ(PairCount(100, 120, 0, 4), 96);
  EXPECT_EQ(PairCount(10, 20, 12, 0), -2);
}

// Every mode, start offsets and the meter against loops over whole copies,
// on random pairs that are mostly equal, across piece borders.
TEST(CompareScan, AgreesWithWholeCopyLoops) {
  std::mt19937 rng(7);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 300; ++round) {
    const bool big = round % 50 == 0;
    Bytes one(static_cast<size_t>(big ? pick(kComparePieceSize, 3 * kComparePieceSize) : pick(0, 300)));
    for (auto& b : one) b = static_cast<uint8_t>(pick(0, 3));
    Bytes two = one;
    two.resize(one.size() + static_cast<size_t>(pick(-20, 20) < 0 ? 0 : pick(0, 20)));
    const int changes = pick(0, big ? 40 : 30);
    for (int c = 0; c < changes && !two.empty(); ++c)
      two[static_cast<size_t>(pick(0, static_cast<int>(two.size()) - 1))] = static_cast<uint8_t>(pick(0, 5));
    if (round % 2) std::swap(one, two);
    TScanRequest req;
    req.Mode = static_cast<M>(pick(0, 7));
    req.Value1 = static_cast<uint8_t>(pick(0, 3));
    req.Value2 = static_cast<uint8_t>(pick(0, 3));
    req.Start1 = pick(0, 5);
    req.Start2 = pick(0, 5);
    req.Meter = round % 5 == 0;

    const int64_t n = PairCount(static_cast<int32_t>(one.size()), static_cast<int32_t>(two.size()), req.Start1,
                                req.Start2);
    int64_t expected = -1;
    TMeterBuckets expectedBuckets{};
    for (int64_t i = 0; i < n && expected < 0; ++i) {
      const uint8_t a = one[static_cast<size_t>(req.Start1 + i)], b = two[static_cast<size_t>(req.Start2 + i)];
      if (a == b) continue;
      if (req.Meter)
        ++expectedBuckets[static_cast<size_t>(MeterBucket(i, n))];
      else if (DifferenceMatches(req.Mode, a, b, req.Value1, req.Value2))
        expected = i;
    }
    TBufferSource s1(one), s2(two);
    TMeterBuckets buckets{};
    const TScanOutcome out = ScanDifferences(s1, s2, req, buckets);
    ASSERT_EQ(out.Found ? out.Pair : -1, expected) << "round " << round;
    ASSERT_EQ(buckets, expectedBuckets) << "round " << round;
  }
}

// --- Runs over open documents ---------------------------------------------------------

class CompareRun : public TempDirTest {
 protected:
  void TearDown() override {
    Docs.Editors.clear();
    TempDirTest::TearDown();
  }
  void Open(const Bytes& data) {
    const std::string path = Path("f" + std::to_string(Docs.Editors.size()));
    WriteFile(path, data);
    auto editor = std::make_unique<THexEditor>(Host);
    editor->Loaded();
    ASSERT_TRUE(editor->LoadFromFile(path)) << editor->LastError();
    Docs.Editors.push_back(std::move(editor));
  }
  // A run as the dialog starts it; the warnings it showed go to Warnings.
  TCompareOutcome Run(bool meter = false) {
    Warnings.clear();
    TCompareHooks hooks;
    hooks.Warning = [this](const std::string& text) { Warnings.push_back(text); };
    return Engine.Run(Docs, Fields, meter, hooks);
  }
  // Compare again, as the frame's command does it.
  TCompareOutcome Again() {
    Engine.CompareAgainMode = true;
    std::tie(Fields.Start1, Fields.Start2) = Engine.AgainOffsets(Docs);
    return Run();
  }
  void Choose(int k1, int k2) {
    Engine.ListDocuments(Docs);
    Fields.File1 = std::to_string(k1) + " : doc" + std::to_string(k1);
    Fields.File2 = std::to_string(k2) + " : doc" + std::to_string(k2);
  }
  int32_t Caret(int k) { return Docs.Editors[static_cast<size_t>(k)]->GetCursorPos(); }
  static Bytes With(Bytes data, std::initializer_list<std::pair<int, uint8_t>> bytes) {
    for (auto [pos, value] : bytes) data[static_cast<size_t>(pos)] = value;
    return data;
  }

  TFakeHost Host;
  TFakeDocuments Docs;
  TCompareEngine Engine;
  TCompareFields Fields;
  std::vector<std::string> Warnings;
};

using Strings = std::vector<std::string>;

TEST_F(CompareRun, FindsTheChangeMovesEveryCaretAndCompareAgainGoesOn) {
  Open(With(Bytes(40, 1), {{10, 5}, {20, 0xFF}}));
  Open(With(Bytes(40, 1), {{10, 6}, {20, 0}}));
  Open(Bytes(15, 0));  // a third, shorter window
  EXPECT_EQ(Engine.ListDocuments(Docs), (Strings{"2 : doc2", "1 : doc1", "0 : doc0"}));
  Choose(0, 1);
  Fields.Mode = M::cmIncreaseBy1;
  TCompareOutcome out = Run();
  EXPECT_TRUE(out.Found && out.Compared);
  EXPECT_EQ(out.Offset, 10);
  EXPECT_EQ(Warnings, Strings{});
  for (int k : {0, 1, 2}) EXPECT_EQ(Caret(k), 10);
  // Next: offset 20 (FF -> 00) is no rise by 1; the shorter window refuses it.
  EXPECT_FALSE(Again().Found);
  EXPECT_EQ(Warnings, Strings{"No differences found!"});
  Fields.Mode = M::cmDecrease;
  EXPECT_EQ(Again().Offset, 20);
  EXPECT_EQ(Warnings, Strings{"Error while setting Cursor to:20"});
  EXPECT_EQ(Caret(1), 20);
  EXPECT_EQ(Caret(2), 10);  // the shorter window keeps its caret
}

TEST_F(CompareRun, FileChoiceOffsetsAndValueWarnings) {
  Open(With(Bytes(100, 0), {{50, 2}}));
  Open(With(Bytes(120, 0), {{50, 1}, {110, 9}}));
  Choose(0, 1);
  Fields.Start1 = Fields.Start2 = "0";
  Fields.Value1 = "2";
  Fields.Value2 = "1";
  Fields.Mode = M::cmValuePair;
  struct Row {
    std::string File1, File2, Start1, Start2, Value1;
    int Offset;
    Strings Warnings;
  };
  const std::string sizes = "Filesize different!\n\rResult can be wrong!";
  const std::string choose = "Please choose 2 different Files!";
  const Row rows[] = {
      {"0 : doc0", "1 : doc1", "0", "0", "2", 50, {sizes}},
      {"0 : doc0", "0 : doc0", "0", "0", "2", -1, {choose}},
      {"0", "0 : doc0", "0", "0", "2", -1, {choose}},
      {"Please choose..", "1 : doc1", "0", "0", "2", -1, {choose}},
      {"2 : doc2", "1 : doc1", "0", "0", "2", -1, {choose}},
      {"0 : doc0", "1 : doc1", "x", "0", "2", 50, {"Error while converting Startpos. Editor uses 0 for both Files", sizes}},
      {"0 : doc0", "1 : doc1", "-5", "0", "2", 50, {"Error while converting Startpos. Editor uses 0 for both Files", sizes}},
      {"0 : doc0", "1 : doc1", "51", "51", "2", -1, {sizes, "No differences found!"}},
      {"0 : doc0", "1 : doc1", "$32", "50", "2", 50, {sizes}},
      {"0 : doc0", "1 : doc1", "100", "0", "2", -1, {sizes, "No differences found!"}},
      // A field that does not convert keeps the value held before (2).
      {"0 : doc0", "1 : doc1", "0", "0", "zwei", 50, {"Error while converting FValue 1 or 2.", sizes}},
  };
  for (const Row& r : rows) {
    Fields.File1 = r.File1;
    Fields.File2 = r.File2;
    Fields.Start1 = r.Start1;
    Fields.Start2 = r.Start2;
    Fields.Value1 = r.Value1;
    EXPECT_EQ(Run().Offset, r.Offset) << r.File1 << "|" << r.File2 << "|" << r.Start1 << "|" << r.Value1;
    EXPECT_EQ(Warnings, r.Warnings) << r.File1 << "|" << r.File2 << "|" << r.Start1 << "|" << r.Value1;
  }
  // FValue 1 = 0 never matches in the "FValue 1" modes.
  Fields.Value1 = "0";
  for (M mode : {M::cmIncreaseByValue, M::cmDecreaseByValue}) {
    Fields.Mode = mode;
    EXPECT_FALSE(Run().Found);
  }
  // Compare again shows no size warning.
  Fields.Mode = M::cmSimple;
  Docs.Editors[0]->Seek(0, 0, true);
  EXPECT_EQ(Again().Offset, 50);
  EXPECT_EQ(Warnings, Strings{});
}

TEST_F(CompareRun, AValueTheModeUsesMustBeAByte) {
  Open(With(Bytes(40, 0), {{10, 3}, {20, 0x80}}));
  Open(With(Bytes(40, 0), {{10, 10}, {20, 0x81}}));  // 3 grew by 7
  Choose(0, 1);
  const auto refused = [](int k, const char* v) {
    return Strings{"FValue " + std::to_string(k) + " = " + v + " is not a byte value (0 to 255); nothing was compared."};
  };
  struct Row {
    M Mode;
    const char *Value1, *Value2;
    bool Meter;
    int Offset;
    Strings Warnings;
  } rows[] = {
      {M::cmValuePair, "128", "129", false, 20, {}},
      {M::cmValuePair, "$FF", "385", false, -1, refused(2, "385")},
      {M::cmValuePair, "-128", "129", false, -1, refused(1, "-128")},
      {M::cmIncreaseByValue, "7", "1", false, 10, {}},
      {M::cmIncreaseByValue, "263", "1", false, -1, refused(1, "263")},
      {M::cmIncreaseByValue, "-249", "1", false, -1, refused(1, "-249")},
      {M::cmIncreaseByValue, "$107", "1", false, -1, refused(1, "263")},
      {M::cmDecreaseByValue, "256", "1", false, -1, refused(1, "256")},
      {M::cmDecreaseByValue, "-1", "1", false, -1, refused(1, "-1")},
      {M::cmIncreaseByValue, "7", "300", false, 10, {}},  // FValue 2 is not looked at
      {M::cmSimple, "264", "-1", false, 10, {}},
      {M::cmIncreaseByValue, "264", "1", true, -1, {}},  // a meter run uses no value
      // A field that does not convert uses the last byte value (7), never 264.
      {M::cmIncreaseByValue, "x", "1", false, 10, {"Error while converting FValue 1 or 2."}},
  };
  for (const Row& r : rows) {
    Fields.Mode = r.Mode;
    Fields.Value1 = r.Value1;
    Fields.Value2 = r.Value2;
    Docs.Editors[0]->Seek(0, 0, true);
    const TCompareOutcome out = Run(r.Meter);
    EXPECT_EQ(out.Offset, r.Offset) << r.Value1 << " " << r.Value2;
    EXPECT_EQ(out.Compared, r.Warnings.empty() || r.Warnings[0].find("byte value") == std::string::npos) << r.Value1;
    EXPECT_EQ(Warnings, r.Warnings) << r.Value1 << " " << r.Value2;
    EXPECT_EQ(Caret(0), std::max(r.Offset, 0)) << r.Value1;
  }
}

TEST_F(CompareRun, EntriesKeepNamingTheirDocumentsWhenTheOrderChanges) {
  for (int k = 0; k < 12; ++k) Open(With(Bytes(20, 0), {{k, 1}}));
  Choose(11, 0);
  EXPECT_EQ(Run().Offset, 0);  // window 11 (byte 11 set), not window 1
  std::swap(Docs.Editors[0], Docs.Editors[11]);  // another window became active
  // Compare again still compares window 11 (now index 0) with window 0.
  Fields.Mode = M::cmDecrease;
  EXPECT_EQ(Again().Offset, 11);
  // A listed window that has gone makes the choice invalid, even when a new
  // window's control takes its place in memory.
  THexEditor* slot = Docs.Editors[0].get();
  slot->~THexEditor();
  new (slot) THexEditor(Host);
  EXPECT_FALSE(Again().Compared);
  EXPECT_EQ(Warnings, Strings{"Please choose 2 different Files!"});
  Docs.Editors.erase(Docs.Editors.begin());
  EXPECT_FALSE(Again().Compared);
}

TEST_F(CompareRun, MeterRunCountsEveryDifferenceFromTheStart) {
  Bytes one(100), two(200);
  for (size_t i = 0; i < two.size(); ++i) two[i] = static_cast<uint8_t>(i + 1);
  Open(one);
  Open(two);
  Choose(0, 1);
  Fields.Start1 = Fields.Start2 = "40";
  const TCompareOutcome out = Run(true);
  EXPECT_TRUE(out.Compared && !out.Found);
  EXPECT_EQ(Warnings, Strings{});  // neither the size warning nor "No differences found!"
  for (int k = 0; k < kMeterBucketCount; ++k)
    EXPECT_EQ(Engine.MeterBuckets[static_cast<size_t>(k)], k % 2 == 0 && k <= 198 ? 1 : 0) << k;
  // A search clears the counters.
  Run();
  EXPECT_EQ(Engine.MeterBuckets, TMeterBuckets{});
}

TEST_F(CompareRun, CancelEndsAsNothingFoundWithoutMessage) {
  Open(Bytes(2 * kComparePieceSize, 0));
  Open(With(Bytes(2 * kComparePieceSize, 0), {{kComparePieceSize + 5, 1}}));
  Choose(0, 1);
  Fields.Start1 = Fields.Start2 = "0";
  TCompareHooks hooks;
  hooks.Warning = [this](const std::string& text) { Warnings.push_back(text); };
  hooks.Progress = [](int64_t, int64_t) { return false; };
  const TCompareOutcome out = Engine.Run(Docs, Fields, false, hooks);
  EXPECT_TRUE(out.Cancelled && !out.Found && out.Compared);
  EXPECT_EQ(Warnings, Strings{});
}

// --- Against cmp -l ----------------------------------------------------------------------

// The offsets (pair numbers) `cmp -l` lists for the two files from the skips on.
std::vector<int64_t> CmpOffsets(const std::string& f1, const std::string& f2, int s1, int s2) {
  const std::string command =
      "cmp -l -i " + std::to_string(s1) + ":" + std::to_string(s2) + " '" + f1 + "' '" + f2 + "' 2>/dev/null";
  std::vector<int64_t> offsets;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return offsets;
  long long byte = 0;
  char line[128];
  while (std::fgets(line, sizeof line, pipe))
    if (std::sscanf(line, "%lld", &byte) == 1) offsets.push_back(byte - 1);
  pclose(pipe);
  return offsets;
}

TEST_F(CompareRun, SearchAndCompareAgainVisitWhatCmpLists) {
  if (std::system("cmp --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "cmp is not installed";
  std::mt19937 rng(11);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int round = 0; round < 8; ++round) {
    Docs.Editors.clear();
    const int size1 = round < 2 ? pick(kComparePieceSize, 2 * kComparePieceSize) : pick(1, 5000);
    const int size2 = round % 3 == 0 ? size1 : std::max(1, size1 + pick(-300, 300));
    Bytes one(static_cast<size_t>(size1));
    for (auto& b : one) b = static_cast<uint8_t>(pick(0, 255));
    const int s1 = round % 2 ? pick(0, 40) : 0, s2 = round % 4 == 1 ? pick(0, 40) : s1;
    // File 2 holds file 1 shifted by s2 - s1, with a few changes.
    Bytes two(static_cast<size_t>(size2));
    for (int p = 0; p < size2; ++p) {
      const int q = p - s2 + s1;
      two[static_cast<size_t>(p)] = q >= 0 && q < size1 ? one[static_cast<size_t>(q)] : static_cast<uint8_t>(p);
    }
    for (int c = pick(0, 25); c > 0; --c) two[static_cast<size_t>(pick(0, size2 - 1))] ^= 0x40;
    Open(one);
    Open(two);
    const int64_t n = PairCount(size1, size2, s1, s2);
    std::vector<int64_t> expected;
    for (int64_t offset : CmpOffsets(Path("f0"), Path("f1"), s1, s2))
      if (offset < n) expected.push_back(offset);

    Choose(0, 1);
    Fields.Start1 = std::to_string(s1);
    Fields.Start2 = std::to_string(s2);
    Engine.CompareAgainMode = false;
    std::vector<int64_t> visited;
    for (TCompareOutcome out = Run(); out.Found && visited.size() <= expected.size(); out = Again())
      visited.push_back(out.Offset - s1);
    EXPECT_EQ(visited, expected) << "round " << round << " sizes " << size1 << "/" << size2 << " starts " << s1
                                 << "/" << s2;
    EXPECT_TRUE(!Warnings.empty() && Warnings.back() == "No differences found!");
  }
}

}  // namespace
}  // namespace byteloom::test
