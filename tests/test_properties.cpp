// SPDX-License-Identifier: GPL-3.0-or-later
// What a fresh control shows, property setters, colours and the
// state-change notification of the control.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/editortest.h"
#include "tests/support/fakecanvas.h"

namespace byteloom::test {
namespace {

using Properties = EditorTest;

// A fresh control as the user first meets it: the I-beam over it, nothing
// to undo and no working file until it has data; with a document, rows of
// 16 bytes in groups of two behind hex offsets and a marker column, in
// Courier 12 and the default colours without grid lines, and a full-cell
// caret in the complement of navy on the first digit.
TEST_F(Properties, AFreshControlShowsTheDefaults) {
  ASSERT_FALSE(Host.Cursors.empty());
  EXPECT_EQ(Host.Cursors.back(), TCursor::crIBeam);
  EXPECT_TRUE(List(WorkFiles()).empty());
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
  EXPECT_FALSE(Ed->CanUndo() || Ed->Modified());

  Bytes data = Pattern(40);
  data[0] = 0x4F, data[1] = 0x17, data[3] = 0x5C, data[15] = 0x07, data[16] = 0xA5;
  Load(data);
  Ed->SetClientSize(800, 600);
  Host.HasFocus = true;
  Ed->FocusGained();
  EXPECT_EQ(Host.LastCaret, (TCaretShape{8, 13, TRect{0, 0, 8, 13}, clNavy ^ 0xFFFFFFu}));
  TFakeCanvas canvas;
  Ed->Paint(TRect{0, 0, 800, 600}, canvas);
  EXPECT_EQ(Host.CaretPos, (TPoint{Ed->CellRect(2, 0).Left, 0}));
  EXPECT_EQ(canvas.OfKind(TCanvasOp::Text).size(), 3u * 51u);
  EXPECT_TRUE(canvas.OfKind(TCanvasOp::Line).empty());

  Ed->SetSelStart(2);
  Ed->SetSelEnd(3);
  struct Cell {
    const char* What;
    int Col, Row;
    const char* Text;
    TColor TextColor, Background;
    int Width;
  };
  const Cell cells[] = {
      {"offset", 0, 0, "0x00:", clBlack, clWhite, 40},
      {"marker column", 1, 0, " ", clBlack, clWhite, 8},
      {"first digit", 2, 0, "4", clBlue, clWhite, 8},
      {"last digit of a group", 5, 0, "7", clBlue, clWhite, 16},
      {"selected digit, 2nd group", 9, 0, "C", 0x7FFFFF, clNavy, 16},
      {"spacer", 34, 0, " ", clBlack, clWhite, 8},
      {"last character of the row, masked", 50, 0, ".", clBlack, clWhite, 8},
      {"row 1 starts with byte 16", 2, 1, "A", clBlue, clWhite, 8},
  };
  for (const Cell& c : cells) {
    SCOPED_TRACE(c.What);
    canvas.Ops.clear();
    const TRect r = Ed->CellRect(c.Col, c.Row);
    Ed->Paint(r, canvas);
    const TCanvasOp* op = canvas.TextAt(r);
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(op->Str, c.Text);
    EXPECT_EQ(op->TextColor, c.TextColor);
    EXPECT_EQ(op->Color, c.Background);
    EXPECT_EQ(r.Width(), c.Width);
    EXPECT_EQ(op->Font.Name, "Courier");
    EXPECT_EQ(op->Font.Size, 12);
  }
}

TEST_F(Properties, BytesPerLineRejectsValuesOutsideOneTo256) {
  Load(Pattern(1000));
  for (int bad : {0, -1, 257}) {
    try {
      Ed->SetBytesPerLine(bad);
      FAIL() << bad;
    } catch (const EHexEditorError& e) {
      EXPECT_STREQ(e.what(), "Invalid BytesPerLine argument");
    }
    EXPECT_EQ(Ed->BytesPerLine(), 16);
    EXPECT_EQ(Ed->ColCount(), 51);
  }
  Ed->SetBytesPerLine(256);
  EXPECT_EQ(Ed->BytesPerLine(), 256);
  EXPECT_EQ(Ed->HexCells(), 512);
}

TEST_F(Properties, BytesPerLineChangeFreezesDrawingOnlyWhenItChanges) {
  Load(Pattern(1000));
  Host.ClearRecords();
  Ed->SetBytesPerLine(16);
  EXPECT_TRUE(Host.Locks.empty());
  Ed->SetBytesPerLine(32);
  EXPECT_EQ(Host.Locks, (std::vector<bool>{true, false}));
  EXPECT_EQ(Ed->RowCount(), 32);
}

TEST_F(Properties, ColourSettersDeriveInversesAndRepaintOnlyOnChange) {
  TColors& c = Ed->Colors();
  c.SetOddColumn(0x123456);
  EXPECT_EQ(c.InvOddColumn(), 0xEDCBA9u);
  c.SetEvenColumn(0x000000);
  EXPECT_EQ(c.InvEvenColumn(), 0xFFFFFFu);
  EXPECT_EQ(TColors::Inverse(clWindow), 0xFFFFFAu);  // from the raw index bits

  Host.ClearRecords();
  c.SetOddColumn(0x123456);
  c.SetChangedText(c.ChangedText());
  c.SetBackground(c.Background());
  EXPECT_EQ(Host.InvalidateCount, 0);
  EXPECT_EQ(Host.RepaintCount, 0);

  c.SetChangedText(0x010203);
  EXPECT_EQ(Host.InvalidateCount, 1);
  EXPECT_EQ(Host.RepaintCount, 0);
  c.SetBackground(0x00FF00);
  EXPECT_EQ(Ed->Color(), 0x00FF00u);
  EXPECT_EQ(Host.RepaintCount, 1);
}

TEST_F(Properties, PlainSettersInvalidateOnlyWhenTheValueChanges) {
  struct Setter {
    const char* name;
    std::function<void()> same, changed;
  };
  const Setter setters[] = {
      {"Translation", [&] { Ed->SetTranslation(TTranslationType::ttAnsi); },
       [&] { Ed->SetTranslation(TTranslationType::ttMac); }},
      {"OffsetSeparator", [&] { Ed->SetOffsetSeparator(':'); }, [&] { Ed->SetOffsetSeparator('|'); }},
      {"FocusFrame", [&] { Ed->SetFocusFrame(true); }, [&] { Ed->SetFocusFrame(false); }},
      {"SwapNibbles", [&] { Ed->SetSwapNibbles(false); }, [&] { Ed->SetSwapNibbles(true); }},
      {"MaskWhiteSpaces", [&] { Ed->SetMaskWhiteSpaces(true); }, [&] { Ed->SetMaskWhiteSpaces(false); }},
      {"MaskChar", [&] { Ed->SetMaskChar('.'); }, [&] { Ed->SetMaskChar('*'); }},
      {"OffsetDisplay", [&] { Ed->SetOffsetDisplay(TOffsetDisplayStyle::odHex); },
       [&] { Ed->SetOffsetDisplay(TOffsetDisplayStyle::odDec); }},
  };
  for (const Setter& s : setters) {
    Host.ClearRecords();
    s.same();
    EXPECT_EQ(Host.InvalidateCount, 0) << s.name;
    s.changed();
    EXPECT_GE(Host.InvalidateCount, 1) << s.name;
  }
}

TEST_F(Properties, CaretStyleRebuildsTheCaretOnlyWithFocus) {
  Ed->SetCaretStyle(TCaretStyle::csLeftLine);
  EXPECT_TRUE(Host.CaretCalls.empty());
  Host.HasFocus = true;
  Ed->SetCaretStyle(TCaretStyle::csBottomLine);
  EXPECT_EQ(Host.CaretCalls, (std::vector<std::string>{"destroy", "create", "show"}));
  EXPECT_EQ(Host.CaretPos, (TPoint{-50, -50}));
  // 8 × 13 bitmap, a bar two pixels high at the bottom in the complement of CursorFrame.
  EXPECT_EQ(Host.LastCaret.Width, 8);
  EXPECT_EQ(Host.LastCaret.Height, 13);
  EXPECT_EQ(Host.LastCaret.Fill, (TRect{0, 11, 8, 13}));
  EXPECT_EQ(Host.LastCaret.FillColor, clNavy ^ 0xFFFFFFu);
}

TEST_F(Properties, EachPostedStateMessageRaisesTheEventOnceAndOnlyLater) {
  int raised = 0;
  Ed->OnStateChanged = [&](THexEditor&) { ++raised; };
  Host.ClearRecords();
  Ed->ResetSelection(false);
  Ed->ResetSelection(true);
  EXPECT_EQ(raised, 0);
  ASSERT_EQ(Host.Posted.size(), 2u);
  EXPECT_EQ(Host.Posted[0].Msg, 0x0402u);
  EXPECT_EQ(Host.Posted[0].WParam, 7);
  EXPECT_EQ(Host.Posted[0].LParam, 7);
  EXPECT_EQ(Host.DeliverPosted(), 2);
  EXPECT_EQ(raised, 2);
  // A message with another parameter raises nothing.
  Ed->HandleMessage(0x0402, 6, 7);
  EXPECT_EQ(raised, 2);
  // Without a window nothing is posted.
  Host.HasHandle = false;
  Ed->ResetSelection(false);
  EXPECT_TRUE(Host.Posted.empty());
  // The undo reset raises the event at once.
  Ed->ResetUndo();
  EXPECT_EQ(raised, 3);
}

}  // namespace
}  // namespace byteloom::test
