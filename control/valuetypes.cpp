// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/valuetypes.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "control/byteformats.h"
#include "control/translation.h"
#include "platform/codepages.h"

namespace byteloom {

namespace {
constexpr const char* kNames[kValueTypeCount] = {"u8", "u16", "u32", "u64", "i8", "i16", "i32", "i64", "f32", "f64"};
constexpr int kWidths[kValueTypeCount] = {1, 2, 4, 8, 1, 2, 4, 8, 4, 8};

int Index(TValueType type) { return static_cast<int>(type); }

uint64_t LoadBytes(const uint8_t* bytes, int width, TByteOrder order) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) {
    const int k = order == TByteOrder::boLittle ? width - 1 - i : i;
    v = (v << 8) | bytes[k];
  }
  return v;
}
}  // namespace

int ValueWidth(TValueType type) { return kWidths[Index(type)]; }
bool IsFloatType(TValueType type) { return type == TValueType::vtF32 || type == TValueType::vtF64; }
bool IsSignedType(TValueType type) { return type >= TValueType::vtI8 && type <= TValueType::vtI64; }
const char* ValueTypeName(TValueType type) { return kNames[Index(type)]; }

TValue DecodeValue(const uint8_t* bytes, const TValueFormat& format) {
  const int width = ValueWidth(format.Type);
  const uint64_t raw = LoadBytes(bytes, width, format.Order);
  TValue v;
  if (format.Type == TValueType::vtF32) {
    float f;
    const auto r32 = static_cast<uint32_t>(raw);
    std::memcpy(&f, &r32, 4);
    v.IsFloat = true;
    v.Float = f;
  } else if (format.Type == TValueType::vtF64) {
    v.IsFloat = true;
    std::memcpy(&v.Float, &raw, 8);
  } else if (IsSignedType(format.Type) && width < 8) {
    const int shift = 64 - 8 * width;
    v.Int = static_cast<int64_t>(raw << shift) >> shift;
  } else if (IsSignedType(format.Type)) {
    v.Int = static_cast<int64_t>(raw);
  } else {
    v.Int = raw;
  }
  return v;
}

void EncodeValue(const TValue& value, const TValueFormat& format, uint8_t* out) {
  const int width = ValueWidth(format.Type);
  uint64_t raw;
  if (format.Type == TValueType::vtF32) {
    const auto f = static_cast<float>(value.Float);
    uint32_t r32;
    std::memcpy(&r32, &f, 4);
    raw = r32;
  } else if (format.Type == TValueType::vtF64) {
    std::memcpy(&raw, &value.Float, 8);
  } else {
    raw = static_cast<uint64_t>(value.Int);
  }
  for (int i = 0; i < width; ++i) {
    const int k = format.Order == TByteOrder::boLittle ? i : width - 1 - i;
    out[k] = static_cast<uint8_t>(raw >> (8 * i));
  }
}

std::string ValueText(const TValue& value, TValueType type) {
  char buf[64];
  if (value.IsFloat) {
    const auto r = type == TValueType::vtF32 ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(value.Float))
                                             : std::to_chars(buf, buf + sizeof buf, value.Float);
    return std::string(buf, r.ptr);
  }
  const bool negative = value.Int < 0;
  auto u = static_cast<unsigned __int128>(negative ? -value.Int : value.Int);
  char* p = buf + sizeof buf;
  do {
    *--p = static_cast<char>('0' + static_cast<int>(u % 10));
    u /= 10;
  } while (u != 0);
  if (negative) *--p = '-';
  return std::string(p, buf + sizeof buf);
}

std::string WidestValueText(TValueType type) {
  // Floats: a sign, the most digits a shortest text needs and the longest exponent.
  if (type == TValueType::vtF32) return ValueText({true, 0, -1.00407344e-23f}, type);
  if (type == TValueType::vtF64) return ValueText({true, 0, -2.2250738585072014e-308}, type);
  // Integers: the lowest signed, the highest unsigned value.
  const int bits = ValueWidth(type) * 8;
  return ValueText({false, IsSignedType(type) ? -(__int128{1} << (bits - 1)) : (__int128{1} << bits) - 1, 0}, type);
}

std::optional<TValue> ParseValue(const std::string& text, TValueType type) {
  size_t a = text.find_first_not_of(" \t");
  size_t b = text.find_last_not_of(" \t");
  if (a == std::string::npos) return std::nullopt;
  std::string s = text.substr(a, b - a + 1);
  TValue v;
  if (IsFloatType(type)) {
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v.Float);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || std::isnan(v.Float)) return std::nullopt;
    if (type == TValueType::vtF32 && std::isfinite(v.Float) && std::fabs(v.Float) > 3.4028234663852886e38)
      return std::nullopt;
    // An f32 is the nearest float: what the document can hold.
    if (type == TValueType::vtF32) v.Float = static_cast<float>(v.Float);
    v.IsFloat = true;
    return v;
  }
  bool negative = false;
  size_t i = 0;
  if (s[i] == '-' || s[i] == '+') negative = s[i++] == '-';
  int base = 10;
  if (s.compare(i, 1, "$") == 0) {
    base = 16;
    i += 1;
  } else if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return std::nullopt;
  uint64_t magnitude = 0;
  const auto r = std::from_chars(s.data() + i, s.data() + s.size(), magnitude, base);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
  v.Int = negative ? -static_cast<__int128>(magnitude) : static_cast<__int128>(magnitude);
  const int bits = 8 * ValueWidth(type);
  const __int128 one = 1;
  const __int128 lo = IsSignedType(type) ? -(one << (bits - 1)) : 0;
  const __int128 hi = IsSignedType(type) ? (one << (bits - 1)) - 1 : (one << bits) - 1;
  if (v.Int < lo || v.Int > hi) return std::nullopt;
  return v;
}

std::string DecodeText(const uint8_t* bytes, int length, TTranslationType translation) {
  std::string ansi;
  for (int i = 0; i < length && bytes[i] != 0; ++i)
    ansi += static_cast<char>(FileByteToChar(translation, false, kNoEquivalent, bytes[i]));
  return AnsiToUtf8(ansi);
}

TEncoded EncodeText(const std::string& text, int length, TTranslationType translation) {
  const std::optional<std::string> ansi = Utf8ToAnsi(text);
  const std::string lost = "The character set cannot hold the text \"" + text + "\"";
  if (!ansi) return {{}, lost};
  if (static_cast<int>(ansi->size()) > length)
    return {{}, "The text is " + std::to_string(ansi->size()) + " characters long; the field holds " +
                    std::to_string(length)};
  TEncoded out{std::vector<uint8_t>(static_cast<size_t>(length), 0), {}};
  for (size_t i = 0; i < ansi->size(); ++i) out.Bytes[i] = CharToFileByte(translation, static_cast<uint8_t>((*ansi)[i]));
  // A character the set has no byte for (or only one that shows another).
  if (DecodeText(out.Bytes.data(), length, translation) != text) return {{}, lost};
  return out;
}

std::string BytesText(const uint8_t* bytes, int length) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < length; ++i) {
    if (i > 0) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

TEncoded ParseBytes(const std::string& text, int length) {
  THexParse parse = ParseHexText(text);
  if (!parse.Error.empty()) return {{}, parse.Error};
  if (static_cast<int>(parse.Bytes.size()) != length)
    return {{}, "The field holds " + std::to_string(length) + " bytes; " + std::to_string(parse.Bytes.size()) + " were given"};
  return {std::move(parse.Bytes), {}};
}

}  // namespace byteloom
