// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/sources.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

namespace byteloom {

namespace {

// Reads of at least this many bytes ask the file system where its holes are.
constexpr int64_t kHoleCheck = 64 << 10;

}  // namespace

void TZeroSource::ReadBytes(uint64_t, uint64_t count, uint8_t* dest) const { std::memset(dest, 0, count); }

TOpenedFile::TOpenedFile(TFileHandle file) : FFile(std::move(file)), FSize(static_cast<uint64_t>(FFile.Size())) {
  struct stat st{};
  FSparse = fstat(FFile.Fd(), &st) == 0 && static_cast<uint64_t>(st.st_blocks) * 512 < FSize;
}

void TOpenedFile::ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const {
  // The holes of a sparse file are zeros that need no read (a disk image
  // is searched several times faster). A hole is only taken for what lies
  // inside the file: a read past its end still fails as it did.
  auto at = static_cast<int64_t>(pos);
  const auto end = static_cast<int64_t>(pos + count);
  while (FSparse && end - at >= kHoleCheck) {
    const auto [data, stop] = FFile.DataExtent(at, end);
    if (data == at) {
      FFile.ReadExact(dest, stop - at, at);
    } else if (data < end || FFile.Size() >= end) {
      std::memset(dest, 0, static_cast<size_t>(data - at));
      dest += data - at;
      at = data;
      continue;
    } else {
      break;
    }
    dest += stop - at;
    at = stop;
  }
  if (at < end) FFile.ReadExact(dest, end - at, at);
}

uint64_t TAddedBytes::Append(const uint8_t* data, uint64_t count) {
  const uint64_t at = FSize;
  if (count == 0) return at;
  Reserve(count);
  try {
    FFile.Handle().WriteAt(data, static_cast<int64_t>(count), static_cast<int64_t>(at));
  } catch (const EFileError& e) {
    throw EFileError(std::string("Cannot keep the new bytes: ") + e.what(), e.Errno());
  }
  FSize += count;
  if (count >= kTailKept) {
    FTail.assign(data + (count - kTailKept), data + count);
    FTailStart = FSize - kTailKept;
  } else {
    FTail.insert(FTail.end(), data, data + count);
    if (FTail.size() > 2 * kTailKept) {
      const uint64_t drop = FTail.size() - kTailKept;
      FTail.erase(FTail.begin(), FTail.begin() + static_cast<std::ptrdiff_t>(drop));
      FTailStart += drop;
    }
  }
  return at;
}

void TAddedBytes::Reserve(uint64_t count) {
  const uint64_t want = (FSize + count + kReserveChunk - 1) / kReserveChunk * kReserveChunk;
  if (want <= FReserved) return;
  const bool made = !FFile.IsOpen();
  try {
    Open();
    try {
      FFile.Handle().Reserve(static_cast<int64_t>(want));
      FReserved = want;
    } catch (const EFileError&) {
      // A chunk ahead, so that typing does not reserve for each byte; where
      // the disk has no room for it, just the bytes.
      FFile.Handle().Reserve(static_cast<int64_t>(FSize + count));
      FReserved = FSize + count;
    }
  } catch (const EFileError& e) {
    if (made) FFile.Remove();
    throw EFileError(std::string("Cannot keep the new bytes: ") + e.what(), e.Errno());
  }
}

const TFileHandle& TAddedBytes::Open() {
  if (!FFile.IsOpen()) FFile = TTempFile::Create(WorkFolder(), ".BLAD");
  return FFile.Handle();
}

void TAddedBytes::ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const {
  if (count == 0) return;
  if (pos >= FTailStart && pos + count <= FSize) {
    std::memcpy(dest, FTail.data() + (pos - FTailStart), count);
    return;
  }
  if (pos + count > FSize) throw EFileError("Cannot read the added bytes: unexpected end of file");
  FFile.Handle().ReadExact(dest, static_cast<int64_t>(count), static_cast<int64_t>(pos));
}

}  // namespace byteloom
