// SPDX-License-Identifier: GPL-3.0-or-later
// The undo list: every kind of step named and taken back, the 100-step limit,
// what undo restores (bytes, length, caret down to the nibble cell,
// selection, change marks, Modified), large removed blocks kept in a file,
// and the notifications.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "control/hexeditor.h"
#include "tests/support/editortest.h"
#include "tests/support/sandbox.h"

namespace byteloom::test {
namespace {

class UndoTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(1000, 800);
  }

 public:
  void Select(int32_t from, int32_t to) {
    Ed->SetSelStart(from);
    Ed->SetSelEnd(to);
  }
  void Flip(int32_t pos) {
    const uint8_t old = Ed->ReadByte(pos);
    Ed->ChangeByte(old, static_cast<uint8_t>(old ^ 0xFF), pos / Ed->BytesPerLine(), 2, pos);
  }
  // Moves the caret onto the second hex cell of its byte.
  void SecondNibble() { Ed->SetCol(Ed->Col() + 1); }
  void ToCharField() {
    bool inChar = false;
    Ed->SetCol(Ed->GetOtherFieldCol(Ed->Col(), inChar));
  }
};

// One kind of edit: what the Undo and Redo items call it, the caret and
// selection set up before it, the edit as the control makes it, and the
// byte whose change mark it must give back (-1: none).
struct KindRow {
  const char* text;
  std::function<void(UndoTest&, THexEditor&)> prepare, edit;
  int32_t marked;
};

class UndoRecords : public UndoTest {};

// Every kind of edit names itself as the step to undo; undoing it brings
// back the bytes, the caret (down to the nibble cell or the character
// field), the selection, the change mark and Modified, and offers it as
// the step to redo; redoing it makes the same bytes again.
TEST_F(UndoRecords, EveryKindOfEditNamesItselfAndIsTakenBack) {
  const Bytes data = Pattern(64, 21);
  const uint8_t three[] = {0xA1, 0xA2, 0xA3};
  const KindRow rows[] = {
      {"Byte changed", [](UndoTest& t, THexEditor& e) { e.SetSelStart(20), t.SecondNibble(); },
       [](UndoTest&, THexEditor& e) { e.KeyPress('4'); }, 20},
      {"Byte(s) removed", [](UndoTest& t, THexEditor&) { t.Flip(40), t.Select(9, 5); },
       [](UndoTest&, THexEditor& e) { e.DeleteSelection(); }, -1},
      {"Insert buffer", [](UndoTest& t, THexEditor& e) { e.SetSelStart(7), t.ToCharField(); },
       [&](UndoTest&, THexEditor& e) { e.InsertBuffer(three, 3, 7); }, -1},
      {"Replace selection", [](UndoTest& t, THexEditor&) { t.Select(2, 4); },
       [&](UndoTest&, THexEditor& e) { e.ReplaceSelection(three, 2); }, -1},
      {"Append buffer", [](UndoTest&, THexEditor& e) { e.SetSelStart(50); },
       [&](UndoTest&, THexEditor& e) { e.AppendBuffer(three, 3); }, -1},
      {"Insert nibble", [](UndoTest& t, THexEditor& e) { e.SetSelStart(10), t.SecondNibble(); },
       [](UndoTest&, THexEditor& e) { e.InsertNibble(10, false); }, -1},
      {"Delete nibble", [](UndoTest&, THexEditor& e) { e.SetSelStart(11); },
       [](UndoTest&, THexEditor& e) { e.DeleteNibble(11, true); }, -1},
      {"Convert", [](UndoTest& t, THexEditor&) { t.Select(30, 33); },
       [&](UndoTest&, THexEditor& e) {
         ASSERT_TRUE(e.CreateUndo(TUndoKind::ukConvert, 30, 0, 4));
         e.WriteBuffer("ABCD", 30, 4);
       }, -1},
  };
  for (const KindRow& r : rows) {
    SCOPED_TRACE(r.text);
    Load(data);
    if (r.marked >= 0) Ed->SetChangedBit(r.marked, true);
    r.prepare(*this, *Ed);
    const Bytes before = Document();
    const std::string previous = Ed->UndoDescription();
    auto state = [&] {
      return std::tuple(Ed->Col(), Ed->Row(), Ed->SelMin(), Ed->SelMax(), Ed->SelAnchor(), Ed->Modified());
    };
    const auto stateBefore = state();
    r.edit(*this, *Ed);
    EXPECT_EQ(Ed->UndoDescription(), r.text);
    const Bytes edited = Document();
    ASSERT_NE(edited, before);
    Ed->Undo();
    EXPECT_EQ(Document(), before);
    EXPECT_EQ(state(), stateBefore);
    if (r.marked >= 0) {
      EXPECT_TRUE(Ed->ByteChanged(r.marked));
    }
    EXPECT_EQ(Ed->UndoDescription(), previous);
    EXPECT_EQ(Ed->RedoDescription(), r.text);
    Ed->Redo();
    EXPECT_EQ(Document(), edited);
    EXPECT_EQ(Ed->UndoDescription(), r.text);
  }
}

TEST_F(UndoRecords, EmptyDocumentAcceptsOnlyInsertionAndAppending) {
  for (int k = 0; k < 8; ++k) {
    const auto kind = static_cast<TUndoKind>(k);
    const bool expected = kind == TUndoKind::ukInsertBuffer || kind == TUndoKind::ukAppendBuffer;
    EXPECT_EQ(Ed->CreateUndo(kind, 0, 0, 1), expected) << k;
  }
  EXPECT_EQ(Ed->UndoCount(), 2);
}

TEST_F(UndoRecords, StepsThatDoNotFitTheDocumentAreRefusedWithAMessage) {
  Load(Pattern(50));
  struct Row {
    TUndoKind kind;
    int32_t pos, extra, count;
  };
  const Row rows[] = {
      {TUndoKind::ukByteChanged, -1, 0, 1},   {TUndoKind::ukByteChanged, 50, 0, 1},
      {TUndoKind::ukRemoved, 45, 0, 6},       {TUndoKind::ukRemoved, 0, 0, 0},
      {TUndoKind::ukInsertBuffer, 51, 0, 1},  {TUndoKind::ukAppendBuffer, 49, 0, 1},
      {TUndoKind::ukReplaceSelection, 40, 11, 1}, {TUndoKind::ukConvert, 0, 0, -1},
      {TUndoKind::ukInsertNibble, 50, 0, 0},  {TUndoKind::ukDeleteNibble, -3, 0, 0},
  };
  for (const Row& r : rows) {
    EXPECT_THROW(
        {
          try {
            Ed->CreateUndo(r.kind, r.pos, r.extra, r.count);
          } catch (const EHexEditorError& e) {
            EXPECT_STREQ(e.what(), "Invalid CreateUndo argument");
            throw;
          }
        },
        EHexEditorError)
        << static_cast<int>(r.kind) << " at " << r.pos;
  }
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_FALSE(Ed->Modified());
}

// --- The limit ----------------------------------------------------------------------------

TEST_F(UndoTest, AHundredStepsAtMost) {
  const Bytes data = Pattern(200, 4);
  Load(data);
  for (int32_t p = 0; p <= 100; ++p) Flip(p);
  EXPECT_EQ(Ed->UndoCount(), 100);
  for (int i = 0; i < 100; ++i) {
    EXPECT_TRUE(Ed->CanUndo());
    Ed->Undo();
  }
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
  EXPECT_EQ(Ed->UndoCount(), 0);
  Bytes expected = data;
  expected[0] ^= 0xFF;  // the first edit fell off the list
  EXPECT_EQ(Document(), expected);
  EXPECT_TRUE(Ed->Modified());
}

TEST_F(UndoTest, UndoOnAnEmptyListTellsTheOwnerAtOnce) {
  int changes = 0;
  Ed->OnStateChanged = [&](THexEditor&) { ++changes; };
  Ed->Undo();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
}

// --- What undo restores -------------------------------------------------------------------------

TEST_F(UndoTest, TypingOverAByteIsTakenBackCompletely) {
  for (bool marked : {false, true}) {
    SCOPED_TRACE(marked ? "marked before" : "unmarked before");
    const Bytes data = Pattern(100, 8);
    Load(data);
    if (marked) Ed->SetChangedBit(37, true);
    Ed->SetSelStart(37);
    SecondNibble();
    Ed->SetSelEnd(45);  // the caret stays on the second nibble of 37
    const int col = Ed->Col(), row = Ed->Row();
    Ed->ChangeByte(Ed->ReadByte(37), 0x3C, row, col, 37);
    Ed->SetSelStart(80);
    EXPECT_TRUE(Ed->Modified());
    Ed->Undo();
    EXPECT_EQ(Document(), data);
    EXPECT_EQ(Ed->ByteChanged(37), marked);
    EXPECT_EQ(Ed->Col(), col);
    EXPECT_EQ(Ed->Row(), row);
    EXPECT_EQ(Ed->SelAnchor(), 37);
    EXPECT_EQ(Ed->SelMin(), 37);
    EXPECT_EQ(Ed->SelMax(), 45);
    EXPECT_FALSE(Ed->Modified());
    EXPECT_FALSE(Ed->CanUndo());
  }
}

TEST_F(UndoTest, UndoOfAByteChangeKeepsTheReadWindowTrue) {
  Load(Pattern(100));
  Ed->FillCache(0);
  const uint8_t old = Ed->ReadByte(5);
  Flip(5);
  EXPECT_NE(Ed->ReadCache()[5], old);
  Ed->Undo();
  EXPECT_EQ(Ed->ReadCache()[5], old);
}

TEST_F(UndoTest, UndoOfRemovedBytes) {
  const Bytes data = Pattern(300, 9);
  Load(data);
  Flip(3);
  Flip(150);
  Flip(250);
  Select(100, 199);
  Ed->DeleteSelection();
  EXPECT_EQ(Ed->DataSize(), 200);
  Ed->SetSelStart(5);
  Ed->Undo();
  Bytes expected = data;
  expected[3] ^= 0xFF;
  expected[150] ^= 0xFF;
  expected[250] ^= 0xFF;
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->GetCursorPos(), 100);
  EXPECT_EQ(Ed->SelMin(), 100);
  EXPECT_EQ(Ed->SelMax(), 199);
  EXPECT_TRUE(Ed->ByteChanged(3));
  EXPECT_FALSE(Ed->ByteChanged(150));  // marks from the position on are gone
  EXPECT_FALSE(Ed->ByteChanged(250));
  EXPECT_EQ(Ed->UndoDescription(), "Byte changed");
  EXPECT_EQ(Ed->RowCount(), 19);
}

TEST_F(UndoTest, UndoOfAReplacementOfThreeByFive) {
  const Bytes data = Pattern(50, 2);
  const Bytes five{1, 2, 3, 4, 5};
  Load(data);
  Select(10, 12);
  Ed->ReplaceSelection(five.data(), 5);
  EXPECT_EQ(Ed->DataSize(), 52);
  Ed->Undo();
  EXPECT_EQ(Document(), data);
  EXPECT_EQ(Ed->SelMin(), 10);
  EXPECT_EQ(Ed->SelMax(), 12);
}

TEST_F(UndoTest, UndoOfAppendedAndInsertedBytes) {
  const Bytes data = Pattern(40, 6);
  const Bytes add(20, 0x11);
  Load(data);
  Ed->SetSelStart(33);
  ToCharField();
  Ed->AppendBuffer(add.data(), 20);
  Ed->InsertBuffer(add.data(), 7, 3);
  EXPECT_EQ(Ed->DataSize(), 67);
  Ed->Undo();
  EXPECT_EQ(Ed->DataSize(), 60);
  EXPECT_EQ(Ed->UndoDescription(), "Append buffer");
  Ed->Undo();
  EXPECT_EQ(Document(), data);
  EXPECT_EQ(Ed->GetCursorPos(), 33);
  EXPECT_TRUE(Ed->IsCharFieldActive());
  EXPECT_EQ(Ed->SelAnchor(), -1);
  EXPECT_EQ(Ed->RowCount(), 3);
}

TEST_F(UndoTest, ConvertedRangeComesBack) {
  const Bytes data = Pattern(20, 3);
  Load(data);
  ASSERT_TRUE(Ed->CreateUndo(TUndoKind::ukConvert, 4, 0, 3));
  const Bytes upper{'A', 'B', 'C'};
  Ed->WriteBuffer(upper.data(), 4, 3);
  EXPECT_EQ(Ed->UndoDescription(), "Convert");
  // The read window, filled before each step, shows the step's bytes after it.
  auto window = [&] {
    Ed->FillCache(0);
    return Bytes(Ed->ReadCache() + 4, Ed->ReadCache() + 7);
  };
  window();
  Ed->Undo();
  EXPECT_EQ(window(), Bytes(data.begin() + 4, data.begin() + 7));
  Ed->Redo();
  EXPECT_EQ(window(), upper);
  Ed->Undo();
  EXPECT_EQ(Document(), data);
}

TEST_F(UndoTest, SavingEmptiesTheList) {
  Load(Pattern(20));
  Flip(2);
  ASSERT_TRUE(Ed->SaveToFile(Path("doc.bin"))) << Ed->LastError();
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
  EXPECT_FALSE(Ed->Modified());
}

TEST_F(UndoTest, UndoTellsTheOwnerThroughThePostedMessage) {
  Load(Pattern(20));
  int changes = 0;
  Ed->OnStateChanged = [&](THexEditor&) { ++changes; };
  Flip(1);
  Flip(2);
  Host.DeliverPosted();
  changes = 0;
  Ed->Undo();
  EXPECT_EQ(changes, 0);  // later, not at once
  EXPECT_GE(Host.DeliverPosted(), 1);
  EXPECT_GE(changes, 1);
  EXPECT_EQ(Ed->UndoDescription(), "Byte changed");
  changes = 0;
  Ed->Undo();  // the last one: the reset tells the owner at once
  EXPECT_EQ(changes, 1);
}

// --- Large blocks -------------------------------------------------------------------------------

TEST_F(UndoTest, ALargeRemovedBlockComesBackAndIsDroppedWithItsStep) {
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(10 * MiB, 13);
  Load(data);
  Select(MiB, 10 * MiB - 1);
  Ed->DeleteSelection();
  ASSERT_EQ(Ed->DataSize(), MiB);
  Ed->Undo();
  EXPECT_TRUE(Document() == data);

  // The same deletion, followed by 100 small steps that push it off the list.
  Select(MiB, 10 * MiB - 1);
  Ed->DeleteSelection();
  for (int32_t p = 0; p < 100; ++p) Flip(p * 7);
  EXPECT_EQ(Ed->UndoCount(), 100);
  for (int i = 0; i < 100; ++i) Ed->Undo();
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_TRUE(Document() == Bytes(data.begin(), data.begin() + MiB));
}

// Undo and redo are splices of pieces kept already: on a disk that has
// filled up they still take back and make again a removed block, a nibble
// shift and a large insertion.
TEST_F(UndoTest, UndoAndRedoNeedNoRoomOnAFullDisk) {
  const std::string folder = WorkDir();
  const std::string path = Path("doc.bin");
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(6 * MiB, 17), block = Pattern(3 * MiB, 23);
  WriteFile(path, data);
  const int rc = RunWithSmallDisk(folder, 16 * 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    std::vector<Bytes> states{DocumentBytes(ed)};
    ed.SetSelStart(MiB);
    ed.SetSelEnd(3 * MiB - 1);
    ed.DeleteSelection();
    states.push_back(DocumentBytes(ed));
    if (!ed.InsertNibble(3 * MiB / 2, true)) return 2;
    states.push_back(DocumentBytes(ed));
    ed.InsertBuffer(block.data(), 3 * MiB, 100);
    states.push_back(DocumentBytes(ed));
    {
      // Something else fills the disk.
      std::ofstream fill(folder + "/filler", std::ios::binary);
      const std::string chunk(4096, 'x');
      while (fill.write(chunk.data(), chunk.size())) fill.flush();
    }
    for (int round = 0; round < 2; ++round) {
      for (int i = 3; i > 0; --i) {
        ed.Undo();
        if (DocumentBytes(ed) != states[static_cast<size_t>(i - 1)]) return 10 + i;
      }
      for (int i = 1; i <= 3; ++i) {
        ed.Redo();
        if (DocumentBytes(ed) != states[static_cast<size_t>(i)]) return 20 + i;
      }
    }
    return ed.UndoCount() == 3 && !ed.CanRedo() ? 0 : 30;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace byteloom::test
