// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/valueinfo.h"

#include <algorithm>
#include <cstdio>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

TCaretPlace CaretPlaceOf(THexEditor& editor) {
  TCaretPlace place{editor.SelStart(), editor.SelEnd(), editor.GetCursorPos()};
  if (editor.IsLive()) place.AddressOf = [&editor](int64_t pos) { return editor.AddressOf(pos); };
  return place;
}

namespace {

uint8_t ReadByte(TByteSource& bytes, int64_t pos) {
  uint8_t b = 0;
  bytes.Read(&b, pos, 1);
  return b;
}

}  // namespace

std::string WidestValueText(TValueBox box, bool addresses) {
  // A program's addresses use 47 bits.
  if (addresses && box == TValueBox::vbAddressDec) return "140737488355327";
  if (addresses && (box == TValueBox::vbAddressHex || box == TValueBox::vbSelStart || box == TValueBox::vbSelEnd))
    return "7FFFFFFFFFFF";
  switch (box) {
    case TValueBox::vbSelStart:
    case TValueBox::vbSelEnd: return "FFFFFFFF";  // a negative position shows as its 32-bit pattern
    case TValueBox::vbBinary8: return "00000000";
    case TValueBox::vbSigned32: return "-2147483648";
    case TValueBox::vbUnsigned16: return "65535";
    case TValueBox::vbSigned16: return "-32768";
    case TValueBox::vbUnsigned8: return "255";
    case TValueBox::vbSigned8: return "-128";
    case TValueBox::vbDecHex: return "255/FF";
    case TValueBox::vbAddressDec:
    case TValueBox::vbLength: return "2147483647";
    case TValueBox::vbAddressHex: return "7FFFFFFF";
  }
  return "-";
}

void ComputeValueInfo(TByteSource& bytes, const TCaretPlace& place,
                      const std::function<void(TValueBox, const std::string&)>& set) {
  const int64_t size = bytes.Size();
  // Where the document has no byte (no selection), the position stays.
  const auto at = [&](int64_t pos) {
    return place.AddressOf && pos >= 0 && pos < size ? static_cast<int64_t>(place.AddressOf(pos)) : pos;
  };
  set(TValueBox::vbSelStart, PositionHex(at(place.SelStart)));
  set(TValueBox::vbSelEnd, PositionHex(at(place.SelEnd)));
  const int64_t p = place.CursorPos;
  if (size == 0) return;

  const uint8_t b = ReadByte(bytes, p);
  set(TValueBox::vbBinary8, Binary8(b));

  if (p < 3) {
    set(TValueBox::vbSigned32, "-");
  } else {
    uint8_t four[4];
    bytes.Read(four, p - 3, 4);
    uint32_t w = 0;
    for (uint8_t x : four) w = w << 8 | x;
    set(TValueBox::vbSigned32, std::to_string(static_cast<int32_t>(w)));
  }

  if (p == 0) {
    set(TValueBox::vbUnsigned16, "-");
    set(TValueBox::vbSigned16, "-");
  } else {
    uint8_t two[2];
    bytes.Read(two, p - 1, 2);
    const uint32_t h = uint32_t{two[0]} << 8 | two[1];
    set(TValueBox::vbUnsigned16, std::to_string(h));
    set(TValueBox::vbSigned16, std::to_string(h < 32768 ? static_cast<int32_t>(h) : static_cast<int32_t>(h) - 65536));
  }

  const uint8_t b8 = ReadByte(bytes, p);
  set(TValueBox::vbUnsigned8, std::to_string(b8));
  set(TValueBox::vbSigned8, std::to_string(b8 < 128 ? static_cast<int>(b8) : static_cast<int>(b8) - 256));
  set(TValueBox::vbDecHex, std::to_string(b8) + "/" + HexMin2(b8));
  set(TValueBox::vbAddressDec, std::to_string(at(p)));
  set(TValueBox::vbAddressHex, PositionHex(at(p)));
  set(TValueBox::vbLength, std::to_string(size));
}

void ComputeTypedValues(TByteSource& bytes, int64_t pos,
                        const std::function<void(const TValueFormat&, const std::string&)>& set) {
  const int64_t have = pos < 0 ? 0 : std::max<int64_t>(0, bytes.Size() - pos);
  uint8_t b[8] = {};
  if (have > 0) bytes.Read(b, pos, std::min<int64_t>(have, 8));
  for (int t = 0; t < kValueTypeCount; ++t) {
    for (TByteOrder order : {TByteOrder::boLittle, TByteOrder::boBig}) {
      const TValueFormat format{static_cast<TValueType>(t), order};
      set(format, ValueWidth(format.Type) > have ? "-" : ValueText(DecodeValue(b, format), format.Type));
    }
  }
}

}  // namespace byteloom
