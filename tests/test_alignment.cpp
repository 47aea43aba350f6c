// SPDX-License-Identifier: GPL-3.0-or-later
// The alignment of a pair against its lane read cell by cell: random
// segment lists, the mapping both ways, splices of either side and
// realigning at two carets.
#include <gtest/gtest.h>

#include <random>

#include "compare/alignment.h"

namespace byteloom::test {
namespace {

using Cells = std::vector<std::pair<int64_t, int64_t>>;  // per lane position: left byte, right byte (-1: a gap)

Cells Expand(const TAlignment& a) {
  Cells cells;
  for (const TSegment& s : a.Segments())
    for (int64_t i = 0; i < s.Count; ++i)
      cells.push_back({s.LeftCount() ? s.Left + i : -1, s.RightCount() ? s.Right + i : -1});
  return cells;
}

TAlignment RandomAlignment(std::mt19937& rng) {
  std::vector<TSegment> v;
  for (int n = static_cast<int>(rng() % 8); n > 0; --n)
    v.push_back({0, 0, static_cast<int64_t>(rng() % 6), static_cast<TSegment::TKind>(rng() % 3)});
  return TAlignment(v);
}

TEST(Alignment, MapsSplicesAndRealignsAsItsCells) {
  std::mt19937 rng(3);
  for (int round = 0; round < 3000; ++round) {
    const TAlignment a = RandomAlignment(rng);
    const Cells cells = Expand(a);
    SCOPED_TRACE(testing::Message() << "round " << round << " lanes " << cells.size());
    ASSERT_EQ(a.Lanes(), static_cast<int64_t>(cells.size()));
    // Both ways between bytes and lane positions; a gap maps to the byte after it.
    for (int side = 0; side < 2; ++side) {
      int64_t next = a.Size(side);  // the first byte at or after lane k, walking back
      for (int64_t k = a.Lanes(); k >= 0; --k) {
        const int64_t pos = k < a.Lanes() ? (side ? cells[k].second : cells[k].first) : -1;
        if (pos >= 0) next = pos;
        bool gap = false;
        ASSERT_EQ(a.PosAt(side, k, gap), next) << side << " " << k;
        ASSERT_EQ(gap, pos < 0);
        if (pos >= 0) ASSERT_EQ(a.LaneOf(side, pos), k);
      }
      ASSERT_EQ(a.LaneOf(side, a.Size(side)), a.Lanes());
    }
    // A splice: the kept bytes keep their partners, removed ones leave a
    // gap facing their partner, new ones face a gap before the byte at pos.
    const int side = static_cast<int>(rng() % 2);
    const int64_t size = a.Size(side);
    const int64_t pos = static_cast<int64_t>(rng() % static_cast<uint64_t>(size + 1));
    const int64_t removed = static_cast<int64_t>(rng() % static_cast<uint64_t>(size - pos + 1)), inserted = rng() % 4;
    const int64_t kept = std::min(removed, inserted), at = pos + kept, gone = removed - kept, added = inserted - kept;
    Cells want;
    bool placed = false;
    auto mine = [side](auto& c) -> int64_t& { return side ? c.second : c.first; };
    for (auto c : cells) {
      if (!placed && mine(c) >= at) {
        for (int64_t i = 0; i < added; ++i) want.push_back(side ? std::pair<int64_t, int64_t>{-1, at + i} : std::pair<int64_t, int64_t>{at + i, -1});
        placed = true;
      }
      if (mine(c) >= at && mine(c) < at + gone) {
        mine(c) = -1;
        if (c.first < 0 && c.second < 0) continue;
      } else if (mine(c) >= at + gone) {
        mine(c) += added - gone;
      }
      want.push_back(c);
    }
    for (int64_t i = 0; !placed && i < added; ++i)
      want.push_back(side ? std::pair<int64_t, int64_t>{-1, at + i} : std::pair<int64_t, int64_t>{at + i, -1});
    ASSERT_EQ(Expand(a.Spliced(side, pos, removed, inserted)), want) << "splice of " << side << " at " << pos << " -" << removed << " +" << inserted;
    // Realigned: the two bytes and the count after them face each other.
    if (a.Size(0) == 0 || a.Size(1) == 0) continue;
    const int64_t l = rng() % a.Size(0), r = rng() % a.Size(1), count = rng() % 4;
    const TAlignment b = a.Realigned(l, r, count);
    ASSERT_EQ(b.Size(0), a.Size(0));
    ASSERT_EQ(b.Size(1), a.Size(1));
    for (int64_t i = 0; i < std::max<int64_t>(std::min({count, a.Size(0) - l, a.Size(1) - r}), 1); ++i)
      EXPECT_EQ(b.LaneOf(0, l + i), b.LaneOf(1, r + i)) << l << "+" << i << " / " << r;
  }
}

}  // namespace
}  // namespace byteloom::test
