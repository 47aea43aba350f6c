// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's Restore, Help and file properties commands.
#include <QDesktopServices>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

#include "platform/platform.h"
#include "shell/helppages.h"
#include "shell/restore.h"
#include "shell/ui/appforms.h"
#include "shell/ui/fileprop.h"
#include "shell/ui/mainform.h"
#include "ui/qtext.h"

namespace byteloom {

namespace {

bool SameFile(const QString& a, const QString& b) {
  return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

}  // namespace

void TMainform::Restore1Click() {
  if (!OpenDialog1->Execute(this)) return;
  const QString name = OpenDialog1->FileName();
  TRestoreResult result = RestoreFromBackup(ToFileName(name));
  // A backup recorded as another file's: put over this one only on the word.
  if (result.Status == TRestoreStatus::rsOtherOwner) {
    if (Dialogs().MessageDlg(this, QString::fromStdString(result.Message(name.toStdString(), false)),
                             TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) != TModalResult::mrYes)
      return;
    result = RestoreFromBackup(ToFileName(name), true);
  }
  bool open = false;
  for (int i = 0; i < DocumentCount() && result.Status == TRestoreStatus::rsRestored; ++i)
    open = open || SameFile(QString::fromStdString(DocumentCaption(i)), name);
  Dialogs().MessageDlg(this, QString::fromStdString(result.Message(name.toStdString(), open)),
                       result.Failed() ? TMsgDlgType::mtError : TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
}

void TMainform::Hilfethemen1Click() {
  const std::string folder =
      HelpFolder(ToFileName(ProgramDir), [](const std::string& path) { return FileExists(path); });
  const QString page = FromFileName(folder) + QLatin1String(kHelpStartPage);
  if (!QFileInfo::exists(page)) {
    Dialogs().MessageDlg(this, QString::fromStdString(HelpWarning(folder)), TMsgDlgType::mtWarning,
                         TMsgDlgButtons::mbOK);
    return;
  }
  // Without a browser the pages show in a window of our own.
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page))) ShowHelpWindow(page);
}

QTextBrowser* TMainform::ShowHelpWindow(const QString& page) {
  auto* window = findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
  if (!window) {
    window = new QTextBrowser(this);
    window->setObjectName(QStringLiteral("HelpWindow"));
    window->setWindowFlag(Qt::Window);
    window->setWindowTitle(QStringLiteral("Byteloom Help"));
    window->setOpenExternalLinks(true);
    window->resize(760, 600);
  }
  window->setSource(QUrl::fromLocalFile(page));
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

void TMainform::Homepage1Click() { QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomepage))); }

void TMainform::eMail1Click() { QDesktopServices::openUrl(QUrl(QString::fromStdString(MailLink()))); }

void TMainform::ShowFileProperties() {
  TFileproperties* dialog = FForms.Fileproperties;
  if (!dialog) return;
  dialog->FormShow();
  Dialogs().ShowModal(*dialog);
}

}  // namespace byteloom
