// Teditform: bookmarks kept per file. The rows kept for a file come back into
// the bookmark table when it is opened again; Bookmarks > "Apply bookmarks
// to" keeps the bookmarks on show for another open file as well.
#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "control/hexeditor.h"
#include "editor/Editwin.h"
#include "editor/dialogservice.h"
#include "editor/filebookmarks.h"
#include "editor/framelink.h"
#include "editor/keptmarks.h"
#include "editor/qtext.h"
#include "editor/uibuild.h"
#include "platform/platform.h"

namespace byteloom {

using namespace uibuild;

namespace {

QString StorePath() {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Tarnwick"));
  return QFileInfo(settings.fileName()).absolutePath() + QStringLiteral("/bookmarks.txt");
}

}  // namespace

std::string KeptBookmarkKey(const THexEditor& editor) {
  return FileExists(editor.FileName()) ? AbsolutePath(editor.FileName()) : std::string();
}

TBookmarkStore LoadKeptBookmarks() {
  TBookmarkStore store;
  QFile file(StorePath());
  // A store that cannot be read is never overwritten with an empty one.
  if (!file.open(QIODevice::ReadOnly)) {
    if (file.exists()) throw EFileError("Cannot read the kept bookmarks in " + ToFileName(file.fileName()));
    return store;
  }
  store.Parse(file.readAll().toStdString());
  return store;
}

void ChangeKeptBookmarks(const std::function<void(TBookmarkStore&)>& change) {
  TBookmarkStore store = LoadKeptBookmarks();
  change(store);
  const QString path = StorePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  const std::string warning = WriteFileAtomically(ToFileName(path), store.Text(), false);
  if (!warning.empty()) ShowWarning(nullptr, NotYetSafeText("The bookmarks were kept in " + ToFileName(path), warning));
}

void Teditform::RecallFileBookmarks() {
  const std::string key = KeptBookmarkKey(Editor());
  if (!key.empty()) LoadKeptBookmarks().Recall(key, Bookmarks());
}

void Teditform::ApplyBookmarkItems() {
  ApplyBookmarks1->clear();
  bool any = false;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row) any = any || Bookmarks().IsSet(row);
  for (int i = 0; i < Frame().MDIChildCount(); ++i) {
    const std::string key = KeptBookmarkKey(Frame().MDIChildren(i)->Editor());
    if (key.empty()) continue;
    QAction* item = Item(ApplyBookmarks1, "ApplyBookmarksItem", FromFileName(key));
    OnClick(item, [key] { ChangeKeptBookmarks([&key](TBookmarkStore& s) { ApplyBookmarks(Bookmarks(), s, key); }); });
  }
  ApplyBookmarks1->menuAction()->setEnabled(any && !ApplyBookmarks1->isEmpty());
}

}  // namespace byteloom
