// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/keptmarks.h"

#include "control/hexeditor.h"
#include "editor/fields.h"
#include "editor/filebookmarks.h"
#include "platform/guard.h"
#include "platform/platform.h"
#include "platform/store.h"

namespace byteloom {

namespace {

// A store of the settings folder as last read, kept while its file stays the
// same: a large store is read and parsed once, not at every open of a file.
template <class TStore>
class TKept {
 public:
  TKept(const char* fileName, const char* noun) : FFileName(fileName), FNoun(noun) {}
  std::string File() const { return SettingsFolder() + "/" + FFileName; }

  // The stored text parsed (the cache's store); an empty store and false
  // (reported once) when the store cannot be used.
  const TStore& Read(bool& usable) {
    static const TStore none;
    const std::string path = File();
    const bool known = FValid && FPath == path;
    TStoreText text = ReadStore(path, kMaxKeptBookmarksSize, known ? &FIdentity : nullptr);
    usable = text.Usable;
    if (!text.Usable) {
      FValid = false;
      ReportStoreProblem("The " + FNoun + " file " + path + " " + text.Problem + "; " + FNoun +
                         " are not read from it or kept in it.");
      return none;
    }
    if (!text.Unchanged) {
      FStore = TStore();
      FStore.Parse(text.Text);
      FPath = path;
      FIdentity = text.Identity;
    }
    FValid = text.Exists && Settled(text.Identity);
    return text.Exists ? FStore : none;
  }

  void Change(const std::function<void(TStore&)>& change) {
    bool usable = false;
    TStore store = Read(usable);
    change(store);
    // A store that could not be read is never overwritten with what is left.
    if (!usable) return;
    const std::string path = File();
    try {
      const std::string warning = WriteStore(path, store.Text());
      if (!warning.empty()) ReportStoreProblem(NotYetSafeText("The " + FNoun + " were kept in " + path, warning));
    } catch (const EFileError& e) {
      ReportStoreProblem("The " + FNoun + " could not be kept in " + path + ": " + e.what());
    }
  }

 private:
  std::string FFileName, FNoun;
  std::string FPath;
  TStoreIdentity FIdentity;
  TStore FStore;
  bool FValid = false;
};

TKept<TBookmarkStore>& KeptMarks() {
  static TKept<TBookmarkStore> kept("bookmarks.txt", "bookmarks");
  return kept;
}

TKept<TFieldStore>& KeptFieldStore() {
  static TKept<TFieldStore> kept("fields.txt", "fields");
  return kept;
}

}  // namespace

std::string KeptBookmarksFile() { return KeptMarks().File(); }

std::string KeptBookmarkKey(const THexEditor& editor) {
  // A running program's window is named after the program, not a file.
  if (editor.IsLive()) return {};
  return FileExists(editor.FileName()) ? AbsolutePath(editor.FileName()) : std::string();
}

const TBookmarkStore& LoadKeptBookmarks() {
  bool usable = false;
  return KeptMarks().Read(usable);
}

void ChangeKeptBookmarks(const std::function<void(TBookmarkStore&)>& change) { KeptMarks().Change(change); }

std::string KeptFieldsFile() { return KeptFieldStore().File(); }

std::vector<TField> LoadKeptFields(const std::string& key) {
  bool usable = false;
  return key.empty() ? std::vector<TField>() : KeptFieldStore().Read(usable).Fields(key).Fields;
}

void KeepFields(const std::string& key, const std::vector<TField>& fields) {
  if (key.empty()) return;
  KeptFieldStore().Change([&](TFieldStore& store) { store.Keep(key, fields); });
}

}  // namespace byteloom
