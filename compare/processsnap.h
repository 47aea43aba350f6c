// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a running program for the snapshot search: the program's
// writable memory, region after region, as one run of offsets. A layout,
// taken once at the first snapshot, fixes which regions count and where each
// lies; every later snapshot reads the same addresses, so that offset o
// means the same address in all of them. A snapshot is a private file in
// the work folder (0600, removed when the snapshot goes: it may hold
// secrets); the live source reads the memory as it is now.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "control/bytesource.h"
#include "document/regionlayout.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/progress.h"

namespace byteloom {

class TProcessLayout : public TRegionLayout {
 public:
  TProcessLayout() = default;
  // Keeps the writable private regions, in their order.
  explicit TProcessLayout(const std::vector<TRegion>& regions) : TRegionLayout(regions, TKind::rkWritable) {}
  // The process's regions now (raises EProcessError).
  static TProcessLayout Of(const TProcess& process) { return TProcessLayout(process.Regions()); }
  static bool Holds(const TRegion& region) { return Keeps(TKind::rkWritable, region); }

  int64_t Size() const { return static_cast<int64_t>(TRegionLayout::Size()); }
  // The address of an offset in [0, Size()).
  uint64_t AddressOf(int64_t offset) const { return TRegionLayout::AddressOf(Checked(offset)); }
  // The offset of an address, when one of the regions holds it.
  std::optional<int64_t> OffsetOf(uint64_t address) const {
    const auto pos = PosOf(address);
    return pos ? std::optional<int64_t>(static_cast<int64_t>(*pos)) : std::nullopt;
  }
  // The region that holds an offset in [0, Size()), and where it starts.
  const TRegion& RegionAt(int64_t offset) const { return Regions()[IndexAt(Checked(offset))]; }
  int64_t RegionOffset(size_t index) const { return static_cast<int64_t>(RegionPos(index)); }

  // Reads [pos, pos + count) of the layout from the process; memory that is
  // no longer there reads as zeros. Returns how many bytes that was.
  // Raises EProcessError once the process has ended.
  int64_t Read(const TProcess& process, int64_t pos, uint8_t* dest, int64_t count) const;

 private:
  uint64_t Checked(int64_t offset) const;
};

// A snapshot taken by TakeProcessSnapshot.
class TProcessSnapshot final : public TByteSource {
 public:
  TProcessSnapshot(TTempFile file, int64_t size, int64_t gone)
      : FFile(std::move(file)), FSize(size), FGone(gone) {}
  int64_t Size() override { return FSize; }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override;
  // Bytes of the layout that were no longer mapped (they read as zeros).
  int64_t GoneBytes() const { return FGone; }

 private:
  TTempFile FFile;
  int64_t FSize, FGone;
};

// Copies the layout's bytes from the process into a new private file in the
// work folder, in large pieces. nullptr when progress cancelled. A process
// that ends meanwhile raises EProcessError, a full disk EFileError ("The
// snapshot does not fit into the temporary folder ..."); nothing is left
// behind then.
std::unique_ptr<TProcessSnapshot> TakeProcessSnapshot(const TProcess& process, const TProcessLayout& layout,
                                                      const TProgress& progress = {});

// The same layout read live: the memory as it is at each read.
class TLiveProcessSource final : public TByteSource {
 public:
  TLiveProcessSource(const TProcess& process, TProcessLayout layout) : FProcess(process), FLayout(std::move(layout)) {}
  int64_t Size() override { return FLayout.Size(); }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override;
  // Bytes read so far that were no longer mapped.
  int64_t GoneBytes() const { return FGone; }

 private:
  TProcess FProcess;
  TProcessLayout FLayout;
  int64_t FGone = 0;
};

}  // namespace byteloom
