// SPDX-License-Identifier: GPL-3.0-or-later
// Copy as, Paste hex text and the exports in other tools' formats: exact
// texts, and round trips through the real decoders (xxd -r, objcopy,
// base64 -d, a C compiler).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "control/byteformats.h"
#include "output/dumpformat.h"
#include "tests/support/editortest.h"

namespace byteloom::test {
namespace {

std::string Text(TByteFormat f, const Bytes& b, int64_t first = 0) { return FormatBytes(f, b.data(), b.size(), first); }

TEST(ByteFormats, ExactTexts) {
  const Bytes abc = {0x41, 0x42, 0x00};
  EXPECT_EQ(Text(TByteFormat::bfHexText, abc), "41 42 00");
  EXPECT_EQ(Text(TByteFormat::bfPython, abc), "b'\\x41\\x42\\x00'");
  EXPECT_EQ(Text(TByteFormat::bfBase64, abc), "QUIA\n");
  EXPECT_EQ(Text(TByteFormat::bfBase64, {'M', 'a'}), "TWE=\n");
  EXPECT_EQ(Text(TByteFormat::bfCArray, abc), "unsigned char data[] = {\n  0x41, 0x42, 0x00\n};\nunsigned int data_len = 3;\n");
  EXPECT_EQ(Text(TByteFormat::bfIntelHex, abc, 0x10010), ":020000040001F9\n:030010004142006A\n:00000001FF\n");
  EXPECT_EQ(Text(TByteFormat::bfSRecord, abc), "S0030000FC\nS106000041420076\nS9030000FC\n");
  // An xxd line names the offset of its own first byte.
  EXPECT_EQ(Text(TByteFormat::bfXxd, abc, 0x1E), "0000001e: 4142 00" + std::string(34, ' ') + "AB.\n");
  EXPECT_EQ(Text(TByteFormat::bfHexText, Bytes(17, 0xAB)), "AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB AB\nAB");
}

TEST(ByteFormats, PasteHexTextReadsWhatOthersWrite) {
  struct Row {
    const char* Text;
    Bytes Want;
    const char* Error;
  } rows[] = {
      {"41 42 00", {0x41, 0x42, 0}, ""},
      {"414200", {0x41, 0x42, 0}, ""},
      {"{0x41, 0X42,0x00}", {0x41, 0x42, 0}, ""},
      {"b'\\x41\\x42\\x00'", {0x41, 0x42, 0}, ""},
      {"\\x41\\xfF", {0x41, 0xFF}, ""},
      {"00000000: 4142 0a3a  AB.:\n00000004: 20                   \n", {0x41, 0x42, 0x0A, 0x3A, 0x20}, ""},
      {"41 4", {}, "An odd number of hex digits at position 4"},
      {"41 42 zz", {}, "A stray character at position 7"},
      {"00000000: 4142  AB\xC3\xA9\n41 4", {}, "An odd number of hex digits at position 24"},  // é is one character
      {"0x", {}, "A stray character at position 1"},
      {"", {}, ""},
  };
  for (const Row& r : rows) {
    const THexParse p = ParseHexText(r.Text);
    EXPECT_EQ(p.Error, r.Error) << r.Text;
    EXPECT_EQ(p.Bytes, r.Want) << r.Text;
  }
  std::mt19937 rng(3);
  Bytes any(1000);
  for (auto& b : any) b = static_cast<uint8_t>(rng());
  for (TByteFormat f : {TByteFormat::bfHexText, TByteFormat::bfPython, TByteFormat::bfXxd})
    EXPECT_EQ(ParseHexText(Text(f, any)).Bytes, any) << int(f);
  // Copy as xxd from every offset in a row reads back whole.
  for (int64_t first = 0; first <= 16; ++first)
    for (size_t n : {1, 13, 16, 17, 40}) {
      const Bytes part(any.begin() + first, any.begin() + first + static_cast<int64_t>(n));
      EXPECT_EQ(ParseHexText(Text(TByteFormat::bfXxd, part, first)).Bytes, part) << first << " " << n;
    }
  // A line whose hex column starts with blanks (a dump that began inside a
  // row) loses none of its bytes.
  EXPECT_EQ(ParseHexText("0000001e:" + std::string(36, ' ') + "4142" + std::string(16, ' ') + "AB\n" +
                         "00000020: 00" + std::string(38, ' ') + " .\n")
                .Bytes,
            (Bytes{0x41, 0x42, 0}));
}

class ExportRoundTrip : public EditorTest {
 protected:
  // Runs a shell command in the test's folder; its exit code.
  int Run(const std::string& command) { return std::system(("cd '" + Dir() + "' && " + command).c_str()); }
};

TEST_F(ExportRoundTrip, EveryFormatRebuildsTheBytesThroughItsDecoder) {
  struct Row {
    TByteFormat Format;
    const char* Decode;  // from out.txt to back.bin
  } rows[] = {
      {TByteFormat::bfXxd, "xxd -r out.txt back.bin"},
      {TByteFormat::bfIntelHex, "objcopy -I ihex -O binary out.txt back.bin"},
      {TByteFormat::bfSRecord, "objcopy -I srec -O binary out.txt back.bin"},
      {TByteFormat::bfBase64, "base64 -d out.txt > back.bin"},
      {TByteFormat::bfCArray,
       "printf '#include <stdio.h>\\n#include \"out.txt\"\\nint main(void){fwrite(data,1,data_len,stdout);return 0;}\\n' > "
       "m.c && cc -std=c11 -pedantic-errors -Wall -Werror -o m m.c && ./m > back.bin"},
  };
  std::mt19937 rng(11);
  for (size_t size : {0, 1, 15, 16, 17, 65537}) {
    Bytes data(size);
    for (auto& b : data) b = rng() % 3 == 0 ? 0 : static_cast<uint8_t>(rng());
    if (size > 0) Load(data);
    else Ed->CreateEmptyFile("");
    for (const Row& r : rows) {
      // objcopy refuses a file without data ("has no sections"): the empty
      // export is checked by its text below.
      if (size == 0 && std::string(r.Decode).starts_with("objcopy")) continue;
      std::remove(Path("back.bin").c_str());
      ASSERT_TRUE(ExportFormatted(*Ed, r.Format, 0, int32_t(size) - 1, Path("out.txt")));
      // What the export is asked about beforehand: about its size.
      const auto written = static_cast<double>(ReadFile(Path("out.txt")).size());
      EXPECT_NEAR(static_cast<double>(FormattedTextSize(r.Format, 0, int64_t(size) - 1, int64_t(size))), written,
                  written / 10 + 80)
          << r.Decode << " size " << size;
      ASSERT_EQ(Run(std::string(r.Decode) + " 2>err.txt"), 0) << r.Decode << " size " << size;
      EXPECT_EQ(!std::ifstream(Path("back.bin")) ? Bytes{} : ReadFile(Path("back.bin")), data)
          << r.Decode << " size " << size;
    }
    // The dump is the very text xxd writes.
    WriteFile(Path("data.bin"), data);
    ExportFormatted(*Ed, TByteFormat::bfXxd, 0, int32_t(size) - 1, Path("out.txt"));
    ASSERT_EQ(Run("xxd data.bin > xxd.txt"), 0);
    EXPECT_EQ(ReadFile(Path("out.txt")), ReadFile(Path("xxd.txt"))) << size;
  }
}

TEST_F(ExportRoundTrip, AnXxdExportFromEveryOffsetIsWhatXxdWritesAndReadsBack) {
  if (Run("command -v xxd >/dev/null") != 0) GTEST_SKIP() << "xxd is not installed";
  Bytes data(80);
  std::mt19937 rng(5);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  Load(data);
  WriteFile(Path("data.bin"), data);
  for (int32_t first = 0; first <= 16; ++first)
    for (int32_t n : {1, 13, 16, 17, 40}) {
      const std::string at = std::to_string(first) + " " + std::to_string(n);
      ASSERT_TRUE(ExportFormatted(*Ed, TByteFormat::bfXxd, first, first + n - 1, Path("out.txt")));
      ASSERT_EQ(Run("xxd -s " + std::to_string(first) + " -l " + std::to_string(n) + " data.bin > xxd.txt"), 0);
      const Bytes text = ReadFile(Path("out.txt"));
      EXPECT_EQ(text, ReadFile(Path("xxd.txt"))) << at;
      // xxd -r puts the bytes at their offsets; Paste hex text takes them in order.
      std::remove(Path("back.bin").c_str());
      ASSERT_EQ(Run("xxd -r out.txt back.bin"), 0) << at;
      Bytes want(data.begin(), data.begin() + first + n);
      std::fill(want.begin(), want.begin() + first, 0);
      EXPECT_EQ(ReadFile(Path("back.bin")), want) << at;
      EXPECT_EQ(ParseHexText(std::string(text.begin(), text.end())).Bytes, Bytes(want.begin() + first, want.end())) << at;
    }
}

TEST_F(ExportRoundTrip, CancelLeavesTheTargetAndARangeStartsWhereItSays) {
  Bytes data(100000, 7);
  Load(data);
  WriteFile(Path("out.txt"), {'o', 'l', 'd'});
  EXPECT_FALSE(ExportFormatted(*Ed, TByteFormat::bfBase64, 0, 99999, Path("out.txt"), [](int64_t, int64_t) { return false; }));
  EXPECT_EQ(ReadFile(Path("out.txt")), (Bytes{'o', 'l', 'd'}));
  ASSERT_TRUE(ExportFormatted(*Ed, TByteFormat::bfIntelHex, 70000, 70100, Path("out.txt")));
  ASSERT_EQ(Run("objcopy -I ihex -O binary out.txt back.bin"), 0);
  EXPECT_EQ(ReadFile(Path("back.bin")), Bytes(101, 7));
  const Bytes text = ReadFile(Path("out.txt"));
  EXPECT_EQ(std::string(text.begin(), text.begin() + 16), ":020000040001F9\n");
  EXPECT_EQ(Text(TByteFormat::bfIntelHex, {}), ":00000001FF\n");
  EXPECT_EQ(Text(TByteFormat::bfSRecord, {}), "S0030000FC\nS9030000FC\n");
}

}  // namespace
}  // namespace byteloom::test
