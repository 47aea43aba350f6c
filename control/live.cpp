// SPDX-License-Identifier: GPL-3.0-or-later
// THexEditor over live memory (a running program's): opening it, reading
// the shown rows again and marking the bytes the program changed, and the
// addresses the offset column and Goto use.
#include <algorithm>

#include "control/hexeditor.h"

namespace byteloom {

void THexEditor::OpenLive(std::unique_ptr<TLiveSource> memory, const std::string& caption) {
  CloseDataStream();
  FLastError.clear();
  FJournalHeader = TJournalHeader();
  FStore.Reset(std::move(memory));
  FFileName = caption;
  FUntitled = true;
  FReadOnly = false;
  FLiveFrom = -1;
  ResetDocumentState();
}

bool THexEditor::RefreshLive() {
  if (!IsLive()) return true;
  const int64_t size = DataSize();
  const int64_t from = std::min(TopRow() * FBytesPerLine, size);
  const int64_t count = std::min<int64_t>(size - from, int64_t{VisibleRowCount() + 1} * FBytesPerLine);
  std::vector<uint8_t> now(static_cast<size_t>(count));
  try {
    FStore.Doc().Read(from, count, now.data());
  } catch (const std::exception&) {
    return false;
  }
  // The window is read again when next painted.
  FStore.Changed();
  const uint32_t tick = TickCount() | 1;
  bool seen = false;
  if (from != FLiveFrom || now.size() != FLiveSeen.size()) {
    FLiveFrom = from;
    FLiveChangedAt.assign(now.size(), 0);
    seen = true;
  } else {
    for (size_t i = 0; i < now.size(); ++i) {
      uint32_t& at = FLiveChangedAt[i];
      if (now[i] != FLiveSeen[i]) at = tick, seen = true;
      else if (at != 0 && tick - at >= kLiveFlashTicks) at = 0, seen = true;
    }
  }
  FLiveSeen = std::move(now);
  if (seen) InvalidateGrid();
  return true;
}

bool THexEditor::ByteKnown(int64_t pos) const {
  const TLiveSource* live = FStore.Doc().LiveSource();
  return !live || live->Known(static_cast<uint64_t>(pos));
}

uint64_t THexEditor::AddressOf(int64_t pos) const {
  const TLiveSource* live = FStore.Doc().LiveSource();
  return live ? live->AddressOf(static_cast<uint64_t>(pos)) : static_cast<uint64_t>(pos);
}

std::optional<int64_t> THexEditor::PosOfAddress(uint64_t address) const {
  if (const TLiveSource* live = FStore.Doc().LiveSource()) {
    const std::optional<uint64_t> pos = live->PosOf(address);
    if (!pos) return std::nullopt;
    return static_cast<int64_t>(*pos);
  }
  return address <= static_cast<uint64_t>(INT64_MAX) ? std::optional<int64_t>(static_cast<int64_t>(address)) : std::nullopt;
}

}  // namespace byteloom
