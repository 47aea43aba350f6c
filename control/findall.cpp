// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/findall.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "control/matcher.h"
#include "platform/numconv.h"

namespace byteloom {

bool TMaskedPattern::FitsAt(const uint8_t* p) const {
  for (size_t i = 0; i < Value.size(); ++i)
    if (((Fold ? Fold[p[i]] : p[i]) & Mask[i]) != Value[i]) return false;
  return true;
}

TMaskedPattern TextPattern(const std::string& text, bool matchCase, TTranslationType translation) {
  TMaskedPattern p;
  p.Value.assign(text.begin(), text.end());
  p.Mask.assign(text.size(), 0xFF);
  PrepareSearchPattern(translation, !matchCase, p.Value.data(), p.Size());
  p.Fold = SearchFold(!matchCase);
  return p;
}

TPatternParse HexPattern(const std::string& text) {
  TMaskedPattern p;
  int nibbles = 0;
  uint8_t value = 0, mask = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ' ' || c == '\t') {
      if (nibbles % 2 != 0) return {std::nullopt, "A byte has one digit at position " + std::to_string(i + 1)};
      continue;
    }
    const int d = HexDigit(c);
    if (d < 0 && c != '?')
      return {std::nullopt, "\"" + std::string(1, c) + "\" is no hex digit (position " + std::to_string(i + 1) + ")"};
    value = static_cast<uint8_t>(value << 4 | (d < 0 ? 0 : d));
    mask = static_cast<uint8_t>(mask << 4 | (d < 0 ? 0 : 15));
    if (++nibbles % 2 == 0) {
      p.Value.push_back(value);
      p.Mask.push_back(mask);
    }
  }
  if (nibbles % 2 != 0) return {std::nullopt, "An odd number of hex digits"};
  if (p.Value.empty()) return {std::nullopt, "No bytes to find"};
  return {std::move(p), {}};
}

TPatternParse ValuePattern(const std::string& text, const TValueFormat& format) {
  const auto value = ParseValue(text, format.Type);
  if (!value)
    return {std::nullopt, "\"" + text + "\" is no " + ValueTypeName(format.Type) + " value"};
  TMaskedPattern p;
  const int width = ValueWidth(format.Type);
  p.Value.resize(static_cast<size_t>(width));
  p.Mask.assign(static_cast<size_t>(width), 0xFF);
  EncodeValue(*value, format, p.Value.data());
  p.Align = format.Aligned ? width : 1;
  return {std::move(p), {}};
}

void ScanMasked(const TMaskedPattern& pattern, const uint8_t* buf, int64_t size, int64_t base,
                const std::function<void(int64_t)>& hit) {
  const int64_t n = pattern.Size();
  if (n == 0 || size < n) return;
  const int64_t limit = size - n;  // last start
  // Whole bytes (text, hex without wildcards): Find's own matcher.
  if (std::all_of(pattern.Mask.begin(), pattern.Mask.end(), [](uint8_t m) { return m == 0xFF; })) {
    const TPatternMatcher matcher(pattern.Value.data(), static_cast<int32_t>(n), pattern.Fold);
    for (int64_t i = 0; i <= limit;) {
      const int64_t at = matcher.First(buf + i, size - i);
      if (at < 0) break;
      hit(base + i + at);
      i += at + 1;
    }
    return;
  }
  // Anchor: the first byte that must be one value; memchr skips to it.
  const auto full = std::find(pattern.Mask.begin(), pattern.Mask.end(), uint8_t{0xFF});
  if (full == pattern.Mask.end()) {
    for (int64_t i = 0; i <= limit; ++i)
      if (pattern.FitsAt(buf + i)) hit(base + i);
    return;
  }
  const int64_t a = full - pattern.Mask.begin();
  const uint8_t av = pattern.Value[static_cast<size_t>(a)];
  const uint8_t* p = buf + a;
  const uint8_t* end = buf + limit + a + 1;  // anchor positions of the starts [0, limit]
  while (p < end) {
    p = static_cast<const uint8_t*>(std::memchr(p, av, static_cast<size_t>(end - p)));
    if (p == nullptr) break;
    const uint8_t* s = p - a;
    if (pattern.FitsAt(s)) hit(base + (s - buf));
    ++p;
  }
}

bool FindAll(TByteSource& source, const TMaskedPattern& pattern, int64_t first, int64_t last,
             std::vector<int64_t>& hits, const TProgress& progress) {
  const int64_t n = pattern.Size();
  first = std::max<int64_t>(first, 0);
  last = std::min<int64_t>(last, int64_t{source.Size()} - 1);
  if (n == 0 || last - first + 1 < n) return true;
  const int64_t align = pattern.Align;
  const auto take = [&](int64_t pos) {
    if (align <= 1 || pos % align == 0) hits.push_back(pos);
  };
  TPieceReader pieces(source, first, last + 1, n - 1);
  // A pattern that zeros cannot fit passes over the zeros the source knows.
  const std::vector<uint8_t> zeros(static_cast<size_t>(n), 0);
  if (!pattern.FitsAt(zeros.data())) pieces.SkipZeros();
  while (pieces.Next()) {
    ScanMasked(pattern, pieces.Data(), pieces.Size(), pieces.Pos(), take);
    if (pieces.Last()) break;
    if (progress && !progress(pieces.End() - first, last + 1 - first)) return false;
  }
  return true;
}

bool FindAll(THexEditor& editor, const TMaskedPattern& pattern, int64_t first, int64_t last,
             std::vector<int64_t>& hits, const TProgress& progress) {
  TEditorSource document(editor);
  return FindAll(document, pattern, first, last, hits, progress);
}

TFindAllRun::TFindAllRun(TMaskedPattern pattern, int64_t first, int64_t last)
    : FPattern(std::move(pattern)),
      FFirst(std::max<int64_t>(first, 0)),
      FLast(last),
      FLastStart(last - FPattern.Size() + 1),
      FNext(FFirst) {}

bool TFindAllRun::Step(THexEditor& editor, int64_t positions) {
  FLast = std::min<int64_t>(FLast, int64_t{editor.DataSize()} - 1);
  FLastStart = std::min(FLastStart, FLast - FPattern.Size() + 1);
  if (Complete()) return true;
  const int64_t lastStart = std::min(FLastStart, FNext + positions - 1);
  FindAll(editor, FPattern, FNext, lastStart + FPattern.Size() - 1, FHits);
  FNext = lastStart + 1;
  return Complete();
}

}  // namespace byteloom
