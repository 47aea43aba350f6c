// Construction defaults, property setters, colours and the state-change
// notification of the control.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

using Properties = EditorTest;

TEST_F(Properties, ConstructionDefaults) {
  TFakeHost host;
  THexEditor ed(host);
  EXPECT_EQ(ed.CharWidth(), -1);
  EXPECT_EQ(ed.OffsetChars(), -1);
  EXPECT_EQ(ed.BytesPerLine(), 16);
  EXPECT_EQ(ed.BytesPerColumn(), 2);
  EXPECT_EQ(ed.NibblesPerColumn(), 4);
  EXPECT_EQ(ed.HexCells(), 32);
  EXPECT_EQ(ed.ColCount(), 51);
  EXPECT_EQ(ed.RowCount(), 1);
  EXPECT_EQ(ed.FixedCols(), 2);
  EXPECT_EQ(ed.Translation(), TTranslationType::ttAnsi);
  EXPECT_EQ(ed.OffsetDisplay(), TOffsetDisplayStyle::odHex);
  EXPECT_EQ(ed.OffsetSeparator(), ':');
  EXPECT_EQ(ed.CaretStyle(), TCaretStyle::csFull);
  EXPECT_TRUE(ed.FocusFrame());
  EXPECT_EQ(ed.GridLineWidth(), 0);
  EXPECT_FALSE(ed.SwapNibbles());
  EXPECT_TRUE(ed.MaskWhiteSpaces());
  EXPECT_EQ(ed.MaskChar(), '.');
  EXPECT_TRUE(ed.ShowMarkerColumn());
  EXPECT_TRUE(ed.CreateBackup());
  EXPECT_EQ(ed.BackupExtension(), ".bak");
  EXPECT_EQ(ed.FileName(), "Untitled");
  EXPECT_TRUE(ed.ReadOnly());
  EXPECT_FALSE(ed.Modified());
  EXPECT_FALSE(ed.CanUndo());
  EXPECT_EQ(ed.UndoDescription(), "No Undo");
  EXPECT_EQ(ed.UndoCount(), 0);
  EXPECT_EQ(ed.SelAnchor(), -1);
  EXPECT_EQ(ed.SelMin(), -1);
  EXPECT_EQ(ed.SelMax(), -1);
  EXPECT_EQ(ed.CacheStart(), -1);
  EXPECT_EQ(ed.CachedSize(), -1);
  EXPECT_FALSE(ed.OemCharEntry());
  EXPECT_FALSE(ed.HasDataStream());
  EXPECT_EQ(ed.Font().Name, "Courier");
  EXPECT_EQ(ed.Font().Size, 12);
  EXPECT_EQ(ed.Cursor(), TCursor::crIBeam);
  EXPECT_FALSE(ed.DefaultDrawing());
  EXPECT_EQ(ed.Color(), clWindow);
  EXPECT_EQ(ed.Colors().InvOddColumn(), 0x00FFFFu);
  EXPECT_EQ(ed.Colors().InvEvenColumn(), 0x7FFFFFu);
  EXPECT_EQ(ed.Colors().ChangedBackground(), 0xA8FFFFu);
  // The working file is named at construction but not created yet.
  EXPECT_FALSE(std::filesystem::exists(ed.TempFileName()));
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
