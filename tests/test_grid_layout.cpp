// SPDX-License-Identifier: GPL-3.0-or-later
// Column pattern, widths, row counts and the position/cell mappings.
#include <gtest/gtest.h>

#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

class GridLayout : public EditorTest {
 protected:
  void LoadSize(size_t size) { Load(Pattern(size)); }
  std::vector<int> Widths() {
    std::vector<int> w;
    for (int c = 0; c < Ed->ColCount(); ++c) w.push_back(Ed->ColWidths(c));
    return w;
  }
};

TEST_F(GridLayout, StoredLayoutOfAnEmptyDocumentGivesTheFiftyOneWidths) {
  std::vector<int> expected{32, 8};
  for (int group = 0; group < 8; ++group) expected.insert(expected.end(), {8, 8, 8, 16});
  expected.push_back(8);  // spacer
  for (int i = 0; i < 16; ++i) expected.push_back(8);
  EXPECT_EQ(Widths(), expected);
  EXPECT_EQ(Ed->ColCount(), 51);
  EXPECT_EQ(Ed->RowCount(), 1);
  EXPECT_EQ(Ed->FixedCols(), 2);
  EXPECT_EQ(Ed->CharWidth(), 8);
  EXPECT_EQ(Ed->RowHeight(), 15);
  EXPECT_EQ(Ed->DefaultRowHeight(), 15);
}

TEST_F(GridLayout, OffsetColumnWidthFollowsStyleAndSize) {
  struct Row {
    size_t size;
    TOffsetDisplayStyle style;
    int chars;
  };
  const Row rows[] = {
      {0, TOffsetDisplayStyle::odHex, 4},      {0, TOffsetDisplayStyle::odDec, 2},
      {0, TOffsetDisplayStyle::odNone, 0},     {4096, TOffsetDisplayStyle::odHex, 7},
      {65536, TOffsetDisplayStyle::odHex, 8},  {65536, TOffsetDisplayStyle::odDec, 6},
      {1000, TOffsetDisplayStyle::odDec, 5},   {15, TOffsetDisplayStyle::odHex, 4},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "size " << r.size << " style " << int(r.style));
    if (r.size == 0)
      Ed->CreateEmptyFile("Untitled");
    else
      LoadSize(r.size);
    Ed->SetOffsetDisplay(r.style);
    EXPECT_EQ(Ed->OffsetChars(), r.chars);
    EXPECT_EQ(Ed->ColWidths(0), r.chars * 8);
  }
}

TEST_F(GridLayout, RowCountsFollowTheDocumentSize) {
  const std::pair<size_t, int> rows[] = {{1, 1}, {16, 1}, {17, 2}, {4097, 257}};
  for (auto [size, count] : rows) {
    LoadSize(size);
    EXPECT_EQ(Ed->RowCount(), count) << size;
    EXPECT_EQ(Ed->ColCount(), 51);
  }
}

TEST_F(GridLayout, ColumnGroupsDoubleTheirLastCell) {
  Ed->SetBytesPerColumn(4);
  EXPECT_EQ(Ed->NibblesPerColumn(), 8);
  for (int c = 2; c <= 33; ++c) EXPECT_EQ(Ed->ColWidths(c), (c == 9 || c == 17 || c == 25 || c == 33) ? 16 : 8) << c;
  Ed->SetBytesPerColumn(1);
  for (int c = 2; c <= 33; ++c) EXPECT_EQ(Ed->ColWidths(c), c % 2 == 1 ? 16 : 8) << c;
  EXPECT_EQ(Ed->BytesPerColumn(), 1);
}

TEST_F(GridLayout, HidingTheMarkerColumnOnlyZeroesColumnOne) {
  const auto before = Widths();
  Ed->SetShowMarkerColumn(false);
  auto after = Widths();
  EXPECT_EQ(after[1], 0);
  after[1] = before[1];
  EXPECT_EQ(after, before);
}

TEST_F(GridLayout, WidestLineHas771Columns) {
  LoadSize(1000);
  Ed->SetBytesPerLine(256);
  EXPECT_EQ(Ed->ColCount(), 771);
  EXPECT_EQ(Ed->RowCount(), 4);
  EXPECT_EQ(Ed->HexCells(), 512);
}

TEST_F(GridLayout, PositionsAndCellsMapBothWays) {
  LoadSize(200);
  EXPECT_EQ(Ed->GetPosAtCell(2, 5), 80);
  EXPECT_FALSE(Ed->InCharField());
  EXPECT_EQ(Ed->GetPosAtCell(3, 5), 80);
  EXPECT_EQ(Ed->GetPosAtCell(35, 5), 80);
  EXPECT_TRUE(Ed->InCharField());
  EXPECT_EQ(Ed->GetPosAtCell(34, 5), 96);  // spacer: first position of the next row
  EXPECT_FALSE(Ed->InCharField());
  EXPECT_EQ(Ed->GetPosAtCell(0, 0), 0);    // negative results come back as 0
  EXPECT_EQ(Ed->GetPosAtCell(1, 0), 0);
  // Past 2^31 positions go on instead of wrapping round to negative ones.
  constexpr int kLastRow = 134217727;  // (2^31 - 1) / 16
  EXPECT_EQ(Ed->GetPosAtCell(50, kLastRow), 2147483647);
  EXPECT_EQ(Ed->GetPosAtCell(34, kLastRow), 2147483648);
  EXPECT_EQ(Ed->GetPosAtCell(2, kLastRow + 1), 2147483648);

  int col = 0;
  int64_t row = 0;
  Ed->GetCellAtPos(37, false, col, row);
  EXPECT_EQ(col, 12);
  EXPECT_EQ(row, 2);
  Ed->GetCellAtPos(37, true, col, row);
  EXPECT_EQ(col, 40);
  EXPECT_EQ(row, 2);

  bool inChar = true;
  EXPECT_EQ(Ed->GetOtherFieldCol(12, inChar), 40);
  EXPECT_FALSE(inChar);
  EXPECT_EQ(Ed->GetOtherFieldCol(13, inChar), 40);
  EXPECT_EQ(Ed->GetOtherFieldCol(40, inChar), 12);
  EXPECT_TRUE(inChar);

  // Every cell of both fields maps back to itself (first digit cell in hex).
  for (int32_t p = 0; p < 200; ++p) {
    for (bool field : {false, true}) {
      Ed->GetCellAtPos(p, field, col, row);
      EXPECT_EQ(Ed->GetPosAtCell(col, row), p);
      EXPECT_EQ(Ed->InCharField(), field);
    }
  }
}

TEST_F(GridLayout, OddLineWidthsKeepTheMappingsConsistent) {
  LoadSize(1000);
  for (int b : {1, 3, 7, 64, 255}) {
    Ed->SetBytesPerLine(b);
    EXPECT_EQ(Ed->ColCount(), 3 * b + 3);
    EXPECT_EQ(Ed->RowCount(), (1000 + b - 1) / b);
    int col = 0;
    int64_t row = 0;
    Ed->GetCellAtPos(999, true, col, row);
    EXPECT_EQ(col, 2 * b + 3 + 999 % b);
    EXPECT_EQ(Ed->GetPosAtCell(col, row), 999);
  }
}

}  // namespace
}  // namespace byteloom::test
