// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/hexeditor.h"

#include <atomic>

#include "control/translation.h"

namespace byteloom {

// ---------------------------------------------------------------------------
// TColors
// ---------------------------------------------------------------------------

TColors::TColors(THexEditor* owner) : FOwner(owner) {}

TColor TColors::Inverse(TColor c) {
  return (255 - (c & 0xFF)) + 256 * (255 - ((c >> 8) & 0xFF)) + 65536 * (255 - ((c >> 16) & 0xFF));
}

void TColors::SetPlain(TColor& field, TColor c) {
  if (field == c) return;
  field = c;
  if (FOwner) FOwner->InvalidateGrid();
}

void TColors::SetOffset(TColor c) { SetPlain(FOffset, c); }
void TColors::SetPositionBackground(TColor c) { SetPlain(FPositionBackground, c); }
void TColors::SetCursorFrame(TColor c) { SetPlain(FCursorFrame, c); }
void TColors::SetChangedText(TColor c) { SetPlain(FChangedText, c); }
void TColors::SetPositionText(TColor c) { SetPlain(FPositionText, c); }
void TColors::SetChangedBackground(TColor c) { SetPlain(FChangedBackground, c); }
void TColors::SetDifference(TColor c) { SetPlain(FDifference, c); }
void TColors::SetGap(TColor c) { SetPlain(FGap, c); }

void TColors::SetOddColumn(TColor c) {
  if (FOddColumn == c) return;
  FInvOddColumn = Inverse(c);
  SetPlain(FOddColumn, c);
}

void TColors::SetEvenColumn(TColor c) {
  if (FEvenColumn == c) return;
  FInvEvenColumn = Inverse(c);
  SetPlain(FEvenColumn, c);
}

void TColors::SetBackground(TColor c) {
  if (FBackground == c) return;
  FBackground = c;
  if (FOwner) {
    FOwner->SetColor(c);
    FOwner->Host().Repaint();
  }
}

// ---------------------------------------------------------------------------
// Construction and destruction
// ---------------------------------------------------------------------------

namespace {
uint64_t NextSerial() {
  static std::atomic<uint64_t> next{1};
  return next++;
}
}  // namespace

THexEditor::THexEditor(TGridHost& host) : TCustomGrid(host), FSerial(NextSerial()) {
  FColors = std::make_unique<TColors>(this);
  SetColor(FColors->Background());
  Font() = TFont{"Courier", 12, -16, clWindowText};
  SetGridLineWidth(0);
  SetCursor(TCursor::crIBeam);
  FMarkers.fill(-1);
  FStore.SetSpliceHook([this](uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted) {
    JournalSplice(at, removed, inserted);
  });
  FStore.SetWatcher([this](uint64_t at, uint64_t removed, uint64_t inserted) {
    if (!OnSpliced) return;
    const auto first = static_cast<int64_t>(at / 2);
    OnSpliced(first, static_cast<int64_t>((at + removed + 1) / 2) - first, static_cast<int64_t>((at + inserted + 1) / 2) - first);
  });
  ResetUndo();
  SetDefaultColWidth(0);
  SetDefaultRowHeight(0);
  SetColCount(3 * FBytesPerLine + 3);
  SetRowCount(1);
  SetFixedCols(2);
  try {
    FTempFileName = MakeTempFileName();
    ReserveTempName(FTempFileName);
  } catch (const EFileError&) {
    // No private folder now: the first data names the reason.
  }
}

THexEditor::~THexEditor() {
  CloseDataStream();
  ReleaseTempName(FTempFileName);
}

void THexEditor::Loaded() { CreateEmptyFile("Untitled"); }

// ---------------------------------------------------------------------------
// Published properties
// ---------------------------------------------------------------------------

void THexEditor::SetBytesPerLine(int value) {
  if (value <= 0 || value > 256) throw EHexEditorError("Invalid BytesPerLine argument");
  if (value == FBytesPerLine) return;
  Host().LockUpdate(true);
  struct Unlock {
    TGridHost& h;
    ~Unlock() { h.LockUpdate(false); }
  } unlock{Host()};
  const int64_t anchor = FSelAnchor, selMin = FSelMin, selMax = FSelMax;
  const int64_t pos = GetPosAtCell(Col(), Row());
  const bool inChar = FInCharField;
  FBytesPerLine = value;
  FHexCells = 2 * value;
  AdjustMetrics();
  int col = 0;
  int64_t row = 0;
  GetCellAtPos(pos, inChar, col, row);
  MoveCaret(col, row);
  FSelAnchor = anchor;
  FSelMin = selMin;
  FSelMax = selMax;
}

void THexEditor::SetBytesPerColumn(int value) {
  if (2 * value == FNibblesPerColumn) return;
  FNibblesPerColumn = 2 * value;
  UpdateColumnWidths();
  InvalidateGrid();
}

void THexEditor::SetTranslation(TTranslationType value) {
  if (value == FTranslation) return;
  FTranslation = value;
  InvalidateGrid();
}

void THexEditor::SetOffsetDisplay(TOffsetDisplayStyle value) {
  if (value == FOffsetDisplay) return;
  FOffsetDisplay = value;
  UpdateOffsetWidth();
  InvalidateGrid();
}

void THexEditor::SetOffsetSeparator(char value) {
  if (value == FOffsetSeparator) return;
  FOffsetSeparator = value;
  InvalidateGrid();
}

void THexEditor::SetCaretStyle(TCaretStyle value) {
  if (value == FCaretStyle) return;
  FCaretStyle = value;
  if (Host().Focused()) {
    BuildCaret();
    Host().SetCaretPos(-50, -50);
    Host().ShowCaret();
    InvalidateGrid();
  }
}

void THexEditor::SetFocusFrame(bool value) {
  if (value == FFocusFrame) return;
  FFocusFrame = value;
  InvalidateGrid();
}

void THexEditor::SetSwapNibbles(bool value) {
  if (value == FSwapNibbles) return;
  FSwapNibbles = value;
  InvalidateGrid();
}

void THexEditor::SetMaskWhiteSpaces(bool value) {
  if (value == FMaskWhiteSpaces) return;
  FMaskWhiteSpaces = value;
  InvalidateGrid();
}

void THexEditor::SetMaskChar(char value) {
  if (value == FMaskChar) return;
  FMaskChar = value;
  InvalidateGrid();
}

void THexEditor::SetShowMarkerColumn(bool value) {
  if (value == FShowMarkerColumn) return;
  FShowMarkerColumn = value;
  UpdateColumnWidths();
}

// ---------------------------------------------------------------------------
// Notification, selection and caret
// ---------------------------------------------------------------------------

void THexEditor::PostStateChange() {
  if (Host().HandleAllocated()) Host().PostMessage(WM_STATECHANGED, kStateChangedParam, kStateChangedParam);
}

void THexEditor::HandleMessage(uint32_t msg, intptr_t wParam, intptr_t lParam) {
  if (msg == WM_STATECHANGED) {
    if (wParam == kStateChangedParam && OnStateChanged) OnStateChanged(*this);
    JournalCaret();
    return;
  }
  TCustomGrid::HandleMessage(msg, wParam, lParam);
}

void THexEditor::ResetSelection(bool repaint) {
  FMouseSelecting = false;
  const int64_t oldMin = FSelMin, oldMax = FSelMax;
  FSelMin = FSelAnchor = FSelMax = -1;
  if (repaint) InvalidateRange(oldMin, oldMax);
  PostStateChange();
}

void THexEditor::InvalidateRange(int64_t a, int64_t b) {
  if (a < 0 || b < 0) return;
  if (FLaneMap) {
    a = FLaneMap->LaneOf(a);
    b = FLaneMap->LaneOf(b);
  }
  const TRect box = BoxRect(2, a / FBytesPerLine, ColCount() - 1, b / FBytesPerLine);
  if (!box.IsEmpty()) Host().InvalidateRect(box);
}

void THexEditor::BuildCaret() {
  Host().DestroyCaret();
  TCaretShape shape;
  shape.Width = FCharWidth;
  shape.Height = FRowHeight - 2;
  shape.FillColor = FColors->CursorFrame() ^ 0xFFFFFF;
  switch (FCaretStyle) {
    case TCaretStyle::csFull:
      shape.Fill = TRect{0, 0, shape.Width, shape.Height};
      break;
    case TCaretStyle::csLeftLine:
      shape.Fill = TRect{0, 0, 2, shape.Height};
      break;
    case TCaretStyle::csBottomLine:
      shape.Fill = TRect{0, FRowHeight - 4, shape.Width, shape.Height};
      break;
  }
  Host().CreateCaret(shape);
}

// ---------------------------------------------------------------------------
// Character translation
// ---------------------------------------------------------------------------

uint8_t THexEditor::FileByteToChar(uint8_t b) const {
  return byteloom::FileByteToChar(FTranslation, FMaskWhiteSpaces, static_cast<uint8_t>(FMaskChar), b);
}

uint8_t THexEditor::CharToFileByte(uint8_t c) const { return byteloom::CharToFileByte(FTranslation, c); }

}  // namespace byteloom
