// SPDX-License-Identifier: GPL-3.0-or-later
// Support for the window tests: a sandbox per test (its own temporary
// folder as TMPDIR and its own settings location), a dialog service that
// answers from a script and records every question it did not expect, and the
// test fixture that puts the two together.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialogservice.h"

namespace byteloom {
class TMainform;
class Teditform;
class THexEditor;
}

namespace byteloom::test {

class TScriptedDialogs final : public TDialogService {
 public:
  TScriptedDialogs();
  ~TScriptedDialogs() override;

  // The next question is a message dialog of this kind with exactly this text.
  void ExpectMessage(const QString& text, TMsgDlgType type, TModalResult answer = TModalResult::mrOk);
  // The next question is the error box; its text starts with prefix.
  void ExpectErrorBox(const QString& prefix);
  // The next question is the plain message box with exactly this text.
  void ExpectShowMessage(const QString& text);
  // The next question is the open or save dialog (by its object name); an
  // empty fileName cancels it.
  void ExpectFileDialog(const QString& objectName, const QString& fileName);
  // The next question is the input box.
  void ExpectInput(const QString& caption, const QString& answer, bool confirm = true);
  // The next question shows a form modally; act decides how it closes.
  void ExpectModal(const QString& objectName, std::function<TModalResult(QDialog&)> act);
  // The next question shows an uncaught exception's message.
  void ExpectException(const QString& message);

  // What went wrong: unexpected or mismatched questions, and expected ones
  // that never came.
  QStringList Problems() const;
  // The questions asked, in order, as "kind: text".
  const QStringList& Asked() const { return FAsked; }

  TModalResult MessageDlg(QWidget* owner, const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) override;
  void ErrorBox(QWidget* owner, const QString& text) override;
  void ShowMessage(QWidget* owner, const QString& text) override;
  bool InputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) override;
  bool ExecuteFileDialog(QWidget* owner, TFileDialog& dialog) override;
  TModalResult ShowModal(QDialog& form) override;
  void ShowException(const QString& message) override;

 private:
  enum class TKind { Message, ShowMessage, ErrorBox, FileDialog, Input, Modal, Exception };
  struct TStep {
    TKind Kind;
    QString Text;
    TMsgDlgType Type = TMsgDlgType::mtInformation;
    TModalResult Answer = TModalResult::mrOk;
    bool Confirm = true;
    std::function<TModalResult(QDialog&)> Act;
  };
  // The next step if it is of this kind, else records the problem.
  const TStep* Next(TKind kind, const QString& what);

  QList<TStep> FSteps;
  QStringList FProblems;
  QStringList FAsked;
};

// One test's world: a fresh folder used as TMPDIR and as the settings
// location, the scripted dialogs, and the program's forms when started.
class TSandbox {
 public:
  TSandbox();
  ~TSandbox();

  QString Path(const QString& name) const { return FDir.path() + QLatin1Char('/') + name; }
  QString Dir() const { return FDir.path(); }
  QString SettingsFile() const;
  TScriptedDialogs& Dialogs() { return *FDialogs; }

  // Creates the forms and shows the frame (settings load, command line:
  // the arguments' bytes).
  TMainform& Start(const std::vector<std::string>& args = {});
  // Frees the forms (as at the program's end), keeping the sandbox.
  void Stop();
  TMainform& Frame() const;

 private:
  QTemporaryDir FDir;
  QByteArray FOldTmpdir;
  QByteArray FOldConfig;
  std::unique_ptr<TScriptedDialogs> FDialogs;
  TMainform* FFrame = nullptr;  // while started
};

// The fixture of the window tests: a fresh sandbox for every test function
// and, at its end, the check that the dialogs were asked exactly what the
// test expected. With TStart::Frame each test begins with the frame shown.
class TGuiTest : public QObject {
  Q_OBJECT

 public:
  enum class TStart { Nothing, Frame };
  explicit TGuiTest(TStart start = TStart::Nothing) : FStart(start) {}

 protected:
  TSandbox& Box() { return *FBox; }
  TScriptedDialogs& Script() { return FBox->Dialogs(); }
  // Opens path through the frame's Open command; the active window after it.
  Teditform* OpenFile(const QString& path);
  // Writes a file of the sandbox; its path.
  QString File(const QString& name, const QByteArray& data);

 protected slots:
  void init();
  void cleanup();

 private:
  const TStart FStart;
  std::unique_ptr<TSandbox> FBox;
};

void WriteBytes(const QString& path, const QByteArray& data);
QByteArray ReadBytes(const QString& path);
// The document's bytes as the control holds them.
QByteArray DocumentBytes(THexEditor& editor);
// Waits for queued events (posted state messages, deferred deletes).
void Settle();
// Overwrites the byte at pos as typing would (one undo step, change mark).
void TypeByte(Teditform& window, int32_t pos, uint8_t value);

}  // namespace byteloom::test
