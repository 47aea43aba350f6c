// SPDX-License-Identifier: GPL-3.0-or-later
// The five bookmarks: a table of six rows (row 0 the header) and two columns
// (offset, comment), one for the program, shared by all editor windows (each
// row remembers the file it was made on), and
// the rules of Add Bookmark, the Bookmarks menu and the jumps. The dialog's
// grid and every window's menu render the table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace byteloom {

class THexEditor;

class TBookmarkTable {
 public:
  static constexpr int kRows = 6;
  static constexpr int kCols = 2;
  static constexpr int kBookmarks = 5;  // rows 1 to 5

  TBookmarkTable() { WriteHeader(); }
  // Row 0: "Offset (hex)" and "Comment" (again each time the dialog shows).
  void WriteHeader();
  const std::string& Cell(int col, int row) const { return FCells.at(static_cast<size_t>(row)).at(static_cast<size_t>(col)); }
  // Any cell may be edited, the header's too.
  void SetCell(int col, int row, const std::string& text) {
    FCells.at(static_cast<size_t>(row)).at(static_cast<size_t>(col)) = text;
  }
  // Bookmark row (1..5) holds an offset.
  bool IsSet(int row) const { return !Cell(0, row).empty(); }
  // Stores pos in the first free row (offset "$" and upper-case hex digits,
  // at least two, comment " Pos: " and the same: " Pos: $40"); the row, or 0
  // when all five are set (then nothing changes). Offsets written in decimal
  // (by hand, or kept from earlier versions) still read as ever. owner: the key
  // of the file the bookmark was made on (empty: none). A position a set row
  // already points to gets no second row: that row is returned (and becomes
  // owner's when it belonged to no file).
  int Add(int64_t pos, const std::string& owner = {});
  // The row (1..5) of a set bookmark at pos, or 0.
  int RowAt(int64_t pos) const;
  // The file a bookmark row belongs to (empty: none, or not known).
  const std::string& Owner(int row) const { return FOwners.at(static_cast<size_t>(row)); }
  void SetOwner(int row, const std::string& owner) { FOwners.at(static_cast<size_t>(row)) = owner; }
  // Moves the caret of editor to bookmark row (1..5): true when it moved.
  // An offset that is not a number, or one outside the document, is
  // ignored: the caret stays and nothing is reported.
  bool JumpTo(int row, THexEditor& editor) const;

 private:
  std::array<std::array<std::string, kCols>, kRows> FCells;
  std::array<std::string, kRows> FOwners;
};

// One editor window's Bookmarks menu: "&Edit Bookmark" and the entries
// Bookmark1 ... Bookmark5 (hidden and without caption at first).
struct TBookmarkMenu {
  bool EditEnabled = false;
  std::array<bool, TBookmarkTable::kBookmarks> Visible{};
  std::array<std::string, TBookmarkTable::kBookmarks> Caption;
};
// The menu opens: the entries of set rows show their comments (an entry
// once shown stays, with its last caption), and "&Edit Bookmark" is offered
// while there is a bookmark to edit or repair: a row set or an entry on show.
void RefreshBookmarkMenu(const TBookmarkTable& table, TBookmarkMenu& menu);
bool EditBookmarkEnabled(const TBookmarkTable& table, const TBookmarkMenu& menu);

}  // namespace byteloom
