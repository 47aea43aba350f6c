// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/translation.h"

#include <array>

#include "platform/codepages.h"

namespace byteloom {
namespace {

using ByteMap = std::array<uint8_t, 256>;

// ---------------------------------------------------------------------------
// Macintosh: file bytes 0x80..0xFF -> displayed ANSI character. Bytes below
// 0x80 are the same both ways.
// ---------------------------------------------------------------------------
// clang-format off
constexpr std::array<uint8_t, 128> kMacUpper = {
  0xC4, 0xC5, 0xC7, 0xC9, 0xD1, 0xD6, 0xDC, 0xE1, 0xE0, 0xE2, 0xE4, 0xE3, 0xE5, 0xE7, 0xE9, 0xE8,  // 0x80
  0xEA, 0xEB, 0xED, 0xEC, 0xEE, 0xEF, 0xF1, 0xF3, 0xF2, 0xF4, 0xF6, 0xF5, 0xFA, 0xF9, 0xFB, 0xFC,  // 0x90
  0xDD, 0xB0, 0xA2, 0xA3, 0xA7, 0x80, 0xB6, 0xDF, 0xAE, 0xA9, 0x81, 0xB4, 0xA8, 0x82, 0xC6, 0xD8,  // 0xA0
  0x83, 0xB1, 0xBE, 0x84, 0xA5, 0xB5, 0x8F, 0x85, 0xBD, 0xBC, 0x86, 0xAA, 0xBA, 0x87, 0xE6, 0xF8,  // 0xB0
  0xBF, 0xA1, 0xAC, 0x88, 0x9F, 0x89, 0x90, 0xAB, 0xBB, 0x8A, 0xA0, 0xC0, 0xC3, 0xD5, 0x91, 0xA6,  // 0xC0
  0xAD, 0x8B, 0xB3, 0xB2, 0x8C, 0xB9, 0xF7, 0xD7, 0xFF, 0x8D, 0x8E, 0xA4, 0xD0, 0xF0, 0xDE, 0xFE,  // 0xD0
  0xFD, 0xB7, 0x92, 0x93, 0x94, 0xC2, 0xCA, 0xC1, 0xCB, 0xC8, 0xCD, 0xCE, 0xCF, 0xCC, 0xD3, 0xD4,  // 0xE0
  0x95, 0xD2, 0xDA, 0xDB, 0xD9, 0x9E, 0x96, 0x97, 0xAF, 0x98, 0x99, 0x9A, 0xB8, 0x9B, 0x9C, 0x9D,  // 0xF0
};
// clang-format on

constexpr ByteMap MakeMacToAnsi() {
  ByteMap map{};
  for (int b = 0; b < 0x80; ++b) map[b] = static_cast<uint8_t>(b);
  for (int b = 0x80; b < 0x100; ++b) map[b] = kMacUpper[b - 0x80];
  return map;
}

constexpr ByteMap Inverse(const ByteMap& map) {
  ByteMap inv{};
  for (int b = 0; b < 256; ++b) inv[map[b]] = static_cast<uint8_t>(b);
  return inv;
}

constexpr bool IsPermutation(const ByteMap& map) {
  std::array<bool, 256> seen{};
  for (uint8_t v : map) {
    if (seen[v]) return false;
    seen[v] = true;
  }
  return true;
}

constexpr ByteMap kMacToAnsi = MakeMacToAnsi();
static_assert(IsPermutation(kMacToAnsi), "the Macintosh table must be reversible");
constexpr ByteMap kAnsiToMac = Inverse(kMacToAnsi);

// ---------------------------------------------------------------------------
// EBCDIC: file byte -> displayed ANSI character, for the bytes that have one.
// ---------------------------------------------------------------------------
constexpr int16_t kNoChar = -1;  // byte 0x00 has no character either, so 0 can't mean "none"
using EbcdicMap = std::array<int16_t, 256>;

struct EbcdicRun {
  uint8_t firstByte;
  uint8_t lastByte;
  uint8_t firstChar;
};

// clang-format off
constexpr EbcdicRun kEbcdicRuns[] = {
  {0x40, 0x40, ' '},  {0x4B, 0x4B, '.'},  {0x4C, 0x4C, '<'},  {0x4D, 0x4D, '('},
  {0x4E, 0x4E, '+'},  {0x4F, 0x4F, 0xFE}, {0x50, 0x50, '&'},  {0x51, 0x51, '&'},
  {0x5A, 0x5A, '!'},  {0x5B, 0x5B, '$'},  {0x5C, 0x5C, '*'},  {0x5D, 0x5D, ')'},
  {0x5E, 0x5E, ';'},  {0x60, 0x60, '-'},  {0x61, 0x61, '/'},  {0x6A, 0x6A, '|'},
  {0x6B, 0x6B, ','},  {0x6C, 0x6C, '%'},  {0x6D, 0x6D, '_'},  {0x6E, 0x6E, '>'},
  {0x6F, 0x6F, '?'},  {0x79, 0x79, '`'},  {0x7A, 0x7A, ':'},  {0x7B, 0x7B, '#'},
  {0x7C, 0x7C, '@'},  {0x7D, 0x7D, '\''}, {0x7E, 0x7E, '='},  {0x7F, 0x7F, '"'},
  {0x81, 0x89, 'a'},  {0x91, 0x99, 'j'},  {0xA1, 0xA1, '~'},  {0xA2, 0xA9, 's'},
  {0xC1, 0xC9, 'A'},  {0xD1, 0xD9, 'J'},  {0xE0, 0xE0, '\\'}, {0xE2, 0xE9, 'S'},
  {0xF0, 0xF9, '0'},
};
// clang-format on

constexpr EbcdicMap MakeEbcdicToAnsi() {
  EbcdicMap map{};
  for (auto& v : map) v = kNoChar;
  for (const EbcdicRun& run : kEbcdicRuns) {
    for (int b = run.firstByte; b <= run.lastByte; ++b) {
      map[b] = static_cast<int16_t>(run.firstChar + (b - run.firstByte));
    }
  }
  return map;
}

// Typing: character -> EBCDIC byte, 0 for characters without one. '&' has
// two bytes (0x50 and 0x51); the lower one, 0x50, is the one typed.
constexpr ByteMap MakeAnsiToEbcdic(const EbcdicMap& toAnsi) {
  ByteMap map{};
  for (int b = 0xFF; b >= 0; --b) {
    if (toAnsi[b] != kNoChar) map[toAnsi[b]] = static_cast<uint8_t>(b);
  }
  return map;
}

constexpr EbcdicMap kEbcdicToAnsi = MakeEbcdicToAnsi();
constexpr ByteMap kAnsiToEbcdic = MakeAnsiToEbcdic(kEbcdicToAnsi);
static_assert(kAnsiToEbcdic['&'] == 0x50);

}  // namespace

uint8_t AnsiToOemChar(uint8_t c) { return AnsiToOem(c); }

uint8_t OemToAnsiChar(uint8_t c) { return OemToAnsi(c); }

uint8_t FileByteToChar(TTranslationType t, bool maskWhiteSpaces, uint8_t maskChar, uint8_t b) {
  uint8_t c = b;
  switch (t) {
    case TTranslationType::ttAnsi:
      break;
    case TTranslationType::ttDos8:
      c = OemToAnsiChar(b);
      break;
    case TTranslationType::ttASCII:
      c = b > 0x7F ? maskChar : OemToAnsiChar(b);
      break;
    case TTranslationType::ttMac:
      c = kMacToAnsi[b];
      break;
    case TTranslationType::ttEBCDIC:
      c = kEbcdicToAnsi[b] == kNoChar ? maskChar : static_cast<uint8_t>(kEbcdicToAnsi[b]);
      break;
  }
  if (maskWhiteSpaces && c < 0x20) c = maskChar;
  return c;
}

uint8_t CharToFileByte(TTranslationType t, uint8_t c) {
  switch (t) {
    case TTranslationType::ttAnsi:
      break;
    case TTranslationType::ttDos8:
      return c < 0x20 ? 0 : AnsiToOemChar(c);
    case TTranslationType::ttASCII:
      return c < 0x20 || c >= 0x80 ? 0 : AnsiToOemChar(c);
    case TTranslationType::ttMac:
      return c < 0x20 ? 0 : kAnsiToMac[c];
    case TTranslationType::ttEBCDIC:
      return kAnsiToEbcdic[c];
  }
  return c < 0x20 ? 0 : c;  // ttAnsi
}

void TranslateToFile(TTranslationType t, const uint8_t* src, uint8_t* dst, int count) {
  if (count <= 0) return;
  switch (t) {
    case TTranslationType::ttAnsi:
      break;
    case TTranslationType::ttDos8:
    case TTranslationType::ttASCII:
      AnsiToOemBuffer(src, dst, count);
      return;
    case TTranslationType::ttMac:
      for (int i = 0; i < count; ++i) dst[i] = kAnsiToMac[src[i]];
      return;
    case TTranslationType::ttEBCDIC:
      for (int i = 0; i < count; ++i) dst[i] = kAnsiToEbcdic[src[i]];
      return;
  }
  if (src != dst) {  // ttAnsi
    for (int i = 0; i < count; ++i) dst[i] = src[i];
  }
}

}  // namespace byteloom
