#include "editor/clipdata.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "control/hexeditor.h"
#include "platform/codepages.h"

namespace byteloom {

TClipRange ClipRange(THexEditor& editor) {
  const int32_t count = editor.SelCount();
  if (count <= 0) return {};
  return {std::min(editor.SelStart(), editor.SelEnd()), count};
}

void ReadClipRange(THexEditor& editor, const TClipRange& range, uint8_t* dest) {
  editor.ReadBuffer(dest, range.First, range.Count);
}

size_t ClipTextLength(const uint8_t* data, size_t count) {
  const void* zero = count ? std::memchr(data, 0, count) : nullptr;
  return zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data) : count;
}

void FillClipText(const uint8_t* data, size_t count, char16_t* text) {
  // Every Windows-1252 character lies in the Basic Multilingual Plane (one
  // UTF-16 unit per byte), and all but 0x80..0x9F have the byte's value as
  // their code: a plain widening, then those 32 bytes looked up.
  char16_t table[32];
  for (int b = 0; b < 32; ++b) table[b] = static_cast<char16_t>(Cp1252ToUnicode(static_cast<uint8_t>(0x80 + b)));
  const size_t length = ClipTextLength(data, count);
  constexpr size_t kBlock = 16384;
  for (size_t at = 0; at < length; at += kBlock) {
    const size_t n = std::min(kBlock, length - at);
    const uint8_t* in = data + at;
    char16_t* out = text + at;
    for (size_t i = 0; i < n; ++i) out[i] = in[i];
    for (size_t i = 0; i < n; ++i)
      if (static_cast<uint8_t>(in[i] - 0x80) < 32) out[i] = table[in[i] - 0x80];
  }
}

std::vector<uint8_t> ClipTextToBytes(const char16_t* text, size_t length) {
  std::vector<uint8_t> bytes;
  bytes.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    char32_t u = text[i];
    // A surrogate pair is one character (none of them has a code).
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) ++i;
    uint8_t b = kNoEquivalent;
    if (!UnicodeToCp1252(u, b)) b = kNoEquivalent;
    bytes.push_back(b);
  }
  return bytes;
}

bool PasteBytes(THexEditor& editor, const uint8_t* data, size_t count) {
  if (count > static_cast<size_t>(kMaxDocumentSize)) throw EHexEditorError(kDocumentLimitMessage);
  editor.ReplaceSelection(data, static_cast<int32_t>(count));
  return editor.Modified();
}

}  // namespace byteloom
