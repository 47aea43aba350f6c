// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's binary edit and bookmarks. The bookmark table belongs to
// the program; each window's Bookmarks menu renders it when it opens.
#include <QAction>

#include "control/bookmarks.h"
#include "control/hexeditor.h"
#include "editor/filebookmarks.h"
#include "editor/keptmarks.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "editor/ui/search.h"
#include "ui/qtext.h"

namespace byteloom {

void Teditform::BinaryEdit1Click() {
  TSearchReplace& dialog = Frame().SearchDialog();
  dialog.SetBinaryValue(Editor().ReadByte(Editor().GetCursorPos()));
  ShowSearchDialog(TSearchPage::spBinaryEdit);
  UpdateValueInfo();
}

void Teditform::Bookmarks1Click() {
  RefreshBookmarkMenu(Frame().Bookmarks(), FBookmarkMenu);
  EditBookmark1->setEnabled(FBookmarkMenu.EditEnabled);
  const std::array<QAction*, 5> items = BookmarkItems();
  for (size_t r = 0; r < items.size(); ++r) {
    items[r]->setText(FromAnsi(FBookmarkMenu.Caption[r]));
    items[r]->setVisible(FBookmarkMenu.Visible[r]);
  }
  ApplyBookmarkItems();
}

void Teditform::AddBookmark1Click() {
  ChangeKeptBookmarks([this](TBookmarkStore& store) {
    AddBookmark(Frame().Bookmarks(), store, FBookmarkMenu, Editor().GetCursorPos(), KeptBookmarkKey(Editor()));
  });
  EditBookmark1->setEnabled(FBookmarkMenu.EditEnabled);
}

void Teditform::EditBookmark1Click() { ShowSearchDialog(TSearchPage::spBookmarks); }

void Teditform::BookmarkClick(int index) {
  Frame().Bookmarks().JumpTo(index + 1, Editor());
  UpdateValueInfo();
}

}  // namespace byteloom
