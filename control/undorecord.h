// SPDX-License-Identifier: GPL-3.0-or-later
// The records of the undo and redo lists, one per step, newest last, in an
// undo stream. A record is laid out as follows (little-endian, integers
// signed 32-bit):
//   0 kind (0..7)            1 change mark of the byte at the position
//   2 Modified before        3 caret position
//   7 caret's nibble cell    8 caret in the character field
//   9 SelMin   13 SelMax    17 SelAnchor
//  21 position of the step  25 count  29 extra
//  33 payload (at least 1 byte)   then the record's whole length (4 bytes),
// so that records can be walked from the end of the stream backwards.
#pragma once

#include <cstdint>
#include <optional>

#include "control/hexeditor.h"
#include "control/undostream.h"

namespace byteloom {

// One record's fixed fields, where it lies in its stream, and its payload.
struct TUndoRecord {
  TUndoKind Kind = TUndoKind::ukByteChanged;
  bool Mark = false;  // the change mark of the byte at Pos
  THexEditor::TUndoState State;
  int32_t Pos = 0, Count = 0, Extra = 0;
  uint8_t First = 0;  // the first payload byte
  int64_t Start = 0, Length = 0;

  int64_t PayloadAt() const { return Start + kPayloadAt; }
  int64_t PayloadLength() const { return Length - (kMinRecord - 1); }
  bool operator==(const TUndoRecord&) const = default;

  static constexpr int64_t kPayloadAt = 33;
  static constexpr int64_t kHeaderSize = 34;  // the fixed fields and the first payload byte
  static constexpr int64_t kTrailerSize = 4;
  static constexpr int64_t kMinRecord = kHeaderSize + kTrailerSize;

  // The fixed fields and the first payload byte, kHeaderSize bytes at h.
  void Encode(uint8_t* h) const;
  static TUndoRecord Decode(const uint8_t* h);
};

// The length of the record that ends at end in stream, or 0 when the
// stream is damaged there.
int64_t RecordLengthBefore(const TUndoStream& stream, int64_t end);

// The newest record; nullopt when the stream's end is damaged.
std::optional<TUndoRecord> ReadNewest(const TUndoStream& stream);

// Appends a record: its fixed fields, then count payload bytes from bytes,
// or else from file at filePos (only the first byte, r.First, when count is 0).
void AppendRecord(TUndoStream& stream, const TUndoRecord& r, int64_t count, const uint8_t* bytes,
                  const TFileHandle* file, int64_t filePos);

}  // namespace byteloom
