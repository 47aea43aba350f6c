// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/clipdata.h"

#include "platform/numconv.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "control/hexeditor.h"
#include "platform/codepages.h"

namespace byteloom {

TClipRange ClipRange(THexEditor& editor) {
  const int64_t count = editor.SelCount();
  if (count <= 0) return {};
  return {std::min(editor.SelStart(), editor.SelEnd()), count};
}

std::string ClipboardRefusal(int64_t count, int64_t memory) {
  if (memory < 0 || count <= memory / 4) return "";
  return "The selection holds " + ByteCountText(count) +
         ". Copy keeps it in memory twice, as bytes and as a text for other programs, and this computer has " +
         ByteCountText(memory) + " of memory: Byteloom copies at most a quarter of that, " +
         ByteCountText(memory / 4) + ". Select less.";
}

void ReadClipRange(THexEditor& editor, const TClipRange& range, uint8_t* dest) {
  editor.ReadBuffer(dest, range.First, range.Count);
}

bool PasteBytes(THexEditor& editor, const uint8_t* data, size_t count) {
  if (count > static_cast<size_t>(kMaxDocumentSize)) throw EHexEditorError(kDocumentLimitMessage);
  editor.ReplaceSelection(data, static_cast<int64_t>(count));
  return editor.Modified();
}

}  // namespace byteloom
