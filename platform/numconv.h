// SPDX-License-Identifier: GPL-3.0-or-later
// Number entry: the conversion of typed text to a 32-bit (or, for
// positions, 64-bit) integer. Accepted are optional leading blanks, an
// optional sign, then decimal digits or "$" followed by hex digits; hex
// values from the top bit on (80000000 for 32 bits) wrap to negative
// numbers. Anything else is a conversion error.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace byteloom {

// Raised when text is not a number; the message (UTF-8) reads
// "'abc' ist kein gültiger Integerwert" with the text as typed (its
// Windows-1252 bytes shown as their characters).
class EConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The value of a hex digit (either case), or -1.
int HexDigit(char c);
// The value of text, or nothing when it is not a valid integer.
std::optional<int32_t> TryStrToInt(const std::string& text);
// The same for 64 bits (positions).
std::optional<int64_t> TryStrToInt64(const std::string& text);
// The value of text; raises EConvertError when it is not a valid integer.
int32_t StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
// text with a leading "0x" (in any letter case) turned into "$", so that
// position numbers may be typed as 0x1F as well as $1F.
std::string HexPrefixToDollar(const std::string& text);

// Upper-case hex digits, at least two.
std::string HexMin2(uint64_t value);
// A position in hex (at least two digits); a negative one (none known) as
// its 32-bit pattern.
std::string PositionHex(int64_t pos);
// The eight binary digits of b, most significant first.
std::string Binary8(uint8_t b);
// n with thousands separated by ",": "1,234,567".
std::string ThousandsText(int64_t n);
// A count of bytes (0 or more) with thousands separated by ",", and from
// 1024 bytes on its size in KiB, MiB, GiB or TiB to one decimal: "4,608
// bytes (4.5 KiB)".
std::string ByteCountText(int64_t bytes);

}  // namespace byteloom
