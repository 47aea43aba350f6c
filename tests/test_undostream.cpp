// SPDX-License-Identifier: GPL-3.0-or-later
// The undo records' stream: in memory while small, in a private file beyond
// its limit, with the same bytes either way while records come and go; and
// the records written to it read back as they were.
#include <gtest/gtest.h>

#include <deque>
#include <limits>

#include "control/undorecord.h"
#include "control/undostream.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using UndoStream = TempDirTest;

TEST_F(UndoStream, DroppingAndAppendingKeepsTheBytesInMemoryAndInAFile) {
  for (int64_t limit : {int64_t{1} << 20, int64_t{4096}}) {
    SCOPED_TRACE(limit);
    TUndoStream s(WorkDir() + "/", limit);
    std::deque<uint8_t> model;
    const Bytes data = Pattern(50000, 3);
    size_t next = 0;
    // Append records of varying length and drop the oldest ones, like a full list.
    for (int step = 0; step < 400; ++step) {
      const int64_t n = 1 + (step * 37) % 300;
      Bytes rec(data.begin() + static_cast<long>(next % 40000), data.begin() + static_cast<long>(next % 40000 + n));
      next += static_cast<size_t>(n);
      s.Append(rec.data(), n);
      model.insert(model.end(), rec.begin(), rec.end());
      if (step % 3 == 2) {
        const int64_t drop = std::min<int64_t>(static_cast<int64_t>(model.size()), 150);
        s.DropFront(drop);
        model.erase(model.begin(), model.begin() + drop);
      }
      ASSERT_EQ(s.Size(), static_cast<int64_t>(model.size()));
    }
    Bytes got(model.size());
    s.Read(0, got.data(), static_cast<int64_t>(got.size()));
    EXPECT_EQ(got, Bytes(model.begin(), model.end()));
    EXPECT_EQ(s.InFile(), limit == 4096);
    // Shortening from the end, as undo does.
    s.SetSize(10);
    s.Read(0, got.data(), 10);
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10, model.begin()));
    EXPECT_THROW(s.Read(5, got.data(), 10), EFileError);
  }
  EXPECT_TRUE(List(WorkFiles()).empty());  // the file goes with the stream
}

// Every kind, with the extreme values of every field and payloads from the
// one kept byte to 3 MiB (from memory and, in pieces, from a file), reads
// back from the newest record to the oldest; one record starts in memory
// and moves the stream into its file with its payload.
TEST_F(UndoStream, RecordsReadBackAsWritten) {
  constexpr int64_t kLimit = 1 << 16;
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min(), kMax = std::numeric_limits<int32_t>::max();
  TUndoStream s(WorkDir() + "/", kLimit);
  const Bytes big = Pattern((3 << 20) + 16, 9);
  TTempFile file = TTempFile::Create(WorkDir() + "/", ".BLWT");
  file.Handle().WriteAt(big.data(), static_cast<int64_t>(big.size()), 0);
  const int64_t payloads[] = {0, 1, 1000, 40000, 3 << 20, 70000, 2, 0};
  struct Written {
    TUndoRecord Record;
    Bytes Payload;
  };
  std::vector<Written> written;
  int splitAt = -1;
  for (int i = 0; i < 16; ++i) {
    const bool low = i % 2 == 0;
    const int32_t v = low ? kMin : kMax;
    TUndoRecord r;
    r.Kind = static_cast<TUndoKind>(i / 2);
    r.Mark = !low;
    r.State = {v, static_cast<uint8_t>(low ? 0 : 1), !low, v, low ? -1 : kMax, v, low};
    r.Pos = v, r.Count = low ? -1 : kMax, r.Extra = v;
    const int64_t count = low ? 0 : payloads[i / 2];
    r.First = count ? big[static_cast<size_t>(i)] : low ? 0x00 : 0xFF;  // the first payload byte
    const bool fromFile = count > (1 << 20);
    const bool inMemory = !s.InFile();
    r.Start = s.Size();
    r.Length = std::max<int64_t>(count, 1) + TUndoRecord::kMinRecord - 1;
    AppendRecord(s, r, count, fromFile ? nullptr : big.data() + i, &file.Handle(), i);
    if (inMemory && s.InFile()) splitAt = i;
    written.push_back({r, count ? Bytes(big.begin() + i, big.begin() + i + count) : Bytes{r.First}});
  }
  ASSERT_GE(splitAt, 0);
  EXPECT_LE(written[static_cast<size_t>(splitAt)].Record.PayloadAt(), kLimit) << "its header was in memory";
  for (auto w = written.rbegin(); w != written.rend(); ++w) {
    SCOPED_TRACE(w - written.rbegin());
    const std::optional<TUndoRecord> r = ReadNewest(s);
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, w->Record);
    Bytes payload(static_cast<size_t>(r->PayloadLength()));
    s.Read(r->PayloadAt(), payload.data(), r->PayloadLength());
    EXPECT_TRUE(payload == w->Payload);
    s.SetSize(r->Start);
  }
  EXPECT_FALSE(ReadNewest(s));
}

}  // namespace
}  // namespace byteloom::test
