// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/alignment.h"

#include <algorithm>

namespace byteloom {

namespace {

int64_t Start(const TSegment& s, int side) { return side == 0 ? s.Left : s.Right; }
int64_t CountOn(const TSegment& s, int side) { return side == 0 ? s.LeftCount() : s.RightCount(); }
TSegment::TKind Only(int side) { return side == 0 ? TSegment::skLeftOnly : TSegment::skRightOnly; }

void Emit(std::vector<TSegment>& out, TSegment::TKind kind, int64_t count) {
  if (count > 0) out.push_back({0, 0, count, kind});
}

}  // namespace

void AppendChange(std::vector<TSegment>& out, int64_t l, int64_t r, int64_t left, int64_t right) {
  const int64_t both = std::min(left, right);
  if (both > 0) out.push_back({l, r, both, TSegment::skPaired});
  if (left > both) out.push_back({l + both, r + both, left - both, TSegment::skLeftOnly});
  if (right > both) out.push_back({l + both, r + both, right - both, TSegment::skRightOnly});
}

TAlignment::TAlignment(std::vector<TSegment> segments) {
  // The starts follow from the kinds and counts: each segment begins where
  // the one before ended on each side.
  int64_t l = 0, r = 0, lane = 0;
  for (TSegment s : segments) {
    if (s.Count <= 0) continue;
    s.Left = l;
    s.Right = r;
    if (!FSegments.empty() && FSegments.back().Kind == s.Kind) {
      FSegments.back().Count += s.Count;
      FLanes.back() += s.Count;
    } else {
      FSegments.push_back(s);
      FLanes.push_back(lane + s.Count);
    }
    l += s.LeftCount();
    r += s.RightCount();
    lane += s.Count;
  }
  FSize[0] = l;
  FSize[1] = r;
}

TAlignment TAlignment::Shifted(int64_t leftSize, int64_t rightSize, int64_t shift) {
  std::vector<TSegment> v;
  const int64_t l0 = std::min(std::max<int64_t>(-shift, 0), leftSize);
  const int64_t r0 = std::min(std::max<int64_t>(shift, 0), rightSize);
  Emit(v, TSegment::skLeftOnly, l0);
  Emit(v, TSegment::skRightOnly, r0);
  const int64_t both = std::max<int64_t>(std::min(leftSize - l0, rightSize - r0), 0);
  Emit(v, TSegment::skPaired, both);
  Emit(v, TSegment::skLeftOnly, leftSize - l0 - both);
  Emit(v, TSegment::skRightOnly, rightSize - r0 - both);
  return TAlignment(std::move(v));
}

size_t TAlignment::SegmentAt(int64_t lane) const {
  if (FSegments.empty()) return 0;
  const auto it = std::upper_bound(FLanes.begin(), FLanes.end(), lane);
  return std::min(static_cast<size_t>(it - FLanes.begin()), FSegments.size() - 1);
}

int64_t TAlignment::LaneOf(int side, int64_t pos) const {
  if (pos >= FSize[side]) return Lanes();
  pos = std::max<int64_t>(pos, 0);
  // The covering segment is the last one that starts at or before pos: any
  // later one starts behind its end.
  const auto it = std::upper_bound(FSegments.begin(), FSegments.end(), pos,
                                   [side](int64_t p, const TSegment& s) { return p < Start(s, side); });
  const auto i = static_cast<size_t>(it - FSegments.begin() - 1);
  return LaneStart(i) + (pos - Start(FSegments[i], side));
}

int64_t TAlignment::PosAt(int side, int64_t lane, bool& gap) const {
  gap = true;
  if (lane >= Lanes() || lane < 0) return lane < 0 ? 0 : FSize[side];
  const size_t i = SegmentAt(lane);
  const TSegment& s = FSegments[i];
  if (CountOn(s, side) == 0) return Start(s, side);
  gap = false;
  return Start(s, side) + (lane - LaneStart(i));
}

TAlignment TAlignment::Spliced(int side, int64_t pos, int64_t removed, int64_t inserted) const {
  // New bytes in place of old ones take their places; only the rest moves.
  const int64_t kept = std::min(removed, inserted);
  pos += kept;
  removed -= kept;
  inserted -= kept;
  const TSegment::TKind other = Only(1 - side);
  std::vector<TSegment> out;
  bool placed = false;
  for (const TSegment& s : FSegments) {
    const int64_t a = Start(s, side), n = CountOn(s, side);
    if (n == 0) {
      out.push_back(s);
      continue;
    }
    const int64_t before = std::clamp<int64_t>(pos - a, 0, n);
    Emit(out, s.Kind, before);
    if (!placed && pos < a + n) {
      Emit(out, Only(side), inserted);
      placed = true;
    }
    const int64_t gone = std::max<int64_t>(std::min(pos + removed, a + n) - std::max(pos, a), 0);
    if (s.Kind == TSegment::skPaired) Emit(out, other, gone);  // their partners went
    Emit(out, s.Kind, n - before - gone);
  }
  if (!placed) Emit(out, Only(side), inserted);
  return TAlignment(std::move(out));
}

std::vector<TSegment> TAlignment::Head(int64_t left, int64_t right) const {
  std::vector<TSegment> out;
  int64_t l = 0, r = 0;
  for (const TSegment& s : FSegments) {
    const int64_t k = std::max<int64_t>(
        0, std::min({s.Count, s.LeftCount() ? left - l : s.Count, s.RightCount() ? right - r : s.Count}));
    Emit(out, s.Kind, k);
    l += s.LeftCount() ? k : 0;
    r += s.RightCount() ? k : 0;
    if (k < s.Count) break;
  }
  AppendChange(out, l, r, std::max<int64_t>(left - l, 0), std::max<int64_t>(right - r, 0));
  return out;
}

std::vector<TSegment> TAlignment::Tail(int64_t left, int64_t right) const {
  std::vector<TSegment> back;  // last first
  int64_t l = FSize[0], r = FSize[1];
  for (auto it = FSegments.rbegin(); it != FSegments.rend(); ++it) {
    const TSegment& s = *it;
    const int64_t k = std::max<int64_t>(
        0, std::min({s.Count, s.LeftCount() ? l - left : s.Count, s.RightCount() ? r - right : s.Count}));
    Emit(back, s.Kind, k);
    l -= s.LeftCount() ? k : 0;
    r -= s.RightCount() ? k : 0;
    if (k < s.Count) break;
  }
  std::vector<TSegment> out;
  AppendChange(out, left, right, std::max<int64_t>(l - left, 0), std::max<int64_t>(r - right, 0));
  out.insert(out.end(), back.rbegin(), back.rend());
  return out;
}

TAlignment TAlignment::Realigned(int64_t left, int64_t right, int64_t count) const {
  left = std::clamp<int64_t>(left, 0, FSize[0]);
  right = std::clamp<int64_t>(right, 0, FSize[1]);
  const int64_t most = std::min(FSize[0] - left, FSize[1] - right);  // 0 when a side has no byte there
  count = most <= 0 ? 0 : std::clamp<int64_t>(count, 1, most);
  std::vector<TSegment> v = Head(left, right);
  Emit(v, TSegment::skPaired, count);
  const std::vector<TSegment> tail = Tail(left + count, right + count);
  v.insert(v.end(), tail.begin(), tail.end());
  return TAlignment(std::move(v));
}

}  // namespace byteloom
