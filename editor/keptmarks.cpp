#include "editor/keptmarks.h"

#include "control/hexeditor.h"
#include "editor/filebookmarks.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "platform/store.h"

namespace byteloom {

namespace {

// The store as last read, kept while its file stays the same: a large store
// is read and parsed once, not at every open of a file.
struct TKeptCache {
  std::string Path;
  TStoreIdentity Identity;
  TBookmarkStore Store;
  bool Valid = false;
};

TKeptCache& Cache() {
  static TKeptCache cache;
  return cache;
}

// The stored bookmarks (the cache's store); an empty store and false
// (reported once) when the store cannot be used.
const TBookmarkStore& ReadKept(bool& usable) {
  static const TBookmarkStore none;
  const std::string path = KeptBookmarksFile();
  TKeptCache& cache = Cache();
  const bool known = cache.Valid && cache.Path == path;
  TStoreText text = ReadStore(path, kMaxKeptBookmarksSize, known ? &cache.Identity : nullptr);
  usable = text.Usable;
  if (!text.Usable) {
    cache.Valid = false;
    ReportStoreProblem("The bookmarks file " + path + " " + text.Problem +
                       "; bookmarks are not read from it or kept in it.");
    return none;
  }
  if (!text.Unchanged) {
    cache.Store = TBookmarkStore();
    cache.Store.Parse(text.Text);
    cache.Path = path;
    cache.Identity = text.Identity;
  }
  cache.Valid = text.Exists && Settled(text.Identity);
  return text.Exists ? cache.Store : none;
}

}  // namespace

std::string KeptBookmarksFile() { return SettingsFolder() + "/bookmarks.txt"; }

std::string KeptBookmarkKey(const THexEditor& editor) {
  return FileExists(editor.FileName()) ? AbsolutePath(editor.FileName()) : std::string();
}

const TBookmarkStore& LoadKeptBookmarks() {
  bool usable = false;
  return ReadKept(usable);
}

void ChangeKeptBookmarks(const std::function<void(TBookmarkStore&)>& change) {
  bool usable = false;
  TBookmarkStore store = ReadKept(usable);
  change(store);
  // A store that could not be read is never overwritten with what is left.
  if (!usable) return;
  const std::string path = KeptBookmarksFile();
  try {
    const std::string warning = WriteStore(path, store.Text());
    if (!warning.empty()) ReportStoreProblem(NotYetSafeText("The bookmarks were kept in " + path, warning));
  } catch (const EFileError& e) {
    ReportStoreProblem("The bookmarks could not be kept in " + path + ": " + e.what());
  }
}

}  // namespace byteloom
