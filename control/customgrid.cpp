// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/customgrid.h"

#include <algorithm>
#include <cstdlib>

#include "control/canvas.h"

namespace byteloom {

namespace {

// Stands in when a cell is drawn outside a paint: draws nothing.
class TIdleCanvas final : public TCanvas {
 public:
  void SetFont(const TFont& font) override { FFont = font; }
  const TFont& Font() const override { return FFont; }
  void SetTextColor(TColor c) override { FFont.Color = c; }
  void SetBrushColor(TColor) override {}
  void SetPenColor(TColor) override {}
  void TextRectOpaque(const TRect&, int, int, const std::string&) override {}
  void FillRect(const TRect&) override {}
  void FrameRect(const TRect&) override {}
  void DrawFocusRect(const TRect&) override {}
  void Line(int, int, int, int) override {}

 private:
  TFont FFont;
};

TRect Intersection(const TRect& a, const TRect& b) {
  return TRect{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
}

}  // namespace

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

void TCustomGrid::SetRowCount(int64_t count) {
  count = std::max<int64_t>(count, 1);
  if (count == FRowCount) return;
  FRowCount = count;
  FRow = std::min(FRow, count - 1);
  FAnchorRow = std::min(FAnchorRow, count - 1);
  FTopRow = std::clamp(FTopRow, ViewFirstRow(), std::max(ViewFirstRow(), ViewEndRow() - VisibleRowCount()));
  FHost.ScrollStateChanged();
  FHost.Invalidate();
}

void TCustomGrid::SetViewRows(int64_t first, int64_t end) {
  if (first == FViewFirst && end == FViewEnd) return;
  FViewFirst = first;
  FViewEnd = end;
  FHost.ScrollStateChanged();
  const int64_t top = std::clamp(FTopRow, ViewFirstRow(), MaxTopRow());
  if (top != FTopRow)
    SetTopRow(top);
  else
    FHost.Invalidate();  // rows below the last may appear or go
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
  // A larger view shows the end of the document at its bottom, not blank rows.
  bool moved = false;
  if (FTopRow > MaxTopRow()) {
    FTopRow = MaxTopRow();
    moved = true;
  }
  if (FLeftCol > MaxLeftCol()) {
    FLeftCol = MaxLeftCol();
    moved = true;
  }
  FHost.ScrollStateChanged();
  if (moved) {
    FHost.Invalidate();
    TopLeftChanged();
  }
}

void TCustomGrid::MoveColRow(int col, int64_t row, bool moveAnchor, bool show) {
  if (col < 0 || row < 0 || col >= ColCount() || row >= FRowCount) return;
  if (!SelectCell(col, row)) return;
  const int oldCol = FCol;
  const int64_t oldRow = FRow;
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

bool TCustomGrid::SelectCell(int, int64_t) { return true; }

void TCustomGrid::SetCol(int col) {
  if (col != FCol) FocusCell(col, FRow, true);
}

void TCustomGrid::FocusCell(int col, int64_t row, bool moveAnchor) {
  MoveColRow(col, row, moveAnchor, true);
  Click();
}

void TCustomGrid::Click() {
  if (OnClick) OnClick(*this);
}

void TCustomGrid::DrawCell(int, int64_t, const TRect& rect) {
  Canvas().SetBrushColor(FHost.ColorToRGB(FColor));
  Canvas().FillRect(rect);
}

TCanvas& TCustomGrid::Canvas() const {
  static TIdleCanvas idle;
  return FCanvas ? *FCanvas : idle;
}

void TCustomGrid::HandleMessage(uint32_t, intptr_t, intptr_t) {}

int TCustomGrid::VisibleRowCount() const {
  const int step = FDefaultRowHeight + FGridLineWidth;
  const int64_t n = std::min<int64_t>(step > 0 ? FClientHeight / step : 1, ViewEndRow() - FTopRow);
  return static_cast<int>(std::max<int64_t>(n, 1));
}

int TCustomGrid::PageRows() const {
  const int step = FDefaultRowHeight + FGridLineWidth;
  return step > 0 ? std::max(FClientHeight / step, 1) : 1;
}

int64_t TCustomGrid::MaxTopRow() const { return std::max(ViewEndRow() - PageRows(), ViewFirstRow()); }

int TCustomGrid::MaxLeftCol() const {
  // The leftmost column from which the columns up to the last one all fit.
  int x = FixedWidth();
  int left = ColCount() - 1;
  for (int c = ColCount() - 1; c >= FFixedCols; --c) {
    x += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
    if (x > FClientWidth + FGridLineWidth) break;
    left = c;
  }
  return std::max(left, FFixedCols);
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

void TCustomGrid::SetTopRow(int64_t row) {
  row = std::clamp(row, ViewFirstRow(), ViewEndRow() - 1);
  if (row == FTopRow) return;
  const int64_t rows = row - FTopRow;
  FTopRow = row;
  FHost.ScrollStateChanged();
  ScrollViewRows(rows);
  TopLeftChanged();
}

void TCustomGrid::SetLeftCol(int col) {
  col = std::clamp(col, FFixedCols, ColCount() - 1);
  if (col == FLeftCol) return;
  // The scrolling columns move by the widths of the columns passed.
  int dx = 0;
  for (int c = std::min(col, FLeftCol); c < std::max(col, FLeftCol); ++c)
    dx += FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
  if (col > FLeftCol) dx = -dx;
  FLeftCol = col;
  FHost.ScrollStateChanged();
  ScrollViewColumns(dx);
  TopLeftChanged();
}

void TCustomGrid::ScrollViewRows(int64_t rows) {
  const int step = FDefaultRowHeight + FGridLineWidth;
  // A move by a whole view (or more) paints it anew.
  if (FClientWidth <= 0 || step <= 0 || std::abs(rows) >= FClientHeight / step + 1 ||
      std::abs(rows * step) >= FClientHeight) {
    FHost.Invalidate();
    return;
  }
  const int dy = static_cast<int>(-rows * step);
  FHost.ScrollRect(0, dy, TRect{0, 0, FClientWidth, FClientHeight});
  if (dy < 0)
    FHost.InvalidateRect(TRect{0, FClientHeight + dy, FClientWidth, FClientHeight});
  else
    FHost.InvalidateRect(TRect{0, 0, FClientWidth, dy});
}

void TCustomGrid::ScrollViewColumns(int dx) {
  const int fixed = FixedWidth();
  if (fixed + std::abs(dx) >= FClientWidth || FClientHeight <= 0) {
    FHost.Invalidate();
    return;
  }
  FHost.ScrollRect(dx, 0, TRect{fixed, 0, FClientWidth, FClientHeight});
  if (dx < 0)
    FHost.InvalidateRect(TRect{FClientWidth + dx, 0, FClientWidth, FClientHeight});
  else
    FHost.InvalidateRect(TRect{fixed, 0, fixed + dx, FClientHeight});
}

void TCustomGrid::ClampInView(int col, int64_t row) {
  if (FClientWidth <= 0 || FClientHeight <= 0) return;
  if (row < FTopRow)
    SetTopRow(row);
  else if (row >= FTopRow + PageRows())
    SetTopRow(row - PageRows() + 1);
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

TRect TCustomGrid::CellRect(int col, int64_t row) const {
  if (col < 0 || col >= ColCount() || row < std::max<int64_t>(FTopRow, 0) || row >= FRowCount) return {};
  if (col >= FFixedCols && col < FLeftCol) return {};
  const int step = FDefaultRowHeight + FGridLineWidth;
  if (step <= 0 || row - FTopRow > FClientHeight / step) return {};
  const int y = static_cast<int>(row - FTopRow) * step;
  const int x = ColumnLeft(col);
  if (x >= FClientWidth || y >= FClientHeight) return {};
  return TRect{x, y, x + FColWidths[static_cast<size_t>(col)], y + FDefaultRowHeight};
}

TRect TCustomGrid::BoxRect(int col1, int64_t row1, int col2, int64_t row2) const {
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
  // Both rows lie in view here: their offsets from the top row are small.
  TRect box{left, static_cast<int>(row1 - FTopRow) * step, std::min(right, FClientWidth),
            std::min(static_cast<int>(row2 - FTopRow) * step + FDefaultRowHeight, FClientHeight)};
  return box.IsEmpty() ? TRect{} : box;
}

void TCustomGrid::InvalidateCell(int col, int64_t row) {
  TRect r = CellRect(col, row);
  if (!r.IsEmpty()) FHost.InvalidateRect(r);
}

// ---------------------------------------------------------------------------
// Scrolling
// ---------------------------------------------------------------------------

int TBarScale::ToBar(int64_t pos) const {
  pos = std::clamp<int64_t>(pos, 0, Max);
  if (!Scaled()) return static_cast<int>(pos);
  return static_cast<int>(static_cast<__int128>(pos) * kBarMax / Max);
}

int64_t TBarScale::FromBar(int value) const {
  const int64_t v = std::clamp<int64_t>(value, 0, BarMax());
  if (!Scaled()) return v;
  // The position whose bar value is v (rounded up: ToBar(FromBar(v)) == v).
  return static_cast<int64_t>((static_cast<__int128>(v) * Max + kBarMax - 1) / kBarMax);
}

int TBarScale::BarPage(int64_t page) const {
  if (!Scaled()) return static_cast<int>(std::clamp<int64_t>(page, 1, kBarMax));
  return static_cast<int>(std::clamp<int64_t>(static_cast<__int128>(page) * kBarMax / Max, 1, kBarMax));
}

TScrollInfo TCustomGrid::VertScrollInfo() const {
  return TScrollInfo{MaxTopRow() - ViewFirstRow(), PageRows(), FTopRow - ViewFirstRow()};
}

TScrollInfo TCustomGrid::HorzScrollInfo() const {
  return TScrollInfo{MaxLeftCol() - FFixedCols, FullColsFrom(FLeftCol), FLeftCol - FFixedCols};
}

void TCustomGrid::VScroll(TScrollCode code, int64_t pos) {
  int64_t top = FTopRow;
  switch (code) {
    case TScrollCode::scLineUp: top -= 1; break;
    case TScrollCode::scLineDown: top += 1; break;
    case TScrollCode::scPageUp: top -= PageRows(); break;
    case TScrollCode::scPageDown: top += PageRows(); break;
    case TScrollCode::scPosition:
    case TScrollCode::scTrack: top = pos + ViewFirstRow(); break;
    case TScrollCode::scTop: top = ViewFirstRow(); break;
    case TScrollCode::scBottom: top = MaxTopRow(); break;
  }
  SetTopRow(std::clamp(top, ViewFirstRow(), MaxTopRow()));
}

void TCustomGrid::HScroll(TScrollCode code, int pos) {
  int left = FLeftCol;
  switch (code) {
    case TScrollCode::scLineUp: left -= 1; break;
    case TScrollCode::scLineDown: left += 1; break;
    case TScrollCode::scPageUp: left -= VisibleColCount(); break;
    case TScrollCode::scPageDown: left += VisibleColCount(); break;
    case TScrollCode::scPosition:
    case TScrollCode::scTrack: left = FFixedCols + pos; break;
    case TScrollCode::scTop: left = FFixedCols; break;
    case TScrollCode::scBottom: left = MaxLeftCol(); break;
  }
  SetLeftCol(std::clamp(left, FFixedCols, MaxLeftCol()));
}

void TCustomGrid::MouseWheel(int delta) {
  FWheelRest += 3 * delta;
  const int rows = FWheelRest / 120;
  FWheelRest -= rows * 120;
  if (rows != 0)
    VScroll(TScrollCode::scPosition, std::clamp(FTopRow - rows, ViewFirstRow(), MaxTopRow()) - ViewFirstRow());
}

// ---------------------------------------------------------------------------
// Painting
// ---------------------------------------------------------------------------

void TCustomGrid::Paint(const TRect& dirty, TCanvas& canvas) {
  const TRect area = Intersection(dirty, TRect{0, 0, FClientWidth, FClientHeight});
  if (area.IsEmpty()) return;
  ++FPaintCount;
  struct TCanvasScope {
    TCanvas*& Slot;
    TCanvas* Old;
    ~TCanvasScope() { Slot = Old; }
  } scope{FCanvas, FCanvas};
  FCanvas = &canvas;
  TFont font = FFont;
  font.Color = FHost.ColorToRGB(font.Color);
  canvas.SetFont(font);

  // The columns in view, left to right, and where the grid ends.
  const int gl = FGridLineWidth;
  FPaintCols.clear();
  int x = 0;
  for (int c = 0; c < FFixedCols && c < ColCount(); ++c) {
    FPaintCols.push_back({c, x});
    x += FColWidths[static_cast<size_t>(c)] + gl;
  }
  for (int c = FLeftCol; c < ColCount() && x < FClientWidth; ++c) {
    FPaintCols.push_back({c, x});
    x += FColWidths[static_cast<size_t>(c)] + gl;
  }
  const int gridRight = x;
  const int step = FDefaultRowHeight + gl;
  int gridBottom = 0;
  if (step > 0 && FDefaultRowHeight > 0) {
    const int64_t lastRow = std::min<int64_t>(ViewEndRow() - 1, FTopRow + (FClientHeight - 1) / step);
    gridBottom = static_cast<int>(lastRow - FTopRow + 1) * step;
    const int64_t firstRow = FTopRow + area.Top / step;
    const int64_t endRow = std::min<int64_t>(lastRow, FTopRow + (area.Bottom - 1) / step);
    for (int64_t row = firstRow; row <= endRow; ++row) {
      const int y = static_cast<int>(row - FTopRow) * step;
      if (y + FDefaultRowHeight <= area.Top) continue;  // only its grid line is dirty
      for (const TPaintCol& pc : FPaintCols) {
        const TRect cell{pc.X, y, pc.X + FColWidths[static_cast<size_t>(pc.Col)], y + FDefaultRowHeight};
        if (!cell.IsEmpty() && cell.Intersects(area)) DrawCell(pc.Col, row, cell);
      }
    }
    if (gl > 0) PaintGridLines(area, gridRight, gridBottom);
  }

  // The control's colour right of the last column and below the last row.
  canvas.SetBrushColor(FHost.ColorToRGB(FColor));
  const TRect right = Intersection(TRect{gridRight, 0, FClientWidth, FClientHeight}, area);
  if (!right.IsEmpty()) canvas.FillRect(right);
  const TRect below = Intersection(TRect{0, gridBottom, std::min(gridRight, FClientWidth), FClientHeight}, area);
  if (!below.IsEmpty()) canvas.FillRect(below);
}

void TCustomGrid::PaintGridLines(const TRect& area, int gridRight, int gridBottom) {
  TCanvas& canvas = *FCanvas;
  const int gl = FGridLineWidth;
  const int step = FDefaultRowHeight + gl;
  const TColor color = FHost.ColorToRGB(FColor);
  const int fixedRight = FixedWidth();

  // The fixed columns have no lines: their gaps take the control's colour.
  canvas.SetBrushColor(color);
  for (const TPaintCol& pc : FPaintCols) {
    if (pc.Col >= FFixedCols) break;
    const int gx = pc.X + FColWidths[static_cast<size_t>(pc.Col)];
    const TRect gap = Intersection(TRect{gx, 0, gx + gl, gridBottom}, area);
    if (!gap.IsEmpty()) canvas.FillRect(gap);
  }
  for (int y = FDefaultRowHeight; y < gridBottom; y += step) {
    const TRect gap = Intersection(TRect{0, y, fixedRight, y + gl}, area);
    if (!gap.IsEmpty()) canvas.FillRect(gap);
  }

  // Lines between the scrolling cells: silver, grey on a silver control.
  canvas.SetPenColor(color == clSilver ? clGray : clSilver);
  const int top = std::max(area.Top, 0);
  const int bottom = std::min(area.Bottom, gridBottom);
  for (const TPaintCol& pc : FPaintCols) {
    if (pc.Col < FFixedCols) continue;
    const int gx = pc.X + FColWidths[static_cast<size_t>(pc.Col)];
    for (int lx = gx; lx < gx + gl; ++lx)
      if (lx >= area.Left && lx < area.Right && top < bottom) canvas.Line(lx, top, lx, bottom - 1);
  }
  const int left = std::max(area.Left, fixedRight);
  const int right = std::min(area.Right, gridRight);
  if (left >= right) return;
  for (int y = FDefaultRowHeight; y < gridBottom; y += step)
    for (int ly = y; ly < y + gl; ++ly)
      if (ly >= area.Top && ly < area.Bottom) canvas.Line(left, ly, right - 1, ly);
}

// ---------------------------------------------------------------------------
// Keyboard, mouse and focus
// ---------------------------------------------------------------------------

void TCustomGrid::KeyDown(uint16_t& key, TShiftState shift) {
  if (key == 0) return;
  int newCol = FCol, newLeft = FLeftCol;
  int64_t newRow = FRow, newTop = FTopRow;
  const int pageWidth = std::max(VisibleColCount() - 1, 1);
  const int pageHeight = std::max(VisibleRowCount() - 1, 1);
  if (shift & ssCtrl) {
    switch (key) {
      case VK_UP: --newTop; break;
      case VK_DOWN: ++newTop; break;
      case VK_LEFT:
        newCol -= pageWidth;
        newLeft -= pageWidth;
        break;
      case VK_RIGHT:
        newCol += pageWidth;
        newLeft += pageWidth;
        break;
      case VK_PRIOR: newRow = FTopRow; break;
      case VK_NEXT: newRow = FTopRow + VisibleRowCount() - 1; break;
      case VK_HOME:
        newCol = FFixedCols;
        newRow = 0;
        break;
      case VK_END:
        newCol = ColCount() - 1;
        newRow = FRowCount - 1;
        break;
      default: break;
    }
  } else {
    switch (key) {
      case VK_UP: --newRow; break;
      case VK_DOWN: ++newRow; break;
      case VK_LEFT: --newCol; break;
      case VK_RIGHT: ++newCol; break;
      case VK_NEXT:
        newRow += pageHeight;
        newTop += pageHeight;
        break;
      case VK_PRIOR:
        newRow -= pageHeight;
        newTop -= pageHeight;
        break;
      case VK_HOME: newCol = FFixedCols; break;
      case VK_END: newCol = ColCount() - 1; break;
      default: break;
    }
  }
  // Tab walks the cells, Shift+Tab backwards, wrapping at the row ends.
  if (key == VK_TAB && !(shift & ssAlt)) {
    if (shift & ssShift) {
      if (--newCol < FFixedCols) {
        newCol = ColCount() - 1;
        if (--newRow < 0) newRow = FRowCount - 1;
      }
    } else if (++newCol >= ColCount()) {
      newCol = FFixedCols;
      if (++newRow >= FRowCount) newRow = 0;
    }
  }
  newLeft = std::clamp(newLeft, FFixedCols, MaxLeftCol());
  newTop = std::clamp(newTop, ViewFirstRow(), MaxTopRow());
  if (newTop != FTopRow) VScroll(TScrollCode::scPosition, newTop - ViewFirstRow());
  if (newLeft != FLeftCol) HScroll(TScrollCode::scPosition, newLeft - FFixedCols);
  newCol = std::clamp(newCol, FFixedCols, ColCount() - 1);
  newRow = std::clamp<int64_t>(newRow, 0, FRowCount - 1);
  if (newCol != FCol || newRow != FRow) FocusCell(newCol, newRow, !(shift & ssShift));
}

void TCustomGrid::KeyUp(uint16_t& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(*this, key, shift);
}

void TCustomGrid::KeyPress(uint8_t) {}

TCell TCustomGrid::MouseCoord(int x, int y) const {
  const TCell none{-1, -1};
  const int step = FDefaultRowHeight + FGridLineWidth;
  if (x < 0 || y < 0 || x >= FClientWidth || y >= FClientHeight || step <= 0) return none;
  const int64_t row = FTopRow + y / step;
  if (row < 0 || row >= FRowCount) return none;
  int left = 0;
  auto hit = [&](int c) {
    const int right = left + FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
    const bool inside = x >= left && x < right;
    left = right;
    return inside;
  };
  for (int c = 0; c < FFixedCols; ++c)
    if (hit(c)) return TCell{c, row};
  for (int c = FLeftCol; c < ColCount() && left < FClientWidth; ++c)
    if (hit(c)) return TCell{c, row};
  return none;
}

void TCustomGrid::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button != TMouseButton::mbLeft) return;
  if (shift & ssDouble) {
    if (OnDblClick) OnDblClick(*this);
    return;
  }
  const TCell cell = MouseCoord(x, y);
  if (cell.X < FFixedCols || cell.Y < 0) return;
  MoveColRow(cell.X, cell.Y, true, true);
  FTracking = true;
  FHost.SetTrackTimer(true);
}

void TCustomGrid::MouseMove(TShiftState, int x, int y) {
  if (!FTracking) return;
  const TCell cell = MouseCoord(x, y);
  if (cell.X < FFixedCols || cell.Y < 0) return;
  if (cell.X != FAnchorCol || cell.Y != FAnchorRow) MoveColRow(cell.X, cell.Y, true, true);
}

void TCustomGrid::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  struct TEndTracking {
    TCustomGrid& Grid;
    ~TEndTracking() {
      if (Grid.FTracking) Grid.FHost.SetTrackTimer(false);
      Grid.FTracking = false;
    }
  } end{*this};
  if (FTracking) {
    MouseMove(shift, x, y);
    FHost.SetTrackTimer(false);
    FTracking = false;
    Click();
  }
  if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
}

void TCustomGrid::FocusGained() {}

void TCustomGrid::FocusLost() {}

int TCustomGrid::FullVisRight() const {
  int x = FixedWidth();
  for (int c = FLeftCol; c < ColCount(); ++c) {
    const int next = x + FColWidths[static_cast<size_t>(c)] + FGridLineWidth;
    if (next > FClientWidth + FGridLineWidth) break;
    x = next;
  }
  return x;
}

int TCustomGrid::FullVisBottom() const {
  const int step = FDefaultRowHeight + FGridLineWidth;
  return static_cast<int>(std::min<int64_t>(PageRows(), ViewEndRow() - FTopRow)) * std::max(step, 0);
}

void TCustomGrid::TrackTimer(int x, int y) {
  if (!FTracking) return;
  int col = FAnchorCol;
  int64_t row = FAnchorRow;
  if (x < FixedWidth()) {
    if (col > FFixedCols) --col;
  } else if (x > FullVisRight()) {
    if (col < ColCount() - 1) ++col;
  }
  if (y < 0) {
    if (row > 0) --row;
  } else if (y > FullVisBottom()) {
    if (row < FRowCount - 1) ++row;
  }
  if (col != FAnchorCol || row != FAnchorRow) MoveColRow(col, row, true, true);
}

}  // namespace byteloom
