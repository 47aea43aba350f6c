// SPDX-License-Identifier: GPL-3.0-or-later
// A window-less host for benchmarks: a 1920×1080 client, 8×13 pixel text.
#pragma once

#include "control/hexeditor.h"

namespace byteloom::bench {

class TBenchHost : public TGridHost {
 public:
  bool HandleAllocated() const override { return false; }
  bool Focused() const override { return false; }
  void Invalidate() override {}
  void InvalidateRect(const TRect&) override {}
  void Repaint() override {}
  void PostMessage(uint32_t, intptr_t, intptr_t) override {}
  void CursorChanged(TCursor) override {}
  int TextWidth(const TFont&, const std::string& text) override { return 8 * static_cast<int>(text.size()); }
  int TextHeight(const TFont&, const std::string&) override { return 13; }
  void LockUpdate(bool) override {}
  void CreateCaret(const TCaretShape&) override {}
  void DestroyCaret() override {}
  void SetCaretPos(int, int) override {}
  void ShowCaret() override {}
  void HideCaret() override {}
  void ScrollStateChanged() override {}
  TColor ColorToRGB(TColor c) const override { return IsSystemColor(c) ? 0xFFFFFF : c; }
};

}  // namespace byteloom::bench
