// TDruckerForm: printing a range of the document as a hex dump, with a preview.
#pragma once

#include <QDialog>

namespace byteloom {

class TDruckerForm : public QDialog {
 public:
  explicit TDruckerForm(QWidget* parent = nullptr);
};

}  // namespace byteloom
