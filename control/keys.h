// SPDX-License-Identifier: GPL-3.0-or-later
// Keys, shift states and mouse buttons as the control sees them: virtual key
// codes with the values Windows gives them, so that key tables read the same
// on every platform.
#pragma once

#include <cstdint>

namespace byteloom {

enum : uint16_t {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,  // Alt
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,  // Page Up
  VK_NEXT = 0x22,   // Page Down
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_0 = 0x30,  // '0'..'9' are 0x30..0x39, 'A'..'Z' 0x41..0x5A
  VK_9 = 0x39,
  VK_NUMPAD0 = 0x60,  // the number pad's digits are 0x60..0x69
  VK_NUMPAD9 = 0x69,
  VK_F1 = 0x70,  // F1..F12 are 0x70..0x7B
};

// The shift state of a key or mouse event: a set of these bits.
using TShiftState = uint8_t;
enum : TShiftState {
  ssShift = 0x01,
  ssAlt = 0x02,
  ssCtrl = 0x04,
  ssLeft = 0x08,
  ssRight = 0x10,
  ssMiddle = 0x20,
  ssDouble = 0x40,
};
// Shift, Alt and Ctrl of a shift state (without buttons and double click).
constexpr TShiftState KeyShift(TShiftState s) { return s & (ssShift | ssAlt | ssCtrl); }

enum class TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

}  // namespace byteloom
