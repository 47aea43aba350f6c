// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmarks kept per file live in the settings folder ("bookmarks.txt"
// beside the settings file). Each change reads the store, changes it and
// writes it back at once, so nothing waits for a window to close and two
// running programs keep each other's bookmarks. The store is read without
// blocking and with a size limit, and parsed again only when the file
// changed; one that cannot be used (a FIFO, a device, a link that may not be
// followed, an unreadable or too large file) is reported once per run and
// skipped: files open as ever, and it is never overwritten.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace byteloom {

class THexEditor;
class TBookmarkStore;
struct TField;

// The store's file: SettingsFolder() + "/bookmarks.txt".
std::string KeptBookmarksFile();
// Larger stores are reported and skipped.
constexpr int64_t kMaxKeptBookmarksSize = int64_t{16} << 20;

// The key the document's bookmarks are kept under: its file's absolute
// path, or empty for a document without a file (a running program's memory).
std::string KeptBookmarkKey(const THexEditor& editor);
// The store as the settings folder holds it (empty where there is none or
// it cannot be used); valid until the next call.
const TBookmarkStore& LoadKeptBookmarks();
// Runs change on the stored bookmarks and writes them back; where the store
// cannot be used, change runs on no bookmarks and nothing is written.
void ChangeKeptBookmarks(const std::function<void(TBookmarkStore&)>& change);

// The fields kept per file live beside them in "fields.txt", read and
// written by the same rules, under the same key as the file's bookmarks.
std::string KeptFieldsFile();
std::vector<TField> LoadKeptFields(const std::string& key);
// Keeps fields for the file of key (none: forgets them); nothing for an empty key.
void KeepFields(const std::string& key, const std::vector<TField>& fields);

}  // namespace byteloom
