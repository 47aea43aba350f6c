// SPDX-License-Identifier: GPL-3.0-or-later
// The hex dump of print and export: lines byte for byte, the range fields,
// page geometry and layout on a recording page canvas, and the export file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <numeric>

#include "editor/clipdata.h"
#include "output/dumpformat.h"
#include "platform/numconv.h"
#include "platform/platform.h"
#include "tests/support/editortest.h"
#include "tests/support/patternsource.h"
#include "tests/support/filelimit.h"

namespace byteloom::test {
namespace {

Bytes Iota(size_t n, uint8_t start = 0) {
  Bytes b(n);
  std::iota(b.begin(), b.end(), start);
  return b;
}

std::string Line(const TDumpStyle& style, int64_t l0, const Bytes& b, int first = 0, int last = 16) {
  std::string out;
  AppendDumpLine(out, style, l0, b.data(), first, last);
  return out;
}

const std::string k16Blanks(16, ' ');

TEST(DumpLine, PrintAndExportByteForByte) {
  const Bytes low = Iota(16);
  const Bytes letters = Iota(16, 'A');
  const std::string lowHex = "0001 0203 0405 0607 0809 0A0B 0C0D 0E0F";
  const std::string letterHex = "4142 4344 4546 4748 494A 4B4C 4D4E 4F50";
  struct Row {
    TDumpStyle Style;
    int64_t L0;
    const Bytes& Data;
    std::string Expected;
  } rows[] = {
      {PrintStyle(), 0, low, "0x0000000 " + lowHex + "  " + k16Blanks},
      {PrintStyle(), 0x10000000, letters, "0x10000000 " + letterHex + "  ABCDEFGHIJKLMNOP"},
      {PrintStyle(), 0x140000000, letters, "0x140000000 " + letterHex + "  ABCDEFGHIJKLMNOP"},  // past 4 GiB
      {ExportStyle(true, true, true), 0, low, " 0x0000000  " + lowHex + "  " + k16Blanks + "\n\r"},
      {ExportStyle(true, false, true), 0xFFFFFF0, letters, " 0xFFFFFF0  " + letterHex + "  ABCDEFGHIJKLMNOP\r"},
      {ExportStyle(true, true, false), 0x12345670, letters, " 0x12345670  " + letterHex + "  ABCDEFGHIJKLMNOP\n"},
      {ExportStyle(false, false, false), 0x10, low, " 0x0000010 000102030405060708090A0B0C0D0E0F  " + k16Blanks},
  };
  for (const Row& r : rows) EXPECT_EQ(Line(r.Style, r.L0, r.Data), r.Expected);
  // Unspaced: a space, "0x", 7 digits, a space, 32 digits, two spaces, 16 characters, the line end.
  EXPECT_EQ(Line(ExportStyle(false, true, true), 0, low).size(), 1 + 9 + 1 + 32 + 2 + 16 + 2u);
}

TEST(DumpLine, CharactersAndPositionsOutsideTheDocument) {
  Bytes b = {0x00, 0x1F, 0x20, 0x21, 0x41, 0x7F, 0x80, 0xFF, 'x', 'y', 'z', 0, 0, 0, 0, 0};
  EXPECT_EQ(Line(PrintStyle(), 0, b).substr(51), std::string("   !A\x7F\x80\xFFxyz     "));
  // Only [2, 4) is document data: the rest is blank in both columns.
  EXPECT_EQ(Line(PrintStyle(), -16, b, 2, 4), "0xFFFFFFF0      2021" + std::string(30, ' ') + "  " + "   !" + std::string(12, ' '));
}

TEST(RangeFields, ValuesTextsAndInitialRange) {
  EXPECT_EQ(RangeFieldValue("ff"), 255);
  EXPECT_EQ(RangeFieldValue("FFFFFFF0"), int64_t{0xFFFFFFF0});  // a position past 4 GiB
  EXPECT_EQ(RangeFieldValue("FFFFFFFFFFFFFFF0"), -16);
  EXPECT_FALSE(RangeFieldValue("xyz"));
  EXPECT_FALSE(RangeFieldValue(""));
  EXPECT_EQ(RangeFieldText(9), "09");
  EXPECT_EQ(RangeFieldText(-1), "FFFFFFFF");
  EXPECT_EQ(InitialRange(7, 7, 256), (TRangeFields{"0", "FF"}));
  EXPECT_EQ(InitialRange(-1, -1, 10), (TRangeFields{"0", "09"}));
  EXPECT_EQ(InitialRange(0x31, 0x25, 256), (TRangeFields{"25", "31"}));
}

TEST(RangeFields, RepairWhenLeft) {
  struct Row {
    TRangeFields In, Out;
  } rows[] = {
      {{"0", "xyz"}, {"0", "0"}},     {{"zz", "10"}, {"10", "10"}}, {{"0", "1000"}, {"0", "FF"}},
      {{"ZZ", "1000"}, {"1000", "FF"}}, {{"300", "20"}, {"300", "20"}},
  };
  for (Row& r : rows) {
    RepairRange(r.In, 256);
    EXPECT_EQ(r.In, r.Out) << r.Out.From << " " << r.Out.To;
  }
  TRangeFields bad{"zz", "yy"};
  EXPECT_THROW(RepairRange(bad, 256), EConvertError);
}

TEST(RangeFields, LinesOfARange) {
  struct Row {
    int32_t From, To;
    TDumpRange Expected;
  } rows[] = {
      {0x12, 0x1F, {0x10, 1}}, {0x10, 0x2F, {0x10, 2}}, {0x25, 0x31, {0x20, 2}}, {0, 31, {0, 2}},
      {0x20, 0x10, {0x20, 1}},  // one line below: still the line at from
      {0x30, 0x10, {0x30, 0}},  // two or more below: nothing
  };
  for (const Row& r : rows) EXPECT_EQ(DumpRange(r.From, r.To), r.Expected) << r.From << ".." << r.To;
  EXPECT_EQ(DumpRange(TRangeFields{"25", "31"}), (TDumpRange{0x20, 2}));
  EXPECT_THROW(DumpRange(TRangeFields{"25", "q"}), EConvertError);
}

TEST(RangeFields, SizeLineBesideTheFields) {
  constexpr int32_t kMax = 0x7FFFFFFF;
  const struct {
    const char *From, *To;
    int32_t DataSize;
    bool Valid;
    const char* Text;
  } rows[] = {
      {"0", "3FFFFFFF", kMax, true, "1,073,741,824 bytes (1 GiB)"},
      {"0", "3FFFFFF", kMax, true, "67,108,864 bytes (64 MiB)"},
      {"0", "3FFFFFFE", kMax, true, "1,073,741,823 bytes (1 GiB)"},  // 1023.99 MiB rounds up a unit
      {"0", "11FF", 0x1200, true, "4,608 bytes (4.5 KiB)"},
      {"10", "40F", 0x1000, true, "1,024 bytes (1 KiB)"},
      {"10", "40E", 0x1000, true, "1,023 bytes"},
      {"ff", "FF", 0x100, true, "1 byte"},
      {"0", "0", 0, false, "The document is empty"},
      {"zz", "10", 0x100, false, "The start is no hex number"},
      {"0", "", 0x100, false, "The end is no hex number"},
      {"FFFFFFFF", "10", 0x100, false, "The start lies outside the document (00 to FF)"},
      {"0", "3FFFFFFF", 0x493E0, false, "The end lies past the last position 493DF"},
      {"20", "1F", 0x100, false, "The end lies before the start"},
  };
  for (const auto& r : rows) {
    const TRangeSize size = RangeSize({r.From, r.To}, r.DataSize);
    EXPECT_EQ(std::pair(size.Valid, size.Text), std::pair(r.Valid, std::string(r.Text))) << r.From << ".." << r.To;
  }
}

TEST(PrintToFile, ANameWithoutExtensionGetsPdf) {
  for (const auto& [chosen, file] : std::initializer_list<std::pair<const char*, const char*>>{
           {"/d/report", "/d/report.pdf"}, {"/d.x/report", "/d.x/report.pdf"}, {"/d/report.pdf", "/d/report.pdf"},
           {"/d/report.PDF", "/d/report.PDF"}, {"/d/dump.txt", "/d/dump.txt"}, {"", ""}})
    EXPECT_EQ(PdfFileName(chosen), file) << chosen;
}

TEST(PageGeometry, TheExamplePagesAndRounding) {
  const TPageGeometry a4 = PageGeometry(4960, 7016);
  EXPECT_EQ(a4.FH, 70);
  EXPECT_EQ(a4.Y0, 421);
  EXPECT_EQ(a4.Y1, 6876);
  EXPECT_EQ(a4.X0, 99);
  EXPECT_EQ(a4.X1, 4861);
  EXPECT_EQ(a4.LinesPerPage(), 91);
  const TPageGeometry preview = PageGeometry(198, 278);
  EXPECT_EQ(preview.FH, 3);
  EXPECT_EQ(preview.LinesPerPage(), 84);
  EXPECT_EQ(MulDiv(5, 1, 2), 3);
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);
  std::tm t{};
  t.tm_mday = 8, t.tm_mon = 11, t.tm_year = 126, t.tm_hour = 9, t.tm_min = 5;
  EXPECT_EQ(FooterDate(t), "  8/12/26  09:05");
}

TEST(PageGeometry, BreakingOverWideLines) {
  const auto width = [](const std::string& s) { return static_cast<int>(s.size()) * 10; };
  using V = std::vector<std::string>;
  EXPECT_EQ(BreakLine("aaa bbb ccc", 50, width), (V{"aaa", "bbb", "ccc"}));
  EXPECT_EQ(BreakLine("aaa bbb ccc", 70, width), (V{"aaa bbb", "ccc"}));
  EXPECT_EQ(BreakLine("abcdefghij", 35, width), (V{"abc", "def", "ghi", "j"}));
  EXPECT_EQ(BreakLine("abc", 30, width), (V{"abc"}));
}

// Records the text of a page job; characters are 6/10 of the font's height wide.
struct TRecordingPageCanvas : TPageCanvas {
  struct TText {
    int Page, X, Y;
    std::string Text;
    TPageFont Font;
  };
  std::vector<TText> Texts;
  int Page = 1, Clears = 0, CharWidth = 0;
  TPageFont Current;

  void SetFont(const TPageFont& font) override { Current = font; }
  int TextWidth(const std::string& s) override {
    return static_cast<int>(s.size()) * (CharWidth ? CharWidth : Current.Height * 6 / 10);
  }
  int MaxCharWidth() override { return TextWidth("W"); }
  int TextHeight(const std::string&) override { return Current.Height; }
  void TextOut(int x, int y, const std::string& s) override { Texts.push_back({Page, x, y, s, Current}); }
  void ClearPage(const TRect& r) override { Clears += r == TRect{0, 0, 4960, 7016}; }
  bool NewPage() override { return ++Page, true; }
  std::vector<TText> Body() const {
    std::vector<TText> out;
    for (const TText& t : Texts)
      if (t.Font.Name == "Courier New") out.push_back(t);
    return out;
  }
};

class DumpPages : public EditorTest {
 protected:
  int Run(TRecordingPageCanvas& canvas, int64_t lines, TPageMode mode, int64_t from = 0) {
    TDumpReader reader(*Ed);
    return DrawDumpPages(canvas, 4960, 7016, TPageJob{"doc.bin", "www.x.example  8/12/26  09:05", {from, lines}},
                         reader, mode);
  }
};

TEST_F(DumpPages, CountsAtTheLinesPerPageBoundary) {
  Load(Pattern(92 * 16));
  for (auto [lines, pages] : {std::pair{0, 1}, {1, 1}, {91, 1}, {92, 2}, {182, 2}, {183, 3}}) {
    TRecordingPageCanvas print, count;
    EXPECT_EQ(Run(print, lines, TPageMode::pmPrint), pages) << lines;
    EXPECT_EQ(Run(count, lines, TPageMode::pmCount), pages) << lines;
    EXPECT_EQ(print.Page, pages);
    EXPECT_EQ(print.Clears, pages);
    EXPECT_EQ(print.Body().size(), static_cast<size_t>(lines));
    EXPECT_TRUE(count.Texts.empty());
  }
  TRecordingPageCanvas first;
  EXPECT_EQ(Run(first, 183, TPageMode::pmFirstPage), 1);
  EXPECT_EQ(first.Body().size(), 91u);
}

TEST_F(DumpPages, LinesPastFourGiBCarryTheirWholeOffset) {
  const int64_t size = (int64_t{1} << 40) + 5;  // a tebibyte, generated
  test::TPatternSource source(size, 3);
  TDumpReader reader(source);
  TRecordingPageCanvas canvas;
  const int64_t from = (int64_t{1} << 40) - 32;
  DrawDumpPages(canvas, 4960, 7016, TPageJob{"t", "f", {from, 3}}, reader, TPageMode::pmPrint);
  ASSERT_EQ(canvas.Body().size(), 3u);
  for (int k = 0; k < 3; ++k) {
    const int64_t l0 = from + 16 * k;
    uint8_t bytes[16] = {};
    const int64_t n = std::min<int64_t>(16, size - l0);
    source.Read(bytes, l0, n);
    std::string line;
    AppendDumpLine(line, PrintStyle(), l0, bytes, 0, static_cast<int>(n));
    EXPECT_EQ(canvas.Body()[static_cast<size_t>(k)].Text, line);
  }
  EXPECT_EQ(canvas.Body()[2].Text.substr(0, 13), "0x10000000000");
}

TEST_F(DumpPages, PageLayout) {
  Load(Pattern(92 * 16 + 4));
  TRecordingPageCanvas c;
  ASSERT_EQ(Run(c, 93, TPageMode::pmPrint), 2);
  const auto body = c.Body();
  // Title (Arial 140 bold italic) and the second line centred; the footer near the bottom.
  const auto& title = c.Texts[0];
  EXPECT_EQ(title.Text, "doc.bin");
  EXPECT_EQ(title.Font.Height, 140);
  EXPECT_TRUE(title.Font.Bold && title.Font.Italic);
  EXPECT_EQ(title.X, (4960 - 7 * 84) / 2);
  EXPECT_EQ(title.Y, 70);
  EXPECT_EQ(c.Texts[1].Text, "Printed by Orvanta Byteloom");
  EXPECT_EQ(c.Texts[1].Y, 210);
  EXPECT_EQ(c.Texts[2].Text, "www.x.example  8/12/26  09:05   Page:1");
  EXPECT_EQ(c.Texts[2].Y, 7016 - (3 * 70) / 2);
  EXPECT_EQ(body[0].X, 99);
  EXPECT_EQ(body[0].Y, 421);
  EXPECT_EQ(body[90].Y, 421 + 90 * 70);
  EXPECT_EQ(body[91].Page, 2);
  EXPECT_EQ(body[91].Y, 421);
  EXPECT_EQ(body[0].Text, Line(PrintStyle(), 0, Pattern(16)));
  // The last line holds 4 bytes of the document; the rest is blank.
  const Bytes doc = Pattern(92 * 16 + 4);
  Bytes padded(doc.end() - 4, doc.end());
  padded.resize(16);
  EXPECT_EQ(body[92].Text, Line(PrintStyle(), 92 * 16, padded, 0, 4));
  EXPECT_EQ(c.Texts.back().Text, body[92].Text);
}

TEST_F(DumpPages, OverWideLinesTakeSeveralPageLines) {
  Load(Bytes(64 * 16, 'A'));
  // 67 characters of 40 pixels fit into 4762; of 200 pixels a line takes four page lines.
  for (auto [charWidth, lines, pages] : {std::tuple{40, 91, 1}, {200, 22, 1}, {200, 23, 2}}) {
    TRecordingPageCanvas c;
    c.CharWidth = charWidth;
    EXPECT_EQ(Run(c, lines, TPageMode::pmCount), pages) << charWidth << " " << lines;
  }
  TRecordingPageCanvas c;
  c.CharWidth = 200;
  Run(c, 1, TPageMode::pmPrint);
  const auto body = c.Body();
  ASSERT_EQ(body.size(), 4u);
  std::string joined = body[0].Text;
  for (size_t i = 1; i < body.size(); ++i) {
    joined += " " + body[i].Text;
    EXPECT_EQ(body[i].Y, 421 + static_cast<int>(i) * 70);
  }
  EXPECT_EQ(joined, Line(PrintStyle(), 0, Bytes(16, 'A')));
  for (const auto& piece : body) EXPECT_LE(static_cast<int>(piece.Text.size()) * 200, 4861 - 99);
}

TEST_F(DumpPages, ProgressCanStopTheJob) {
  Load(Pattern(4096 * 16));
  TRecordingPageCanvas c;
  TDumpReader reader(*Ed);
  int calls = 0;
  const int pages = DrawDumpPages(c, 4960, 7016, TPageJob{"t", "f", {0, 4096}}, reader, TPageMode::pmPrint,
                                  [&calls](int64_t, int64_t) { return ++calls < 3; });
  EXPECT_EQ(calls, 3);
  EXPECT_LT(pages, 45);
  EXPECT_LT(c.Body().size(), 4096u);
}

TEST(LargeWork, ClipboardExportAndPrintAskOrRefuseBeyondTheirLimits) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  // The clipboard: a quarter of the memory, or anything where it is unknown.
  EXPECT_EQ(ClipboardRefusal(6 * kGiB, 24 * kGiB), "");
  EXPECT_EQ(ClipboardRefusal(int64_t{1} << 40, -1), "");
  EXPECT_EQ(ClipboardRefusal(6 * kGiB + 1, 24 * kGiB),
            "The selection holds 6,442,450,945 bytes (6 GiB). Copy keeps it in memory twice, as bytes and as a text "
            "for other programs, and this computer has 25,769,803,776 bytes (24 GiB) of memory: Byteloom copies at "
            "most a quarter of that, 6,442,450,944 bytes (6 GiB). Select less.");
  // Just over 1 GiB of export lines is asked about; more than fits is refused.
  const TDumpStyle style = ExportStyle(true, true, false);
  const int64_t perLine = ExportTextSize(DumpRange(int64_t{1} << 40, (int64_t{1} << 40) + 15), style);
  const auto lines = [](int64_t n) { return TDumpRange{int64_t{1} << 40, n}; };
  const struct {
    TSizeCheck Check;
    bool Refused;
    const char* Text;
  } rows[] = {
      {CheckExportSize(lines(kGiB / perLine), style, -1), false, ""},
      {CheckExportSize(lines(kGiB / perLine + 1), style, 100 * kGiB), false,
       "The export writes 1,073,741,850 bytes (1 GiB) of text. Export it?"},
      {CheckExportSize(lines(100), style, 100 * perLine - 1), true, ""},
      {CheckPrintSize(lines(60'000), 60), false, ""},
      {CheckPrintSize(lines(60'001), 60), false, "The range prints about 1,001 pages. Print them?"},
      {CheckPrintSize(lines(int64_t{60} << 31), 60), true,
       "The range would print 2,147,483,648 pages, more than a print job can count. Choose a smaller range."},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.Check.Refused, r.Refused) << r.Check.Text;
    if (*r.Text || !r.Refused) EXPECT_EQ(r.Check.Text, r.Text);
  }
  EXPECT_NE(rows[2].Check.Text.find("are free where it would go"), std::string::npos) << rows[2].Check.Text;
}

class DumpExport : public EditorTest {
 protected:
  std::string Text(const std::string& path) {
    const Bytes b = ReadFile(path);
    return std::string(b.begin(), b.end());
  }
};

TEST_F(DumpExport, WritesTheRangeLineByLine) {
  const Bytes doc = Pattern(0x40 + 5);
  Load(doc);
  const std::string out = Path("out.txt");
  struct Row {
    TDumpRange Range;
    TDumpStyle Style;
  } rows[] = {{DumpRange(0, 31), ExportStyle(true, true, true)},
              {DumpRange(0x25, 0x31), ExportStyle(false, false, true)},
              {DumpRange(0x30, 0x44), ExportStyle(true, false, false)},
              {DumpRange(0x40, 0x20), ExportStyle(true, true, true)}};
  for (const Row& r : rows) {
    std::string expected;
    for (int64_t k = 0; k < r.Range.Lines; ++k) {
      const int64_t l0 = r.Range.From + 16 * k;
      const int64_t n = std::min<int64_t>(16, static_cast<int64_t>(doc.size()) - l0);
      Bytes line(doc.begin() + l0, doc.begin() + l0 + n);
      line.resize(16);
      expected += Line(r.Style, l0, line, 0, static_cast<int>(n));
    }
    ASSERT_TRUE(ExportDump(*Ed, r.Range, r.Style, out));
    EXPECT_EQ(Text(out), expected);
    EXPECT_EQ(ExportTextSize(r.Range, r.Style), static_cast<int64_t>(expected.size()));
  }
  EXPECT_EQ(List(Dir()), (std::vector<std::string>{"doc.bin", "out.txt", "tmp"}));
}

TEST_F(DumpExport, CancelAndFailureLeaveTheTargetAsItWas) {
  Load(Pattern(64 * 1024));
  const std::string out = Path("out.txt");
  WriteFile(out, Bytes{'o', 'l', 'd'});
  const TDumpRange range = DumpRange(0, 64 * 1024 - 1);
  const TDumpStyle style = ExportStyle(true, true, true);
  EXPECT_FALSE(ExportDump(*Ed, range, style, out, [](int64_t, int64_t) { return false; }));
  EXPECT_EQ(Text(out), "old");
  // A file size limit stands in for a full disk.
  try {
    TFileSizeLimit full(100000);
    ExportDump(*Ed, range, style, out);
    ADD_FAILURE() << "the export did not fail";
  } catch (const EFileError& e) {
    EXPECT_EQ(std::string(e.what()), "The export to " + out + " failed: " + ErrnoText(EFBIG));
  }
  EXPECT_EQ(Text(out), "old");
  EXPECT_EQ(List(Dir()), (std::vector<std::string>{"doc.bin", "out.txt", "tmp"}));
  // A folder as target is refused with its reason.
  EXPECT_THROW(ExportDump(*Ed, range, style, Dir()), EFileError);
  // A complete export replaces the file and keeps its permission bits.
  chmod(out.c_str(), 0640);
  ASSERT_TRUE(ExportDump(*Ed, DumpRange(0, 15), style, out));
  struct stat st;
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(st.st_size, 71);
}

}  // namespace
}  // namespace byteloom::test
