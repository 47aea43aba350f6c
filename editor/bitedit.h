// SPDX-License-Identifier: GPL-3.0-or-later
// The binary edit of one byte: the byte as eight bit boxes (CheckBox2 is
// bit 8, value 128, ... CheckBox9 is bit 1, value 1), its "Dez" and "Hex"
// texts, and the OK step that writes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace byteloom {

class THexEditor;

// Index 0 is CheckBox2 (128), index 7 CheckBox9 (1).
using TBitBoxes = std::array<bool, 8>;
TBitBoxes ByteToBits(uint8_t value);
uint8_t BitsToByte(const TBitBoxes& bits);
// The "Dez" label: the value in decimal.
std::string DezText(uint8_t value);
// The "Hex" label: two upper-case hex digits.
std::string HexText(uint8_t value);
// OK: the byte replaces the selection (ReplaceSelection with one byte), or,
// when nothing is selected, overwrites the byte at the caret that the dialog
// showed (one "Byte changed" step; the length stays). Returns the
// document's Modified flag (the window then enables Save).
bool WriteBinaryEdit(THexEditor& editor, uint8_t value);

}  // namespace byteloom
