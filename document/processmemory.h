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
#include <vector>

#include "document/sources.h"
#include "platform/process.h"

namespace byteloom {

class TProcessMemory final : public TLiveSource {
 public:
  static constexpr uint64_t kPage = 4096;
  static constexpr size_t kPagesKept = 4096;  // 16 MiB of what was read last

  // The regions of regions that a document shows: readable ones, not the
  // kernel's own pages nor devices.
  static std::vector<TRegion> Shown(const std::vector<TRegion>& regions);
  // The shown regions once they stop changing (a program just started maps
  // its libraries and heap first), waiting at most maxMs.
  static std::vector<TRegion> Settled(const TProcess& process, int maxMs);
  static bool SameRegions(const std::vector<TRegion>& a, const std::vector<TRegion>& b);
  TProcessMemory(TProcess process, std::vector<TRegion> regions);

  uint64_t Size() const override { return FSize; }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override;
  // Raises EFileError: "This part of the program's memory is not writable"
  // (nothing written), or the process's refusal.
  void WriteBytes(uint64_t pos, uint64_t count, const uint8_t* src) override;
  uint64_t AddressOf(uint64_t pos) const override;
  std::optional<uint64_t> PosOf(uint64_t address) const override;

  const TProcess& Process() const { return FProcess; }
  const std::vector<TRegion>& Regions() const { return FRegions; }
  // The document position of region i's first byte.
  uint64_t RegionPos(size_t i) const { return FStarts.at(i); }
  // The region byte pos lies in.
  size_t RegionAt(uint64_t pos) const;
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
  std::vector<TRegion> FRegions;
  std::vector<uint64_t> FStarts;  // document positions of the regions
  uint64_t FSize = 0;
  mutable bool FEnded = false;
  mutable uint64_t FUnknown = 0;
  // The pages read lately, by address, oldest first in FOrder.
  mutable std::unordered_map<uint64_t, std::vector<uint8_t>> FPages;
  mutable std::list<uint64_t> FOrder;
};

}  // namespace byteloom
