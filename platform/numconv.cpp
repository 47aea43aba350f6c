// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/numconv.h"

#include <cstdio>
#include <type_traits>

#include "platform/codepages.h"

namespace byteloom {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

namespace {

// One grammar for every width: hex of up to as many digits as the width
// holds wraps to negative numbers from the top bit on; a decimal magnitude
// may reach 2^(bits-1) only for a negative number.
template <class T>
std::optional<T> ParseInteger(const std::string& text) {
  using U = std::make_unsigned_t<T>;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size()) return std::nullopt;
  if (text[i] == '$') {
    ++i;
    if (i >= text.size()) return std::nullopt;
    U value = 0;
    for (; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return std::nullopt;
      if (value >> (8 * sizeof(U) - 4) != 0) return std::nullopt;  // more digits than the width holds
      value = static_cast<U>(value << 4 | static_cast<U>(d));
    }
    if (negative) value = static_cast<U>(U{0} - value);
    return static_cast<T>(value);
  }
  const U top = U{1} << (8 * sizeof(U) - 1);  // the magnitude of the most negative number
  U value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<U>(c - '0');
    if (value > (top - digit) / 10) return std::nullopt;
    value = static_cast<U>(value * 10 + digit);
  }
  if (negative) return static_cast<T>(U{0} - value);
  if (value == top) return std::nullopt;
  return static_cast<T>(value);
}

}  // namespace

std::optional<int32_t> TryStrToInt(const std::string& text) { return ParseInteger<int32_t>(text); }

std::optional<int64_t> TryStrToInt64(const std::string& text) { return ParseInteger<int64_t>(text); }

namespace {

[[noreturn]] void ThrowNoInteger(const std::string& text) {
  throw EConvertError("'" + AnsiToUtf8(text) + "' ist kein g\xC3\xBCltiger Integerwert");
}

}  // namespace

int32_t StrToInt(const std::string& text) {
  if (const auto v = TryStrToInt(text)) return *v;
  ThrowNoInteger(text);
}

int64_t StrToInt64(const std::string& text) {
  if (const auto v = TryStrToInt64(text)) return *v;
  ThrowNoInteger(text);
}

std::string HexPrefixToDollar(const std::string& text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return "$" + text.substr(2);
  return text;
}

std::string HexMin2(uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02llX", static_cast<unsigned long long>(value));
  return buf;
}

std::string PositionHex(int64_t pos) {
  return HexMin2(pos < 0 ? uint64_t{static_cast<uint32_t>(pos)} : static_cast<uint64_t>(pos));
}

std::string Binary8(uint8_t b) {
  std::string s(8, '0');
  for (int i = 0; i < 8; ++i)
    if (b & (0x80 >> i)) s[static_cast<size_t>(i)] = '1';
  return s;
}

std::string ThousandsText(int64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > (n < 0 ? 1 : 0); i -= 3) digits.insert(static_cast<size_t>(i), ",");
  return digits;
}

std::string ByteCountText(int64_t bytes) {
  std::string text = ThousandsText(bytes) + (bytes == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double size = static_cast<double>(bytes);
  int unit = -1;
  // 1023.95 and more shows as the next unit ("1 GiB", not "1024.0 MiB").
  while (unit < 3 && size >= 1023.95) {
    size /= 1024;
    ++unit;
  }
  if (unit < 0) return text;
  char figure[32];
  std::snprintf(figure, sizeof figure, "%.1f", size);
  std::string shown = figure;
  if (shown.size() > 2 && shown.compare(shown.size() - 2, 2, ".0") == 0) shown.resize(shown.size() - 2);
  return text + " (" + shown + " " + kUnits[unit] + ")";
}

}  // namespace byteloom
