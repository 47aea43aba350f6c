// Teditform: bookmarks kept per file. The store lives in the settings
// folder ("bookmarks.txt" beside the settings file); the rows of a file come
// back into the bookmark table when it is opened again.
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "control/hexeditor.h"
#include "editor/Editwin.h"
#include "editor/filebookmarks.h"
#include "editor/qtext.h"
#include "platform/platform.h"

namespace byteloom {

namespace {

QString StorePath() {
  const QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmora"), QStringLiteral("Tarnwick"));
  return QFileInfo(settings.fileName()).absolutePath() + QStringLiteral("/bookmarks.txt");
}

TBookmarkStore LoadStore() {
  TBookmarkStore store;
  QFile file(StorePath());
  if (file.open(QIODevice::ReadOnly)) store.Parse(file.readAll().toStdString());
  return store;
}

// The key of the document's file, or empty for a document without one.
std::string FileKey(THexEditor& ed) { return FileExists(ed.FileName()) ? AbsolutePath(ed.FileName()) : std::string(); }

}  // namespace

void Teditform::RecallFileBookmarks() {
  const std::string key = FileKey(Editor());
  if (!key.empty()) LoadStore().Recall(key, Bookmarks());
}

void Teditform::RememberFileBookmarks() {
  const std::string key = FileKey(Editor());
  if (key.empty()) return;
  TBookmarkStore store = LoadStore();
  store.Remember(key, Bookmarks());
  const QString path = StorePath();
  QDir().mkpath(QFileInfo(path).absolutePath());
  WriteFileAtomically(ToFileName(path), store.Text(), false);
}

}  // namespace byteloom
