// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/placement.h"

#include <algorithm>

namespace byteloom {

namespace {

// The width of the overlap of [a, a+aw) and [b, b+bw).
int Overlap(int a, int aw, int b, int bw) { return std::max(0, std::min(a + aw, b + bw) - std::max(a, b)); }

}  // namespace

TFrameRect BringOntoScreen(const TFrameRect& frame, const std::vector<TFrameRect>& screens, int minVisible) {
  if (screens.empty()) return frame;
  const TFrameRect* best = &screens.front();
  long bestArea = 0;
  for (const TFrameRect& s : screens) {
    const bool titleOnScreen = frame.Top >= s.Top && frame.Top < s.Top + s.Height;
    const int visible = Overlap(frame.Left, frame.Width, s.Left, s.Width);
    if (titleOnScreen && visible >= std::min(minVisible, frame.Width)) return frame;
    const long area = static_cast<long>(visible) * Overlap(frame.Top, frame.Height, s.Top, s.Height);
    if (area > bestArea) {
      bestArea = area;
      best = &s;
    }
  }
  TFrameRect placed = frame;
  placed.Width = std::min(frame.Width, best->Width);
  placed.Height = std::min(frame.Height, best->Height);
  placed.Left = std::clamp(frame.Left, best->Left, best->Left + best->Width - placed.Width);
  placed.Top = std::clamp(frame.Top, best->Top, best->Top + best->Height - placed.Height);
  return placed;
}

}  // namespace byteloom
