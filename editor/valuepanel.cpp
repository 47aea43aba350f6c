#include "editor/valuepanel.h"

#include <QFontMetrics>
#include <QLabel>

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
constexpr int kBoxLefts[] = {80, 208, 344, 488};
constexpr int kBoxWidths[] = {57, 65, 65, 65};
constexpr int kBoxHeight = 14;

}  // namespace

TValueInfoPanel::TValueInfoPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Value_Info_Panel"));
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(1);
  setFixedHeight(62);
  QFont small = font();
  small.setPixelSize(11);
  setFont(small);
  for (const TBoxPlace& place : kPlaces) {
    const auto index = static_cast<size_t>(place.Box);
    const int top = kRowTops[place.Row];
    const int left = kBoxLefts[place.Column];
    const int labelLeft = place.Column == 0 ? 2 : kBoxLefts[place.Column - 1] + kBoxWidths[place.Column - 1] + 4;

    auto* label = new QLabel(QString::fromLatin1(place.LabelText), this);
    label->setObjectName(QStringLiteral("Label_") + QLatin1String(place.ObjectName));
    const bool selection = place.Box == TValueBox::vbSelStart || place.Box == TValueBox::vbSelEnd;
    label->setAlignment((selection ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    label->setGeometry(labelLeft, top, left - 4 - labelLeft, kBoxHeight);
    FLabels[index] = label;

    auto* box = new QLabel(QStringLiteral("-"), this);
    box->setObjectName(QStringLiteral("Value_") + QLatin1String(place.ObjectName));
    box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    box->setLineWidth(1);
    box->setAlignment(Qt::AlignCenter);
    QFont digits = small;
    digits.setPixelSize(10);  // room for "-2147483648"
    box->setFont(digits);
    box->setGeometry(left, top, kBoxWidths[place.Column], kBoxHeight);
    FBoxes[index] = box;
  }
}

QString TValueInfoPanel::Caption(TValueBox box) const { return Box(box)->text(); }

void TValueInfoPanel::SetCaption(TValueBox box, const QString& text) {
  QLabel* label = Box(box);
  // Long numbers ("-2147483648") get a smaller face so that they fit whole.
  QFont face = label->font();
  for (int size = 10; size >= 7; --size) {
    face.setPixelSize(size);
    if (QFontMetrics(face).horizontalAdvance(text) <= label->width() - 4) break;
  }
  label->setFont(face);
  label->setText(text);
}

}  // namespace byteloom
