// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/bytesource.h"

#include <fcntl.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "control/hexeditor.h"

namespace byteloom {

namespace {

void CheckRange(int64_t pos, int64_t count, int64_t size, const std::string& what) {
  if (pos < 0 || count < 0 || pos + count > size) throw std::out_of_range("Read past the end of " + what);
}

}  // namespace

int64_t TEditorSource::Size() { return FEditor.DataSize(); }

int64_t TEditorSource::KnownZeros(int64_t pos, int64_t limit) { return FEditor.Document().KnownZeros(pos, limit); }

void TEditorSource::Read(uint8_t* dest, int64_t pos, int64_t count) {
  CheckRange(pos, count, FEditor.DataSize(), "the document");
  FEditor.Document().Read(pos, count, dest);
}

void TBufferSource::Read(uint8_t* dest, int64_t pos, int64_t count) {
  CheckRange(pos, count, Size(), "the bytes");
  if (count > 0) std::memcpy(dest, FBytes.data() + pos, static_cast<size_t>(count));
}

namespace {

// The file fileName, checked to be a regular file.
TFileHandle OpenSourceFile(const std::string& fileName) {
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  if (ec) throw std::runtime_error("Cannot open " + fileName + ": " + ec.message());
  if (!std::filesystem::is_regular_file(status)) throw std::runtime_error(fileName + " is not a regular file");
  return OpenRegularForReading(fileName);
}

}  // namespace

TFileSource::TFileSource(const std::string& fileName) : TFileSource(OpenSourceFile(fileName), fileName) {}

TFileSource::TFileSource(TFileHandle file, const std::string& name) : FName(name), FFile(std::move(file)) {
  // Snapshots and compares read forward: a wider read-ahead.
  posix_fadvise(FFile.Fd(), 0, 0, POSIX_FADV_SEQUENTIAL);
  FSize = FFile.Size();
}

void TFileSource::Read(uint8_t* dest, int64_t pos, int64_t count) {
  CheckRange(pos, count, FSize, FName);
  if (FFile.ReadAt(dest, count, pos) != count) throw std::runtime_error(FName + " became shorter while it was searched");
}

TPieceReader::TPieceReader(TByteSource& source, int64_t first, int64_t end, int64_t overlap, int64_t pieceSize)
    : FSource(source),
      FFirst(first),
      FEnd(std::max(first, end)),
      FOverlap(std::max<int64_t>(overlap, 0)),
      FCapacity(std::min(FEnd - first, std::max<int64_t>(pieceSize, 1) + FOverlap)),
      FBuffer(std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(FCapacity))),
      FPos(first) {}

bool TPieceReader::Next(int64_t keep) {
  int64_t end = End();
  if (end >= FEnd) return false;
  keep = std::clamp(keep, FPos, end);
  if (FSkipZeros) {
    const int64_t zeros = FSource.KnownZeros(keep, FEnd);
    if (zeros > FOverlap) {
      // Nothing carried: the piece starts afresh near the zeros' end.
      FPos = keep + zeros - FOverlap;
      FSize = 0;
      keep = end = FPos;
    }
  }
  const int64_t carried = end - keep;
  if (carried >= FCapacity) throw std::logic_error("A piece that keeps all its bytes cannot move on");
  if (carried > 0 && keep > FPos) std::memmove(FBuffer.get(), FBuffer.get() + (keep - FPos), static_cast<size_t>(carried));
  const int64_t fresh = std::min(FEnd - end, FCapacity - carried);
  FPos = keep;
  FSize = carried;
  FSource.Read(FBuffer.get() + carried, end, fresh);
  FSize += fresh;
  return true;
}

const uint8_t* TPieceReader::Fetch(int64_t pos, int64_t count) {
  if (pos < FFirst || count < 0 || count > FCapacity || pos + count > FEnd)
    throw std::out_of_range("Bytes outside the range read");
  if (pos < FPos || pos > End()) {
    FPos = pos;
    FSize = 0;
  }
  if (pos + count > End()) Next(pos);
  return FBuffer.get() + (pos - FPos);
}

}  // namespace byteloom
