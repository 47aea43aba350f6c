// SPDX-License-Identifier: GPL-3.0-or-later
// The hex dump of a range of a document, as printed pages and as an exported
// text file: dump lines, the range fields, page geometry and the drawing of
// pages through a page canvas. Toolkit-free.
//
// Both outputs read the document in pieces and format line by line, so their
// memory stays flat whatever the range. Positions outside the document (past
// its end, or before its start when the range starts below 0) show as blanks
// in the hex and the character columns.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control/byteformats.h"
#include "control/bytesource.h"
#include "control/types.h"
#include "platform/exportfile.h"
#include "platform/numconv.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;
class TFileHandle;

constexpr int kDumpLineBytes = 16;

// ---------------------------------------------------------------------------
// Dump lines
// ---------------------------------------------------------------------------

// How a line looks. Printed lines: "0x", the offset, eight groups of " " and
// four digits, two spaces, the characters. Exported lines: a space first, a
// space after the offset, the values spaced in pairs or not, the line end.
struct TDumpStyle {
  const char* Lead = "";         // before "0x"
  const char* AfterOffset = "";  // between the offset and the values
  bool SpacedPairs = true;       // a space before the 1st, 3rd ... 15th value
  std::string LineEnd;           // after the characters
};

TDumpStyle PrintStyle();
// The export's style: spaced values or not, character 10 and/or 13 at the end.
TDumpStyle ExportStyle(bool spaced, bool char10, bool char13);

// Appends the line of offset l0. bytes holds the line's 16 bytes, of which
// only those in [first, last) are document data; the others show as blanks.
// A byte of 32 or less is a space in the character column, others are
// themselves (a Windows-1252 code).
void AppendDumpLine(std::string& out, const TDumpStyle& style, int64_t l0, const uint8_t* bytes, int first = 0,
                    int last = kDumpLineBytes);

// ---------------------------------------------------------------------------
// The range fields: hexadecimal without prefix
// ---------------------------------------------------------------------------

// The value of a range field ("$" + text through the number conversion).
std::optional<int64_t> RangeFieldValue(const std::string& text);
// A value as a range field shows it: upper-case hex, at least two digits.
std::string RangeFieldText(int64_t value);

struct TRangeFields {
  std::string From;
  std::string To;
  bool operator==(const TRangeFields&) const = default;
};

// The fields when a dialog opens: the selection's bounds, or the whole
// document when SelStart = SelEnd.
TRangeFields InitialRange(int64_t selStart, int64_t selEnd, int64_t dataSize);
// The repair when a field is left: an unreadable "to" takes the text of
// "from", an unreadable "from" that of "to"; "to" is pulled back to the last
// position. Raises EConvertError when neither is readable.
void RepairRange(TRangeFields& fields, int64_t dataSize);

// What the range fields cover, for the line beside them: the range's size
// ("1,073,741,824 bytes (1 GiB)"), or why it covers nothing (Valid false).
struct TRangeSize {
  bool Valid = false;
  std::string Text;
};
TRangeSize RangeSize(const TRangeFields& fields, int64_t dataSize);

// The lines a range covers: from rounded down to 16, lines = (to16 - from +
// 1) div 16 + 1 (truncating), none when that is 0 or less.
struct TDumpRange {
  int64_t From = 0;
  int64_t Lines = 0;
  bool operator==(const TDumpRange&) const = default;
};
TDumpRange DumpRange(int64_t from, int64_t to);
// DumpRange of the fields' values; raises EConvertError for an unreadable one.
TDumpRange DumpRange(const TRangeFields& fields);

// The export of range in style writes about this many bytes of text.
int64_t ExportTextSize(const TDumpRange& range, const TDumpStyle& style);
// CheckTextSize of that export.
TSizeCheck CheckExportSize(const TDumpRange& range, const TDumpStyle& style, int64_t freeBytes);
// A print of more than 1,000 pages (of linesPerPage dump lines) is asked
// about; one of more pages than a print job can count is refused.
TSizeCheck CheckPrintSize(const TDumpRange& range, int linesPerPage);

// The file a print to PDF writes for the name the user chose: a name
// without an extension gets ".pdf"; any other stays as it is.
std::string PdfFileName(const std::string& chosen);

// Reads a document line by line in large pieces.
class TDumpReader {
 public:
  explicit TDumpReader(TByteSource& source);
  // The working copy of the editor's document.
  explicit TDumpReader(THexEditor& editor);
  // The 16 bytes of the line at l0; [first, last) are document data.
  const uint8_t* Line(int64_t l0, int& first, int& last);

 private:
  std::unique_ptr<TByteSource> FEditorSource;  // when made for an editor
  int64_t FSize;
  TPieceReader FPieces;
  uint8_t FLine[kDumpLineBytes] = {};
};

// ---------------------------------------------------------------------------
// Export
// ---------------------------------------------------------------------------

// Writes the range's lines to target: to a new file beside it, renamed over
// it once complete. Not done when progress cancelled (target untouched).
// Raises EFileError with the reason when writing fails; an existing target
// is then left as it was.
TExportOutcome ExportDump(THexEditor& editor, const TDumpRange& range, const TDumpStyle& style, const std::string& target,
                const TProgress& progress = {});

// ---------------------------------------------------------------------------
// Pages
// ---------------------------------------------------------------------------

// A font of a page: cell height in device pixels.
struct TPageFont {
  std::string Name;
  int Height = 0;
  bool Bold = false;
  bool Italic = false;
  TColor Color = clBlack;
};

// What page drawing needs of a printer or an image. Text is Windows-1252 and
// drawn with a transparent background.
class TPageCanvas {
 public:
  virtual ~TPageCanvas() = default;
  virtual void SetFont(const TPageFont& font) = 0;
  virtual int TextWidth(const std::string& text) = 0;
  // The widest character of the font (0: unknown), so that a line of n
  // characters is known to fit without measuring it.
  virtual int MaxCharWidth() = 0;
  virtual int TextHeight(const std::string& text) = 0;
  virtual void TextOut(int x, int y, const std::string& text) = 0;
  // A white-bordered rectangle over the whole page, filled white.
  virtual void ClearPage(const TRect& page) = 0;
  // Starts a new page (printers); false when the job cannot go on.
  virtual bool NewPage() = 0;
};

// The proportions of a page of W x H device pixels; a*b/c rounds to nearest.
struct TPageGeometry {
  int W = 0, H = 0;
  int X0 = 0, X1 = 0, Y0 = 0, Y1 = 0, FH = 0;
  int LinesPerPage() const;
};
TPageGeometry PageGeometry(int w, int h);
// a*b/c rounded to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c);

// The title line under the caption, and the maker's address of the footer.
extern const char* const kPrintedBy;
extern const char* const kFooterAddress;
// The footer's date and time: "  d/m/yy  hh:nn".
std::string FooterDate(const std::tm& t);

// Splits text into page lines no wider than limit: taken character by
// character, a piece that grows too wide is cut at the last space taken (the
// space dropped), or before the last character when it holds none.
std::vector<std::string> BreakLine(const std::string& text, int limit, const std::function<int(const std::string&)>& width);

enum class TPageMode {
  pmPrint,      // every page, a new page between two
  pmCount,      // counts the pages, draws nothing
  pmFirstPage,  // only the first page
};

struct TPageJob {
  std::string Title;
  std::string FooterLead;  // the maker's address and the date, before "   Page:"
  TDumpRange Range;
};

// Draws (or counts) the pages of the job on a W x H surface; returns the
// number of pages. progress may stop the work: the pages done so far count.
int DrawDumpPages(TPageCanvas& canvas, int w, int h, const TPageJob& job, TDumpReader& reader, TPageMode mode,
                  const TProgress& progress = {});

}  // namespace byteloom
