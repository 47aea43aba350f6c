// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/dumpformat.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "control/hexeditor.h"
#include "platform/filenames.h"
#include "platform/guard.h"
#include "platform/numconv.h"
#include "platform/platform.h"

namespace byteloom {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Progress is reported every this many lines of a page job.
constexpr int64_t kProgressLines = 256;

// The longest line: lead, offset, values, characters and line end.
constexpr size_t kMaxLine = 128;

char* Put(char* p, const char* s) {
  while (*s) *p++ = *s++;
  return p;
}

// Two hex digits and the dump character of every byte value.
struct TByteTexts {
  char Hex[256][2];
  char Char[256];
  TByteTexts() {
    for (int b = 0; b < 256; ++b) {
      Hex[b][0] = kHexDigits[b >> 4];
      Hex[b][1] = kHexDigits[b & 15];
      Char[b] = b > 32 ? static_cast<char>(b) : ' ';
    }
  }
};
const TByteTexts kByteTexts;

// Writes the line of l0 at p (at most kMaxLine characters); returns its end.
char* FormatDumpLine(char* p, const TDumpStyle& style, int64_t l0, const uint8_t* bytes, int first, int last) {
  p = Put(p, style.Lead);
  *p++ = '0';
  *p++ = 'x';
  // Seven digits at least, as many as the position needs; a position below
  // 0 shows as its 32-bit pattern.
  const uint64_t v = l0 < 0 ? uint64_t{static_cast<uint32_t>(l0)} : static_cast<uint64_t>(l0);
  int digits = 7;
  while (digits < 16 && (v >> (4 * digits)) != 0) ++digits;
  for (int i = digits - 1; i >= 0; --i) *p++ = kHexDigits[(v >> (4 * i)) & 15];
  p = Put(p, style.AfterOffset);
  char* chars = p + 2 * kDumpLineBytes + (style.SpacedPairs ? kDumpLineBytes / 2 : 0) + 2;
  for (int i = 0; i < kDumpLineBytes; ++i) {
    if (style.SpacedPairs && i % 2 == 0) *p++ = ' ';
    if (i >= first && i < last) {
      std::memcpy(p, kByteTexts.Hex[bytes[i]], 2);
      chars[i] = kByteTexts.Char[bytes[i]];
    } else {
      p[0] = p[1] = chars[i] = ' ';
    }
    p += 2;
  }
  p[0] = p[1] = ' ';
  p = chars + kDumpLineBytes;
  std::memcpy(p, style.LineEnd.data(), style.LineEnd.size());
  return p + style.LineEnd.size();
}

}  // namespace

// ---------------------------------------------------------------------------
// Dump lines
// ---------------------------------------------------------------------------

TDumpStyle PrintStyle() { return TDumpStyle{}; }

TDumpStyle ExportStyle(bool spaced, bool char10, bool char13) {
  TDumpStyle style{" ", " ", spaced, {}};
  if (char10) style.LineEnd += '\n';
  if (char13) style.LineEnd += '\r';
  return style;
}

void AppendDumpLine(std::string& out, const TDumpStyle& style, int64_t l0, const uint8_t* bytes, int first, int last) {
  char buf[kMaxLine];
  out.append(buf, static_cast<size_t>(FormatDumpLine(buf, style, l0, bytes, first, last) - buf));
}

// ---------------------------------------------------------------------------
// Range fields
// ---------------------------------------------------------------------------

std::optional<int64_t> RangeFieldValue(const std::string& text) { return TryStrToInt64("$" + text); }

std::string RangeFieldText(int64_t value) { return PositionHex(value); }

TRangeFields InitialRange(int64_t selStart, int64_t selEnd, int64_t dataSize) {
  if (selStart == selEnd) return {"0", RangeFieldText(dataSize - 1)};
  return {RangeFieldText(std::min(selStart, selEnd)), RangeFieldText(std::max(selStart, selEnd))};
}

void RepairRange(TRangeFields& fields, int64_t dataSize) {
  if (!RangeFieldValue(fields.To)) fields.To = fields.From;
  if (!RangeFieldValue(fields.From)) fields.From = fields.To;
  if (StrToInt64("$" + fields.To) > dataSize - 1) fields.To = RangeFieldText(dataSize - 1);
}

int64_t ExportTextSize(const TDumpRange& range, const TDumpStyle& style) {
  if (range.Lines <= 0) return 0;
  // The last line's offset has the most digits: every line is at most as long.
  const uint8_t bytes[kDumpLineBytes] = {};
  std::string line;
  AppendDumpLine(line, style, range.From + (range.Lines - 1) * kDumpLineBytes, bytes);
  return range.Lines * static_cast<int64_t>(line.size());
}

TSizeCheck CheckExportSize(const TDumpRange& range, const TDumpStyle& style, int64_t freeBytes) {
  return CheckTextSize(ExportTextSize(range, style), freeBytes);
}

TSizeCheck CheckPrintSize(const TDumpRange& range, int linesPerPage) {
  const int64_t perPage = std::max(linesPerPage, 1);
  const int64_t pages = (std::max<int64_t>(range.Lines, 0) + perPage - 1) / perPage;
  const std::string count = ThousandsText(pages);
  if (pages > std::numeric_limits<int32_t>::max())
    return {true, "The range would print " + count + " pages, more than a print job can count. Choose a smaller range."};
  if (pages > 1000) return {false, "The range prints about " + count + " pages. Print them?"};
  return {};
}

TRangeSize RangeSize(const TRangeFields& fields, int64_t dataSize) {
  if (dataSize <= 0) return {false, "The document is empty"};
  const std::optional<int64_t> from = RangeFieldValue(fields.From);
  const std::optional<int64_t> to = RangeFieldValue(fields.To);
  const std::string last = RangeFieldText(dataSize - 1);
  if (!from) return {false, "The start is no hex number"};
  if (!to) return {false, "The end is no hex number"};
  if (*from < 0 || *from > dataSize - 1) return {false, "The start lies outside the document (00 to " + last + ")"};
  if (*to > dataSize - 1) return {false, "The end lies past the last position " + last};
  if (*to < *from) return {false, "The end lies before the start"};
  return {true, ByteCountText(*to - *from + 1)};
}

TDumpRange DumpRange(int64_t from, int64_t to) {
  const int64_t from16 = from / kDumpLineBytes * kDumpLineBytes;
  const int64_t to16 = to / kDumpLineBytes * kDumpLineBytes;
  const int64_t lines = (to16 - from16 + 1) / kDumpLineBytes + 1;
  return {from16, std::max<int64_t>(lines, 0)};
}

TDumpRange DumpRange(const TRangeFields& fields) {
  return DumpRange(StrToInt64("$" + fields.From), StrToInt64("$" + fields.To));
}

std::string PdfFileName(const std::string& chosen) {
  return chosen.empty() || !ExtractFileExt(chosen).empty() ? chosen : chosen + ".pdf";
}

TDumpReader::TDumpReader(TByteSource& source) : FSize(source.Size()), FPieces(source, 0, FSize) {}

TDumpReader::TDumpReader(THexEditor& editor)
    : FEditorSource(std::make_unique<TEditorSource>(editor)),
      FSize(FEditorSource->Size()),
      FPieces(*FEditorSource, 0, FSize) {}

const uint8_t* TDumpReader::Line(int64_t l0, int& first, int& last) {
  first = static_cast<int>(std::clamp<int64_t>(-l0, 0, kDumpLineBytes));
  last = static_cast<int>(std::clamp<int64_t>(FSize - l0, 0, kDumpLineBytes));
  if (first >= last) {
    first = last = 0;
    return FLine;
  }
  const uint8_t* bytes = FPieces.At(l0 + first, last - first);
  if (first == 0) return bytes;
  std::memcpy(FLine + first, bytes, static_cast<size_t>(last - first));
  return FLine;
}

// ---------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------

TExportOutcome ExportDump(THexEditor& editor, const TDumpRange& range, const TDumpStyle& style, const std::string& target,
                const TProgress& progress) {
  TDumpReader reader(editor);
  char probe[kMaxLine];
  // Every line has the same length: a full disk shows before the work.
  const int64_t lineLength = FormatDumpLine(probe, style, range.From, nullptr, 0, 0) - probe;
  return WriteExport(target, lineLength * range.Lines, [&](TExportSink& out) {
    for (int64_t k = 0; k < range.Lines; ++k) {
      const int64_t l0 = range.From + k * kDumpLineBytes;
      int first, last;
      const uint8_t* bytes = reader.Line(l0, first, last);
      if ((out.Put(FormatDumpLine(out.Room(), style, l0, bytes, first, last)) || k + 1 == range.Lines) && progress &&
          !progress(k + 1, range.Lines))
        return false;
    }
    return true;
  });
}

// ---------------------------------------------------------------------------
// Pages
// ---------------------------------------------------------------------------

const char* const kPrintedBy = "Printed by Orvanta Byteloom";
const char* const kFooterAddress = "www.velmora-soft.example";

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t q = std::llabs(c);
  const int64_t r = (std::llabs(p) + q / 2) / q;
  return static_cast<int>(((p < 0) != (c < 0)) ? -r : r);
}

int TPageGeometry::LinesPerPage() const { return FH > 0 ? std::max((Y1 - Y0) / FH - 1, 1) : 1; }

TPageGeometry PageGeometry(int w, int h) {
  return TPageGeometry{w, h, MulDiv(w, 2, 100), MulDiv(w, 98, 100), MulDiv(h, 6, 100), MulDiv(h, 98, 100),
                       MulDiv(h, 10, 1000)};
}

std::string FooterDate(const std::tm& t) {
  char buf[48];
  std::snprintf(buf, sizeof buf, "  %d/%d/%02d  %02d:%02d", t.tm_mday, t.tm_mon + 1, t.tm_year % 100, t.tm_hour,
                t.tm_min);
  return buf;
}

std::vector<std::string> BreakLine(const std::string& text, int limit,
                                   const std::function<int(const std::string&)>& width) {
  std::vector<std::string> out;
  std::string rest = text;
  while (width(rest) > limit) {
    size_t n = 1;  // the length of the first piece that is too wide
    while (n < rest.size() && width(rest.substr(0, n)) <= limit) ++n;
    const size_t space = rest.rfind(' ', n - 1);
    if (space != std::string::npos) {
      out.push_back(rest.substr(0, space));
      rest.erase(0, space + 1);
    } else {
      const size_t keep = std::max<size_t>(n - 1, 1);
      out.push_back(rest.substr(0, keep));
      rest.erase(0, keep);
    }
    if (rest.empty()) return out;
  }
  out.push_back(rest);
  return out;
}

namespace {

void DrawCentred(TPageCanvas& canvas, int w, int top, const std::string& text) {
  canvas.TextOut((w - canvas.TextWidth(text)) / 2, top, text);
}

void DrawPageHeader(TPageCanvas& canvas, int w, int h, const std::string& title, const std::string& second) {
  canvas.SetFont(TPageFont{"Arial", MulDiv(h, 2, 100), true, true, clBlack});
  DrawCentred(canvas, w, MulDiv(h, 1, 100), title);
  canvas.SetFont(TPageFont{"Times New Roman", MulDiv(h, 15, 1000), false, false, clBlack});
  DrawCentred(canvas, w, MulDiv(h, 3, 100), second);
}

void DrawPageFooter(TPageCanvas& canvas, int w, int h, const std::string& lead, int page) {
  canvas.SetFont(TPageFont{"Times New Roman", MulDiv(h, 1, 100), false, false, clBlack});
  const std::string text = lead + "   Page:" + std::to_string(page);
  DrawCentred(canvas, w, h - (3 * canvas.TextHeight(text)) / 2, text);
}

}  // namespace

int DrawDumpPages(TPageCanvas& canvas, int w, int h, const TPageJob& job, TDumpReader& reader, TPageMode mode,
                  const TProgress& progress) {
  const TPageGeometry g = PageGeometry(w, h);
  const TPageFont body{"Courier New", g.FH, false, false, clWindowText};
  const TDumpStyle style = PrintStyle();
  const bool draw = mode != TPageMode::pmCount;
  const auto width = [&canvas](const std::string& s) { return canvas.TextWidth(s); };
  std::vector<std::string> pieces;  // the page lines of the current dump line
  size_t next = 0;                  // the next of them to place
  int64_t line = 0;
  std::string text;
  int pages = 0;
  for (;;) {
    ++pages;
    if (draw) {
      canvas.ClearPage(TRect{0, 0, w, h});
      DrawPageHeader(canvas, w, h, job.Title, kPrintedBy);
      DrawPageFooter(canvas, w, h, job.FooterLead, pages);
    }
    canvas.SetFont(body);
    for (int row = 0; row < g.LinesPerPage(); ++row) {
      if (next == pieces.size()) {
        if (line >= job.Range.Lines) break;
        if (progress && line % kProgressLines == 0 && !progress(line, job.Range.Lines)) return pages;
        const int64_t l0 = job.Range.From + line * kDumpLineBytes;
        int first, last;
        const uint8_t* bytes = reader.Line(l0, first, last);
        text.clear();
        AppendDumpLine(text, style, l0, bytes, first, last);
        const int maxChar = canvas.MaxCharWidth();
        if (maxChar > 0 && static_cast<int64_t>(text.size()) * maxChar <= g.X1 - g.X0)
          pieces.assign(1, text);
        else
          pieces = BreakLine(text, g.X1 - g.X0, width);
        next = 0;
        ++line;
      }
      if (draw) canvas.TextOut(g.X0, g.Y0 + row * g.FH, pieces[next]);
      ++next;
    }
    const bool more = next < pieces.size() || line < job.Range.Lines;
    if (!more || mode == TPageMode::pmFirstPage) return pages;
    if (mode == TPageMode::pmPrint && !canvas.NewPage()) return pages;
  }
}

}  // namespace byteloom
