// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/undorecord.h"

namespace byteloom {

namespace {

void PutInt32(uint8_t* p, int32_t value) {
  const auto v = static_cast<uint32_t>(value);
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

int32_t GetInt32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

void TUndoRecord::Encode(uint8_t* h) const {
  h[0] = static_cast<uint8_t>(Kind);
  h[1] = Mark ? 1 : 0;
  h[2] = State.Modified ? 1 : 0;
  PutInt32(h + 3, State.Caret);
  h[7] = State.Nibble;
  h[8] = State.InChar ? 1 : 0;
  PutInt32(h + 9, State.SelMin);
  PutInt32(h + 13, State.SelMax);
  PutInt32(h + 17, State.SelAnchor);
  PutInt32(h + 21, Pos);
  PutInt32(h + 25, Count);
  PutInt32(h + 29, Extra);
  h[kPayloadAt] = First;
}

TUndoRecord TUndoRecord::Decode(const uint8_t* h) {
  TUndoRecord r;
  r.Kind = static_cast<TUndoKind>(h[0]);
  r.Mark = h[1] != 0;
  r.State.Modified = h[2] != 0;
  r.State.Caret = GetInt32(h + 3);
  r.State.Nibble = h[7];
  r.State.InChar = h[8] != 0;
  r.State.SelMin = GetInt32(h + 9);
  r.State.SelMax = GetInt32(h + 13);
  r.State.SelAnchor = GetInt32(h + 17);
  r.Pos = GetInt32(h + 21);
  r.Count = GetInt32(h + 25);
  r.Extra = GetInt32(h + 29);
  r.First = h[kPayloadAt];
  return r;
}

int64_t RecordLengthBefore(const TUndoStream& stream, int64_t end) {
  if (end < TUndoRecord::kMinRecord) return 0;
  uint8_t trailer[TUndoRecord::kTrailerSize];
  stream.Read(end - TUndoRecord::kTrailerSize, trailer, TUndoRecord::kTrailerSize);
  const int64_t length = GetInt32(trailer);
  return length < TUndoRecord::kMinRecord || length > end ? 0 : length;
}

std::optional<TUndoRecord> ReadNewest(const TUndoStream& stream) {
  const int64_t length = RecordLengthBefore(stream, stream.Size());
  if (length == 0) return std::nullopt;
  uint8_t h[TUndoRecord::kHeaderSize];
  const int64_t start = stream.Size() - length;
  stream.Read(start, h, TUndoRecord::kHeaderSize);
  TUndoRecord r = TUndoRecord::Decode(h);
  r.Start = start;
  r.Length = length;
  return r;
}

void AppendRecord(TUndoStream& stream, const TUndoRecord& r, int64_t count, const uint8_t* bytes,
                  const TFileHandle* file, int64_t filePos) {
  uint8_t header[TUndoRecord::kHeaderSize];
  r.Encode(header);
  int64_t payload = 1;
  if (count > 0) {
    // The bytes go to the stream in bounded pieces; a large block moves the
    // stream into its temporary file.
    stream.Append(header, TUndoRecord::kPayloadAt);
    if (bytes)
      stream.Append(bytes, count);
    else
      stream.AppendFrom(*file, filePos, count);
    payload = count;
  } else {
    stream.Append(header, TUndoRecord::kHeaderSize);
  }
  uint8_t trailer[TUndoRecord::kTrailerSize];
  PutInt32(trailer, static_cast<int32_t>(payload + TUndoRecord::kMinRecord - 1));
  stream.Append(trailer, TUndoRecord::kTrailerSize);
}

}  // namespace byteloom
