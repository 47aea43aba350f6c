// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/undostream.h"

#include <algorithm>
#include <cstring>

namespace byteloom {

namespace {
constexpr int64_t kPiece = int64_t{1} << 20;
}

void TUndoStream::Grow(int64_t size) {
  const int64_t physical = FStart + size;
  if (FFile.IsOpen()) {
    FFile.Handle().Reserve(physical);
    return;
  }
  if (size <= FMemoryLimit) {
    if (static_cast<int64_t>(FMem.size()) < physical) FMem.resize(static_cast<size_t>(physical));
    return;
  }
  TTempFile file = TTempFile::Create(FTempDir, ".BLWU");
  file.Handle().Reserve(size);
  file.Handle().WriteAt(FMem.data() + FStart, FSize, 0);
  FFile = std::move(file);
  FStart = 0;
  FMem.clear();
  FMem.shrink_to_fit();
}

void TUndoStream::SetSize(int64_t size) {
  size = std::max<int64_t>(size, 0);
  if (size > FSize) Grow(size);
  if (FFile.IsOpen()) {
    FFile.Handle().SetSize(FStart + size);
  } else {
    FMem.resize(static_cast<size_t>(FStart + size));
  }
  FSize = size;
}

void TUndoStream::Read(int64_t pos, void* dest, int64_t count) const {
  if (count <= 0) return;
  if (pos < 0 || pos + count > FSize) throw EFileError("Undo list: read outside the list");
  if (FFile.IsOpen())
    FFile.Handle().ReadExact(dest, count, FStart + pos);
  else
    std::memcpy(dest, FMem.data() + FStart + pos, static_cast<size_t>(count));
}

void TUndoStream::Write(int64_t pos, const void* source, int64_t count) {
  if (count <= 0) return;
  const int64_t end = pos + count;
  if (end > FSize) Grow(end);
  if (FFile.IsOpen())
    FFile.Handle().WriteAt(source, count, FStart + pos);
  else
    std::memcpy(FMem.data() + FStart + pos, source, static_cast<size_t>(count));
  FSize = std::max(FSize, end);
}

void TUndoStream::AppendFrom(const TFileHandle& file, int64_t filePos, int64_t count) {
  Grow(FSize + count);
  if (FFile.IsOpen())
    CopyData(file, filePos, FFile.Handle(), FStart + FSize, count);
  else
    file.ReadExact(FMem.data() + FStart + FSize, count, filePos);
  FSize += count;
}

void TUndoStream::CopyTo(int64_t pos, TFileHandle& file, int64_t filePos, int64_t count) const {
  if (count <= 0) return;
  if (pos < 0 || pos + count > FSize) throw EFileError("Undo list: read outside the list");
  if (FFile.IsOpen())
    CopyData(FFile.Handle(), FStart + pos, file, filePos, count);
  else
    file.WriteAt(FMem.data() + FStart + pos, count, filePos);
}

void TUndoStream::DropFront(int64_t count) {
  count = std::clamp<int64_t>(count, 0, FSize);
  if (count == 0) return;
  // Dropping only moves the start; the dropped bytes are given back once
  // they outweigh the bytes still held, so a full list does not copy its
  // whole content for every new step.
  FStart += count;
  FSize -= count;
  if (FStart <= FSize) return;
  if (!FFile.IsOpen()) {
    FMem.erase(FMem.begin(), FMem.begin() + FStart);
    FStart = 0;
    return;
  }
  std::vector<uint8_t> buf(static_cast<size_t>(std::min(kPiece, std::max<int64_t>(FSize, 1))));
  for (int64_t done = 0; done < FSize;) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(buf.size()), FSize - done);
    FFile.Handle().ReadExact(buf.data(), n, FStart + done);
    FFile.Handle().WriteAt(buf.data(), n, done);
    done += n;
  }
  FStart = 0;
  FFile.Handle().SetSize(FSize);
}

}  // namespace byteloom
