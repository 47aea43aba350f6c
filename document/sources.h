// SPDX-License-Identifier: GPL-3.0-or-later
// Where the bytes of a document's pieces come from: the opened file (held
// open read-only, so its inode outlives a rename or a delete), the
// append-only file of added bytes in the private work folder, and zeros,
// which need no storage. Later kinds (the memory of a running process)
// implement the same interface.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/platform.h"

namespace byteloom {

class TPieceSource {
 public:
  virtual ~TPieceSource() = default;
  // The number of bytes the source holds.
  virtual uint64_t Size() const = 0;
  // Reads exactly count bytes from byte pos on; raises EFileError.
  virtual void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const = 0;
  // The file that holds the bytes at their own offsets, for kernel copies;
  // nullptr when there is none.
  virtual const TFileHandle* File() const { return nullptr; }
  // Whether every byte is zero (nothing needs to be read).
  virtual bool Zeros() const { return false; }
  // Whether the file may have holes (a sparse file: fewer blocks than bytes
  // when it was opened); only then are they looked for.
  virtual bool Sparse() const { return false; }
};

// Memory that others change and that takes writes at once: the memory of a
// running program. Its length is fixed; a document over it never moves a
// byte, and each edit is written through.
class TLiveSource : public TPieceSource {
 public:
  // Writes count bytes from byte pos on, all of them or none; raises
  // EFileError with the reason when the memory does not take them.
  virtual void WriteBytes(uint64_t pos, uint64_t count, const uint8_t* src) = 0;
  // The address the byte at pos has in the memory (its offset to show), and
  // the byte at an address (none where the memory holds no such address).
  virtual uint64_t AddressOf(uint64_t pos) const { return pos; }
  virtual std::optional<uint64_t> PosOf(uint64_t address) const {
    return address < Size() ? std::optional<uint64_t>(address) : std::nullopt;
  }
  // Whether the byte at pos, as last read, is the memory's: false where it
  // could not be read and was never read before (it reads as zero then).
  virtual bool Known(uint64_t pos) const { return pos < Size(); }
};

class TZeroSource final : public TPieceSource {
 public:
  uint64_t Size() const override { return UINT64_MAX / 4; }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override;
  bool Zeros() const override { return true; }
};

// An open file, read-only; its size is taken when the source is made.
class TOpenedFile final : public TPieceSource {
 public:
  explicit TOpenedFile(TFileHandle file);
  uint64_t Size() const override { return FSize; }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override;
  const TFileHandle* File() const override { return &FFile; }
  bool Sparse() const override { return FSparse; }

 private:
  TFileHandle FFile;
  uint64_t FSize;
  bool FSparse = false;
};

// The bytes added by edits, in a file of the private work folder made at the
// first addition (exclusively, mode 0600) and removed with the source. Bytes
// once added never change, so a piece of them stays valid for good. The
// file's space is reserved ahead in chunks, and its newest bytes are kept in
// memory, so that typing neither reserves nor reads for each byte.
class TAddedBytes final : public TPieceSource {
 public:
  static constexpr uint64_t kReserveChunk = uint64_t{4} << 20;
  static constexpr uint64_t kTailKept = uint64_t{64} << 10;

  // Appends count bytes and returns the offset of the first. A failure (a
  // full disk, no work folder) raises EFileError and adds nothing.
  uint64_t Append(const uint8_t* data, uint64_t count);
  // Makes room for count more bytes. Raises EFileError (nothing changed).
  void Reserve(uint64_t count);
  // The file, made now if there is none yet. Raises EFileError.
  const TFileHandle& Open();
  // Removes the file while it holds no bytes.
  void CloseIfEmpty() noexcept {
    if (FSize == 0) FFile.Remove(), FReserved = 0;
  }
  uint64_t Size() const override { return FSize; }
  void ReadBytes(uint64_t pos, uint64_t count, uint8_t* dest) const override;
  const TFileHandle* File() const override { return FFile.IsOpen() ? &FFile.Handle() : nullptr; }

 private:
  TTempFile FFile;
  uint64_t FSize = 0, FReserved = 0;
  std::vector<uint8_t> FTail;  // the bytes [FTailStart, FSize)
  uint64_t FTailStart = 0;
};

}  // namespace byteloom
