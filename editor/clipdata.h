// SPDX-License-Identifier: GPL-3.0-or-later
// What Copy, Cut and Paste put on and take from the clipboard: the exact
// bytes under Byteloom's own MIME type, and for other programs the bytes as
// Windows-1252 text, which ends at the first zero byte. Paste prefers the
// exact bytes; text from elsewhere becomes Windows-1252 bytes ("?" for a
// character without a code there). The text is written into a buffer the
// caller owns (a QString's, say), so a copy holds the bytes and the text
// once each and nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace byteloom {

class THexEditor;

// The MIME type of the exact bytes.
inline constexpr char kClipBytesMimeType[] = "application/x-byteloom-bytes";

// The bytes Copy and Cut take: SelCount bytes from the smaller of SelStart
// and SelEnd, in document order. Count 0: nothing is selected.
struct TClipRange {
  int64_t First = 0;
  int64_t Count = 0;
};
TClipRange ClipRange(THexEditor& editor);
// Why Copy or Cut cannot take count bytes on a computer with memory bytes
// of memory (-1: unknown), or "" when they can. The clipboard keeps the
// bytes and a text of them for other programs, both in memory: a copy may
// take a quarter of the memory.
std::string ClipboardRefusal(int64_t count, int64_t memory);
// Reads the range's bytes into dest (Count bytes).
void ReadClipRange(THexEditor& editor, const TClipRange& range, uint8_t* dest);

// Paste: the bytes replace the selection, or go in at the caret when
// nothing is selected; an empty paste deletes the selection. Returns the
// document's Modified flag (the window then enables Save).
bool PasteBytes(THexEditor& editor, const uint8_t* data, size_t count);

}  // namespace byteloom
