// SPDX-License-Identifier: GPL-3.0-or-later
// Bookmarks kept per file: every change of the shared table keeps the store
// in step for the file each row belongs to, a file's bookmarks come back
// without pushing out bookmarks of no file, they can be applied to another
// file, and the stored text reads back, odd characters included.
#include <gtest/gtest.h>

#include "editor/filebookmarks.h"

namespace byteloom {
namespace {

// The table's rows as "offset@owner" (empty rows as "-").
std::string Rows(const TBookmarkTable& t) {
  std::string out;
  for (int row = 1; row <= TBookmarkTable::kBookmarks; ++row)
    out += (t.IsSet(row) ? t.Cell(0, row) + "@" + t.Owner(row) : "-") + " ";
  return out;
}

std::string Offsets(const TBookmarkStore& s, const std::string& path) {
  std::string out;
  for (const TBookmark& m : s.Marks(path)) out += m.Offset + " ";
  return out;
}

TEST(KeptBookmarks, EachRowIsKeptForItsOwnFile) {
  TBookmarkTable t;
  TBookmarkStore s;
  TBookmarkMenu menu;
  AddBookmark(t, s, menu, 16, "/a");
  AddKeptBookmark(t, s, 32, "/a");
  AddKeptBookmark(t, s, 48, "/b");
  AddKeptBookmark(t, s, 64, "");  // a document without a file: shown, not kept
  EXPECT_EQ(Rows(t), "$10@/a $20@/a $30@/b $40@ - ");
  EXPECT_EQ(Offsets(s, "/a"), "$10 $20 ");
  EXPECT_EQ(Offsets(s, "/b"), "$30 ");

  // Edited from b's window, a's row stays a's; an offset cleared frees the row.
  EditKeptBookmark(t, s, 1, 1, "start", "/b");
  EXPECT_EQ(s.Marks("/a")[1].Comment, "start");
  EXPECT_EQ(Offsets(s, "/a"), "$20 $10 ");
  EditKeptBookmark(t, s, 0, 2, "", "/b");
  EXPECT_EQ(Rows(t), "$10@/a - $30@/b $40@ - ");
  EXPECT_EQ(Offsets(s, "/a"), "$10 ");
  EditKeptBookmark(t, s, 0, 5, "80", "/b");  // typed into a free row: b's
  EditKeptBookmark(t, s, 0, 0, "x", "/b");   // the header belongs to no file
  EXPECT_EQ(Rows(t), "$10@/a - $30@/b $40@ 80@/b ");
  EXPECT_EQ(Offsets(s, "/b"), "$30 80 ");

  // Applied to c: every row on show, those of no file become c's.
  EXPECT_EQ(ApplyBookmarks(t, s, "/c"), 4);
  EXPECT_EQ(Rows(t), "$10@/a - $30@/b $40@/c 80@/b ");
  EXPECT_EQ(Offsets(s, "/c"), "$10 $30 $40 80 ");
  EditKeptBookmark(t, s, 0, 3, "", "/c");  // b forgets it; c keeps what was applied
  EXPECT_EQ(Offsets(s, "/b"), "80 ");
  EXPECT_EQ(Offsets(s, "/c"), "$10 $30 $40 80 ");
  EditKeptBookmark(t, s, 0, 1, "", "/a");
  EXPECT_FALSE(s.Marks("/a").size());  // a path without bookmarks is forgotten
}

TEST(KeptBookmarks, RecallShowsAFilesBookmarksWithoutPushingOutOthers) {
  TBookmarkStore s;
  // As Add writes them.
  const auto keep = [&s](const std::string& off) { s.Keep("/a", {"$0" + off, " Pos: $0" + off}); };
  for (const char* off : {"1", "2", "3", "2"}) keep(off);  // "2" once only
  TBookmarkTable t;
  t.Add(2);  // the same bookmark on show already, of no file
  t.Add(9, "/b");
  EXPECT_EQ(s.Recall("/a", t), 0);
  EXPECT_EQ(Rows(t), "$02@ $09@/b $01@/a $03@/a - ");
  t.Add(7);
  EXPECT_EQ(s.Recall("/a", t), 0);  // nothing twice
  EXPECT_EQ(Rows(t), "$02@ $09@/b $01@/a $03@/a $07@ ");
  // A full table: rows of another file (kept there) make room, rows of no
  // file never do.
  for (const char* off : {"4", "5", "6"}) keep(off);
  EXPECT_EQ(s.Recall("/a", t), 2);
  EXPECT_EQ(Rows(t), "$02@ $04@/a $01@/a $03@/a $07@ ");
}

// A file opened again (the caret on its bookmark, as the command line's
// offset puts it): its first Bookmarks menu offers Edit Bookmark, and Add
// Bookmark there (where Edit Bookmark was looked for) shows the bookmark once.
TEST(KeptBookmarks, ABookmarkOfAReopenedFileIsShownOnce) {
  TBookmarkStore s;
  TBookmarkTable t;
  TBookmarkMenu menu;
  AddBookmark(t, s, menu, 8189, "/f");
  EditKeptBookmark(t, s, 0, 1, "1DF3D", "/f");  // not a number
  for (const char* repair : {"$1FFD", "8189"}) {
    t = TBookmarkTable();  // the next run
    menu = TBookmarkMenu();
    EXPECT_EQ(s.Recall("/f", t), 0);
    RefreshBookmarkMenu(t, menu);
    EXPECT_TRUE(menu.EditEnabled) << repair;
    EditKeptBookmark(t, s, 0, 1, repair, "/f");
    AddBookmark(t, s, menu, 8189, "/f");
    RefreshBookmarkMenu(t, menu);
    EXPECT_EQ(Rows(t), repair + std::string("@/f - - - - "));
    EXPECT_EQ(Offsets(s, "/f"), repair + std::string(" "));
    EXPECT_FALSE(menu.Visible[1]) << repair;
  }
}

TEST(KeptBookmarks, TheStoredTextAndItsLimits) {
  TBookmarkStore s;
  s.Keep("/data/a b.sav", {"16", "tab\there\\ and\nline"});
  s.Keep("/data/a b.sav", {"$20", ""});
  s.Keep("", {"1", "no file"});
  s.Keep("/x", {"", "no offset"});
  TBookmarkStore back;
  // Lines of the earlier form (with a row number) still read; lines that
  // are not bookmarks are kept as they are, ahead of the bookmarks.
  back.Parse(s.Text() + "garbage line\n/old\t3\t7\tseven\n\n/y\t\tnothing");
  EXPECT_EQ(back.Text(), "garbage line\n/y\t\tnothing\n" + s.Text() + "/old\t7\tseven\n");
  EXPECT_EQ(back.Marks("/data/a b.sav"), (std::vector<TBookmark>{{"16", "tab\there\\ and\nline"}, {"$20", ""}}));
  // The oldest bookmarks of a file, and the least recently changed files, go first.
  for (size_t i = 0; i <= TBookmarkStore::kMaxPerFile; ++i) back.Keep("/f", {std::to_string(i), ""});
  EXPECT_EQ(back.Marks("/f").size(), TBookmarkStore::kMaxPerFile);
  EXPECT_EQ(back.Marks("/f").front().Offset, "1");
  back.Keep("/data/a b.sav", {"16", "tab\there\\ and\nline"});  // changed again: most recent
  for (size_t i = 0; i + 2 < TBookmarkStore::kMaxFiles; ++i) back.Keep("/g" + std::to_string(i), {"1", ""});
  EXPECT_TRUE(back.Marks("/old").empty());
  EXPECT_FALSE(back.Marks("/f").empty());
  back.Keep("/h", {"1", ""});
  EXPECT_TRUE(back.Marks("/f").empty());
  EXPECT_FALSE(back.Marks("/data/a b.sav").empty());
}

}  // namespace
}  // namespace byteloom
