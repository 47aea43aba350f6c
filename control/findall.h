// SPDX-License-Identifier: GPL-3.0-or-later
// Find All: one masked-byte pattern for every kind of search (text with or
// without case, hex with nibble wildcards, typed values), and the scan that
// lists every position where it fits. A position fits when, for every
// pattern byte i, (doc[pos + i] & Mask[i]) == Value[i]; with Align > 1 only
// positions that are multiples of Align count.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "control/types.h"
#include "control/valuetypes.h"
#include "platform/progress.h"

namespace byteloom {

class THexEditor;
class TByteSource;

struct TMaskedPattern {
  std::vector<uint8_t> Value;  // already masked
  std::vector<uint8_t> Mask;
  int32_t Align = 1;
  // A table each document byte goes through before the mask (a search that
  // ignores case), or nullptr.
  const uint8_t* Fold = nullptr;
  int32_t Size() const { return static_cast<int32_t>(Value.size()); }
  bool FitsAt(const uint8_t* p) const;
};

// The result of reading a pattern from text: the pattern, or the reason it
// cannot be one.
struct TPatternParse {
  std::optional<TMaskedPattern> Pattern;
  std::string Error;
};

// Text (Windows-1252) as Find compares it in a document shown in the
// character set translation: the same bytes fit, with or without case.
TMaskedPattern TextPattern(const std::string& text, bool matchCase,
                           TTranslationType translation = TTranslationType::ttAnsi);
// Hex digits with "?" for any nibble, spaces between bytes optional:
// "4? ?? 00". An odd digit count or another character is refused.
TPatternParse HexPattern(const std::string& text);
// One typed value, in the format's byte order; aligned to its width when the
// format says so.
TPatternParse ValuePattern(const std::string& text, const TValueFormat& format);

// Calls hit(base + i) for every i in [0, size - pattern.Size()] where the
// pattern fits buf + i (alignment not applied).
void ScanMasked(const TMaskedPattern& pattern, const uint8_t* buf, int64_t size, int64_t base,
                const std::function<void(int64_t)>& hit);

// Every position in [first, last] (inclusive, clamped to the source) where
// the whole pattern fits, in ascending order. Reads the source in pieces
// that overlap by Size() - 1 bytes. False when progress stopped the run (the
// hits found so far are kept).
bool FindAll(TByteSource& source, const TMaskedPattern& pattern, int64_t first, int64_t last,
             std::vector<int64_t>& hits, const TProgress& progress = {});
// The same over the working copy of the editor's document.
bool FindAll(THexEditor& editor, const TMaskedPattern& pattern, int64_t first, int64_t last,
             std::vector<int64_t>& hits, const TProgress& progress = {});

// A Find All run in slices, so that the window that started it stays
// responsive and can stop it: each Step searches the next positions and
// adds their hits.
class TFindAllRun {
 public:
  TFindAllRun(TMaskedPattern pattern, int64_t first, int64_t last);
  // Searches the starts of the next slice of at most `positions` positions;
  // true once the run is complete.
  bool Step(THexEditor& editor, int64_t positions);
  bool Complete() const { return FNext > FLastStart; }
  int64_t Done() const { return FNext - FFirst; }
  int64_t Total() const { return FLastStart + 1 - FFirst; }
  const TMaskedPattern& Pattern() const { return FPattern; }
  const std::vector<int64_t>& Hits() const { return FHits; }

 private:
  TMaskedPattern FPattern;
  int64_t FFirst, FLast, FLastStart, FNext;
  std::vector<int64_t> FHits;
};

}  // namespace byteloom
