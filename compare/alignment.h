// SPDX-License-Identifier: GPL-3.0-or-later
// How the bytes of two documents face each other: a list of segments in
// order, each a stretch where both sides have bytes that face each other
// one to one (they may differ), or a stretch only one side has (inserted on
// the right, or deleted from the left). Laid end to end the segments make
// the lane both views of a locked pair show: lane position k is one cell
// of each view, a byte of each side or a gap on the side that has none.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace byteloom {

struct TSegment {
  enum TKind : uint8_t { skPaired, skLeftOnly, skRightOnly };
  int64_t Left = 0, Right = 0;  // where it starts on each side
  int64_t Count = 0;            // bytes on each side that has them
  TKind Kind = skPaired;
  int64_t LeftCount() const { return Kind == skRightOnly ? 0 : Count; }
  int64_t RightCount() const { return Kind == skLeftOnly ? 0 : Count; }
  bool operator==(const TSegment&) const = default;
};

class TAlignment {
 public:
  // Both sides empty.
  TAlignment() = default;
  // Segments that cover both sides from 0 on, one after the other; empty
  // ones go and neighbours of one kind that continue each other merge.
  explicit TAlignment(std::vector<TSegment> segments);
  // One fixed shift: left byte o faces right byte o + shift.
  static TAlignment Shifted(int64_t leftSize, int64_t rightSize, int64_t shift);

  const std::vector<TSegment>& Segments() const { return FSegments; }
  int64_t Lanes() const { return FLanes.empty() ? 0 : FLanes.back(); }
  int64_t Size(int side) const { return FSize[side]; }
  // The lane position segment i starts at.
  int64_t LaneStart(size_t i) const { return i == 0 ? 0 : FLanes[i - 1]; }
  // The segment lane position lane lies in (the last one for lanes past the end).
  size_t SegmentAt(int64_t lane) const;
  // The lane position of byte pos of side (0 left, 1 right); Lanes() for pos >= its size.
  int64_t LaneOf(int side, int64_t pos) const;
  // The byte of side at lane position lane; where side has a gap there,
  // the first byte after it (its size when none) and gap is set.
  int64_t PosAt(int side, int64_t lane, bool& gap) const;

  // After a splice of side: `removed` bytes at pos became `inserted` ones.
  // New bytes take the places of as many old ones; of the rest, bytes that
  // go leave their segments and new bytes are a stretch only that side has.
  TAlignment Spliced(int side, int64_t pos, int64_t removed, int64_t inserted) const;
  // Byte left of the left side faces byte right of the right side, and the
  // bytes after them at that shift, `count` bytes in all (at least those
  // two); the segments before and after are kept as far as they fit around it.
  TAlignment Realigned(int64_t left, int64_t right, int64_t count) const;

 private:
  // The segments covering the left bytes [0, left) and the right ones
  // [0, right) (head) or those from there on (tail); what the old segments
  // do not cover there becomes a change next to the cut.
  std::vector<TSegment> Head(int64_t left, int64_t right) const;
  std::vector<TSegment> Tail(int64_t left, int64_t right) const;

  std::vector<TSegment> FSegments;
  std::vector<int64_t> FLanes;  // the lane position each segment ends at
  int64_t FSize[2] = {0, 0};
};

// Appends a stretch of `left` bytes from l and `right` bytes from r that
// face each other as a change: paired as far as both have bytes, the rest
// on the longer side alone.
void AppendChange(std::vector<TSegment>& out, int64_t l, int64_t r, int64_t left, int64_t right);

}  // namespace byteloom
