// SPDX-License-Identifier: GPL-3.0-or-later
// Searching the document for a byte pattern.
//
// The working file is read in pieces of kFindChunkSize bytes, each starting
// with the last count - 1 bytes of the one before, so a match that
// straddles two pieces is seen whole; TPatternMatcher finds the leftmost
// match within a piece.
#include <algorithm>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "control/matcher.h"
#include "control/translation.h"

namespace byteloom {

int64_t THexEditor::Find(uint8_t* pattern, int64_t count, bool translate, bool ignoreCase, int64_t lastPos,
                         int64_t startPos, const TProgress& progress) {
  const int64_t size = DataSize();
  if (lastPos >= size) lastPos = size - 1;
  // Nothing lies before the document's first byte.
  if (startPos < 0) startPos = 0;
  if (pattern == nullptr || count < 1 || startPos + count > lastPos + 1)
    return -1;

  TWaitCursor wait(*this);
  PrepareSearchPattern(translate ? FTranslation : TTranslationType::ttAnsi, ignoreCase, pattern, count);
  const TPatternMatcher matcher(pattern, count, SearchFold(ignoreCase));
  // A pattern with a byte other than zero never lies wholly in zeros: the
  // holes of a sparse file and zero pieces are passed over unread, but for
  // the pattern's length before their end.
  TEditorSource document(*this);
  TPieceReader pieces(document, startPos, lastPos + 1, count - 1, kFindChunkSize);
  if (std::any_of(pattern, pattern + count, [](uint8_t b) { return b != 0; })) pieces.SkipZeros();
  while (pieces.Next()) {
    const int64_t hit = matcher.First(pieces.Data(), pieces.Size());
    if (hit >= 0) return pieces.Pos() + hit;
    if (progress && !pieces.Last() && !progress(pieces.End() - startPos, lastPos + 1 - startPos)) return kFindStopped;
  }
  return -1;
}

}  // namespace byteloom
