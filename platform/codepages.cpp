// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/codepages.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace byteloom {
namespace {

// Unicode code point of every byte of an 8-bit code page.
using CodePage = std::array<char32_t, 256>;
using ByteMap = std::array<uint8_t, 256>;

// Both code pages agree with ASCII below 0x80 (code page 437 is used as a
// code page here, so 0x00..0x1F and 0x7F are the control characters, not the
// glyphs a DOS screen shows for them). Only the upper half is written out.
constexpr CodePage WithAsciiLowerHalf(const std::array<char32_t, 128>& upper) {
  CodePage page{};
  for (int i = 0; i < 128; ++i) page[i] = static_cast<char32_t>(i);
  for (int i = 0; i < 128; ++i) page[128 + i] = upper[i];
  return page;
}

// clang-format off
constexpr CodePage kCp437 = WithAsciiLowerHalf({
  // 0x80
  0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
  0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
  // 0x90
  0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
  0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
  // 0xA0
  0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
  0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
  // 0xB0
  0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
  0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
  // 0xC0
  0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
  0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
  // 0xD0
  0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
  0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
  // 0xE0
  0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
  0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
  // 0xF0
  0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
  0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
});

constexpr CodePage kCp1252 = WithAsciiLowerHalf({
  // 0x80 (0x81, 0x8D, 0x8F, 0x90 and 0x9D are undefined: C1 controls)
  0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
  // 0x90
  0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  // 0xA0
  0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7,
  0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
  // 0xB0
  0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7,
  0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF,
  // 0xC0
  0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
  0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,
  // 0xD0
  0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7,
  0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
  // 0xE0
  0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
  0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF,
  // 0xF0
  0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
  0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
});
// clang-format on

// ---------------------------------------------------------------------------
// Everything below is derived from the two tables above at compile time.
// ---------------------------------------------------------------------------

struct CodePointByte {
  char32_t codePoint;
  uint8_t byte;
};
using ReversePage = std::array<CodePointByte, 256>;

constexpr bool ByCodePoint(const CodePointByte& a, const CodePointByte& b) {
  return a.codePoint < b.codePoint;
}

constexpr ReversePage SortedByCodePoint(const CodePage& page) {
  ReversePage rev{};
  for (int i = 0; i < 256; ++i) rev[i] = {page[i], static_cast<uint8_t>(i)};
  std::sort(rev.begin(), rev.end(), ByCodePoint);
  return rev;
}

// A code page must not give two bytes the same character, or the reverse
// direction would be ambiguous.
constexpr bool HasDistinctCodePoints(const ReversePage& rev) {
  for (size_t i = 1; i < rev.size(); ++i) {
    if (rev[i - 1].codePoint == rev[i].codePoint) return false;
  }
  return true;
}

constexpr bool FindByte(const ReversePage& rev, char32_t u, uint8_t& out) {
  const auto it = std::lower_bound(rev.begin(), rev.end(), CodePointByte{u, 0}, ByCodePoint);
  if (it == rev.end() || it->codePoint != u) return false;
  out = it->byte;
  return true;
}

constexpr ByteMap Converter(const CodePage& from, const ReversePage& to) {
  ByteMap map{};
  for (int b = 0; b < 256; ++b) {
    uint8_t out = 0;
    map[b] = FindByte(to, from[b], out) ? out : kNoEquivalent;
  }
  return map;
}

constexpr ReversePage kCp437Reverse = SortedByCodePoint(kCp437);
constexpr ReversePage kCp1252Reverse = SortedByCodePoint(kCp1252);
static_assert(HasDistinctCodePoints(kCp437Reverse));
static_assert(HasDistinctCodePoints(kCp1252Reverse));

constexpr ByteMap kOemToAnsi = Converter(kCp437, kCp1252Reverse);
constexpr ByteMap kAnsiToOem = Converter(kCp1252, kCp437Reverse);

constexpr ByteMap MakeAnsiLower() {
  ByteMap t{};
  for (int i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
  for (int c = 'A'; c <= 'Z'; ++c) t[c] = static_cast<uint8_t>(c + 0x20);
  for (int c = 0xC0; c <= 0xDE; ++c) {
    if (c != 0xD7) t[c] = static_cast<uint8_t>(c + 0x20);  // 0xD7 is the sign ×
  }
  t[0x8A] = 0x9A;  // Š -> š
  t[0x8C] = 0x9C;  // Œ -> œ
  t[0x8E] = 0x9E;  // Ž -> ž
  t[0x9F] = 0xFF;  // Ÿ -> ÿ
  return t;
}

constexpr ByteMap kAnsiLower = MakeAnsiLower();

}  // namespace

uint8_t OemToAnsi(uint8_t oem) { return kOemToAnsi[oem]; }

uint8_t AnsiToOem(uint8_t ansi) { return kAnsiToOem[ansi]; }

void AnsiToOemBuffer(const uint8_t* src, uint8_t* dst, int count) {
  for (int i = 0; i < count; ++i) dst[i] = kAnsiToOem[src[i]];
}

char32_t Cp1252ToUnicode(uint8_t b) { return kCp1252[b]; }

bool UnicodeToCp1252(char32_t u, uint8_t& out) { return FindByte(kCp1252Reverse, u, out); }

std::string AnsiToUtf8(const std::string& text) {
  std::string out;
  for (const char c : text) {
    const char32_t u = Cp1252ToUnicode(static_cast<uint8_t>(c));
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::optional<std::string> Utf8ToAnsi(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<uint8_t>(text[i]);
    const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || text.size() - i <= static_cast<size_t>(extra)) return std::nullopt;
    char32_t u = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
      const auto next = static_cast<uint8_t>(text[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      u = (u << 6) | (next & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    uint8_t b = 0;
    if (!UnicodeToCp1252(u, b)) return std::nullopt;
    out += static_cast<char>(b);
  }
  return out;
}

uint8_t AnsiLower(uint8_t c) { return kAnsiLower[c]; }

void AnsiLowerBuffer(uint8_t* buf, int count) {
  for (int i = 0; i < count; ++i) buf[i] = kAnsiLower[buf[i]];
}

const uint8_t* AnsiLowerTable() { return kAnsiLower.data(); }

size_t ClipTextLength(const uint8_t* data, size_t count) {
  const void* zero = count ? std::memchr(data, 0, count) : nullptr;
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : count;
}

void FillClipText(const uint8_t* data, size_t count, char16_t* text) {
  // Every Windows-1252 character lies in the Basic Multilingual Plane (one
  // UTF-16 unit per byte), and all but 0x80..0x9F have the byte's value as
  // their code: a plain widening, then those 32 bytes looked up.
  char16_t table[32];
  for (int b = 0; b < 32; ++b) table[b] = static_cast<char16_t>(Cp1252ToUnicode(static_cast<uint8_t>(0x80 + b)));
  const size_t length = ClipTextLength(data, count);
  constexpr size_t kBlock = 16384;
  for (size_t at = 0; at < length; at += kBlock) {
    const size_t n = std::min(kBlock, length - at);
    const uint8_t* in = data + at;
    char16_t* out = text + at;
    for (size_t i = 0; i < n; ++i) out[i] = in[i];
    for (size_t i = 0; i < n; ++i)
      if (static_cast<uint8_t>(in[i] - 0x80) < 32) out[i] = table[in[i] - 0x80];
  }
}

std::vector<uint8_t> ClipTextToBytes(const char16_t* text, size_t length) {
  std::vector<uint8_t> bytes;
  bytes.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t u = text[i];
    // A surrogate pair is one character (none of them has a code).
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    uint8_t b = kNoEquivalent;
    if (!UnicodeToCp1252(u, b)) b = kNoEquivalent;
    bytes.push_back(b);
  }
  return bytes;
}

}  // namespace byteloom
