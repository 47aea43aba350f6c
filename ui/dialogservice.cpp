// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogservice.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QPointer>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

#include "platform/store.h"
#include "ui/qtext.h"

namespace byteloom {

QString MsgDlgCaption(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("Warnung");
    case TMsgDlgType::mtError: return QStringLiteral("Fehler");
    case TMsgDlgType::mtInformation: return QStringLiteral("Information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("Bestätigung");
  }
  return {};
}

void ShowWarning(QWidget* owner, const std::string& text) {
  if (!text.empty())
    Dialogs().MessageDlg(owner, QString::fromLocal8Bit(text.c_str()), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

bool AcceptLargeWork(QWidget* owner, bool refused, const std::string& text) {
  if (text.empty()) return true;
  const QString shown = QString::fromLocal8Bit(text.c_str());
  if (refused) {
    Dialogs().ErrorBox(owner, shown);
    return false;
  }
  return Dialogs().MessageDlg(owner, shown, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) ==
         TModalResult::mrYes;
}

QString DisplayText(const QString& text) {
  QString s = text;
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

void TFileDialog::SetFileName(const QString& name) {
  if (name == FFileName) return;
  FFileName = name;
  FPath = ToFileName(name);
  FPaths = {FPath};
}

void TFileDialog::SetPath(const std::string& path) {
  FPath = path;
  FFileName = FromFileName(path);
  FPaths = {FPath};
}

void TFileDialog::SetFileNames(const QStringList& names) {
  if (names.isEmpty()) return;
  FFileName.clear();
  SetFileName(names.first());
  FPaths.clear();
  for (const QString& name : names) FPaths.push_back(ToFileName(name));
}

bool TFileDialog::Execute(QWidget* owner) { return Dialogs().ExecuteFileDialog(owner, *this); }

QString TFileDialog::QtNameFilters() const {
  // "All Files (*.*)|*.*|Text Files|*.txt" -> "All Files (*.*) (*)" ";;" "Text Files (*.txt)"
  const QStringList parts = FFilter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) {
      p = p.trimmed();
      if (p == QLatin1String("*.*")) p = QStringLiteral("*");
    }
    filters << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")");
  }
  return filters.join(QStringLiteral(";;"));
}

namespace {

// While a modal dialog runs, and after it: the keyboard goes back to the
// widget that had it before (the editor's control, as a rule). Without a
// window manager, and with some, the window below a closed dialog does not
// get the keyboard back by itself, and keys typed next would go nowhere.
class TKeyboardBack {
 public:
  explicit TKeyboardBack(QWidget* owner = nullptr)
      : FWidget(QApplication::focusWidget()), FWindow(owner ? owner->window() : QApplication::activeWindow()) {
    if (FWidget) FWindow = FWidget->window();
  }
  ~TKeyboardBack() {
    QWidget* window = FWindow.data();
    if (!window || !window->isVisible()) return;
    window->activateWindow();
    QWidget* widget = FWidget ? FWidget.data() : window->focusWidget();
    if (widget && widget->isVisible()) widget->setFocus(Qt::ActiveWindowFocusReason);
  }
  TKeyboardBack(const TKeyboardBack&) = delete;
  TKeyboardBack& operator=(const TKeyboardBack&) = delete;

 private:
  QPointer<QWidget> FWidget;
  QPointer<QWidget> FWindow;
};

// The window a box is shown over, and centred on: the owner's window (else
// the active one) once the window system shows it. A window that is not on
// screen yet (the frame while it is being shown at start) has no place to
// centre on: the box then goes to the middle of the screen.
QWidget* BoxParent(QWidget* owner) {
  QWidget* window = owner ? owner->window() : QApplication::activeWindow();
  if (!window || !window->isVisible() || !window->windowHandle() || !window->windowHandle()->isExposed())
    return nullptr;
  return window;
}

class TQtDialogService final : public TDialogService {
 public:
  TModalResult MessageDlg(QWidget* owner, const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override {
    const TKeyboardBack back(owner);
    QMessageBox box(BoxParent(owner));
    box.setWindowTitle(MsgDlgCaption(type));
    box.setText(DisplayText(text));
    switch (type) {
      case TMsgDlgType::mtWarning: box.setIcon(QMessageBox::Warning); break;
      case TMsgDlgType::mtError: box.setIcon(QMessageBox::Critical); break;
      case TMsgDlgType::mtInformation: box.setIcon(QMessageBox::Information); break;
      case TMsgDlgType::mtConfirmation: box.setIcon(QMessageBox::Question); break;
    }
    if (buttons == TMsgDlgButtons::mbOK) {
      box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
      box.exec();
      return TModalResult::mrOk;
    }
    QPushButton* yes = box.addButton(QStringLiteral("&Ja"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Nein"), QMessageBox::NoRole);
    QPushButton* cancel = buttons == TMsgDlgButtons::mbYesNoCancel
                              ? box.addButton(QStringLiteral("Abbrechen"), QMessageBox::RejectRole)
                              : no;
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes) return TModalResult::mrYes;
    if (box.clickedButton() == no) return TModalResult::mrNo;
    return TModalResult::mrCancel;
  }

  void ErrorBox(QWidget* owner, const QString& text) override {
    const TKeyboardBack back(owner);
    QMessageBox box(BoxParent(owner));
    box.setWindowTitle(QStringLiteral("Fehler"));
    box.setIcon(QMessageBox::Critical);
    box.setText(DisplayText(text));
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  }

  void ShowMessage(QWidget* owner, const QString& text) override {
    const TKeyboardBack back(owner);
    QMessageBox box(BoxParent(owner));
    box.setWindowTitle(QApplication::applicationName());
    box.setText(DisplayText(text));
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  }

  bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) override {
    const TKeyboardBack back(owner);
    QInputDialog dialog(BoxParent(owner));
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
    if (dialog.exec() != QDialog::Accepted) return false;
    value = dialog.textValue();
    return true;
  }

  bool ExecuteFileDialog(QWidget* owner, TFileDialog& dialog) override {
    const TKeyboardBack back(owner);
    const QString filters = dialog.QtNameFilters();
    QString name;
    if (dialog.Kind() == TFileDialog::TKind::fdOpen && dialog.MultiSelect()) {
      const QStringList names = QFileDialog::getOpenFileNames(owner, QString(), dialog.FileName(), filters);
      dialog.SetFileNames(names);
      return !names.isEmpty();
    }
    if (dialog.Kind() == TFileDialog::TKind::fdOpen)
      name = QFileDialog::getOpenFileName(owner, QString(), dialog.FileName(), filters);
    else
      name = QFileDialog::getSaveFileName(owner, QString(), dialog.FileName(), filters);
    if (name.isEmpty()) return false;
    dialog.SetFileName(name);
    return true;
  }

  TModalResult ShowModal(QDialog& form) override {
    const TKeyboardBack back(form.parentWidget());
    return form.exec() == QDialog::Accepted ? TModalResult::mrOk : TModalResult::mrCancel;
  }

  void ShowException(const QString& message) override {
    const TKeyboardBack back;
    QMessageBox box(BoxParent(nullptr));
    box.setWindowTitle(QApplication::applicationName());
    box.setIcon(QMessageBox::Critical);
    box.setText(DisplayText(message));
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
  }
};

TQtDialogService& QtService() {
  static TQtDialogService service;
  return service;
}

TDialogService* g_service = nullptr;

}  // namespace

TDialogService& Dialogs() { return g_service ? *g_service : QtService(); }

void SetDialogService(TDialogService* service) { g_service = service; }

// Uncaught errors of every command are shown by the service in use.
static const bool kErrorSinkInstalled = [] {
  SetErrorSink([](const std::string& message) { Dialogs().ShowException(QString::fromLocal8Bit(message.c_str())); });
  return true;
}();

// A store that cannot be used (settings, kept bookmarks, backup records) is
// reported once per run, as a warning shown when the command that came upon
// it is over (it may be found in the middle of a save or of opening a file).
static const bool kStoreSinkInstalled = [] {
  SetStoreProblemSink([](const std::string& message) {
    const QString text = QString::fromLocal8Bit(message.c_str());
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QTimer::singleShot(0, app, [text] {
      Guarded([&] { Dialogs().MessageDlg(nullptr, text, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK); });
    });
  });
  return true;
}();

}  // namespace byteloom
