// SPDX-License-Identifier: GPL-3.0-or-later
// Every question and message the windows show goes through one dialog
// service: message dialogs (warning, error, information, confirmation),
// message boxes, the input box, the open and save dialogs and the modal
// showing of forms. Tests install their own service with scripted answers.
// The guard runs a command and shows the message of any exception it lets
// out, so that nothing ever reaches the event loop.
#pragma once

#include <QString>

#include <string>
#include <vector>
#include <utility>

#include "platform/guard.h"

class QDialog;
class QWidget;

namespace byteloom {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
// The button sets of the message dialogs.
enum class TMsgDlgButtons { mbOK, mbYesNoCancel, mbYesNo };
enum class TModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

// The toolkit's own captions.
QString MsgDlgCaption(TMsgDlgType type);

// An open or save file dialog: a filter of description|pattern pairs and the
// chosen file name, which stays set between uses.
class TFileDialog {
 public:
  enum class TKind { fdOpen, fdSave };
  TFileDialog(QString objectName, TKind kind, QString filter)
      : FObjectName(std::move(objectName)), FKind(kind), FFilter(std::move(filter)) {}

  const QString& ObjectName() const { return FObjectName; }
  TKind Kind() const { return FKind; }
  const QString& Filter() const { return FFilter; }
  // The chosen file as shown, and as the file system names it (bytes, which
  // need not be text in any encoding). Setting one sets the other; setting
  // the name that is shown already keeps the bytes.
  const QString& FileName() const { return FFileName; }
  void SetFileName(const QString& name);
  const std::string& Path() const { return FPath; }
  void SetPath(const std::string& path);
  // An open dialog that lets the user choose several files; Paths() holds
  // them in the order chosen (FileName and Path the first).
  void SetMultiSelect(bool on) { FMultiSelect = on; }
  bool MultiSelect() const { return FMultiSelect; }
  const std::vector<std::string>& Paths() const { return FPaths; }
  void SetFileNames(const QStringList& names);
  // Runs the dialog through the dialog service; true when a file was chosen
  // (FileName is then the chosen file).
  bool Execute(QWidget* owner);
  // The filter in the form of a Qt file dialog's name filters.
  QString QtNameFilters() const;

 private:
  QString FObjectName;
  TKind FKind;
  QString FFilter;
  QString FFileName;
  std::string FPath;
  std::vector<std::string> FPaths;
  bool FMultiSelect = false;
};

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // A message dialog with the kind's caption and icon.
  virtual TModalResult MessageDlg(QWidget* owner, const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) = 0;
  // A message box with the error icon and an OK button, with the system's
  // default caption.
  virtual void ErrorBox(QWidget* owner, const QString& text) = 0;
  // The plain message box: the text, the program's name as caption, OK.
  virtual void ShowMessage(QWidget* owner, const QString& text) = 0;
  // The input box: true when confirmed, value then holds the text.
  virtual bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) = 0;
  // An open or save dialog; true when a file was chosen (put into the dialog).
  virtual bool ExecuteFileDialog(QWidget* owner, TFileDialog& dialog) = 0;
  // Shows a form modally and returns how it was closed.
  virtual TModalResult ShowModal(QDialog& form) = 0;
  // The message of an exception that no command caught.
  virtual void ShowException(const QString& message) = 0;
};

// The service in use (the Qt one unless a test installed another). Using it
// makes it the sink of the command guard's errors (platform/guard.h).
TDialogService& Dialogs();
// Installs a service (not owned); nullptr goes back to the Qt one.
void SetDialogService(TDialogService* service);

// A warning with an OK button, when text (from the core) is not empty.
void ShowWarning(QWidget* owner, const std::string& text);
// Before large work: a refusal (an error box, false), a question (Yes/No,
// true on Yes) or nothing to say (true).
bool AcceptLargeWork(QWidget* owner, bool refused, const std::string& text);

// "\r\n" line ends as the window system shows them.
QString DisplayText(const QString& text);


}  // namespace byteloom
