// SPDX-License-Identifier: GPL-3.0-or-later
// What the grid paints for a dirty rectangle, how it scrolls, and what each
// cell of the hex editor shows: text, colours, markers, offsets, the caret
// and the frame around its twin cell.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>

#include "control/canvas.h"
#include "tests/support/editortest.h"
#include "tests/support/fakecanvas.h"
#include "tests/support/fakememory.h"

namespace byteloom::test {
namespace {

// ---------------------------------------------------------------------------
// The grid base
// ---------------------------------------------------------------------------

class TRecordingGrid : public TCustomGrid {
 public:
  using TCustomGrid::TCustomGrid;
  struct TCall {
    int Col;
    int64_t Row;
    TRect Rect;
  };
  std::vector<TCall> Calls;
  std::set<std::pair<int, int64_t>> Cells() const {
    std::set<std::pair<int, int64_t>> s;
    for (const TCall& c : Calls) s.insert({c.Col, c.Row});
    return s;
  }

 protected:
  void DrawCell(int col, int64_t row, const TRect& rect) override { Calls.push_back({col, row, rect}); }
};

// Six columns of 10 pixels (two of them fixed), rows of 10 pixels, no grid
// lines, in a client of 45 × 35: columns 0 and 1 at x 0 and 10, the
// scrolling ones from x 20 on; the fourth row is cut off at the bottom.
class GridPaint : public ::testing::Test {
 protected:
  void SetUp() override {
    Grid.SetColCount(6);
    Grid.SetFixedCols(2);
    Grid.SetDefaultColWidth(10);
    Grid.SetDefaultRowHeight(10);
    Grid.SetGridLineWidth(0);
    Grid.SetRowCount(100);
    Grid.SetClientSize(45, 35);
  }
  void PaintAll() { Grid.Paint(TRect{0, 0, 45, 35}, Canvas); }

  TFakeHost Host;
  TRecordingGrid Grid{Host};
  TFakeCanvas Canvas;
};

// 2^36 rows (a tebibyte at 16 bytes a row): the end scrolls, pages and
// paints as the start does, and the scroll bar's ends are the rows' ends.
TEST_F(GridPaint, TheEndOfATebibyteOfRowsScrollsAndPaintsAsTheStartDoes) {
  const int64_t rows = int64_t{1} << 36;
  Grid.SetRowCount(rows);
  Grid.VScroll(TScrollCode::scBottom, 0);
  EXPECT_EQ(Grid.TopRow(), rows - 3);  // three whole rows in view
  const TScrollInfo v = Grid.VertScrollInfo();
  EXPECT_EQ(v, (TScrollInfo{rows - 3, 3, rows - 3}));
  Grid.MoveColRow(2, rows - 1, true, true);
  EXPECT_EQ(Grid.Row(), rows - 1);
  EXPECT_EQ(Grid.CellRect(2, rows - 1), (TRect{20, 20, 30, 30}));
  PaintAll();
  std::set<int64_t> painted;
  for (const auto& c : Grid.Calls) painted.insert(c.Row);
  EXPECT_EQ(painted, (std::set<int64_t>{rows - 3, rows - 2, rows - 1}));
  Grid.VScroll(TScrollCode::scPageUp, 0);
  EXPECT_EQ(Grid.TopRow(), rows - 6);

  const TBarScale bar{v.Max};
  EXPECT_TRUE(bar.Scaled());
  EXPECT_EQ(bar.ToBar(0), 0);
  EXPECT_EQ(bar.FromBar(0), 0);
  EXPECT_EQ(bar.ToBar(v.Max), bar.BarMax());
  EXPECT_EQ(bar.FromBar(bar.BarMax()), v.Max);
  int64_t before = -1;
  for (int value : {1, 2, 1000, bar.BarMax() / 2, bar.BarMax() - 1}) {
    EXPECT_EQ(bar.ToBar(bar.FromBar(value)), value) << value;
    EXPECT_GT(bar.FromBar(value), before);
    before = bar.FromBar(value);
  }
  EXPECT_EQ(bar.BarPage(3), 1);
  const TBarScale small{100};
  EXPECT_EQ(small.ToBar(37), 37);
  EXPECT_EQ(small.FromBar(37), 37);
  EXPECT_EQ(small.BarPage(3), 3);
}

TEST_F(GridPaint, DrawsExactlyTheCellsThatMeetTheDirtyRectangle) {
  using Cells = std::set<std::pair<int, int64_t>>;
  struct Case {
    TRect Dirty;
    Cells Expected;
  };
  const Case cases[] = {
      {{15, 12, 25, 18}, {{1, 1}, {2, 1}}},                  // inside four cells' corners
      {{10, 10, 20, 20}, {{1, 1}}},                          // exactly one cell
      {{19, 19, 21, 21}, {{1, 1}, {2, 1}, {1, 2}, {2, 2}}},  // across a corner
      {{42, 31, 80, 90}, {{4, 3}}},                          // cut to the client area
      {{0, 0, 5, 35}, {{0, 0}, {0, 1}, {0, 2}, {0, 3}}},     // the fixed column only
      {{50, 0, 60, 10}, {}},                                 // outside the client area
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Dirty.Left << "," << c.Dirty.Top << "," << c.Dirty.Right << ","
                                    << c.Dirty.Bottom);
    Grid.Calls.clear();
    Grid.Paint(c.Dirty, Canvas);
    EXPECT_EQ(Grid.Cells(), c.Expected);
    EXPECT_EQ(Grid.Calls.size(), c.Expected.size()) << "a cell was drawn twice";
  }
}

TEST_F(GridPaint, CellsGetTheirWholeRectangles) {
  Grid.Paint(TRect{41, 31, 42, 32}, Canvas);
  ASSERT_EQ(Grid.Calls.size(), 1u);
  // The cell reaches past the client area; the canvas clips.
  EXPECT_EQ(Grid.Calls[0].Rect, (TRect{40, 30, 50, 40}));
}

TEST_F(GridPaint, FixedColumnsStayWhileTheOthersScroll) {
  Grid.SetLeftCol(3);
  Grid.SetTopRow(5);
  PaintAll();
  std::vector<std::tuple<int, int, int>> firstRow;  // col, x, row
  for (const auto& c : Grid.Calls)
    if (c.Rect.Top == 0) firstRow.push_back({c.Col, c.Rect.Left, c.Row});
  const std::vector<std::tuple<int, int, int>> expected{{0, 0, 5}, {1, 10, 5}, {3, 20, 5}, {4, 30, 5}, {5, 40, 5}};
  EXPECT_EQ(firstRow, expected);
}

TEST_F(GridPaint, FillsRightOfTheLastColumnAndBelowTheLastRowWithTheControlColour) {
  Grid.SetColCount(4);  // the grid ends at x 40
  Grid.SetRowCount(3);  // and at y 30
  Grid.SetColor(0x123456);
  PaintAll();
  EXPECT_EQ(Grid.Calls.size(), 12u);
  const auto fills = Canvas.OfKind(TCanvasOp::Fill);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[0].Rect, (TRect{40, 0, 45, 35}));
  EXPECT_EQ(fills[1].Rect, (TRect{0, 30, 40, 35}));
  for (const auto& f : fills) EXPECT_EQ(f.Color, 0x123456u);

  // A system colour is resolved first.
  Canvas.Ops.clear();
  Grid.SetColor(clWindow);
  Grid.Paint(TRect{41, 0, 45, 5}, Canvas);
  ASSERT_EQ(Canvas.OfKind(TCanvasOp::Fill).size(), 1u);
  EXPECT_EQ(Canvas.OfKind(TCanvasOp::Fill)[0].Rect, (TRect{41, 0, 45, 5}));
  EXPECT_EQ(Canvas.OfKind(TCanvasOp::Fill)[0].Color, clWhite);
}

TEST_F(GridPaint, NoLinesWithoutGridLineWidth) {
  PaintAll();
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Line).empty());
}

TEST_F(GridPaint, GridLinesRunBetweenTheScrollingCellsOnly) {
  Grid.SetColCount(4);
  Grid.SetRowCount(2);
  Grid.SetGridLineWidth(1);
  Grid.SetClientSize(100, 100);
  // Columns at x 0, 11 (fixed), 22, 33; rows at y 0 and 11; the grid ends
  // at x 44 and y 22.
  Grid.Paint(TRect{0, 0, 100, 100}, Canvas);
  std::set<std::tuple<int, int, int, int>> lines;
  for (const auto& l : Canvas.OfKind(TCanvasOp::Line)) {
    lines.insert({l.Rect.Left, l.Rect.Top, l.Rect.Right, l.Rect.Bottom});
    EXPECT_EQ(l.Color, clSilver);
  }
  const std::set<std::tuple<int, int, int, int>> expected{
      {32, 0, 32, 21}, {43, 0, 43, 21},  // right of columns 2 and 3
      {22, 10, 43, 10}, {22, 21, 43, 21},  // below rows 0 and 1, scrolling columns only
  };
  EXPECT_EQ(lines, expected);
  // The gaps of the fixed columns take the control's colour.
  bool fixedGapFilled = false;
  for (const auto& f : Canvas.OfKind(TCanvasOp::Fill))
    if (f.Rect == TRect{10, 0, 11, 22}) fixedGapFilled = f.Color == clWhite;
  EXPECT_TRUE(fixedGapFilled);

  // On a silver control the lines are grey.
  Canvas.Ops.clear();
  Grid.SetColor(clSilver);
  Grid.Paint(TRect{0, 0, 100, 100}, Canvas);
  ASSERT_FALSE(Canvas.OfKind(TCanvasOp::Line).empty());
  for (const auto& l : Canvas.OfKind(TCanvasOp::Line)) EXPECT_EQ(l.Color, clGray);
  Canvas.Ops.clear();
  Grid.SetColor(clBtnFace);  // silver once resolved
  Grid.Paint(TRect{0, 0, 100, 100}, Canvas);
  for (const auto& l : Canvas.OfKind(TCanvasOp::Line)) EXPECT_EQ(l.Color, clGray);
}

TEST_F(GridPaint, LinesAreCutToTheDirtyRectangle) {
  Grid.SetGridLineWidth(1);
  Grid.Paint(TRect{30, 5, 35, 8}, Canvas);  // crosses the line right of column 2 (x 32)
  const auto lines = Canvas.OfKind(TCanvasOp::Line);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].Rect, (TRect{32, 5, 32, 7}));
}

TEST_F(GridPaint, ScrollInfoDescribesRowsAndColumns) {
  // 3 whole rows of 100 fit: the top row goes up to 97.
  EXPECT_EQ(Grid.VertScrollInfo(), (TScrollInfo{97, 3, 0}));
  // 2 whole scrolling columns fit beside the fixed ones: left columns 2..4.
  EXPECT_EQ(Grid.HorzScrollInfo(), (TScrollInfo{2, 2, 0}));
  Grid.SetLeftCol(3);
  EXPECT_EQ(Grid.HorzScrollInfo().Position, 1);
  Grid.SetClientSize(200, 2000);
  EXPECT_EQ(Grid.HorzScrollInfo().Max, 0);
  EXPECT_EQ(Grid.LeftCol(), 2) << "a wider view shows the columns from the first one on";
}

TEST_F(GridPaint, ScrollBarsMoveTheView) {
  struct Step {
    TScrollCode Code;
    int Pos;
    int Top;
  };
  const Step steps[] = {
      {TScrollCode::scLineDown, 0, 1}, {TScrollCode::scPageDown, 0, 4}, {TScrollCode::scLineUp, 0, 3},
      {TScrollCode::scTrack, 50, 50},  {TScrollCode::scPosition, 500, 97}, {TScrollCode::scPageUp, 0, 94},
      {TScrollCode::scTop, 0, 0},      {TScrollCode::scLineUp, 0, 0},      {TScrollCode::scBottom, 0, 97},
  };
  for (const Step& s : steps) {
    Grid.VScroll(s.Code, s.Pos);
    EXPECT_EQ(Grid.TopRow(), s.Top) << int(s.Code);
  }
  Host.ClearRecords();
  Grid.HScroll(TScrollCode::scLineDown, 0);
  EXPECT_EQ(Grid.LeftCol(), 3);
  EXPECT_EQ(Host.Scrolls.size(), 1u);
  EXPECT_GT(Host.ScrollChanges, 0);
  Grid.HScroll(TScrollCode::scPosition, 10);
  EXPECT_EQ(Grid.LeftCol(), 4);
  Grid.HScroll(TScrollCode::scTop, 0);
  EXPECT_EQ(Grid.LeftCol(), 2);
}

// A move by less than a view moves the pixels and asks only for the strip
// they uncover: the rows (columns) that come into view. A move by a whole
// view repaints everything.
TEST_F(GridPaint, ScrollingMovesThePixelsAndRepaintsOnlyWhatComesIntoView) {
  using TScroll = TFakeHost::TScroll;
  const TRect view{0, 0, 45, 35}, columns{20, 0, 45, 35};
  struct Step {
    const char* What;
    std::function<void(TCustomGrid&)> Act;
    std::vector<TScroll> Scrolls;
    std::vector<TRect> Invalidated;
    int Wholes;
  };
  const Step steps[] = {
      {"a row down", [](TCustomGrid& g) { g.VScroll(TScrollCode::scLineDown, 0); }, {{0, -10, view}}, {{0, 25, 45, 35}}, 0},
      {"two rows down", [](TCustomGrid& g) { g.SetTopRow(g.TopRow() + 2); }, {{0, -20, view}}, {{0, 15, 45, 35}}, 0},
      {"a row up", [](TCustomGrid& g) { g.SetTopRow(2); }, {{0, 10, view}}, {{0, 0, 45, 10}}, 0},
      {"the wheel, three rows", [](TCustomGrid& g) { g.MouseWheel(-120); }, {{0, -30, view}}, {{0, 5, 45, 35}}, 0},
      {"a page up", [](TCustomGrid& g) { g.VScroll(TScrollCode::scPageUp, 0); }, {{0, 30, view}}, {{0, 0, 45, 30}}, 0},
      {"four rows", [](TCustomGrid& g) { g.SetTopRow(6); }, {}, {}, 1},
      {"a column right", [](TCustomGrid& g) { g.HScroll(TScrollCode::scLineDown, 0); }, {{-10, 0, columns}}, {{35, 0, 45, 35}}, 0},
      {"a column left", [](TCustomGrid& g) { g.SetLeftCol(2); }, {{10, 0, columns}}, {{20, 0, 30, 35}}, 0},
      {"three columns", [](TCustomGrid& g) { g.SetLeftCol(5); }, {}, {}, 1},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.What);
    Host.ClearRecords();
    s.Act(Grid);
    EXPECT_EQ(Host.Scrolls, s.Scrolls);
    EXPECT_EQ(Host.InvalidatedRects, s.Invalidated);
    EXPECT_EQ(Host.InvalidateCount, s.Wholes);
  }
}

TEST_F(GridPaint, TheWheelScrollsThreeRowsPerNotch) {
  Grid.MouseWheel(-120);
  EXPECT_EQ(Grid.TopRow(), 3);
  Grid.MouseWheel(-240);
  EXPECT_EQ(Grid.TopRow(), 9);
  Grid.MouseWheel(120);
  EXPECT_EQ(Grid.TopRow(), 6);
  // Small turns add up: 40 is one row.
  Grid.MouseWheel(-20);
  EXPECT_EQ(Grid.TopRow(), 6);
  Grid.MouseWheel(-20);
  EXPECT_EQ(Grid.TopRow(), 7);
  Grid.MouseWheel(1200);
  EXPECT_EQ(Grid.TopRow(), 0);
  Grid.VScroll(TScrollCode::scPosition, 1000);  // held inside the range
  Grid.HScroll(TScrollCode::scLineDown, 0);
  EXPECT_EQ(Grid.TopRow(), 97);
  EXPECT_EQ(Grid.LeftCol(), 3);
}

TEST_F(GridPaint, AGrowingViewShowsTheEndOfTheDocumentAtItsBottom) {
  Grid.VScroll(TScrollCode::scBottom, 0);
  EXPECT_EQ(Grid.TopRow(), 97);
  Grid.SetClientSize(45, 105);
  EXPECT_EQ(Grid.TopRow(), 90);
}

// ---------------------------------------------------------------------------
// The hex editor's cells
// ---------------------------------------------------------------------------

constexpr TColor kWhite = clWhite;  // the fake host's window colour
constexpr TColor kBlack = clBlack;  // and its window text colour

class Painting : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(800, 600);
  }
  // Paints only the given cell; returns its text op.
  TCanvasOp Cell(int col, int row) {
    Canvas.Ops.clear();
    const TRect r = Ed->CellRect(col, row);
    EXPECT_FALSE(r.IsEmpty()) << col << "," << row;
    Ed->Paint(r, Canvas);
    const TCanvasOp* op = Canvas.TextAt(r);
    EXPECT_NE(op, nullptr) << col << "," << row;
    return op ? *op : TCanvasOp{};
  }
  // The first digit cell, the second one and the character cell of a byte.
  static int Hi(int32_t pos) { return 2 + 2 * (pos % 16); }
  static int Lo(int32_t pos) { return 3 + 2 * (pos % 16); }
  static int Ch(int32_t pos) { return 35 + pos % 16; }
  void Select(int32_t from, int32_t to) {
    Ed->SetSelStart(from);
    Ed->SetSelEnd(to);
  }

  TFakeCanvas Canvas;
};

TEST_F(Painting, CellTextAndColours) {
  Bytes data = Pattern(40);
  data[0] = 0x4F;
  data[5] = 0x41;
  data[6] = 0x07;
  data[8] = 0x30;
  data[9] = 0x5A;
  Load(data);
  Ed->SetChangedBit(5, true);
  Ed->SetChangedBit(9, true);
  Select(8, 9);  // 8 unchanged, 9 changed
  const char hex[] = "0123456789ABCDEF";
  auto s = [](char c) { return std::string(1, c); };

  struct Case {
    const char* What;
    int Col, Row;
    std::string Text;
    TColor TextColor, Background;
  };
  const Case cases[] = {
      {"first digit, 1st group", Hi(0), 0, "4", clBlue, kWhite},
      {"second digit, 1st group", Lo(0), 0, "F", clBlue, kWhite},
      {"character", Ch(0), 0, "O", kBlack, kWhite},
      {"digit, 2nd group", Hi(2), 0, s(hex[data[2] >> 4]), clNavy, kWhite},
      {"digit, 3rd group", Lo(4), 0, s(hex[data[4] & 15]), clBlue, kWhite},
      {"changed digit", Hi(5), 0, "4", clMaroon, 0xA8FFFF},
      {"changed character", Ch(5), 0, "A", clMaroon, 0xA8FFFF},
      {"masked control character", Ch(6), 0, ".", kBlack, kWhite},
      {"selected digit, 1st group", Hi(8), 0, "3", 0x00FFFF, clBlue},
      {"selected character", Ch(8), 0, "0", kWhite, kBlack},
      {"selected changed digit", Lo(9), 0, "A", 0xA8FFFF, clMaroon},
      {"selected changed character", Ch(9), 0, "Z", 0xA8FFFF, clMaroon},
      {"spacer", 34, 0, " ", kBlack, kWhite},
      {"hex past the end", Hi(40), 2, " ", kBlack, kWhite},
      {"character past the end", Ch(47), 2, " ", kBlack, kWhite},
      {"last byte", Lo(39), 2, s(hex[data[39] & 15]), clNavy, kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const TCanvasOp op = Cell(c.Col, c.Row);
    EXPECT_EQ(op.Str, c.Text);
    EXPECT_EQ(op.TextColor, c.TextColor);
    EXPECT_EQ(op.Color, c.Background);
    EXPECT_EQ(op.At, (TPoint{op.Rect.Left, op.Rect.Top})) << "text starts at the cell's corner";
  }
}

TEST_F(Painting, UnknownBytesOfARunningProgramShowAsQuestionMarksThatCanBeSeen) {
  Bytes memory = Pattern(32);
  auto fake = std::make_unique<TFakeMemory>(memory);
  fake->FUnknownFrom = 20;
  Ed->OpenLive(std::move(fake), "game");
  for (const auto& [col, row, text] : std::vector<std::tuple<int, int, std::string>>{
           {Hi(19), 1, std::string(1, "0123456789ABCDEF"[memory[19] >> 4])}, {Hi(20), 1, "?"}, {Ch(20), 1, "?"}}) {
    const TCanvasOp op = Cell(col, row);
    EXPECT_EQ(op.Str, text) << col;
    EXPECT_NE(op.TextColor, op.Color) << col;
  }
}

TEST_F(Painting, SelectedDigitsOfTheSecondGroupUseTheInverseOfEvenColumn) {
  Load(Pattern(16));
  Select(2, 3);
  Ed->Colors().SetEvenColumn(0x123456);
  const TCanvasOp op = Cell(Lo(3), 0);
  EXPECT_EQ(op.TextColor, 0xEDCBA9u);
  EXPECT_EQ(op.Color, 0x123456u);
}

TEST_F(Painting, SystemColoursAreResolvedBeforeUse) {
  Load(Pattern(16));
  Ed->Colors().SetOddColumn(clWindowText);
  Ed->Colors().SetBackground(clBtnFace);
  const TCanvasOp op = Cell(Hi(0), 0);
  EXPECT_EQ(op.TextColor, kBlack);
  EXPECT_EQ(op.Color, clSilver);
}

TEST_F(Painting, SwapNibblesShowsTheLowNibbleFirst) {
  Load(Bytes{0x4F, 0xA0});
  Ed->SetSwapNibbles(true);
  EXPECT_EQ(Cell(Hi(0), 0).Str, "F");
  EXPECT_EQ(Cell(Lo(0), 0).Str, "4");
  EXPECT_EQ(Cell(Hi(1), 0).Str, "0");
  Ed->SetSwapNibbles(false);
  EXPECT_EQ(Cell(Hi(1), 0).Str, "A");
}

TEST_F(Painting, CharacterCellsFollowTranslationAndMasking) {
  Load(Bytes{0x09, 0xC1, 0xE4});
  EXPECT_EQ(Cell(Ch(0), 0).Str, ".");
  Ed->SetMaskChar('~');
  EXPECT_EQ(Cell(Ch(0), 0).Str, "~");
  Ed->SetMaskWhiteSpaces(false);
  EXPECT_EQ(Cell(Ch(0), 0).Str, "\t");
  EXPECT_EQ(Cell(Ch(2), 0).Str, "\xE4");
  Ed->SetTranslation(TTranslationType::ttEBCDIC);
  EXPECT_EQ(Cell(Ch(1), 0).Str, "A");
}

TEST_F(Painting, OffsetColumnInEachStyle) {
  struct Case {
    size_t Size;
    TOffsetDisplayStyle Style;
    char Separator;
    int Row;
    std::string Text;
  };
  const Case cases[] = {
      {0x1234, TOffsetDisplayStyle::odHex, ':', 1, "0x0010:"},
      {0x1234, TOffsetDisplayStyle::odHex, '|', 0x123, "0x1230|"},
      {4096, TOffsetDisplayStyle::odHex, ':', 255, "0x0FF0:"},
      {1000, TOffsetDisplayStyle::odDec, ':', 1, "0016:"},
      {1000, TOffsetDisplayStyle::odDec, '-', 62, "0992-"},
      {20, TOffsetDisplayStyle::odDec, ':', 1, "16:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Text);
    Load(Pattern(c.Size));
    Ed->SetOffsetDisplay(c.Style);
    Ed->SetOffsetSeparator(c.Separator);
    Ed->SetTopRow(c.Row);
    const TCanvasOp op = Cell(0, c.Row);
    EXPECT_EQ(op.Str, c.Text);
    EXPECT_EQ(op.TextColor, kBlack);
    EXPECT_EQ(op.Color, kWhite);
    EXPECT_EQ(op.Rect.Width(), static_cast<int>(c.Text.size()) * 8);
  }
  // Its own colour.
  Ed->SetTopRow(0);
  Ed->Colors().SetOffset(0x0000FF);
  EXPECT_EQ(Cell(0, 0).TextColor, 0x0000FFu);
}

TEST_F(Painting, WithoutOffsetsTheColumnHasNoWidthAndNothingIsDrawnThere) {
  Load(Pattern(64));
  Ed->SetOffsetDisplay(TOffsetDisplayStyle::odNone);
  EXPECT_EQ(Ed->ColWidths(0), 0);
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  const auto texts = Canvas.OfKind(TCanvasOp::Text);
  EXPECT_EQ(texts.size(), 4u * 50u) << "four rows of every column but the offset column";
  for (const auto& op : texts) EXPECT_FALSE(op.Rect.IsEmpty());
  EXPECT_EQ(texts.front().Rect, (TRect{0, 0, 8, 15})) << "the marker column starts at x 0";
}

TEST_F(Painting, MarkerColumn) {
  Load(Pattern(64));
  Ed->SetMarker(7, 2);
  Ed->SetMarker(3, 2);
  Ed->SetMarker(5, 1);

  const TCanvasOp plain = Cell(1, 0);
  EXPECT_EQ(plain.Str, " ");
  EXPECT_EQ(plain.TextColor, kBlack);
  EXPECT_EQ(plain.Color, kWhite);
  EXPECT_EQ(plain.Font.Name, "Courier");

  const TCanvasOp both = Cell(1, 2);
  EXPECT_EQ(both.Str, "3") << "the lowest marker of the row";
  EXPECT_EQ(both.TextColor, clWhite);
  EXPECT_EQ(both.Color, clMaroon);
  EXPECT_EQ(both.Font.Name, "Arial");
  EXPECT_EQ(both.Font.Size, 9) << "three quarters of 12";
  EXPECT_EQ(both.Font.Height, -12);
  EXPECT_EQ(Canvas.Font().Name, "Courier") << "the font is restored";
  EXPECT_EQ(Canvas.Font().Height, -16);

  // The next cell of the row is drawn in the control's font again.
  Canvas.Ops.clear();
  Ed->Paint(Ed->BoxRect(1, 2, 2, 2), Canvas);
  const auto texts = Canvas.OfKind(TCanvasOp::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].Font.Name, "Arial");
  EXPECT_EQ(texts[1].Font.Name, "Courier");
  EXPECT_EQ(texts[1].Font.Height, -16);

  Ed->Colors().SetPositionText(0x00FF00);
  Ed->Colors().SetPositionBackground(0x0000FF);
  const TCanvasOp five = Cell(1, 1);
  EXPECT_EQ(five.Str, "5");
  EXPECT_EQ(five.TextColor, 0x00FF00u);
  EXPECT_EQ(five.Color, 0x0000FFu);

  // A hidden marker column shows nothing.
  Ed->SetShowMarkerColumn(false);
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  for (const auto& op : Canvas.OfKind(TCanvasOp::Text)) EXPECT_NE(op.Font.Name, "Arial") << op.Str;
  EXPECT_FALSE(Canvas.OfKind(TCanvasOp::Text).empty());
}

TEST_F(Painting, MarkerFontIsThreeQuartersOfTheFontSizeRoundedHalfToEven) {
  struct Case {
    int Height, Size;
  };
  // 13 px = 10 pt -> 7.5 -> 8; 16 px = 12 pt -> 9; 19 px = 14 pt -> 10.5 -> 10;
  // 12 px = 9 pt -> 6.75 -> 7; 24 px = 18 pt -> 13.5 -> 14.
  const Case cases[] = {{-13, 8}, {-16, 9}, {-19, 10}, {-12, 7}, {-24, 14}};
  Load(Pattern(16));
  Ed->SetMarker(0, 0);
  for (const Case& c : cases) {
    Ed->Font().Height = c.Height;
    const TCanvasOp op = Cell(1, 0);
    EXPECT_EQ(op.Font.Size, c.Size) << c.Height;
    EXPECT_EQ(op.Font.Height, FontHeightFromSize(c.Size));
  }
  const std::tuple<int, int, int> rounding[] = {{15, 2, 8}, {13, 2, 6}, {10, 4, 2}, {14, 4, 4}, {-3, 2, -2}, {7, 3, 2}};
  for (auto [v, d, r] : rounding) EXPECT_EQ(DivRoundHalfEven(v, d), r) << v << "/" << d;
}

TEST_F(Painting, AnEmptyDocument) {
  Host.HasFocus = false;
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  const auto texts = Canvas.OfKind(TCanvasOp::Text);
  ASSERT_EQ(texts.size(), 51u);
  EXPECT_EQ(texts[0].Str, "0x0:");
  for (size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) {
      EXPECT_EQ(texts[i].Str, "   ") << i;
    }
    EXPECT_EQ(texts[i].TextColor, kBlack) << i;
    EXPECT_EQ(texts[i].Color, kWhite) << i;
  }
  const TRect c2 = Ed->CellRect(2, 0);
  EXPECT_EQ(Host.CaretPos, (TPoint{c2.Left, c2.Top})) << "the caret is placed without the focus too";

  struct Case {
    TOffsetDisplayStyle Style;
    const char* Text;
  };
  const Case cases[] = {{TOffsetDisplayStyle::odHex, "0x0|"}, {TOffsetDisplayStyle::odDec, "0|"}};
  Ed->SetOffsetSeparator('|');
  Ed->Colors().SetOffset(0x00FF00);
  for (const Case& c : cases) {
    Ed->SetOffsetDisplay(c.Style);
    const TCanvasOp op = Cell(0, 0);
    EXPECT_EQ(op.Str, c.Text);
    EXPECT_EQ(op.TextColor, 0x00FF00u);
    EXPECT_EQ(Cell(40, 0).TextColor, 0x00FF00u) << "every cell in the offset colour";
  }
  // Nothing is framed in an empty document, even with the focus.
  Host.HasFocus = true;
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Focus).empty());
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Frame).empty());
}

TEST_F(Painting, CaretAndTwinFrameFollowTheFocus) {
  Load(Pattern(64));
  Ed->SetSelStart(0x13);  // hex field, first digit cell of byte 0x13: column 8, row 1
  ASSERT_EQ(Ed->Col(), 8);
  ASSERT_EQ(Ed->Row(), 1);
  const TRect caretCell = Ed->CellRect(8, 1);
  const TRect twin = Ed->CellRect(Ch(0x13), 1);

  // Without the focus: no caret placement, no frame.
  Host.HasFocus = false;
  Host.CaretPos = {-1, -1};
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  EXPECT_EQ(Host.CaretPos, (TPoint{-1, -1}));
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Focus).empty());
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Frame).empty());

  // With the focus: the caret on its cell, a focus rectangle one character
  // wide on the twin.
  Host.HasFocus = true;
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  EXPECT_EQ(Host.CaretPos, (TPoint{caretCell.Left, caretCell.Top}));
  auto focus = Canvas.OfKind(TCanvasOp::Focus);
  ASSERT_EQ(focus.size(), 1u);
  EXPECT_EQ(focus[0].Rect, (TRect{twin.Left, twin.Top, twin.Left + 8, twin.Bottom}));
  // The frame comes after the twin cell's text, so the text does not hide it.
  const auto it = std::find_if(Canvas.Ops.begin(), Canvas.Ops.end(),
                               [](const TCanvasOp& op) { return op.What == TCanvasOp::Focus; });
  ASSERT_NE(it, Canvas.Ops.begin());
  EXPECT_EQ(std::prev(it)->Rect, twin);

  // FocusFrame off: an outline in CursorFrame instead.
  Ed->SetFocusFrame(false);
  Ed->Colors().SetCursorFrame(0x336699);
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  EXPECT_TRUE(Canvas.OfKind(TCanvasOp::Focus).empty());
  auto frames = Canvas.OfKind(TCanvasOp::Frame);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].Rect, focus[0].Rect);
  EXPECT_EQ(frames[0].Color, 0x336699u);

  // A caret in the character field frames the byte's first digit cell.
  Ed->SetCol(Ch(0x15));
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  const TRect first = Ed->CellRect(Hi(0x15), 1);
  frames = Canvas.OfKind(TCanvasOp::Frame);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].Rect, (TRect{first.Left, first.Top, first.Left + 8, first.Bottom}));
  const TRect chCell = Ed->CellRect(Ch(0x15), 1);
  EXPECT_EQ(Host.CaretPos, (TPoint{chCell.Left, chCell.Top}));

  // Both digit cells of a byte lead to the same twin.
  Ed->SetCol(Lo(0x15));
  Canvas.Ops.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  frames = Canvas.OfKind(TCanvasOp::Frame);
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].Rect.Left, Ed->CellRect(Ch(0x15), 1).Left);
}

TEST_F(Painting, PaintingLeavesTheSideOfTheLastPaintedCellInCharField) {
  Load(Pattern(32));
  Cell(Ch(3), 0);
  EXPECT_TRUE(Ed->InCharField());
  Cell(Hi(3), 0);
  EXPECT_FALSE(Ed->InCharField());
}

TEST_F(Painting, AFullPaintCoversEveryVisibleCellOnce) {
  Load(Pattern(100));  // seven rows, the last one with four bytes
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  const auto texts = Canvas.OfKind(TCanvasOp::Text);
  EXPECT_EQ(texts.size(), 7u * 51u);
  std::set<std::pair<int, int>> corners;
  for (const auto& t : texts) corners.insert({t.Rect.Left, t.Rect.Top});
  EXPECT_EQ(corners.size(), texts.size());
  // The rest of the view takes the background colour.
  const auto fills = Canvas.OfKind(TCanvasOp::Fill);
  ASSERT_EQ(fills.size(), 2u);
  EXPECT_EQ(fills[1].Rect.Top, 7 * 15);
  for (const auto& f : fills) EXPECT_EQ(f.Color, kWhite);
}

// A locked pair's difference marks: asked once per painted row (never per
// byte), anew at every paint; a differing byte keeps its text colour on the
// difference colour, blanks past the end that differ take it too.
TEST_F(Painting, DifferingBytesAndBlanksTakeTheDifferenceColour) {
  Load(Pattern(40));
  Ed->SetChangedBit(5, true);
  std::set<int32_t> differ = {1, 5, 17, 41, 47};
  std::vector<std::pair<int32_t, int32_t>> asked;
  Ed->SetDifferenceMarks([&](int32_t pos, int32_t count, uint8_t* out) {
    asked.push_back({pos, count});
    for (int32_t i = 0; i < count; ++i) out[i] = differ.count(pos + i) ? 1 : 0;
  });
  const TColor diff = Ed->Colors().Difference();
  EXPECT_EQ(diff, TColors::kDefaultDifference);
  EXPECT_NE(diff, Ed->Colors().ChangedBackground());
  struct Case {
    int Col, Row;
    TColor TextColor, Background;
  };
  const Case cases[] = {
      {Hi(0), 0, clBlue, kWhite},    {Hi(1), 0, clBlue, diff},  {Ch(1), 0, kBlack, diff},
      {Lo(5), 0, clMaroon, diff},    {Hi(4), 0, clBlue, kWhite}, {Lo(17), 1, clBlue, diff},
      {Hi(41), 2, kBlack, diff},     {Ch(47), 2, kBlack, diff}, {Hi(42), 2, kBlack, kWhite},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Col << "," << c.Row);
    const TCanvasOp op = Cell(c.Col, c.Row);
    EXPECT_EQ(op.TextColor, c.TextColor);
    EXPECT_EQ(op.Color, c.Background);
  }
  asked.clear();
  Ed->Paint(TRect{0, 0, 800, 600}, Canvas);
  EXPECT_EQ(asked, (std::vector<std::pair<int32_t, int32_t>>{{0, 16}, {16, 16}, {32, 16}}));
  differ = {0};  // the other side changed: the next paint asks again
  EXPECT_EQ(Cell(Hi(0), 0).Color, diff);
  EXPECT_EQ(Cell(Hi(1), 0).Color, kWhite);
  Ed->SetDifferenceMarks({});
  EXPECT_EQ(Cell(Hi(0), 0).Color, kWhite);
}

}  // namespace
}  // namespace byteloom::test
