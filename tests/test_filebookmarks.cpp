// Bookmarks kept per file: remembered per path, recalled into the table, and
// the stored text read back, odd characters included.
#include <gtest/gtest.h>

#include "editor/filebookmarks.h"

namespace byteloom {
namespace {

TEST(BookmarkStore, RemembersRecallsAndSurvivesItsText) {
  TBookmarkTable table;
  table.Add(16);
  table.Add(4096);
  table.SetCell(1, 2, "tab\there\\ and\nline");
  TBookmarkStore store;
  store.Remember("/data/a b.sav", table);
  TBookmarkTable empty;
  store.Remember("/data/none.sav", empty);  // nothing set: nothing kept
  EXPECT_FALSE(store.Has("/data/none.sav"));

  TBookmarkStore reread;
  reread.Parse(store.Text() + "garbage line\n/x\t9\t1\tbad row\n");
  TBookmarkTable back;
  back.Add(7);
  back.Add(8);
  back.Add(9);  // rows the recalled file does not have are emptied
  ASSERT_TRUE(reread.Recall("/data/a b.sav", back));
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row)
    for (int col = 0; col < TBookmarkTable::kCols; ++col) EXPECT_EQ(back.Cell(col, row), table.Cell(col, row));
  EXPECT_FALSE(reread.Recall("/data/other", back));
  EXPECT_FALSE(reread.Has("/x"));

  // Remembering again replaces; the oldest files go past the limit.
  for (size_t i = 0; i < TBookmarkStore::kMaxFiles; ++i) reread.Remember("/f" + std::to_string(i), table);
  EXPECT_FALSE(reread.Has("/data/a b.sav"));
  EXPECT_TRUE(reread.Has("/f0"));
  reread.Remember("/f0", empty);
  EXPECT_FALSE(reread.Has("/f0"));
}

}  // namespace
}  // namespace byteloom
