// SPDX-License-Identifier: GPL-3.0-or-later
// The grid base of the hex editor control: columns and rows, fixed columns,
// column widths, one row height, the current cell with an overridable
// SelectCell, the top row and left column of the view and cell rectangles.
// Window services come from a TGridHost, so the grid itself needs no toolkit.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/keys.h"
#include "control/types.h"

namespace byteloom {

class TCanvas;

// The shape of the caret: a bitmap Width × Height, black except for the
// rectangle Fill, which has the colour FillColor. It is combined with the
// screen by exclusive-or.
struct TCaretShape {
  int Width = 0;
  int Height = 0;
  TRect Fill;
  TColor FillColor = 0;
  bool operator==(const TCaretShape&) const = default;
};

// What the grid needs from the window that shows it.
class TGridHost {
 public:
  virtual ~TGridHost() = default;
  // The window exists (messages can be posted to it).
  virtual bool HandleAllocated() const = 0;
  virtual bool Focused() const = 0;
  // Requests a repaint of the whole control, or of a rectangle, without
  // erasing the background first.
  virtual void Invalidate() = 0;
  virtual void InvalidateRect(const TRect& r) = 0;
  // Repaints the whole control at once.
  virtual void Repaint() = 0;
  // Moves the pixels inside area dx to the right and dy down. Rectangles
  // invalidated before and not yet painted move with them; the strip the
  // move uncovers the grid invalidates itself. A host that cannot move
  // pixels repaints the whole control instead.
  virtual void ScrollRect(int dx, int dy, const TRect& area) {
    (void)dx, (void)dy, (void)area;
    Invalidate();
  }
  // Queues a message for the control; the host hands it to
  // TCustomGrid::HandleMessage later, on the user-interface thread.
  virtual void PostMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) = 0;
  virtual void CursorChanged(TCursor cursor) = 0;
  // Text measurement in the given font, in pixels.
  virtual int TextWidth(const TFont& font, const std::string& text) = 0;
  virtual int TextHeight(const TFont& font, const std::string& text) = 0;
  // Freezes (true) or releases (false) the drawing of the window.
  virtual void LockUpdate(bool lock) = 0;
  // The caret of the window.
  virtual void CreateCaret(const TCaretShape& shape) = 0;
  virtual void DestroyCaret() = 0;
  virtual void SetCaretPos(int x, int y) = 0;
  virtual void ShowCaret() = 0;
  virtual void HideCaret() = 0;
  // The view moved (top row, left column or counts changed): scroll bars follow.
  virtual void ScrollStateChanged() = 0;
  // Resolves a system colour to RGB.
  virtual TColor ColorToRGB(TColor c) const = 0;
  // The key or mouse button (a virtual key code) is down at this moment.
  virtual bool KeyHeld(int vk) const {
    (void)vk;
    return false;
  }
  // Starts or stops the 60 ms timer of drag tracking; while it runs, the
  // host calls TCustomGrid::TrackTimer with the pointer's position.
  virtual void SetTrackTimer(bool on) { (void)on; }
  // Watches fd (-1: nothing) for readability and then calls the control's
  // OpenedFileEvent.
  virtual void WatchFile(int fd) { (void)fd; }
};

// What a scroll bar asks for: a line or a page up or down, a position (the
// thumb released or dragged), the start or the end.
enum class TScrollCode : uint8_t { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom };

// A cell of the grid: its column and row.
struct TCell {
  int X = -1;        // the column
  int64_t Y = -1;    // the row
  bool operator==(const TCell&) const = default;
};

// A scroll bar's state: positions 0..Max, Page positions visible at once.
struct TScrollInfo {
  int64_t Max = 0;
  int64_t Page = 1;
  int64_t Position = 0;
  bool operator==(const TScrollInfo&) const = default;
};

// A scroll position of up to 2^63 - 1 on a bar that counts with int: one
// to one up to kBarMax, scaled beyond it (the first and the last bar value
// are the first and the last position).
struct TBarScale {
  static constexpr int64_t kBarMax = int64_t{1} << 30;
  int64_t Max = 0;  // the largest position
  bool Scaled() const { return Max > kBarMax; }
  int BarMax() const { return static_cast<int>(Scaled() ? kBarMax : Max); }
  int ToBar(int64_t pos) const;
  int64_t FromBar(int value) const;
  // A page of page positions on the bar (at least 1).
  int BarPage(int64_t page) const;
};

class TCustomGrid {
 public:
  explicit TCustomGrid(TGridHost& host);
  virtual ~TCustomGrid() = default;
  TCustomGrid(const TCustomGrid&) = delete;
  TCustomGrid& operator=(const TCustomGrid&) = delete;

  TGridHost& Host() const { return FHost; }

  int ColCount() const { return static_cast<int>(FColWidths.size()); }
  void SetColCount(int count);
  int64_t RowCount() const { return FRowCount; }
  void SetRowCount(int64_t count);
  // Rows the view may scroll over beyond the grid's own, to line it up with
  // another view: it spans rows min(first, 0) to max(end, RowCount()) - 1.
  // Rows outside 0..RowCount()-1 have no cells: DrawCell paints them, but
  // the current cell and the mouse never reach them. (0, 0): none.
  void SetViewRows(int64_t first, int64_t end);
  int64_t ViewFirstRow() const { return std::min<int64_t>(FViewFirst, 0); }
  int64_t ViewEndRow() const { return std::max(FViewEnd, FRowCount); }
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int count);
  int ColWidths(int col) const { return FColWidths.at(static_cast<size_t>(col)); }
  void SetColWidths(int col, int width);
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int height);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int width);

  // The current cell.
  int Col() const { return FCol; }
  int64_t Row() const { return FRow; }
  // Moves the current cell like a key does (raising OnClick) when it differs.
  void SetCol(int col);
  // Makes (col, row) the current cell if SelectCell allows it; the anchor
  // moves along when moveAnchor, the cell scrolls into view when show. A cell
  // outside the grid leaves the current cell where it is.
  void MoveColRow(int col, int64_t row, bool moveAnchor, bool show);

  int64_t TopRow() const { return FTopRow; }
  void SetTopRow(int64_t row);
  int LeftCol() const { return FLeftCol; }
  void SetLeftCol(int col);

  // The client area the grid is shown in.
  void SetClientSize(int width, int height);

  // Rows and columns that are wholly visible from the top row / left column
  // (at least 1).
  int VisibleRowCount() const;
  int VisibleColCount() const;

  // Paints the part of the client area inside dirty: DrawCell for exactly
  // the cells that meet it, the grid lines, and the control's colour right of
  // the last column and below the last row.
  void Paint(const TRect& dirty, TCanvas& canvas);

  // The scroll bars: the vertical one counts rows from the first row of the
  // view (ViewFirstRow), the horizontal one scrolling columns from the first one after the fixed
  // columns. Max is the last top row / left column that still fills the view.
  TScrollInfo VertScrollInfo() const;
  TScrollInfo HorzScrollInfo() const;
  // A scroll bar was used; pos is the position for scPosition and scTrack.
  virtual void VScroll(TScrollCode code, int64_t pos);
  virtual void HScroll(TScrollCode code, int pos);
  // The mouse wheel turned by delta (120 per notch, positive away from the
  // user): the view scrolls three rows per notch.
  void MouseWheel(int delta);

  // The rectangle of a cell in client pixels; empty when the cell is out of view.
  TRect CellRect(int col, int64_t row) const;
  // The visible part of the block of cells from (col1, row1) to (col2, row2),
  // clipped to the client area; empty when none of it is in view.
  TRect BoxRect(int col1, int64_t row1, int col2, int64_t row2) const;
  void InvalidateCell(int col, int64_t row);
  void InvalidateGrid() { FHost.Invalidate(); }

  TColor Color() const { return FColor; }
  void SetColor(TColor c) { FColor = c; }
  const TFont& Font() const { return FFont; }
  TFont& Font() { return FFont; }
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor c);

  // A message posted through the host arrives here.
  virtual void HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam);

  // --- Input, as the host receives it -----------------------------------------
  // A key pressed: the standard cursor keys move the current cell and the
  // view; a key handled elsewhere is set to 0.
  virtual void KeyDown(uint16_t& key, TShiftState shift);
  // A key released: raises OnKeyUp.
  virtual void KeyUp(uint16_t& key, TShiftState shift);
  // A typed character (a Windows-1252 code); the grid itself ignores it.
  virtual void KeyPress(uint8_t ch);
  // A mouse button pressed (ssDouble in shift for the second press of a
  // double click), the pointer moved, a button released; client pixels.
  // A left press on a scrolling cell makes it current and tracks the
  // pointer until the button is released.
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void FocusGained();
  virtual void FocusLost();
  // Every 60 ms while tracking, with the pointer's position: outside the
  // wholly visible cells the current cell moves one cell that way.
  void TrackTimer(int x, int y);
  bool Tracking() const { return FTracking; }
  // The cell under a point; (-1, -1) when the point is on no visible cell.
  TCell MouseCoord(int x, int y) const;

  // Events for the owner.
  std::function<void(TCustomGrid&)> OnClick;
  std::function<void(TCustomGrid&)> OnDblClick;
  std::function<void(TCustomGrid&, uint16_t& key, TShiftState shift)> OnKeyUp;
  std::function<void(TCustomGrid&, TMouseButton button, TShiftState shift, int x, int y)> OnMouseUp;

 protected:
  // Asked before a cell becomes current; false refuses the move.
  virtual bool SelectCell(int col, int64_t row);
  // Draws one cell; rect is the cell's whole rectangle, which may reach past
  // the client area. Called by Paint, with Canvas() set.
  virtual void DrawCell(int col, int64_t row, const TRect& rect);
  // The canvas of the paint in progress.
  TCanvas& Canvas() const;
  // Counts the calls of Paint: what a cell asks once per paint is kept per count.
  uint64_t PaintCount() const { return FPaintCount; }
  // Moves the current cell and raises OnClick, as the cursor keys do.
  void FocusCell(int col, int64_t row, bool moveAnchor);
  void Click();
  // The top row or the left column changed.
  virtual void TopLeftChanged() {}
  // Scrolls so that the cell is wholly visible.
  void ClampInView(int col, int64_t row);

 private:
  int ColumnLeft(int col) const;  // x of a visible scrolling or fixed column
  int FixedWidth() const;
  int FullColsFrom(int left) const;  // wholly visible columns from column left on
  int PageRows() const;              // rows that fit wholly in the client height (at least 1)
  int64_t MaxTopRow() const;
  int MaxLeftCol() const;
  void PaintGridLines(const TRect& area, int gridRight, int gridBottom);
  int FullVisRight() const;   // x after the last wholly visible column
  int FullVisBottom() const;  // y after the last wholly visible row
  // The view moved by rows (positive: towards the end), or its scrolling
  // columns by dx pixels: the pixels that stay in view move, the strip they
  // uncover is invalidated; a move by a whole view invalidates it all.
  void ScrollViewRows(int64_t rows);
  void ScrollViewColumns(int dx);

  TGridHost& FHost;
  std::vector<int> FColWidths;
  int64_t FRowCount = 5;
  int64_t FViewFirst = 0, FViewEnd = 0;  // SetViewRows
  int FFixedCols = 1;
  int FDefaultColWidth = 64;
  int FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  int FCol = 1;
  int64_t FRow = 0;
  int FAnchorCol = 1;
  int64_t FAnchorRow = 0;
  int64_t FTopRow = 0;
  int FLeftCol = 1;
  int FClientWidth = 0;
  int FClientHeight = 0;
  TColor FColor = clWindow;
  TFont FFont;
  TCursor FCursor = TCursor::crDefault;
  TCanvas* FCanvas = nullptr;
  uint64_t FPaintCount = 0;
  int FWheelRest = 0;  // wheel turns not yet worth a whole row (in 1/120 rows)
  bool FTracking = false;  // a left press on a cell is being followed
  struct TPaintCol {
    int Col;
    int X;
  };
  std::vector<TPaintCol> FPaintCols;
};

// Shows the hourglass on the grid while it lives; the previous cursor comes
// back afterwards, also when an exception passes.
class TWaitCursor {
 public:
  explicit TWaitCursor(TCustomGrid& grid) : FGrid(grid), FPrevious(grid.Cursor()) {
    grid.SetCursor(TCursor::crHourGlass);
  }
  ~TWaitCursor() { FGrid.SetCursor(FPrevious); }
  TWaitCursor(const TWaitCursor&) = delete;
  TWaitCursor& operator=(const TWaitCursor&) = delete;

 private:
  TCustomGrid& FGrid;
  TCursor FPrevious;
};

}  // namespace byteloom
