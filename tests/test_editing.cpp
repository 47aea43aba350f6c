// SPDX-License-Identifier: GPL-3.0-or-later
// Byte editing: nibble shifts, block insertion, deletion and replacement, the
// selection and caret API, change marks and markers, block moves in bounded
// pieces, the length limit and edits refused for want of space.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
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

class Editing : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    Ed->SetClientSize(1000, 800);
  }
  void Select(int32_t from, int32_t to) {
    Ed->SetSelStart(from);
    Ed->SetSelEnd(to);
  }
  // The caret's cell as (position, nibble cell) for the hex field.
  int32_t CaretPos() { return Ed->GetPosAtCell(Ed->Col(), Ed->Row()); }
};

// Reference nibble shifts on a list of nibbles.
Bytes ShiftNibbles(const Bytes& in, size_t pos, bool high, bool insert) {
  std::vector<uint8_t> nib;
  for (uint8_t b : in) {
    nib.push_back(b >> 4);
    nib.push_back(b & 0x0F);
  }
  const size_t at = 2 * pos + (high ? 0 : 1);
  if (insert) {
    nib.insert(nib.begin() + static_cast<long>(at), 0);
    nib.push_back(0);  // the file grows by a whole byte
  } else {
    nib.erase(nib.begin() + static_cast<long>(at));
    nib.push_back(0);
  }
  Bytes out(nib.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>(nib[2 * i] << 4 | nib[2 * i + 1]);
  return out;
}

// --- Nibble shifts ---------------------------------------------------------------

struct NibbleRow {
  bool insert;
  int32_t pos;
  bool high;
  Bytes expected;
};

TEST_F(Editing, NibbleShiftsOfThreeBytes) {
  const Bytes start{0x12, 0x34, 0x56};
  const NibbleRow rows[] = {
      {true, 0, true, {0x01, 0x23, 0x45, 0x60}},  {true, 0, false, {0x10, 0x23, 0x45, 0x60}},
      {false, 0, true, {0x23, 0x45, 0x60}},       {false, 0, false, {0x13, 0x45, 0x60}},
      {true, 1, true, {0x12, 0x03, 0x45, 0x60}},  {true, 2, false, {0x12, 0x34, 0x50, 0x60}},
      {false, 1, false, {0x12, 0x35, 0x60}},      {false, 2, true, {0x12, 0x34, 0x60}},
      {false, 2, false, {0x12, 0x34, 0x50}},      {true, 2, true, {0x12, 0x34, 0x05, 0x60}},
  };
  for (const NibbleRow& r : rows) {
    SCOPED_TRACE(std::string(r.insert ? "insert" : "delete") + " at " + std::to_string(r.pos) +
                 (r.high ? " high" : " low"));
    Load(start);
    ASSERT_TRUE(r.insert ? Ed->InsertNibble(r.pos, r.high) : Ed->DeleteNibble(r.pos, r.high));
    EXPECT_EQ(Document(), r.expected);
    EXPECT_EQ(Document(), ShiftNibbles(start, static_cast<size_t>(r.pos), r.high, r.insert));
    EXPECT_EQ(Ed->UndoDescription(), r.insert ? "Insert nibble" : "Delete nibble");
    EXPECT_TRUE(Ed->Modified());
    Ed->Undo();
    EXPECT_EQ(Document(), start);
    EXPECT_FALSE(Ed->Modified());
    EXPECT_FALSE(Ed->CanUndo());
  }
}

TEST_F(Editing, NibbleShiftsAcrossBlocksMatchTheNibbleModel) {
  // Sizes around the 1 MiB block and not a multiple of 512.
  const Bytes data = Pattern((1 << 20) + 1000, 7);
  const int32_t positions[] = {0, 1, 511, 4095, (1 << 20) - 1, (1 << 20), (1 << 20) + 999};
  for (int32_t pos : positions) {
    for (bool high : {true, false}) {
      for (bool insert : {true, false}) {
        SCOPED_TRACE(std::to_string(pos) + (high ? " high " : " low ") + (insert ? "insert" : "delete"));
        Load(data);
        ASSERT_TRUE(insert ? Ed->InsertNibble(pos, high) : Ed->DeleteNibble(pos, high));
        const Bytes expected = ShiftNibbles(data, static_cast<size_t>(pos), high, insert);
        ASSERT_EQ(Ed->DataSize(), static_cast<int32_t>(expected.size()));
        ASSERT_TRUE(Document() == expected);
        Ed->Undo();
        ASSERT_TRUE(Document() == data);
      }
    }
  }
}

TEST_F(Editing, NibbleShiftsLeaveNoScratchFiles) {
  const Bytes data = Pattern(5000, 2);
  Load(data);
  ASSERT_TRUE(Ed->InsertNibble(3, true));  // near the start: a new working file takes over
  ASSERT_TRUE(Ed->DeleteNibble(4990, false));  // near the end: the rest is copied back
  // The copy of the file, the added bytes and the journal: nothing else.
  EXPECT_EQ(List(WorkFiles()).size(), 3u);
  ASSERT_TRUE(Ed->SaveToFile(Path("out.bin"))) << Ed->LastError();
  EXPECT_EQ(ReadFile(Path("out.bin")),
            ShiftNibbles(ShiftNibbles(data, 3, true, true), 4990, false, false));
  Ed.reset();
  EXPECT_TRUE(List(WorkFiles()).empty());
}

TEST_F(Editing, NibbleShiftOfAThousandBytesChangesTheLengthByOneByteAtMost) {
  Load(Pattern(1000));
  ASSERT_TRUE(Ed->InsertNibble(10, true));
  EXPECT_EQ(Ed->DataSize(), 1001);
  Load(Pattern(1000));
  ASSERT_TRUE(Ed->DeleteNibble(10, false));
  EXPECT_EQ(Ed->DataSize(), 1000);
}

TEST_F(Editing, NibbleShiftOutsideTheDocumentDoesNothing) {
  const Bytes data{1, 2, 3};
  Load(data);
  for (int32_t pos : {-1, 3, 1000}) {
    EXPECT_FALSE(Ed->InsertNibble(pos, true));
    EXPECT_FALSE(Ed->DeleteNibble(pos, false));
  }
  EXPECT_EQ(Document(), data);
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_FALSE(Ed->Modified());
  EXPECT_EQ(List(WorkFiles()).size(), 1u);
}

TEST_F(Editing, InsertNibbleOnAnEmptyDocumentAppendsAZeroByte) {
  EXPECT_FALSE(Ed->DeleteNibble(0, true));
  EXPECT_FALSE(Ed->CanUndo());
  ASSERT_TRUE(Ed->InsertNibble(0, true));
  EXPECT_EQ(Document(), Bytes{0x00});
  EXPECT_EQ(Ed->UndoDescription(), "Append buffer");
  EXPECT_EQ(Ed->SelAnchor(), 0);
  EXPECT_EQ(Ed->SelMin(), 0);
  EXPECT_EQ(Ed->SelMax(), 0);
  Ed->Undo();
  EXPECT_EQ(Ed->DataSize(), 0);
}

TEST_F(Editing, NibbleShiftKeepsOnlyTheMarksBeforeIt) {
  Load(Pattern(64));
  for (int32_t p : {3, 9, 10, 40}) Ed->ChangeByte(Ed->ReadByte(p), static_cast<uint8_t>(~Ed->ReadByte(p)), 0, 2, p);
  ASSERT_TRUE(Ed->InsertNibble(10, true));
  EXPECT_TRUE(Ed->ByteChanged(3));
  EXPECT_TRUE(Ed->ByteChanged(9));
  EXPECT_FALSE(Ed->ByteChanged(10));
  EXPECT_FALSE(Ed->ByteChanged(40));
  Select(2, 5);
  ASSERT_TRUE(Ed->DeleteNibble(5, false));
  EXPECT_TRUE(Ed->ByteChanged(3));
  EXPECT_FALSE(Ed->ByteChanged(9));
  EXPECT_EQ(Ed->SelAnchor(), -1);  // the selection is cleared
}

// --- Changing bytes ----------------------------------------------------------------

TEST_F(Editing, ChangeByteWritesMarksRecordsAndRepaintsTheByte) {
  Load(Pattern(100));
  Ed->FillCache(0);
  Host.ClearRecords();
  const uint8_t old = Ed->ReadByte(20);
  Ed->ChangeByte(old, 0xAB, 1, 10, 20);
  EXPECT_EQ(Ed->ReadByte(20), 0xAB);
  EXPECT_EQ(Ed->ReadCache()[20], 0xAB);
  EXPECT_TRUE(Ed->ByteChanged(20));
  EXPECT_FALSE(Ed->ByteChanged(19));
  EXPECT_TRUE(Ed->Modified());
  EXPECT_EQ(Ed->UndoCount(), 1);
  EXPECT_EQ(Ed->UndoDescription(), "Byte changed");
  // Both hex cells and the character cell of byte 20 (row 1, columns 10, 11, 39).
  for (int col : {10, 11, 39}) {
    const TRect r = Ed->CellRect(col, 1);
    EXPECT_NE(std::find(Host.InvalidatedRects.begin(), Host.InvalidatedRects.end(), r), Host.InvalidatedRects.end())
        << col;
  }
  EXPECT_FALSE(Host.Posted.empty());
}

TEST_F(Editing, ChangeByteToItsOwnValueRecordsNothing) {
  Load(Pattern(10));
  const uint8_t v = Ed->ReadByte(4);
  Ed->ChangeByte(v, v, 0, 10, 4);
  EXPECT_FALSE(Ed->Modified());
  EXPECT_FALSE(Ed->ByteChanged(4));
  EXPECT_FALSE(Ed->CanUndo());
}

TEST_F(Editing, ChangeByteOnAnEmptyDocumentIsRefused) {
  Host.Posted.clear();
  Ed->ChangeByte(0, 1, 0, 2, 0);
  EXPECT_EQ(Ed->DataSize(), 0);
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_FALSE(Ed->Modified());
  EXPECT_EQ(Host.Posted.size(), 1u);  // the refusal still tells the owner
}

TEST_F(Editing, ChangeByteOutsideTheDocumentIsRefusedWithAMessage) {
  const Bytes data = Pattern(10);
  Load(data);
  for (int32_t p : {-1, 10, 100}) {
    try {
      Ed->ChangeByte(0, 1, 0, 2, p);
      ADD_FAILURE() << p;
    } catch (const EHexEditorError& e) {
      EXPECT_STREQ(e.what(), "Invalid CreateUndo argument");
    }
  }
  EXPECT_EQ(Document(), data);
  EXPECT_FALSE(Ed->CanUndo());
}

TEST_F(Editing, ChangeByteNearTheEndOfTheReadWindowKeepsTheWindowTrue) {
  Load(Pattern(200000));
  Ed->FillCache(40000);  // the window covers 7232..72767
  const int32_t start = Ed->CacheStart();
  const int32_t p = start + THexEditor::kCacheSize - 3;  // its row reaches past the window
  Ed->ChangeByte(Ed->ReadByte(p), 0x5A, p / 16, 2, p);
  EXPECT_EQ(Ed->CacheStart(), start);
  EXPECT_EQ(Ed->ReadCache()[p - start], 0x5A);
}

// --- Deleting, inserting, appending, replacing ---------------------------------------

TEST_F(Editing, DeleteSelectionWithoutSelectionDeletesTheByteAtTheCaret) {
  const Bytes data = Pattern(40);
  Load(data);
  Ed->SetSelStart(7);
  Ed->DeleteSelection();
  Bytes expected = data;
  expected.erase(expected.begin() + 7);
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(CaretPos(), 7);
  EXPECT_EQ(Ed->UndoDescription(), "Byte(s) removed");
}

struct DeleteRow {
  int32_t size, from, to, caretAfter;
};

TEST_F(Editing, DeleteSelectionPlacesTheCaret) {
  const DeleteRow rows[] = {
      {40, 5, 9, 5},    // on the first byte after the deletion
      {40, 9, 5, 5},    // a backward selection is the same range
      {10, 5, 9, 4},    // nothing after it: on the new last byte
      {10, 0, 9, 0},    // everything: an empty document, caret on (2, 0)
  };
  for (const DeleteRow& r : rows) {
    SCOPED_TRACE(std::to_string(r.from) + ".." + std::to_string(r.to));
    const Bytes data = Pattern(static_cast<size_t>(r.size), 3);
    Load(data);
    Select(r.from, r.to);
    Ed->DeleteSelection();
    Bytes expected = data;
    const int32_t lo = std::min(r.from, r.to), hi = std::max(r.from, r.to);
    expected.erase(expected.begin() + lo, expected.begin() + hi + 1);
    EXPECT_EQ(Document(), expected);
    EXPECT_EQ(Ed->GetCursorPos(), r.caretAfter);
    EXPECT_EQ(Ed->SelAnchor(), -1);
    if (expected.empty()) {
      EXPECT_EQ(Ed->Col(), 2);
      EXPECT_EQ(Ed->Row(), 0);
    }
  }
}

TEST_F(Editing, DeleteSelectionKeepsTheCaretFieldAndTrimsTheMarks) {
  Load(Pattern(64));
  Ed->ChangeByte(Ed->ReadByte(2), static_cast<uint8_t>(~Ed->ReadByte(2)), 0, 2, 2);
  Ed->ChangeByte(Ed->ReadByte(30), static_cast<uint8_t>(~Ed->ReadByte(30)), 0, 2, 30);
  bool inChar = false;
  Ed->SetCol(Ed->GetOtherFieldCol(Ed->Col(), inChar));  // into the character field
  Select(20, 25);
  Ed->DeleteSelection();
  EXPECT_TRUE(Ed->IsCharFieldActive());
  EXPECT_EQ(Ed->GetCursorPos(), 20);
  EXPECT_TRUE(Ed->ByteChanged(2));
  EXPECT_FALSE(Ed->ByteChanged(24));  // the mark of old byte 30 does not wander
  EXPECT_FALSE(Ed->ByteChanged(30));
}

TEST_F(Editing, DeleteSelectionOnAnEmptyDocumentDoesNothing) {
  Ed->DeleteSelection();
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_FALSE(Ed->HasDataStream());
}

TEST_F(Editing, InsertBufferSelectsOnlyWhenInsertedAtTheCaret) {
  const Bytes data = Pattern(50);
  const Bytes ins{0xA1, 0xA2, 0xA3};
  Load(data);
  Ed->SetSelStart(10);
  Host.Posted.clear();
  Ed->InsertBuffer(ins.data(), 3, 10);
  Bytes expected = data;
  expected.insert(expected.begin() + 10, ins.begin(), ins.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->SelAnchor(), 10);
  EXPECT_EQ(Ed->SelMin(), 10);
  EXPECT_EQ(Ed->SelMax(), 12);
  EXPECT_EQ(CaretPos(), 10);
  EXPECT_EQ(Ed->UndoDescription(), "Insert buffer");
  EXPECT_GE(Host.Posted.size(), 2u);  // the undo step and the new selection

  Ed->SetSelStart(0);
  Ed->InsertBuffer(ins.data(), 3, 20);
  expected.insert(expected.begin() + 20, ins.begin(), ins.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->SelAnchor(), -1);
  EXPECT_EQ(Ed->UndoCount(), 2);
}

TEST_F(Editing, InsertBufferIntoAnEmptyDocumentCreatesTheWorkingFile) {
  const Bytes ins{1, 2, 3, 4};
  EXPECT_FALSE(Ed->HasDataStream());
  Ed->InsertBuffer(ins.data(), 4, 0);
  EXPECT_TRUE(Ed->HasDataStream());
  EXPECT_EQ(Document(), ins);
  EXPECT_EQ(Ed->SelMin(), 0);
  EXPECT_EQ(Ed->SelMax(), 3);
  EXPECT_EQ(Ed->RowCount(), 1);
  Ed->Undo();
  EXPECT_EQ(Ed->DataSize(), 0);
  EXPECT_FALSE(Ed->Modified());
}

TEST_F(Editing, BadBlockArgumentsAreRefusedWithAMessageAndChangeNothing) {
  const Bytes data = Pattern(20);
  const Bytes ins{9, 9};
  Load(data);
  Select(3, 6);
  struct Row {
    const char* what;
    std::function<void()> call;
    const char* message;
  };
  const Row rows[] = {
      {"insert before 0", [&] { Ed->InsertBuffer(ins.data(), 2, -1); }, "Invalid InsertBuffer argument"},
      {"insert past the end", [&] { Ed->InsertBuffer(ins.data(), 2, 21); }, "Invalid InsertBuffer argument"},
      {"negative insert", [&] { Ed->InsertBuffer(ins.data(), -2, 0); }, "Invalid InsertBuffer argument"},
      {"no data", [&] { Ed->InsertBuffer(nullptr, 2, 0); }, "Invalid InsertBuffer argument"},
      {"negative append", [&] { Ed->AppendBuffer(ins.data(), -1); }, "Invalid AppendBuffer argument"},
      {"negative replace", [&] { Ed->ReplaceSelection(ins.data(), -5); }, "Invalid ReplaceSelection argument"},
      {"SelStart", [&] { Ed->SetSelStart(20); }, "Invalid SelStart"},
      {"SelStart negative", [&] { Ed->SetSelStart(-1); }, "Invalid SelStart"},
      {"SelEnd", [&] { Ed->SetSelEnd(20); }, "Invalid SelEnd"},
      {"marker", [&] { Ed->SetMarker(10, 1); }, "SetMarker : Invalid marker index"},
      {"marker negative", [&] { Ed->SetMarker(-1, 1); }, "SetMarker : Invalid marker index"},
      {"delete range", [&] { Ed->DeleteRange(5, 21, 0, 2); }, "Invalid DeleteRange argument"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    try {
      r.call();
      ADD_FAILURE() << "no exception";
    } catch (const EHexEditorError& e) {
      EXPECT_STREQ(e.what(), r.message);
    }
    EXPECT_EQ(Document(), data);
    EXPECT_FALSE(Ed->CanUndo());
    EXPECT_EQ(Ed->SelMin(), 3);
    EXPECT_EQ(Ed->SelMax(), 6);
  }
  // Empty blocks are no edits at all.
  Ed->InsertBuffer(ins.data(), 0, 5);
  Ed->AppendBuffer(nullptr, 0);
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_EQ(Document(), data);
}

TEST_F(Editing, AppendBufferSelectsTheNewBytesInTheCaretsField) {
  const Bytes data = Pattern(30);
  const Bytes add{7, 8, 9};
  Load(data);
  Ed->SetSelStart(4);
  bool inChar = false;
  Ed->SetCol(Ed->GetOtherFieldCol(Ed->Col(), inChar));
  Ed->AppendBuffer(add.data(), 3);
  Bytes expected = data;
  expected.insert(expected.end(), add.begin(), add.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->GetCursorPos(), 30);
  EXPECT_TRUE(Ed->IsCharFieldActive());
  EXPECT_EQ(Ed->SelAnchor(), 30);
  EXPECT_EQ(Ed->SelMax(), 32);
  EXPECT_EQ(Ed->UndoDescription(), "Append buffer");
  EXPECT_EQ(Ed->RowCount(), 3);
}

TEST_F(Editing, ReplaceSelectionMadeFromItsStartSelectsTheNewBytes) {
  const Bytes data = Pattern(40);
  const Bytes rep{1, 2, 3, 4, 5};
  Load(data);
  Select(10, 12);
  Ed->ReplaceSelection(rep.data(), 5);
  Bytes expected = data;
  expected.erase(expected.begin() + 10, expected.begin() + 13);
  expected.insert(expected.begin() + 10, rep.begin(), rep.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(CaretPos(), 10);
  EXPECT_EQ(Ed->SelAnchor(), 10);
  EXPECT_EQ(Ed->SelMin(), 10);
  EXPECT_EQ(Ed->SelMax(), 14);
  EXPECT_EQ(Ed->UndoDescription(), "Replace selection");
}

TEST_F(Editing, ReplaceSelectionMadeBackwardsLeavesNoSelection) {
  const Bytes data = Pattern(40);
  const Bytes rep{1, 2};
  Load(data);
  Select(12, 10);  // caret on 12, the end of the selection
  Ed->ReplaceSelection(rep.data(), 2);
  Bytes expected = data;
  expected.erase(expected.begin() + 10, expected.begin() + 13);
  expected.insert(expected.begin() + 10, rep.begin(), rep.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->SelAnchor(), -1);
  EXPECT_EQ(CaretPos(), 10);  // where deleting the old bytes put it
}

TEST_F(Editing, ReplaceSelectionOfTheLastBytesAndWithNothing) {
  const Bytes data = Pattern(20);
  Load(data);
  Select(17, 19);
  const Bytes one{0xEE};
  Ed->ReplaceSelection(one.data(), 1);
  Bytes expected(data.begin(), data.begin() + 17);
  expected.push_back(0xEE);
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(CaretPos(), 17);
  EXPECT_EQ(Ed->SelMin(), 17);
  EXPECT_EQ(Ed->SelMax(), 17);

  // Replacing by nothing deletes: the step can be undone and nothing is selected.
  Select(2, 4);
  Ed->ReplaceSelection(nullptr, 0);
  expected.erase(expected.begin() + 2, expected.begin() + 5);
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->SelAnchor(), -1);
  EXPECT_EQ(CaretPos(), 2);
  Ed->Undo();
  Ed->Undo();
  EXPECT_EQ(Document(), data);
}

TEST_F(Editing, ReplaceSelectionWithoutSelectionInsertsAtTheCaret) {
  const Bytes data = Pattern(20);
  const Bytes ins{4, 5};
  Load(data);
  Ed->SetSelStart(6);
  Ed->ReplaceSelection(ins.data(), 2);
  Bytes expected = data;
  expected.insert(expected.begin() + 6, ins.begin(), ins.end());
  EXPECT_EQ(Document(), expected);
  EXPECT_EQ(Ed->UndoDescription(), "Insert buffer");
  EXPECT_EQ(Ed->SelMin(), 6);
  EXPECT_EQ(Ed->SelMax(), 7);
}

// --- Selection, caret, markers -------------------------------------------------------

TEST_F(Editing, SelectionMadeBackwards) {
  Load(Pattern(100));
  Host.Posted.clear();
  Select(20, 10);
  EXPECT_EQ(Ed->SelStart(), 20);
  EXPECT_EQ(Ed->SelEnd(), 10);
  EXPECT_EQ(Ed->SelCount(), 11);
  EXPECT_EQ(CaretPos(), 20);
  EXPECT_TRUE(Ed->IsSelected(10));
  EXPECT_TRUE(Ed->IsSelected(20));
  EXPECT_FALSE(Ed->IsSelected(21));
  EXPECT_FALSE(Ed->IsSelected(9));
  EXPECT_FALSE(Host.Posted.empty());
  Select(10, 20);
  EXPECT_EQ(Ed->SelStart(), 10);
  EXPECT_EQ(Ed->SelEnd(), 20);
  Ed->SetSelStart(30);
  EXPECT_EQ(Ed->SelCount(), 0);
  EXPECT_EQ(Ed->SelStart(), 30);
  EXPECT_EQ(Ed->SelEnd(), 30);
  EXPECT_FALSE(Ed->IsSelected(30));
}

struct SeekRow {
  int32_t offset;
  int origin;
  bool fail;
  bool result;
  int32_t caret;
};

TEST_F(Editing, Seek) {
  const SeekRow rows[] = {
      {-1, 2, false, true, 98},  {5, 2, true, false, 50},   {5, 2, false, true, 99},  {-5, 0, false, true, 0},
      {-5, 0, true, false, 50},  {10, 1, false, true, 60},  {-60, 1, true, false, 50}, {-60, 1, false, true, 0},
      {77, 0, true, true, 77},   {100, 0, true, false, 50}, {3, 9, true, true, 50},
      {INT32_MAX, 1, false, true, 99}, {INT32_MIN, 2, false, true, 0},
  };
  Load(Pattern(100));
  for (const SeekRow& r : rows) {
    SCOPED_TRACE(std::to_string(r.offset) + "/" + std::to_string(r.origin));
    Ed->SetSelStart(50);
    EXPECT_EQ(Ed->Seek(r.offset, r.origin, r.fail), r.result);
    EXPECT_EQ(Ed->GetCursorPos(), r.caret);
  }
}

TEST_F(Editing, EmptyDocumentPositions) {
  EXPECT_EQ(Ed->GetCursorPos(), 0);
  EXPECT_FALSE(Ed->IsCharFieldActive());
  EXPECT_FALSE(Ed->Seek(0, 0, false));
  EXPECT_EQ(Ed->SelCount(), 0);
  EXPECT_THROW(Ed->SetSelStart(0), EHexEditorError);
}

TEST_F(Editing, Markers) {
  Load(Pattern(1000));
  Ed->SetSelStart(100);  // row 6
  for (int i = 0; i < 10; ++i) EXPECT_EQ(Ed->GetMarker(i), 6);
  EXPECT_EQ(Ed->MarkerAtRow(6), -1);
  Host.ClearRecords();
  Ed->SetMarker(7, 3);
  EXPECT_EQ(Host.InvalidateCount, 1);
  Ed->SetMarker(7, 3);
  EXPECT_EQ(Host.InvalidateCount, 1);  // unchanged: no repaint
  Ed->SetMarker(2, 3);
  EXPECT_EQ(Ed->GetMarker(7), 3);
  EXPECT_EQ(Ed->MarkerAtRow(3), 2);
  Ed->SetMarker(2, -1);
  EXPECT_EQ(Ed->MarkerAtRow(3), 7);
  EXPECT_EQ(Ed->GetMarker(2), 6);
  EXPECT_THROW(Ed->GetMarker(10), EHexEditorError);
  // Markers belong to rows: deleting data does not move them.
  Select(0, 100);
  Ed->DeleteSelection();
  EXPECT_EQ(Ed->GetMarker(7), 3);
}

TEST_F(Editing, ChangeMarks) {
  Load(Pattern(10));
  EXPECT_FALSE(Ed->ByteChanged(3));
  Ed->SetChangedBit(5000, false);  // a clear bit beyond the set changes nothing
  EXPECT_EQ(Ed->ChangedBits().Size(), 0);
  Ed->SetChangedBit(3, true);
  EXPECT_TRUE(Ed->ByteChanged(3));
  EXPECT_EQ(Ed->ChangedBits().Size(), 4);
  Ed->SetChangedBit(3, false);
  EXPECT_FALSE(Ed->ByteChanged(3));
  EXPECT_FALSE(Ed->ByteChanged(-1));
}

// --- Limits and space -----------------------------------------------------------------

// The state an edit must leave alone when it is refused.
struct Snapshot {
  Bytes bytes;
  int undoCount;
  bool canUndo, modified;
  std::string description;
  int32_t selMin, selMax, selAnchor;
  int col, row;
  bool mark3;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(THexEditor& ed) {
  Snapshot s;
  s.bytes = DocumentBytes(ed);
  s.undoCount = ed.UndoCount();
  s.canUndo = ed.CanUndo();
  s.modified = ed.Modified();
  s.description = ed.UndoDescription();
  s.selMin = ed.SelMin();
  s.selMax = ed.SelMax();
  s.selAnchor = ed.SelAnchor();
  s.col = ed.Col();
  s.row = ed.Row();
  s.mark3 = ed.ByteChanged(3);
  return s;
}

// Runs an edit that must be refused for want of space; 0 when it was refused
// with a clear message and changed nothing.
int RefusedForSpace(THexEditor& ed, const std::function<void()>& edit, int code) {
  const Snapshot before = Take(ed);
  try {
    edit();
    std::fprintf(stderr, "check %d: the edit was made\n", code);
    return code;
  } catch (const std::exception& e) {
    if (std::string(e.what()).find("Not enough space") == std::string::npos) {
      std::fprintf(stderr, "check %d: unclear message: %s\n", code, e.what());
      return code + 1;
    }
  }
  if (!(Take(ed) == before)) {
    std::fprintf(stderr, "check %d: the state changed\n", code);
    return code + 2;
  }
  return 0;
}

TEST_F(Editing, EditsThatFindNoSpaceChangeNothing) {
  const std::string folder = WorkDir();
  const std::string path = Path("big.bin");
  constexpr int32_t MiB = 1 << 20;
  const Bytes data = Pattern(9 * MiB + MiB / 2, 5);
  WriteFile(path, data);
  const int rc = RunWithSmallDisk(folder, 12 * 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    host.Target = &ed;
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    ed.ChangeByte(ed.ReadByte(3), static_cast<uint8_t>(~ed.ReadByte(3)), 0, 2, 3);
    ed.SetSelStart(100);
    ed.SetSelEnd(100 + 9 * MiB);
    const Bytes block(3 * MiB, 0xAB);
    int r = 0;
    // New bytes need room in the folder: 3 MiB do not fit.
    if ((r = RefusedForSpace(ed, [&] { ed.InsertBuffer(block.data(), 3 * MiB, 5); }, 30))) return r;
    if ((r = RefusedForSpace(ed, [&] { ed.AppendBuffer(block.data(), 3 * MiB); }, 40))) return r;
    // Removing 9 MiB and shifting nibbles move nothing: they need no room,
    // and neither does taking them back.
    ed.DeleteSelection();
    if (ed.DataSize() != static_cast<int32_t>(data.size()) - 9 * MiB - 1) return 50;
    if (!ed.InsertNibble(0, true) || !ed.DeleteNibble(5, false)) return 60;
    for (int i = 0; i < 3; ++i) ed.Undo();
    if (ed.DataSize() != static_cast<int32_t>(data.size()) || ed.UndoCount() != 1) return 66;
    // Small edits still fit, and undo works.
    ed.InsertBuffer(block.data(), 10, 5);
    if (ed.DataSize() != static_cast<int32_t>(data.size()) + 10 || ed.UndoCount() != 2) return 80;
    ed.Undo();
    Bytes expected = data;
    expected[3] = static_cast<uint8_t>(~expected[3]);
    if (DocumentBytes(ed) != expected) return 81;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

TEST_F(Editing, FirstInsertionThatFindsNoSpaceLeavesNoWorkingFile) {
  const std::string folder = WorkDir();
  const int rc = RunWithSmallDisk(folder, 256, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    const Bytes block(1 << 20, 1);
    int r = RefusedForSpace(ed, [&] { ed.InsertBuffer(block.data(), 1 << 20, 0); }, 10);
    if (r) return r;
    if (ed.HasDataStream() || !List(WorkFiles()).empty()) return 20;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace byteloom::test
