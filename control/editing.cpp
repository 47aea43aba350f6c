// SPDX-License-Identifier: GPL-3.0-or-later
// Byte editing: changing bytes, inserting and deleting nibbles and blocks,
// the selection and caret positions, the change marks and the row markers.
//
// Every edit is a splice of the document: it checks the length limit,
// journals its step, and keeps the step for undo once it is made; an edit
// that fails leaves the document as it was. Nothing is moved or copied, at
// any size.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "control/hexeditor.h"

namespace byteloom {

namespace {

void CheckBuffer(const uint8_t* data, int64_t count, const char* message) {
  if (count < 0 || (count > 0 && data == nullptr)) throw EHexEditorError(message);
}

// size - removed + added must still be a position.
void CheckDocumentGrowth(int64_t size, int64_t removed, int64_t added) {
  if (__int128{size} - removed + added > kMaxDocumentSize)
    throw EHexEditorError(std::string(kDocumentLimitMessage) + "; the edit was not made");
}

}  // namespace

// ---------------------------------------------------------------------------
// Internal steps
// ---------------------------------------------------------------------------

bool THexEditor::IsNoSpace(const EFileError& e) {
  return e.Errno() == ENOSPC || e.Errno() == EDQUOT || e.Errno() == EFBIG;
}

void THexEditor::ThrowNoSpace(const EFileError& e, const std::string& what) {
  if (!IsNoSpace(e)) throw e;
  throw EFileError("Not enough space in the temporary folder " + TempDirectory() + " " + what + " (" +
                       ErrnoText(e.Errno()) + ")",
                   e.Errno());
}

void THexEditor::TrimChangedBits(int64_t pos) {
  if (pos >= 0 && FStore.Marks().Size() >= pos) FStore.Marks().SetSize(pos);
}

void THexEditor::BytesChanged(int64_t trimFrom, bool resized) {
  TrimChangedBits(trimFrom);
  if (resized) AdjustMetrics();
}

bool THexEditor::RecordedEdit(TUndoKind kind, int64_t pos, int64_t oldCount, const uint8_t* data, int64_t count) {
  CheckDocumentGrowth(DataSize(), oldCount, count);
  const int64_t extra = kind == TUndoKind::ukReplaceSelection ? oldCount : 0;
  if (!StepAllowed(kind, pos, extra, kind == TUndoKind::ukRemoved ? oldCount : count)) {
    PostStateChange();
    return false;
  }
  // Room for the new bytes first: a refused edit leaves nothing behind.
  try {
    FStore.Doc().ReserveAdded(count);
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for this edit");
  }
  TUndoStep step = BeginStep(kind, pos, CurrentUndoState());
  try {
    step.Edit = FStore.Doc().Replace(pos, oldCount, data, count);
  } catch (const EFileError& e) {
    DropStepRecords();
    ThrowNoSpace(e, "for this edit");
  } catch (...) {
    DropStepRecords();
    throw;
  }
  // A one-byte change keeps the read window (its caller puts the byte in).
  if (kind != TUndoKind::ukByteChanged) FStore.Changed();
  EndStep(std::move(step));
  // A typed-over byte keeps its mark; other edits drop the marks from pos on.
  BytesChanged(kind == TUndoKind::ukByteChanged ? -1 : pos, count != oldCount);
  return true;
}

// ---------------------------------------------------------------------------
// Nibble shifts
// ---------------------------------------------------------------------------

bool THexEditor::RecordedShift(int64_t pos, bool highHalf, TUndoKind kind) {
  if (!StepAllowed(kind, pos, 0, 0)) return false;
  TUndoStep step = BeginStep(kind, pos, CurrentUndoState());
  try {
    step.Edit = kind == TUndoKind::ukInsertNibble ? FStore.Doc().InsertNibble(pos, highHalf)
                                                  : FStore.Doc().DeleteNibble(pos, highHalf);
  } catch (const EFileError& e) {
    DropStepRecords();
    ThrowNoSpace(e, "for the nibble shift");
  } catch (...) {
    DropStepRecords();
    throw;
  }
  FStore.Changed();
  ResetSelection(false);
  EndStep(std::move(step));
  return true;
}

bool THexEditor::InsertNibble(int64_t pos, bool highHalf) {
  const int64_t size = DataSize();
  if (size <= 0) {
    ResetSelection(false);
    const uint8_t zero = 0;
    AppendBuffer(&zero, 1);
    return true;
  }
  if (pos < 0 || pos >= size) return false;
  // The new zero nibble is the high or the low half of pos; the rest of the
  // document moves on by four bits and grows by one byte.
  CheckDocumentGrowth(size, 0, 1);
  if (!RecordedShift(pos, highHalf, TUndoKind::ukInsertNibble)) return false;
  BytesChanged(pos);
  return true;
}

bool THexEditor::DeleteNibble(int64_t pos, bool highHalf) {
  const int64_t size = DataSize();
  if (pos < 0 || pos >= size) return false;
  // The high or the low half of pos goes; the rest moves back by four bits
  // and the last byte's low nibble becomes 0.
  if (!RecordedShift(pos, highHalf, TUndoKind::ukDeleteNibble)) return false;
  BytesChanged(pos);
  return true;
}

// ---------------------------------------------------------------------------
// Byte and block edits
// ---------------------------------------------------------------------------

void THexEditor::ChangeByte(uint8_t oldValue, uint8_t newValue, int64_t row, int col, int64_t pos) {
  (void)col;
  if (oldValue == newValue) return;
  if (!RecordedEdit(TUndoKind::ukByteChanged, pos, 1, &newValue, 1)) return;
  UpdateCache(pos, newValue);
  FStore.Marks().Set(pos, true);
  int hexCol = 0, charCol = 0;
  int64_t r = 0;
  GetCellAtPos(pos, false, hexCol, r);
  GetCellAtPos(pos, true, charCol, r);
  InvalidateCell(hexCol, row);
  InvalidateCell(hexCol + 1, row);
  InvalidateCell(charCol, row);
}

void THexEditor::SelectionBounds(int64_t& first, int64_t& stop, int64_t& row, int& col) {
  const int64_t caret = GetPosAtCell(Col(), Row());
  const int64_t size = DataSize();
  if (FSelAnchor == -1) {
    first = caret;
    stop = first + 1;
    col = Col();
    row = Row();
  } else {
    first = FSelMin;
    stop = FSelMax + 1;
    GetCellAtPos(first, FInCharField, col, row);
  }
  // A selection or caret left outside the document acts only on what exists.
  first = std::max<int64_t>(first, 0);
  stop = std::min(stop, size);
}

void THexEditor::DeleteRange(int64_t first, int64_t stop, int64_t row, int col) {
  const int64_t size = DataSize();
  if (first < 0 || stop <= first || stop > size) throw EHexEditorError("Invalid DeleteRange argument");
  NoteChangeComing();
  FStore.Doc().Delete(first, stop - first);
  FStore.Changed();
  FStore.Edited();
  ShowRemoval(row, col);
}

void THexEditor::ShowRemoval(int64_t row, int col) {
  AdjustMetrics();
  const int64_t newSize = DataSize();
  const int64_t cellPos = GetPosAtCell(col, row);  // also takes the cell's field
  if (newSize <= 0) {
    col = 2;
    row = 0;
  } else if (cellPos >= newSize) {
    GetCellAtPos(newSize - 1, FInCharField, col, row);
  }
  MoveCaret(col, row);
  ResetSelection(false);
  InvalidateGrid();
}

void THexEditor::DeleteSelection() {
  int64_t first, stop;
  int64_t row = 0;
  int col = 0;
  SelectionBounds(first, stop, row, col);
  if (DataSize() <= 0) {
    // An empty document: the undo step is refused, so nothing happens.
    CreateUndo(TUndoKind::ukRemoved, 0, 0, 1);
    return;
  }
  if (stop <= first) return;
  if (!RecordedEdit(TUndoKind::ukRemoved, first, stop - first, nullptr, 0)) return;
  ShowRemoval(row, col);
}

void THexEditor::SelectBytes(int64_t first, int64_t count) {
  if (count > 0) {
    FSelAnchor = FSelMin = first;
    FSelMax = first + count - 1;
  } else {
    FSelAnchor = FSelMin = FSelMax = -1;
  }
  PostStateChange();
}

void THexEditor::InsertBuffer(const uint8_t* data, int64_t count, int64_t pos) {
  CheckBuffer(data, count, "Invalid InsertBuffer argument");
  const int64_t size = DataSize();
  if (pos < 0 || pos > size) throw EHexEditorError("Invalid InsertBuffer argument");
  if (count == 0) return;
  if (!RecordedEdit(TUndoKind::ukInsertBuffer, pos, 0, data, count)) return;
  if (pos == GetPosAtCell(Col(), Row())) SelectBytes(pos, count);
  InvalidateGrid();
}

void THexEditor::AppendBuffer(const uint8_t* data, int64_t count) {
  CheckBuffer(data, count, "Invalid AppendBuffer argument");
  if (count == 0) return;
  const int64_t size = DataSize();
  if (!RecordedEdit(TUndoKind::ukAppendBuffer, size, 0, data, count)) return;
  GetPosAtCell(Col(), Row());  // the caret's field
  int col = 0;
  int64_t row = 0;
  GetCellAtPos(size, FInCharField, col, row);
  MoveCaret(col, row);
  SelectBytes(size, count);
  InvalidateGrid();
}

void THexEditor::ReplaceSelection(const uint8_t* data, int64_t count) {
  CheckBuffer(data, count, "Invalid ReplaceSelection argument");
  if (FSelAnchor == -1) {
    InsertBuffer(data, count, SelStart());
    return;
  }
  int64_t first, stop;
  int64_t row = 0;
  int col = 0;
  SelectionBounds(first, stop, row, col);
  const int64_t size = DataSize();
  if (stop <= first) {
    InsertBuffer(data, count, std::clamp<int64_t>(first, 0, size));
    return;
  }
  const int64_t oldCount = stop - first;
  const int64_t newSize = size - oldCount + count;
  const int caretCol = Col();
  const int64_t caretRow = Row();
  const int64_t caretPos = GetPosAtCell(caretCol, caretRow);
  const bool inChar = FInCharField;
  if (!RecordedEdit(TUndoKind::ukReplaceSelection, first, oldCount, data, count)) return;
  // The caret goes where deleting the old bytes put it: on the cell of the
  // first of them, or on the last byte left, and it comes back to the
  // remembered cell if the selection was made from its start.
  const int64_t remaining = size - oldCount;
  if (remaining <= 0) {
    col = 2;
    row = 0;
  } else if (first >= remaining) {
    GetCellAtPos(remaining - 1, inChar, col, row);
  }
  if (caretPos == first && first < newSize) {
    MoveCaret(caretCol, caretRow);
    SelectBytes(first, count);
  } else {
    MoveCaret(col, row);
    ResetSelection(false);
  }
  InvalidateGrid();
}

// ---------------------------------------------------------------------------
// Selection and caret positions
// ---------------------------------------------------------------------------

int64_t THexEditor::SelStart() {
  if (FSelAnchor != -1) return FSelAnchor;
  return GetPosAtCell(Col(), Row());
}

int64_t THexEditor::SelEnd() {
  if (FSelAnchor == -1) return GetPosAtCell(Col(), Row());
  return FSelAnchor == FSelMax ? FSelMin : FSelMax;
}

void THexEditor::SetSelStart(int64_t pos) {
  if (pos < 0 || pos >= DataSize()) throw EHexEditorError("Invalid SelStart");
  ResetSelection(true);
  GetPosAtCell(Col(), Row());
  int col = 0;
  int64_t row = 0;
  GetCellAtPos(pos, FInCharField, col, row);
  MoveCaret(col, row);
}

void THexEditor::SetSelEnd(int64_t pos) {
  if (pos < 0 || pos >= DataSize()) throw EHexEditorError("Invalid SelEnd");
  ResetSelection(true);
  const int64_t caret = GetPosAtCell(Col(), Row());
  FSelAnchor = caret;
  FSelMin = std::min(caret, pos);
  FSelMax = std::max(caret, pos);
  InvalidateRange(FSelMin, FSelMax);
  PostStateChange();
}

int64_t THexEditor::SelCount() const { return FSelAnchor == -1 ? 0 : FSelMax - FSelMin + 1; }

int64_t THexEditor::GetCursorPos() {
  const int64_t pos = GetPosAtCell(Col(), Row());
  return std::clamp<int64_t>(pos, 0, std::max<int64_t>(0, DataSize() - 1));
}

bool THexEditor::IsCharFieldActive() {
  if (DataSize() <= 0) return false;
  GetPosAtCell(Col(), Row());
  return FInCharField;
}

bool THexEditor::Seek(int64_t offset, int origin, bool failIfOutside) {
  const int64_t size = DataSize();
  if (size <= 0) return false;
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = offset + GetCursorPos();
      break;
    case 2:
      target = offset + size - 1;
      break;
    default:
      target = GetPosAtCell(Col(), Row());
      break;
  }
  if (target < 0) {
    if (failIfOutside) return false;
    target = 0;
  }
  if (target >= size) {
    if (failIfOutside) return false;
    target = size - 1;
  }
  SetSelStart(target);
  return true;
}

bool THexEditor::IsSelected(int64_t pos) const { return FSelAnchor != -1 && FSelMin <= pos && pos <= FSelMax; }

// ---------------------------------------------------------------------------
// Change marks and markers
// ---------------------------------------------------------------------------

bool THexEditor::ByteChanged(int64_t pos) const {
  if (FLiveFrom >= 0 && pos >= FLiveFrom && pos - FLiveFrom < static_cast<int64_t>(FLiveChangedAt.size()) &&
      FLiveChangedAt[static_cast<size_t>(pos - FLiveFrom)] != 0)
    return true;
  return FStore.Marks().Get(pos);
}

void THexEditor::SetChangedBit(int64_t pos, bool value) { FStore.Marks().Set(pos, value); }

void THexEditor::SetMarker(int index, int64_t row) {
  if (index < 0 || index > 9) throw EHexEditorError("SetMarker : Invalid marker index");
  if (FMarkers[static_cast<size_t>(index)] == row) return;
  FMarkers[static_cast<size_t>(index)] = row;
  InvalidateGrid();
}

int64_t THexEditor::GetMarker(int index) const {
  if (index < 0 || index > 9) throw EHexEditorError("GetMarker : Invalid marker index");
  const int64_t row = FMarkers[static_cast<size_t>(index)];
  return row == -1 ? Row() : row;
}

int THexEditor::MarkerAtRow(int64_t row) const {
  for (int i = 0; i < 10; ++i)
    if (FMarkers[static_cast<size_t>(i)] == row) return i;
  return -1;
}

}  // namespace byteloom
