// SPDX-License-Identifier: GPL-3.0-or-later
// AlignPair against pairs made by planting edits at known places in a
// document: random bytes or bytes with little entropy (runs of one byte, a
// small alphabet), from empty up to 64 MiB, with up to 1,000 insertions,
// deletions and changes of up to 4,096 bytes, some at the start and at the
// end, some inserting runs of one byte or copies of the bytes just before.
// The aligner meets the sides again on stretches of at least 32 bytes, so
// planted edits stay 64 bytes apart (or touch an end).
#include <gtest/gtest.h>

#include <random>

#include "compare/aligner.h"

namespace byteloom::test {
namespace {

using Bytes = std::vector<uint8_t>;

struct TRow {
  int64_t Size;   // of the left document
  int Edits;      // planted at most
  int64_t Largest;  // bytes of an edit at most
  bool Plain;     // random bytes (else little entropy)
  bool Far = false;  // edits stay further apart than the largest one
};

// An edit as planted: `removed` left bytes at At became `inserted` ones.
struct TPlanted {
  int64_t At, Removed, Inserted;
};

Bytes Base(int64_t size, bool plain, std::mt19937_64& rng) {
  Bytes v(static_cast<size_t>(size));
  if (plain) {
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
  }
  static constexpr uint8_t kRuns[] = {0x00, 0xFF, 0x20};
  for (size_t i = 0; i < v.size();) {
    const size_t n = std::min<size_t>(v.size() - i, 1 + rng() % 8192);
    const uint64_t kind = rng() % 3;
    for (size_t k = i; k < i + n; ++k)
      v[k] = kind == 0 ? kRuns[rng() % 3 == 0 ? 0 : (i / 7) % 3] : kind == 1 ? static_cast<uint8_t>('a' + rng() % 4) : static_cast<uint8_t>(rng());
    i += n;
  }
  return v;
}

// Plants edits in left; returns the right document, what was planted and
// what it costs: bytes inserted, deleted, and changed to another value.
Bytes Plant(const Bytes& left, const TRow& row, std::mt19937_64& rng, std::vector<TPlanted>& planted, int64_t& cost) {
  const int64_t kGap = row.Far ? row.Largest + 64 : 64;
  const auto size = static_cast<int64_t>(left.size());
  Bytes right;
  int64_t cursor = 0;
  const int64_t spread = std::max<int64_t>(size / std::max(row.Edits, 1), 1);
  for (int i = 0; i < row.Edits; ++i) {
    int64_t at = cursor + (i == 0 && rng() % 3 == 0 ? 0 : kGap + static_cast<int64_t>(rng() % (2 * spread)));
    if (i > 0 && at > size) break;
    at = std::min(at, size);
    const uint64_t kind = rng() % 3;  // insertion, deletion, change
    int64_t n = 1 + static_cast<int64_t>(rng() % static_cast<uint64_t>(row.Largest));
    int64_t removed = kind == 0 ? 0 : std::min(n, size - at);
    if (removed == 0 && kind != 0) continue;
    if (size - (at + removed) > 0 && size - (at + removed) < kGap) {
      // Not just short of the end: the edit reaches it.
      if (kind == 0) at = size;
      else removed = size - at;
    }
    right.insert(right.end(), left.begin() + cursor, left.begin() + at);
    const int64_t inserted = kind == 1 ? 0 : kind == 2 ? removed : n;
    const uint64_t content = rng() % 3;
    const auto fill = static_cast<uint8_t>(rng());
    const auto distance = static_cast<size_t>(1 + rng() % std::max<size_t>(std::min<size_t>(right.size(), 65536), 1));
    for (int64_t k = 0; k < inserted; ++k) {
      if (kind == 0 && content == 1) {
        right.push_back(fill);  // a run of one byte
      } else if (kind == 0 && content == 2 && right.size() >= distance) {
        right.push_back(right[right.size() - distance]);  // it repeats itself when they are fewer than it
      } else {
        right.push_back(static_cast<uint8_t>(rng()));
      }
      if (kind == 2) cost += right.back() != left[static_cast<size_t>(at + k)];
    }
    if (kind != 2) cost += removed + inserted;
    planted.push_back({at, removed, inserted});
    cursor = at + removed;
  }
  right.insert(right.end(), left.begin() + cursor, left.end());
  return right;
}

// Bytes inserted, deleted, and paired but different; the stretches only
// one side has go to gaps.
int64_t Cost(const TAlignment& a, const Bytes& left, const Bytes& right, std::vector<TPlanted>& gaps) {
  int64_t cost = 0;
  for (const TSegment& s : a.Segments()) {
    if (s.Kind != TSegment::skPaired) {
      gaps.push_back({s.Left, s.LeftCount(), s.RightCount()});
      cost += s.Count;
      continue;
    }
    for (int64_t i = 0; i < s.Count; ++i)
      cost += left[static_cast<size_t>(s.Left + i)] != right[static_cast<size_t>(s.Right + i)];
  }
  return cost;
}

TEST(Aligner, FindsThePlantedEdits) {
  struct TCase : TRow {
    int StopAt = 0;  // the progress call that stops the work (0: none)
  };
  std::mt19937_64 rng(0x5EED1234);
  std::vector<TCase> rows = {
      {{0, 0, 1, true, true}},          {{0, 1, 4096, true, true}},       {{1, 1, 1, true, true}},
      {{3000, 1, 4096, true, true}},    {{40, 3, 8, false, true}},              {{64 << 20, 1000, 4096, true, true}},
      {{64 << 20, 300, 4096, false, true}},   {{16 << 20, 1000, 4096, true}},   {{16 << 20, 10, 4096, true}, 3},
  };
  for (int i = 0; i < 240; ++i)
    rows.push_back({{static_cast<int64_t>(rng() % (uint64_t{1} << (4 + i % 17))), 1 + static_cast<int>(rng() % 1000),
                     i % 3 == 0 ? 16 : 4096, i % 3 != 2, i % 3 != 1}});
  for (size_t k = 0; k < rows.size(); ++k) {
    const TCase& row = rows[k];
    SCOPED_TRACE("row " + std::to_string(k) + ": " + std::to_string(row.Size) + " bytes, " +
                 std::to_string(row.Edits) + " edits" + (row.Plain ? "" : ", little entropy"));
    const Bytes left = Base(row.Size, row.Plain, rng);
    std::vector<TPlanted> planted;
    int64_t plantedCost = 0;
    const Bytes right = Plant(left, row, rng, planted, plantedCost);
    std::vector<TPlanted> plantedGaps;
    for (const TPlanted& p : planted)
      if (p.Removed != p.Inserted) plantedGaps.push_back(p);
    TBufferSource l(left), r(right);
    int calls = 0;
    int64_t lastDone = 0;
    const std::optional<TAlignment> a = AlignPair(l, r, [&](int64_t done, int64_t total) {
      EXPECT_GE(done, lastDone);
      EXPECT_LE(done, total);
      lastDone = done;
      return ++calls != row.StopAt;
    });
    if (row.StopAt) {
      EXPECT_FALSE(a);
      EXPECT_EQ(calls, row.StopAt);
      continue;
    }
    ASSERT_TRUE(a);
    // Both sides covered exactly (so inserted - deleted is the size difference).
    ASSERT_EQ(a->Size(0), row.Size);
    ASSERT_EQ(a->Size(1), static_cast<int64_t>(right.size()));
    std::vector<TPlanted> gaps;
    // Runs of one byte and a small alphabet give many places where the
    // sides agree by chance; choosing among them may cost a little more.
    const int64_t cost = Cost(*a, left, right, gaps);
    EXPECT_LE(cost, row.Plain ? plantedCost : plantedCost + plantedCost / 20);
    if (!row.Far || !row.Plain) continue;
    // In random bytes every insertion and deletion is found where it was
    // planted, or a little after when its first bytes happen to agree.
    ASSERT_EQ(gaps.size(), plantedGaps.size());
    for (size_t i = 0; i < gaps.size(); ++i) {
      EXPECT_EQ(gaps[i].Removed, plantedGaps[i].Removed) << "gap " << i;
      EXPECT_EQ(gaps[i].Inserted, plantedGaps[i].Inserted) << "gap " << i;
      EXPECT_GE(gaps[i].At, plantedGaps[i].At) << "gap " << i;
      EXPECT_LE(gaps[i].At, plantedGaps[i].At + 64) << "gap " << i;
    }
  }
}

}  // namespace
}  // namespace byteloom::test
