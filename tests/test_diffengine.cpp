// SPDX-License-Identifier: GPL-3.0-or-later
// The side-by-side difference engine against a brute-force reading of the
// same pairs: random documents of different lengths, shifts from -8 to +8,
// pieces small enough that runs straddle them, empty documents; and against
// cmp -l on files.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <fstream>
#include <random>

#include "compare/diffengine.h"
#include "compare/sidebyside.h"
#include "tests/support/editortest.h"
#include "tests/support/fakecanvas.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using Bytes = std::vector<uint8_t>;

// The pair at a fixed shift read position by position: the lane holds the
// left positions where either side has a byte, each of kind 0 (the same
// byte), 1 (different bytes), 2 (only the right has one) or 3 (only the left).
struct Brute {
  std::vector<int> Kinds;
  Brute(const Bytes& l, const Bytes& r, int64_t shift) {
    const auto ls = static_cast<int64_t>(l.size()), rs = static_cast<int64_t>(r.size());
    for (int64_t o = std::min<int64_t>(0, -shift); o < std::max(ls, rs - shift); ++o) {
      const int64_t p = o + shift;
      const bool left = o >= 0 && o < ls, right = p >= 0 && p < rs;
      if (left && right)
        Kinds.push_back(l[static_cast<size_t>(o)] != r[static_cast<size_t>(p)]);
      else if (left || right)
        Kinds.push_back(left ? 3 : 2);
    }
  }
  int64_t Last() const { return static_cast<int64_t>(Kinds.size()); }
  int Kind(int64_t k) const { return k >= 0 && k < Last() ? Kinds[static_cast<size_t>(k)] : 0; }
  bool Differs(int64_t k) const { return Kind(k) != 0; }
  // Where F7 stops: a change of kind.
  bool Start(int64_t k) const { return Differs(k) && (k == 0 || Kind(k - 1) != Kind(k)); }
  // Where a counted run starts: one-sided stretches count once however the sides take turns.
  bool RunStart(int64_t k) const { return Differs(k) && (k == 0 || (Kind(k - 1) >= 2) != (Kind(k) >= 2) || !Differs(k - 1)); }
};

// Pieces of 5 and 64 bytes make runs straddle them; a third of the
// positions differ in runs of 1 to 4, or none at all. Every sixth pair is
// shifted so far that a gap lies between the two sides.
TEST(DiffEngine, RunsCountsAndBucketsMatchABruteForceReading) {
  std::mt19937 rng(11);
  const int32_t savedPiece = TDiffEngine::PieceSize;
  for (int round = 0; round < 120; ++round) {
    Bytes l(rng() % 4 == 0 ? rng() % 3 : rng() % 300), r = l;
    r.resize(rng() % 2 ? l.size() : rng() % 300);
    for (size_t i = 0; i < r.size(); ++i) r[i] = i < l.size() ? l[i] : static_cast<uint8_t>(rng());
    for (size_t i = 0; round % 5 != 0 && i < r.size(); i += 1 + rng() % 9)
      for (size_t k = 0, n = 1 + rng() % 4; k < n && i + k < r.size(); ++k) r[i + k] ^= static_cast<uint8_t>(1 + rng() % 255);
    int64_t shift = static_cast<int64_t>(rng() % 17) - 8;
    if (round % 6 == 5)
      shift = rng() % 2 ? static_cast<int64_t>(r.size() + 1 + rng() % 70) : -static_cast<int64_t>(l.size() + 1 + rng() % 70);
    TDiffEngine::PieceSize = round % 2 ? 5 : 64;
    TBufferSource left(l), right(r);
    TDiffEngine engine(left, right, shift);
    const Brute b(l, r, shift);
    SCOPED_TRACE(testing::Message() << "round " << round << " sizes " << l.size() << "/" << r.size() << " shift " << shift);
    ASSERT_EQ(engine.Last(), b.Last());
    TDiffSummary want;
    const int nb = round % 3 == 0 ? 1 : 7;
    want.Buckets.assign(static_cast<size_t>(nb), 0);
    std::optional<int64_t> next;  // the first run start after o, walking back
    for (int64_t o = b.Last() + 1; o >= -2; --o) {
      ASSERT_EQ(engine.NextRun(o), next) << o;
      if (b.Start(o)) next = o;
    }
    std::optional<int64_t> previous;
    for (int64_t o = -2; o <= b.Last() + 1; ++o) {
      ASSERT_EQ(engine.PreviousRun(o), previous) << o;
      if (b.Start(o)) previous = o;
      if (b.Differs(o)) {
        want.Runs += b.RunStart(o);
        want.ChangedRuns += b.Kind(o) == 1 && b.Kind(o - 1) != 1;
        (b.Kind(o) == 2 ? want.Inserted : b.Kind(o) == 3 ? want.Deleted : want.Bytes) += 1;
        ++want.Buckets[static_cast<size_t>(o * nb / b.Last())];
      }
    }
    want.Bytes += want.Inserted + want.Deleted;
    const std::optional<TDiffSummary> got = engine.Summarize(nb);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->Runs, want.Runs);
    EXPECT_EQ(got->Bytes, want.Bytes);
    EXPECT_EQ(got->ChangedRuns, want.ChangedRuns);
    EXPECT_EQ(got->Inserted, want.Inserted);
    EXPECT_EQ(got->Deleted, want.Deleted);
    EXPECT_EQ(got->Buckets, want.Buckets);
    // The same in slices of 1 to 20 positions, which cut pieces and runs.
    TDiffSummaryRun run(engine, nb);
    for (int steps = 0; !run.Step(1 + static_cast<int64_t>(rng() % 20)); ++steps) ASSERT_LT(steps, 1000);
    EXPECT_EQ(run.Done(), run.Total());
    EXPECT_EQ(run.Summary().Runs, want.Runs);
    EXPECT_EQ(run.Summary().Buckets, want.Buckets);
    Bytes marks(40);
    const int64_t from = static_cast<int64_t>(rng() % static_cast<uint64_t>(b.Last() + 40)) - 20;
    engine.Mark(from, 40, marks.data());
    for (int i = 0; i < 40; ++i) EXPECT_EQ(marks[static_cast<size_t>(i)], b.Kind(from + i)) << from + i;
  }
  TDiffEngine::PieceSize = savedPiece;
}

// Two 5-byte files whose shift keeps them apart: only the bytes there are
// count, and the status line says it in both forms.
TEST(DiffEngine, CountsOfPairsApartAndChanged) {
  const Bytes l(5, 1), r(5, 2);
  TBufferSource left(l), right(r);
  for (const auto& [shift, counts, insertions] :
       {std::tuple<int64_t, std::string, std::string>{10, "1 differing run, 10 bytes", "0 changed runs, 5 bytes inserted, 5 bytes deleted"},
        {-8, "1 differing run, 10 bytes", "0 changed runs, 5 bytes inserted, 5 bytes deleted"},
        {1, "3 differing runs, 6 bytes", "1 changed run, 1 byte inserted, 1 byte deleted"}}) {
    const std::optional<TDiffSummary> s = TDiffEngine(left, right, shift).Summarize(4);
    ASSERT_TRUE(s);
    EXPECT_EQ(TSideBySide::CountsText(*s), counts) << shift;
    EXPECT_EQ(TSideBySide::CountsText(*s, true), insertions) << shift;
  }
}

// cmp -l lists the differing bytes of the common length; the longer file's
// tail counts on top. A cancelled summary gives nothing.
class DiffFiles : public TempDirTest {};

TEST_F(DiffFiles, CountsWhatCmpLists) {
  std::mt19937 rng(5);
  Bytes l(3 << 20), r;
  for (auto& x : l) x = static_cast<uint8_t>(rng());
  r = l;
  r.resize(r.size() + 16, 0x55);
  for (size_t i = 0; i < l.size(); i += 1 + rng() % 5000) r[i] ^= 0x5A;
  r[l.size() - 1] ^= 1;
  std::ofstream(Path("l"), std::ios::binary).write(reinterpret_cast<const char*>(l.data()), static_cast<std::streamsize>(l.size()));
  std::ofstream(Path("r"), std::ios::binary).write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
  const std::string cmd = "cmp -l " + Path("l") + " " + Path("r") + " 2>/dev/null | wc -l";
  FILE* p = popen(cmd.c_str(), "r");
  long listed = 0;
  ASSERT_EQ(std::fscanf(p, "%ld", &listed), 1);
  pclose(p);
  TBufferSource left(l), right(r);
  TDiffEngine engine(left, right, 0);
  const std::optional<TDiffSummary> s = engine.Summarize(16);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Bytes, listed + 16);
  // The longer file's tail is a run of its own after the last common byte's.
  EXPECT_EQ(engine.NextRun(static_cast<int64_t>(l.size()) - 1), static_cast<int64_t>(l.size()));
  EXPECT_EQ(engine.PreviousRun(engine.Last()), static_cast<int64_t>(l.size()));
  EXPECT_FALSE(engine.Summarize(16, [](int64_t, int64_t) { return false; }));
}

// A locked pair: the right document is the left one with 4 bytes put in
// front and three runs changed, the last one at the left's very end, plus a
// tail (a run of its own).
class SideBySide : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(800, 160);  // 10 rows on screen
    Right = std::make_unique<THexEditor>(RightHost);
    RightHost.Target = Right.get();
    Right->Loaded();
    Right->SetClientSize(800, 160);
  }
  void TearDown() override {
    Pair.reset();
    Right.reset();
    EditorTest::TearDown();
  }
  TFakeHost RightHost;
  std::unique_ptr<THexEditor> Right;
  std::unique_ptr<TSideBySide> Pair;
};

TEST_F(SideBySide, TheOtherSideFollowsAndF7VisitsEveryRunInBoth) {
  Bytes l = Pattern(1000, 3), r = {9, 9, 9, 9};
  r.insert(r.end(), l.begin(), l.end());
  for (size_t at : {104u, 105u, 604u, 1003u}) r[at] ^= 0xFF;  // runs at 100 (2 bytes), 600, 999
  r.insert(r.end(), 16, 0x77);
  Load(l);
  WriteFile(Path("r.bin"), r);
  ASSERT_TRUE(Right->LoadFromFile(Path("r.bin")));
  Pair = std::make_unique<TSideBySide>(*Ed, *Right, 4);
  EXPECT_EQ(Pair->CaptionMark(*Ed), "(+4)");
  EXPECT_EQ(Pair->CaptionMark(*Right), "(-4)");
  // Caret, selection and view of the left move the right one.
  Ed->SetSelStart(300);
  Ed->SetSelEnd(310);
  Ed->SetTopRow(17);
  Pair->Follow(*Ed);
  EXPECT_EQ(Right->GetCursorPos(), 304);
  EXPECT_EQ(Right->SelMin(), 304);
  EXPECT_EQ(Right->SelMax(), 314);
  EXPECT_EQ(Right->TopRow(), (17 * 16 + 4) / 16);
  // F7 from either side: every run once, then the right's extra tail.
  Ed->SetSelStart(0);
  Pair->Follow(*Ed);
  for (int64_t want : {100, 600, 999, 1000}) {
    ASSERT_TRUE(Pair->NextDifference(want % 2 ? *Right : *Ed)) << want;
    EXPECT_EQ(Ed->GetCursorPos(), std::min<int64_t>(want, 999));
    EXPECT_EQ(Right->GetCursorPos(), want + 4);
  }
  EXPECT_FALSE(Pair->NextDifference(*Ed));
  for (int64_t want : {999, 600, 100, -4}) {
    ASSERT_TRUE(Pair->PreviousDifference(*Right)) << want;
    EXPECT_EQ(Right->GetCursorPos(), want + 4);
  }
  // Align here: the bytes under both carets line up.
  Ed->SetSelStart(10);
  Right->SetSelStart(30);
  Pair->AlignHere();
  EXPECT_EQ(Pair->Shift(), 20);
  const std::optional<TDiffSummary> s = Pair->Engine().Summarize(4);
  ASSERT_TRUE(s);
  EXPECT_EQ(TSideBySide::CountsText(*s), std::to_string(s->Runs) + " differing runs, " + std::to_string(s->Bytes) + " bytes");
  EXPECT_EQ(TSideBySide::CountsText(TDiffSummary{1, 1, {}}), "1 differing run, 1 byte");
}

// Sync: the side that moved since the last look leads (the hinted one when
// both moved); every edit, undo and redo is seen; the marks of a painted row
// follow the edit; a click on the overview jumps both carets.
TEST_F(SideBySide, SyncFollowsWhatMovedAndSeesEveryEdit) {
  Load(Pattern(320, 1));
  WriteFile(Path("r.bin"), Pattern(320, 1));
  ASSERT_TRUE(Right->LoadFromFile(Path("r.bin")));
  Pair = std::make_unique<TSideBySide>(*Ed, *Right, 0);
  EXPECT_FALSE(Pair->Sync());
  const uint8_t x = 0xEE;
  struct Step {
    const char* What;
    std::function<void()> Act;
    const THexEditor* Lead;
    bool Edited;
    int32_t Caret;  // both carets afterwards
  };
  const Step steps[] = {
      {"left caret", [&] { Ed->SetSelStart(40); }, nullptr, false, 40},
      {"right caret", [&] { Right->SetSelStart(77); }, nullptr, false, 77},
      {"both, right leads", [&] { Ed->SetSelStart(5), Right->SetSelStart(9); }, Right.get(), false, 9},
      {"right typed over", [&] { Right->SetSelEnd(9), Right->ReplaceSelection(&x, 1); }, nullptr, true, 9},
      {"left undo (nothing to undo)", [&] { Ed->Undo(); }, nullptr, true, 9},
      {"right undo", [&] { Right->Undo(); }, nullptr, true, 9},
      {"right redo", [&] { Right->Redo(); }, nullptr, true, 9},
      {"nothing", [] {}, nullptr, false, 9},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.What);
    st.Act();
    EXPECT_EQ(Pair->Sync(st.Lead), st.Edited);
    EXPECT_EQ(Ed->GetCursorPos(), st.Caret);
    EXPECT_EQ(Right->GetCursorPos(), st.Caret);
  }
  uint8_t marks[16];
  Pair->Mark(*Ed, 0, 16, marks);
  EXPECT_EQ(std::vector<uint8_t>(marks, marks + 16), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0}));
  Ed->SetTopRow(3);
  Pair->Sync();
  EXPECT_EQ(Pair->Visible(*Right), (std::pair<int64_t, int64_t>{48, 48 + 16 * 10}));
  Pair->JumpTo(1000);
  EXPECT_EQ(Ed->GetCursorPos(), 319);
  EXPECT_EQ(Right->GetCursorPos(), 319);
}

// Both views lay out the lane: a side shorter than the other at the shift
// scrolls along over gap rows, its caret stays on its own bytes (keys, the
// byte after a gap), and without the pair it has its own rows again.
TEST_F(SideBySide, AShorterSideScrollsAlongOverGapRows) {
  struct Row {
    const char* What;
    int32_t LeftSize, RightSize;
    int64_t Shift;
    bool RightLeads;
    int LeadTop;
    int32_t LeadCaret;
    int32_t Caret;  // the other side's afterwards
    int64_t Rows;   // of both views
  };
  const Row rows[] = {
      {"the right's tail", 320, 800, 0, true, 40, 790, 319, 50},
      {"the right's head", 320, 800, 40, true, 0, 5, 0, 50},
      {"the left's head", 800, 320, -40, false, 0, 5, 0, 50},
      {"the left's tail", 800, 320, 0, false, 40, 700, 319, 50},
      {"both have bytes", 800, 800, 16, false, 10, 200, 216, 51},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    Pair.reset();
    Load(Pattern(static_cast<size_t>(row.LeftSize), 3));
    WriteFile(Path("r.bin"), Pattern(static_cast<size_t>(row.RightSize), 3));
    ASSERT_TRUE(Right->LoadFromFile(Path("r.bin")));
    Pair = std::make_unique<TSideBySide>(*Ed, *Right, row.Shift);
    EXPECT_EQ(Ed->RowCount(), row.Rows);
    EXPECT_EQ(Right->RowCount(), row.Rows);
    THexEditor& lead = row.RightLeads ? *Right : *Ed;
    THexEditor& other = row.RightLeads ? *Ed : *Right;
    lead.SetSelStart(row.LeadCaret);
    lead.SetTopRow(row.LeadTop);
    EXPECT_FALSE(Pair->Sync(&lead));
    EXPECT_EQ(other.TopRow(), row.LeadTop);
    EXPECT_EQ(other.GetCursorPos(), row.Caret);
    // The caret keeps to the bytes there are: keys over gap rows.
    for (uint16_t key : {VK_DOWN, VK_NEXT, VK_UP, VK_NEXT, VK_NEXT, VK_NEXT}) {
      uint16_t k = key;
      other.KeyDown(k, 0);
      EXPECT_GE(other.GetCursorPos(), 0);
      EXPECT_LT(other.GetCursorPos(), other.DataSize());
    }
    // Without the pair: the side's own rows.
    Pair.reset();
    EXPECT_EQ(other.RowCount(), (other.DataSize() + 15) / 16);
  }
}

TEST_F(SideBySide, GapsArePaintedBlankInTheirOwnColour) {
  Load(Pattern(40, 3));
  WriteFile(Path("r.bin"), Pattern(100, 3));
  ASSERT_TRUE(Right->LoadFromFile(Path("r.bin")));
  Pair = std::make_unique<TSideBySide>(*Ed, *Right, -8);  // the right's byte 0 faces the left's 8
  int asked = 0;
  Ed->SetDifferenceMarks([&](int32_t pos, int32_t count, uint8_t* out) {
    ++asked;
    Pair->Mark(*Ed, pos, count, out);
  });
  TFakeCanvas canvas;
  Ed->Paint(TRect{0, 0, 800, 160}, canvas);
  EXPECT_EQ(asked, 7) << "once per row of the lane";
  const TColor gap = Ed->Colors().Gap();
  // Lanes 40..107 hold the right's bytes 32..99 facing nothing on the left;
  // 108.. are past the pair.
  std::map<std::pair<int, int>, TColor> want;  // (row, cell of the row) -> background
  for (int32_t o = 48; o < 112; ++o) want[{o / 16, o % 16}] = o < 108 ? gap : clWhite;
  int blank = 0;
  for (const TCanvasOp& op : canvas.OfKind(TCanvasOp::Text)) {
    const int row = op.Rect.Top / 15, col = Ed->MouseCoord(op.Rect.Left, 0).X;
    if (row < 3) continue;
    ++blank;
    EXPECT_EQ(op.Str, " ") << row << "," << col;
    const int index = col >= 35 ? col - 35 : (col - 2) / 2;
    const TColor background = col < 2 || col == 34 ? clWhite : want.at({row, index});
    EXPECT_EQ(op.Color, background) << row << "," << col;
  }
  EXPECT_EQ(blank, 4 * 51);
  // Past the pair nothing differs.
  uint8_t marks[16];
  Pair->Mark(*Right, 96, 16, marks);
  EXPECT_EQ(std::vector<uint8_t>(marks, marks + 16), (std::vector<uint8_t>{2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 0, 0, 0, 0}));
  Ed->SetDifferenceMarks({});
}

// One caret put on a byte of its own (Alt held) leaves the other side as it
// is; a view that only scrolls takes the other view along, not its caret;
// Align here then lines up the two carets' bytes and the views.
TEST_F(SideBySide, OneCaretAloneThenAlignHere) {
  Load(Pattern(2000, 1));
  WriteFile(Path("r.bin"), Pattern(2000, 1));
  ASSERT_TRUE(Right->LoadFromFile(Path("r.bin")));
  Pair = std::make_unique<TSideBySide>(*Ed, *Right, 0);
  struct Step {
    const char* What;
    std::function<void()> Act;
    THexEditor* Lead;
    bool Alone;
    int32_t LeftCaret, RightCaret;
    int LeftTop, RightTop;
  };
  const Step steps[] = {
      {"both carets", [&] { Ed->SetSelStart(10); }, nullptr, false, 10, 10, 0, 0},
      {"the right alone", [&] { Right->SetSelStart(100); }, Right.get(), true, 10, 100, 0, 0},
      {"the right's view alone", [&] { Right->SetTopRow(30); }, Right.get(), true, 10, 100, 0, 30},
      {"the left's view", [&] { Ed->SetTopRow(2); }, nullptr, false, 10, 100, 2, 2},
      {"the left alone, far", [&] { Ed->SetSelStart(1500); }, nullptr, true, 1500, 100, 84, 2},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.What);
    st.Act();
    Pair->Sync(st.Lead, st.Alone);
    EXPECT_EQ(Ed->GetCursorPos(), st.LeftCaret);
    EXPECT_EQ(Right->GetCursorPos(), st.RightCaret);
    EXPECT_EQ(Ed->TopRow(), st.LeftTop);
    EXPECT_EQ(Right->TopRow(), st.RightTop);
  }
  Pair->AlignHere(Ed.get());
  EXPECT_EQ(Pair->Shift(), -1400);
  EXPECT_EQ(Pair->CaptionMark(*Ed), "(-1400)");
  EXPECT_EQ(Pair->CaptionMark(*Right), "(+1400)");
  EXPECT_EQ(Right->GetCursorPos(), 100);
  // The two carets' bytes sit in one cell of one row; the left's bytes
  // before them face a gap on the right.
  EXPECT_EQ(Right->Row(), Ed->Row());
  EXPECT_EQ(Right->Col(), Ed->Col());
  EXPECT_EQ(Right->TopRow(), Ed->TopRow());
  // The carets move together again, to the last row in view too.
  Ed->SetSelStart(1510);
  Pair->Sync(Ed.get());
  EXPECT_EQ(Right->GetCursorPos(), 110);
  Ed->SetSelStart((Ed->TopRow() + Ed->VisibleRowCount()) * 16 - 1);
  Pair->Sync(Ed.get());
  EXPECT_EQ(Right->Row(), Ed->Row());
  EXPECT_EQ(Right->TopRow(), Ed->TopRow());
}

TEST(Overview, MapsPixelRowsAndBuckets) {
  const TOverviewMap m{-10, 90, 10};  // 10 positions per row
  for (auto [y, pos] : {std::pair{0, -10}, {1, 0}, {9, 80}, {-3, -10}, {40, 80}}) EXPECT_EQ(m.PositionAt(y), pos) << y;
  for (auto [pos, y] : {std::pair{-10, 0}, {-1, 0}, {0, 1}, {89, 9}, {500, 9}, {-99, 0}}) EXPECT_EQ(m.RowOf(pos), y) << pos;
  // 4 buckets over 10 rows: bucket 1 covers rows 2..4, bucket 3 rows 7..9.
  EXPECT_EQ(m.Rows({0, 5, 0, 1}), (std::vector<uint8_t>{0, 0, 1, 1, 1, 0, 0, 1, 1, 1}));
  // 40 buckets over 10 rows: every busy bucket lights its one row.
  std::vector<int64_t> many(40, 0);
  many[0] = many[39] = many[21] = 1;
  EXPECT_EQ((TOverviewMap{0, 100, 10}.Rows(many)), (std::vector<uint8_t>{1, 0, 0, 0, 0, 1, 0, 0, 0, 1}));
  EXPECT_TRUE((TOverviewMap{0, 0, 0}.Rows({1})).empty());
}

}  // namespace
}  // namespace byteloom::test
