// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's Find, Find Next, Replace, Goto and jumps: each handler
// shows its tab of the shared dialog, hands the typed text to the search
// engine and reports the outcome.
#include <QLineEdit>
#include <QCheckBox>

#include "control/hexeditor.h"
#include "editor/findexpr.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "editor/ui/search.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"

namespace byteloom {

int Teditform::ShowSearchDialog(TSearchPage page) {
  TSearchReplace& dialog = Frame().SearchDialog();
  dialog.ShowOnly(page);
  return static_cast<int>(Dialogs().ShowModal(dialog));
}

void Teditform::ReportSearch(const TSearchResult& result) {
  const QString text = FromAnsi(SearchMessage(result));
  switch (result.Outcome) {
    case TSearchOutcome::soFindNotFound:
    case TSearchOutcome::soReplaceNotFound:
      Dialogs().MessageDlg(this, text, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
      break;
    case TSearchOutcome::soReplacedAll:
      Dialogs().MessageDlg(this, text, TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
      break;
    case TSearchOutcome::soNextNotFound: Dialogs().ShowMessage(this, text); break;
    case TSearchOutcome::soInvalidPosition: ShowErrorBox(text); break;
    default: break;
  }
}

void Teditform::Find1Click() {
  if (!BeginSearchCommand(Frame().SearchState(), Editor())) return;
  TSearchReplace& dialog = Frame().SearchDialog();
  ShowSearchDialog(TSearchPage::spFind);
  TLongWork work(this, QStringLiteral("Searching..."), true);
  ReportSearch(FindCommand(Frame().SearchState(), Editor(), dialog.FindText(), work.Progress()));
  UpdateValueInfo();
}

void Teditform::FindNext1Click() {
  TLongWork work(this, QStringLiteral("Searching..."), true);
  const TSearchResult result = FindNextCommand(Frame().SearchState(), Editor(), work.Progress());
  if (result.Outcome == TSearchOutcome::soRunFind) return Find1Click();
  ReportSearch(result);
  UpdateValueInfo();
}

void Teditform::Replace1Click() {
  if (!BeginSearchCommand(Frame().SearchState(), Editor())) return;
  TSearchReplace& dialog = Frame().SearchDialog();
  ShowSearchDialog(TSearchPage::spReplace);
  TLongWork work(this, QStringLiteral("Replacing..."), true);
  ReportSearch(ReplaceCommand(Frame().SearchState(), Editor(), dialog.ReplaceWhat(), dialog.ReplaceWith(), dialog.ReplaceAllChosen(),
                              work.Progress()));
  EnableSaveIfModified();
  UpdateValueInfo();
}

void Teditform::Goto1Click() {
  if (Editor().DataSize() == 0) return;
  TSearchReplace& dialog = Frame().SearchDialog();
  ShowSearchDialog(TSearchPage::spGoto);
  ReportSearch(GotoCommand(Editor(), dialog.GotoText()));
  UpdateValueInfo();
}

void Teditform::Amount40001Click() {
  QString value = QString::fromStdString(JumpAmountText(Frame().SearchState()));
  if (Dialogs().InputQuery(this, QStringLiteral("Jump amount"), QStringLiteral("Enter new value:"), value))
    SetJumpAmount(Frame().SearchState(), AnsiText(value));
}

void Teditform::Jumpforward1Click() { JumpCommand(Frame().SearchState(), Editor(), true); }

void Teditform::Jumpbackward1Click() { JumpCommand(Frame().SearchState(), Editor(), false); }

}  // namespace byteloom
