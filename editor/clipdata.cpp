// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/clipdata.h"

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

void ReadClipRange(THexEditor& editor, const TClipRange& range, uint8_t* dest) {
  editor.ReadBuffer(dest, range.First, range.Count);
}

bool PasteBytes(THexEditor& editor, const uint8_t* data, size_t count) {
  if (count > static_cast<size_t>(kMaxDocumentSize)) throw EHexEditorError(kDocumentLimitMessage);
  editor.ReplaceSelection(data, static_cast<int64_t>(count));
  return editor.Modified();
}

}  // namespace byteloom
