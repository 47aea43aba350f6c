// TFcompare: the file comparison dialog.
#pragma once

#include <QDialog>

namespace byteloom {

class TFcompare : public QDialog {
 public:
  explicit TFcompare(QWidget* parent = nullptr);
};

}  // namespace byteloom
