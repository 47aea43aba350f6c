// SPDX-License-Identifier: GPL-3.0-or-later
// The two 8-bit code pages Byteloom works with: the ANSI code page
// (Windows-1252) and the OEM code page (code page 437), plus the Windows-1252
// case mapping used by case-insensitive searching.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace byteloom {

// Written in place of a character that has no equivalent in the target code
// page. Visible, and never 0, so a converted buffer keeps its length and
// cannot be cut short by a stray terminator.
constexpr uint8_t kNoEquivalent = '?';

// Code page 437 byte -> Windows-1252 byte with the same character.
uint8_t OemToAnsi(uint8_t oem);

// Windows-1252 byte -> code page 437 byte with the same character.
uint8_t AnsiToOem(uint8_t ansi);

// AnsiToOem over a buffer; src may equal dst. Does nothing for count <= 0.
void AnsiToOemBuffer(const uint8_t* src, uint8_t* dst, int count);

// Windows-1252 byte -> Unicode code point. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control of the same
// value, as Windows does.
char32_t Cp1252ToUnicode(uint8_t b);

// Unicode code point -> Windows-1252 byte. Returns false (out untouched) when
// the code page has no such character.
bool UnicodeToCp1252(char32_t u, uint8_t& out);

// Windows-1252 text as UTF-8.
std::string AnsiToUtf8(const std::string& text);
// UTF-8 text as Windows-1252; nothing when a character has no byte there
// (or the text is no UTF-8).
std::optional<std::string> Utf8ToAnsi(const std::string& text);

// Windows-1252 lower-casing: A-Z, the accented capitals 0xC0..0xDE except the
// multiplication sign 0xD7, and Š Œ Ž Ÿ. All other bytes are unchanged.
uint8_t AnsiLower(uint8_t c);

// AnsiLower in place over a buffer. Does nothing for count <= 0.
void AnsiLowerBuffer(uint8_t* buf, int count);

// The 256-entry table behind AnsiLower, for loops that want to index it
// directly.
const uint8_t* AnsiLowerTable();

// The text of count bytes for other programs: its length in UTF-16 units
// (the bytes before the first zero byte), and the text itself, written to
// text[0 .. ClipTextLength - 1].
size_t ClipTextLength(const uint8_t* data, size_t count);
void FillClipText(const uint8_t* data, size_t count, char16_t* text);

// Text from the clipboard (UTF-16) as the bytes Paste inserts.
std::vector<uint8_t> ClipTextToBytes(const char16_t* text, size_t length);

}  // namespace byteloom
