// SPDX-License-Identifier: GPL-3.0-or-later
// Grid layout: the column pattern, the widths and the mappings between
// document positions and cells.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include "control/hexeditor.h"

namespace byteloom {

void THexEditor::AdjustMetrics() {
  const int64_t size = DataSize();
  if (size < FStore.Marks().Size()) FStore.Marks().SetSize(size);
  const int b = FBytesPerLine;
  if (FLaneMap) {
    SetRowCount(std::max<int64_t>((FLaneMap->Lanes() + b - 1) / b, 1));
  } else if (size >= 1) {
    SetRowCount((size + b - 1) / b);
  } else {
    SetRowCount(1);
  }
  SetColCount(3 * b + 3);
  SetFixedCols(2);
  UpdateColumnWidths();
}

void THexEditor::UpdateColumnWidths() {
  FCharWidth = Host().TextWidth(Font(), "w");
  UpdateOffsetWidth();
  SetColWidths(1, FCharWidth * (FShowMarkerColumn ? 1 : 0));
  const int h = FHexCells;
  for (int c = 2; c <= h + 1; ++c)
    SetColWidths(c, c % FNibblesPerColumn == 1 ? 2 * FCharWidth : FCharWidth);
  for (int c = h + 2; c <= 3 * FBytesPerLine + 2 && c < ColCount(); ++c) SetColWidths(c, FCharWidth);
  FRowHeight = Host().TextHeight(Font(), "yY") + 2;
  SetDefaultRowHeight(FRowHeight);
}

void THexEditor::UpdateOffsetWidth() {
  // The largest offset shown (in live memory, the highest address).
  const uint64_t size = IsLive() && DataSize() > 0 ? AddressOf(DataSize() - 1) + 1 : static_cast<uint64_t>(DataSize());
  switch (FOffsetDisplay) {
    case TOffsetDisplayStyle::odNone:
      FOffsetChars = 0;
      break;
    case TOffsetDisplayStyle::odHex: {
      char buf[24];
      FOffsetChars = std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(size)) + 3;
      break;
    }
    case TOffsetDisplayStyle::odDec:
      FOffsetChars = static_cast<int>(std::to_string(size).size()) + 1;
      break;
  }
  SetColWidths(0, FOffsetChars * FCharWidth);
}

int64_t THexEditor::GetPosAtCell(int col, int64_t row) {
  const int h = FHexCells;
  FInCharField = col > h + 2;
  int64_t pos = static_cast<int64_t>(row) * FBytesPerLine;
  pos += FInCharField ? col - (h + 3) : (col - 2) / 2;
  FCellGap = false;
  if (FLaneMap) return FLaneMap->PosAt(std::max<int64_t>(pos, 0), FCellGap);
  return std::max<int64_t>(pos, 0);
}

void THexEditor::GetCellAtPos(int64_t pos, bool inCharField, int& col, int64_t& row) const {
  if (FLaneMap) pos = FLaneMap->LaneOf(pos);
  row = pos / FBytesPerLine;
  const int inRow = static_cast<int>(pos % FBytesPerLine);
  col = inCharField ? FHexCells + 3 + inRow : 2 + 2 * inRow;
}

void THexEditor::SetLaneMap(TLaneMap* map) {
  FLaneMap = map;
  LaneMapChanged();
}

void THexEditor::LaneMapChanged() {
  AdjustMetrics();
  InvalidateGrid();
}

int THexEditor::GetOtherFieldCol(int col, bool& inCharField) const {
  const int h = FHexCells;
  inCharField = col > h + 2;
  if (inCharField) return 2 + 2 * (col - (h + 3));
  return (col - 2) / 2 + h + 3;
}

}  // namespace byteloom
