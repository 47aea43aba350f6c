// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/fakecanvas.h"

namespace byteloom::test {

void TFakeCanvas::TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) {
  TCanvasOp op{TCanvasOp::Text, rect, text, TPoint{x, y}, FFont.Color, FBrush, FFont};
  Ops.push_back(op);
}

void TFakeCanvas::FillRect(const TRect& rect) {
  TCanvasOp op{TCanvasOp::Fill, rect, {}, {}, 0, FBrush, {}};
  Ops.push_back(op);
}

void TFakeCanvas::FrameRect(const TRect& rect) {
  TCanvasOp op{TCanvasOp::Frame, rect, {}, {}, 0, FPen, {}};
  Ops.push_back(op);
}

void TFakeCanvas::DrawFocusRect(const TRect& rect) {
  TCanvasOp op{TCanvasOp::Focus, rect, {}, {}, 0, 0, {}};
  Ops.push_back(op);
}

void TFakeCanvas::Line(int x1, int y1, int x2, int y2) {
  TCanvasOp op{TCanvasOp::Line, TRect{x1, y1, x2, y2}, {}, {}, 0, FPen, {}};
  Ops.push_back(op);
}

std::vector<TCanvasOp> TFakeCanvas::OfKind(TCanvasOp::Kind kind) const {
  std::vector<TCanvasOp> out;
  for (const TCanvasOp& op : Ops)
    if (op.What == kind) out.push_back(op);
  return out;
}

const TCanvasOp* TFakeCanvas::TextAt(const TRect& rect) const {
  for (auto it = Ops.rbegin(); it != Ops.rend(); ++it)
    if (it->What == TCanvasOp::Text && it->Rect == rect) return &*it;
  return nullptr;
}

}  // namespace byteloom::test
