// SPDX-License-Identifier: GPL-3.0-or-later
// The value info panel under an editor window's control: twelve labels and
// twelve small sunken value boxes in three rows and four columns.
#pragma once

#include <QFrame>

#include <array>

#include "editor/valueinfo.h"

class QLabel;

namespace byteloom {

class TValueInfoPanel : public QFrame {
 public:
  explicit TValueInfoPanel(QWidget* parent = nullptr);

  QLabel* Box(TValueBox box) const { return FBoxes[static_cast<size_t>(box)]; }
  QLabel* Label(TValueBox box) const { return FLabels[static_cast<size_t>(box)]; }
  QString Caption(TValueBox box) const;
  void SetCaption(TValueBox box, const QString& text);

 private:
  std::array<QLabel*, kValueBoxCount> FBoxes{};
  std::array<QLabel*, kValueBoxCount> FLabels{};
};

}  // namespace byteloom
