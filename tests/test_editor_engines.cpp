// SPDX-License-Identifier: GPL-3.0-or-later
// The bookmark table and menu, the binary edit of a byte, and the
// clipboard's bytes and text.
#include <gtest/gtest.h>

#include "control/bookmarks.h"
#include "editor/bitedit.h"
#include "editor/clipdata.h"
#include "editor/filebookmarks.h"
#include "platform/codepages.h"
#include "platform/numconv.h"
#include "tests/support/markup.h"

namespace byteloom::test {
namespace {

TEST(Bookmarks, FiveRowsAndTheMenuThatShowsThem) {
  TBookmarkTable t;
  TBookmarkStore store;
  TBookmarkMenu menu;
  EXPECT_EQ(t.Cell(0, 0) + "|" + t.Cell(1, 0), "Offset (hex)|Comment");
  // Offset and comment in hex after the "$", as everywhere else.
  for (const auto& [pos, text] : {std::pair{0x40, "$40"}, {0x1FF, "$1FF"}, {5, "$05"}, {0x7FFFFFFF, "$7FFFFFFF"}}) {
    TBookmarkTable one;
    one.Add(pos);
    EXPECT_EQ(one.Cell(0, 1) + "|" + one.Cell(1, 1), text + std::string("| Pos: ") + text);
    EXPECT_EQ(one.RowAt(pos), 1) << text;  // the same number conversion reads it back
  }
  AddBookmark(t, store, menu, 4096, "/a");
  EXPECT_TRUE(menu.EditEnabled);  // a bookmark to edit, whatever the menu showed before
  RefreshBookmarkMenu(t, menu);
  EXPECT_TRUE(menu.Visible[0] && !menu.Visible[1] && menu.EditEnabled);
  EXPECT_EQ(menu.Caption[0], " Pos: $1000");
  TBookmarkMenu fresh;  // another window's menu, opened for the first time
  RefreshBookmarkMenu(t, fresh);
  EXPECT_TRUE(fresh.EditEnabled);
  RefreshBookmarkMenu(TBookmarkTable(), fresh);  // rows gone, entries still on show
  EXPECT_TRUE(fresh.EditEnabled);
  RefreshBookmarkMenu(TBookmarkTable(), fresh = {});
  EXPECT_FALSE(fresh.EditEnabled);
  // One position, one row: by value, whatever the offset's spelling (decimal, as kept before).
  t.SetCell(0, 1, "4096");
  EXPECT_EQ(t.Add(4096, "/b"), 1);
  EXPECT_EQ(t.Owner(1), "/a");
  for (int row = 2; row <= 5; ++row) EXPECT_EQ(t.Add(row), row);
  EXPECT_EQ(t.Add(2, "/c") * 10 + t.Add(3), 23);
  EXPECT_EQ(t.Owner(2), "/c");  // a row of no file becomes the adding file's
  EXPECT_EQ(t.Add(99), 0);  // all five set: nothing changes
  RefreshBookmarkMenu(t, menu);
  t.SetCell(0, 3, "");      // an emptied offset frees its row, its entry stays
  t.SetCell(1, 1, "start");
  RefreshBookmarkMenu(t, menu);
  EXPECT_EQ(menu.Caption[0], "start");
  EXPECT_TRUE(menu.Visible[2]);
  EXPECT_EQ(menu.Caption[2], " Pos: $03");
  EXPECT_EQ(t.Add(7), 3);
  t.SetCell(0, 0, "x");
  t.WriteHeader();
  EXPECT_EQ(t.Cell(0, 0), "Offset (hex)");
}

class EngineCommands : public MarkupTest {};

TEST_F(EngineCommands, BookmarkJumpsStayInsideTheDocument) {
  Load(Pattern(5000));
  TBookmarkTable t;
  const std::pair<const char*, int32_t> rows[] = {{"4096", 4096}, {"$1000", 4096}, {"4999", 4999}, {"5000", 10}, {"-1", 10}};
  for (const auto& [offset, to] : rows) {
    Ed->SetSelStart(10);
    t.SetCell(0, 2, offset);
    EXPECT_EQ(t.JumpTo(2, *Ed), to != 10) << offset;
    EXPECT_EQ(Ed->GetCursorPos(), to) << offset;
  }
  // Offsets that are not numbers: the jump does nothing, as outside the document.
  for (const char* offset : {"0x10", "1DF3D", "", "$", "12 "}) {
    t.SetCell(0, 2, offset);
    EXPECT_FALSE(t.JumpTo(2, *Ed)) << offset;
    EXPECT_EQ(Ed->GetCursorPos(), 10) << offset;
  }
}

TEST(BinaryEdit, BitsAndLabels) {
  const TBitBoxes a5 = ByteToBits(0xA5);  // CheckBox2 (bit 8) first
  EXPECT_EQ(a5, (TBitBoxes{true, false, true, false, false, true, false, true}));
  EXPECT_EQ(DezText(0xA5) + " " + HexText(0xA5) + " " + HexText(0), "165 A5 00");
  TBitBoxes off8 = a5;
  off8[0] = false;
  EXPECT_EQ(BitsToByte(off8), 37);
  for (int v = 0; v < 256; ++v) ASSERT_EQ(BitsToByte(ByteToBits(static_cast<uint8_t>(v))), v);
}

TEST_F(EngineCommands, BinaryEditOverwritesTheCaretByteOrReplacesTheSelection) {
  // document | the byte | after | the undo step it made
  const std::tuple<const char*, uint8_t, const char*, const char*> edits[] = {
      {"00 {11} 22", 255, "00 {FF} 22", "Byte changed"},
      {"00 11 {22}", 1, "00 11 {01}", "Byte changed"},
      {"00 [{11} 22 33] 44", 165, "00 [{A5}] 44", "Replace selection"},
      {"00 [11 22 {33}] 44", 0, "00 {00} 44", "Replace selection"}};
  for (const auto& [document, value, after, step] : edits) {
    Set(document);
    Ed->ResetUndo();
    const Bytes before = Document();
    EXPECT_TRUE(WriteBinaryEdit(*Ed, value));
    EXPECT_EQ(State(), after) << document;
    EXPECT_EQ(Ed->UndoCount(), 1) << document;
    EXPECT_EQ(Ed->UndoDescription(), step) << document;
    Ed->Undo();
    EXPECT_EQ(Document(), before) << document;
  }
  const std::tuple<const char*, Bytes, const char*> pastes[] = {
      {"00 {11} 22", {0x41, 0x00, 0x42}, "00 [{41} 00 42] 11 22"},  // every byte, zeros too
      {"00 [{11} 22] 33", {0x41}, "00 [{41}] 33"},
      {"00 [11 {22}] 33", {}, "00 {33}"},
      {"00 {11}", {}, "00 {11}"}};
  for (const auto& [doc, bytes, after] : pastes) {
    Set(doc);
    PasteBytes(*Ed, bytes.data(), bytes.size());
    EXPECT_EQ(State(), after) << doc;
  }
}

TEST_F(EngineCommands, CopyTakesTheSelectionInDocumentOrder) {
  for (const char* doc : {"00 [11 00 {33}] 44", "00 [{11} 00 33] 44", "00 {11} 22"}) {
    Set(doc);
    const TClipRange r = ClipRange(*Ed);
    Bytes out(static_cast<size_t>(r.Count));
    ReadClipRange(*Ed, r, out.data());
    EXPECT_EQ(out, doc[3] == '[' ? (Bytes{0x11, 0x00, 0x33}) : Bytes{}) << doc;
  }
}

std::u16string Text(const Bytes& b) {
  std::u16string t(ClipTextLength(b.data(), b.size()), u'\0');
  FillClipText(b.data(), b.size(), t.data());
  return t;
}

TEST(ClipData, TextEndsAtTheFirstZeroAndIsWindows1252BothWays) {
  EXPECT_EQ(Text({0x41, 0x42, 0x43}), u"ABC");
  EXPECT_EQ(Text({0x41, 0x00, 0x42}), u"A");
  EXPECT_EQ(Text({}), u"");
  EXPECT_EQ(Text({0x80, 0xE4, 0x9F, 0x81}), u"\u20AC\u00E4\u0178\u0081");
  const std::u16string in = u"A\u20AC\u00FC\u03A9\U0001F600\xD800x";  // no code: "?"
  EXPECT_EQ(ClipTextToBytes(in.data(), in.size()), (Bytes{0x41, 0x80, 0xFC, '?', '?', '?', 'x'}));
  Bytes all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  const std::u16string t = Text(all);
  EXPECT_EQ(ClipTextToBytes(t.data(), t.size()), all);
}

}  // namespace
}  // namespace byteloom::test
