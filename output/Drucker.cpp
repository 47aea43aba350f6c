#include "output/Drucker.h"

namespace byteloom {

TDruckerForm::TDruckerForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("DruckerForm"));
  setWindowTitle(QStringLiteral("Print & Preview"));
  setFixedSize(420, 330);
}

}  // namespace byteloom
