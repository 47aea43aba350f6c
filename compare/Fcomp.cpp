#include "compare/Fcomp.h"

namespace byteloom {

TFcompare::TFcompare(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Fcompare"));
  setWindowTitle(QStringLiteral("Compare"));
  setFixedSize(526, 318);
}

}  // namespace byteloom
