#include "compare/com_mete.h"

namespace byteloom {

TCompareometer::TCompareometer(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Compareometer"));
  setWindowTitle(QStringLiteral("Compare O'meter"));
  setFixedSize(202, 318);
}

}  // namespace byteloom
