// SPDX-License-Identifier: GPL-3.0-or-later
// The value info panel under an editor window's control: twelve labels and
// twelve small sunken value boxes in three rows and four columns, and below
// them the typed values that start at the caret (u8 ... f64, little and big
// endian) in read-only boxes, each one selectable and copyable.
#pragma once

#include <QFrame>

#include <array>

#include "editor/valueinfo.h"

class QLabel;
class QLineEdit;

namespace byteloom {

class TValueInfoPanel : public QFrame {
 public:
  explicit TValueInfoPanel(QWidget* parent = nullptr);

  QLabel* Box(TValueBox box) const { return FBoxes[static_cast<size_t>(box)]; }
  QLabel* Label(TValueBox box) const { return FLabels[static_cast<size_t>(box)]; }
  QString Caption(TValueBox box) const;
  void SetCaption(TValueBox box, const QString& text);
  // The box of a typed value (object name "Value_u16_le" and so on).
  QLineEdit* TypedBox(const TValueFormat& format) const;
  void SetTypedValue(const TValueFormat& format, const QString& text);
  // A running program's memory: the address boxes widen to fit its addresses.
  void ShowAddresses(bool on);

 private:
  // Lays out the typed values from top on; the right edge they reach.
  int PlaceTypedValues(int top);
  // The boxes in their four columns, each as wide as its widest value.
  void PlaceBoxes();
  bool FAddresses = false;
  int FTypedWidth = 0;

  std::array<QLabel*, kValueBoxCount> FBoxes{};
  std::array<QLabel*, kValueBoxCount> FLabels{};
  std::array<std::array<QLineEdit*, 2>, kValueTypeCount> FTypedBoxes{};  // [type][order]
};

}  // namespace byteloom
