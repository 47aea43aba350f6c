// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping the frame reachable: a frame whose stored position would put its
// title bar off every screen is brought back onto one.
#pragma once

#include <vector>

namespace byteloom {

struct TFrameRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool operator==(const TFrameRect&) const = default;
};

// frame: the outer rectangle (title bar included); screens: the available
// areas of the screens, the primary first. A frame whose top strip (the
// title bar) lies on a screen with at least minVisible pixels of its width
// stays where it is; any other goes onto the screen it overlaps most (else
// the primary), shrunk to fit it where it is larger.
TFrameRect BringOntoScreen(const TFrameRect& frame, const std::vector<TFrameRect>& screens, int minVisible = 64);

}  // namespace byteloom
