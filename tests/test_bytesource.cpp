// SPDX-License-Identifier: GPL-3.0-or-later
// Every kind of byte source against the same expectations, and the piece
// reader that scans them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>

#include "control/bytesource.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

class ByteSourceTest : public EditorTest, public ::testing::WithParamInterface<const char*> {
 protected:
  // A source of the kind the test runs with, holding bytes.
  std::unique_ptr<TByteSource> Make(const Bytes& bytes) {
    Held = bytes;
    const std::string kind = GetParam();
    if (kind == "editor") {
      Load(bytes);
      return std::make_unique<TEditorSource>(*Ed);
    }
    if (kind == "buffer") return std::make_unique<TBufferSource>(Held);
    WriteFile(Path("source.bin"), bytes);
    return std::make_unique<TFileSource>(Path("source.bin"));
  }
  Bytes Held;
};

TEST_P(ByteSourceTest, ReadsExactlyTheRangeAskedFor) {
  for (int32_t size : {0, 1, 4099}) {
    SCOPED_TRACE(size);
    const Bytes bytes = Pattern(static_cast<size_t>(size), static_cast<uint32_t>(size) + 3);
    const auto source = Make(bytes);
    ASSERT_EQ(source->Size(), size);
    const int32_t mid = size / 2;
    const struct {
      int32_t Pos, Count;
    } reads[] = {{0, std::min(size, 7)}, {mid, std::min(size - mid, 9)}, {std::max(size - 5, 0), std::min(size, 5)},
                 {0, 0},                 {size, 0},                       {0, size}};
    for (const auto& r : reads) {
      Bytes got(static_cast<size_t>(r.Count) + 1, 0xA5);
      source->Read(got.data(), r.Pos, r.Count);
      EXPECT_EQ(Bytes(got.begin(), got.end() - 1), Bytes(bytes.begin() + r.Pos, bytes.begin() + r.Pos + r.Count))
          << r.Pos << "+" << r.Count;
      EXPECT_EQ(got.back(), 0xA5) << "written past the count";
    }
    uint8_t spare[8];
    for (const auto& r : {std::pair{-1, 1}, {size, 1}, {0, size + 1}, {mid, -1}})
      EXPECT_THROW(source->Read(spare, r.first, r.second), std::out_of_range) << r.first << "+" << r.second;
  }
}

INSTANTIATE_TEST_SUITE_P(Sources, ByteSourceTest, ::testing::Values("editor", "buffer", "file"));

// --- The piece reader ------------------------------------------------------------------

// Every piece holds the source's bytes where it says it lies; each one begins
// with the last `overlap` bytes of the one before; the pieces reach the end
// of the range; and so every run of overlap + 1 bytes lies whole in a piece.
TEST(PieceReader, OverlappingPiecesCoverEveryStraddlingRun) {
  const Bytes bytes = Pattern(200, 9);
  TBufferSource source(bytes);
  for (int64_t pieceSize : {1, 2, 3, 7, 64, 1000}) {
    for (int64_t overlap : {0, 1, 2, 5}) {
      for (const auto& [first, end] : {std::pair{0, 200}, {3, 200}, {17, 18}, {50, 50}, {199, 200}, {10, 13}}) {
        SCOPED_TRACE(testing::Message() << "piece " << pieceSize << " overlap " << overlap << " range " << first
                                        << ".." << end);
        TPieceReader pieces(source, first, end, overlap, pieceSize);
        std::vector<bool> seen(bytes.size());  // runs of overlap + 1 bytes seen whole, by start
        int64_t expectPos = first, before = first, count = 0;
        while (pieces.Next()) {
          ++count;
          ASSERT_EQ(pieces.Pos(), expectPos);
          ASSERT_GT(pieces.End(), before);  // new bytes every time
          ASSERT_LE(pieces.Size(), pieceSize + overlap);
          ASSERT_EQ(Bytes(pieces.Data(), pieces.Data() + pieces.Size()),
                    Bytes(bytes.begin() + pieces.Pos(), bytes.begin() + pieces.End()));
          for (int64_t s = pieces.Pos(); s + overlap < pieces.End(); ++s) seen[static_cast<size_t>(s)] = true;
          EXPECT_EQ(pieces.Last(), pieces.End() == end);
          expectPos = std::max(pieces.Pos(), pieces.End() - overlap);
          before = pieces.End();
        }
        EXPECT_EQ(count == 0, first == end);
        if (count > 0) EXPECT_EQ(pieces.End(), end);
        for (int64_t s = first; s + overlap < end; ++s) EXPECT_TRUE(seen[static_cast<size_t>(s)]) << s;
      }
    }
  }
}

TEST(PieceReader, KeepsWhatTheCallerNamesAndFetchesAnyWindow) {
  const Bytes bytes = Pattern(500, 4);
  TBufferSource source(bytes);
  const auto same = [&](const uint8_t* p, int64_t pos, int64_t n) {
    return Bytes(p, p + n) == Bytes(bytes.begin() + pos, bytes.begin() + pos + n);
  };
  // Next(keep): the next piece starts at keep, whatever the overlap.
  TPieceReader pieces(source, 20, 500, 3, 50);
  ASSERT_TRUE(pieces.Next());
  ASSERT_TRUE(pieces.Next(60));
  EXPECT_EQ(pieces.Pos(), 60);
  EXPECT_TRUE(same(pieces.Data(), 60, pieces.Size()));
  ASSERT_TRUE(pieces.Next(pieces.End()));  // nothing carried
  EXPECT_TRUE(same(pieces.Data(), pieces.Pos(), pieces.Size()));
  // At: windows forward, backward, across the piece's end and at the range's end.
  std::mt19937 rng(5);
  TPieceReader window(source, 20, 500, 0, 40);
  for (int k = 0; k < 300; ++k) {
    const int64_t n = k % 7 == 0 ? 40 : rng() % 17;
    const int64_t pos = k % 5 == 0 ? 500 - n : 20 + rng() % (481 - n);
    ASSERT_TRUE(same(window.At(pos, n), pos, n)) << pos << "+" << n;
  }
  for (const auto& [pos, n] : {std::pair{19, 2}, {490, 11}, {100, 41}, {100, -1}})
    EXPECT_THROW(window.At(pos, n), std::out_of_range) << pos << "+" << n;
}

}  // namespace
}  // namespace byteloom::test
