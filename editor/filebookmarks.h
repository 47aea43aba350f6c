// Bookmarks kept per file: the bookmark rows set while a file was open,
// remembered under the file's absolute path, so that they come back when the
// file is opened again. The store is a text (one line per bookmark: path,
// row, offset and comment separated by tabs, with \\, \t and \n escaped)
// that the user interface keeps in the settings folder, never beside the
// user's file.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "editor/bookmarks.h"

namespace byteloom {

class TBookmarkStore {
 public:
  // The files remembered at most; the least recently remembered go first.
  static constexpr size_t kMaxFiles = 200;
  using TRows = std::array<std::array<std::string, TBookmarkTable::kCols>, TBookmarkTable::kBookmarks>;

  // Reads a stored text (lines it cannot read are skipped).
  void Parse(const std::string& text);
  std::string Text() const;

  // Remembers the table's bookmark rows for path; a table without a set row
  // forgets the path.
  void Remember(const std::string& path, const TBookmarkTable& table);
  // Puts the rows remembered for path into the table's rows 1 to 5; false
  // (the table unchanged) when none are.
  bool Recall(const std::string& path, TBookmarkTable& table) const;
  bool Has(const std::string& path) const;

 private:
  struct TEntry {
    std::string Path;
    TRows Rows;
  };
  std::vector<TEntry> FEntries;  // most recently remembered last
};

}  // namespace byteloom
