// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <set>
#include <vector>

#include "control/translation.h"
#include "platform/codepages.h"

namespace byteloom {
namespace {

using TT = TTranslationType;

constexpr TT kAllTranslations[] = {TT::ttAnsi, TT::ttDos8, TT::ttASCII, TT::ttMac, TT::ttEBCDIC};
constexpr uint8_t kMask = '.';

// --- OEM (437) <-> ANSI (1252) -------------------------------------------

TEST(CodePages, OemAnsiConversion) {
  struct Row { uint8_t oem, ansi; };
  const Row pairs[] = {
      {0x00, 0x00}, {0x41, 0x41}, {0x7F, 0x7F}, {0x82, 0xE9} /* é */, {0x9C, 0xA3} /* £ */,
      {0xE1, 0xDF} /* ß */, {0x80, 0xC7} /* Ç */, {0x9F, 0x83} /* ƒ */, {0xFF, 0xA0} /* nbsp */,
  };
  for (const Row& r : pairs) {
    EXPECT_EQ(OemToAnsi(r.oem), r.ansi) << std::hex << int(r.oem);
    EXPECT_EQ(AnsiToOem(r.ansi), r.oem) << std::hex << int(r.ansi);
  }
  for (uint8_t oem : {0xC4, 0xB0, 0xE0, 0x9E}) {  // ─ ░ α ₧
    EXPECT_EQ(OemToAnsi(oem), kNoEquivalent) << std::hex << int(oem);
  }
  for (uint8_t ansi : {0x80, 0x81, 0x8A, 0xC0, 0xFE}) {  // € (undefined) Š À þ
    EXPECT_EQ(AnsiToOem(ansi), kNoEquivalent) << std::hex << int(ansi);
  }
}

TEST(CodePages, OnlyZeroConvertsToZero) {
  for (int b = 1; b < 256; ++b) {
    EXPECT_NE(OemToAnsi(uint8_t(b)), 0) << b;
    EXPECT_NE(AnsiToOem(uint8_t(b)), 0) << b;
  }
}

TEST(CodePages, OemRoundTripsThroughAnsi) {
  int withEquivalent = 0;
  for (int b = 0; b < 256; ++b) {
    const uint8_t ansi = OemToAnsi(uint8_t(b));
    if (ansi == kNoEquivalent && b != kNoEquivalent) continue;
    ++withEquivalent;
    EXPECT_EQ(AnsiToOem(ansi), b) << b;
  }
  // All of ASCII plus the 54 upper-half characters 1252 shares with 437.
  EXPECT_EQ(withEquivalent, 182);
}

TEST(CodePages, AnsiToOemBufferInPlaceAndEmpty) {
  uint8_t buf[] = {'A', 0xE9, 0xA3, 0x80};
  AnsiToOemBuffer(buf, buf, 4);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{'A', 0x82, 0x9C, '?'}));
  AnsiToOemBuffer(buf, buf, 0);
  AnsiToOemBuffer(buf, buf, -1);
  EXPECT_EQ(buf[1], 0x82);
}

TEST(CodePages, Cp1252Unicode) {
  for (int b = 0; b < 256; ++b) {
    uint8_t back = 0;
    ASSERT_TRUE(UnicodeToCp1252(Cp1252ToUnicode(uint8_t(b)), back)) << b;
    EXPECT_EQ(back, b);
  }
  struct Row { uint8_t b; char32_t u; };
  const Row rows[] = {{0x41, U'A'},      {0x80, U'\u20AC'}, {0x81, 0x81},      {0x8A, U'\u0160'},
                      {0x93, U'\u201C'}, {0x99, U'\u2122'}, {0x9F, U'\u0178'}, {0xE9, U'\u00E9'}};
  for (const Row& r : rows) EXPECT_EQ(Cp1252ToUnicode(r.b), r.u) << std::hex << int(r.b);
  uint8_t out = 0x55;
  EXPECT_TRUE(UnicodeToCp1252(U'\u20AC', out));
  EXPECT_EQ(out, 0x80);
  for (char32_t u : {U'\u2500', U'\u0100', char32_t(0x110000)}) {
    out = 0x55;
    EXPECT_FALSE(UnicodeToCp1252(u, out)) << uint32_t(u);
    EXPECT_EQ(out, 0x55);
  }
}

TEST(CodePages, AnsiLower) {
  struct Row { uint8_t in, out; };
  const Row rows[] = {
      {'A', 'a'}, {'Z', 'z'}, {'a', 'a'}, {'0', '0'}, {'9', '9'}, {'@', '@'}, {'[', '['},
      {0xC0, 0xE0}, {0xD6, 0xF6}, {0xD7, 0xD7}, {0xD8, 0xF8}, {0xDE, 0xFE}, {0xDF, 0xDF},
      {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8E, 0x9E}, {0x9F, 0xFF}, {0xE0, 0xE0}, {0xFF, 0xFF},
  };
  for (const Row& r : rows) EXPECT_EQ(AnsiLower(r.in), r.out) << std::hex << int(r.in);

  int changed = 0;
  for (int c = 0; c < 256; ++c) {
    EXPECT_EQ(AnsiLowerTable()[c], AnsiLower(uint8_t(c)));
    if (AnsiLower(uint8_t(c)) != c) ++changed;
  }
  EXPECT_EQ(changed, 26 + 30 + 4);

  uint8_t buf[] = {'H', 0xC9, 'x', 0x8A};
  AnsiLowerBuffer(buf, 4);
  EXPECT_EQ(std::vector<uint8_t>(buf, buf + 4), (std::vector<uint8_t>{'h', 0xE9, 'x', 0x9A}));
}

// --- Character column translation ----------------------------------------

TEST(Translation, FileByteToChar) {
  struct Row { TT t; uint8_t b, shown; };
  const Row rows[] = {
      {TT::ttAnsi, 0x82, 0x82},   {TT::ttAnsi, 0x05, 0x05},
      {TT::ttDos8, 0x82, 0xE9},   {TT::ttDos8, 0xC4, '?'},   {TT::ttDos8, 'k', 'k'},
      {TT::ttASCII, 'k', 'k'},    {TT::ttASCII, 0x82, kMask},
      {TT::ttMac, 0x8A, 0xE4},    {TT::ttMac, 0xA5, 0x80},   {TT::ttMac, 0xFF, 0x9D},
      {TT::ttMac, 'k', 'k'},
      {TT::ttEBCDIC, 0xC1, 'A'},  {TT::ttEBCDIC, 0x4F, 0xFE}, {TT::ttEBCDIC, 0x50, '&'},
      {TT::ttEBCDIC, 0x51, '&'},  {TT::ttEBCDIC, 0x00, kMask}, {TT::ttEBCDIC, 0x5F, kMask},
      {TT::ttEBCDIC, 0xFF, kMask}, {TT::ttEBCDIC, 0x40, ' '},  {TT::ttEBCDIC, 0xA1, '~'},
      {TT::ttEBCDIC, 0xE0, '\\'}, {TT::ttEBCDIC, 0xE9, 'Z'},  {TT::ttEBCDIC, 0xF9, '9'},
      {TT::ttEBCDIC, 0x99, 'r'},  {TT::ttEBCDIC, 0x7F, '"'},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(FileByteToChar(r.t, false, kMask, r.b), r.shown)
        << "translation " << int(r.t) << " byte " << std::hex << int(r.b);
  }
}

TEST(Translation, CharToFileByte) {
  struct Row { TT t; uint8_t c, byte; };
  const Row rows[] = {
      {TT::ttAnsi, 0xE9, 0xE9},  {TT::ttAnsi, ' ', ' '},
      {TT::ttDos8, 0xE9, 0x82},  {TT::ttDos8, 0x80, '?'},   {TT::ttDos8, ' ', ' '},
      {TT::ttASCII, 'A', 'A'},   {TT::ttASCII, 0x7F, 0x7F},
      {TT::ttMac, 0x80, 0xA5},   {TT::ttMac, 0xE4, 0x8A},   {TT::ttMac, 'A', 'A'},
      {TT::ttEBCDIC, 'A', 0xC1}, {TT::ttEBCDIC, '&', 0x50}, {TT::ttEBCDIC, 0xFE, 0x4F},
      {TT::ttEBCDIC, '~', 0xA1}, {TT::ttEBCDIC, '0', 0xF0}, {TT::ttEBCDIC, ' ', 0x40},
      {TT::ttEBCDIC, '[', 0},    {TT::ttEBCDIC, ']', 0},    {TT::ttEBCDIC, '^', 0},
      {TT::ttEBCDIC, '{', 0},    {TT::ttEBCDIC, '}', 0},    {TT::ttEBCDIC, 0xE9, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CharToFileByte(r.t, r.c), r.byte)
        << "translation " << int(r.t) << " char " << std::hex << int(r.c);
  }
}

TEST(Translation, MaskWhiteSpaces) {
  for (TT t : kAllTranslations) {
    for (int b = 0; b < 0x20; ++b) {
      EXPECT_EQ(FileByteToChar(t, true, kMask, uint8_t(b)), kMask) << int(t) << " " << b;
    }
  }
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(FileByteToChar(TT::ttAnsi, false, kMask, uint8_t(b)), b);
    if (b >= 0x20) {
      EXPECT_EQ(FileByteToChar(TT::ttAnsi, true, kMask, uint8_t(b)), b);
    }
  }
}

TEST(Translation, RejectedCharacters) {
  for (TT t : kAllTranslations) {
    for (int c = 0; c < 0x20; ++c) EXPECT_EQ(CharToFileByte(t, uint8_t(c)), 0) << int(t) << " " << c;
  }
  for (int b = 0x80; b < 0x100; ++b) {
    EXPECT_EQ(FileByteToChar(TT::ttASCII, false, kMask, uint8_t(b)), kMask) << b;
    EXPECT_EQ(CharToFileByte(TT::ttASCII, uint8_t(b)), 0) << b;
  }
}

TEST(Translation, MacTableIsPermutationAndInverseRoundTrips) {
  std::set<int> shown;
  for (int b = 0x80; b < 0x100; ++b) {
    const uint8_t c = FileByteToChar(TT::ttMac, false, kMask, uint8_t(b));
    EXPECT_GE(c, 0x80) << b;
    shown.insert(c);
    EXPECT_EQ(CharToFileByte(TT::ttMac, c), b);
    EXPECT_EQ(FileByteToChar(TT::ttMac, false, kMask, CharToFileByte(TT::ttMac, uint8_t(b))), b);
  }
  EXPECT_EQ(shown.size(), 128u);
}

TEST(Translation, EbcdicCoverage) {
  // Two different masks tell "no character" apart from a character that
  // happens to equal the mask.
  int withChar = 0;
  for (int b = 0; b < 256; ++b) {
    const uint8_t c = FileByteToChar(TT::ttEBCDIC, false, 0x01, uint8_t(b));
    if (c == 0x01 && FileByteToChar(TT::ttEBCDIC, false, 0x02, uint8_t(b)) == 0x02) continue;
    ++withChar;
    EXPECT_EQ(CharToFileByte(TT::ttEBCDIC, c), b == 0x51 ? 0x50 : b) << b;
  }
  EXPECT_EQ(withChar, 92);

  int typeable = 0;
  for (int c = 0; c < 256; ++c) {
    if (CharToFileByte(TT::ttEBCDIC, uint8_t(c)) != 0) ++typeable;
  }
  EXPECT_EQ(typeable, 91);
}

TEST(Translation, TranslateToFileInPlace) {
  struct Row { TT t; std::vector<uint8_t> text, file; };
  const Row rows[] = {
      {TT::ttAnsi, {'A', 0xE9, 0x05}, {'A', 0xE9, 0x05}},
      {TT::ttDos8, {'A', 0xE9, 0xA3, 0x80}, {'A', 0x82, 0x9C, '?'}},
      {TT::ttASCII, {'A', 0xE9, 0xDF}, {'A', 0x82, 0xE1}},
      {TT::ttMac, {'A', 0x80, 0xE4, 0x05}, {'A', 0xA5, 0x8A, 0x05}},
      {TT::ttEBCDIC, {'A', 'B', 'C'}, {0xC1, 0xC2, 0xC3}},
      {TT::ttEBCDIC, {'[', '&', 0x0A, '9'}, {0x00, 0x50, 0x00, 0xF9}},
  };
  for (const Row& r : rows) {
    std::vector<uint8_t> buf = r.text;
    TranslateToFile(r.t, buf.data(), buf.data(), int(buf.size()));
    EXPECT_EQ(buf, r.file) << "translation " << int(r.t);

    std::vector<uint8_t> dst(r.text.size(), 0xAA);
    TranslateToFile(r.t, r.text.data(), dst.data(), int(dst.size()));
    EXPECT_EQ(dst, r.file) << "translation " << int(r.t) << ", separate buffer";

    buf = r.text;
    TranslateToFile(r.t, buf.data(), buf.data(), 0);
    TranslateToFile(r.t, buf.data(), buf.data(), -3);
    EXPECT_EQ(buf, r.text);
  }
}

}  // namespace
}  // namespace byteloom
