// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmarks kept per file: every bookmark made on a file is kept under the
// file's absolute path, so that it comes back when the file is opened again,
// and the bookmarks on show can be kept for another file too (another
// snapshot of the same data). The store is a text (one line per bookmark:
// path, offset and comment separated by tabs, with \\, \t and \n escaped)
// that the user interface keeps in the settings folder, never beside the
// user's file. Lines that are not bookmarks (another version's, the user's
// own) are kept as they are, ahead of the bookmarks. The shared bookmark
// table stays what the menus show; the rules below keep the store in step
// with every change of it.
#pragma once

#include <string>
#include <vector>

#include "control/bookmarks.h"

namespace byteloom {

struct TBookmark {
  std::string Offset;
  std::string Comment;
  bool operator==(const TBookmark&) const = default;
};

class TBookmarkStore {
 public:
  // The files kept at most (the least recently changed go first), and the
  // bookmarks kept per file (the oldest go first).
  static constexpr size_t kMaxFiles = 200;
  static constexpr size_t kMaxPerFile = 100;

  // Reads a stored text; lines that are not bookmarks are kept for Text.
  void Parse(const std::string& text);
  std::string Text() const;

  // The bookmarks kept for path, oldest first.
  std::vector<TBookmark> Marks(const std::string& path) const;
  // Keeps mark for path (once); the path becomes the most recently changed.
  void Keep(const std::string& path, const TBookmark& mark);
  // Forgets mark for path; a path without bookmarks is forgotten.
  void Forget(const std::string& path, const TBookmark& mark);
  // Shows path's bookmarks in the table's rows: each one not on show yet
  // goes to a free row, else to a row of another file (kept there anyway);
  // rows of no file are never replaced. Returns how many found no row.
  int Recall(const std::string& path, TBookmarkTable& table) const;

 private:
  struct TEntry {
    std::string Path;
    std::vector<TBookmark> Marks;
  };
  std::vector<TEntry>::iterator Find(const std::string& path);
  std::vector<TEntry> FEntries;  // most recently changed last
  std::string FOther;            // the lines that are not bookmarks, each with its "\n"
};

// Add Bookmark on the file owner (empty: a document without a file): the
// table's row (0 when all five are set), kept for the file.
int AddKeptBookmark(TBookmarkTable& table, TBookmarkStore& store, int64_t pos, const std::string& owner);
// Add Bookmark in a window: the caret position to the table (kept for the
// window's file), then "&Edit Bookmark" is offered.
void AddBookmark(TBookmarkTable& table, TBookmarkStore& store, TBookmarkMenu& menu, int64_t caretPos,
                 const std::string& owner);
// An edit of a table cell from a window showing file editor: the row's old
// bookmark is forgotten for its file and the new one kept for it (a row of no
// file becomes the editing window's); a row left without offset belongs to
// no file.
void EditKeptBookmark(TBookmarkTable& table, TBookmarkStore& store, int col, int row, const std::string& text,
                      const std::string& editor);
// Keeps every bookmark on show for the file target as well (rows of no file
// become its); returns how many.
int ApplyBookmarks(TBookmarkTable& table, TBookmarkStore& store, const std::string& target);

}  // namespace byteloom
