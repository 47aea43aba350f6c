// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/appforms.h"

#include <QApplication>

#include "compare/ui/com_mete.h"
#include "compare/ui/Fcomp.h"
#include "compare/ui/snapshotform.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/search.h"
#include "output/ui/Drucker.h"
#include "output/ui/hexexp.h"
#include "shell/ui/fileprop.h"
#include "shell/ui/info.h"
#include "shell/ui/mainform.h"
#include "shell/ui/placing.h"
#include "shell/ui/preferen.h"
#include "shell/ui/settings.h"

namespace byteloom {

TMainform* CreateForms(const std::vector<std::string>& params) {
  QApplication::setApplicationName(QStringLiteral("Byteloom"));
  TForms f;
  f.Mainform = new TMainform;
  PlaceWindowsBy(f.Mainform);
  f.Mainform->SetParams(params);
  f.Infoform = new TInfoform(f.Mainform);
  f.Fileproperties = new TFileproperties(f.Mainform);
  f.Fileproperties->SetDocuments(f.Mainform);
  f.DruckerForm = new TDruckerForm(f.Mainform);
  f.DruckerForm->SetDocuments(f.Mainform);
  f.Preferences = new TPreferences(f.Mainform);
  f.Fcompare = new TFcompare(f.Mainform);
  f.SearchReplace = new TSearchReplace(f.Mainform);
  f.SearchReplace->SetFrame(f.Mainform, f.Mainform);
  f.HexExport = new THexExport(f.Mainform);
  f.HexExport->SetFrame(f.Mainform, &f.Mainform->SaveDialog());
  f.Compareometer = new TCompareometer(f.Mainform);
  f.SnapshotForm = new TSnapshotForm(f.Mainform);
  f.SnapshotForm->SetDocuments(f.Mainform);
  f.SnapshotForm->SetBookmarks(&f.Mainform->Bookmarks());
  f.SnapshotForm->OnAddField = [frame = f.Mainform](int window, int64_t pos, const TValueFormat& format) {
    if (Teditform* edit = frame->MDIChildren(window)) edit->AddField(pos, format);
    else ShowWarning(frame, "Open the document to add the field to first.");
  };
  f.Fcompare->Connect([frame = f.Mainform] { frame->SetItemEnabled(TFrameItem::fiCompareAgain, true); }, *f.Mainform,
                     *f.Compareometer);
  TMainform* frame = f.Mainform;
  f.Fcompare->OnSideBySide = [frame](int index1, int index2, int64_t shift) { frame->LockSideBySide(index1, index2, shift); };
  TPreferences* preferences = f.Preferences;
  f.Preferences->OnSaveSettings = [frame, preferences] {
    const QString error = SaveSettings(*frame, *preferences);
    if (!error.isEmpty()) Dialogs().MessageDlg(preferences, error, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  };
  frame->SetForms(f);
  return frame;
}

}  // namespace byteloom
