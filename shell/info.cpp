#include "shell/info.h"

namespace byteloom {

TInfoform::TInfoform(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Infoform"));
  setWindowTitle(QStringLiteral("Info"));
  setFixedSize(327, 254);
}

}  // namespace byteloom
