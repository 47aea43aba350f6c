// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/docstore.h"

#include <algorithm>

#include "control/types.h"

namespace byteloom {

int32_t TDocumentStore::Size() {
  if (FSizeGeneration != FGeneration || FChanging > 0) {
    const int64_t size = FFile.IsOpen() ? Data().Size() : 0;
    FSize = static_cast<int32_t>(std::min(size, kMaxDocumentSize));
    FSizeGeneration = FGeneration;
  }
  return FSize;
}

void TDocumentStore::Fill(int32_t pos, int32_t span) {
  const int32_t start = WindowStart();
  if (start != -1 && pos >= start && int64_t{start} + kWindowSize >= int64_t{pos} + span) return;
  // A window read again reads the length again too; a failed read leaves
  // the window stale.
  FSizeGeneration = 0;
  FWindowGeneration = 0;
  FWindowStart = std::max(pos - kWindowSize / 2, 0);
  int64_t got = 0;
  if (FFile.IsOpen()) got = Data().ReadAt(FWindow.data(), kWindowSize, FWindowStart);
  std::fill(FWindow.begin() + got, FWindow.end(), 0);
  FWindowGeneration = FGeneration;
}

void TDocumentStore::Put(int32_t pos, uint8_t value) {
  // Every byte the window holds is kept in step, also one of a row that the
  // window does not wholly cover: a later read of that byte must not see the
  // old value.
  const int32_t start = WindowStart();
  if (start != -1 && pos >= start && int64_t{pos} < int64_t{start} + kWindowSize)
    FWindow[static_cast<size_t>(pos - start)] = value;
}

}  // namespace byteloom
