// TCompareometer: the picture of where two documents differ.
#pragma once

#include <QDialog>

namespace byteloom {

class TCompareometer : public QDialog {
 public:
  explicit TCompareometer(QWidget* parent = nullptr);
};

}  // namespace byteloom
