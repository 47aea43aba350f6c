// The bookmarks kept per file live in the settings folder ("bookmarks.txt"
// beside the settings file). Each change reads the store, changes it and
// writes it back at once, so nothing waits for a window to close and two
// running programs keep each other's bookmarks.
#pragma once

#include <functional>
#include <string>

namespace byteloom {

class THexEditor;
class TBookmarkStore;

// The key the document's bookmarks are kept under: its file's absolute
// path, or empty for a document without a file.
std::string KeptBookmarkKey(const THexEditor& editor);
// The store as the settings folder holds it. Raises EFileError when it
// exists but cannot be read.
TBookmarkStore LoadKeptBookmarks();
// Runs change on the stored bookmarks and writes them back.
void ChangeKeptBookmarks(const std::function<void(TBookmarkStore&)>& change);

}  // namespace byteloom
