// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/valuepanel.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <span>

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

// The typed values: two blocks, one over the other, each a column per type
// with its name over its little and its big endian value; every column as
// wide as its type's widest value.
constexpr int kTypedTop = 62;        // below the boxes above
constexpr int kTypedRowHeight = 16;  // boxes 15 high
constexpr TValueType kTypedBlock1[] = {TValueType::vtU8,  TValueType::vtI8,  TValueType::vtU16, TValueType::vtI16,
                                       TValueType::vtU32, TValueType::vtI32, TValueType::vtF32};
constexpr TValueType kTypedBlock2[] = {TValueType::vtU64, TValueType::vtI64, TValueType::vtF64};
constexpr const char* kOrderNames[2] = {"le", "be"};
constexpr const char* kOrderCaptions[2] = {"LE:", "BE:"};
constexpr const char* kOrderWords[2] = {"little endian", "big endian"};
constexpr const char* kOrderTips[2] = {": the byte at the caret is the lowest", ": the byte at the caret is the highest"};

}  // namespace

TValueInfoPanel::TValueInfoPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Value_Info_Panel"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
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
  FTypedWidth = PlaceTypedValues(kTypedTop);
  PlaceBoxes();
  setFixedHeight(childrenRect().bottom() + 1 + 3);
}

void TValueInfoPanel::ShowAddresses(bool on) {
  if (on == FAddresses) return;
  FAddresses = on;
  PlaceBoxes();
}

void TValueInfoPanel::PlaceBoxes() {
  // Each column as wide as its longest label and its widest value, so that
  // no value is ever cut, whatever the font and the scale.
  int left = 2;
  for (int column = 0; column < 4; ++column) {
    int labelWidth = 0, boxWidth = 0;
    for (const TBoxPlace& place : kPlaces) {
      if (place.Column != column) continue;
      labelWidth = std::max(labelWidth, uibuild::WidthForText(Label(place.Box), Label(place.Box)->text()));
      const QString widest = QString::fromLatin1(WidestValueText(place.Box, FAddresses));
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
  setMinimumWidth(std::max(left - kColumnGap, FTypedWidth) + kGap + lineWidth());
}

int TValueInfoPanel::PlaceTypedValues(int top) {
  QFont digits = font();
  digits.setPixelSize(10);
  int right = 0;
  for (const auto& block : {std::span<const TValueType>(kTypedBlock1), std::span<const TValueType>(kTypedBlock2)}) {
    int left = 2;
    for (int order = 0; order < 2; ++order) {
      auto* caption = new QLabel(QString::fromLatin1(kOrderCaptions[order]), this);
      caption->setToolTip(QString::fromLatin1(kOrderWords[order]) + QString::fromLatin1(kOrderTips[order]));
      caption->setGeometry(2, top + kBoxHeight + order * kTypedRowHeight, uibuild::WidthForText(caption, caption->text()),
                           kTypedRowHeight - 1);
      left = std::max(left, caption->geometry().right() + 1 + kGap);
    }
    for (const TValueType type : block) {
      const QString name = QLatin1String(ValueTypeName(type));
      auto* label = new QLabel(name, this);
      label->setObjectName(QStringLiteral("Label_") + name);
      label->setAlignment(Qt::AlignCenter);
      int width = 0;
      for (int order = 0; order < 2; ++order) {
        auto* box = new QLineEdit(QStringLiteral("-"), this);
        box->setObjectName(QStringLiteral("Value_%1_%2").arg(name, QLatin1String(kOrderNames[order])));
        box->setReadOnly(true);
        box->setFont(digits);
        box->setAlignment(Qt::AlignCenter);
        box->setToolTip(name + QLatin1Char(' ') + QLatin1String(kOrderWords[order]));
        FTypedBoxes[static_cast<size_t>(type)][static_cast<size_t>(order)] = box;
        width = std::max(width, uibuild::WidthForText(box, QString::fromStdString(WidestValueText(type))));
      }
      label->setGeometry(left, top, width, kBoxHeight);
      for (int order = 0; order < 2; ++order)
        TypedBox({type, static_cast<TByteOrder>(order)})
            ->setGeometry(left, top + kBoxHeight + order * kTypedRowHeight, width, kTypedRowHeight - 1);
      left += width + 2;
    }
    right = std::max(right, left - 2);
    top += kBoxHeight + 2 * kTypedRowHeight + 2;
  }
  return right;
}

QLineEdit* TValueInfoPanel::TypedBox(const TValueFormat& format) const {
  return FTypedBoxes[static_cast<size_t>(format.Type)][format.Order == TByteOrder::boLittle ? 0 : 1];
}

void TValueInfoPanel::SetTypedValue(const TValueFormat& format, const QString& text) {
  QLineEdit* box = TypedBox(format);
  if (box->text() == text) return;  // a selection in it stays while the value does
  box->setText(text);
  box->setCursorPosition(0);
}

QString TValueInfoPanel::Caption(TValueBox box) const { return Box(box)->text(); }

void TValueInfoPanel::SetCaption(TValueBox box, const QString& text) { Box(box)->setText(text); }

}  // namespace byteloom
