// Byteloom: program start.
//   byteloom [FILE [OFFSET]]
// opens FILE in an editor window and puts its caret at OFFSET (decimal,
// "$1F" or "0x1F").
#include <QApplication>

#include "shell/appforms.h"
#include "shell/artwork.h"
#include "shell/mainform.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Byteloom"));
  QApplication::setApplicationDisplayName(QStringLiteral("Byteloom"));
  QApplication::setWindowIcon(byteloom::ProgramIcon());
  byteloom::CreateForms(QApplication::arguments().mid(1));
  byteloom::Forms().Mainform->show();
  const int result = QApplication::exec();
  byteloom::DestroyForms();
  return result;
}
