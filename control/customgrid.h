// The grid base of the hex editor control: columns and rows, fixed columns,
// column widths, one row height, the current cell with an overridable
// SelectCell, the top row and left column of the view and cell rectangles.
// Window services come from a TGridHost, so the grid itself needs no toolkit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/types.h"

namespace byteloom {

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
};

enum class TBorderStyle : uint8_t { bsNone, bsSingle };

struct TGridOptions {
  bool VertLine = true;
  bool HorzLine = true;
  bool Tabs = true;
  bool ThumbTracking = true;
  bool operator==(const TGridOptions&) const = default;
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
  int RowCount() const { return FRowCount; }
  void SetRowCount(int count);
  int FixedCols() const { return FFixedCols; }
  void SetFixedCols(int count);
  int FixedRows() const { return 0; }
  void SetFixedRows(int count);
  int ColWidths(int col) const { return FColWidths.at(static_cast<size_t>(col)); }
  void SetColWidths(int col, int width);
  int DefaultColWidth() const { return FDefaultColWidth; }
  void SetDefaultColWidth(int width);
  int DefaultRowHeight() const { return FDefaultRowHeight; }
  void SetDefaultRowHeight(int height);
  int GridLineWidth() const { return FGridLineWidth; }
  void SetGridLineWidth(int width);

  // The current cell.
  int Col() const { return FCol; }
  int Row() const { return FRow; }
  void SetCol(int col) { MoveColRow(col, FRow, true, true); }
  void SetRow(int row) { MoveColRow(FCol, row, true, true); }
  // Makes (col, row) the current cell if SelectCell allows it; the anchor
  // moves along when moveAnchor, the cell scrolls into view when show. A cell
  // outside the grid leaves the current cell where it is.
  void MoveColRow(int col, int row, bool moveAnchor, bool show);

  int TopRow() const { return FTopRow; }
  void SetTopRow(int row);
  int LeftCol() const { return FLeftCol; }
  void SetLeftCol(int col);

  // The client area the grid is shown in.
  int ClientWidth() const { return FClientWidth; }
  int ClientHeight() const { return FClientHeight; }
  void SetClientSize(int width, int height);

  // Rows and columns that are wholly visible from the top row / left column
  // (at least 1).
  int VisibleRowCount() const;
  int VisibleColCount() const;

  // The rectangle of a cell in client pixels; empty when the cell is out of view.
  TRect CellRect(int col, int row) const;
  // The visible part of the block of cells from (col1, row1) to (col2, row2),
  // clipped to the client area; empty when none of it is in view.
  TRect BoxRect(int col1, int row1, int col2, int row2) const;
  void InvalidateCell(int col, int row);
  void InvalidateGrid() { FHost.Invalidate(); }

  TColor Color() const { return FColor; }
  void SetColor(TColor c) { FColor = c; }
  const TFont& Font() const { return FFont; }
  TFont& Font() { return FFont; }
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor c);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle b) { FBorderStyle = b; }
  const TGridOptions& Options() const { return FOptions; }
  void SetOptions(const TGridOptions& o) { FOptions = o; }
  bool DefaultDrawing() const { return FDefaultDrawing; }
  void SetDefaultDrawing(bool on) { FDefaultDrawing = on; }
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool on) { FParentColor = on; }
  bool Ctl3D() const { return FCtl3D; }
  void SetCtl3D(bool on) { FCtl3D = on; }

  // A message posted through the host arrives here.
  virtual void HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam);

  // Events for the owner.
  std::function<void(TCustomGrid&)> OnClick;
  std::function<void(TCustomGrid&)> OnDblClick;

 protected:
  // Asked before a cell becomes current; false refuses the move.
  virtual bool SelectCell(int col, int row);
  // Scrolls so that the cell is wholly visible.
  void ClampInView(int col, int row);

 private:
  int ColumnLeft(int col) const;  // x of a visible scrolling or fixed column
  int FixedWidth() const;
  int FullColsFrom(int left) const;  // wholly visible columns from column left on

  TGridHost& FHost;
  std::vector<int> FColWidths;
  int FRowCount = 5;
  int FFixedCols = 1;
  int FDefaultColWidth = 64;
  int FDefaultRowHeight = 24;
  int FGridLineWidth = 1;
  int FCol = 1;
  int FRow = 0;
  int FAnchorCol = 1;
  int FAnchorRow = 0;
  int FTopRow = 0;
  int FLeftCol = 1;
  int FClientWidth = 0;
  int FClientHeight = 0;
  TColor FColor = clWindow;
  TFont FFont;
  TCursor FCursor = TCursor::crDefault;
  TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
  TGridOptions FOptions;
  bool FDefaultDrawing = true;
  bool FParentColor = false;
  bool FCtl3D = true;
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
