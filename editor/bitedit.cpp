// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/bitedit.h"

#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

TBitBoxes ByteToBits(uint8_t value) {
  TBitBoxes bits{};
  for (int i = 0; i < 8; ++i) bits[static_cast<size_t>(i)] = (value & (0x80 >> i)) != 0;
  return bits;
}

uint8_t BitsToByte(const TBitBoxes& bits) {
  int value = 0;
  for (int i = 0; i < 8; ++i)
    if (bits[static_cast<size_t>(i)]) value |= 0x80 >> i;
  return static_cast<uint8_t>(value);
}

std::string DezText(uint8_t value) { return std::to_string(value); }

std::string HexText(uint8_t value) { return HexMin2(value); }

bool WriteBinaryEdit(THexEditor& editor, uint8_t value) {
  const int64_t pos = editor.GetCursorPos();
  if (editor.SelCount() > 0 || pos >= editor.DataSize()) {
    editor.ReplaceSelection(&value, 1);
    return editor.Modified();
  }
  int col = 0;
  int64_t row = 0;
  editor.GetCellAtPos(pos, editor.IsCharFieldActive(), col, row);
  editor.ChangeByte(editor.ReadByte(pos), value, row, col, pos);
  return editor.Modified();
}

}  // namespace byteloom
