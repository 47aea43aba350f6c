// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/bits.h"

namespace byteloom {

void TBits::SetSize(int64_t size) {
  if (size < 0) size = 0;
  if (size < FSize) {
    const int64_t firstPage = size / kPageBits;
    for (auto it = FPages.begin(); it != FPages.end();) {
      if (it->first > firstPage || (it->first == firstPage && size % kPageBits == 0))
        it = FPages.erase(it);
      else
        ++it;
    }
    if (auto it = FPages.find(firstPage); it != FPages.end()) {
      Page& page = *it->second;
      for (int b = size % kPageBits; b < kPageBits; ++b) page[b / 64] &= ~(uint64_t{1} << (b % 64));
    }
  }
  FSize = size;
}

bool TBits::Get(int64_t index) const {
  if (index < 0 || index >= FSize) return false;
  auto it = FPages.find(index / kPageBits);
  if (it == FPages.end()) return false;
  const int b = index % kPageBits;
  return ((*it->second)[b / 64] >> (b % 64)) & 1;
}

void TBits::Set(int64_t index, bool value) {
  if (index < 0) return;
  if (index >= FSize) {
    if (!value) return;
    FSize = index + 1;
  }
  auto it = FPages.find(index / kPageBits);
  if (it == FPages.end()) {
    if (!value) return;
    it = FPages.emplace(index / kPageBits, std::make_unique<Page>()).first;
    it->second->fill(0);
  }
  const int b = index % kPageBits;
  if (value)
    (*it->second)[b / 64] |= uint64_t{1} << (b % 64);
  else
    (*it->second)[b / 64] &= ~(uint64_t{1} << (b % 64));
}

}  // namespace byteloom
