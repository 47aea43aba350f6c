// Searching the document for a byte pattern.
//
// The working file is read in pieces of kFindChunkSize bytes; the last
// count - 1 bytes of a piece are carried over to the next one, so a match
// that straddles two pieces is seen whole; TPatternMatcher finds the
// leftmost match within a piece.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "control/hexeditor.h"
#include "control/matcher.h"
#include "control/translation.h"
#include "platform/codepages.h"

namespace byteloom {

int32_t THexEditor::Find(uint8_t* pattern, int32_t count, bool translate, bool ignoreCase, int32_t lastPos,
                         int32_t startPos) {
  const int32_t size = DataSize();
  if (lastPos >= size) lastPos = size - 1;
  // Nothing lies before the document's first byte.
  if (startPos < 0) startPos = 0;
  if (pattern == nullptr || count < 1 || static_cast<int64_t>(startPos) + count > static_cast<int64_t>(lastPos) + 1)
    return -1;

  TWaitCursor wait(*this);
  PrepareSearchPattern(translate ? FTranslation : TTranslationType::ttAnsi, ignoreCase, pattern, count);
  const TPatternMatcher matcher(pattern, count, SearchFold(ignoreCase));

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
