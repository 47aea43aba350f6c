#include "output/hexexp.h"

namespace byteloom {

THexExport::THexExport(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HexExport"));
  setWindowTitle(QStringLiteral("HexExport"));
  setFixedSize(360, 220);
}

}  // namespace byteloom
