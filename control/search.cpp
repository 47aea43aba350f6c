// Searching the document for a byte pattern.
//
// The working file is read in pieces of kFindChunkSize bytes; the last
// count - 1 bytes of a piece are carried over to the next one, so a match
// that straddles two pieces is seen whole. Within a piece two "anchor" bytes
// of the pattern (the rarest-looking ones) are tested for 32 positions at a
// time with vector compares, and only positions where both anchors fit are
// compared in full. Positions are tried in increasing order, so the first
// full match is the leftmost one: exactly what a byte-by-byte scan finds.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "control/hexeditor.h"
#include "control/translation.h"
#include "platform/codepages.h"

namespace byteloom {

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

// An anchor: a pattern offset and the (at most two) document bytes that
// fit there.
struct TAnchor {
  int32_t Offset = 0;
  uint8_t V0 = 0;
  uint8_t V1 = 0;
};

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

// Finds a pattern (already translated and lower-cased as the search wants)
// in pieces of the document.
class TMatcher {
 public:
  // fold: the lower-case table when case is ignored, else nullptr.
  TMatcher(const uint8_t* pattern, int32_t count, const uint8_t* fold)
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

  // The offset of the first match in buf[0..size), or -1.
  int64_t First(const uint8_t* buf, int64_t size) const {
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

 private:
  int Score(int32_t i) const {
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
  bool MakeAnchor(int32_t i, TAnchor& anchor) const {
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

  bool MatchesAt(const uint8_t* p) const {
    if (!FFold) return std::memcmp(p, FPattern, static_cast<size_t>(FCount)) == 0;
    for (int32_t i = 0; i < FCount; ++i)
      if (FFold[p[i]] != FPattern[i]) return false;
    return true;
  }

  const uint8_t* FPattern;
  int32_t FCount;
  const uint8_t* FFold;
  TAnchor FA, FB;
  bool FAnchorsFit = false;
};

}  // namespace

int32_t THexEditor::Find(uint8_t* pattern, int32_t count, bool translate, bool ignoreCase, int32_t lastPos,
                         int32_t startPos) {
  const int32_t size = DataSize();
  if (lastPos >= size) lastPos = size - 1;
  // Nothing lies before the document's first byte.
  if (startPos < 0) startPos = 0;
  if (pattern == nullptr || count < 1 || static_cast<int64_t>(startPos) + count > static_cast<int64_t>(lastPos) + 1)
    return -1;

  TWaitCursor wait(*this);
  if (translate && FTranslation != TTranslationType::ttAnsi) TranslateToFile(FTranslation, pattern, pattern, count);
  if (ignoreCase) AnsiLowerBuffer(pattern, count);
  const TMatcher matcher(pattern, count, ignoreCase ? AnsiLowerTable() : nullptr);

  // The searched bytes are [startPos, end). Each round reads up to `step`
  // new bytes behind the `carried` bytes kept from the round before.
  const int64_t end = static_cast<int64_t>(lastPos) + 1;
  const int64_t overlap = count - 1;
  const int64_t step = std::min<int64_t>(std::max<int64_t>(kFindChunkSize, overlap), end - startPos);
  auto buf = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(step + overlap));
  int64_t bufPos = startPos;  // document position of buf[0]
  int64_t carried = 0;
  for (;;) {
    const int64_t readPos = bufPos + carried;
    const int64_t n = std::min(step, end - readPos);
    Data().ReadExact(buf.get() + carried, n, readPos);
    const int64_t have = carried + n;
    const int64_t hit = matcher.First(buf.get(), have);
    if (hit >= 0) return static_cast<int32_t>(bufPos + hit);
    if (readPos + n >= end) return -1;
    carried = std::min(overlap, have);
    std::memmove(buf.get(), buf.get() + have - carried, static_cast<size_t>(carried));
    bufPos += have - carried;
  }
}

}  // namespace byteloom
