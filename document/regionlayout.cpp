// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/regionlayout.h"

#include <algorithm>
#include <stdexcept>

namespace byteloom {

bool TRegionLayout::Keeps(TKind kind, const TRegion& r) {
  if (!r.Read || r.Size() == 0) return false;
  if (r.Name == "[vvar]" || r.Name == "[vvar_vclock]" || r.Name == "[vsyscall]" || r.Name.rfind("/dev/", 0) == 0)
    return false;
  return kind == TKind::rkReadable || (r.Write && !r.Shared);
}

TRegionLayout::TRegionLayout(const std::vector<TRegion>& regions, TKind kind) {
  for (const TRegion& r : regions)
    if (Keeps(kind, r)) FRegions.push_back(r), FStarts.push_back(FStarts.back() + r.Size());
}

size_t TRegionLayout::IndexAt(uint64_t pos) const {
  if (pos >= Size()) throw std::out_of_range("The position lies outside the program's memory");
  return static_cast<size_t>(std::upper_bound(FStarts.begin(), FStarts.end(), pos) - FStarts.begin() - 1);
}

uint64_t TRegionLayout::AddressOf(uint64_t pos) const {
  if (FRegions.empty()) return pos;
  const size_t i = pos >= Size() ? FRegions.size() - 1 : IndexAt(pos);
  return FRegions[i].Start + (pos - FStarts[i]);
}

std::optional<uint64_t> TRegionLayout::PosOf(uint64_t address) const {
  // Regions come in the order of their addresses, as the kernel lists them.
  const auto it = std::upper_bound(FRegions.begin(), FRegions.end(), address,
                                   [](uint64_t a, const TRegion& r) { return a < r.End; });
  if (it == FRegions.end() || address < it->Start) return std::nullopt;
  return FStarts[static_cast<size_t>(it - FRegions.begin())] + (address - it->Start);
}

bool TRegionLayout::Same(const TRegionLayout& other) const {
  return std::equal(FRegions.begin(), FRegions.end(), other.FRegions.begin(), other.FRegions.end(),
                    [](const TRegion& x, const TRegion& y) {
                      return x.Start == y.Start && x.End == y.End && x.Write == y.Write && x.Name == y.Name;
                    });
}

}  // namespace byteloom
