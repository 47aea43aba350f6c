// SPDX-License-Identifier: GPL-3.0-or-later
#include "guitest.h"

#include <utility>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QSettings>
#include <QTest>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"

namespace byteloom::test {

namespace {

QString TypeName(TMsgDlgType type) {
  switch (type) {
    case TMsgDlgType::mtWarning: return QStringLiteral("warning");
    case TMsgDlgType::mtError: return QStringLiteral("error");
    case TMsgDlgType::mtInformation: return QStringLiteral("information");
    case TMsgDlgType::mtConfirmation: return QStringLiteral("confirmation");
  }
  return {};
}

}  // namespace

TScriptedDialogs::TScriptedDialogs() { SetDialogService(this); }

TScriptedDialogs::~TScriptedDialogs() { SetDialogService(nullptr); }

void TScriptedDialogs::ExpectMessage(const QString& text, TMsgDlgType type, TModalResult answer) {
  FSteps.append({TKind::Message, text, type, answer, true, {}});
}

void TScriptedDialogs::ExpectShowMessage(const QString& text) { FSteps.append({TKind::ShowMessage, text}); }

void TScriptedDialogs::ExpectErrorBox(const QString& prefix) { FSteps.append({TKind::ErrorBox, prefix}); }

void TScriptedDialogs::ExpectFileDialog(const QString& objectName, const QString& fileName) {
  TStep step{TKind::FileDialog, objectName};
  step.Answer = fileName.isEmpty() ? TModalResult::mrCancel : TModalResult::mrOk;
  step.Act = [fileName](QDialog&) { return TModalResult::mrOk; };
  step.Confirm = !fileName.isEmpty();
  step.Text = objectName + QLatin1Char('\n') + fileName;
  FSteps.append(step);
}

void TScriptedDialogs::ExpectInput(const QString& caption, const QString& answer, bool confirm) {
  TStep step{TKind::Input, caption + QLatin1Char('\n') + answer};
  step.Confirm = confirm;
  FSteps.append(step);
}

void TScriptedDialogs::ExpectModal(const QString& objectName, std::function<TModalResult(QDialog&)> act) {
  TStep step{TKind::Modal, objectName};
  step.Act = std::move(act);
  FSteps.append(step);
}

void TScriptedDialogs::ExpectException(const QString& message) { FSteps.append({TKind::Exception, message}); }

QStringList TScriptedDialogs::Problems() const {
  QStringList problems = FProblems;
  for (const TStep& step : FSteps) problems << QStringLiteral("expected but not asked: ") + step.Text;
  return problems;
}

const TScriptedDialogs::TStep* TScriptedDialogs::Next(TKind kind, const QString& what) {
  FAsked << what;
  if (FSteps.isEmpty() || FSteps.first().Kind != kind) {
    FProblems << QStringLiteral("unexpected question: ") + what;
    return nullptr;
  }
  return &FSteps.first();
}

TModalResult TScriptedDialogs::MessageDlg(QWidget*, const QString& text, TMsgDlgType type, TMsgDlgButtons) {
  const TStep* step = Next(TKind::Message, QStringLiteral("message (%1): %2").arg(TypeName(type), text));
  if (!step) return TModalResult::mrCancel;
  TModalResult answer = step->Answer;
  if (step->Text != text || step->Type != type) {
    FProblems << QStringLiteral("message (%1) \"%2\" instead of (%3) \"%4\"")
                     .arg(TypeName(type), text, TypeName(step->Type), step->Text);
    answer = TModalResult::mrCancel;
  }
  FSteps.removeFirst();
  return answer;
}

void TScriptedDialogs::ErrorBox(QWidget*, const QString& text) {
  const TStep* step = Next(TKind::ErrorBox, QStringLiteral("error box: ") + text);
  if (!step) return;
  if (!text.startsWith(step->Text))
    FProblems << QStringLiteral("error box \"%1\" does not start with \"%2\"").arg(text, step->Text);
  FSteps.removeFirst();
}

void TScriptedDialogs::ShowMessage(QWidget*, const QString& text) {
  const TStep* step = Next(TKind::ShowMessage, QStringLiteral("message box: ") + text);
  if (!step) return;
  if (step->Text != text) FProblems << QStringLiteral("message box \"%1\" instead of \"%2\"").arg(text, step->Text);
  FSteps.removeFirst();
}

bool TScriptedDialogs::InputQuery(QWidget*, const QString& caption, const QString& prompt, QString& value) {
  const TStep* step = Next(TKind::Input, QStringLiteral("input: %1 / %2").arg(caption, prompt));
  if (!step) return false;
  const QString expectedCaption = step->Text.section(QLatin1Char('\n'), 0, 0);
  const QString answer = step->Text.section(QLatin1Char('\n'), 1);
  const bool confirm = step->Confirm;
  if (expectedCaption != caption) FProblems << QStringLiteral("input box \"%1\" instead of \"%2\"").arg(caption, expectedCaption);
  FSteps.removeFirst();
  if (confirm) value = answer;
  return confirm;
}

bool TScriptedDialogs::ExecuteFileDialog(QWidget*, TFileDialog& dialog) {
  const TStep* step = Next(TKind::FileDialog, QStringLiteral("file dialog: ") + dialog.ObjectName());
  if (!step) return false;
  const QString expectedName = step->Text.section(QLatin1Char('\n'), 0, 0);
  const QString fileName = step->Text.section(QLatin1Char('\n'), 1);
  bool confirm = step->Confirm;
  if (expectedName != dialog.ObjectName()) {
    FProblems << QStringLiteral("file dialog %1 instead of %2").arg(dialog.ObjectName(), expectedName);
    confirm = false;
  }
  FSteps.removeFirst();
  // Several names, one per line, for a dialog that lets the user choose several.
  if (confirm && dialog.MultiSelect())
    dialog.SetFileNames(fileName.split(QLatin1Char('\n')));
  else if (confirm)
    dialog.SetFileName(fileName);
  return confirm;
}

TModalResult TScriptedDialogs::ShowModal(QDialog& form) {
  const TStep* step = Next(TKind::Modal, QStringLiteral("modal form: ") + form.objectName());
  if (!step) return TModalResult::mrCancel;
  if (step->Text != form.objectName()) {
    FProblems << QStringLiteral("modal form %1 instead of %2").arg(form.objectName(), step->Text);
    FSteps.removeFirst();
    return TModalResult::mrCancel;
  }
  const auto act = step->Act;
  FSteps.removeFirst();
  return act(form);
}

void TScriptedDialogs::ShowException(const QString& message) {
  const TStep* step = Next(TKind::Exception, QStringLiteral("exception: ") + message);
  if (!step) return;
  if (step->Text != message) FProblems << QStringLiteral("exception \"%1\" instead of \"%2\"").arg(message, step->Text);
  FSteps.removeFirst();
}

// ---------------------------------------------------------------------------

TSandbox::TSandbox() {
  FOldTmpdir = qgetenv("TMPDIR");
  FOldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("TMPDIR", QFile::encodeName(FDir.path()));
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FDir.path() + QStringLiteral("/config")));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, FDir.path() + QStringLiteral("/config"));
  FDialogs = std::make_unique<TScriptedDialogs>();
}

TSandbox::~TSandbox() {
  Stop();
  FDialogs.reset();
  qputenv("TMPDIR", FOldTmpdir);
  qputenv("XDG_CONFIG_HOME", FOldConfig);
}

QString TSandbox::SettingsFile() const { return FDir.path() + QStringLiteral("/config/Velmora/Tarnwick.ini"); }

TMainform& TSandbox::Start(const std::vector<std::string>& args) {
  Stop();
  FFrame = CreateForms(args);
  FFrame->show();
  QCoreApplication::processEvents();
  return *FFrame;
}

void TSandbox::Stop() {
  if (!FFrame) return;
  delete std::exchange(FFrame, nullptr);
  Settle();
}

TMainform& TSandbox::Frame() const { return *FFrame; }

// ---------------------------------------------------------------------------

void TGuiTest::init() {
  FBox = std::make_unique<TSandbox>();
  if (FStart == TStart::Frame) FBox->Start();
}

void TGuiTest::cleanup() {
  if (!FBox) return;
  const QStringList problems = Script().Problems();
  FBox.reset();
  QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

QString TGuiTest::File(const QString& name, const QByteArray& data) {
  const QString path = Box().Path(name);
  WriteBytes(path, data);
  return path;
}

QByteArray DocumentBytes(THexEditor& editor) {
  QByteArray data(editor.DataSize(), 0);
  editor.ReadBuffer(data.data(), 0, editor.DataSize());
  return data;
}

Teditform* TGuiTest::OpenFile(const QString& path) {
  Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), path);
  Box().Frame().ffnen1->trigger();
  return Box().Frame().ActiveMDIChild();
}

void WriteBytes(const QString& path, const QByteArray& data) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
    qFatal("cannot write %s", qPrintable(path));
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return file.readAll();
}

void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

void TypeByte(Teditform& window, int32_t pos, uint8_t value) {
  THexEditor& ed = window.Editor();
  const int64_t row = pos / ed.BytesPerLine();
  int col = 0;
  int64_t r = 0;
  ed.GetCellAtPos(pos, false, col, r);
  ed.ChangeByte(ed.ReadByte(pos), value, row, col, pos);
}

}  // namespace byteloom::test
