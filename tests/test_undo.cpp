// The undo list: the exact record of every kind of step, the 100-step limit,
// what undo restores (bytes, length, caret down to the nibble cell,
// selection, change marks, Modified), large removed blocks kept in a file,
// and the notifications.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "control/hexeditor.h"
#include "control/undostream.h"
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

int32_t Int32At(const Bytes& b, size_t at) {
  return static_cast<int32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24);
}

// The newest record of the list, as stored.
Bytes NewestRecord(const TUndoStream& s) {
  uint8_t t[4];
  s.Read(s.Size() - 4, t, 4);
  const int32_t length = t[0] | t[1] << 8 | t[2] << 16 | t[3] << 24;
  Bytes r(static_cast<size_t>(length));
  s.Read(s.Size() - length, r.data(), length);
  return r;
}

struct RecordRow {
  const char* what;
  std::function<void(UndoTest&, THexEditor&)> edit;
  uint8_t kind, mark, modified;
  int32_t caret;
  uint8_t nibbleCell, inChar;
  int32_t selMin, selMax, selAnchor, pos, count, extra;
  Bytes payload;  // empty: the bytes of the document at pos (count of them)
  int32_t payloadCount;
};

class UndoRecords : public UndoTest {};

TEST_F(UndoRecords, EveryKindIsStoredExactly) {
  const Bytes data = Pattern(64, 21);
  auto slice = [&](int32_t from, int32_t n) { return Bytes(data.begin() + from, data.begin() + from + n); };
  const Bytes three{0xA1, 0xA2, 0xA3};
  const RecordRow rows[] = {
      {"byte changed on the second nibble of a marked byte",
       [](UndoTest& t, THexEditor& e) {
         e.SetChangedBit(20, true);
         e.SetSelStart(20);
         t.SecondNibble();
         e.ChangeByte(e.ReadByte(20), static_cast<uint8_t>(e.ReadByte(20) ^ 0xFF), 1, e.Col(), 20);
       },
       0, 1, 0, 20, 1, 0, -1, -1, -1, 20, 1, 0, {data[20]}, 1},
      {"bytes removed from a backward selection after an edit",
       [&](UndoTest& t, THexEditor& e) {
         t.Flip(40);
         t.Select(9, 5);
         e.DeleteSelection();
       },
       1, 0, 1, 9, 0, 0, 5, 9, 9, 5, 5, 0, slice(5, 5), 5},
      {"buffer inserted in the character field",
       [&](UndoTest& t, THexEditor& e) {
         e.SetSelStart(7);
         t.ToCharField();
         e.InsertBuffer(three.data(), 3, 7);
       },
       2, 0, 0, 7, 0, 1, -1, -1, -1, 7, 3, 0, {0}, 1},
      {"selection replaced",
       [&](UndoTest& t, THexEditor& e) {
         t.Select(2, 4);
         e.ReplaceSelection(three.data(), 2);
       },
       3, 0, 0, 2, 0, 0, 2, 4, 2, 2, 2, 3, slice(2, 3), 3},
      {"buffer appended",
       [&](UndoTest&, THexEditor& e) { e.AppendBuffer(three.data(), 3); },
       4, 0, 0, 0, 0, 0, -1, -1, -1, 64, 3, 0, {0}, 1},
      {"nibble inserted",
       [&](UndoTest& t, THexEditor& e) {
         e.SetSelStart(10);
         t.SecondNibble();
         e.SetChangedBit(10, true);
         e.InsertNibble(10, false);
       },
       5, 1, 0, 10, 1, 0, -1, -1, -1, 10, 0, 0, {data[10]}, 1},
      {"nibble deleted",
       [&](UndoTest&, THexEditor& e) { e.DeleteNibble(11, true); },
       6, 0, 0, 0, 0, 0, -1, -1, -1, 11, 0, 0, {data[11]}, 1},
      {"range converted",
       [&](UndoTest&, THexEditor& e) { ASSERT_TRUE(e.CreateUndo(TUndoKind::ukConvert, 30, 0, 4)); },
       7, 0, 0, 0, 0, 0, -1, -1, -1, 30, 4, 0, slice(30, 4), 4},
  };
  for (const RecordRow& r : rows) {
    SCOPED_TRACE(r.what);
    Load(data);
    Ed->ResetSelection(false);  // nothing left over from the row before
    r.edit(*this, *Ed);
    ASSERT_NE(Ed->UndoStream(), nullptr);
    const Bytes rec = NewestRecord(*Ed->UndoStream());
    ASSERT_EQ(rec.size(), static_cast<size_t>(r.payloadCount) + 37);
    EXPECT_EQ(rec[0], r.kind);
    EXPECT_EQ(rec[1], r.mark);
    EXPECT_EQ(rec[2], r.modified);
    EXPECT_EQ(Int32At(rec, 3), r.caret);
    EXPECT_EQ(rec[7], r.nibbleCell);
    EXPECT_EQ(rec[8], r.inChar);
    EXPECT_EQ(Int32At(rec, 9), r.selMin);
    EXPECT_EQ(Int32At(rec, 13), r.selMax);
    EXPECT_EQ(Int32At(rec, 17), r.selAnchor);
    EXPECT_EQ(Int32At(rec, 21), r.pos);
    EXPECT_EQ(Int32At(rec, 25), r.count);
    EXPECT_EQ(Int32At(rec, 29), r.extra);
    EXPECT_EQ(Bytes(rec.begin() + 33, rec.end() - 4), r.payload);
    EXPECT_EQ(Int32At(rec, rec.size() - 4), static_cast<int32_t>(rec.size()));
    EXPECT_EQ(Ed->UndoDescription(), THexEditor::UndoKindText(static_cast<TUndoKind>(r.kind)));
  }
}

TEST_F(UndoRecords, KindTexts) {
  const char* texts[] = {"Byte changed",  "Byte(s) removed", "Insert buffer", "Replace selection",
                         "Append buffer", "Insert nibble",   "Delete nibble", "Convert"};
  for (int k = 0; k < 8; ++k) EXPECT_STREQ(THexEditor::UndoKindText(static_cast<TUndoKind>(k)), texts[k]);
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
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
  EXPECT_EQ(Ed->UndoStream(), nullptr);
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

TEST_F(UndoTest, ALargeRemovedBlockIsKeptInAFileAndDroppedFromIt) {
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(10 * MiB, 13);
  Load(data);
  Select(MiB, 10 * MiB - 1);
  Ed->DeleteSelection();
  ASSERT_EQ(Ed->DataSize(), MiB);
  ASSERT_NE(Ed->UndoStream(), nullptr);
  EXPECT_TRUE(Ed->UndoStream()->InFile());
  Ed->Undo();
  EXPECT_TRUE(Document() == data);

  // The same deletion, followed by 100 small steps that push it off the list.
  Select(MiB, 10 * MiB - 1);
  Ed->DeleteSelection();
  for (int32_t p = 0; p < 100; ++p) Flip(p * 7);
  EXPECT_EQ(Ed->UndoCount(), 100);
  EXPECT_LT(Ed->UndoStream()->Size(), 100 * 40);
  for (int i = 0; i < 100; ++i) Ed->Undo();
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_TRUE(Document() == Bytes(data.begin(), data.begin() + MiB));
}

TEST_F(UndoTest, AnUndoThatFindsNoSpaceChangesNothing) {
  const std::string folder = WorkDir();
  const std::string path = Path("doc.bin");
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(6 * MiB, 17);
  WriteFile(path, data);
  const int rc = RunWithSmallDisk(folder, 12 * 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    ed.SetSelStart(MiB);
    ed.SetSelEnd(3 * MiB - 1);
    ed.DeleteSelection();  // 2 MiB kept in the undo list, in memory
    if (ed.DataSize() != 4 * MiB) return 2;
    if (!ed.InsertNibble(3 * MiB / 2, true)) return 3;  // a new 4 MiB working file
    // Something else fills the disk.
    WriteFile(folder + "/filler", Bytes(7 * MiB + MiB / 2, 1));
    for (int i = 0; i < 2; ++i) {
      const Bytes before = DocumentBytes(ed);
      try {
        ed.Undo();
        std::fprintf(stderr, "undo %d was made\n", i);
        return 10 + i;
      } catch (const EFileError& e) {
        if (std::string(e.what()).find("Not enough space") == std::string::npos) return 20 + i;
      }
      if (DocumentBytes(ed) != before || ed.UndoCount() != 2 - i) return 30 + i;
      if (i == 0) {
        // Room for the 2.5 MiB copied back by the nibble shift, not for a
        // new 4 MiB document.
        WriteFile(folder + "/filler", Bytes(5 * MiB, 1));
        ed.Undo();
        if (ed.DataSize() != 4 * MiB || ed.UndoCount() != 1) return 40;
        WriteFile(folder + "/filler", Bytes(6 * MiB + MiB / 2, 1));
      }
    }
    std::filesystem::remove(folder + "/filler");
    ed.Undo();
    if (DocumentBytes(ed) != data || ed.CanUndo()) return 50;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

// A large insertion undone keeps its bytes for Redo in a file; where there
// is no room for them the undo is refused with the document as it was.
TEST_F(UndoTest, RedoOfALargeInsertionAndAnUndoWithNoRoomForIt) {
  const std::string folder = WorkDir();
  const std::string path = Path("doc.bin");
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(MiB, 19), block = Pattern(9 * MiB, 23);
  WriteFile(path, data);
  const int rc = RunWithSmallDisk(folder, 24 * 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    Bytes inserted = data;
    inserted.insert(inserted.begin() + 100, block.begin(), block.end());
    auto document = [&] { return DocumentBytes(ed); };
    ed.InsertBuffer(block.data(), 9 * MiB, 100);
    ed.Undo();
    if (document() != data || !ed.RedoStream() || !ed.RedoStream()->InFile()) return 2;
    ed.Redo();
    if (document() != inserted || ed.CanRedo() || ed.UndoDescription() != "Insert buffer") return 3;
    WriteFile(folder + "/filler", Bytes(8 * MiB, 1));  // 1 MiB left
    try {
      ed.Undo();
      return 4;
    } catch (const EFileError& e) {
      if (std::string(e.what()).find("to keep the step for Redo; nothing was undone") == std::string::npos) return 5;
    }
    if (document() != inserted || ed.UndoCount() != 1 || ed.CanRedo()) return 6;
    std::filesystem::remove(folder + "/filler");
    ed.Undo();
    return document() == data && ed.RedoDescription() == "Insert buffer" ? 0 : 7;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace byteloom::test
