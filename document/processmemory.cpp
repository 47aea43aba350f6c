// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/processmemory.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <cstdio>
#include <cstring>

#include "platform/platform.h"

namespace byteloom {
namespace {

std::string Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
  return buf;
}

}  // namespace

std::vector<TRegion> TProcessMemory::Shown(const std::vector<TRegion>& regions) {
  std::vector<TRegion> shown;
  for (const TRegion& r : regions)
    if (r.Read && r.Size() > 0 && r.Name != "[vvar]" && r.Name != "[vvar_vclock]" && r.Name != "[vsyscall]" &&
        r.Name.rfind("/dev/", 0) != 0)
      shown.push_back(r);
  return shown;
}

bool TProcessMemory::SameRegions(const std::vector<TRegion>& a, const std::vector<TRegion>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const TRegion& x, const TRegion& y) {
    return x.Start == y.Start && x.End == y.End && x.Write == y.Write && x.Name == y.Name;
  });
}

std::vector<TRegion> TProcessMemory::Settled(const TProcess& process, int maxMs) {
  std::vector<TRegion> last = Shown(process.Regions());
  for (int waited = 0, stable = 0; waited < maxMs && stable < 5; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<TRegion> now = Shown(process.Regions());
    stable = SameRegions(now, last) ? stable + 1 : 0;
    last = std::move(now);
  }
  return last;
}

TProcessMemory::TProcessMemory(TProcess process, std::vector<TRegion> regions)
    : FProcess(std::move(process)), FRegions(std::move(regions)) {
  for (const TRegion& r : FRegions) FStarts.push_back(FSize), FSize += r.Size();
}

size_t TProcessMemory::RegionAt(uint64_t pos) const {
  const auto it = std::upper_bound(FStarts.begin(), FStarts.end(), pos);
  return it == FStarts.begin() ? 0 : static_cast<size_t>(it - FStarts.begin() - 1);
}

uint64_t TProcessMemory::AddressOf(uint64_t pos) const {
  if (FRegions.empty()) return pos;
  const size_t i = RegionAt(pos);
  return FRegions[i].Start + (pos - FStarts[i]);
}

std::optional<uint64_t> TProcessMemory::PosOf(uint64_t address) const {
  for (size_t i = 0; i < FRegions.size(); ++i)
    if (address >= FRegions[i].Start && address < FRegions[i].End) return FStarts[i] + (address - FRegions[i].Start);
  return std::nullopt;
}

void TProcessMemory::ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const {
  if (pos > FSize || count > FSize - pos) throw std::out_of_range("Bytes outside the program's memory");
  for (size_t i = RegionAt(pos); count > 0; ++i) {
    const uint64_t offset = pos - FStarts[i], n = std::min(count, FRegions[i].Size() - offset);
    ReadRegion(i, offset, n, dest);
    pos += n, count -= n, dest += n;
  }
}

void TProcessMemory::ReadRegion(size_t region, uint64_t offset, uint64_t count, uint8_t* dest) const {
  const uint64_t address = FRegions[region].Start + offset;
  size_t got = 0;
  if (!FEnded) try {
      got = FProcess.Read(address, dest, count);
    } catch (const EProcessError&) {
      FEnded = !FProcess.Alive();
    }
  // What the screen shows is kept, page by page, for when it is gone.
  const bool keep = count <= (uint64_t{1} << 20);
  uint64_t page = (address + kPage - 1) / kPage * kPage;
  if (keep)
    for (; page + kPage <= address + got; page += kPage) Keep(page, dest + (page - address));
  // The rest is gone: what was read of it last, or zeros.
  std::vector<uint8_t> kept(kPage);
  for (uint64_t at = address + got; at < address + count;) {
    const uint64_t start = at / kPage * kPage, end = std::min(start + kPage, address + count);
    if (Kept(start, kept.data())) {
      std::memcpy(dest + (at - address), kept.data() + (at - start), end - at);
    } else {
      std::memset(dest + (at - address), 0, end - at);
      FUnknown += end - at;
    }
    at = end;
  }
}

void TProcessMemory::Keep(uint64_t address, const uint8_t* page) const {
  auto [it, fresh] = FPages.try_emplace(address);
  if (fresh) {
    FOrder.push_back(address);
    if (FOrder.size() > kPagesKept) FPages.erase(FOrder.front()), FOrder.pop_front();
  }
  it->second.assign(page, page + kPage);
}

bool TProcessMemory::Kept(uint64_t address, uint8_t* page) const {
  const auto it = FPages.find(address);
  if (it == FPages.end()) return false;
  std::memcpy(page, it->second.data(), kPage);
  return true;
}

void TProcessMemory::WriteBytes(uint64_t pos, uint64_t count, const uint8_t* src) {
  if (pos > FSize || count > FSize - pos) throw std::out_of_range("Bytes outside the program's memory");
  if (FEnded || !FProcess.Alive()) {
    FEnded = true;
    throw EFileError("The program has ended; its memory can no longer be changed");
  }
  // All regions first, so that nothing is written unless all of it can be.
  for (size_t i = RegionAt(pos), last = RegionAt(pos + count - 1); i <= last; ++i)
    if (!FRegions[i].Write)
      throw EFileError("The program's memory at " + Hex(FRegions[i].Start) + "-" + Hex(FRegions[i].End) + " (" +
                       FRegions[i].Permissions() + ") is not writable");
  for (size_t i = RegionAt(pos); count > 0; ++i) {
    const uint64_t offset = pos - FStarts[i], n = std::min(count, FRegions[i].Size() - offset);
    const uint64_t address = FRegions[i].Start + offset;
    size_t wrote = 0;
    try {
      wrote = FProcess.Write(address, src, n);
    } catch (const EProcessError& e) {
      throw EFileError(e.what(), e.Errno());
    }
    for (uint64_t page = address / kPage * kPage; page < address + n; page += kPage) FPages.erase(page);
    if (wrote != n)
      throw EFileError("The program's memory at " + Hex(address + wrote) + " could not be written (it is no longer mapped)");
    pos += n, count -= n, src += n;
  }
}

}  // namespace byteloom
