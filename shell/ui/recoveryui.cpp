// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/recoveryui.h"

#include <QToolButton>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "shell/ui/mainform.h"
#include "ui/dialogservice.h"

namespace byteloom {

void OfferRecovery(TMainform& frame) {
  for (const TRecoveryInfo& info : FindRecoverable()) {
    const QString question = QString::fromLocal8Bit(RecoverQuestion(info));
    if (!info.Problem.empty()) {
      // The edits cannot come back as they were: they go only on the user's word.
      if (Dialogs().MessageDlg(&frame, question, TMsgDlgType::mtWarning, TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
        DiscardRecoverable(info);
      continue;
    }
    if (Dialogs().MessageDlg(&frame, question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) !=
        TModalResult::mrYes) {
      DiscardRecoverable(info);
      continue;
    }
    frame.OpenDialog1->SetFileName(QString());
    Teditform* window =
        frame.CreateEditWindow(info.Untitled ? QStringLiteral("New File") : QString::fromLocal8Bit(info.FileName));
    if (!window->Editor().LoadRecovered(info)) {
      Dialogs().ErrorBox(window, QString::fromLocal8Bit(window->Editor().LastError()));
      continue;
    }
    frame.ToolButton4->setEnabled(true);
    window->UpdateValueInfo();
  }
}

}  // namespace byteloom
