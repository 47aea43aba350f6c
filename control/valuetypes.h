// SPDX-License-Identifier: GPL-3.0-or-later
// Typed values: the ten types u8 ... f64, their byte order and the decoding
// and encoding of one value, and the values of a fixed length: text in the
// window's character set and strings of bytes. Used by Find All's typed
// search, the snapshot search and the named fields.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "control/types.h"

namespace byteloom {

enum class TValueType : uint8_t { vtU8, vtU16, vtU32, vtU64, vtI8, vtI16, vtI32, vtI64, vtF32, vtF64 };
enum class TByteOrder : uint8_t { boLittle, boBig };
constexpr int kValueTypeCount = 10;

struct TValueFormat {
  TValueType Type = TValueType::vtU32;
  TByteOrder Order = TByteOrder::boLittle;
  bool Aligned = false;  // only multiples of the value's size
};

// Bytes of one value of type.
int ValueWidth(TValueType type);
bool IsFloatType(TValueType type);
bool IsSignedType(TValueType type);
// "u8" ... "f64".
const char* ValueTypeName(TValueType type);

// A value: integers exactly, floats as double.
struct TValue {
  bool IsFloat = false;
  __int128 Int = 0;
  double Float = 0;
};
// The value of the format's width at bytes.
TValue DecodeValue(const uint8_t* bytes, const TValueFormat& format);
// Writes value as the format's width of bytes to out (no range check: the
// integer is cut to the width).
void EncodeValue(const TValue& value, const TValueFormat& format, uint8_t* out);
// Decimal integers; floats with the fewest digits that read back as the same
// value of type.
std::string ValueText(const TValue& value, TValueType type);
// The longest text ValueText gives for type (for sizing a column).
std::string WidestValueText(TValueType type);
// Typed text as a value of type: integers in decimal (optional sign), "$" or
// "0x" hex; floats as decimals. Nothing when the text is no number or the
// number does not fit the type.
std::optional<TValue> ParseValue(const std::string& text, TValueType type);

// Text of a fixed length: the characters of bytes in translation up to the
// first zero byte, as UTF-8 (a byte the character set does not show is
// "?").
std::string DecodeText(const uint8_t* bytes, int length, TTranslationType translation);
// What typed text or a byte string becomes, or why it cannot.
struct TEncoded {
  std::vector<uint8_t> Bytes;
  std::string Error;
};
// UTF-8 text as length bytes in translation, zero bytes after it.
TEncoded EncodeText(const std::string& text, int length, TTranslationType translation);
// Bytes as "DE AD BE EF".
std::string BytesText(const uint8_t* bytes, int length);
// Hex text as exactly length bytes.
TEncoded ParseBytes(const std::string& text, int length);

}  // namespace byteloom
