// SPDX-License-Identifier: GPL-3.0-or-later
// A set of bits with a size, like a growable bit vector, but stored in pages
// so that a mark near the end of a large document costs one page, not a bit
// for every position before it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>

namespace byteloom {

class TBits {
 public:
  int64_t Size() const { return FSize; }
  // Cuts the set to size bits (dropping the bits from size on) or grows it
  // with clear bits.
  void SetSize(int64_t size);
  // Bits at or beyond the size read as false.
  bool Get(int64_t index) const;
  // Writing true beyond the size grows the set to index + 1; writing false
  // beyond the size does nothing.
  void Set(int64_t index, bool value);

 private:
  static constexpr int kPageBits = 4096;
  using Page = std::array<uint64_t, kPageBits / 64>;
  int64_t FSize = 0;
  std::unordered_map<int64_t, std::unique_ptr<Page>> FPages;
};

}  // namespace byteloom
