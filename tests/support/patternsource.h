// SPDX-License-Identifier: GPL-3.0-or-later
// A snapshot of any size with its bytes on no disk and in no memory: a 4 KiB
// pattern over and over (zeros for seed 0), every stride-th byte from phase
// on raised by one, and single bytes set on top.
#pragma once

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "control/bytesource.h"

namespace byteloom::test {

class TPatternSource final : public TByteSource {
 public:
  using TBytes = std::vector<std::pair<int64_t, uint8_t>>;
  TPatternSource(int64_t size, uint32_t seed, int64_t stride = 0, int64_t phase = 0, TBytes bytes = {})
      : FSize(size), FStride(stride), FPhase(phase), FBytes(std::move(bytes)) {
    for (uint8_t& b : FPattern) b = seed == 0 ? 0 : static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
  }
  int64_t Size() override { return FSize; }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override {
    if (pos < 0 || count < 0 || pos + count > FSize) throw std::out_of_range("Read past the end");
    for (int64_t i = 0, at, n; i < count; i += n) {
      at = (pos + i) % kPeriod, n = std::min<int64_t>(kPeriod - at, count - i);
      std::memcpy(dest + i, FPattern + at, static_cast<size_t>(n));
    }
    const int64_t end = pos + count;
    for (int64_t o = FStride ? pos + ((FPhase - pos) % FStride + FStride) % FStride : end; o < end; o += FStride) ++dest[o - pos];
    for (auto [at, value] : FBytes)
      if (at >= pos && at < end) dest[at - pos] = value;
  }

 private:
  static constexpr int64_t kPeriod = 4096;
  int64_t FSize, FStride, FPhase;
  TBytes FBytes;
  uint8_t FPattern[kPeriod];
};

}  // namespace byteloom::test
