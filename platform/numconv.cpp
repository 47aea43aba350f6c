// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/numconv.h"

#include <cstdio>

#include "platform/codepages.h"

namespace byteloom {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<int32_t> TryStrToInt(const std::string& text) {
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
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return std::nullopt;
      if (value > 0x0FFFFFFFu) return std::nullopt;  // more than eight digits' worth
      value = value << 4 | static_cast<uint32_t>(d);
    }
    if (negative) value = 0u - value;
    return static_cast<int32_t>(value);
  }
  // Decimal: the magnitude may reach 2147483648 only for a negative number.
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > 2147483648ull) return std::nullopt;
  }
  if (negative) return static_cast<int32_t>(-static_cast<int64_t>(value));
  if (value > 2147483647ull) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t StrToInt(const std::string& text) {
  if (const auto v = TryStrToInt(text)) return *v;
  throw EConvertError("'" + AnsiToUtf8(text) + "' ist kein g\xC3\xBCltiger Integerwert");
}

std::string HexPrefixToDollar(const std::string& text) {
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) return "$" + text.substr(2);
  return text;
}

std::string HexMin2(uint32_t value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02X", value);
  return buf;
}

std::string Binary8(uint8_t b) {
  std::string s(8, '0');
  for (int i = 0; i < 8; ++i)
    if (b & (0x80 >> i)) s[static_cast<size_t>(i)] = '1';
  return s;
}

}  // namespace byteloom
