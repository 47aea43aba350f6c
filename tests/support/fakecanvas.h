// SPDX-License-Identifier: GPL-3.0-or-later
// A canvas that records every drawing call, for tests of what the control
// paints: each opaque text with its colours and font, fills, frames, focus
// rectangles and lines.
#pragma once

#include <string>
#include <vector>

#include "control/canvas.h"

namespace byteloom::test {

struct TCanvasOp {
  enum Kind { Text, Fill, Frame, Focus, Line } What;
  TRect Rect;            // the cell or filled rectangle; for a line its two ends
  std::string Str;       // Text: the text
  TPoint At;             // Text: where the text starts
  TColor TextColor = 0;  // Text: the font colour
  TColor Color = 0;      // Text, Fill: the brush colour; Frame, Line: the pen colour
  TFont Font;            // Text: the font in use
};

class TFakeCanvas : public TCanvas {
 public:
  std::vector<TCanvasOp> Ops;

  void SetFont(const TFont& font) override { FFont = font; }
  const TFont& Font() const override { return FFont; }
  void SetTextColor(TColor c) override { FFont.Color = c; }
  void SetBrushColor(TColor c) override { FBrush = c; }
  void SetPenColor(TColor c) override { FPen = c; }
  void TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) override;
  void FillRect(const TRect& rect) override;
  void FrameRect(const TRect& rect) override;
  void DrawFocusRect(const TRect& rect) override;
  void Line(int x1, int y1, int x2, int y2) override;

  // The ops of one kind, in drawing order.
  std::vector<TCanvasOp> OfKind(TCanvasOp::Kind kind) const;
  // The last text drawn into exactly this rectangle, or nullptr.
  const TCanvasOp* TextAt(const TRect& rect) const;

 private:
  TFont FFont;
  TColor FBrush = 0;
  TColor FPen = 0;
};

}  // namespace byteloom::test
