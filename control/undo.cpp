// The undo list: one record per edit, newest last, in the undo stream. Undo
// keeps at most 100 steps; the oldest one goes when a further one comes.
//
// A record is laid out as follows (little-endian, integers signed 32-bit):
//   0 kind (0..7)            1 change mark of the byte at the position
//   2 Modified before        3 caret position
//   7 caret's nibble cell    8 caret in the character field
//   9 SelMin   13 SelMax    17 SelAnchor
//  21 position of the step  25 count  29 extra
//  33 payload (at least 1 byte)   then the record's whole length (4 bytes),
// so that records can be walked from the end of the stream backwards.
#include <algorithm>
#include <optional>
#include <cerrno>
#include <limits>

#include "control/hexeditor.h"
#include "control/undostream.h"

namespace byteloom {

namespace {

constexpr int64_t kPayloadAt = 33;
constexpr int64_t kHeaderSize = 34;  // the fixed fields and the first payload byte
constexpr int64_t kTrailerSize = 4;
constexpr int64_t kMinRecord = kHeaderSize + kTrailerSize;

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

bool DropsReadWindow(TUndoKind kind) {
  switch (kind) {
    case TUndoKind::ukRemoved:
    case TUndoKind::ukInsertBuffer:
    case TUndoKind::ukReplaceSelection:
    case TUndoKind::ukAppendBuffer:
    case TUndoKind::ukConvert:
      return true;
    default:
      return false;
  }
}

// Whether a step of this kind may be recorded with these fields on a
// document of size bytes.
bool ValidStep(TUndoKind kind, int64_t pos, int64_t extra, int64_t count, int64_t size) {
  switch (kind) {
    case TUndoKind::ukByteChanged:
    case TUndoKind::ukInsertNibble:
    case TUndoKind::ukDeleteNibble:
      return pos >= 0 && pos < size;
    case TUndoKind::ukRemoved:
      return count >= 1 && pos >= 0 && pos + count <= size;
    case TUndoKind::ukConvert:
      return count >= 0 && pos >= 0 && pos + count <= size;
    case TUndoKind::ukInsertBuffer:
      return count >= 0 && pos >= 0 && pos <= size;
    case TUndoKind::ukReplaceSelection:
      return count >= 0 && extra >= 0 && pos >= 0 && pos + extra <= size;
    case TUndoKind::ukAppendBuffer:
      return count >= 0 && pos == size;
  }
  return false;
}

}  // namespace

const char* THexEditor::UndoKindText(TUndoKind kind) {
  switch (kind) {
    case TUndoKind::ukByteChanged:
      return "Byte changed";
    case TUndoKind::ukRemoved:
      return "Byte(s) removed";
    case TUndoKind::ukInsertBuffer:
      return "Insert buffer";
    case TUndoKind::ukReplaceSelection:
      return "Replace selection";
    case TUndoKind::ukAppendBuffer:
      return "Append buffer";
    case TUndoKind::ukInsertNibble:
      return "Insert nibble";
    case TUndoKind::ukDeleteNibble:
      return "Delete nibble";
    case TUndoKind::ukConvert:
      return "Convert";
  }
  return "";
}

bool THexEditor::CreateUndo(TUndoKind kind, int32_t pos, int32_t extra, int32_t count) {
  const int32_t size = DataSize();
  const bool result = size > 0 || kind == TUndoKind::ukInsertBuffer || kind == TUndoKind::ukAppendBuffer;
  if (result) {
    if (!ValidStep(kind, pos, extra, count, size)) throw EHexEditorError("Invalid CreateUndo argument");
    NoteChangeComing();
    StoreUndoRecord(kind, pos, extra, count);
    FCanUndo = true;
    SetModified(true);
  } else {
    FUndoPending = false;
  }
  PostStateChange();
  return result;
}

THexEditor::TUndoState THexEditor::CurrentUndoState() {
  TUndoState state;
  state.Caret = GetPosAtCell(Col(), Row());
  state.Nibble = (!FInCharField && Col() >= 2) ? static_cast<uint8_t>((Col() - 2) & 1) : 0;
  state.InChar = FInCharField;
  state.SelMin = FSelMin;
  state.SelMax = FSelMax;
  state.SelAnchor = FSelAnchor;
  state.Modified = FModified;
  return state;
}

void THexEditor::StoreUndoRecord(TUndoKind kind, int32_t pos, int32_t extra, int32_t count) {
  StoreUndoRecord(kind, pos, extra, count, CurrentUndoState(), nullptr);
}

void THexEditor::StoreUndoRecord(TUndoKind kind, int32_t pos, int32_t extra, int32_t count, const TUndoState& state,
                                 const uint8_t* oldBytes) {
  const bool created = !FUndoStream;
  if (created) FUndoStream = std::make_unique<TUndoStream>(WorkFolder());
  TUndoStream& stream = *FUndoStream;
  const int64_t oldSize = stream.Size();

  uint8_t header[kHeaderSize] = {};
  header[0] = static_cast<uint8_t>(kind);
  header[2] = state.Modified ? 1 : 0;
  PutInt32(header + 3, state.Caret);
  header[7] = state.Nibble;
  header[8] = state.InChar ? 1 : 0;
  PutInt32(header + 9, state.SelMin);
  PutInt32(header + 13, state.SelMax);
  PutInt32(header + 17, state.SelAnchor);
  PutInt32(header + 21, pos);
  PutInt32(header + 25, count);
  PutInt32(header + 29, extra);

  try {
    int64_t payload = 1;
    switch (kind) {
      case TUndoKind::ukByteChanged:
      case TUndoKind::ukInsertNibble:
      case TUndoKind::ukDeleteNibble:
        header[kPayloadAt] = oldBytes ? oldBytes[0] : ReadByte(pos);
        header[1] = ByteChanged(pos) ? 1 : 0;
        stream.Append(header, kHeaderSize);
        break;
      case TUndoKind::ukRemoved:
      case TUndoKind::ukReplaceSelection:
      case TUndoKind::ukConvert: {
        // The old bytes go to the stream in bounded pieces; a large block
        // moves the stream into its temporary file.
        const int32_t n = kind == TUndoKind::ukReplaceSelection ? extra : count;
        if (n > 0) {
          stream.Append(header, kPayloadAt);
          if (oldBytes)
            stream.Append(oldBytes, n);
          else
            stream.AppendFrom(Data(), pos, n);
          payload = n;
        } else {
          stream.Append(header, kHeaderSize);
        }
        break;
      }
      case TUndoKind::ukInsertBuffer:
      case TUndoKind::ukAppendBuffer:
        stream.Append(header, kHeaderSize);
        break;
    }
    uint8_t trailer[kTrailerSize];
    PutInt32(trailer, static_cast<int32_t>(payload + kMinRecord - 1));
    stream.Append(trailer, kTrailerSize);
  } catch (...) {
    // The list stays as it was.
    try {
      stream.SetSize(oldSize);
    } catch (const std::exception&) {
    }
    if (created) FUndoStream.reset();
    if (DropsReadWindow(kind)) FCacheStart = -1;
    try {
      throw;
    } catch (const EFileError& e) {
      ThrowNoSpace(e, "to keep the undo step of this edit; the edit was not made");
    }
  }
  if (DropsReadWindow(kind)) FCacheStart = -1;
  FUndoDescription = UndoKindText(kind);
  ++FUndoCount;
  if (FUndoCount > kMaxUndo && !FUndoPending) DropOldestUndoRecord();
}

THexEditor::TUndoMark THexEditor::MarkUndo() {
  FUndoPending = true;
  return TUndoMark{FUndoStream ? FUndoStream->Size() : -1, FModified, FCanUndo, FUndoDescription, FUndoCount};
}

void THexEditor::CommitUndo() {
  FUndoPending = false;
  while (FUndoCount > kMaxUndo) DropOldestUndoRecord();
}

void THexEditor::RollBackUndo(const TUndoMark& mark, int32_t pos, int32_t count) {
  FUndoPending = false;
  FCacheStart = -1;
  FCachedSize = -1;
  if (!FUndoStream || FUndoCount == mark.Count) return;  // nothing was recorded
  try {
    const int64_t payload = std::max<int64_t>(mark.StreamSize, 0) + kPayloadAt;
    if (count > 0) FUndoStream->CopyTo(payload, Data(), pos, count);
  } catch (const std::exception&) {
    // The edit's own error is the one to report.
  }
  if (mark.StreamSize < 0) {
    FUndoStream.reset();
  } else {
    try {
      FUndoStream->SetSize(mark.StreamSize);
    } catch (const std::exception&) {
      ResetUndo();
      return;
    }
  }
  FModified = mark.Modified;
  FCanUndo = mark.CanUndo;
  FUndoDescription = mark.Description;
  FUndoCount = mark.Count;
  PostStateChange();
}

void THexEditor::DropOldestUndoRecord() {
  TUndoStream& stream = *FUndoStream;
  try {
    // Walk back from the newest record to the oldest by the trailing lengths.
    int64_t end = stream.Size();
    int64_t length = 0;
    while (end > 0) {
      if (end < kMinRecord) throw EHexEditorError("The undo list is damaged");
      uint8_t trailer[kTrailerSize];
      stream.Read(end - kTrailerSize, trailer, kTrailerSize);
      length = GetInt32(trailer);
      if (length < kMinRecord || length > end) throw EHexEditorError("The undo list is damaged");
      end -= length;
    }
    stream.DropFront(length);
    --FUndoCount;
  } catch (...) {
    // A list that cannot be trusted any more is emptied rather than used.
    ResetUndo();
    throw;
  }
}

void THexEditor::RestoreUndoState(const uint8_t* header) {
  const int32_t caret = GetInt32(header + 3);
  const bool inChar = header[8] != 0;
  int col, row;
  GetCellAtPos(std::max(caret, 0), inChar, col, row);
  if (!inChar && DataSize() > 0) col += header[7] & 1;
  MoveCaret(col, row);
  FSelMin = GetInt32(header + 9);
  FSelMax = GetInt32(header + 13);
  FSelAnchor = GetInt32(header + 17);
  FModified = header[2] != 0;
}

void THexEditor::RemoveNewestUndoRecord(int64_t length) {
  TUndoStream& stream = *FUndoStream;
  FCachedSize = -1;
  stream.SetSize(std::max<int64_t>(0, stream.Size() - length));
  --FUndoCount;
  if (stream.Size() <= kTrailerSize) {
    ResetUndo();
    return;
  }
  uint8_t trailer[kTrailerSize];
  stream.Read(stream.Size() - kTrailerSize, trailer, kTrailerSize);
  const int64_t last = GetInt32(trailer);
  if (last < kMinRecord || last > stream.Size()) {
    ResetUndo();
    return;
  }
  uint8_t kind = 0;
  stream.Read(stream.Size() - last, &kind, 1);
  if (kind <= static_cast<uint8_t>(TUndoKind::ukConvert)) FUndoDescription = UndoKindText(static_cast<TUndoKind>(kind));
  PostStateChange();
}

void THexEditor::Undo() {
  if (!FCanUndo || !FUndoStream || FUndoStream->Size() <= kTrailerSize) {
    ResetUndo();
    return;
  }
  TUndoStream& stream = *FUndoStream;
  const int64_t total = stream.Size();
  uint8_t trailer[kTrailerSize];
  stream.Read(total - kTrailerSize, trailer, kTrailerSize);
  const int64_t length = GetInt32(trailer);
  if (length < kMinRecord || length > total) {
    ResetUndo();
    return;
  }
  const int64_t start = total - length;
  uint8_t h[kHeaderSize];
  stream.Read(start, h, kHeaderSize);
  if (h[0] > static_cast<uint8_t>(TUndoKind::ukConvert)) return;  // unknown step: left alone
  const auto kind = static_cast<TUndoKind>(h[0]);
  const int32_t pos = GetInt32(h + 21);
  const int32_t count = GetInt32(h + 25);
  const int32_t extra = GetInt32(h + 29);
  const int64_t payloadAt = start + kPayloadAt;
  const int64_t payloadLen = length - (kMinRecord - 1);
  const int64_t size = DataSize();

  // A record that does not fit the document cannot be undone.
  bool fits = false;
  switch (kind) {
    case TUndoKind::ukByteChanged:
    case TUndoKind::ukDeleteNibble:
      fits = pos >= 0 && pos < size;
      break;
    case TUndoKind::ukInsertNibble:
      fits = pos >= 0 && int64_t{pos} + 1 < size;
      break;
    case TUndoKind::ukRemoved:
      fits = count >= 1 && payloadLen == count && pos >= 0 && pos <= size;
      break;
    case TUndoKind::ukInsertBuffer:
      fits = count >= 0 && pos >= 0 && int64_t{pos} + count <= size;
      break;
    case TUndoKind::ukReplaceSelection:
      fits = count >= 0 && extra >= 0 && payloadLen == std::max(extra, 1) && pos >= 0 && int64_t{pos} + count <= size;
      break;
    case TUndoKind::ukAppendBuffer:
      fits = pos >= 0 && pos <= size;
      break;
    case TUndoKind::ukConvert:
      fits = count >= 0 && payloadLen == std::max(count, 1) && pos >= 0 && int64_t{pos} + count <= size;
      break;
  }
  if (!fits) {
    ResetUndo();
    return;
  }

  const uint8_t oldByte = h[kPayloadAt];
  const bool oldMark = h[1] != 0;
  try {
    switch (kind) {
      case TUndoKind::ukByteChanged:
        WriteByte(pos, oldByte);
        FChangedBits.Set(pos, oldMark);
        RestoreUndoState(h);
        InvalidateRange(pos, pos);
        UpdateCache(pos, oldByte);
        break;

      case TUndoKind::ukRemoved: {
        FCacheStart = -1;
        ReserveDocument(size + count);
        TMoveIntent intent(*this, MoveIntentText(pos, 0, count));
        ResizeRange(pos, 0, count);
        try {
          stream.CopyTo(payloadAt, Data(), pos, count);
        } catch (...) {
          ResizeRange(pos, count, 0);  // the gap goes again: the document as before
          throw;
        }
        AdjustMetrics();
        RestoreUndoState(h);
        TrimChangedBits(pos);
        InvalidateGrid();
        break;
      }

      case TUndoKind::ukInsertBuffer:
        FCacheStart = -1;
        if (count > 0) DeleteRange(pos, pos + count, Row(), Col());
        RestoreUndoState(h);
        TrimChangedBits(pos);
        InvalidateGrid();
        break;

      case TUndoKind::ukReplaceSelection: {
        FCacheStart = -1;
        const int64_t newSize = size - count + extra;
        if (newSize > kMaxDocumentSize) throw EHexEditorError(kDocumentLimitMessage);
        if (newSize > size) ReserveDocument(newSize);
        // The new bytes make way for the old ones in one move of the rest;
        // kept first, they come back when the old ones cannot be written.
        const TKeptBytes replacement(Data(), pos, count);
        std::optional<TMoveIntent> intent;
        if (count != extra) intent.emplace(*this, MoveIntentText(pos, count, extra));
        ResizeRange(pos, count, extra);
        try {
          stream.CopyTo(payloadAt, Data(), pos, extra);
        } catch (...) {
          try {
            ResizeRange(pos, extra, count);
            replacement.PutBack(Data());
          } catch (...) {
            // The first error is the one to report.
          }
          throw;
        }
        AdjustMetrics();
        RestoreUndoState(h);
        if (FChangedBits.Size() >= pos) FChangedBits.SetSize(std::max(0, pos - 1));
        InvalidateGrid();
        break;
      }

      case TUndoKind::ukAppendBuffer:
        FCacheStart = -1;
        MoveCaret(2, Row());
        if (HasDataStream()) Data().SetSize(pos);
        FCachedSize = -1;
        AdjustMetrics();
        TrimChangedBits(pos);
        RestoreUndoState(h);
        InvalidateGrid();
        break;

      case TUndoKind::ukInsertNibble:
        // The inserted nibble goes out again (the rest moves back by four
        // bits), the saved byte comes back and the extra last byte goes.
        FCacheStart = -1;
        ShiftNibbles(pos, 1, size - pos - 1, oldByte, [] { return true; });
        FChangedBits.Set(pos, oldMark);
        AdjustMetrics();
        RestoreUndoState(h);
        TrimChangedBits(pos);
        InvalidateGrid();
        break;

      case TUndoKind::ukDeleteNibble:
        // A nibble goes back in (the rest moves on by four bits, the last
        // nibble falling off the end) with the saved byte.
        FCacheStart = -1;
        ShiftNibbles(pos, 0, size - pos, oldByte, [] { return true; });
        FChangedBits.Set(pos, oldMark);
        AdjustMetrics();
        RestoreUndoState(h);
        TrimChangedBits(pos);
        InvalidateGrid();
        break;

      case TUndoKind::ukConvert:
        FCacheStart = -1;
        stream.CopyTo(payloadAt, Data(), pos, count);
        RestoreUndoState(h);
        TrimChangedBits(pos);
        InvalidateGrid();
        break;
    }
  } catch (...) {
    FCacheStart = -1;
    FCachedSize = -1;
    try {
      AdjustMetrics();
    } catch (const std::exception&) {
    }
    throw;
  }
  RemoveNewestUndoRecord(length);
}

}  // namespace byteloom
