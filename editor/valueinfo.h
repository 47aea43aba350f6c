// SPDX-License-Identifier: GPL-3.0-or-later
// The value info panel's figures: the caret's address, the document's
// length, the selection and the byte at the caret read as unsigned, signed
// and binary 8-bit values, with the 16- and 32-bit values that end at the
// caret (the byte at the caret is the least significant one); and the typed
// values that start at the caret, every type in both byte orders.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "control/valuetypes.h"

namespace byteloom {

class THexEditor;
class TByteSource;

// The twelve value boxes, in the order a refresh fills them.
enum class TValueBox : uint8_t {
  vbSelStart,    // "Sel. Start:"
  vbSelEnd,      // "Sel. End:"
  vbBinary8,     // "8Bit Binary:"
  vbSigned32,    // "32Bit sig.:"
  vbUnsigned16,  // "16Bit unsig.:"
  vbSigned16,    // "16Bit sig.:"
  vbUnsigned8,   // "8Bit unsig.:"
  vbSigned8,     // "8Bit sig.:"
  vbDecHex,      // "Dez/Hex:"
  vbAddressDec,  // "Adress (dez):"
  vbAddressHex,  // "Adress (hex):"
  vbLength       // "Length:"
};
constexpr int kValueBoxCount = 12;

// Where the caret and the selection are, as the control gives them.
struct TCaretPlace {
  int64_t SelStart = 0;
  int64_t SelEnd = 0;
  int64_t CursorPos = 0;  // GetCursorPos: inside the document unless it is empty
  // In a running program's memory: the address of a position, which the
  // "Adress" and selection boxes show (empty: they show positions).
  std::function<uint64_t(int64_t)> AddressOf = {};
};
TCaretPlace CaretPlaceOf(THexEditor& editor);

// The longest caption a box can show, to size the box by: every digit in it
// may stand for any digit of its kind (decimal, or hex where the box shows
// hex), so a box as wide as this text with its widest digits fits them all.
// With addresses, the boxes that show them fit any address a program has.
std::string WidestValueText(TValueBox box, bool addresses = false);

// Fills the boxes through set, in the order of TValueBox, from the
// document's bytes and the caret's place. An empty document sets only the
// two selection boxes. An error of the source ends the refresh where it
// happens (it passes to the caller); the boxes set so far keep their new
// captions.
void ComputeValueInfo(TByteSource& bytes, const TCaretPlace& place,
                      const std::function<void(TValueBox, const std::string&)>& set);

// The typed values that start at pos: every type (u8 ... f64) little and
// big endian, through set, as the typed values are written everywhere
// (ValueText). A value whose bytes run past the end of the document is
// absent: "-". An error of the source passes to the caller.
void ComputeTypedValues(TByteSource& bytes, int64_t pos,
                        const std::function<void(const TValueFormat&, const std::string&)>& set);

}  // namespace byteloom
