// SPDX-License-Identifier: GPL-3.0-or-later
// A byte stream for step histories (the snapshot search keeps its candidate
// sets in one). It lives in memory while it is small and moves into a
// private temporary file once it would grow beyond its memory limit, so that
// a large history never needs to be held in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace byteloom {

class TUndoStream {
 public:
  static constexpr int64_t kDefaultMemoryLimit = int64_t{8} << 20;

  TUndoStream(std::string tempDir, int64_t memoryLimit = kDefaultMemoryLimit)
      : FTempDir(std::move(tempDir)), FMemoryLimit(memoryLimit) {}

  int64_t Size() const { return FSize; }
  bool InFile() const { return FFile.IsOpen(); }
  // Bytes held in memory.
  size_t MemoryBytes() const { return FMem.capacity(); }
  void SetSize(int64_t size);
  void Read(int64_t pos, void* dest, int64_t count) const;
  void Write(int64_t pos, const void* source, int64_t count);
  void Append(const void* source, int64_t count) { Write(FSize, source, count); }
  // Appends count bytes read from file at filePos, in bounded pieces.
  void AppendFrom(const TFileHandle& file, int64_t filePos, int64_t count);
  // Writes count bytes of the stream from pos into file at filePos.
  void CopyTo(int64_t pos, TFileHandle& file, int64_t filePos, int64_t count) const;
  // Drops the first count bytes, moving the rest to the start.
  void DropFront(int64_t count);

 private:
  // Makes room for size bytes: in memory up to the limit, else in the file.
  void Grow(int64_t size);

  std::string FTempDir;
  int64_t FMemoryLimit;
  int64_t FSize = 0;
  int64_t FStart = 0;  // where the stream's first byte lies in memory or in the file
  std::vector<uint8_t> FMem;
  TTempFile FFile;
};

}  // namespace byteloom
