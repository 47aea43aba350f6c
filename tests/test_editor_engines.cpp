// The bookmark table and menu, the binary edit of a byte, and the
// clipboard's bytes and text.
#include <gtest/gtest.h>

#include "editor/bitedit.h"
#include "editor/bookmarks.h"
#include "editor/clipdata.h"
#include "platform/numconv.h"
#include "tests/support/markup.h"

namespace byteloom::test {
namespace {

// --- Bookmarks ---------------------------------------------------------------------

TEST(Bookmarks, AddFillsTheFirstFreeRowUntilAllFiveAreSet) {
  TBookmarkTable t;
  EXPECT_EQ(t.Cell(0, 0), "Offset (hex)");
  EXPECT_EQ(t.Cell(1, 0), "Comment");
  EXPECT_EQ(t.Add(4096), 1);
  EXPECT_EQ(t.Cell(0, 1), "4096");
  EXPECT_EQ(t.Cell(1, 1), " Pos: $4096");  // decimal digits after the "$"
  for (int row = 2; row <= 5; ++row) EXPECT_EQ(t.Add(row), row);
  EXPECT_EQ(t.Add(99), 0);  // all set: nothing changes
  EXPECT_EQ(t.Cell(0, 5), "5");
  t.SetCell(0, 3, "");  // an emptied offset frees its row
  EXPECT_EQ(t.Add(7), 3);
  t.SetCell(0, 0, "x");
  t.WriteHeader();
  EXPECT_EQ(t.Cell(0, 0), "Offset (hex)");
}

TEST(Bookmarks, MenuShowsSetRowsAndEnablesEditOneOpeningLater) {
  TBookmarkTable t;
  TBookmarkMenu menu;
  AddBookmark(t, menu, 4096);
  EXPECT_FALSE(menu.EditEnabled);
  RefreshBookmarkMenu(t, menu);
  EXPECT_FALSE(menu.EditEnabled);  // Bookmark1 was still hidden
  EXPECT_TRUE(menu.Visible[0]);
  EXPECT_EQ(menu.Caption[0], " Pos: $4096");
  EXPECT_FALSE(menu.Visible[1]);
  RefreshBookmarkMenu(t, menu);
  EXPECT_TRUE(menu.EditEnabled);
  // A changed comment shows at the next opening; an emptied row's entry stays.
  t.SetCell(1, 1, "start");
  AddBookmark(t, menu, 7);
  RefreshBookmarkMenu(t, menu);
  EXPECT_EQ(menu.Caption[0], "start");
  EXPECT_EQ(menu.Caption[1], " Pos: $7");
  t.SetCell(0, 2, "");
  t.SetCell(1, 2, "gone");
  RefreshBookmarkMenu(t, menu);
  EXPECT_TRUE(menu.Visible[1]);
  EXPECT_EQ(menu.Caption[1], " Pos: $7");
}

class BookmarkJumps : public MarkupTest {};

TEST_F(BookmarkJumps, OffsetTextMovesTheCaretInsideTheDocumentOnly) {
  Load(Pattern(5000));
  Ed->SetSelStart(10);
  TBookmarkTable t;
  struct Row {
    const char* offset;
    bool moved;
    int32_t caret;
  } rows[] = {{"4096", true, 4096}, {"$1000", true, 4096}, {"4999", true, 4999},
              {"5000", false, 10},  {"-1", false, 10},     {"0x10", false, 10}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.offset);
    Ed->SetSelStart(10);
    t.SetCell(0, 2, r.offset);
    if (std::string(r.offset) == "0x10") {
      EXPECT_THROW(t.JumpTo(2, *Ed), EConvertError);
    } else {
      EXPECT_EQ(t.JumpTo(2, *Ed), r.moved);
    }
    EXPECT_EQ(Ed->GetCursorPos(), r.caret);
  }
}

// --- Binary edit ---------------------------------------------------------------------

TEST(BinaryEdit, BitsAndLabels) {
  const TBitBoxes a5 = ByteToBits(0xA5);
  EXPECT_EQ(a5, (TBitBoxes{true, false, true, false, false, true, false, true}));
  EXPECT_EQ(DezText(0xA5), "165");
  EXPECT_EQ(HexText(0xA5), "A5");
  TBitBoxes off8 = a5;
  off8[0] = false;  // CheckBox2, bit 8
  EXPECT_EQ(BitsToByte(off8), 37);
  EXPECT_EQ(HexText(37), "25");
  EXPECT_EQ(HexText(0), "00");
  for (int v = 0; v < 256; ++v) ASSERT_EQ(BitsToByte(ByteToBits(static_cast<uint8_t>(v))), v);
}

class BinaryEditOk : public MarkupTest {};

TEST_F(BinaryEditOk, ReplacesTheSelectionOrInsertsAtTheCaret) {
  struct Row {
    const char* doc;
    const char* dez;
    const char* after;
  } rows[] = {
      {"00 {11} 22", "255", "00 [{FF}] 11 22"},
      {"00 [{11} 22 33] 44", "165", "00 [{A5}] 44"},
      {"00 [11 22 {33}] 44", "0", "00 {00} 44"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.doc);
    Set(r.doc);
    EXPECT_TRUE(WriteBinaryEdit(*Ed, r.dez));
    EXPECT_EQ(State(), r.after);
  }
  EXPECT_THROW(WriteBinaryEdit(*Ed, "x"), EConvertError);
}

// --- Clipboard ------------------------------------------------------------------------

std::u16string Text(const Bytes& b) {
  std::u16string t(ClipTextLength(b.data(), b.size()), u'\0');
  FillClipText(b.data(), b.size(), t.data());
  return t;
}

TEST(ClipData, TextForOtherProgramsEndsAtTheFirstZero) {
  EXPECT_EQ(Text({0x41, 0x42, 0x43}), u"ABC");
  EXPECT_EQ(Text({0x41, 0x00, 0x42}), u"A");
  EXPECT_EQ(Text({0x00, 0x41}), u"");
  EXPECT_EQ(Text({}), u"");
  EXPECT_EQ(Text({0x80, 0xE4, 0x9F, 0x81}), u"\u20AC\u00E4\u0178\u0081");
}

TEST(ClipData, TextFromOtherProgramsBecomesWindows1252) {
  const std::u16string in = u"A\u20AC\u00FC\u03A9\U0001F600\xD800x";
  EXPECT_EQ(ClipTextToBytes(in.data(), in.size()), (Bytes{0x41, 0x80, 0xFC, '?', '?', '?', 'x'}));
  Bytes all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<uint8_t>(b));
  const std::u16string t = Text(all);
  EXPECT_EQ(ClipTextToBytes(t.data(), t.size()), all);
}

class ClipCommands : public MarkupTest {
 protected:
  Bytes Copy() {
    const TClipRange r = ClipRange(*Ed);
    Bytes out(static_cast<size_t>(r.Count));
    ReadClipRange(*Ed, r, out.data());
    return out;
  }
};

TEST_F(ClipCommands, CopyTakesTheSelectionInDocumentOrder) {
  for (const char* doc : {"00 [11 00 {33}] 44", "00 [{11} 00 33] 44"}) {
    Set(doc);
    EXPECT_EQ(Copy(), (Bytes{0x11, 0x00, 0x33})) << doc;
  }
  Set("00 {11} 22");
  EXPECT_EQ(ClipRange(*Ed).Count, 0);  // nothing selected: nothing to copy
}

TEST_F(ClipCommands, PasteKeepsEveryByte) {
  struct Row {
    const char* doc;
    Bytes paste;
    const char* after;
  } rows[] = {
      {"00 {11} 22", {0x41, 0x00, 0x42}, "00 [{41} 00 42] 11 22"},
      {"00 [{11} 22] 33", {0x41}, "00 [{41}] 33"},
      {"00 [11 {22}] 33", {}, "00 {33}"},
      {"00 {11}", {}, "00 {11}"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.doc);
    Set(r.doc);
    PasteBytes(*Ed, r.paste.data(), r.paste.size());
    EXPECT_EQ(State(), r.after);
  }
}

}  // namespace
}  // namespace byteloom::test
