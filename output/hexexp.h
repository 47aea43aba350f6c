// THexExport: exporting a range of the document as a text file of hex values.
#pragma once

#include <QDialog>

namespace byteloom {

class THexExport : public QDialog {
 public:
  explicit THexExport(QWidget* parent = nullptr);
};

}  // namespace byteloom
