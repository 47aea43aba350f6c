// SPDX-License-Identifier: GPL-3.0-or-later
// Bytes as text in the formats other tools read, and hex text back to bytes.
// Copy as and the exports share these formatters: a format is a header, one
// line per LineBytes() bytes, and a footer, so a writer can stream it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exportfile.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;

enum class TByteFormat : uint8_t {
  bfHexText,   // "41 42 00", 16 bytes a line
  bfCArray,    // unsigned char data[] = {0x41, ...}; and data_len
  bfPython,    // b'\x41\x42\x00'
  bfBase64,    // 76 characters a line
  bfXxd,       // the dump xxd writes and xxd -r reads
  bfIntelHex,  // 16 data bytes a record, extended linear addresses above 64 KiB
  bfSRecord,   // S1, S2 or S3 records as the last address needs
};

// Bytes of one line.
int LineBytes(TByteFormat format);
// Whether lines start at multiples of LineBytes, the first one possibly
// shorter (Intel HEX and S-records). The other formats' lines run from the
// range's first byte on; an xxd line then names the offset of its own
// first byte, as `xxd -s` writes it.
bool IsAddressed(TByteFormat format);
// The longest line a format writes, in characters.
constexpr size_t kMaxFormatLine = 128;

// The range a text describes: positions [First, First + Count).
struct TFormatRange {
  int64_t First = 0;
  int64_t Count = 0;
};
std::string FormatHeader(TByteFormat format, const TFormatRange& range);
// Writes the line of n bytes at document position pos to p (at most
// kMaxFormatLine characters); returns its end. last: no line follows.
char* FormatLine(TByteFormat format, char* p, int64_t pos, const uint8_t* bytes, int n, bool last);
std::string FormatFooter(TByteFormat format, const TFormatRange& range);

// The bytes of one line after another: the callback gets (pos, n) of each
// line of the range in order.
template <class F>
void ForEachLine(TByteFormat format, const TFormatRange& range, F&& line) {
  const int64_t len = LineBytes(format);
  const int64_t end = range.First + range.Count;
  for (int64_t pos = range.First; pos < end;) {
    int64_t next = IsAddressed(format) ? (pos / len + 1) * len : pos + len;
    next = next < end ? next : end;
    line(pos, static_cast<int>(next - pos), next == end);
    pos = next;
  }
}

// The whole text of count bytes (held in memory) at position first.
std::string FormatBytes(TByteFormat format, const uint8_t* data, size_t count, int64_t first = 0);

// Hex text back to bytes: digits in pairs, with or without spaces, commas,
// braces, "0x" prefixes, "\x" escapes, a b'...' literal, and xxd dump lines
// (offset and character column are skipped), given as UTF-8. Error is empty
// when the text was read; else it names the 1-based position (in
// characters) of an odd digit group or a stray character.
struct THexParse {
  std::vector<uint8_t> Bytes;
  std::string Error;
};
THexParse ParseHexText(const std::string& text);

// Before a large export or print: nothing to say (Text empty), a question
// for the user, or a refusal (Refused).
struct TSizeCheck {
  bool Refused = false;
  std::string Text;
};
// An export of more than 1 GiB of text is asked about; one that does not fit
// into the freeBytes of the target's file system (-1: unknown) is refused.
TSizeCheck CheckTextSize(int64_t textBytes, int64_t freeBytes);
// About how many bytes of text ExportFormatted writes for the bytes from..to
// of a document of size bytes.
int64_t FormattedTextSize(TByteFormat format, int64_t from, int64_t to, int64_t size);

// Writes the bytes from..to (inclusive, clamped to the document) to target in
// a format other tools read (xxd dump, Intel HEX, S-record, Base64, C array),
// through WriteExport. Progress counts bytes.
TExportOutcome ExportFormatted(THexEditor& editor, TByteFormat format, int64_t from, int64_t to,
                              const std::string& target, const TProgress& progress = {});

}  // namespace byteloom
