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

TRegionLayout TProcessMemory::Settled(const TProcess& process, int maxMs) {
  TRegionLayout last = Shown(process.Regions());
  for (int waited = 0, stable = 0; waited < maxMs && stable < 5; waited += 10) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    TRegionLayout now = Shown(process.Regions());
    stable = now.Same(last) ? stable + 1 : 0;
    last = std::move(now);
  }
  return last;
}

TProcessMemory::TProcessMemory(TProcess process, TRegionLayout layout)
    : FProcess(std::move(process)), FLayout(std::move(layout)) {}

void TProcessMemory::ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const {
  if (pos > Size() || count > Size() - pos) throw std::out_of_range("Bytes outside the program's memory");
  for (size_t i = count ? FLayout.IndexAt(pos) : 0; count > 0; ++i) {
    const uint64_t offset = pos - FLayout.RegionPos(i), n = std::min(count, FLayout.RegionEnd(i) - pos);
    ReadRegion(i, offset, n, dest);
    pos += n, count -= n, dest += n;
  }
}

void TProcessMemory::ReadRegion(size_t region, uint64_t offset, uint64_t count, uint8_t* dest) const {
  const uint64_t address = FLayout.Regions()[region].Start + offset;
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
  if (!FUnknownPages.empty())
    for (uint64_t at = address / kPage * kPage; at < address + got; at += kPage) FUnknownPages.erase(at);
  // The rest is gone: what was read of it last, or zeros.
  std::vector<uint8_t> kept(kPage);
  for (uint64_t at = address + got; at < address + count;) {
    const uint64_t start = at / kPage * kPage, end = std::min(start + kPage, address + count);
    if (Kept(start, kept.data())) {
      std::memcpy(dest + (at - address), kept.data() + (at - start), end - at);
    } else {
      std::memset(dest + (at - address), 0, end - at);
      FUnknown += end - at;
      FUnknownPages.insert(start);
    }
    at = end;
  }
}

bool TProcessMemory::Known(uint64_t pos) const {
  return pos < Size() && (FUnknownPages.empty() || !FUnknownPages.count(FLayout.AddressOf(pos) / kPage * kPage));
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
  if (pos > Size() || count > Size() - pos) throw std::out_of_range("Bytes outside the program's memory");
  if (count == 0) return;
  if (FEnded || !FProcess.Alive()) {
    FEnded = true;
    throw EFileError("The program has ended; its memory can no longer be changed");
  }
  // All regions first, so that nothing is written unless all of it can be.
  const std::vector<TRegion>& regions = FLayout.Regions();
  for (size_t i = FLayout.IndexAt(pos), last = FLayout.IndexAt(pos + count - 1); i <= last; ++i)
    if (!regions[i].Write)
      throw EFileError("The program's memory at " + Hex(regions[i].Start) + "-" + Hex(regions[i].End) + " (" +
                       regions[i].Permissions() + ") is not writable");
  for (size_t i = FLayout.IndexAt(pos); count > 0; ++i) {
    const uint64_t n = std::min(count, FLayout.RegionEnd(i) - pos), address = FLayout.AddressOf(pos);
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
