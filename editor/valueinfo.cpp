#include "editor/valueinfo.h"

#include <cstdio>

#include "control/hexeditor.h"

namespace byteloom {

int32_t THexEditorValueSource::SelStart() { return FEditor.SelStart(); }
int32_t THexEditorValueSource::SelEnd() { return FEditor.SelEnd(); }
int32_t THexEditorValueSource::GetCursorPos() { return FEditor.GetCursorPos(); }
int32_t THexEditorValueSource::DataSize() { return FEditor.DataSize(); }
uint8_t THexEditorValueSource::ReadByte(int32_t pos) { return FEditor.ReadByte(pos); }

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

void ComputeValueInfo(TValueInfoSource& source, const std::function<void(TValueBox, const std::string&)>& set) {
  // Positions are shown as the control gives them; a negative one (no
  // selection end known) is shown as its 32-bit pattern.
  set(TValueBox::vbSelStart, HexMin2(static_cast<uint32_t>(source.SelStart())));
  set(TValueBox::vbSelEnd, HexMin2(static_cast<uint32_t>(source.SelEnd())));
  const int32_t p = source.GetCursorPos();
  const int32_t size = source.DataSize();
  if (size == 0) return;

  const uint8_t b = source.ReadByte(p);
  set(TValueBox::vbBinary8, Binary8(b));

  if (p < 3) {
    set(TValueBox::vbSigned32, "-");
  } else {
    uint32_t w = 0;
    for (int32_t i = p - 3; i <= p; ++i) w = w << 8 | source.ReadByte(i);
    set(TValueBox::vbSigned32, std::to_string(static_cast<int32_t>(w)));
  }

  if (p == 0) {
    set(TValueBox::vbUnsigned16, "-");
    set(TValueBox::vbSigned16, "-");
  } else {
    const uint32_t h = static_cast<uint32_t>(source.ReadByte(p - 1)) << 8 | source.ReadByte(p);
    set(TValueBox::vbUnsigned16, std::to_string(h));
    set(TValueBox::vbSigned16, std::to_string(h < 32768 ? static_cast<int32_t>(h) : static_cast<int32_t>(h) - 65536));
  }

  const uint8_t b8 = source.ReadByte(p);
  set(TValueBox::vbUnsigned8, std::to_string(b8));
  set(TValueBox::vbSigned8, std::to_string(b8 < 128 ? static_cast<int>(b8) : static_cast<int>(b8) - 256));
  set(TValueBox::vbDecHex, std::to_string(b8) + "/" + HexMin2(b8));
  set(TValueBox::vbAddressDec, std::to_string(p));
  set(TValueBox::vbAddressHex, HexMin2(static_cast<uint32_t>(p)));
  set(TValueBox::vbLength, std::to_string(size));
}

}  // namespace byteloom
