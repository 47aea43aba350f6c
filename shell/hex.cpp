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
  // Only the name: a display name would be appended to the title of every
  // dialog and message box ("Preferences — Byteloom").
  QApplication::setApplicationName(QStringLiteral("Byteloom"));
  QApplication::setWindowIcon(byteloom::ProgramIcon());
  byteloom::CreateForms(QApplication::arguments().mid(1));
  byteloom::Forms().Mainform->show();
  const int result = QApplication::exec();
  byteloom::DestroyForms();
  return result;
}
