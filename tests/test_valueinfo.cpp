// SPDX-License-Identifier: GPL-3.0-or-later
// The value info panel's figures.
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <stdexcept>
#include <tuple>
#include <vector>

#include "control/bytesource.h"
#include "editor/valueinfo.h"
#include "platform/numconv.h"

namespace byteloom {
namespace {

class TFakeSource : public TByteSource {
 public:
  std::vector<uint8_t> Data;
  int32_t Caret = 0;
  int32_t Anchor = -1;   // selection start, -1: none
  int32_t Other = -1;    // selection end
  int32_t FailAt = -1;   // a read of this position fails

  TCaretPlace Place() const { return {Anchor >= 0 ? Anchor : Caret, Anchor >= 0 ? Other : Caret, Caret}; }
  int64_t Size() override { return static_cast<int64_t>(Data.size()); }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override {
    for (int64_t i = 0; i < count; ++i) {
      if (pos + i == FailAt) throw std::runtime_error("read failed");
      dest[i] = Data.at(static_cast<size_t>(pos + i));
    }
  }
};

using TBoxes = std::map<TValueBox, std::string>;

TBoxes Compute(TFakeSource& source) {
  TBoxes boxes;
  ComputeValueInfo(source, source.Place(), [&](TValueBox box, const std::string& text) { boxes[box] = text; });
  return boxes;
}

TEST(ValueInfo, EmptyDocumentSetsOnlyTheSelection) {
  TFakeSource source;
  const TBoxes boxes = Compute(source);
  EXPECT_EQ(boxes, (TBoxes{{TValueBox::vbSelStart, "00"}, {TValueBox::vbSelEnd, "00"}}));
}

TEST(ValueInfo, BoxesAreFilledInTheirOrder) {
  TFakeSource source;
  source.Data = {1, 2, 3, 4, 5};
  source.Caret = 4;
  std::vector<TValueBox> order;
  ComputeValueInfo(source, source.Place(), [&](TValueBox box, const std::string&) { order.push_back(box); });
  std::vector<TValueBox> expected;
  for (int i = 0; i < kValueBoxCount; ++i) expected.push_back(static_cast<TValueBox>(i));
  EXPECT_EQ(order, expected);
}

struct TByteCase {
  uint8_t Byte;
  const char* Unsigned;
  const char* Signed;
  const char* Binary;
  const char* DecHex;
};

void PrintTo(const TByteCase& c, std::ostream* os) { *os << "byte " << c.DecHex; }

class EightBit : public ::testing::TestWithParam<TByteCase> {};

TEST_P(EightBit, Formats) {
  TFakeSource source;
  source.Data = {GetParam().Byte};
  const TBoxes boxes = Compute(source);
  EXPECT_EQ(boxes.at(TValueBox::vbUnsigned8), GetParam().Unsigned);
  EXPECT_EQ(boxes.at(TValueBox::vbSigned8), GetParam().Signed);
  EXPECT_EQ(boxes.at(TValueBox::vbBinary8), GetParam().Binary);
  EXPECT_EQ(boxes.at(TValueBox::vbDecHex), GetParam().DecHex);
}

INSTANTIATE_TEST_SUITE_P(Bytes, EightBit,
                         ::testing::Values(TByteCase{0x00, "0", "0", "00000000", "0/00"},
                                           TByteCase{0x41, "65", "65", "01000001", "65/41"},
                                           TByteCase{0x7F, "127", "127", "01111111", "127/7F"},
                                           TByteCase{0x80, "128", "-128", "10000000", "128/80"},
                                           TByteCase{0x81, "129", "-127", "10000001", "129/81"},
                                           TByteCase{0xFF, "255", "-1", "11111111", "255/FF"},
                                           TByteCase{0x0A, "10", "10", "00001010", "10/0A"}));

struct TWordCase {
  std::vector<uint8_t> Bytes;  // the caret is on the last one
  const char* Unsigned16;
  const char* Signed16;
  const char* Signed32;
};

void PrintTo(const TWordCase& c, std::ostream* os) {
  *os << "bytes";
  for (uint8_t b : c.Bytes) *os << ' ' << HexMin2(b);
}

class MultiByte : public ::testing::TestWithParam<TWordCase> {};

TEST_P(MultiByte, ValuesEndAtTheCaret) {
  TFakeSource source;
  source.Data = {0x11, 0x22, 0x33};  // bytes before the case's ones
  source.Data.insert(source.Data.end(), GetParam().Bytes.begin(), GetParam().Bytes.end());
  source.Data.push_back(0x99);  // after the caret: never read into the values
  source.Caret = static_cast<int32_t>(source.Data.size()) - 2;
  const TBoxes boxes = Compute(source);
  EXPECT_EQ(boxes.at(TValueBox::vbUnsigned16), GetParam().Unsigned16);
  EXPECT_EQ(boxes.at(TValueBox::vbSigned16), GetParam().Signed16);
  EXPECT_EQ(boxes.at(TValueBox::vbSigned32), GetParam().Signed32);
}

INSTANTIATE_TEST_SUITE_P(Words, MultiByte,
                         ::testing::Values(TWordCase{{0x7F, 0xFF}, "32767", "32767", "573800447"},
                                           TWordCase{{0x80, 0x00}, "32768", "-32768", "573800448"},
                                           TWordCase{{0xFF, 0xFF}, "65535", "-1", "573833215"},
                                           TWordCase{{0xFF, 0xFF, 0xFF, 0xFF}, "65535", "-1", "-1"},
                                           TWordCase{{0x7F, 0xFF, 0xFF, 0xFF}, "65535", "-1", "2147483647"},
                                           TWordCase{{0x80, 0x00, 0x00, 0x00}, "0", "0", "-2147483648"},
                                           TWordCase{{0x12, 0x34, 0x56, 0x78}, "22136", "22136", "305419896"}));

TEST(ValueInfo, NearTheStartTheLongValuesShowADash) {
  TFakeSource source;
  source.Data = {0xAB, 0xCD, 0xEF, 0x01};
  source.Caret = 0;
  TBoxes boxes = Compute(source);
  EXPECT_EQ(boxes.at(TValueBox::vbUnsigned16), "-");
  EXPECT_EQ(boxes.at(TValueBox::vbSigned16), "-");
  EXPECT_EQ(boxes.at(TValueBox::vbSigned32), "-");
  EXPECT_EQ(boxes.at(TValueBox::vbUnsigned8), "171");
  for (int32_t caret : {1, 2}) {
    source.Caret = caret;
    boxes = Compute(source);
    EXPECT_NE(boxes.at(TValueBox::vbUnsigned16), "-");
    EXPECT_EQ(boxes.at(TValueBox::vbSigned32), "-") << caret;
  }
  source.Caret = 1;
  EXPECT_EQ(Compute(source).at(TValueBox::vbUnsigned16), "43981");  // AB CD
  source.Caret = 3;
  EXPECT_EQ(Compute(source).at(TValueBox::vbSigned32), "-1412567295");  // ABCDEF01
}

TEST(ValueInfo, AddressesLengthAndSelection) {
  TFakeSource source;
  source.Data.assign(300, 0);
  struct {
    int32_t Caret;
    const char* Hex;
  } const rows[] = {{5, "05"}, {255, "FF"}, {256, "100"}, {299, "12B"}};
  for (const auto& row : rows) {
    source.Caret = row.Caret;
    const TBoxes boxes = Compute(source);
    EXPECT_EQ(boxes.at(TValueBox::vbAddressHex), row.Hex);
    EXPECT_EQ(boxes.at(TValueBox::vbAddressDec), std::to_string(row.Caret));
    EXPECT_EQ(boxes.at(TValueBox::vbLength), "300");
    EXPECT_EQ(boxes.at(TValueBox::vbSelStart), row.Hex);
    EXPECT_EQ(boxes.at(TValueBox::vbSelEnd), row.Hex);
  }
  // A selection made backwards shows its start above its end.
  source.Anchor = 0x20;
  source.Other = 0x10;
  const TBoxes boxes = Compute(source);
  EXPECT_EQ(boxes.at(TValueBox::vbSelStart), "20");
  EXPECT_EQ(boxes.at(TValueBox::vbSelEnd), "10");
}

TEST(ValueInfo, AFailedReadKeepsWhatWasAlreadySet) {
  TFakeSource source;
  source.Data = {1, 2, 3, 4, 5, 6};
  source.Caret = 5;
  source.FailAt = 2;  // needed first by the 32-bit value
  TBoxes boxes;
  EXPECT_THROW(ComputeValueInfo(source, source.Place(), [&](TValueBox box, const std::string& text) { boxes[box] = text; }),
               std::runtime_error);
  EXPECT_EQ(boxes, (TBoxes{{TValueBox::vbSelStart, "05"}, {TValueBox::vbSelEnd, "05"},
                           {TValueBox::vbBinary8, "00000110"}}));
}

// The panel sizes its boxes by WidestValueText: no caption may be longer,
// nor show hex letters where that text has none (documents near 2 GiB too).
TEST(ValueInfo, NoCaptionIsWiderThanTheWidestText) {
  struct : TByteSource {
    int32_t Last = 0;
    uint8_t Byte = 0;
    int64_t Size() override { return Last + 1; }
    void Read(uint8_t* dest, int64_t pos, int64_t count) override {
      for (int64_t i = 0; i < count; ++i) dest[i] = pos + i == Last ? Byte : Byte ^ 0x7F;
    }
  } source;
  const auto hex = [](const std::string& s) { return s.find_first_of("ABCDEF") != std::string::npos; };
  for (int32_t last : {0, 3, 0x7FFFFFFE})
    for (uint8_t byte : {0x00, 0x80, 0xFF}) {
      std::tie(source.Last, source.Byte) = std::tuple(last, byte);
      ComputeValueInfo(source, {0, -1, last}, [&](TValueBox box, const std::string& text) {
        const std::string widest = WidestValueText(box);
        EXPECT_TRUE(text.size() <= widest.size() && (!hex(text) || hex(widest))) << text << " / " << widest;
      });
    }
}

// The values that start at the caret, as "type order" -> text.
TEST(ValueInfo, TypedValuesStartAtTheCaretInBothByteOrders) {
  const struct {
    std::vector<uint8_t> Data;
    int32_t Caret;
    const char* Format;  // "u32 be"
    const char* Text;
  } rows[] = {
      {{0x00, 0x00, 0x02, 0x00}, 0, "u32 be", "512"},  // a PNG width
      {{0x00, 0x00, 0x02, 0x00}, 0, "u32 le", "131072"},
      {{0x05, 0xDC}, 0, "u16 be", "1500"},
      {{0x05, 0xDC}, 0, "u16 le", "56325"},
      {{0x05, 0xDC}, 1, "u16 le", "-"},  // past the end: absent
      {{0x05, 0xDC}, 1, "u8 be", "220"},
      {{0x05, 0xDC}, 1, "i8 le", "-36"},
      {{0x11, 0xFE, 0xFF}, 1, "i16 le", "-2"},
      {{0x11, 0xFE, 0xFF}, 1, "i16 be", "-257"},
      {{0x00, 0x00, 0x80, 0x3F}, 0, "f32 le", "1"},
      {{0x3F, 0x80, 0x00, 0x00}, 0, "f32 be", "1"},
      {{0x00, 0x00, 0xC0, 0xBF}, 0, "f32 le", "-1.5"},
      {{0x00, 0x00, 0x80, 0x3F}, 0, "f64 le", "-"},
      {{0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x99}, 0, "f64 be", "1.5"},
      {{0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x99}, 1, "u64 le", "11024811887802974456"},
      {{0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x99}, 2, "u64 le", "-"},
      {{0x3F, 0xF8, 0, 0, 0, 0, 0, 0, 0x99}, 2, "u32 le", "0"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, "i64 be", "-1"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, "u64 be", "18446744073709551615"},
      {{0x78, 0x56, 0x34, 0x12}, 0, "i32 le", "305419896"},
      {{}, 0, "u8 le", "-"},  // an empty document
  };
  for (const auto& row : rows) {
    TFakeSource source;
    source.Data = row.Data;
    std::map<std::string, std::string> values;
    ComputeTypedValues(source, row.Caret, [&](const TValueFormat& f, const std::string& text) {
      values[std::string(ValueTypeName(f.Type)) + (f.Order == TByteOrder::boLittle ? " le" : " be")] = text;
    });
    EXPECT_EQ(values.size(), 2u * kValueTypeCount);
    EXPECT_EQ(values[row.Format], row.Text) << row.Format << " at " << row.Caret;
  }
}

TEST(ValueInfo, Formatting) {
  EXPECT_EQ(HexMin2(0), "00");
  EXPECT_EQ(HexMin2(0xABC), "ABC");
  EXPECT_EQ(HexMin2(0x7FFFFFFF), "7FFFFFFF");
  EXPECT_EQ(Binary8(0x5A), "01011010");
}

}  // namespace
}  // namespace byteloom
