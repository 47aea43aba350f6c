// SPDX-License-Identifier: GPL-3.0-or-later
// Keyboard, mouse and focus input of the hex editor: the key table, typing
// over nibbles and bytes, OEM entry, markers, Shift and mouse selections,
// the cells the caret may enter, the owner's events and the state messages.
#include <gtest/gtest.h>

#include <functional>

#include "control/translation.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

class Input : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(800, 600);
    Ed->OnClick = [this](TCustomGrid&) { ++Clicks; };
    Ed->OnDblClick = [this](TCustomGrid&) { ++DblClicks; };
    Ed->OnKeyUp = [this](TCustomGrid&, uint16_t& key, TShiftState) {
      KeyUps.push_back(key);
      OemAtKeyUp = Ed->OemCharEntry();
    };
    Ed->OnMouseUp = [this](TCustomGrid&, TMouseButton, TShiftState, int, int) { ++MouseUps; };
    Ed->OnStateChanged = [this](THexEditor&) { ++StateChanges; };
  }

  // A document of 40 bytes 0x00, 0x01 ...: rows 0 and 1 full, row 2 with 8 bytes.
  void LoadCounting(size_t size = 40) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i);
    Load(data);
  }
  // Puts the caret on a byte in the chosen field and forgets the events so far.
  void Place(int32_t pos, bool inChar, bool second = false) {
    Ed->SetSelStart(pos);
    bool side = false;
    if (Ed->IsCharFieldActive() != inChar) Ed->SetCol(Ed->GetOtherFieldCol(Ed->Col(), side));
    if (second) Ed->SetCol(Ed->Col() + 1);
    Forget();
  }
  void Forget() {
    Clicks = DblClicks = MouseUps = 0;
    KeyUps.clear();
    Host.DeliverPosted();
    StateChanges = 0;
    Host.ClearRecords();
  }
  bool Key(uint16_t key, TShiftState shift = 0) {
    uint16_t k = key;
    Ed->KeyDown(k, shift);
    return k == 0;
  }
  void Release(uint16_t key, TShiftState shift = 0) {
    uint16_t k = key;
    Ed->KeyUp(k, shift);
  }
  void Type(const std::string& text) {
    for (char c : text) Ed->KeyPress(static_cast<uint8_t>(c));
  }
  TPoint Center(int col, int row) {
    const TRect r = Ed->CellRect(col, row);
    EXPECT_FALSE(r.IsEmpty()) << col << "," << row;
    return TPoint{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  void Press(int col, int row, TShiftState shift = ssLeft) {
    const TPoint p = Center(col, row);
    Host.Held.insert(VK_LBUTTON);
    Ed->MouseDown(TMouseButton::mbLeft, shift, p.X, p.Y);
  }
  void DragTo(int col, int row) {
    const TPoint p = Center(col, row);
    Ed->MouseMove(ssLeft, p.X, p.Y);
  }
  void ReleaseMouse(int col, int row) {
    const TPoint p = Center(col, row);
    Host.Held.erase(VK_LBUTTON);
    Ed->MouseUp(TMouseButton::mbLeft, 0, p.X, p.Y);
  }
  std::pair<int, int> Caret() const { return {Ed->Col(), Ed->Row()}; }
  void ExpectSelection(int32_t min, int32_t max, int32_t anchor) {
    EXPECT_EQ(Ed->SelMin(), min);
    EXPECT_EQ(Ed->SelMax(), max);
    EXPECT_EQ(Ed->SelAnchor(), anchor);
  }
  void ExpectNoSelection() { ExpectSelection(-1, -1, -1); }

  // Columns of byte p (B = 16): first digit, second digit, character.
  static int Hi(int32_t p) { return 2 + 2 * (p % 16); }
  static int Ch(int32_t p) { return 35 + p % 16; }

  int Clicks = 0, DblClicks = 0, MouseUps = 0, StateChanges = 0;
  std::vector<uint16_t> KeyUps;
  bool OemAtKeyUp = false;
};

// ---------------------------------------------------------------------------
// The key table
// ---------------------------------------------------------------------------

TEST_F(Input, CursorKeys) {
  struct Case {
    const char* What;
    int32_t From;
    bool InChar;
    bool Second;  // on the byte's second digit cell
    uint16_t Key;
    TShiftState Shift;
    int Col, Row;
    int Clicks;  // OnClick raised by the base grid's keys only
  };
  const Case cases[] = {
      {"Home", 0x13, false, false, VK_HOME, 0, 2, 1, 0},
      {"Home in the character field", 0x13, true, false, VK_HOME, 0, 35, 1, 0},
      {"Ctrl+Home", 0x13, true, false, VK_HOME, ssCtrl, 35, 0, 0},
      {"End", 0x13, false, true, VK_END, 0, Hi(0x1F), 1, 0},
      {"End on the short last row", 0x22, false, false, VK_END, 0, Hi(39), 2, 0},
      {"Ctrl+End", 3, true, false, VK_END, ssCtrl, Ch(39), 2, 0},
      {"Left on a second digit", 3, false, true, VK_LEFT, 0, Hi(3), 0, 0},
      {"Left across the row start", 16, false, false, VK_LEFT, 0, 33, 0, 0},
      {"Left at the first nibble", 0, false, false, VK_LEFT, 0, 2, 0, 0},
      {"Left in the character field", 16, true, false, VK_LEFT, 0, Ch(15), 0, 0},
      {"Left at the first character", 0, true, false, VK_LEFT, 0, Ch(0), 0, 0},
      {"Right on a first digit", 3, false, false, VK_RIGHT, 0, Hi(3) + 1, 0, 0},
      {"Right across the row end", 15, false, true, VK_RIGHT, 0, 2, 1, 0},
      {"Right at the last nibble", 39, false, true, VK_RIGHT, 0, Hi(39) + 1, 2, 0},
      {"Right at the last character", 39, true, false, VK_RIGHT, 0, Ch(39), 2, 0},
      {"Alt+Right", 3, true, false, VK_RIGHT, ssAlt, Ch(4), 0, 0},
      {"Down", 0x13, false, false, VK_DOWN, 0, Hi(0x23), 2, 1},
      {"Down past the end", 0x19, false, false, VK_DOWN, 0, Hi(39), 2, 1},
      {"Down past the end, character field", 0x19, true, false, VK_DOWN, 0, Ch(39), 2, 1},
      {"Up", 0x13, true, false, VK_UP, 0, Ch(3), 0, 1},
      {"Up at the top", 3, true, false, VK_UP, 0, Ch(3), 0, 0},
      {"Backspace", 3, false, true, VK_BACK, 0, Hi(3), 0, 1},
      {"Backspace at column 2", 16, false, false, VK_BACK, 0, 2, 1, 0},
      {"Backspace at the first character", 0, true, false, VK_BACK, 0, Ch(0), 0, 1},
      {"Tab to the character field", 3, false, true, VK_TAB, 0, Ch(3), 0, 1},
      {"Shift+Tab back to the first digit", 3, true, false, VK_TAB, ssShift, Hi(3), 0, 1},
      {"Ctrl+Left: a page left", 0x13, true, false, VK_LEFT, ssCtrl, 2, 1, 1},
  };
  LoadCounting();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Place(c.From, c.InChar, c.Second);
    Key(c.Key, c.Shift);
    EXPECT_EQ(Caret(), std::make_pair(c.Col, c.Row));
    EXPECT_EQ(Clicks, c.Clicks);
  }
}

TEST_F(Input, KeysTheControlHandlesAreConsumed) {
  LoadCounting();
  Place(3, false);
  EXPECT_TRUE(Key(VK_HOME));
  EXPECT_TRUE(Key(VK_RIGHT));
  EXPECT_TRUE(Key(VK_TAB));
  EXPECT_TRUE(Key(VK_SHIFT, ssShift));
  EXPECT_FALSE(Key(VK_DOWN));
  EXPECT_FALSE(Key(VK_LEFT, ssCtrl));
  EXPECT_FALSE(Key(VK_TAB, ssCtrl));
  EXPECT_FALSE(Key('A'));
}

TEST_F(Input, PageKeysAndCtrlUpDownMoveTheView) {
  LoadCounting(16 * 1000);
  Ed->SetClientSize(800, 150);  // ten whole rows of 15 pixels
  Place(16 * 2, false);
  Key(VK_NEXT);
  EXPECT_EQ(Caret(), std::make_pair(2, 11));
  EXPECT_EQ(Ed->TopRow(), 9);
  Key(VK_NEXT, ssCtrl);
  EXPECT_EQ(Caret(), std::make_pair(2, 18)) << "the last whole row";
  Key(VK_PRIOR, ssCtrl);
  EXPECT_EQ(Caret(), std::make_pair(2, 9)) << "the top row";
  Key(VK_PRIOR);
  EXPECT_EQ(Caret(), std::make_pair(2, 0));
  EXPECT_EQ(Ed->TopRow(), 0);

  Forget();
  Key(VK_DOWN, ssCtrl);
  Key(VK_DOWN, ssCtrl);
  EXPECT_EQ(Ed->TopRow(), 2);
  EXPECT_EQ(Caret(), std::make_pair(2, 0)) << "the caret stays on its cell";
  EXPECT_EQ(Host.CaretPos, (TPoint{-50, -50})) << "its cell is out of view";
  EXPECT_EQ(Clicks, 0);
  Key(VK_UP, ssCtrl);
  Key(VK_UP, ssCtrl);
  const TRect r = Ed->CellRect(2, 0);
  EXPECT_EQ(Host.CaretPos, (TPoint{r.Left, r.Top}));
}

TEST_F(Input, ScrollingParksTheCaretOutOfViewAndBringsItBack) {
  LoadCounting(16 * 1000);
  Place(16 * 3, true);
  Ed->VScroll(TScrollCode::scPosition, 10);
  EXPECT_EQ(Host.CaretPos, (TPoint{-50, -50}));
  Ed->VScroll(TScrollCode::scLineUp, 0);
  Ed->MouseWheel(3 * 120);
  EXPECT_EQ(Ed->TopRow(), 0);
  const TRect r = Ed->CellRect(Ch(16 * 3), 3);
  EXPECT_EQ(Host.CaretPos, (TPoint{r.Left, r.Top}));
}

TEST_F(Input, CtrlDeleteDeletesTheSelectionAndDeleteAloneNothing) {
  LoadCounting();
  Place(4, false);
  Ed->SetSelEnd(6);
  Key(VK_DELETE);
  EXPECT_EQ(Document().size(), 40u);
  Ed->SetSelStart(4);
  Ed->SetSelEnd(6);
  Key(VK_DELETE, ssCtrl);
  ASSERT_EQ(Document().size(), 37u);
  EXPECT_EQ(Document()[4], 7);
  Key(VK_DELETE, ssCtrl | ssShift);
  EXPECT_EQ(Document().size(), 37u);
}

// ---------------------------------------------------------------------------
// Typing
// ---------------------------------------------------------------------------

TEST_F(Input, TypingHexDigits) {
  struct Case {
    bool Swap;
    bool Second;
    std::string Typed;
    uint8_t Byte0;
    uint8_t Byte1;
    int Col;  // the caret afterwards, row 0
  };
  const Case cases[] = {
      {false, false, "a5", 0xA5, 0x01, Hi(1)},
      {true, false, "a5", 0x5A, 0x01, Hi(1)},
      {false, true, "C", 0x0C, 0x01, Hi(1)},
      {true, true, "C", 0xC0, 0x01, Hi(1)},
      {false, false, "Fe3", 0xFE, 0x31, Hi(1) + 1},
      {false, false, "g", 0x00, 0x01, Hi(0)},
      {false, false, " ", 0x00, 0x01, Hi(0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Typed + (c.Swap ? " swapped" : ""));
    LoadCounting();
    Ed->SetSwapNibbles(c.Swap);
    Place(0, false, c.Second);
    Type(c.Typed);
    EXPECT_EQ(Document()[0], c.Byte0);
    EXPECT_EQ(Document()[1], c.Byte1);
    EXPECT_EQ(Caret(), std::make_pair(c.Col, 0));
    EXPECT_EQ(Ed->ByteChanged(0), c.Byte0 != 0x00);
  }
}

TEST_F(Input, TypingWrapsToTheNextRowAndStaysOnTheLastNibble) {
  LoadCounting();
  Place(15, false, true);
  Type("7");
  EXPECT_EQ(Caret(), std::make_pair(2, 1));
  Place(39, false, true);
  Type("1");
  EXPECT_EQ(Caret(), std::make_pair(Hi(39) + 1, 2)) << "stays on the last nibble";
  Type("2");
  EXPECT_EQ(Document()[39], 0x22) << "the same nibble again";
  EXPECT_EQ(Document().size(), 40u);
}

TEST_F(Input, TypingCharacters) {
  LoadCounting();
  Place(14, true);
  Type("Az");
  EXPECT_EQ(Document()[14], 'A');
  EXPECT_EQ(Document()[15], 'z');
  EXPECT_EQ(Caret(), std::make_pair(Ch(16), 1)) << "wrapped to the next row";
  EXPECT_TRUE(Ed->ByteChanged(15));
  Type("\t\x1b");
  EXPECT_EQ(Document()[16], 16) << "control characters change nothing";
  EXPECT_EQ(Caret(), std::make_pair(Ch(16), 1));
  Place(39, true);
  Type("xy");
  EXPECT_EQ(Document()[39], 'y');
  EXPECT_EQ(Caret(), std::make_pair(Ch(39), 2));

  // Through the translation.
  Ed->SetTranslation(TTranslationType::ttEBCDIC);
  Place(0, true);
  Type("A");
  EXPECT_EQ(Document()[0], 0xC1);
}

TEST_F(Input, TypingClearsTheSelectionAndChangesOnlyTheCaretsByte) {
  LoadCounting();
  Place(2, false);
  Ed->SetSelEnd(8);
  Type("f");
  ExpectNoSelection();
  const Bytes doc = Document();
  EXPECT_EQ(doc[2], 0xF2);
  for (int i = 3; i <= 8; ++i) EXPECT_EQ(doc[static_cast<size_t>(i)], i);
}

TEST_F(Input, AltReleasedMakesTheNextCharacterAnOemCode) {
  LoadCounting();
  Place(0, true);
  Release(VK_MENU);
  EXPECT_TRUE(Ed->OemCharEntry());
  EXPECT_TRUE(OemAtKeyUp) << "OnKeyUp sees the flag already";
  Ed->KeyPress(0xE4);  // ä arrives as the ANSI character of the OEM code
  EXPECT_EQ(Document()[0], AnsiToOemChar(0xE4));
  EXPECT_EQ(Document()[0], 0x84);
  EXPECT_FALSE(Ed->OemCharEntry());
  Ed->KeyPress(0xE4);
  EXPECT_EQ(Document()[1], 0xE4) << "only the first character";

  // Even a code below 32.
  Release(VK_MENU);
  Ed->KeyPress(0x01);
  EXPECT_EQ(Document()[2], 0x01);
  // Another key released in between ends it.
  Release(VK_MENU);
  Release('A');
  EXPECT_FALSE(Ed->OemCharEntry());
  Ed->KeyPress(0xE4);
  EXPECT_EQ(Document()[3], 0xE4);
  // In the hex field the flag stays for the next character.
  Release(VK_MENU);
  Place(8, false);
  Type("1");
  EXPECT_TRUE(Ed->OemCharEntry());
  EXPECT_EQ(KeyUps.size(), 0u);
}

TEST_F(Input, AnEmptyDocumentKeepsTheCaretOnTheFirstCell) {
  for (uint16_t k : {VK_RIGHT, VK_LEFT, VK_DOWN, VK_END, VK_HOME, VK_NEXT, VK_BACK}) {
    Key(k);
    Key(k, ssCtrl);
    EXPECT_EQ(Caret(), std::make_pair(2, 0)) << k;
  }
  EXPECT_TRUE(Key(VK_TAB)) << "Tab is consumed";
  EXPECT_EQ(Caret(), std::make_pair(2, 0));
  Type("a1Z");
  EXPECT_EQ(Ed->DataSize(), 0);
  Press(40, 0);
  ReleaseMouse(40, 0);
  EXPECT_EQ(Caret(), std::make_pair(2, 0));
}

// ---------------------------------------------------------------------------
// Markers
// ---------------------------------------------------------------------------

TEST_F(Input, MarkerKeys) {
  LoadCounting(16 * 10);
  Place(16 * 4 + 5, true);
  EXPECT_TRUE(Key('3', ssCtrl | ssShift));
  EXPECT_EQ(Ed->GetMarker(3), 4);
  Place(16 * 8 + 2, false);
  EXPECT_TRUE(Key('3', ssCtrl));
  EXPECT_EQ(Caret(), std::make_pair(2, 4)) << "column 2 of the marked row";
  EXPECT_EQ(Clicks, 0);

  Place(16 * 6 + 9, true);
  Key('5', ssCtrl);
  EXPECT_EQ(Caret(), std::make_pair(2, 6)) << "an unset marker is the current row";

  // A marked row that no longer exists.
  Ed->SetMarker(2, 9);
  Place(16 * 2, false);
  Ed->SetSelEnd(16 * 9 - 1);
  Ed->DeleteSelection();  // rows 8 and 9 go
  ASSERT_EQ(Ed->RowCount(), 3);
  Place(16 * 2 + 1, false);
  Key('2', ssCtrl);
  EXPECT_EQ(Ed->GetMarker(2), 1);
  EXPECT_EQ(Caret(), std::make_pair(Hi(1), 2)) << "the caret stays";

  // The number pad's digits are no marker keys.
  EXPECT_FALSE(Key(VK_NUMPAD0 + 7, ssCtrl | ssShift));
  EXPECT_EQ(Ed->MarkerAtRow(2), -1);
}

// ---------------------------------------------------------------------------
// Selections
// ---------------------------------------------------------------------------

TEST_F(Input, ShiftSelects) {
  LoadCounting();
  Place(10, true);
  Host.Held.insert(VK_SHIFT);
  Key(VK_SHIFT, ssShift);
  EXPECT_TRUE(Ed->MouseSelecting());
  for (int i = 0; i < 3; ++i) Key(VK_RIGHT, ssShift);
  ExpectSelection(10, 13, 10);
  Key(VK_LEFT, ssShift);
  Key(VK_LEFT, ssShift);
  Key(VK_LEFT, ssShift);
  Key(VK_LEFT, ssShift);
  ExpectSelection(9, 10, 10);  // past the anchor the other way
  Release(VK_SHIFT);
  Host.Held.erase(VK_SHIFT);
  EXPECT_TRUE(Ed->MouseSelecting()) << "releasing Shift does not end it";
  Key(VK_LEFT);
  ExpectNoSelection();
  EXPECT_FALSE(Ed->MouseSelecting());

  // Shift+End from position 3 selects the rest of the row.
  Place(3, false);
  Host.Held.insert(VK_SHIFT);
  Key(VK_SHIFT, ssShift);
  Key(VK_END, ssShift);
  ExpectSelection(3, 15, 3);
  // A second press of Shift while selecting keeps the selection.
  Key(VK_SHIFT, ssShift);
  ExpectSelection(3, 15, 3);
  // Down with Shift through the base grid.
  Key(VK_DOWN, ssShift);
  ExpectSelection(3, 31, 3);
}

TEST_F(Input, APlainKeyClearsTheSelection) {
  LoadCounting();
  Place(4, false);
  Ed->SetSelEnd(9);
  Key('Q');  // no entry, but pressed without a shift key
  ExpectNoSelection();
  Place(4, false);
  Ed->SetSelEnd(9);
  Key('Q', ssCtrl);
  ExpectSelection(4, 9, 4);
}

TEST_F(Input, ClickAndDragSelect) {
  LoadCounting();
  Place(0, false);
  Press(Hi(5), 0);
  EXPECT_EQ(Caret(), std::make_pair(Hi(5), 0));
  EXPECT_TRUE(Ed->MouseSelecting());
  EXPECT_TRUE(Host.TrackTimerOn);
  ExpectNoSelection();
  DragTo(Ch(6), 0);
  DragTo(Hi(7) + 1, 0);
  DragTo(Ch(8), 0);
  ExpectSelection(5, 8, 5);
  EXPECT_EQ(Caret(), std::make_pair(Ch(8), 0));
  DragTo(Hi(2), 0);
  ExpectSelection(2, 5, 5);
  DragTo(Hi(18), 1);
  ReleaseMouse(Hi(18), 1);
  ExpectSelection(5, 18, 5);
  EXPECT_FALSE(Host.TrackTimerOn);
  EXPECT_EQ(Clicks, 1);
  EXPECT_EQ(MouseUps, 1);
  // A move after the release no longer follows the pointer.
  const TPoint p = Center(Hi(20), 1);
  Ed->MouseMove(0, p.X, p.Y);
  EXPECT_EQ(Caret(), std::make_pair(Hi(18), 1));
  // The next plain move ends the selecting.
  Key(VK_RIGHT);
  ExpectNoSelection();
  EXPECT_FALSE(Ed->MouseSelecting());
}

TEST_F(Input, ClicksOnSpecialCells) {
  LoadCounting();
  struct Case {
    const char* What;
    int32_t From;
    bool InChar;
    int Col, Row;          // clicked
    int ToCol, ToRow;      // the caret afterwards
    int Clicks;
  };
  const Case cases[] = {
      {"offset column", 20, false, 0, 1, Hi(20), 1, 0},
      {"marker column", 20, true, 1, 0, Ch(20), 1, 0},
      {"spacer", 20, false, 34, 0, 33, 0, 1},
      {"past the end, hex field", 3, false, Hi(45), 2, Hi(39), 2, 1},
      {"past the end, character field caret", 3, true, Hi(45), 2, Ch(39), 2, 1},
      {"beside the last row, character cells", 3, false, Ch(47), 2, Hi(39), 2, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    Place(c.From, c.InChar);
    Ed->SetSelEnd(c.From + 2);
    Forget();
    Press(c.Col, c.Row);
    ReleaseMouse(c.Col, c.Row);
    EXPECT_EQ(Caret(), std::make_pair(c.ToCol, c.ToRow));
    ExpectNoSelection();
    EXPECT_EQ(Clicks, c.Clicks);
    EXPECT_EQ(MouseUps, 1);
  }
  // A click below the last row hits no cell.
  Place(3, false);
  Ed->MouseDown(TMouseButton::mbLeft, ssLeft, 100, 500);
  Ed->MouseUp(TMouseButton::mbLeft, 0, 100, 500);
  EXPECT_EQ(Caret(), std::make_pair(Hi(3), 0));
  EXPECT_EQ(Clicks, 0);
}

TEST_F(Input, DoubleAndRightClicks) {
  LoadCounting();
  Place(3, false);
  Press(Hi(9), 0);
  ReleaseMouse(Hi(9), 0);
  Forget();
  Press(Hi(12), 0, ssLeft | ssDouble);
  ReleaseMouse(Hi(12), 0);
  EXPECT_EQ(DblClicks, 1);
  EXPECT_EQ(Caret(), std::make_pair(Hi(9), 0)) << "a double click does not move the caret";
  EXPECT_FALSE(Ed->MouseSelecting());
  EXPECT_EQ(Clicks, 0);
  EXPECT_EQ(MouseUps, 1);

  Ed->SetSelEnd(12);
  const TPoint p = Center(Hi(1), 0);
  Ed->MouseDown(TMouseButton::mbRight, ssRight, p.X, p.Y);
  Ed->MouseUp(TMouseButton::mbRight, 0, p.X, p.Y);
  EXPECT_EQ(Caret(), std::make_pair(Hi(9), 0));
  ExpectSelection(9, 12, 9);  // a right click keeps the selection
  EXPECT_EQ(MouseUps, 2);
}

TEST_F(Input, DraggingOutsideTheGridScrollsOnTheTimer) {
  LoadCounting(16 * 1000);
  Ed->SetClientSize(800, 150);  // rows 0..9 wholly visible
  Place(0, false);
  Press(Hi(4), 8);
  DragTo(Hi(4), 9);
  EXPECT_EQ(Ed->TopRow(), 0);
  Ed->TrackTimer(100, 160);  // below the grid
  EXPECT_EQ(Caret(), std::make_pair(Hi(4), 10));
  EXPECT_EQ(Ed->TopRow(), 1);
  Ed->TrackTimer(100, 160);
  Ed->TrackTimer(100, 160);
  EXPECT_EQ(Ed->TopRow(), 3);
  ExpectSelection(4 + 16 * 8, 4 + 16 * 12, 4 + 16 * 8);
  Ed->TrackTimer(100, 50);  // inside: nothing
  EXPECT_EQ(Ed->TopRow(), 3);
  Ed->TrackTimer(100, -5);  // above
  EXPECT_EQ(Caret(), std::make_pair(Hi(4), 11));
  Ed->TrackTimer(5, 50);  // over the fixed columns: one cell left
  EXPECT_EQ(Caret(), std::make_pair(Hi(4) - 1, 11));
  // Released below the view: the hidden cell there is not taken.
  Host.Held.erase(VK_LBUTTON);
  Ed->MouseUp(TMouseButton::mbLeft, 0, 100, 160);
  EXPECT_EQ(Caret(), std::make_pair(Hi(4) - 1, 11));
  ExpectSelection(4 + 16 * 8, 3 + 16 * 11, 4 + 16 * 8);
  Ed->TrackTimer(100, 160);
  EXPECT_EQ(Caret(), std::make_pair(Hi(4) - 1, 11)) << "no tracking after the release";
}

// ---------------------------------------------------------------------------
// Notifications, focus
// ---------------------------------------------------------------------------

TEST_F(Input, EveryPostedStateMessageRaisesOnStateChangedOnce) {
  LoadCounting();
  Place(4, false);
  Host.Held.insert(VK_SHIFT);
  Key(VK_SHIFT, ssShift);
  Key(VK_RIGHT, ssShift);
  Key(VK_RIGHT, ssShift);
  const size_t posted = Host.Posted.size();
  EXPECT_GE(posted, 3u);
  for (const auto& p : Host.Posted) {
    EXPECT_EQ(p.Msg, THexEditor::WM_STATECHANGED);
    EXPECT_EQ(p.WParam, 7);
    EXPECT_EQ(p.LParam, 7);
  }
  EXPECT_EQ(StateChanges, 0) << "raised later, not at once";
  EXPECT_EQ(Host.DeliverPosted(), static_cast<int>(posted));
  EXPECT_EQ(StateChanges, static_cast<int>(posted));
  // A message with another parameter raises nothing.
  Ed->HandleMessage(THexEditor::WM_STATECHANGED, 3, 3);
  EXPECT_EQ(StateChanges, static_cast<int>(posted));
  // Without a window nothing is posted.
  Host.HasHandle = false;
  Key(VK_RIGHT);
  EXPECT_TRUE(Host.Posted.empty());
}

// Alt held for a click or a cursor key (one caret alone, side by side) is
// no character code: the next character is typed as it is.
TEST_F(Input, AltUsedForAMoveGivesNoOemCode) {
  struct Row {
    const char* What;
    std::function<void()> WhileHeld;
    bool Oem;
  };
  const Row rows[] = {
      {"Alt alone", [] {}, true},
      {"number pad digits", [&] { Key(VK_NUMPAD0 + 1, ssAlt), Key(VK_NUMPAD0 + 3, ssAlt); }, true},
      {"a cursor key", [&] { Key(VK_RIGHT, ssAlt); }, false},
      {"a click", [&] { Ed->MouseDown(TMouseButton::mbLeft, ssAlt | ssLeft, 200, 5); }, false},
  };
  LoadCounting();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.What);
    Place(16, true);
    Key(VK_MENU, ssAlt);
    row.WhileHeld();
    Release(VK_MENU);
    EXPECT_EQ(Ed->OemCharEntry(), row.Oem);
    Release('A');
  }
}

TEST_F(Input, KeyUpAndMouseUpAreRaisedForEveryRelease) {
  LoadCounting();
  Forget();
  Release('A');
  Release(VK_MENU, ssAlt);
  EXPECT_EQ(KeyUps, (std::vector<uint16_t>{'A', VK_MENU}));
  Ed->MouseUp(TMouseButton::mbMiddle, 0, 10, 10);
  EXPECT_EQ(MouseUps, 1);
}

TEST_F(Input, FocusCreatesAndDestroysTheCaret) {
  LoadCounting();
  Place(5, true);
  Ed->SetCaretStyle(TCaretStyle::csBottomLine);
  Host.HasFocus = true;
  Ed->FocusGained();
  EXPECT_EQ(Host.CaretCalls, (std::vector<std::string>{"destroy", "create", "show"}));
  EXPECT_EQ(Host.LastCaret.Width, 8);
  EXPECT_EQ(Host.LastCaret.Height, 13);
  EXPECT_EQ(Host.LastCaret.Fill, (TRect{0, 11, 8, 13}));
  EXPECT_EQ(Host.LastCaret.FillColor, 0x7FFFFFu);
  EXPECT_EQ(Host.CaretPos, (TPoint{-50, -50}));
  EXPECT_GT(Host.InvalidateCount, 0);

  // Selecting, then losing the focus: the selection stays, the selecting ends.
  Host.Held.insert(VK_SHIFT);
  Key(VK_SHIFT, ssShift);
  Key(VK_RIGHT, ssShift);
  Host.Held.erase(VK_SHIFT);
  Forget();
  Host.HasFocus = false;
  Ed->FocusLost();
  EXPECT_EQ(Host.CaretCalls, (std::vector<std::string>{"hide", "destroy"}));
  EXPECT_FALSE(Ed->MouseSelecting());
  ExpectSelection(5, 6, 5);
  EXPECT_GT(Host.InvalidateCount, 0);
}

TEST_F(Input, MovingTheCaretRepaintsTheOldAndTheNewTwinAndPlacesTheCaret) {
  LoadCounting();
  Place(3, false);
  Key(VK_DOWN);
  const auto& rects = Host.InvalidatedRects;
  auto invalidated = [&](int col, int row) {
    const TRect r = Ed->CellRect(col, row);
    return std::find(rects.begin(), rects.end(), r) != rects.end();
  };
  EXPECT_TRUE(invalidated(Ch(3), 0));
  EXPECT_TRUE(invalidated(Ch(19), 1));
  const TRect r = Ed->CellRect(Hi(19), 1);
  EXPECT_EQ(Host.CaretPos, (TPoint{r.Left, r.Top}));
}

}  // namespace
}  // namespace byteloom::test
