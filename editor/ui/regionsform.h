// SPDX-License-Identifier: GPL-3.0-or-later
// The regions window of a running program's window (Tools > Memory
// regions...): the regions the window shows, with name, range, size and
// permissions; a click on one puts the caret on its first byte.
#pragma once

#include <QWidget>

class QTableWidget;

namespace byteloom {

class Teditform;
class TRegionLayout;

class TRegionsForm final : public QWidget {
 public:
  explicit TRegionsForm(Teditform& owner);
  // Shows the window in front, the region under the caret chosen.
  void ShowRegions();
  // The program's window shows other regions now.
  void Fill(const TRegionLayout& layout);
  void RegionClick(int row);

  QTableWidget* RegionView = nullptr;

 private:
  Teditform& FOwner;
};

}  // namespace byteloom
