#include "compare/com_mete.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

namespace byteloom {

TCompareometer::TCompareometer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Compareometer"));
  setWindowTitle(QStringLiteral("Compare O'meter"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(202, 318);
  move(735, 107);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 24, 22, 200);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setLineWidth(1);
  Panel1->setAutoFillBackground(true);
  Panel1->setPalette(QPalette(Qt::white));
  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(1, 1, 20, kMeterRows);
  FPicture = QImage(20, kMeterRows, QImage::Format_RGB32);
  FPicture.fill(Qt::white);
  Image1->setPixmap(QPixmap::fromImage(FPicture));

  // The scale: marks at the top, middle and bottom of the bar, with labels.
  const struct {
    int Y;
    const char* Text;
  } marks[] = {{24, "0%"}, {128, "50%"}, {223, "100%"}};
  for (const auto& mark : marks) {
    auto* line = new QFrame(this);
    line->setGeometry(24, mark.Y, 42, 1);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: black"));
    auto* label = new QLabel(QLatin1String(mark.Text), this);
    label->setGeometry(36, mark.Y + 2, 30, 14);
  }

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(70, 24, 130, 200);
  QFont small = Memo1->font();
  small.setPixelSize(10);
  Memo1->setFont(small);
  Memo1->setReadOnly(true);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo1->setStyleSheet(QStringLiteral("background: palette(button)"));
  Memo1->setPlainText(QStringLiteral("The\nCompare o'meter\non the left shows \nyou the differences \nin the two files. \n\n"
                                     "As more red you see, as \nhigher the differences in \nthe files."));

  BitBtn1 = new QPushButton(QStringLiteral("&Cancel"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(60, 280, 85, 27);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
}

void TCompareometer::DrawCompareMeter(const TMeterBuckets& buckets) {
  FPicture.fill(Qt::white);
  {
    QPainter painter(&FPicture);
    const auto red = MeterRedRows(buckets);
    for (int row = 0; row < kMeterRows; ++row)
      if (red[static_cast<size_t>(row)]) painter.fillRect(1, row, 19, 1, QColor(255, 0, 0));
  }
  Image1->setPixmap(QPixmap::fromImage(FPicture));
  show();
  raise();
  activateWindow();
}

}  // namespace byteloom
