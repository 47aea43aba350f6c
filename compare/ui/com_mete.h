// SPDX-License-Identifier: GPL-3.0-or-later
// TCompareometer: the picture of where two documents differ. A narrow bar
// stands for the compared length from top (start) to bottom (end); every
// two-hundredth of it in which a byte differs shows a red line.
#pragma once

#include <QDialog>
#include <QImage>

#include "compare/compareengine.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace byteloom {

class TCompareometer : public QDialog {
 public:
  explicit TCompareometer(QWidget* parent = nullptr);

  // Draws the counters of a compare-o-meter run into the bar and shows the
  // window (not modal), beside and in front of the window it is called from.
  void DrawCompareMeter(const TMeterBuckets& buckets, QWidget* beside = nullptr);
  // Shows the window in front of beside (when shown), next to it where the
  // screen has room.
  void ShowBeside(QWidget* beside);
  // The bar picture, 20 x 198 pixels.
  const QImage& Picture() const { return FPicture; }

  QFrame* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* BitBtn1 = nullptr;

 private:
  QImage FPicture;
};

// Where a window of size goes beside anchor (outer rectangles, title bar
// included): right of it, else left of it, else at the screen's right edge;
// at anchor's top, kept on screen.
QPoint BesidePosition(const QRect& anchor, const QSize& size, const QRect& screen);

}  // namespace byteloom
