// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/placement.h"

#include <algorithm>

namespace byteloom {

namespace {

// The width of the overlap of [a, a+aw) and [b, b+bw).
int Overlap(int a, int aw, int b, int bw) { return std::max(0, std::min(a + aw, b + bw) - std::max(a, b)); }

long OverlapArea(const TFrameRect& a, const TFrameRect& b) {
  return static_cast<long>(Overlap(a.Left, a.Width, b.Left, b.Width)) * Overlap(a.Top, a.Height, b.Top, b.Height);
}

// rect inside screen, shrunk where larger, moved no further than needed.
TFrameRect Inside(const TFrameRect& rect, const TFrameRect& screen) {
  TFrameRect placed = rect;
  placed.Width = std::min(rect.Width, screen.Width);
  placed.Height = std::min(rect.Height, screen.Height);
  placed.Left = std::clamp(rect.Left, screen.Left, screen.Left + screen.Width - placed.Width);
  placed.Top = std::clamp(rect.Top, screen.Top, screen.Top + screen.Height - placed.Height);
  return placed;
}

}  // namespace

const TFrameRect* ScreenHolding(const TFrameRect& rect, const std::vector<TFrameRect>& screens) {
  if (screens.empty()) return nullptr;
  const TFrameRect* best = &screens.front();
  long bestArea = 0;
  for (const TFrameRect& s : screens) {
    if (OverlapArea(rect, s) > bestArea) {
      bestArea = OverlapArea(rect, s);
      best = &s;
    }
  }
  return best;
}

TFrameRect BringOntoScreen(const TFrameRect& frame, const std::vector<TFrameRect>& screens, int minVisible) {
  for (const TFrameRect& s : screens) {
    const bool titleOnScreen = frame.Top >= s.Top && frame.Top < s.Top + s.Height;
    if (titleOnScreen && Overlap(frame.Left, frame.Width, s.Left, s.Width) >= std::min(minVisible, frame.Width))
      return frame;
  }
  const TFrameRect* screen = ScreenHolding(frame, screens);
  return screen ? Inside(frame, *screen) : frame;
}

TFrameRect PlaceWindow(const TFrameRect& window, bool placed, const TFrameRect& frame,
                       const std::vector<TFrameRect>& screens) {
  TFrameRect wanted = window;
  if (!placed) {
    wanted.Left = frame.Left + (frame.Width - window.Width) / 2;
    wanted.Top = frame.Top + (frame.Height - window.Height) / 2;
  }
  const TFrameRect* screen = ScreenHolding(frame, screens);
  return screen ? Inside(wanted, *screen) : wanted;
}

}  // namespace byteloom
