// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/checksums.h"

#include <openssl/evp.h>
#include <zlib.h>

#include <array>
#include <stdexcept>

#include "control/bytesource.h"

namespace byteloom {

namespace {

struct TKindInfo {
  const char* Name;
  const char* Key;
  int Width;
};
constexpr TKindInfo kKinds[kChecksumKindCount] = {
    {"CRC-32", "crc32", 4},          {"CRC-32C", "crc32c", 4},         {"CRC-16/CCITT-FALSE", "crc16-ccitt-false", 2},
    {"CRC-16/ARC", "crc16-arc", 2},  {"Adler-32", "adler32", 4},       {"Sum mod 2^8", "sum8", 1},
    {"Sum mod 2^16", "sum16", 2},    {"Sum mod 2^32", "sum32", 4},     {"XOR of bytes", "xor8", 1},
    {"MD5", "md5", 16},              {"SHA-1", "sha1", 20},            {"SHA-256", "sha256", 32},
};

const TKindInfo& Info(TChecksumKind kind) { return kKinds[static_cast<int>(kind)]; }

// Tables of the CRCs of our own: CRC-32C in eight slices (a word a step),
// the CRC-16s a byte a step.
struct TCrcTables {
  std::array<std::array<uint32_t, 256>, 8> Crc32C{};
  std::array<uint16_t, 256> Arc{};
  std::array<uint16_t, 256> Ccitt{};
  TCrcTables() {
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t c = b, a = b, f = b << 8;
      for (int k = 0; k < 8; ++k) {
        c = (c >> 1) ^ ((c & 1) ? 0x82F63B78u : 0);
        a = (a >> 1) ^ ((a & 1) ? 0xA001u : 0);
        f = (f << 1) ^ ((f & 0x8000) ? 0x1021u : 0);
      }
      Crc32C[0][b] = c;
      Arc[b] = static_cast<uint16_t>(a);
      Ccitt[b] = static_cast<uint16_t>(f);
    }
    for (int s = 1; s < 8; ++s)
      for (uint32_t b = 0; b < 256; ++b)
        Crc32C[s][b] = (Crc32C[s - 1][b] >> 8) ^ Crc32C[0][Crc32C[s - 1][b] & 0xFF];
  }
};

const TCrcTables& Tables() {
  static const TCrcTables tables;
  return tables;
}

uint32_t Crc32C(uint32_t crc, const uint8_t* p, size_t n) {
  const auto& t = Tables().Crc32C;
  for (; n >= 8; n -= 8, p += 8) {
    const uint32_t lo = crc ^ (uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n > 0; --n) crc = (crc >> 8) ^ t[0][(crc ^ *p++) & 0xFF];
  return crc;
}

uint64_t ByteSum(const uint8_t* p, size_t n) {
  uint64_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum += p[i];
  return sum;
}

uint8_t ByteXor(const uint8_t* p, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= p[i];
  return x;
}

const EVP_MD* DigestOf(TChecksumKind kind) {
  switch (kind) {
    case TChecksumKind::ckMd5: return EVP_md5();
    case TChecksumKind::ckSha1: return EVP_sha1();
    default: return EVP_sha256();
  }
}

}  // namespace

const char* ChecksumName(TChecksumKind kind) { return Info(kind).Name; }
const char* ChecksumKey(TChecksumKind kind) { return Info(kind).Key; }
int ChecksumWidth(TChecksumKind kind) { return Info(kind).Width; }
bool IsDigest(TChecksumKind kind) { return kind >= TChecksumKind::ckMd5; }

std::vector<TChecksumKind> AllChecksumKinds() {
  std::vector<TChecksumKind> kinds;
  for (int k = 0; k < kChecksumKindCount; ++k) kinds.push_back(static_cast<TChecksumKind>(k));
  return kinds;
}

std::optional<TChecksumKind> ChecksumByKey(const std::string& key) {
  for (int k = 0; k < kChecksumKindCount; ++k)
    if (key == kKinds[k].Key) return static_cast<TChecksumKind>(k);
  return std::nullopt;
}

struct TChecksum::TDigest {
  EVP_MD_CTX* Context = EVP_MD_CTX_new();
  ~TDigest() { EVP_MD_CTX_free(Context); }
};

TChecksum::TChecksum(TChecksumKind kind) : FKind(kind) {
  switch (kind) {
    case TChecksumKind::ckCrc32: FState = crc32(0, nullptr, 0); break;
    case TChecksumKind::ckAdler32: FState = adler32(0, nullptr, 0); break;
    case TChecksumKind::ckCrc32C: FState = 0xFFFFFFFFu; break;
    case TChecksumKind::ckCrc16CcittFalse: FState = 0xFFFF; break;
    default: FState = 0; break;
  }
  if (!IsDigest(kind)) return;
  FDigest = std::make_unique<TDigest>();
  if (!FDigest->Context || EVP_DigestInit_ex(FDigest->Context, DigestOf(kind), nullptr) != 1)
    throw std::runtime_error(std::string("The library cannot compute ") + ChecksumName(kind));
}

TChecksum::~TChecksum() = default;

void TChecksum::Update(const uint8_t* data, size_t count) {
  switch (FKind) {
    case TChecksumKind::ckCrc32: FState = crc32_z(static_cast<uLong>(FState), data, count); break;
    case TChecksumKind::ckAdler32: FState = adler32_z(static_cast<uLong>(FState), data, count); break;
    case TChecksumKind::ckCrc32C: FState = Crc32C(static_cast<uint32_t>(FState), data, count); break;
    case TChecksumKind::ckCrc16CcittFalse: {
      const auto& t = Tables().Ccitt;
      auto crc = static_cast<uint16_t>(FState);
      for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc << 8) ^ t[(crc >> 8) ^ data[i]]);
      FState = crc;
      break;
    }
    case TChecksumKind::ckCrc16Arc: {
      const auto& t = Tables().Arc;
      auto crc = static_cast<uint16_t>(FState);
      for (size_t i = 0; i < count; ++i) crc = static_cast<uint16_t>((crc >> 8) ^ t[(crc ^ data[i]) & 0xFF]);
      FState = crc;
      break;
    }
    case TChecksumKind::ckSum8:
    case TChecksumKind::ckSum16:
    case TChecksumKind::ckSum32: FState += ByteSum(data, count); break;
    case TChecksumKind::ckXor8: FState ^= ByteXor(data, count); break;
    default:
      if (EVP_DigestUpdate(FDigest->Context, data, count) != 1)
        throw std::runtime_error(std::string("The library failed to compute ") + ChecksumName(FKind));
  }
}

std::vector<uint8_t> TChecksum::Value() const {
  const int width = ChecksumWidth(FKind);
  std::vector<uint8_t> out(static_cast<size_t>(width));
  if (IsDigest(FKind)) {
    // The running digest goes on; its copy is finished.
    EVP_MD_CTX* copy = EVP_MD_CTX_new();
    unsigned int length = 0;
    const bool done = copy && EVP_MD_CTX_copy_ex(copy, FDigest->Context) == 1 &&
                      EVP_DigestFinal_ex(copy, out.data(), &length) == 1 && length == out.size();
    EVP_MD_CTX_free(copy);
    if (!done) throw std::runtime_error(std::string("The library failed to compute ") + ChecksumName(FKind));
    return out;
  }
  const uint64_t value = FKind == TChecksumKind::ckCrc32C ? FState ^ 0xFFFFFFFFu : FState;
  for (int i = 0; i < width; ++i) out[static_cast<size_t>(width - 1 - i)] = static_cast<uint8_t>(value >> (8 * i));
  return out;
}

std::optional<std::vector<std::vector<uint8_t>>> ComputeChecksums(TByteSource& source, int64_t first, int64_t count,
                                                                  const std::vector<TChecksumKind>& kinds,
                                                                  const TProgress& progress) {
  if (first < 0 || count < 0 || first + count > source.Size())
    throw std::out_of_range("The checksum's range lies outside the document");
  std::vector<std::unique_ptr<TChecksum>> sums;
  for (TChecksumKind kind : kinds) sums.push_back(std::make_unique<TChecksum>(kind));
  TPieceReader pieces(source, first, first + count, 0, kChecksumPiece);
  while (pieces.Next()) {
    for (auto& sum : sums) sum->Update(pieces.Data(), static_cast<size_t>(pieces.Size()));
    if (progress && !progress(pieces.End() - first, count)) return std::nullopt;
  }
  std::vector<std::vector<uint8_t>> values;
  for (auto& sum : sums) values.push_back(sum->Value());
  return values;
}

std::vector<uint8_t> ComputeChecksum(TByteSource& source, int64_t first, int64_t count, TChecksumKind kind) {
  return ComputeChecksums(source, first, count, {kind})->front();
}

std::string HexDigits(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

}  // namespace byteloom
