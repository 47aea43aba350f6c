// SPDX-License-Identifier: GPL-3.0-or-later
// The memory of a running program as the source of a document: the regions
// it could read when it was opened, one after another, read and written
// while the program runs. Memory the program has since unmapped, or that
// the program took with it when it ended, shows what was last read of it
// (the pages read lately are kept) and zeros beyond, and is counted.
#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document/regionlayout.h"
#include "document/sources.h"
#include "platform/process.h"

namespace byteloom {

class TProcessMemory final : public TLiveSource {
 public:
  static constexpr uint64_t kPage = 4096;
  static constexpr size_t kPagesKept = 4096;  // 16 MiB of what was read last

  // The regions a document shows: the readable ones.
  static TRegionLayout Shown(const std::vector<TRegion>& regions) {
    return TRegionLayout(regions, TRegionLayout::TKind::rkReadable);
  }
  // The shown regions once they stop changing (a program just started maps
  // its libraries and heap first), waiting at most maxMs.
  static TRegionLayout Settled(const TProcess& process, int maxMs);
  TProcessMemory(TProcess process, TRegionLayout layout);

  uint64_t Size() const override { return FLayout.Size(); }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override;
  // Raises EFileError: "This part of the program's memory is not writable"
  // (nothing written), or the process's refusal.
  void WriteBytes(uint64_t pos, uint64_t count, const uint8_t* src) override;
  uint64_t AddressOf(uint64_t pos) const override { return FLayout.AddressOf(pos); }
  std::optional<uint64_t> PosOf(uint64_t address) const override { return FLayout.PosOf(address); }
  bool Known(uint64_t pos) const override;

  const TProcess& Process() const { return FProcess; }
  const TRegionLayout& Layout() const { return FLayout; }
  const std::vector<TRegion>& Regions() const { return FLayout.Regions(); }
  // Whether a read found the program ended; bytes read since then that were
  // not kept, and bytes of regions unmapped since it was opened.
  bool Ended() const { return FEnded; }
  uint64_t UnknownBytes() const { return FUnknown; }

 private:
  // Reads [pos, pos + count) of one region; false where it is gone.
  void ReadRegion(size_t region, uint64_t offset, uint64_t count, uint8_t* dest) const;
  void Keep(uint64_t address, const uint8_t* page) const;
  bool Kept(uint64_t address, uint8_t* page) const;

  TProcess FProcess;
  TRegionLayout FLayout;
  mutable bool FEnded = false;
  mutable uint64_t FUnknown = 0;
  // The pages read lately, by address, oldest first in FOrder.
  mutable std::unordered_map<uint64_t, std::vector<uint8_t>> FPages;
  mutable std::list<uint64_t> FOrder;
  // Pages (by address) that read as zeros the last time: unknown bytes.
  mutable std::unordered_set<uint64_t> FUnknownPages;
};

}  // namespace byteloom
