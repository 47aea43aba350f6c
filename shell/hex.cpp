// Byteloom: program start.
#include <QApplication>

#include "shell/mainform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Byteloom");
  byteloom::TMainform mainform;
  mainform.show();
  return QApplication::exec();
}
