#include "shell/fileprop.h"

namespace byteloom {

TFileproperties::TFileproperties(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Fileproperties"));
  setWindowTitle(QStringLiteral("File-Properties:"));
  setFixedSize(315, 315);
}

}  // namespace byteloom
