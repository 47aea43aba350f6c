// SPDX-License-Identifier: GPL-3.0-or-later
// A running program's regions laid out one after another as one run of
// positions: the readable regions a window shows, or the writable private
// ones a snapshot copies. Position p is the address of a byte in one region,
// and the mapping goes both ways.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/process.h"

namespace byteloom {

class TRegionLayout {
 public:
  // Which regions a layout keeps.
  enum class TKind {
    rkReadable,  // readable, neither the kernel's own pages ([vvar], [vsyscall]) nor a device's
    rkWritable,  // those of them that are also writable and private
  };
  static bool Keeps(TKind kind, const TRegion& region);

  TRegionLayout() = default;
  // Keeps the regions of kind, in their order.
  TRegionLayout(const std::vector<TRegion>& regions, TKind kind);

  uint64_t Size() const { return FStarts.empty() ? 0 : FStarts.back(); }
  const std::vector<TRegion>& Regions() const { return FRegions; }
  // The index of the region that holds pos in [0, Size()).
  size_t IndexAt(uint64_t pos) const;
  // Where region i starts in the layout, and where it ends (the next one's start).
  uint64_t RegionPos(size_t i) const { return FStarts.at(i); }
  uint64_t RegionEnd(size_t i) const { return FStarts.at(i + 1); }
  uint64_t AddressOf(uint64_t pos) const;
  // The position of an address, when one of the regions holds it.
  std::optional<uint64_t> PosOf(uint64_t address) const;
  // Whether both hold the same regions (start, end, writability and name).
  bool Same(const TRegionLayout& other) const;

 private:
  std::vector<TRegion> FRegions;
  std::vector<uint64_t> FStarts{0};  // each region's position, then the total
};

}  // namespace byteloom
