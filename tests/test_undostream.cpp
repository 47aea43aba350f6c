// SPDX-License-Identifier: GPL-3.0-or-later
// The undo records' stream: in memory while small, in a private file beyond
// its limit, with the same bytes either way while records come and go; and
// the records written to it read back as they were.
#include <gtest/gtest.h>

#include <deque>
#include <limits>

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

}  // namespace
}  // namespace byteloom::test
