// SPDX-License-Identifier: GPL-3.0-or-later
// The undo list: one record per edit, newest last, in the undo stream (see
// undorecord.h). Undo keeps at most 100 steps; the oldest one goes when a
// further one comes.
#include <algorithm>
#include <optional>
#include <cerrno>
#include <limits>

#include "control/hexeditor.h"
#include "control/undorecord.h"
#include "control/undostream.h"

namespace byteloom {

namespace {

constexpr int64_t kPayloadAt = TUndoRecord::kPayloadAt;

bool KnownKind(uint8_t kind) { return kind <= static_cast<uint8_t>(TUndoKind::ukConvert); }

// The kinds whose records keep one byte of the document, at the step's
// position, in their first payload byte (and its change mark).
bool OneByteKind(TUndoKind kind) {
  return kind == TUndoKind::ukByteChanged || kind == TUndoKind::ukInsertNibble || kind == TUndoKind::ukDeleteNibble;
}

// The bytes an undo record keeps: those the step takes away (the first
// payload byte alone for the one-byte kinds and the insertions).
int64_t UndoPayload(TUndoKind kind, int32_t extra, int32_t count) {
  switch (kind) {
    case TUndoKind::ukRemoved:
    case TUndoKind::ukConvert:
      return count;
    case TUndoKind::ukReplaceSelection:
      return extra;
    default:
      return 0;
  }
}

// The bytes a redo record keeps: those the step wrote (the first payload
// byte alone for the one-byte kinds and the removal).
int64_t RedoPayload(TUndoKind kind, int32_t count) {
  switch (kind) {
    case TUndoKind::ukInsertBuffer:
    case TUndoKind::ukAppendBuffer:
    case TUndoKind::ukReplaceSelection:
    case TUndoKind::ukConvert:
      return count;
    default:
      return 0;
  }
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

// Whether a step of this kind may be made with these fields on a document of
// size bytes (when it is recorded, and when it is made again by Redo).
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

// Whether an undo record fits the document of size bytes it would be taken
// back on: the document as the step left it.
bool UndoFits(const TUndoRecord& r, int64_t size) {
  const int64_t pos = r.Pos, count = r.Count, extra = r.Extra;
  const int64_t kept = std::max<int64_t>(UndoPayload(r.Kind, r.Extra, r.Count), 1);
  if (r.PayloadLength() != kept || count < 0 || extra < 0) return false;
  switch (r.Kind) {
    case TUndoKind::ukInsertNibble:
      return pos >= 0 && pos + 1 < size;
    case TUndoKind::ukRemoved:
      return count >= 1 && pos >= 0 && pos <= size;
    case TUndoKind::ukInsertBuffer:
      return pos >= 0 && pos + count <= size;
    case TUndoKind::ukAppendBuffer:
      return pos >= 0 && pos <= size;
    case TUndoKind::ukReplaceSelection:
      return ValidStep(r.Kind, pos, count, extra, size);  // count new bytes stand where extra old ones stood
    default:
      return ValidStep(r.Kind, pos, extra, count, size);
  }
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
  FStore.Edited();
  const bool created = !FUndoStream;
  if (created) FUndoStream = std::make_unique<TUndoStream>(WorkFolder());
  TUndoStream& stream = *FUndoStream;
  const int64_t oldSize = stream.Size();

  TUndoRecord r;
  r.Kind = kind;
  r.State = state;
  r.Pos = pos;
  r.Count = count;
  r.Extra = extra;
  const int64_t kept = UndoPayload(kind, extra, count);
  // The edit that follows changes more than one byte: the read window goes.
  if (DropsReadWindow(kind)) FStore.Changed();
  try {
    if (OneByteKind(kind)) {
      r.First = oldBytes ? oldBytes[0] : ReadByte(pos);
      r.Mark = ByteChanged(pos);
    }
    AppendRecord(stream, r, kept, oldBytes, &Data(), pos);
  } catch (...) {
    // The list stays as it was.
    try {
      stream.SetSize(oldSize);
    } catch (const std::exception&) {
    }
    if (created) FUndoStream.reset();
    try {
      throw;
    } catch (const EFileError& e) {
      ThrowNoSpace(e, "to keep the undo step of this edit; the edit was not made");
    }
  }
  FUndoDescription = UndoKindText(kind);
  ++FUndoCount;
  if (!FRedoing) ResetRedo();  // a new edit ends the steps that could be made again
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
  FStore.Changed();
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

THexEditor::TEditTransaction::~TEditTransaction() {
  if (FCommitted) return;
  try {
    FEditor.RollBackUndo(FMark, FPos, FCount);
  } catch (const std::exception&) {
    // The change's own error is the one to report.
  }
}

void THexEditor::TEditTransaction::RecordMade(TUndoKind kind, int32_t pos, int32_t extra, int32_t count,
                                              const TUndoState& state, const uint8_t* oldBytes) {
  FEditor.StoreUndoRecord(kind, pos, extra, count, state, oldBytes);
  FEditor.FCanUndo = true;
}

void THexEditor::TEditTransaction::Commit() {
  FCommitted = true;
  FEditor.CommitUndo();
}

void THexEditor::DropOldestUndoRecord() {
  TUndoStream& stream = *FUndoStream;
  try {
    // Walk back from the newest record to the oldest by the trailing lengths.
    int64_t end = stream.Size();
    int64_t length = 0;
    while (end > 0) {
      length = RecordLengthBefore(stream, end);
      if (length == 0) throw EHexEditorError("The undo list is damaged");
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

void THexEditor::RestoreUndoState(const TUndoState& state) {
  int col, row;
  GetCellAtPos(std::max(state.Caret, 0), state.InChar, col, row);
  if (!state.InChar && DataSize() > 0) col += state.Nibble & 1;
  MoveCaret(col, row);
  FSelMin = state.SelMin;
  FSelMax = state.SelMax;
  FSelAnchor = state.SelAnchor;
  FModified = state.Modified;
}

const char* THexEditor::DropNewestRecord(TUndoStream& stream, int64_t length) {
  stream.SetSize(std::max<int64_t>(0, stream.Size() - length));
  const std::optional<TUndoRecord> newest = ReadNewest(stream);
  if (!newest) return nullptr;
  const auto kind = static_cast<uint8_t>(newest->Kind);
  return KnownKind(kind) ? UndoKindText(newest->Kind) : "";
}

void THexEditor::ResetRedo() {
  FRedoStream.reset();
  FRedoCount = 0;
  FRedoDescription = "No Redo";
}

int64_t THexEditor::StoreRedoRecord(const TUndoRecord& undo) {
  TUndoRecord r = undo;
  r.State = CurrentUndoState();
  r.State.Modified = true;
  r.Mark = false;
  const bool created = !FRedoStream;
  if (created) FRedoStream = std::make_unique<TUndoStream>(WorkFolder());
  const int64_t oldSize = FRedoStream->Size();
  try {
    r.First = OneByteKind(r.Kind) ? ReadByte(r.Pos) : 0;
    AppendRecord(*FRedoStream, r, RedoPayload(r.Kind, r.Count), nullptr, &Data(), r.Pos);
  } catch (...) {
    // The redo list stays as it was, and so does the document.
    try {
      FRedoStream->SetSize(oldSize);
    } catch (const std::exception&) {
      ResetRedo();
    }
    if (created) ResetRedo();
    try {
      throw;
    } catch (const EFileError& e) {
      ThrowNoSpace(e, "to keep the step for Redo; nothing was undone");
    }
  }
  ++FRedoCount;
  FRedoDescription = UndoKindText(r.Kind);
  return oldSize;
}

// One handler per kind of step: each takes back the step r on a document of
// size bytes, the stream holding r's payload.

void THexEditor::UndoByteChange(const TUndoRecord& r) {
  WriteByte(r.Pos, r.First);
  FStore.Marks().Set(r.Pos, r.Mark);
  RestoreUndoState(r.State);
  InvalidateRange(r.Pos, r.Pos);
  UpdateCache(r.Pos, r.First);
}

void THexEditor::UndoRemoval(const TUndoRecord& r, TUndoStream& stream, int64_t size) {
  const int32_t pos = r.Pos, count = r.Count;
  ReserveDocument(size + count);
  ResizeAndFill(pos, 0, count, [&] { stream.CopyTo(r.PayloadAt(), Data(), pos, count); });
  BytesChanged(pos);
  RestoreUndoState(r.State);
}

void THexEditor::UndoInsertion(const TUndoRecord& r) {
  if (r.Count > 0) DeleteRange(r.Pos, r.Pos + r.Count, Row(), Col());
  RestoreUndoState(r.State);
  TrimChangedBits(r.Pos);
}

void THexEditor::UndoReplacement(const TUndoRecord& r, TUndoStream& stream, int64_t size) {
  const int32_t pos = r.Pos, count = r.Count, extra = r.Extra;
  const int64_t newSize = size - count + extra;
  if (newSize > kMaxDocumentSize) throw EHexEditorError(kDocumentLimitMessage);
  if (newSize > size) ReserveDocument(newSize);
  // The new bytes make way for the old ones in one move of the rest; kept
  // first, they come back when the old ones cannot be written.
  const TKeptBytes replacement(Data(), pos, count);
  try {
    ResizeAndFill(pos, count, extra, [&] { stream.CopyTo(r.PayloadAt(), Data(), pos, extra); });
  } catch (...) {
    try {
      replacement.PutBack(Data());
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
  // The mark of the byte before the replacement goes too.
  BytesChanged(std::max(0, pos - 1));
  RestoreUndoState(r.State);
}

void THexEditor::UndoAppend(const TUndoRecord& r) {
  MoveCaret(2, Row());
  if (HasDataStream()) Data().SetSize(r.Pos);
  BytesChanged(r.Pos);
  RestoreUndoState(r.State);
}

void THexEditor::UndoNibbleShift(const TUndoRecord& r, int64_t size) {
  // Insert: the inserted nibble goes out again (the rest moves back by four
  // bits), the saved byte comes back and the extra last byte goes. Delete: a
  // nibble goes back in (the rest moves on by four bits, the last nibble
  // falling off the end) with the saved byte.
  const bool inserted = r.Kind == TUndoKind::ukInsertNibble;
  ShiftNibbles(r.Pos, inserted ? 1 : 0, size - r.Pos - (inserted ? 1 : 0), r.First, [] { return true; });
  FStore.Marks().Set(r.Pos, r.Mark);
  BytesChanged(r.Pos);
  RestoreUndoState(r.State);
}

void THexEditor::UndoConversion(const TUndoRecord& r, TUndoStream& stream) {
  stream.CopyTo(r.PayloadAt(), Data(), r.Pos, r.Count);
  RestoreUndoState(r.State);
  TrimChangedBits(r.Pos);
}

void THexEditor::DropRedoRecordsFrom(int64_t streamSize) {
  try {
    FRedoStream->SetSize(streamSize);
    --FRedoCount;
    const std::optional<TUndoRecord> newest = ReadNewest(*FRedoStream);
    if (newest) FRedoDescription = UndoKindText(newest->Kind);
    if (FRedoCount == 0) ResetRedo();
  } catch (const std::exception&) {
    ResetRedo();
  }
}

void THexEditor::Undo() {
  FStore.Edited();
  if (!FCanUndo) {
    ResetUndo(false);
    return;
  }
  const std::optional<TUndoRecord> found = FUndoStream ? ReadNewest(*FUndoStream) : std::nullopt;
  if (!found) {
    ResetUndo(false);
    return;
  }
  const TUndoRecord& r = *found;
  if (!KnownKind(static_cast<uint8_t>(r.Kind))) return;  // unknown step: left alone
  TUndoStream& stream = *FUndoStream;
  const int64_t size = DataSize();
  // A record that does not fit the document cannot be undone.
  if (!UndoFits(r, size)) {
    ResetUndo();
    return;
  }
  const int64_t redoMark = StoreRedoRecord(r);
  // Taking back a one-byte change keeps the read window (the byte is put in).
  std::optional<TDocumentStore::TChange> change;
  if (r.Kind != TUndoKind::ukByteChanged) change.emplace(FStore);
  try {
    switch (r.Kind) {
      case TUndoKind::ukByteChanged: UndoByteChange(r); break;
      case TUndoKind::ukRemoved: UndoRemoval(r, stream, size); break;
      case TUndoKind::ukInsertBuffer: UndoInsertion(r); break;
      case TUndoKind::ukReplaceSelection: UndoReplacement(r, stream, size); break;
      case TUndoKind::ukAppendBuffer: UndoAppend(r); break;
      case TUndoKind::ukInsertNibble:
      case TUndoKind::ukDeleteNibble: UndoNibbleShift(r, size); break;
      case TUndoKind::ukConvert: UndoConversion(r, stream); break;
    }
    if (r.Kind != TUndoKind::ukByteChanged) InvalidateGrid();
  } catch (...) {
    change.reset();
    try {
      AdjustMetrics();
    } catch (const std::exception&) {
    }
    DropRedoRecordsFrom(redoMark);
    throw;
  }
  change.reset();
  --FUndoCount;
  const char* newest = nullptr;
  try {
    newest = DropNewestRecord(stream, r.Length);
  } catch (const std::exception&) {
  }
  if (!newest || FUndoCount <= 0) {
    ResetUndo(false);
    return;
  }
  if (*newest) FUndoDescription = newest;
  PostStateChange();
}

void THexEditor::Redo() {
  FStore.Edited();
  if (FRedoCount <= 0 || !FRedoStream) return;
  const std::optional<TUndoRecord> found = ReadNewest(*FRedoStream);
  const int64_t size = DataSize();
  // A step that does not fit the document as it is cannot be made again.
  if (!found || !KnownKind(static_cast<uint8_t>(found->Kind)) ||
      found->PayloadLength() != std::max<int64_t>(RedoPayload(found->Kind, found->Count), 1) ||
      !ValidStep(found->Kind, found->Pos, found->Extra, found->Count, size)) {
    ResetRedo();
    PostStateChange();
    return;
  }
  const TUndoRecord r = *found;
  TUndoStream& stream = *FRedoStream;
  const int32_t pos = r.Pos;
  FRedoing = true;
  struct TRedoing {
    bool& Flag;
    ~TRedoing() { Flag = false; }
  } redoing{FRedoing};
  bool made = false;
  auto fromStream = [&](int32_t count) { return [&, count] { stream.CopyTo(r.PayloadAt(), Data(), pos, count); }; };
  switch (r.Kind) {
    case TUndoKind::ukByteChanged:
      made = RecordedEdit(r.Kind, pos, 1, 1, [&] { WriteByte(pos, r.First); });
      if (made) FStore.Marks().Set(pos, true);
      break;
    case TUndoKind::ukRemoved:
      made = RecordedEdit(r.Kind, pos, r.Count, 0, [] {});
      break;
    case TUndoKind::ukInsertBuffer:
    case TUndoKind::ukAppendBuffer:
      made = RecordedEdit(r.Kind, pos, 0, r.Count, fromStream(r.Count));
      break;
    case TUndoKind::ukReplaceSelection:
      made = RecordedEdit(r.Kind, pos, r.Extra, r.Count, fromStream(r.Count));
      break;
    case TUndoKind::ukConvert:
      made = RecordedEdit(r.Kind, pos, r.Count, r.Count, fromStream(r.Count));
      break;
    case TUndoKind::ukInsertNibble:
    case TUndoKind::ukDeleteNibble: {
      const bool insert = r.Kind == TUndoKind::ukInsertNibble;
      made = RecordedShift(pos, insert ? 0 : 1, int64_t{size} - pos + (insert ? 1 : 0), r.First, r.Kind);
      if (made) AdjustMetrics();
      break;
    }
  }
  if (!made) return;
  if (r.Kind == TUndoKind::ukByteChanged) UpdateCache(pos, r.First);
  if (r.Kind != TUndoKind::ukByteChanged && r.Kind != TUndoKind::ukAppendBuffer) TrimChangedBits(pos);
  RestoreUndoState(r.State);
  InvalidateGrid();
  --FRedoCount;
  const char* newest = nullptr;
  try {
    newest = DropNewestRecord(stream, r.Length);
  } catch (const std::exception&) {
  }
  if (!newest || FRedoCount <= 0)
    ResetRedo();
  else if (*newest)
    FRedoDescription = newest;
  PostStateChange();
}

}  // namespace byteloom
