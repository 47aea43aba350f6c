// SPDX-License-Identifier: GPL-3.0-or-later
// Byteloom's pictures, painted at start: the logo of the empty client area,
// the thirteen toolbar images and the program icon.
#pragma once

#include <QIcon>
#include <QPixmap>

#include <array>

namespace byteloom {

// 390 x 200 pixels, drawn for the given device pixel ratio.
QPixmap LogoPixmap(qreal devicePixelRatio = 1.0);
// Toolbar images 0..12: New, Open, Save, Print, Cut, Copy, Paste, Undo,
// Search, Search again, Help, Compare again, Compare + Compare o'meter.
std::array<QIcon, 13> ToolbarImages();
// Two pages side by side, differences marked: "Compare side by side".
QIcon SideBySideImage();
// A camera: "Take snapshot" of a running program's memory.
QIcon SnapshotImage();
QIcon ProgramIcon();

}  // namespace byteloom
