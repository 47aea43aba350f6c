// SPDX-License-Identifier: GPL-3.0-or-later
// Input: which cells the caret may enter, the control's keys, typing over
// nibbles and bytes, mouse selection, focus and the caret's place.
#include <algorithm>

#include "control/hexeditor.h"
#include "control/translation.h"
#include "platform/numconv.h"

namespace byteloom {

namespace {

// Keeps SelectGuard clear while it lives and sets it again on every way out.
struct TGuardOff {
  TGuardOff() { THexEditor::SelectGuard = false; }
  ~TGuardOff() { THexEditor::SelectGuard = true; }
  TGuardOff(const TGuardOff&) = delete;
  TGuardOff& operator=(const TGuardOff&) = delete;
};


}  // namespace

// ---------------------------------------------------------------------------
// Where the caret may go
// ---------------------------------------------------------------------------

bool THexEditor::SelectCell(int col, int64_t row) {
  if (DataSize() < 1) return col == 2 && row == 0;
  if (!CanSelectCell(col, row)) return false;
  bool side = false;
  InvalidateCell(GetOtherFieldCol(Col(), side), Row());
  InvalidateCell(GetOtherFieldCol(col, side), row);
  if (FMouseSelecting)
    SelectCells(Col(), Row(), col, row);
  else
    ResetSelection(true);
  const TRect r = CellRect(col, row);
  Host().SetCaretPos(r.Left, r.Top);
  return true;
}

bool THexEditor::CanSelectCell(int col, int64_t row) {
  if (!SelectGuard) return true;
  TGuardOff guard;
  if (!KeyHeld(VK_SHIFT) && !KeyHeld(VK_LBUTTON)) ResetSelection(true);
  const int64_t size = DataSize();
  if (GetPosAtCell(col, row) >= size) {
    // Past the end: to the last byte, in the field the caret is in now.
    GetPosAtCell(Col(), Row());
    int c = 0;
        int64_t r = 0;
    GetCellAtPos(size - 1, FInCharField, c, r);
    MoveCaret(c, r);
    return false;
  }
  if (col == FHexCells + 2) {
    if (KeyHeld(VK_LBUTTON)) MoveCaret(std::max(2, col - 1), row);
    return false;
  }
  if (FCellGap) {
    // A gap of the lane: to the byte before it when the caret goes back,
    // else to the byte after it, in the field of the cell.
    const int64_t after = GetPosAtCell(col, row);
    const bool inChar = FInCharField;
    const bool back = row < Row() || (row == Row() && col < Col());
    int c = 0;
    int64_t r = 0;
    GetCellAtPos(std::clamp<int64_t>(back ? after - 1 : after, 0, size - 1), inChar, c, r);
    MoveCaret(c, r);
    return false;
  }
  return true;
}

void THexEditor::SelectCells(int fromCol, int64_t fromRow, int toCol, int64_t toRow) {
  const int64_t oldMin = FSelMin, oldMax = FSelMax;
  const int64_t to = GetPosAtCell(toCol, toRow);
  if (FSelAnchor == -1) {
    FSelAnchor = GetPosAtCell(fromCol, fromRow);
    FSelMin = std::min(to, FSelAnchor);
    FSelMax = std::max(to, FSelAnchor);
    InvalidateRange(FSelMin, FSelMax);
  } else {
    if (FSelAnchor > to) {
      FSelMin = to;
      FSelMax = FSelAnchor;
    } else {
      FSelMax = to;
      FSelMin = FSelAnchor;
    }
    InvalidateRange(std::min(FSelMin, oldMin), std::max(FSelMin, oldMin));
    InvalidateRange(std::min(FSelMax, oldMax), std::max(FSelMax, oldMax));
  }
  PostStateChange();
}

void THexEditor::TopLeftChanged() {
  const TRect r = CellRect(Col(), Row());
  if (r.IsEmpty())
    Host().SetCaretPos(-50, -50);
  else
    Host().SetCaretPos(r.Left, r.Top);
}

// ---------------------------------------------------------------------------
// Keys
// ---------------------------------------------------------------------------

void THexEditor::KeyDown(uint16_t& key, TShiftState shift) {
  // Alt held for a move, not for a character code of the number pad.
  if ((shift & ssAlt) && key != VK_MENU && !(key >= VK_NUMPAD0 && key <= VK_NUMPAD9)) FAltMoved = true;
  uint16_t gridKey = key == VK_BACK ? static_cast<uint16_t>(VK_LEFT) : key;
  if (key == VK_DELETE && KeyShift(shift) == ssCtrl) DeleteSelection();
  if (HandleKey(shift, key)) {
    key = 0;
    return;
  }
  TCustomGrid::KeyDown(gridKey, shift);
}

bool THexEditor::HandleKey(TShiftState shift, uint16_t key) {
  const TShiftState s = KeyShift(shift);
  if (s == 0 && key != VK_SHIFT) ResetSelection(true);
  const int64_t size = DataSize();
  const int64_t pos = GetPosAtCell(Col(), Row());
  const bool inChar = FInCharField;
  const int firstCol = inChar ? FHexCells + 3 : 2;
  auto caretTo = [&](int64_t p) {
    int c = 0;
        int64_t r = 0;
    GetCellAtPos(p, inChar, c, r);
    MoveCaret(c, r);
  };
  const bool ctrl = (s & ssCtrl) != 0;

  switch (key) {
    case VK_HOME:
      MoveCaret(firstCol, ctrl ? 0 : Row());
      return true;
    case VK_END:
      if (ctrl) {
        caretTo(size - 1);
      } else {
        const int64_t rowEnd = GetPosAtCell(2, Row() + 1) - 1;
        caretTo(std::min(rowEnd, size - 1));
      }
      return true;
    case VK_LEFT:
      if (ctrl) return false;
      if (inChar || s == ssAlt) {  // Alt: a whole byte in the hex field too
        caretTo(std::max<int64_t>(pos - 1, 0));
      } else if ((Col() - 2) % 2 == 1) {
        MoveCaret(Col() - 1, Row());
      } else if (pos - 1 >= 0) {
        int c = 0;
        int64_t r = 0;
        GetCellAtPos(pos - 1, false, c, r);
        MoveCaret(c + 1, r);
      }
      return true;
    case VK_RIGHT:
      if (ctrl) return false;
      if (inChar || s == ssAlt) {
        caretTo(std::min(pos + 1, size - 1));
      } else if ((Col() - 2) % 2 == 0) {
        MoveCaret(Col() + 1, Row());
      } else if (pos + 1 < size) {
        int c = 0;
        int64_t r = 0;
        GetCellAtPos(pos + 1, false, c, r);
        MoveCaret(c, r);
      }
      return true;
    case VK_TAB:
      if (s != 0 && s != ssShift) return false;
      if (size > 0) SetCol(GetOtherFieldCol(Col(), FInCharField));
      return true;
    case VK_SHIFT:
      if (s != ssShift) return false;
      if (!FMouseSelecting) ResetSelection(true);
      FMouseSelecting = true;
      return true;
    default:
      break;
  }
  if (key >= VK_0 && key <= VK_9) {
    const int digit = key - VK_0;
    if (s == (ssShift | ssCtrl)) {
      SetMarker(digit, Row());
      return true;
    }
    if (s == ssCtrl) {
      ResetSelection(true);
      const int64_t row = GetMarker(digit);
      if (row < RowCount())
        MoveCaret(2, row);
      else
        SetMarker(digit, 1);  // the marked row is gone
      return true;
    }
  }
  return false;
}

void THexEditor::KeyUp(uint16_t& key, TShiftState shift) {
  FOemCharEntry = key == VK_MENU && !FAltMoved;
  if (key == VK_MENU) FAltMoved = false;
  TCustomGrid::KeyUp(key, shift);
}

void THexEditor::KeyPress(uint8_t ch) {
  const int64_t pos = GetPosAtCell(Col(), Row());
  if (pos >= DataSize()) return;
  const int64_t row = Row();
  const int col = Col();
  if (FInCharField) {
    const uint8_t b = FOemCharEntry ? AnsiToOemChar(ch) : CharToFileByte(ch);
    if (b < 32 && !FOemCharEntry) return;  // control characters, or not in this translation
    FOemCharEntry = false;
    ResetSelection(true);
    ChangeByte(ReadByte(pos), b, row, col, pos);
    int nextCol = col + 1;
    int64_t nextRow = row;
    if (nextCol > ColCount() - 1) {
      nextCol = FHexCells + 3;
      ++nextRow;
    }
    if (GetPosAtCell(nextCol, nextRow) < DataSize()) MoveCaret(nextCol, nextRow);
    return;
  }
  const int d = HexDigit(static_cast<char>(ch));
  if (d < 0) return;
  ResetSelection(true);
  const uint8_t old = ReadByte(pos);
  int first = 0;
  int64_t firstRow = 0;
  GetCellAtPos(pos, false, first, firstRow);
  const bool highNibble = col - (FSwapNibbles ? 1 : 0) == first;
  const uint8_t value = highNibble ? static_cast<uint8_t>(d * 16 + (old & 0x0F)) : static_cast<uint8_t>(d + (old & 0xF0));
  ChangeByte(old, value, row, col, pos);
  int nextCol = col + 1;
  int64_t nextRow = row;
  if (nextCol > FHexCells + 1) {
    nextCol = 2;
    ++nextRow;
  }
  if (GetPosAtCell(nextCol, nextRow) < DataSize()) MoveCaret(nextCol, nextRow);
}

// ---------------------------------------------------------------------------
// Mouse and focus
// ---------------------------------------------------------------------------

void THexEditor::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (shift & ssAlt) FAltMoved = true;
  TCustomGrid::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft) return;
  ResetSelection(true);
  if (!(shift & ssDouble)) FMouseSelecting = true;
}

void THexEditor::FocusGained() {
  TCustomGrid::FocusGained();
  BuildCaret();
  Host().SetCaretPos(-50, -50);
  Host().ShowCaret();
  InvalidateGrid();
}

void THexEditor::FocusLost() {
  TCustomGrid::FocusLost();
  Host().HideCaret();
  Host().DestroyCaret();
  FMouseSelecting = false;
  InvalidateGrid();
}

}  // namespace byteloom
