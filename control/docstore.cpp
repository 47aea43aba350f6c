// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/docstore.h"

#include <algorithm>
#include <cerrno>

#include <unistd.h>

#include "control/types.h"

namespace byteloom {

void TDocumentStore::Reset(TWatchedFile&& file) {
  // The document reads the file through a descriptor of its own.
  std::unique_ptr<TDocument> doc =
      file.IsOpen() ? std::make_unique<TDocument>(file.TakeHandle()) : std::make_unique<TDocument>();
  Take(std::move(doc));
  FFile = std::move(file);
}

void TDocumentStore::Reset(std::unique_ptr<TLiveSource> live) {
  Take(std::make_unique<TDocument>(std::move(live)));
  FFile = TWatchedFile();
}

void TDocumentStore::Take(std::unique_ptr<TDocument> doc) {
  doc->SetSpliceHook(FHook);
  if (FWatcher) doc->Watch(FWatcher);
  FDoc = std::move(doc);
  Changed();
  Edited();
}

int64_t TDocumentStore::Size() const { return FDoc->Size(); }

void TDocumentStore::Fill(int64_t pos, int64_t span) {
  const int64_t start = WindowStart();
  if (start != -1 && pos >= start && start + kWindowSize >= pos + span) return;
  // A failed read leaves the window stale.
  FWindowGeneration = 0;
  FWindowStart = std::max<int64_t>(pos - kWindowSize / 2, 0);
  const int64_t got = std::clamp<int64_t>(FDoc->Size() - FWindowStart, 0, kWindowSize);
  if (got > 0) FDoc->Read(FWindowStart, got, FWindow.data());
  std::fill(FWindow.begin() + got, FWindow.end(), 0);
  FWindowGeneration = FGeneration;
}

void TDocumentStore::Put(int64_t pos, uint8_t value) {
  // Every byte the window holds is kept in step, also one of a row that the
  // window does not wholly cover: a later read of that byte must not see the
  // old value.
  const int64_t start = WindowStart();
  if (start != -1 && pos >= start && int64_t{pos} < int64_t{start} + kWindowSize)
    FWindow[static_cast<size_t>(pos - start)] = value;
}

}  // namespace byteloom
