// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/ui/com_mete.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QtMath>

#include <algorithm>

#include "ui/uibuild.h"

namespace byteloom {

TCompareometer::TCompareometer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Compareometer"));
  setWindowTitle(QStringLiteral("Compare O'meter"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(202, 318);
  move(735, 107);  // until it is shown beside the compare dialog

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

  // The scale: marks at the top, middle and bottom of the bar, with labels
  // as wide as their texts.
  const struct {
    int Y;
    const char* Text;
  } marks[] = {{24, "0%"}, {128, "50%"}, {223, "100%"}};
  int scaleRight = 66;
  for (const auto& mark : marks) {
    auto* label = new QLabel(QLatin1String(mark.Text), this);
    label->setObjectName(QStringLiteral("Scale") + QLatin1String(mark.Text).chopped(1));
    label->setGeometry(36, mark.Y + 2, 30, 14);
    scaleRight = std::max(scaleRight, label->x() + uibuild::FitWidth(label, label->text()));
  }
  for (const auto& mark : marks) {
    auto* line = new QFrame(this);
    line->setGeometry(24, mark.Y, scaleRight - 24, 1);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: black"));
  }

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
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
  // Every line whole: the longest one and the document's margins.
  int memoWidth = 130;
  for (const QString& line : Memo1->toPlainText().split(QLatin1Char('\n')))
    memoWidth = std::max(memoWidth, uibuild::TextAdvance(Memo1, line) + 2 * qCeil(Memo1->document()->documentMargin()));
  Memo1->setGeometry(scaleRight + 4, 24, memoWidth, 200);

  BitBtn1 = new QPushButton(QStringLiteral("&Cancel"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(60, 280, 85, 27);
  connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);

  // Room for the caption in the window's title bar: its text in a bold face
  // and about six title-bar heights for the window system's icon and buttons.
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics title(bold);
  const int titleWidth = title.horizontalAdvance(windowTitle()) + 6 * title.height();
  uibuild::GrowToChildren(this, 2);
  if (width() < titleWidth) setFixedSize(titleWidth, height());
  BitBtn1->move((width() - BitBtn1->width()) / 2, BitBtn1->y());
}

void TCompareometer::DrawCompareMeter(const TMeterBuckets& buckets, QWidget* beside) {
  FPicture.fill(Qt::white);
  {
    QPainter painter(&FPicture);
    const auto red = MeterRedRows(buckets);
    for (int row = 0; row < kMeterRows; ++row)
      if (red[static_cast<size_t>(row)]) painter.fillRect(1, row, 19, 1, QColor(255, 0, 0));
  }
  Image1->setPixmap(QPixmap::fromImage(FPicture));
  ShowBeside(beside);
}

void TCompareometer::ShowBeside(QWidget* beside) {
  const bool besideShown = beside && beside->isVisible();
  if (besideShown)
    move(BesidePosition(beside->frameGeometry(), frameGeometry().size(), beside->screen()->availableGeometry()));
  // Above the window it was called from (a modal dialog keeps its own
  // window's other dialogs below it otherwise), and above the frame when
  // there is none.
  create();
  QWidget* owner = besideShown ? beside->window() : parentWidget() ? parentWidget()->window() : nullptr;
  if (owner && owner->windowHandle()) windowHandle()->setTransientParent(owner->windowHandle());
  show();
  raise();
  activateWindow();
}

QPoint BesidePosition(const QRect& anchor, const QSize& size, const QRect& screen) {
  constexpr int kGap = 8;
  const int top = std::clamp(anchor.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
  if (anchor.right() + kGap + size.width() <= screen.right() + 1) return {anchor.right() + 1 + kGap, top};
  if (anchor.left() - kGap - size.width() >= screen.left()) return {anchor.left() - kGap - size.width(), top};
  // No room beside it: as far right as the screen allows, still in front.
  return {std::max(screen.left(), screen.right() + 1 - size.width()), top};
}

}  // namespace byteloom
