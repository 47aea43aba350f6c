// SPDX-License-Identifier: GPL-3.0-or-later
// Checksums of a range of a document: CRC-32 and Adler-32 (zlib), MD5, SHA-1
// and SHA-256 (libcrypto), CRC-32C, the two CRC-16s, sums and the XOR of the
// bytes (tables of our own). A range is read in pieces through a byte
// source, never held whole; any number of algorithms share one pass.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/progress.h"

namespace byteloom {

class TByteSource;

enum class TChecksumKind : uint8_t {
  ckCrc32,            // "CRC-32"
  ckCrc32C,           // "CRC-32C"
  ckCrc16CcittFalse,  // "CRC-16/CCITT-FALSE"
  ckCrc16Arc,         // "CRC-16/ARC"
  ckAdler32,          // "Adler-32"
  ckSum8,             // sum of the bytes mod 2^8
  ckSum16,            // mod 2^16
  ckSum32,            // mod 2^32
  ckXor8,             // XOR of the bytes
  ckMd5,
  ckSha1,
  ckSha256,
};
constexpr int kChecksumKindCount = 12;

// "CRC-32", "Sum mod 2^16", "SHA-256" ...
const char* ChecksumName(TChecksumKind kind);
// The short name profiles use: "crc32", "sum16", "sha256" ...
const char* ChecksumKey(TChecksumKind kind);
std::optional<TChecksumKind> ChecksumByKey(const std::string& key);
// Bytes of the value: 4 for CRC-32, 2 for the CRC-16s, 16 for MD5 ...
int ChecksumWidth(TChecksumKind kind);
// Every algorithm, in the order of TChecksumKind.
std::vector<TChecksumKind> AllChecksumKinds();
// MD5 and the SHAs: a string of bytes, kept as it is (no byte order).
bool IsDigest(TChecksumKind kind);

// One checksum fed piece by piece.
class TChecksum {
 public:
  explicit TChecksum(TChecksumKind kind);
  ~TChecksum();
  TChecksum(const TChecksum&) = delete;
  TChecksum& operator=(const TChecksum&) = delete;
  TChecksumKind Kind() const { return FKind; }
  void Update(const uint8_t* data, size_t count);
  // The value, most significant byte first (a digest as it is); ChecksumWidth bytes.
  std::vector<uint8_t> Value() const;

 private:
  struct TDigest;
  TChecksumKind FKind;
  uint64_t FState = 0;
  std::unique_ptr<TDigest> FDigest;
};

// Bytes read at a time (a piece stays in the cache while every algorithm
// reads it).
constexpr int32_t kChecksumPiece = 256 * 1024;

// The values of kinds over count bytes from first on (in the order of
// kinds); nothing when progress stopped the work. The range must lie in
// the source.
std::optional<std::vector<std::vector<uint8_t>>> ComputeChecksums(TByteSource& source, int64_t first, int64_t count,
                                                                  const std::vector<TChecksumKind>& kinds,
                                                                  const TProgress& progress = {});
std::vector<uint8_t> ComputeChecksum(TByteSource& source, int64_t first, int64_t count, TChecksumKind kind);

// Bytes as upper-case hex digits without separators ("CBF43926").
std::string HexDigits(const std::vector<uint8_t>& bytes);

}  // namespace byteloom
