// SPDX-License-Identifier: GPL-3.0-or-later
// Number entry: decimal and "$" hex text to 32-bit and 64-bit integers.
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <utility>

#include "platform/numconv.h"

namespace byteloom {
namespace {

struct TValidCase {
  const char* Text;
  int32_t Value;
};

void PrintTo(const TValidCase& c, std::ostream* os) { *os << '"' << c.Text << '"'; }

class ValidNumbers : public ::testing::TestWithParam<TValidCase> {};

TEST_P(ValidNumbers, Convert) {
  EXPECT_EQ(StrToInt(GetParam().Text), GetParam().Value) << GetParam().Text;
  EXPECT_EQ(TryStrToInt(GetParam().Text), GetParam().Value) << GetParam().Text;
}

INSTANTIATE_TEST_SUITE_P(Numbers, ValidNumbers,
                         ::testing::Values(TValidCase{"0", 0}, TValidCase{"31", 31}, TValidCase{"  31", 31},
                                           TValidCase{"+31", 31}, TValidCase{"-31", -31},
                                           TValidCase{"007", 7}, TValidCase{"$1F", 31}, TValidCase{"$1f", 31},
                                           TValidCase{" -$10", -16}, TValidCase{"$7FFFFFFF", 2147483647},
                                           TValidCase{"$80000000", INT32_MIN}, TValidCase{"$FFFFFFFF", -1},
                                           TValidCase{"$00000000FF", 255}, TValidCase{"2147483647", 2147483647},
                                           TValidCase{"-2147483648", INT32_MIN}));

class InvalidNumbers : public ::testing::TestWithParam<const char*> {};

TEST_P(InvalidNumbers, RaiseConversionError) {
  const std::string text = GetParam();
  EXPECT_FALSE(TryStrToInt(text).has_value()) << text;
  try {
    StrToInt(text);
    FAIL() << "no error for '" << text << "'";
  } catch (const EConvertError& e) {
    EXPECT_EQ(std::string(e.what()), "'" + text + "' ist kein g\xC3\xBCltiger Integerwert");
  }
}

INSTANTIATE_TEST_SUITE_P(Numbers, InvalidNumbers,
                         ::testing::Values("", " ", "abc", "12 ", "1 2", "-", "+", "$", "$G1", "0x1F", "1F",
                                           "$100000000", "2147483648", "-2147483649", "99999999999",
                                           "\t5", "--5", "$-5", "3.5"));

// Positions: the same grammar in 64 bits.
TEST(Numbers64, PositionsBeyondThirtyTwoBits) {
  const std::pair<const char*, std::optional<int64_t>> rows[] = {
      {"$100000000", int64_t{1} << 32},
      {"4294967313", (int64_t{1} << 32) + 17},
      {"$7FFFFFFFFFFFFFFF", INT64_MAX},
      {"9223372036854775807", INT64_MAX},
      {"-9223372036854775808", INT64_MIN},
      {"$FFFFFFFFFFFFFFFF", -1},
      {"9223372036854775808", std::nullopt},
      {"18446744073709551616", std::nullopt},
      {"$10000000000000000", std::nullopt},
      {"$", std::nullopt},
  };
  for (const auto& [text, value] : rows) EXPECT_EQ(TryStrToInt64(text), value) << text;
}

TEST(ConversionError, ShowsTheTypedCharacters) {
  // Windows-1252 bytes as typed -> the message's UTF-8.
  for (const auto& [typed, shown] : std::initializer_list<std::pair<const char*, const char*>>{
           {"$\xE4\xDF", "$\xC3\xA4\xC3\x9F"}, {"\x80 5", "\xE2\x82\xAC 5"}, {"\x7F", "\x7F"}}) {
    try {
      StrToInt(typed);
      FAIL() << typed;
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + shown + "' ist kein g\xC3\xBCltiger Integerwert");
    }
  }
}

TEST(HexPrefix, ZeroXBecomesDollarInEitherCase) {
  EXPECT_EQ(HexPrefixToDollar("0x1F"), "$1F");
  EXPECT_EQ(HexPrefixToDollar("0X1F"), "$1F");
  EXPECT_EQ(HexPrefixToDollar("0x"), "$");
  EXPECT_EQ(HexPrefixToDollar("31"), "31");
  EXPECT_EQ(HexPrefixToDollar("$1F"), "$1F");
  EXPECT_EQ(HexPrefixToDollar(" 0x1F"), " 0x1F");
  EXPECT_EQ(StrToInt(HexPrefixToDollar("0x80000000")), INT32_MIN);
}

}  // namespace
}  // namespace byteloom
