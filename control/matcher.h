// SPDX-License-Identifier: GPL-3.0-or-later
// Finding a byte pattern in a buffer: the comparison behind the control's
// Find and its Replace all. The pattern is taken as it is (already
// translated and, for a search that ignores case, lower-cased); with a fold
// table the buffer's bytes are folded through it before they are compared.
#pragma once

#include <cstdint>

#include "control/types.h"

namespace byteloom {

// Typed text (Windows-1252) as the bytes a search compares: translated to
// the document's character set, then lower-cased when case is ignored (the
// document's bytes are then folded through SearchFold()).
void PrepareSearchPattern(TTranslationType translation, bool ignoreCase, uint8_t* pattern, int32_t count);
// The fold table of a search that ignores case, else nullptr.
const uint8_t* SearchFold(bool ignoreCase);

class TPatternMatcher {
 public:
  // fold: the lower-case table when case is ignored, else nullptr. The
  // pattern must outlive the matcher.
  TPatternMatcher(const uint8_t* pattern, int32_t count, const uint8_t* fold);

  // The offset of the first match in buf[0..size), or -1.
  int64_t First(const uint8_t* buf, int64_t size) const;

  // An offset of the pattern and the (at most two) buffer bytes that fit there.
  struct TAnchor {
    int32_t Offset = 0;
    uint8_t V0 = 0;
    uint8_t V1 = 0;
  };

 private:
  int Score(int32_t i) const;
  bool MakeAnchor(int32_t i, TAnchor& anchor) const;
  bool MatchesAt(const uint8_t* p) const;

  const uint8_t* FPattern;
  int32_t FCount;
  const uint8_t* FFold;
  TAnchor FA, FB;
  bool FAnchorsFit = false;
};

}  // namespace byteloom
