// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/bookmarks.h"

#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

void TBookmarkTable::WriteHeader() {
  SetCell(0, 0, "Offset (hex)");
  SetCell(1, 0, "Comment");
}

int TBookmarkTable::RowAt(int64_t pos) const {
  for (int row = 1; row <= kBookmarks; ++row)
    if (IsSet(row) && TryStrToInt64(Cell(0, row)) == pos) return row;
  return 0;
}

int TBookmarkTable::Add(int64_t pos, const std::string& owner) {
  if (const int row = RowAt(pos)) {
    if (Owner(row).empty()) SetOwner(row, owner);
    return row;
  }
  for (int row = 1; row <= kBookmarks; ++row) {
    if (IsSet(row)) continue;
    const std::string hex = "$" + HexMin2(static_cast<uint32_t>(pos));
    SetCell(0, row, hex);
    SetCell(1, row, " Pos: " + hex);
    SetOwner(row, owner);
    return row;
  }
  return 0;
}

bool TBookmarkTable::JumpTo(int row, THexEditor& editor) const {
  const std::optional<int64_t> pos = TryStrToInt64(Cell(0, row));
  return pos && editor.Seek(*pos, 0, true);
}

void RefreshBookmarkMenu(const TBookmarkTable& table, TBookmarkMenu& menu) {
  for (int i = 0; i < TBookmarkTable::kBookmarks; ++i) {
    if (!table.IsSet(i + 1)) continue;
    menu.Caption[static_cast<size_t>(i)] = table.Cell(1, i + 1);
    menu.Visible[static_cast<size_t>(i)] = true;
  }
  menu.EditEnabled = EditBookmarkEnabled(table, menu);
}

bool EditBookmarkEnabled(const TBookmarkTable& table, const TBookmarkMenu& menu) {
  for (int i = 0; i < TBookmarkTable::kBookmarks; ++i)
    if (table.IsSet(i + 1) || menu.Visible[static_cast<size_t>(i)]) return true;
  return false;
}

}  // namespace byteloom
