// SPDX-License-Identifier: GPL-3.0-or-later
// Where windows open: the screens' areas for the placement rules, and the
// watch that puts every window that opens (a dialog, a tool window, a
// message) inside the screen that holds the frame.
#pragma once

#include <QRect>

#include <vector>

#include "shell/placement.h"

class QWidget;

namespace byteloom {

TFrameRect ToFrameRect(const QRect& r);
// The available areas of the screens, the primary first.
std::vector<TFrameRect> ScreenAreas();
// From now on every window of the program but frame opens by PlaceWindow.
void PlaceWindowsBy(QWidget* frame);

}  // namespace byteloom
