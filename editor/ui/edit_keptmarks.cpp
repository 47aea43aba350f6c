// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: bookmarks kept per file. The rows kept for a file come back into
// the bookmark table when it is opened again; Bookmarks > "Apply bookmarks
// to" keeps the bookmarks on show for another open file as well.
#include <QAction>
#include <QMenu>

#include "control/hexeditor.h"
#include "editor/filebookmarks.h"
#include "editor/keptmarks.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

void Teditform::RecallFileBookmarks() {
  const std::string key = KeptBookmarkKey(Editor());
  if (!key.empty()) LoadKeptBookmarks().Recall(key, Frame().Bookmarks());
}

void Teditform::ApplyBookmarkItems() {
  ApplyBookmarks1->clear();
  bool any = false;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row) any = any || Frame().Bookmarks().IsSet(row);
  for (int i = 0; i < Frame().MDIChildCount(); ++i) {
    const std::string key = KeptBookmarkKey(Frame().MDIChildren(i)->Editor());
    if (key.empty()) continue;
    QAction* item = Item(ApplyBookmarks1, "ApplyBookmarksItem", FromFileName(key));
    OnClick(item, [this, key] {
      ChangeKeptBookmarks([this, &key](TBookmarkStore& s) { ApplyBookmarks(Frame().Bookmarks(), s, key); });
    });
  }
  ApplyBookmarks1->menuAction()->setEnabled(any && !ApplyBookmarks1->isEmpty());
}

}  // namespace byteloom
