// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/valuepanel.h"

#include <QLabel>

#include <algorithm>

#include "platform/numconv.h"
#include "ui/uibuild.h"

namespace byteloom {

namespace {

struct TBoxPlace {
  TValueBox Box;
  const char* LabelText;
  const char* ObjectName;
  int Column;  // 0..3
  int Row;     // 0..2
};

constexpr TBoxPlace kPlaces[] = {
    {TValueBox::vbLength, "Length:", "Length", 0, 0},
    {TValueBox::vbAddressDec, "Adress (dez):", "AdressDez", 0, 1},
    {TValueBox::vbAddressHex, "Adress (hex):", "AdressHex", 0, 2},
    {TValueBox::vbDecHex, "Dez/Hex:", "DezHex", 1, 0},
    {TValueBox::vbSelStart, "Sel. Start:", "SelStart", 1, 1},
    {TValueBox::vbSelEnd, "Sel. End:", "SelEnd", 1, 2},
    {TValueBox::vbUnsigned8, "8Bit unsig.:", "Unsigned8", 2, 0},
    {TValueBox::vbSigned8, "8Bit sig.:", "Signed8", 2, 1},
    {TValueBox::vbBinary8, "8Bit Binary:", "Binary8", 2, 2},
    {TValueBox::vbUnsigned16, "16Bit unsig.:", "Unsigned16", 3, 0},
    {TValueBox::vbSigned16, "16Bit sig.:", "Signed16", 3, 1},
    {TValueBox::vbSigned32, "32Bit sig.:", "Signed32", 3, 2},
};

constexpr int kRowTops[] = {3, 23, 44};
constexpr int kBoxHeight = 14;
constexpr int kGap = 4;         // between a label and its box
constexpr int kColumnGap = 10;  // between a box and the next column's labels

}  // namespace

TValueInfoPanel::TValueInfoPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Value_Info_Panel"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setFixedHeight(62);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  QFont digits = small;
  digits.setPixelSize(10);
  for (const TBoxPlace& place : kPlaces) {
    const auto index = static_cast<size_t>(place.Box);
    auto* label = new QLabel(QString::fromLatin1(place.LabelText), this);
    label->setObjectName(QStringLiteral("Label_") + QLatin1String(place.ObjectName));
    const bool selection = place.Box == TValueBox::vbSelStart || place.Box == TValueBox::vbSelEnd;
    label->setAlignment((selection ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    FLabels[index] = label;

    auto* box = new QLabel(QStringLiteral("-"), this);
    box->setObjectName(QStringLiteral("Value_") + QLatin1String(place.ObjectName));
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(1);
    box->setAlignment(Qt::AlignCenter);
    box->setContentsMargins(2, 0, 2, 0);  // a little air beside the widest value
    box->setFont(digits);
    FBoxes[index] = box;
  }
  // Each column as wide as its longest label and its widest value, so that
  // no value is ever cut, whatever the font and the scale.
  int left = 2;
  for (int column = 0; column < 4; ++column) {
    int labelWidth = 0, boxWidth = 0;
    for (const TBoxPlace& place : kPlaces) {
      if (place.Column != column) continue;
      labelWidth = std::max(labelWidth, uibuild::WidthForText(Label(place.Box), Label(place.Box)->text()));
      const QString widest = QString::fromLatin1(WidestValueText(place.Box));
      boxWidth = std::max(boxWidth, uibuild::WidthForText(Box(place.Box), widest));
    }
    const int boxLeft = left + labelWidth + kGap;
    for (const TBoxPlace& place : kPlaces) {
      if (place.Column != column) continue;
      Label(place.Box)->setGeometry(left, kRowTops[place.Row], boxLeft - kGap - left, kBoxHeight);
      Box(place.Box)->setGeometry(boxLeft, kRowTops[place.Row], boxWidth, kBoxHeight);
    }
    left = boxLeft + boxWidth + kColumnGap;
  }
  setMinimumWidth(left - kColumnGap + kGap + lineWidth());
}

QString TValueInfoPanel::Caption(TValueBox box) const { return Box(box)->text(); }

void TValueInfoPanel::SetCaption(TValueBox box, const QString& text) { Box(box)->setText(text); }

}  // namespace byteloom
