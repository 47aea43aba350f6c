// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/processsnap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/numconv.h"

namespace byteloom {

namespace {

constexpr uint64_t kPage = 4096;
// A snapshot reads and writes pieces of this size.
constexpr int64_t kSnapshotPiece = int64_t{1} << 20;

void CheckRange(int64_t pos, int64_t count, int64_t size) {
  if (pos < 0 || count < 0 || pos > size || count > size - pos) throw std::out_of_range("Read past the end of the snapshot");
}

[[noreturn]] void NoRoom(const EFileError& e, int64_t size) {
  const int64_t free = FreeSpaceBytes(WorkFolder());
  throw EFileError("The snapshot does not fit into the temporary folder (" + WorkFolder() + ": it needs " +
                       ByteCountText(size) + (free >= 0 ? ", " + ByteCountText(free) + " are free" : std::string()) +
                       "). Free some space there, or take a snapshot of a smaller program.",
                   e.Errno());
}

bool IsNoRoom(const EFileError& e) { return e.Errno() == ENOSPC || e.Errno() == EDQUOT || e.Errno() == EFBIG; }

}  // namespace

uint64_t TProcessLayout::Checked(int64_t offset) const {
  if (offset < 0 || offset >= Size()) throw std::out_of_range("The offset lies outside the program's memory");
  return static_cast<uint64_t>(offset);
}

int64_t TProcessLayout::Read(const TProcess& process, int64_t pos, uint8_t* dest, int64_t count) const {
  CheckRange(pos, count, Size());
  int64_t gone = 0;
  std::vector<TRegion> now;  // the regions as they are, once a page was missing
  bool looked = false;
  while (count > 0) {
    const size_t k = IndexAt(Checked(pos));
    const uint64_t address = TRegionLayout::AddressOf(static_cast<uint64_t>(pos));
    const auto n = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(RegionEnd(k)) - pos));
    for (size_t done = 0; (done += process.Read(address + done, dest + done, n - done)) < n;) {
      // A page that is gone: zeros up to the next readable address.
      const uint64_t at = address + done;
      if (!looked) now = process.Regions(), looked = true;
      uint64_t resume = (at / kPage + 1) * kPage;
      const auto next = std::find_if(now.begin(), now.end(), [at](const TRegion& r) { return r.Read && r.End > at; });
      resume = next == now.end() ? address + n : std::max(resume, next->Start);
      resume = std::min(resume, address + n);
      std::memset(dest + done, 0, resume - at);
      gone += static_cast<int64_t>(resume - at);
      done = resume - address;
      if (done >= n) break;
    }
    pos += static_cast<int64_t>(n);
    dest += n;
    count -= static_cast<int64_t>(n);
  }
  return gone;
}

void TProcessSnapshot::Read(uint8_t* dest, int64_t pos, int64_t count) {
  CheckRange(pos, count, FSize);
  FFile.Handle().ReadExact(dest, count, pos);
}

std::unique_ptr<TProcessSnapshot> TakeProcessSnapshot(const TProcess& process, const TProcessLayout& layout,
                                                      const TProgress& progress) {
  const int64_t size = layout.Size();
  // The file goes with its name if anything below raises.
  TTempFile file = TTempFile::Create(WorkFolder(), ".BLPM");
  int64_t gone = 0;
  try {
    file.Handle().TryReserve(size);
    // One piece, read and written at once while its bytes are still in the
    // processor's cache (a reading thread beside the writing one was slower).
    std::unique_ptr<uint8_t[]> piece(new uint8_t[static_cast<size_t>(std::min(size, kSnapshotPiece))]);
    for (int64_t pos = 0; pos < size; pos += kSnapshotPiece) {
      const int64_t n = std::min(kSnapshotPiece, size - pos);
      gone += layout.Read(process, pos, piece.get(), n);
      file.Handle().WriteAt(piece.get(), n, pos);
      if (progress && !progress(pos + n, size)) return nullptr;
    }
  } catch (const EFileError& e) {
    if (IsNoRoom(e)) NoRoom(e, size);
    throw;
  }
  return std::make_unique<TProcessSnapshot>(std::move(file), size, gone);
}

void TLiveProcessSource::Read(uint8_t* dest, int64_t pos, int64_t count) {
  FGone += FLayout.Read(FProcess, pos, dest, count);
}

}  // namespace byteloom
