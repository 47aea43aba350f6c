#include "editor/bookmarks.h"

#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

void TBookmarkTable::WriteHeader() {
  SetCell(0, 0, "Offset (hex)");
  SetCell(1, 0, "Comment");
}

int TBookmarkTable::Add(int32_t pos, const std::string& owner) {
  for (int row = 1; row <= kBookmarks; ++row) {
    if (IsSet(row)) continue;
    SetCell(0, row, std::to_string(pos));
    SetCell(1, row, " Pos: $" + std::to_string(pos));
    SetOwner(row, owner);
    return row;
  }
  return 0;
}

bool TBookmarkTable::JumpTo(int row, THexEditor& editor) const {
  return editor.Seek(StrToInt(Cell(0, row)), 0, true);
}

TBookmarkTable& Bookmarks() {
  static TBookmarkTable table;
  return table;
}

void RefreshBookmarkMenu(const TBookmarkTable& table, TBookmarkMenu& menu) {
  menu.EditEnabled = menu.Visible[0];
  for (int i = 0; i < TBookmarkTable::kBookmarks; ++i) {
    if (!table.IsSet(i + 1)) continue;
    menu.Caption[static_cast<size_t>(i)] = table.Cell(1, i + 1);
    menu.Visible[static_cast<size_t>(i)] = true;
  }
}

}  // namespace byteloom
