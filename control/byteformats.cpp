// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/byteformats.h"

#include <algorithm>
#include <cstring>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "platform/numconv.h"

namespace byteloom {

namespace {

constexpr char kUpper[] = "0123456789ABCDEF";
constexpr char kLower[] = "0123456789abcdef";
constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char* PutHex(char* p, uint64_t v, int digits, const char* set = kUpper) {
  for (int i = digits - 1; i >= 0; --i) *p++ = set[(v >> (4 * i)) & 15];
  return p;
}
char* Put(char* p, const char* s) {
  while (*s) *p++ = *s++;
  return p;
}

// A record of Intel HEX or S-record: the bytes after the start code and
// their checksum (two's or ones' complement of the sum).
struct TRecord {
  uint8_t Bytes[48];
  int Count = 0;
  void Add(uint8_t b) { Bytes[Count++] = b; }
  void AddAddress(uint64_t a, int width) {
    for (int i = width - 1; i >= 0; --i) Add(static_cast<uint8_t>(a >> (8 * i)));
  }
  char* Write(char* p, bool twos) const {
    unsigned sum = 0;
    for (int i = 0; i < Count; ++i) {
      p = PutHex(p, Bytes[i], 2);
      sum += Bytes[i];
    }
    p = PutHex(p, static_cast<uint8_t>(twos ? 0x100 - (sum & 0xFF) : ~sum), 2);
    *p++ = '\n';
    return p;
  }
};

char* ExtendedAddress(char* p, int64_t pos) {
  TRecord r;
  r.Add(2);
  r.AddAddress(0, 2);
  r.Add(4);
  r.AddAddress(static_cast<uint64_t>(pos) >> 16, 2);
  *p++ = ':';
  return r.Write(p, true);
}

// S-record address width (2, 3 or 4 bytes) for an end position.
int SAddressWidth(int64_t end) { return end <= 0x10000 ? 2 : end <= 0x1000000 ? 3 : 4; }

char* Base64Group(char* p, const uint8_t* b, int n) {
  const uint32_t v = uint32_t{b[0]} << 16 | (n > 1 ? uint32_t{b[1]} << 8 : 0) | (n > 2 ? b[2] : 0);
  for (int i = 0; i < 4; ++i) *p++ = i <= n ? kBase64[(v >> (18 - 6 * i)) & 63] : '=';
  return p;
}


// An xxd line: offset digits, ": ", then hex groups until two spaces.
bool IsXxdLine(const std::string& t, size_t i, size_t& hexStart) {
  size_t j = i;
  while (j < t.size() && HexDigit(t[j]) >= 0) ++j;
  if (j == i || j + 1 >= t.size() || t[j] != ':' || t[j + 1] != ' ') return false;
  hexStart = j + 2;
  return true;
}

}  // namespace

int LineBytes(TByteFormat format) {
  switch (format) {
    case TByteFormat::bfCArray: return 12;
    case TByteFormat::bfBase64: return 57;
    default: return 16;
  }
}

bool IsAddressed(TByteFormat format) {
  return format == TByteFormat::bfIntelHex || format == TByteFormat::bfSRecord;
}

std::string FormatHeader(TByteFormat format, const TFormatRange& range) {
  char buf[kMaxFormatLine];
  switch (format) {
    case TByteFormat::bfCArray:
      // An empty initializer is no C: an empty range gets one zero byte.
      return range.Count == 0 ? "unsigned char data[1] = {0" : "unsigned char data[] = {\n";
    case TByteFormat::bfPython: return "b'";
    case TByteFormat::bfIntelHex:
      if (range.First >= 0x10000 && range.First % 0x10000 != 0)
        return std::string(buf, ExtendedAddress(buf, range.First));
      return {};
    case TByteFormat::bfSRecord: return "S0030000FC\n";
    default: return {};
  }
}

char* FormatLine(TByteFormat format, char* p, int64_t pos, const uint8_t* bytes, int n, bool last) {
  switch (format) {
    case TByteFormat::bfHexText:
      for (int i = 0; i < n; ++i) {
        p = PutHex(p, bytes[i], 2);
        if (i + 1 < n) *p++ = ' ';
      }
      if (!last) *p++ = '\n';
      return p;
    case TByteFormat::bfCArray:
      *p++ = ' ';
      for (int i = 0; i < n; ++i) {
        p = Put(p, " 0x");
        p = PutHex(p, bytes[i], 2, kLower);
        if (i + 1 < n || !last) *p++ = ',';
      }
      *p++ = '\n';
      return p;
    case TByteFormat::bfPython:
      for (int i = 0; i < n; ++i) p = PutHex(Put(p, "\\x"), bytes[i], 2, kLower);
      return p;
    case TByteFormat::bfBase64:
      for (int i = 0; i < n; i += 3) p = Base64Group(p, bytes + i, n - i < 3 ? n - i : 3);
      *p++ = '\n';
      return p;
    case TByteFormat::bfXxd: {
      // The offset of the line's first byte, the bytes from the first
      // column on, a short last line filled up with blanks.
      p = PutHex(p, static_cast<uint64_t>(pos), 8, kLower);
      p = Put(p, ": ");
      for (int k = 0; k < 16; ++k) {
        if (k < n) {
          p = PutHex(p, bytes[k], 2, kLower);
        } else {
          p[0] = p[1] = ' ';
          p += 2;
        }
        if (k % 2 == 1) *p++ = ' ';
      }
      *p++ = ' ';
      for (int k = 0; k < n; ++k) *p++ = bytes[k] >= 0x20 && bytes[k] < 0x7F ? static_cast<char>(bytes[k]) : '.';
      *p++ = '\n';
      return p;
    }
    case TByteFormat::bfIntelHex: {
      if (pos != 0 && pos % 0x10000 == 0) p = ExtendedAddress(p, pos);
      TRecord r;
      r.Add(static_cast<uint8_t>(n));
      r.AddAddress(static_cast<uint64_t>(pos) & 0xFFFF, 2);
      r.Add(0);
      for (int i = 0; i < n; ++i) r.Add(bytes[i]);
      *p++ = ':';
      return r.Write(p, true);
    }
    case TByteFormat::bfSRecord: {
      const int width = SAddressWidth(pos + n);
      TRecord r;
      r.Add(static_cast<uint8_t>(width + n + 1));
      r.AddAddress(static_cast<uint64_t>(pos), width);
      for (int i = 0; i < n; ++i) r.Add(bytes[i]);
      *p++ = 'S';
      *p++ = static_cast<char>('0' + width - 1);
      return r.Write(p, false);
    }
  }
  return p;
}

std::string FormatFooter(TByteFormat format, const TFormatRange& range) {
  char buf[kMaxFormatLine];
  switch (format) {
    case TByteFormat::bfCArray:
      return "};\nunsigned int data_len = " + std::to_string(range.Count) + ";\n";
    case TByteFormat::bfPython: return "'";
    case TByteFormat::bfIntelHex: return ":00000001FF\n";
    case TByteFormat::bfSRecord: {
      const int width = SAddressWidth(range.First + range.Count);
      TRecord r;
      r.Add(static_cast<uint8_t>(width + 1));
      r.AddAddress(0, width);
      char* p = buf;
      *p++ = 'S';
      *p++ = static_cast<char>('0' + 11 - width);
      return std::string(buf, r.Write(p, false));
    }
    default: return {};
  }
}

std::string FormatBytes(TByteFormat format, const uint8_t* data, size_t count, int64_t first) {
  const TFormatRange range{first, static_cast<int64_t>(count)};
  std::string out = FormatHeader(format, range);
  char buf[kMaxFormatLine];
  ForEachLine(format, range, [&](int64_t pos, int n, bool last) {
    out.append(buf, FormatLine(format, buf, pos, data + (pos - first), n, last));
  });
  return out + FormatFooter(format, range);
}

THexParse ParseHexText(const std::string& t) {
  THexParse r;
  const auto fail = [&r, &t](size_t i, const std::string& what) {
    r.Bytes.clear();
    // Positions count characters as the user sees them (the text is UTF-8).
    const auto chars = std::count_if(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(i),
                                     [](char c) { return (static_cast<uint8_t>(c) & 0xC0) != 0x80; });
    r.Error = what + " at position " + std::to_string(chars + 1);
    return r;
  };
  bool lineStart = true;
  size_t i = 0;
  while (i < t.size()) {
    const char c = t[i];
    size_t hexStart;
    if (lineStart && IsXxdLine(t, i, hexStart)) {
      // The hex groups end at two spaces; the characters after them are
      // skipped. Blanks before the first group (a line that a dump started
      // inside a row) are no end.
      while (hexStart < t.size() && t[hexStart] == ' ') ++hexStart;
      size_t end = t.find("  ", hexStart);
      const size_t eol = t.find('\n', hexStart);
      if (end == std::string::npos || (eol != std::string::npos && end > eol)) end = eol;
      if (end == std::string::npos) end = t.size();
      for (size_t j = hexStart; j < end;) {
        if (t[j] == ' ' || t[j] == '\r') {
          ++j;
          continue;
        }
        size_t k = j;
        while (k < end && HexDigit(t[k]) >= 0) ++k;
        if (k == j) return fail(j, "A stray character");
        if ((k - j) % 2 != 0) return fail(j, "An odd number of hex digits");
        for (; j < k; j += 2) r.Bytes.push_back(static_cast<uint8_t>(HexDigit(t[j]) << 4 | HexDigit(t[j + 1])));
      }
      i = eol == std::string::npos ? t.size() : eol + 1;
      continue;
    }
    lineStart = c == '\n';
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == '{' || c == '}' || c == '\'' ||
        c == '"') {
      ++i;
      continue;
    }
    if ((c == 'b' || c == 'B') && i + 1 < t.size() && (t[i + 1] == '\'' || t[i + 1] == '"')) {
      i += 2;
      continue;
    }
    size_t j = i;
    if (c == '0' && i + 1 < t.size() && (t[i + 1] == 'x' || t[i + 1] == 'X')) j = i + 2;
    else if (c == '\\' && i + 1 < t.size() && t[i + 1] == 'x') j = i + 2;
    size_t k = j;
    while (k < t.size() && HexDigit(t[k]) >= 0) ++k;
    if (k == j) return fail(j < t.size() ? j : i, "A stray character");
    if ((k - j) % 2 != 0) return fail(i, "An odd number of hex digits");
    if (c == '\\' && k - j != 2) return fail(i, "A \\x escape takes two hex digits");
    for (; j < k; j += 2) r.Bytes.push_back(static_cast<uint8_t>(HexDigit(t[j]) << 4 | HexDigit(t[j + 1])));
    i = k;
  }
  return r;
}

TSizeCheck CheckTextSize(int64_t text, int64_t freeBytes) {
  if (freeBytes >= 0 && text > freeBytes)
    return {true, "The export would write " + ByteCountText(text) + " of text, and only " + ByteCountText(freeBytes) +
                      " are free where it would go. Choose a smaller range or another folder."};
  if (text > int64_t{1} << 30) return {false, "The export writes " + ByteCountText(text) + " of text. Export it?"};
  return {};
}

int64_t FormattedTextSize(TByteFormat format, int64_t from, int64_t to, int64_t size) {
  const int64_t first = std::max<int64_t>(from, 0), end = std::min(to + 1, size);
  if (end <= first) return 0;
  const TFormatRange range{first, end - first};
  // Lines of the same length take about as many characters as the last
  // whole one, whose address has the most digits.
  const int64_t len = LineBytes(format);
  const int64_t lines = (range.Count + len - 1) / len + (IsAddressed(format) ? 1 : 0);
  const uint8_t zeros[kMaxFormatLine] = {};
  char line[kMaxFormatLine];
  const int64_t at = std::max(first, end - len);
  const auto lineChars = FormatLine(format, line, at, zeros, static_cast<int>(end - at), false) - line;
  return static_cast<int64_t>(FormatHeader(format, range).size() + FormatFooter(format, range).size()) +
         lines * lineChars;
}

TExportOutcome ExportFormatted(THexEditor& editor, TByteFormat format, int64_t from, int64_t to,
                              const std::string& target, const TProgress& progress) {
  const int64_t first = std::max<int64_t>(from, 0);
  const int64_t end = std::min(to + 1, editor.DataSize());
  const TFormatRange range{first, std::max<int64_t>(end - first, 0)};
  TEditorSource document(editor);
  TPieceReader pieces(document, first, end);
  return WriteExport(target, 0, [&](TExportSink& out) {
    out.Append(FormatHeader(format, range));
    bool go = true;
    ForEachLine(format, range, [&](int64_t pos, int n, bool last) {
      if (!go) return;
      if ((out.Put(FormatLine(format, out.Room(), pos, pieces.At(pos, n), n, last)) || last) && progress)
        go = progress(pos + n - first, range.Count);
    });
    if (go) out.Append(FormatFooter(format, range));
    return go;
  });
}

}  // namespace byteloom
