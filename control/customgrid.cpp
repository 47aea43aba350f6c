#include "control/customgrid.h"

#include <algorithm>

namespace byteloom {

TCustomGrid::TCustomGrid(TGridHost& host) : FHost(host), FColWidths(5, 64) {}

void TCustomGrid::SetColCount(int count) {
  count = std::max(count, 1);
  if (count == ColCount()) return;
  FColWidths.resize(static_cast<size_t>(count), FDefaultColWidth);
  if (FFixedCols >= count) FFixedCols = count - 1;
  FCol = std::clamp(FCol, FFixedCols, count - 1);
  FAnchorCol = std::clamp(FAnchorCol, FFixedCols, count - 1);
  FLeftCol = std::clamp(FLeftCol, FFixedCols, count - 1);
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetRowCount(int count) {
  count = std::max(count, 1);
  if (count == FRowCount) return;
  FRowCount = count;
  FRow = std::min(FRow, count - 1);
  FAnchorRow = std::min(FAnchorRow, count - 1);
  FTopRow = std::clamp(FTopRow, 0, std::max(0, FRowCount - VisibleRowCount()));
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetFixedCols(int count) {
  count = std::clamp(count, 0, ColCount() - 1);
  if (count == FFixedCols) return;
  FFixedCols = count;
  // A new number of fixed columns starts the view and the current cell anew.
  FLeftCol = FCol = FAnchorCol = count;
  FTopRow = FRow = FAnchorRow = 0;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetFixedRows(int count) {
  (void)count;  // the grid has no fixed rows
}

void TCustomGrid::SetColWidths(int col, int width) {
  auto& w = FColWidths.at(static_cast<size_t>(col));
  if (w == width) return;
  w = width;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetDefaultColWidth(int width) {
  FDefaultColWidth = width;
  std::fill(FColWidths.begin(), FColWidths.end(), width);
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetDefaultRowHeight(int height) {
  if (height == FDefaultRowHeight) return;
  FDefaultRowHeight = height;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetGridLineWidth(int width) {
  if (width == FGridLineWidth) return;
  FGridLineWidth = width;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetCursor(TCursor c) {
  if (c == FCursor) return;
  FCursor = c;
  FHost.CursorChanged(c);
}

void TCustomGrid::SetClientSize(int width, int height) {
  FClientWidth = std::max(width, 0);
  FClientHeight = std::max(height, 0);
  FHost.ScrollStateChanged();
}

void TCustomGrid::MoveColRow(int col, int row, bool moveAnchor, bool show) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= FRowCount) return;
  if (!SelectCell(col, row)) return;
  const int oldCol = FCol, oldRow = FRow;
  FCol = col;
  FRow = row;
  if (moveAnchor) {
    FAnchorCol = col;
    FAnchorRow = row;
  }
  if (show) ClampInView(col, row);
  InvalidateCell(oldCol, oldRow);
  InvalidateCell(col, row);
}

bool TCustomGrid::SelectCell(int, int) { return true; }

void TCustomGrid::HandleMessage(uint32_t, intptr_t, intptr_t) {}

int TCustomGrid::VisibleRowCount() const {
  const int step = FDefaultRowHeight + FGridLineWidth;
  int n = step > 0 ? FClientHeight / step : 1;
  n = std::min(n, FRowCount - FTopRow);
  return std::max(n, 1);
}

int TCustomGrid::FixedWidth() const {
  int x = 0;
  for (int c = 0; c < FFixedCols; ++c) x += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
  return x;
}

int TCustomGrid::VisibleColCount() const { return FullColsFrom(FLeftCol); }

int TCustomGrid::FullColsFrom(int left) const {
  int x = FixedWidth();
  int n = 0;
  for (int c = left; c < ColCount(); ++c) {
    x += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
    if (x > FClientWidth + FGridLineWidth) break;
    ++n;
  }
  return std::max(n, 1);
}

void TCustomGrid::SetTopRow(int row) {
  row = std::clamp(row, 0, std::max(0, FRowCount - 1));
  if (row == FTopRow) return;
  FTopRow = row;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetLeftCol(int col) {
  col = std::clamp(col, FFixedCols, ColCount() - 1);
  if (col == FLeftCol) return;
  FLeftCol = col;
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::ClampInView(int col, int row) {
  if (FClientWidth <= 0 || FClientHeight <= 0) return;
  if (row < FTopRow)
    SetTopRow(row);
  else if (row >= FTopRow + VisibleRowCount())
    SetTopRow(row - VisibleRowCount() + 1);
  if (col >= FFixedCols) {
    if (col < FLeftCol) {
      SetLeftCol(col);
    } else {
      int left = FLeftCol;
      while (left < col && col >= left + FullColsFrom(left)) ++left;
      SetLeftCol(left);
    }
  }
}

int TCustomGrid::ColumnLeft(int col) const {
  if (col < FFixedCols) {
    int x = 0;
    for (int c = 0; c < col; ++c) x += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
    return x;
  }
  int x = FixedWidth();
  for (int c = FLeftCol; c < col; ++c) x += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
  return x;
}

TRect TCustomGrid::CellRect(int col, int row) const {
  if (col < 0 || col >= ColCount() || row < FTopRow || row >= FRowCount) return {};
  if (col >= FFixedCols && col < FLeftCol) return {};
  const int step = FDefaultRowHeight + FGridLineWidth;
  if (step <= 0 || row - FTopRow > FClientHeight / step) return {};
  const int y = (row - FTopRow) * step;
  const int x = ColumnLeft(col);
  if (x >= FClientWidth || y >= FClientHeight) return {};
  return TRect{x, y, x + FColWidths[static_cast<size_t>(col)], y + FDefaultRowHeight};
}

TRect TCustomGrid::BoxRect(int col1, int row1, int col2, int row2) const {
  const int step = FDefaultRowHeight + FGridLineWidth;
  if (step <= 0) return {};
  row1 = std::max(row1, FTopRow);
  row2 = std::min({row2, FRowCount - 1, FTopRow + FClientHeight / step});
  col1 = std::max(col1, 0);
  col2 = std::min(col2, ColCount() - 1);
  if (row1 > row2 || col1 > col2) return {};
  int left = -1, right = -1;
  for (int c = col1; c <= col2; ++c) {
    TRect r = CellRect(c, row1);
    if (r.IsEmpty()) {
      if (c >= FLeftCol && right >= 0) break;  // past the right edge of the view
      continue;
    }
    if (left < 0) left = r.Left;
    right = r.Right;
  }
  if (left < 0) return {};
  TRect box{left, (row1 - FTopRow) * step, std::min(right, FClientWidth),
            std::min((row2 - FTopRow) * step + FDefaultRowHeight, FClientHeight)};
  return box.IsEmpty() ? TRect{} : box;
}

void TCustomGrid::InvalidateCell(int col, int row) {
  TRect r = CellRect(col, row);
  if (!r.IsEmpty()) FHost.InvalidateRect(r);
}

}  // namespace byteloom
