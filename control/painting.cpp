// SPDX-License-Identifier: GPL-3.0-or-later
// Painting: what each cell of the hex editor shows and in which colours, the
// frame around the caret's twin cell, and the caret's place while painting.
#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>

#include "control/canvas.h"
#include "control/hexeditor.h"

namespace byteloom {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// a * b / c rounded to the nearest whole number, halves away from zero.
int MulDiv(int a, int b, int c) {
  const int64_t n = static_cast<int64_t>(a) * b;
  const int64_t q = (n >= 0 ? n + c / 2 : n - c / 2) / c;
  return static_cast<int>(q);
}

}  // namespace

int DivRoundHalfEven(int value, int divisor) {
  int q = value / divisor;
  int r = value % divisor;
  if (r < 0) {
    --q;
    r += divisor;
  }
  if (2 * r > divisor || (2 * r == divisor && q % 2 != 0)) ++q;
  return q;
}

int FontSizeFromHeight(int height) { return MulDiv(height < 0 ? -height : height, 72, 96); }

int FontHeightFromSize(int size) { return -MulDiv(size, 96, 72); }

void THexEditor::PaintCellText(const std::string& text, TColor textColor, TColor background, const TRect& rect) {
  TCanvas& canvas = Canvas();
  canvas.SetTextColor(textColor);
  canvas.SetBrushColor(background);
  canvas.TextRectOpaque(rect, rect.Left, rect.Top, text);
}

void THexEditor::SetDifferenceMarks(TDifferenceMarks marks) {
  FDifferenceMarks = std::move(marks);
  FDifferencePaint = 0;
  InvalidateGrid();
}

uint8_t THexEditor::CellMark(int64_t row, int64_t index) {
  if (!FDifferenceMarks) return 0;
  if (FDifferencePaint != PaintCount() || FDifferenceRowIndex != row) {
    FDifferenceRow.assign(static_cast<size_t>(FBytesPerLine), 0);
    FDifferenceMarks(int64_t{row} * FBytesPerLine, FBytesPerLine, FDifferenceRow.data());
    FDifferencePaint = PaintCount();
    FDifferenceRowIndex = row;
  }
  return index >= 0 && index < FBytesPerLine ? FDifferenceRow[static_cast<size_t>(index)] : 0;
}

void THexEditor::DrawCell(int col, int64_t row, const TRect& rect) {
  TGridHost& host = Host();
  const TColor fontColor = host.ColorToRGB(Font().Color);
  const TColor background = host.ColorToRGB(FColors->Background());
  const int64_t size = DataSize();

  // An empty document: one row of blanks after the offset "0".
  if (row == 0 && size <= 0 && !(FLaneMap && FLaneMap->Lanes() > 0)) {
    std::string text = "   ";
    if (col == 0) {
      if (FOffsetDisplay == TOffsetDisplayStyle::odHex)
        text = std::string("0x0") + FOffsetSeparator;
      else if (FOffsetDisplay == TOffsetDisplayStyle::odDec)
        text = std::string("0") + FOffsetSeparator;
    }
    PaintCellText(text, host.ColorToRGB(FColors->Offset()), background, rect);
    if (col == 2) host.SetCaretPos(rect.Left, rect.Top);
    return;
  }

  const int h = FHexCells;
  const int index = col > h + 2 ? col - (h + 3) : (col - 2) / 2;  // of the byte cell in its row
  const auto markColor = [&](uint8_t mark) {
    return host.ColorToRGB(mark == kOneSided ? FColors->Gap() : mark != 0 ? FColors->Difference() : FColors->Background());
  };
  // A row the view shows beyond the document's own, facing another view's
  // rows: blank cells, in the difference colour where they differ.
  if (row < 0 || row >= RowCount()) {
    const bool byte = col >= 2 && col != h + 2;
    PaintCellText(" ", fontColor, byte ? markColor(CellMark(row, index)) : background, rect);
    return;
  }
  // The row's first byte (along a lane, the first one at or after it).
  bool gapStart = false;
  int64_t rowStart = int64_t{row} * FBytesPerLine;
  if (FLaneMap) rowStart = FLaneMap->PosAt(rowStart, gapStart);
  const bool noBytes = FLaneMap && (rowStart >= size || FLaneMap->LaneOf(rowStart) >= (row + 1) * int64_t{FBytesPerLine});

  if (col == 0) {
    char buf[48];
    switch (noBytes ? TOffsetDisplayStyle::odNone : FOffsetDisplay) {
      case TOffsetDisplayStyle::odHex:
        std::snprintf(buf, sizeof buf, "0x%0*llX%c", std::max(FOffsetChars - 3, 0), static_cast<unsigned long long>(AddressOf(rowStart)),
                      FOffsetSeparator);
        break;
      case TOffsetDisplayStyle::odDec:
        std::snprintf(buf, sizeof buf, "%0*llu%c", std::max(FOffsetChars - 1, 0), static_cast<unsigned long long>(AddressOf(rowStart)),
                      FOffsetSeparator);
        break;
      case TOffsetDisplayStyle::odNone:
        buf[0] = ' ';
        buf[1] = 0;
        break;
    }
    PaintCellText(buf, host.ColorToRGB(FColors->Offset()), background, rect);
    return;
  }

  if (col == 1) {
    const int marker = MarkerAtRow(row);
    if (marker >= 0) {
      TCanvas& canvas = Canvas();
      const TFont saved = canvas.Font();
      TFont small = saved;
      small.Name = "Arial";
      const int current = saved.Height != 0 ? FontSizeFromHeight(saved.Height) : saved.Size;
      small.Size = DivRoundHalfEven(3 * current, 4);
      small.Height = FontHeightFromSize(small.Size);
      canvas.SetFont(small);
      PaintCellText(std::string(1, static_cast<char>('0' + marker)), host.ColorToRGB(FColors->PositionText()),
                    host.ColorToRGB(FColors->PositionBackground()), rect);
      TFont restored = canvas.Font();
      restored.Name = saved.Name;
      restored.Size = saved.Size;
      restored.Height = saved.Height;
      canvas.SetFont(restored);
    } else {
      PaintCellText(" ", fontColor, background, rect);
    }
    return;
  }

  if (col == h + 2) {
    PaintCellText(" ", fontColor, background, rect);
    return;
  }

  FillCache(rowStart);
  const int64_t pos = GetPosAtCell(col, row);
  const uint8_t mark = CellMark(row, index);
  const bool differs = mark != 0;
  const TColor differenceColor = markColor(mark);
  if (pos >= DataSize() || FCellGap) {
    PaintCellText(" ", fontColor, differenceColor, rect);
    return;
  }
  const uint8_t byte = ReadCache()[pos - CacheStart()];
  const bool inChar = FInCharField;
  const bool oddGroup = !inChar && ((col - 2) / FNibblesPerColumn) % 2 != 0;
  char ch;
  const bool known = ByteKnown(pos);
  if (!known) {
    ch = '?';
  } else if (inChar) {
    ch = static_cast<char>(FileByteToChar(byte));
  } else {
    const int k = (col - 2) % 2;
    ch = kHexDigits[k == (FSwapNibbles ? 1 : 0) ? byte >> 4 : byte & 0x0F];
  }

  const bool changed = ByteChanged(pos);
  TColor textColor, backColor;
  if (changed) {
    textColor = host.ColorToRGB(FColors->ChangedText());
    backColor = differs ? differenceColor : host.ColorToRGB(FColors->ChangedBackground());
  } else if (!known) {
    textColor = host.ColorToRGB(clGray);
    backColor = differenceColor;
  } else if (inChar) {
    textColor = fontColor;
    backColor = differenceColor;
  } else {
    textColor = host.ColorToRGB(oddGroup ? FColors->EvenColumn() : FColors->OddColumn());
    backColor = differenceColor;
  }
  if (FSelAnchor != -1 && IsSelected(pos)) {
    std::swap(textColor, backColor);
    if (!changed && !inChar)
      textColor = host.ColorToRGB(oddGroup ? FColors->InvEvenColumn() : FColors->InvOddColumn());
  }
  PaintCellText(std::string(1, ch), textColor, backColor, rect);

  // The caret on its cell, the frame on the twin cell in the other field.
  if (row != Row() || !host.Focused()) return;
  if (col == Col()) {
    host.SetCaretPos(rect.Left, rect.Top);
    return;
  }
  bool twinInChar = false;
  if (col == GetOtherFieldCol(Col(), twinInChar)) {
    const TRect frame{rect.Left, rect.Top, rect.Left + FCharWidth, rect.Bottom};
    TCanvas& canvas = Canvas();
    if (FFocusFrame) {
      canvas.DrawFocusRect(frame);
    } else {
      canvas.SetPenColor(host.ColorToRGB(FColors->CursorFrame()));
      canvas.FrameRect(frame);
    }
  }
}

}  // namespace byteloom
