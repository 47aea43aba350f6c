#include "shell/mainform.h"

namespace byteloom {

TMainform::TMainform(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Mainform");
  setWindowTitle("Byteloom");
  resize(800, 600);
}

}  // namespace byteloom
