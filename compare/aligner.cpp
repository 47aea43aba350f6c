// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/aligner.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

namespace byteloom {

namespace {

constexpr int64_t kWindow = 16;            // bytes of a window that brings the sides together again
constexpr int64_t kStep = 8;               // every kStep-th window of the right side goes into the table
constexpr int64_t kMinMatch = 32;          // a place where the sides meet again agrees this far (or to an end)
constexpr int64_t kReachCap = 8 << 10;     // how far a meeting place is followed
constexpr int64_t kFirstLook = 512;        // the first look-ahead, doubled until a meeting place is found
constexpr int64_t kMaxLook = 8 << 20;      // past this, the stretch counts as changed
constexpr int64_t kPiece = 1 << 20;        // bytes the look-ahead reads at once beyond its reach
constexpr int64_t kLockstep = 256 << 10;       // bytes compared in lockstep per step (they stay in the cache)
constexpr int64_t kReportEvery = 4 << 20;  // bytes of both sides between two calls of the progress
constexpr size_t kMaxCandidates = 256;     // meeting places weighed per look-ahead
constexpr int kSlots = 4;                  // windows kept per bucket of the table: the first ones

uint64_t Load64(const uint8_t* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}

// How many bytes a and b share from their start, up to n.
int64_t CommonPrefix(const uint8_t* a, const uint8_t* b, int64_t n) {
  constexpr int64_t kBlock = 256;
  int64_t i = 0;
  while (i + kBlock <= n && std::memcmp(a + i, b + i, kBlock) == 0) i += kBlock;
  while (i + 8 <= n && Load64(a + i) == Load64(b + i)) i += 8;
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

uint64_t WindowHash(const uint8_t* p) {
  static_assert(kWindow == 16, "the hash reads two words");
  return (Load64(p) * 0x9E3779B97F4A7C15ull) ^ ((Load64(p + 8) + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full);
}

// Where windows of the right side's look-ahead start, by their hash. A
// bucket keeps its first kSlots windows: in a run of one byte the nearest
// ones are the ones worth meeting, and the rest cannot slow the search.
class TWindowTable {
 public:
  void Reset(int64_t entries) {
    int bits = 4;
    while ((int64_t{1} << bits) < entries) ++bits;
    FShift = 64 - bits;
    const size_t n = (size_t{1} << bits) * kSlots;
    if (FSlots.size() < n) FSlots.resize(n);
    std::fill_n(FSlots.begin(), n, -1);
  }
  void Add(uint64_t hash, int32_t at) {
    int32_t* bucket = Bucket(hash);
    for (int i = 0; i < kSlots; ++i)
      if (bucket[i] < 0) {
        bucket[i] = at;
        return;
      }
  }
  int32_t* Bucket(uint64_t hash) { return FSlots.data() + (hash >> FShift) * kSlots; }

 private:
  std::vector<int32_t> FSlots;
  int FShift = 60;
};

// A place where the sides agree again, as offsets from where they parted.
struct TMeeting {
  int64_t Left = 0, Right = 0;
  int64_t Reach = 0;   // bytes they agree on from there (at most kReachCap)
  bool Stops = false;  // the agreement ends before kReachCap and before either side's end
  int64_t Cost() const { return std::max(Left, Right); }  // the lanes the edit before it takes
  int64_t Skew() const { return Left > Right ? Left - Right : Right - Left; }
  bool Before(const TMeeting& o) const { return Cost() != o.Cost() ? Cost() < o.Cost() : Skew() < o.Skew(); }
};

// The lanes an edit takes from where place `from` stops to place `to`,
// which may be joined part way along; -1 when `to` ends before that.
int64_t Between(const TMeeting& from, const TMeeting& to) {
  const int64_t l = from.Left + from.Reach, r = from.Right + from.Reach;
  const int64_t skip = std::max({int64_t{0}, l - to.Left, r - to.Right});
  if (skip >= to.Reach) return -1;
  return std::max(to.Left + skip - l, to.Right + skip - r);
}

// The place to move on to: the first one of the cheapest chain of places
// that leads past `frontier` lanes (or to a place whose agreement goes on)
// for at most `most` lanes of edits; nullptr when there is none.
const TMeeting* Choose(std::vector<TMeeting>& found, int64_t frontier, int64_t most) {
  // In the order of where they stop, a chain visits places one after the other.
  std::sort(found.begin(), found.end(),
            [](const TMeeting& x, const TMeeting& y) { return x.Left + x.Reach < y.Left + y.Reach; });
  const size_t n = found.size();
  std::vector<int64_t> cost(n);
  std::vector<size_t> first(n);  // the first place of the cheapest chain to each
  const TMeeting* best = nullptr;
  int64_t bestCost = 0;
  for (size_t i = 0; i < n; ++i) {
    cost[i] = found[i].Cost();
    first[i] = i;
    for (size_t j = 0; j < i; ++j) {
      const int64_t step = Between(found[j], found[i]);
      if (step < 0) continue;
      const int64_t c = cost[j] + step;
      if (c < cost[i] || (c == cost[i] && found[first[j]].Before(found[first[i]]))) {
        cost[i] = c;
        first[i] = first[j];
      }
    }
    const TMeeting& m = found[i];
    if (cost[i] > most || (m.Stops && m.Cost() + m.Reach < frontier)) continue;
    if (!best || cost[i] < bestCost || (cost[i] == bestCost && found[first[i]].Before(*best))) {
      best = &found[first[i]];
      bestCost = cost[i];
    }
  }
  return best;
}

class TAligner {
 public:
  TAligner(TByteSource& left, TByteSource& right, const TProgress& progress)
      : FSize{left.Size(), right.Size()},
        FSources{&left, &right},
        FStepBytes{std::make_unique_for_overwrite<uint8_t[]>(kLockstep), std::make_unique_for_overwrite<uint8_t[]>(kLockstep)},
        FLeft(left, 0, FSize[0], kMaxLook + kWindow + kReachCap, kPiece),
        FRight(right, 0, FSize[1], kMaxLook + kWindow + kReachCap, kPiece),
        FProgress(progress) {}

  std::optional<TAlignment> Run() {
    while (FL < FSize[0] && FR < FSize[1]) {
      // Lockstep reads small pieces straight from the sources, so that
      // equal stretches cost what a fixed-shift count costs; only a
      // difference fills the look-ahead's large pieces.
      const int64_t n = std::min({kLockstep, FSize[0] - FL, FSize[1] - FR});
      FSources[0]->Read(FStepBytes[0].get(), FL, n);
      FSources[1]->Read(FStepBytes[1].get(), FR, n);
      const int64_t same = CommonPrefix(FStepBytes[0].get(), FStepBytes[1].get(), n);
      Take(0, 0, same);
      if (same < n && !Resync()) return std::nullopt;
      if (!Report()) return std::nullopt;
    }
    // What is left is on one side only.
    AppendChange(FOut, FL, FR, FSize[0] - FL, FSize[1] - FR);
    return TAlignment(std::move(FOut));
  }

 private:
  // Moves on past `left` and `right` bytes that changed, then `same` bytes
  // that agree.
  void Take(int64_t left, int64_t right, int64_t same) {
    AppendChange(FOut, FL, FR, left, right);
    FL += left;
    FR += right;
    if (same > 0) FOut.push_back({FL, FR, same, TSegment::skPaired});
    FL += same;
    FR += same;
  }

  bool Report() {
    if (!FProgress || FL + FR < FNextReport) return true;
    FNextReport = FL + FR + kReportEvery;
    return FProgress(FL + FR, FSize[0] + FSize[1]);
  }

  // The sides part at FL, FR: finds where they meet again and moves on
  // there; false when the progress stopped the work.
  bool Resync() {
    const int64_t restL = FSize[0] - FL, restR = FSize[1] - FR;
    const int64_t limit = std::min(kMaxLook, std::max(restL, restR));
    for (int64_t look = kFirstLook;; look *= 2) {
      look = std::min(look, limit);
      Search(look);
      // A chain that costs more than the look-ahead could lose to places
      // past it; one that ends near it could lead into dearer edits.
      const TMeeting* m = Choose(FFound, look + std::min(look, kReachCap), look);
      if (!m && !FFound.empty()) {
        // None leads far enough: the cheapest place, once looking further
        // would cost much more than moving on to it gains.
        const TMeeting* near = Choose(FFound, 0, limit + kReachCap);
        if (look == limit || look >= 8 * (near->Cost() + near->Reach)) m = near;
      }
      if (m) {
        Take(m->Left, m->Right, 0);
        return true;
      }
      if (look == limit) break;
      if (look >= kPiece && FProgress && !FProgress(FL + FR, FSize[0] + FSize[1])) return false;
    }
    // Nowhere near: the stretch counts as changed, at the shift so far.
    if (limit >= std::max(restL, restR)) {
      Take(restL, restR, 0);
    } else {
      const int64_t n = std::min({kMaxLook, restL, restR});
      Take(n, n, 0);
    }
    return true;
  }

  // Collects in FFound the places within `look` bytes of FL and FR where a
  // window of the left side recurs on the right one.
  void Search(int64_t look) {
    FFound.clear();
    FEnds.clear();
    const int64_t restL = FSize[0] - FL, restR = FSize[1] - FR;
    const int64_t spanL = std::min(restL, look + kWindow + kReachCap);
    const int64_t spanR = std::min(restR, look + kWindow + kReachCap);
    const int64_t lastL = std::min(look, spanL - kWindow), lastR = std::min(look, spanR - kWindow);
    if (lastL < 0 || lastR < 0) return;  // a side has no whole window left
    const uint8_t* a = FLeft.At(FL, spanL);
    const uint8_t* b = FRight.At(FR, spanR);
    FTable.Reset(lastR / kStep + 1);
    for (int64_t dr = 0; dr <= lastR; dr += kStep) FTable.Add(WindowHash(b + dr), static_cast<int32_t>(dr));

    // Work past this many compared bytes stops the search with what it has.
    int64_t budget = 16 * look + kReachCap * 4;
    uint64_t previous = 0;
    int repeats = 0;
    for (int64_t dl = 0; dl <= lastL && budget > 0; ++dl) {
      const uint64_t h = WindowHash(a + dl);
      // In a run of one byte the window repeats: its first positions stand for it.
      if (dl > 0 && h == previous && std::memcmp(a + dl - 1, a + dl, kWindow) == 0) {
        if (++repeats > kStep) continue;
      } else {
        repeats = 0;
      }
      previous = h;
      const int32_t* bucket = FTable.Bucket(h);
      for (int i = 0; i < kSlots && bucket[i] >= 0; ++i) {
        const int64_t dr = bucket[i];
        if (Load64(a + dl) != Load64(b + dr) || std::memcmp(a + dl + 8, b + dr + 8, kWindow - 8) != 0) continue;
        if (Known(dl, dr)) continue;
        // Back to where this agreement starts, then on to where it ends.
        int64_t back = 0;
        while (back < dl && back < dr && a[dl - back - 1] == b[dr - back - 1]) ++back;
        TMeeting m{dl - back, dr - back};
        m.Reach = CommonPrefix(a + m.Left, b + m.Right, std::min({kReachCap, spanL - m.Left, spanR - m.Right}));
        m.Stops = m.Reach < kReachCap && m.Left + m.Reach < restL && m.Right + m.Reach < restR;
        budget -= back + m.Reach;
        if (m.Stops && m.Reach < kMinMatch) continue;  // bytes that agree by chance inside a change
        FFound.push_back(m);
        FEnds[m.Right - m.Left] = m.Left + m.Reach;
        if (FFound.size() >= kMaxCandidates) return;
      }
    }
  }

  // Whether a place found already covers left offset dl at offset dr.
  bool Known(int64_t dl, int64_t dr) const {
    const auto it = FEnds.find(dr - dl);
    return it != FEnds.end() && dl < it->second;
  }

  const int64_t FSize[2];
  TByteSource* FSources[2];
  std::unique_ptr<uint8_t[]> FStepBytes[2];
  TPieceReader FLeft, FRight;
  const TProgress& FProgress;
  int64_t FL = 0, FR = 0;  // where both sides are at
  int64_t FNextReport = 0;
  std::vector<TSegment> FOut;
  TWindowTable FTable;
  std::vector<TMeeting> FFound;
  std::unordered_map<int64_t, int64_t> FEnds;  // per shift of a place found, where on the left its agreement ends
};

}  // namespace

std::optional<TAlignment> AlignPair(TByteSource& left, TByteSource& right, const TProgress& progress) {
  return TAligner(left, right, progress).Run();
}

}  // namespace byteloom
