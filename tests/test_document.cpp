// SPDX-License-Identifier: GPL-3.0-or-later
// The document layer: random edits, nibble shifts, undo and redo against the
// plain model, the nibble rules, pieces that stay few, saving, a full disk.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "document/document.h"
#include "tests/fuzz/docmodel.h"
#include "tests/support/fakememory.h"
#include "tests/support/filelimit.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using Document = TempDirTest;

Bytes ReadAll(const TDocument& doc) {
  Bytes b(static_cast<size_t>(doc.Size()));
  doc.Read(0, doc.Size(), b.data());
  return b;
}

TEST_F(Document, RandomEditsUndosAndRedosReadAsThePlainModel) {
  std::mt19937_64 rng(7);
  TChoices c{[&] { return static_cast<uint64_t>(rng()); }};
  for (const size_t fileSize : {size_t{0}, size_t{65536}}) {
    const Bytes file = Pattern(fileSize, 3);
    WriteFile(Path("in.bin"), file);
    TDocument doc(OpenRegularForReading(Path("in.bin")));
    TDocPair pair(doc, file);
    std::string trail;
    for (int step = 0; step < 3000; ++step) {
      const std::string what = pair.Step(c);
      trail = trail.substr(trail.size() > 300 ? trail.size() - 300 : 0) + what + "; ";
      ASSERT_NE(what.rfind("MISMATCH", 0), 0u) << what << "\nafter " << trail;
      const std::string diff = pair.Mismatch(c);
      ASSERT_EQ(diff, "") << "after " << trail;
    }
    // It saves as it reads; a cancelled save says so.
    TTempFile out = TTempFile::Create(Dir() + "/", ".out");
    ASSERT_TRUE(doc.WriteTo(out.Handle()));
    EXPECT_EQ(ReadFile(out.Name()), pair.M.bytes);
    EXPECT_EQ(doc.WriteTo(out.Handle(), [](int64_t, int64_t) { return false; }), doc.Size() == 0);
  }
}

TEST_F(Document, NibbleShiftsFollowTheRules) {
  const struct {
    bool insert;
    int64_t pos;
    bool high;
    Bytes before, after;
  } rows[] = {
      {true, 0, true, {0x12, 0x34, 0x56}, {0x01, 0x23, 0x45, 0x60}},
      {true, 0, false, {0x12, 0x34, 0x56}, {0x10, 0x23, 0x45, 0x60}},
      {false, 0, true, {0x12, 0x34, 0x56}, {0x23, 0x45, 0x60}},
      {false, 0, false, {0x12, 0x34, 0x56}, {0x13, 0x45, 0x60}},
      {true, 2, true, {0x12, 0x34, 0x56}, {0x12, 0x34, 0x05, 0x60}},
      {false, 2, false, {0x12, 0x34, 0x56}, {0x12, 0x34, 0x50}},
      {true, 0, true, {}, {0x00}},          // an empty document gets one zero byte
      {true, 3, true, {0x12, 0x34, 0x56}, {0x12, 0x34, 0x56}},  // outside: nothing
      {false, 0, true, {}, {}},
  };
  for (const auto& row : rows) {
    WriteFile(Path("n.bin"), row.before);
    TDocument doc(OpenRegularForReading(Path("n.bin")));
    TEditStep step = row.insert ? doc.InsertNibble(row.pos, row.high) : doc.DeleteNibble(row.pos, row.high);
    EXPECT_EQ(ReadAll(doc), row.after) << row.insert << " " << row.pos << " " << row.high;
    EXPECT_EQ(step.Empty(), row.before.size() == row.after.size() && row.before == row.after);
    doc.Undo(step);
    EXPECT_EQ(ReadAll(doc), row.before);
    doc.Redo(step);
    EXPECT_EQ(ReadAll(doc), row.after);
  }
}

TEST_F(Document, TypingKeepsOnePieceAndDenseEditsStayFew) {
  const Bytes file = Pattern(1 << 20, 5);
  WriteFile(Path("t.bin"), file);
  TDocument doc(OpenRegularForReading(Path("t.bin")));
  std::vector<TEditStep> steps;
  for (int i = 0; i < 1000; ++i) steps.push_back(doc.OverwriteByte(100 + i, static_cast<uint8_t>(i)));
  for (int i = 0; i < 1000; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    steps.push_back(doc.Insert(1100 + i, &b, 1));
  }
  EXPECT_EQ(doc.Pieces().Count(), 3u);
  for (auto s = steps.rbegin(); s != steps.rend(); ++s) doc.Undo(*s);
  EXPECT_EQ(doc.Pieces().Count(), 1u);
  EXPECT_EQ(ReadAll(doc), file);
  // Many scattered edits in 64 KiB: a few pieces per KiB, not one per edit.
  std::mt19937 rng(1);
  for (int i = 0; i < 20000; ++i) {
    const int64_t p = rng() % 65536;
    if (i % 3 == 0)
      doc.InsertNibble(p, i % 2 == 0);
    else
      doc.OverwriteByte(p, static_cast<uint8_t>(i));
  }
  EXPECT_LT(doc.Pieces().Count(), 1000u);
}

TEST_F(Document, BytesThatDoNotFitTheDiskChangeNothing) {
  WriteFile(Path("f.bin"), Bytes{1, 2, 3});
  TDocument doc(OpenRegularForReading(Path("f.bin")));
  const Bytes big(2 << 20, 0x77), small{9, 8};
  {
    TFileSizeLimit limit(1 << 20);
    EXPECT_THROW(doc.Insert(1, big.data(), static_cast<int64_t>(big.size())), EFileError);
    EXPECT_EQ(ReadAll(doc), (Bytes{1, 2, 3}));
    doc.Insert(1, small.data(), 2);
  }
  EXPECT_EQ(ReadAll(doc), (Bytes{1, 9, 8, 2, 3}));
}


TEST_F(Document, LiveMemoryIsWrittenThroughKeepsItsLengthAndUndoWritesTheOldBytesBack) {
  Bytes memory = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  auto fake = std::make_unique<TFakeMemory>(memory);
  TFakeMemory& mem = *fake;
  TDocument doc(std::move(fake));
  const uint8_t two[] = {0xAA, 0xBB};

  // Reads see what the program does; an overwrite lands in the memory at once.
  memory[5] = 0x66;
  EXPECT_EQ(ReadAll(doc), (Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x66}));
  TEditStep put = doc.Replace(1, 2, two, 2);
  EXPECT_EQ(memory, (Bytes{0x10, 0xAA, 0xBB, 0x40, 0x50, 0x66}));
  // Half a byte (the low nibble of byte 3, as typing a hex digit does).
  TPiece highHalf = doc.Add(two, 1);
  highHalf.Length = 1;  // 0xA
  TSplice low = doc.Splice(7, 1, {highHalf});
  EXPECT_EQ(memory[3], 0x4A);
  EXPECT_EQ(doc.Pieces().Count(), 1u);

  // Whatever changes the length is refused, and nothing changes.
  const Bytes before = memory;
  for (const auto& edit : std::vector<std::function<void()>>{
           [&] { doc.Insert(0, two, 1); }, [&] { doc.Delete(2, 1); }, [&] { doc.Replace(0, 1, two, 2); },
           [&] { doc.InsertNibble(2, true); }, [&] { doc.DeleteNibble(2, false); }})
    EXPECT_THROW(edit(), EFixedLength);
  EXPECT_EQ(memory, before);
  // A write the memory does not take changes nothing either.
  mem.FLockedFrom = 4;
  EXPECT_THROW(doc.Replace(3, 2, two, 2), EFileError);
  EXPECT_EQ(memory, before);
  mem.FLockedFrom = UINT64_MAX;

  // Undo writes the old bytes back, and says when the program changed the
  // bytes since the edit wrote them.
  TEditStep lowStep{{low}};
  doc.Undo(lowStep);
  EXPECT_EQ(memory[3], 0x40);
  EXPECT_FALSE(doc.TakeChangedMeanwhile());
  memory[2] = 0x99;
  doc.Undo(put);
  EXPECT_EQ(memory, (Bytes{0x10, 0x20, 0x30, 0x40, 0x50, 0x66}));
  EXPECT_TRUE(doc.TakeChangedMeanwhile());
  doc.Redo(put);
  EXPECT_EQ(memory, (Bytes{0x10, 0xAA, 0xBB, 0x40, 0x50, 0x66}));
  EXPECT_FALSE(doc.TakeChangedMeanwhile());
}

}  // namespace
}  // namespace byteloom::test
