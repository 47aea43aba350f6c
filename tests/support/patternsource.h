// A snapshot of any size without its bytes on a disk or in memory: a 4 KiB
// pattern over and over (zeros for seed 0), every stride-th byte from phase
// on raised by delta, and single bytes set on top.
#pragma once

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>
#include <vector>

#include "compare/compareengine.h"

namespace byteloom::test {

struct TPatternChange {
  int32_t Stride = 0, Phase = 0;  // no change for stride 0
  uint8_t Delta = 0;
};

class TPatternSource final : public TByteSource {
 public:
  TPatternSource(int32_t size, uint32_t seed, TPatternChange change = {}, std::vector<std::pair<int32_t, uint8_t>> bytes = {})
      : FSize(size), FChange(change), FBytes(std::move(bytes)) {
    uint32_t state = seed;
    for (uint8_t& b : FPattern) {
      state = state * 1103515245u + 12345u;
      b = seed == 0 ? 0 : static_cast<uint8_t>(state >> 24);
    }
  }
  int32_t Size() override { return FSize; }
  void Read(uint8_t* dest, int32_t pos, int32_t count) override {
    if (pos < 0 || count < 0 || int64_t{pos} + count > FSize) throw std::out_of_range("Read past the end");
    for (int32_t i = 0; i < count;) {
      const int32_t at = (pos + i) % kPeriod, n = std::min(kPeriod - at, count - i);
      std::memcpy(dest + i, FPattern + at, static_cast<size_t>(n));
      i += n;
    }
    const int64_t end = int64_t{pos} + count;
    if (FChange.Stride > 0)
      for (int64_t o = pos + ((FChange.Phase - pos) % FChange.Stride + FChange.Stride) % FChange.Stride; o < end;
           o += FChange.Stride)
        dest[o - pos] = static_cast<uint8_t>(dest[o - pos] + FChange.Delta);
    for (auto [at, value] : FBytes)
      if (at >= pos && at < end) dest[at - pos] = value;
  }

 private:
  static constexpr int32_t kPeriod = 4096;
  int32_t FSize;
  TPatternChange FChange;
  std::vector<std::pair<int32_t, uint8_t>> FBytes;
  uint8_t FPattern[kPeriod];
};

}  // namespace byteloom::test
