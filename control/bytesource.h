// SPDX-License-Identifier: GPL-3.0-or-later
// Reading documents: TByteSource is what every feature that reads a
// document reads through (search, Replace all, Find All, compare, the
// snapshot search, the value panel, dumps and exports), with the sources
// the program has: an open document's working copy, bytes in memory and a
// file on disk. TPieceReader reads a range of a source in pieces, so that
// no document is ever held in memory whole.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace byteloom {

class THexEditor;

// A document's length and its bytes.
class TByteSource {
 public:
  virtual ~TByteSource() = default;
  virtual int64_t Size() = 0;
  // Reads exactly count bytes from pos on. A range that does not lie inside
  // the source raises std::out_of_range.
  virtual void Read(uint8_t* dest, int64_t pos, int64_t count) = 0;
  // How many bytes from pos on (up to limit) are known to be zeros without
  // reading them (the holes of a sparse file); 0 where nothing is known.
  virtual int64_t KnownZeros(int64_t /*pos*/, int64_t /*limit*/) { return 0; }
};

// The working copy of an open document, as edited.
class TEditorSource final : public TByteSource {
 public:
  explicit TEditorSource(THexEditor& editor) : FEditor(editor) {}
  int64_t KnownZeros(int64_t pos, int64_t limit) override;
  int64_t Size() override;
  void Read(uint8_t* dest, int64_t pos, int64_t count) override;

 private:
  THexEditor& FEditor;
};

// Bytes in memory (tests, small documents); they must outlive the source.
class TBufferSource final : public TByteSource {
 public:
  explicit TBufferSource(const std::vector<uint8_t>& bytes) : FBytes(bytes) {}
  int64_t Size() override { return static_cast<int64_t>(FBytes.size()); }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override;

 private:
  const std::vector<uint8_t>& FBytes;
};

// A file on disk of any size, read with pread; its size is taken when it is
// opened. Raises std::runtime_error with a clear message for a missing file,
// a directory or a device.
class TFileSource final : public TByteSource {
 public:
  explicit TFileSource(const std::string& fileName);
  // A file already open (name names it in messages); its size is taken now.
  TFileSource(TFileHandle file, const std::string& name);
  int64_t Size() override { return FSize; }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override;

 private:
  std::string FName;
  TFileHandle FFile;
  int64_t FSize = 0;
};

// Reads the range [first, end) of a source forward in pieces. Each piece
// begins with the bytes the piece before left over (by default its last
// `overlap` bytes) and is filled up behind them, so a pattern of up to
// overlap + 1 bytes that straddles two pieces is seen whole in the second.
// A piece holds at most pieceSize + overlap bytes.
class TPieceReader {
 public:
  static constexpr int64_t kPieceSize = int64_t{1} << 20;
  TPieceReader(TByteSource& source, int64_t first, int64_t end, int64_t overlap = 0, int64_t pieceSize = kPieceSize);

  // Reads the next piece; false (the piece as it was) once the piece held
  // reaches the end of the range.
  bool Next() { return Next(End() - FOverlap); }
  // From now on Next passes over the stretches the source knows to be
  // zeros, but for the overlap bytes before their end: for a search whose
  // pattern cannot lie wholly in zeros.
  void SkipZeros() { FSkipZeros = true; }
  // The same, with the bytes from keep on (Pos() <= keep <= End()) as the
  // start of the next piece.
  bool Next(int64_t keep);
  // The bytes [pos, pos + count), which must lie in the range and fit a
  // piece: from the piece held, or from a new piece that starts at pos.
  const uint8_t* At(int64_t pos, int64_t count) {
    return pos >= FPos && count >= 0 && pos + count <= End() ? FBuffer.get() + (pos - FPos) : Fetch(pos, count);
  }

  uint8_t* Data() { return FBuffer.get(); }
  int64_t Pos() const { return FPos; }    // the range position of Data()[0]
  int64_t Size() const { return FSize; }  // bytes in the piece
  int64_t End() const { return FPos + FSize; }
  bool Last() const { return End() >= FEnd; }

 private:
  const uint8_t* Fetch(int64_t pos, int64_t count);

  TByteSource& FSource;
  int64_t FFirst, FEnd, FOverlap, FCapacity;
  std::unique_ptr<uint8_t[]> FBuffer;
  int64_t FPos, FSize = 0;
  bool FSkipZeros = false;
};

}  // namespace byteloom
