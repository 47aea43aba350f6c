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
  // window (not modal).
  void DrawCompareMeter(const TMeterBuckets& buckets);
  // The bar picture, 20 x 198 pixels.
  const QImage& Picture() const { return FPicture; }

  QFrame* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPushButton* BitBtn1 = nullptr;

 private:
  QImage FPicture;
};

}  // namespace byteloom
