// SPDX-License-Identifier: GPL-3.0-or-later
// Live memory as a program holds it, for tests: the test changes the bytes
// behind the document's back, writes to [FLockedFrom, end) fail, bytes from
// FUnknownFrom on are unknown, and the bytes are shown from address FBase on.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "document/sources.h"
#include "platform/platform.h"

namespace byteloom::test {

class TFakeMemory final : public TLiveSource {
 public:
  explicit TFakeMemory(std::vector<uint8_t>& bytes) : FBytes(bytes) {}
  uint64_t Size() const override { return FBytes.size(); }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override {
    std::copy_n(FBytes.begin() + static_cast<ptrdiff_t>(pos), count, dest);
  }
  void WriteBytes(uint64_t pos, uint64_t count, const uint8_t* src) override {
    if (pos + count > FLockedFrom) throw EFileError("This memory is not writable");
    std::copy_n(src, count, FBytes.begin() + static_cast<ptrdiff_t>(pos));
  }
  uint64_t AddressOf(uint64_t pos) const override { return FBase + pos; }
  std::optional<uint64_t> PosOf(uint64_t address) const override {
    return address >= FBase && address - FBase < Size() ? std::optional<uint64_t>(address - FBase) : std::nullopt;
  }
  bool Known(uint64_t pos) const override { return pos < FUnknownFrom; }
  uint64_t FLockedFrom = UINT64_MAX;
  uint64_t FUnknownFrom = UINT64_MAX;  // bytes from here on could not be read
  uint64_t FBase = 0;

 private:
  std::vector<uint8_t>& FBytes;
};

}  // namespace byteloom::test
