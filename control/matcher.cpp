// SPDX-License-Identifier: GPL-3.0-or-later
// The matcher's candidate scan: two "anchor" bytes of the pattern (the
// rarest-looking ones) are tested for 32 positions at a time with vector
// compares, and only positions where both anchors fit are compared in full.
// Positions are tried in increasing order, so the first full match is the
// leftmost one: exactly what a byte-by-byte comparison finds.
#include "control/matcher.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "control/translation.h"
#include "platform/codepages.h"

namespace byteloom {

void PrepareSearchPattern(TTranslationType translation, bool ignoreCase, uint8_t* pattern, int32_t count) {
  if (translation != TTranslationType::ttAnsi) TranslateToFile(translation, pattern, pattern, count);
  if (ignoreCase) AnsiLowerBuffer(pattern, count);
}

const uint8_t* SearchFold(bool ignoreCase) { return ignoreCase ? AnsiLowerTable() : nullptr; }

namespace {

// How often a byte tends to turn up in files (higher = more often): zeros,
// 0xFF fill, blanks, lower-case letters and digits are everywhere, upper
// ASCII text less so, the upper half of the byte range least.
int Commonness(uint8_t b) {
  if (b == 0x00 || b == 0xFF || b == ' ') return 5;
  if ((b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) return 4;
  if (b == '\n' || b == '\r' || b == '\t' || b == 0x01) return 4;
  if (b < 0x80) return 3;
  return 2;
}

using TAnchor = TPatternMatcher::TAnchor;

#if defined(__GNUC__)
#define BYTELOOM_VECTOR_SCAN 1
typedef uint8_t TVec __attribute__((vector_size(32)));
#if defined(__x86_64__) && defined(__linux__) && !defined(__SANITIZE_ADDRESS__)
#define BYTELOOM_CLONES __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef BYTELOOM_CLONES
#define BYTELOOM_CLONES
#endif

// The first p in [from, end) where buf[p + a.Offset] is a.V0 or a.V1 and
// buf[p + b.Offset] is b.V0 or b.V1; end when there is none. The caller
// makes sure buf holds end - 1 + max(a.Offset, b.Offset) + 1 bytes.
BYTELOOM_CLONES
int64_t NextCandidate(const uint8_t* buf, int64_t from, int64_t end, TAnchor a, TAnchor b) {
  const uint8_t* pa = buf + a.Offset;
  const uint8_t* pb = buf + b.Offset;
  int64_t p = from;
#ifdef BYTELOOM_VECTOR_SCAN
  constexpr int kLanes = sizeof(TVec);
  const TVec a0 = TVec{} + a.V0, a1 = TVec{} + a.V1;
  const TVec b0 = TVec{} + b.V0, b1 = TVec{} + b.V1;
  for (; p + kLanes <= end; p += kLanes) {
    TVec va, vb;
    std::memcpy(&va, pa + p, kLanes);
    std::memcpy(&vb, pb + p, kLanes);
    const auto hit = ((va == a0) | (va == a1)) & ((vb == b0) | (vb == b1));
    uint64_t words[kLanes / 8];
    std::memcpy(words, &hit, kLanes);
    if ((words[0] | words[1] | words[2] | words[3]) == 0) continue;
    for (int i = 0; i < kLanes / 8; ++i) {
      if (words[i] != 0) return p + i * 8 + __builtin_ctzll(words[i]) / 8;
    }
  }
#endif
  for (; p < end; ++p) {
    const uint8_t x = pa[p], y = pb[p];
    if ((x == a.V0 || x == a.V1) && (y == b.V0 || y == b.V1)) return p;
  }
  return end;
}

}  // namespace

TPatternMatcher::TPatternMatcher(const uint8_t* pattern, int32_t count, const uint8_t* fold)
    : FPattern(pattern), FCount(count), FFold(fold) {
  // The rarest-looking offset first, then the rarest one holding another
  // byte (farthest away on a tie), so the two rarely fit by chance.
  int32_t first = 0;
  for (int32_t i = 1; i < count; ++i)
    if (Score(i) < Score(first)) first = i;
  int32_t second = first;
  for (int32_t i = 0; i < count; ++i) {
    if (i == first) continue;
    if (second == first) {
      second = i;
      continue;
    }
    const bool differs = pattern[i] != pattern[first];
    const bool secondDiffers = pattern[second] != pattern[first];
    if (differs != secondDiffers) {
      if (differs) second = i;
      continue;
    }
    const int s = Score(i), t = Score(second);
    if (s < t || (s == t && std::abs(i - first) > std::abs(second - first))) second = i;
  }
  FAnchorsFit = MakeAnchor(first, FA) && MakeAnchor(second, FB);
}

int64_t TPatternMatcher::First(const uint8_t* buf, int64_t size) const {
  const int64_t end = size - FCount + 1;  // candidate positions are [0, end)
  if (end <= 0) return -1;
  if (!FAnchorsFit) {
    for (int64_t p = 0; p < end; ++p)
      if (MatchesAt(buf + p)) return p;
    return -1;
  }
  for (int64_t p = 0;; ++p) {
    p = NextCandidate(buf, p, end, FA, FB);
    if (p == end) return -1;
    if (MatchesAt(buf + p)) return p;
  }
}

int TPatternMatcher::Score(int32_t i) const {
  const uint8_t c = FPattern[i];
  if (!FFold) return Commonness(c);
  // Each further byte that fits (the capital letter) makes a chance hit likelier.
  int score = 0, fits = 0;
  for (int b = 0; b < 256; ++b) {
    if (FFold[b] != c) continue;
    score = std::max(score, Commonness(static_cast<uint8_t>(b)));
    ++fits;
  }
  return score + std::max(fits - 1, 0);
}

// The document bytes that fit pattern offset i; false when there are more
// than two of them (never the case for the Windows-1252 table).
bool TPatternMatcher::MakeAnchor(int32_t i, TAnchor& anchor) const {
  anchor.Offset = i;
  const uint8_t c = FPattern[i];
  if (!FFold) {
    anchor.V0 = anchor.V1 = c;
    return true;
  }
  int found = 0;
  for (int b = 0; b < 256; ++b) {
    if (FFold[b] != c) continue;
    if (found == 0)
      anchor.V0 = anchor.V1 = static_cast<uint8_t>(b);
    else if (found == 1)
      anchor.V1 = static_cast<uint8_t>(b);
    ++found;
  }
  return found >= 1 && found <= 2;
}

bool TPatternMatcher::MatchesAt(const uint8_t* p) const {
  if (!FFold) return std::memcmp(p, FPattern, static_cast<size_t>(FCount)) == 0;
  for (int32_t i = 0; i < FCount; ++i)
    if (FFold[p[i]] != FPattern[i]) return false;
  return true;
}

}  // namespace byteloom
