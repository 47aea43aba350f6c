// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's File menu: saving, closing, watching the file for new
// versions, and the frame's commands it reaches.
#include <QAction>
#include <QSocketNotifier>
#include <QTimer>

#include "control/hexeditor.h"
#include "control/versionwatch.h"
#include "editor/keptmarks.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/fieldsform.h"
#include "editor/ui/framelink.h"
#include "platform/filenames.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"

namespace byteloom {

// ---------------------------------------------------------------------------
// Saving and closing
// ---------------------------------------------------------------------------

void Teditform::ShowErrorBox(const QString& text) {
  // While the window is being created it is not on screen yet: the frame owns the box.
  Dialogs().ErrorBox(isVisible() ? this : nullptr, text);
}

bool Teditform::WriteDocument(const std::string& fileName) {
  THexEditor& ed = Editor();
  ed.OnConfirmBackupReplace = [this](const std::string& question) {
    return Dialogs().MessageDlg(this, QString::fromLocal8Bit(question.c_str()), TMsgDlgType::mtConfirmation,
                                TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
  };
  // (A running program's memory is saved as a copy, checksums as they are.)
  if (!ed.IsLive() && !FixChecksumsForSave(fileName)) return false;
  const std::string oldKey = KeptBookmarkKey(ed);
  bool done = false;
  {
    TLongWork work(this, QStringLiteral("Saving..."), true);
    done = ed.SaveToFile(fileName, work.Progress());
  }
  if (done && ed.IsLive()) {
    Dialogs().MessageDlg(this,
                         QStringLiteral("The program's memory as it is now was saved to\r\n%1\r\n"
                                        "This window goes on showing the running program.")
                             .arg(FromFileName(fileName)),
                         TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    return true;
  }
  if (done) {
    // The fields go with the document to a new name.
    if (!FFields.empty() && KeptBookmarkKey(ed) != oldKey) KeepFields(KeptBookmarkKey(ed), FFields);
    SetDocumentName(FromFileName(fileName));
    Frame().SetItemEnabled(TFrameItem::fiSave, false);
    if (FFieldsForm) FFieldsForm->DocumentChanged();
    if (!ed.LastWarning().empty())
      Dialogs().MessageDlg(this, QString::fromLocal8Bit(ed.LastWarning().c_str()), TMsgDlgType::mtWarning,
                           TMsgDlgButtons::mbOK);
    return true;
  }
  QString text = QStringLiteral("Cannot save file\r\n") + FromFileName(fileName);
  if (!ed.LastError().empty()) text += QStringLiteral("\r\n") + QString::fromLocal8Bit(ed.LastError());
  ShowErrorBox(text);
  return false;
}

bool Teditform::SaveDocument() {
  THexEditor& ed = Editor();
  if (!ed.Untitled() && FileExists(ed.FileName()) && !ed.ReadOnly()) return WriteDocument(ed.FileName());
  TFileDialog& dialog = Frame().SaveDialog();
  if (!dialog.Execute(this)) return false;
  return WriteDocument(dialog.Path());
}

bool Teditform::AskSaveChanges() {
  THexEditor& ed = Editor();
  // A running program's memory took every edit as it was made.
  if (!ed.Modified() || ed.IsLive()) return true;
  const QString name = !ed.Untitled() && FileExists(ed.FileName()) ? FromFileName(ed.FileName()) : QStringLiteral("Unnamed File");
  switch (Dialogs().MessageDlg(this, QStringLiteral("Save changes to\r\n") + name + QStringLiteral(" ?"),
                               TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNoCancel)) {
    case TModalResult::mrYes: return SaveDocument();
    case TModalResult::mrNo: return true;
    default: return false;
  }
}

void Teditform::Speichern1Click() { SaveDocument(); }

void Teditform::Speichernunter1Click() {
  TFileDialog& dialog = Frame().SaveDialog();
  // The dialog starts in the document's folder with its name filled in.
  if (!Editor().Untitled() && FileExists(Editor().FileName())) dialog.SetPath(Editor().FileName());
  if (!dialog.Execute(this)) return;
  WriteDocument(dialog.Path());
}

void Teditform::Schlieen1Click() { close(); }

void Teditform::AlleSchlieen1Click() {
  TFrameLink& frame = Frame();
  std::vector<Teditform*> windows;
  for (int i = frame.MDIChildCount() - 1; i >= 0; --i) windows.push_back(frame.MDIChildren(i));
  for (Teditform* window : windows) window->close();
}

void Teditform::Beenden2Click() { Frame().RunCommand(TFrameCommand::fcExit); }

// ---------------------------------------------------------------------------
// Watching the file for new versions
// ---------------------------------------------------------------------------

namespace {
// A save's events come within moments of each other: they are read together.
constexpr int kSettleMs = 150;
}  // namespace

void Teditform::WatchVersions1Click() {
  if (WatchVersions1->isChecked()) StartVersionWatch();
  else StopVersionWatch();
}

void Teditform::StartVersionWatch() {
  StopVersionWatch();
  const std::string& path = Editor().FileName();
  try {
    FVersionWatch = std::make_unique<TVersionWatch>(path);
  } catch (const std::exception& e) {
    WatchVersions1->setChecked(false);
    ShowErrorBox(QStringLiteral("Cannot watch ") + FromFileName(path) + QStringLiteral(" for new versions:\r\n") +
                 QString::fromLocal8Bit(e.what()));
    return;
  }
  FVersionNotifier = new QSocketNotifier(FVersionWatch->Fd(), QSocketNotifier::Read, this);
  connect(FVersionNotifier, &QSocketNotifier::activated, this, [this] {
    FVersionNotifier->setEnabled(false);
    // Dropped with the notifier when the watch ends first.
    QTimer::singleShot(kSettleMs, FVersionNotifier, [this] { Guarded([this] { PollVersions(false); }); });
  });
  PollVersions(true);
}

void Teditform::StopVersionWatch() {
  delete FVersionNotifier;  // before its descriptor closes
  FVersionNotifier = nullptr;
  FVersionWatch.reset();
  if (WatchVersions1) WatchVersions1->setChecked(false);
}

void Teditform::PollVersions(bool first) {
  if (!FVersionWatch) return;
  TPolledVersion polled = FVersionWatch->Poll();
  if (polled.Ended) StopVersionWatch();
  else FVersionNotifier->setEnabled(true);
  TFrameLink& frame = Frame();
  if (polled.Source) frame.AddSnapshot(std::move(polled.Source), polled.Caption, Editor().Serial());
  if (first && FVersionWatch) {
    // The version of now, or (while it is being written) the one that ends the write.
    const std::string name = ExtractFileName(FVersionWatch->Path());
    frame.SnapshotNotice("Watching " + name + (polled.Caption.empty() ? ": it is being written, its version comes in when it is done."
                                                                      : ": each new version written comes in as the next snapshot."),
                         true);
  }
  if (!polled.Problem.empty()) frame.SnapshotNotice(polled.Problem);
}

// ---------------------------------------------------------------------------
// The frame's commands, reached from this window's File menu
// ---------------------------------------------------------------------------

void Teditform::Neu1Click() { Frame().RunCommand(TFrameCommand::fcNew); }
void Teditform::ffnen1Click() { Frame().RunCommand(TFrameCommand::fcOpen); }
void Teditform::Restore1Click() { Frame().RunCommand(TFrameCommand::fcRestore); }
void Teditform::FileClick(int index) { Frame().RunCommand(TFrameCommand::fcRecentFile, index); }

void Teditform::Datei1Click() {
  TFrameLink& frame = Frame();
  const std::array<QAction*, 5> mine = RecentFileItems();
  const std::array<TRecentEntry, 5> theirs = frame.RecentEntries();
  for (size_t i = 0; i < 5; ++i) {
    mine[i]->setText(theirs[i].Name);
    mine[i]->setVisible(theirs[i].Shown);
  }
  // A new document has no file to watch yet.
  WatchVersions1->setEnabled(WatchingVersions() || !Editor().Untitled());
  N11->setVisible(frame.RecentSeparatorShown());
  if (!theirs[0].Name.isEmpty()) {
    N11->setVisible(true);
    frame.ShowRecentSeparator();
  }
}

}  // namespace byteloom
