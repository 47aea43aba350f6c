// The value info panel's figures: the caret's address, the document's
// length, the selection and the byte at the caret read as unsigned, signed
// and binary 8-bit values, with the 16- and 32-bit values that end at the
// caret (the byte at the caret is the least significant one).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace byteloom {

class THexEditor;

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

// What the panel reads of a document.
class TValueInfoSource {
 public:
  virtual ~TValueInfoSource() = default;
  virtual int32_t SelStart() = 0;
  virtual int32_t SelEnd() = 0;
  virtual int32_t GetCursorPos() = 0;
  virtual int32_t DataSize() = 0;
  virtual uint8_t ReadByte(int32_t pos) = 0;
};

// A hex editor control as the panel's source.
class THexEditorValueSource final : public TValueInfoSource {
 public:
  explicit THexEditorValueSource(THexEditor& editor) : FEditor(editor) {}
  int32_t SelStart() override;
  int32_t SelEnd() override;
  int32_t GetCursorPos() override;
  int32_t DataSize() override;
  uint8_t ReadByte(int32_t pos) override;

 private:
  THexEditor& FEditor;
};

// Upper-case hex digits, at least two.
std::string HexMin2(uint32_t value);
// The eight binary digits of b, most significant first.
std::string Binary8(uint8_t b);

// Fills the boxes through set, in the order of TValueBox. An empty document
// sets only the two selection boxes. An error of the source ends the refresh
// where it happens (it passes to the caller); the boxes set so far keep
// their new captions.
void ComputeValueInfo(TValueInfoSource& source, const std::function<void(TValueBox, const std::string&)>& set);

}  // namespace byteloom
