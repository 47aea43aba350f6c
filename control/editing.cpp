// SPDX-License-Identifier: GPL-3.0-or-later
// Byte editing: changing bytes, inserting and deleting nibbles and blocks,
// the selection and caret positions, the change marks and the row markers.
//
// Every edit that changes the document's length checks the length limit and
// reserves the space it needs before it starts; its undo step is kept only
// once it has completed, and an edit that fails part way puts the document
// back as it was before it reports the error. Blocks are moved through a
// bounded buffer, never by loading the rest of the document into memory.
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "control/hexeditor.h"
#include "control/undostream.h"

namespace byteloom {

namespace {

// Bytes moved through memory at once.
constexpr int64_t kMoveChunk = int64_t{1} << 20;
// Pieces the kernel copies at once when source and destination cannot overlap.
constexpr int64_t kKernelPiece = int64_t{256} << 20;

void CheckBuffer(const uint8_t* data, int32_t count, const char* message) {
  if (count < 0 || (count > 0 && data == nullptr)) throw EHexEditorError(message);
}

void CheckDocumentGrowth(int64_t newSize) {
  if (newSize > kMaxDocumentSize)
    throw EHexEditorError(std::string(kDocumentLimitMessage) + "; the edit was not made");
}

uint64_t BigEndian64(uint64_t v) {
  if constexpr (std::endian::native == std::endian::little) return __builtin_bswap64(v);
  return v;
}

// out[i] := low nibble of in[i - 1] (carry for i = 0), then high nibble of
// in[i]; returns the low nibble of the last byte. Eight bytes at a time: the
// bytes read as one big-endian number shift right by four bits.
uint8_t ShiftRightOneNibble(const uint8_t* in, uint8_t* out, size_t count, uint8_t carry) {
  uint64_t c = carry & 0x0F;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t w;
    std::memcpy(&w, in + i, 8);
    w = BigEndian64(w);
    const uint64_t o = BigEndian64((w >> 4) | (c << 60));
    c = w & 0x0F;
    std::memcpy(out + i, &o, 8);
  }
  for (; i < count; ++i) {
    out[i] = static_cast<uint8_t>((c << 4) | (in[i] >> 4));
    c = in[i] & 0x0F;
  }
  return static_cast<uint8_t>(c);
}

// "inserting 3 bytes at offset 1234 ($4D2)", for the recovery question.
std::string MoveText(const char* what, int64_t count, int64_t pos) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%s %lld byte%s at offset %lld ($%llX)", what, static_cast<long long>(count),
                count == 1 ? "" : "s", static_cast<long long>(pos), static_cast<unsigned long long>(pos));
  return buf;
}

}  // namespace

std::string THexEditor::MoveIntentText(int32_t pos, int32_t oldCount, int32_t newCount) {
  return MoveText(newCount > oldCount ? "inserting" : "deleting", std::abs(newCount - oldCount), pos);
}

// ---------------------------------------------------------------------------
// Internal steps
// ---------------------------------------------------------------------------

bool THexEditor::IsNoSpace(const EFileError& e) {
  return e.Errno() == ENOSPC || e.Errno() == EDQUOT || e.Errno() == EFBIG;
}

void THexEditor::ThrowNoSpace(const EFileError& e, const std::string& what) {
  if (!IsNoSpace(e)) throw e;
  throw EFileError("Not enough space in the temporary folder " + TempDirectory() + " " + what + " (" +
                       ErrnoText(e.Errno()) + ")",
                   e.Errno());
}

void THexEditor::ReserveDocument(int64_t newSize) {
  CheckDocumentGrowth(newSize);
  const bool created = !FStore.File().IsOpen();
  EnsureDataStream();
  try {
    if (!Data().TryReserve(newSize)) {
      // No fallocate here: zeros written up to the new size show that the
      // space is there now. Should it run out later all the same, the edit
      // puts the document back before it reports the error.
      const int64_t size = Data().Size();
      Data().Reserve(newSize);
      Data().SetSize(size);
    }
  } catch (const EFileError& e) {
    if (created) CloseDataStream();
    ThrowNoSpace(e, "for this edit");
  }
}

void THexEditor::TrimChangedBits(int32_t pos) {
  if (pos >= 0 && FStore.Marks().Size() >= pos) FStore.Marks().SetSize(pos);
}

void THexEditor::BytesChanged(int32_t trimFrom, bool resized) {
  TrimChangedBits(trimFrom);
  if (resized) AdjustMetrics();
}

void THexEditor::ResizeRange(int32_t pos, int32_t oldCount, int32_t newCount) {
  EnsureDataStream();
  const TDocumentStore::TChange change(FStore);
  const int64_t size = Data().Size();
  if (size == 0) FStore.Marks().SetSize(0);
  const int64_t restFrom = static_cast<int64_t>(pos) + oldCount;
  const int64_t rest = size - restFrom;
  const int64_t newSize = size - oldCount + newCount;
  std::optional<TMoveIntent> intent;
  if (rest > 0 && newCount != oldCount) intent.emplace(*this, MoveIntentText(pos, oldCount, newCount));
  // A move that fails part way is taken back by MoveData; the length goes
  // back here, so that a failed resize leaves the rest where it was.
  if (newCount > oldCount) {
    Data().SetSize(newSize);
    try {
      if (rest > 0) MoveData(static_cast<int32_t>(restFrom), pos + newCount, static_cast<int32_t>(rest));
    } catch (...) {
      Data().SetSize(size);
      throw;
    }
  } else if (newCount < oldCount) {
    // The bytes the move overwrites, to put back when the length cannot be set.
    const TKeptBytes dropped(Data(), pos + newCount, oldCount - newCount);
    if (rest > 0) MoveData(static_cast<int32_t>(restFrom), pos + newCount, static_cast<int32_t>(rest));
    try {
      Data().SetSize(newSize);
    } catch (...) {
      if (rest > 0) MoveData(pos + newCount, static_cast<int32_t>(restFrom), static_cast<int32_t>(rest));
      dropped.PutBack(Data());
      throw;
    }
  }
}

void THexEditor::ResizeAndFill(int32_t pos, int32_t oldCount, int32_t count, const std::function<void()>& fill) {
  if (count == oldCount) {
    fill();
    return;
  }
  TMoveIntent intent(*this, MoveIntentText(pos, oldCount, count));
  ResizeRange(pos, oldCount, count);
  try {
    fill();
  } catch (...) {
    ResizeRange(pos, count, oldCount);
    throw;
  }
}

bool THexEditor::RecordedEdit(TUndoKind kind, int32_t pos, int32_t oldCount, int32_t count,
                              const std::function<void()>& fill) {
  const int64_t size = DataSize();
  const int64_t newSize = size - oldCount + count;
  if (newSize > size) ReserveDocument(newSize);
  TEditTransaction edit(*this);
  // A one-byte change keeps the read window (its caller puts the byte in).
  std::optional<TDocumentStore::TChange> change;
  if (kind != TUndoKind::ukByteChanged) change.emplace(FStore);
  const int32_t extra = kind == TUndoKind::ukReplaceSelection ? oldCount : 0;
  if (!edit.Record(kind, pos, extra, kind == TUndoKind::ukRemoved ? oldCount : count)) return false;
  edit.RestoreOnFailure(pos, oldCount);
  try {
    ResizeAndFill(pos, oldCount, count, fill);
  } catch (...) {
    if (count != oldCount) AdjustMetrics();
    throw;
  }
  edit.Commit();
  // A typed-over byte keeps its mark; other edits drop the marks from pos on.
  BytesChanged(kind == TUndoKind::ukByteChanged ? -1 : pos, count != oldCount);
  return true;
}

// ---------------------------------------------------------------------------
// Block moves and nibble shifts
// ---------------------------------------------------------------------------

void THexEditor::MoveData(int32_t from, int32_t to, int32_t count) {
  if (count <= 0 || from == to) return;
  if (from < 0 || to < 0) throw EHexEditorError("Invalid MoveData argument");
  TFileHandle& file = Data();
  std::optional<TWaitCursor> wait;
  if (count > kMoveChunk) wait.emplace(*this);
  const int64_t distance = std::abs(static_cast<int64_t>(to) - from);
  // Forward moves go from the start, backward moves from the end, so that no
  // piece overwrites bytes that are still to be moved.
  const bool fromEnd = to > from;
  // Pieces no longer than the distance never overlap their destination: the
  // kernel copies them without passing through this process. Shorter
  // distances go through a buffer.
  const bool kernel = distance >= kMoveChunk;
  const int64_t piece = kernel ? std::min(distance, kKernelPiece) : std::min<int64_t>(kMoveChunk, count);
  std::vector<uint8_t> buf(kernel ? 0 : static_cast<size_t>(piece));
  int64_t done = 0, offset = 0, n = 0;
  bool inBuffer = false;  // the piece being moved has been read
  try {
    for (; done < count; done += n) {
      n = std::min<int64_t>(piece, count - done);
      offset = fromEnd ? count - done - n : done;
      if (kernel) {
        CopyData(file, from + offset, file, to + offset, n);
      } else {
        inBuffer = false;
        file.ReadExact(buf.data(), n, from + offset);
        inBuffer = true;
        file.WriteAt(buf.data(), n, to + offset);
      }
    }
  } catch (...) {
    // Put the document back as it was: the piece that failed half way (its
    // bytes are in the buffer when its write failed; a failed read left the
    // source untouched), then the pieces moved already.
    try {
      if (inBuffer && done < count) file.WriteAt(buf.data(), n, from + offset);
      const int64_t movedAt = fromEnd ? count - done : 0;
      if (done > 0)
        MoveData(static_cast<int32_t>(to + movedAt), static_cast<int32_t>(from + movedAt), static_cast<int32_t>(done));
    } catch (...) {
      // The first error is the one to report.
    }
    throw;
  }
}

TTempFile THexEditor::WriteShiftedFile(int32_t pos, bool withPrefix, int skip, int64_t length) {
  const int32_t size = DataSize();
  const int64_t n = static_cast<int64_t>(size) - pos;
  if (pos < 0 || pos >= size || skip < 0 || length < 0 || skip + length > n + 1)
    throw EHexEditorError("Invalid WriteShiftedFile argument");
  const int64_t base = withPrefix ? pos : 0;
  TTempFile scratch;
  try {
    scratch = NewWorkFile();
    scratch.Handle().Reserve(base + length);
    if (withPrefix) CopyData(Data(), 0, scratch.Handle(), 0, pos);
    // Shifted byte k is the low nibble of old byte k - 1 followed by the high
    // nibble of old byte k (old bytes -1 and n count as 0); bytes skip to
    // skip + length - 1 of them are written.
    const int64_t block = std::min(kMoveChunk, n);
    std::vector<uint8_t> in(static_cast<size_t>(block));
    std::vector<uint8_t> out(static_cast<size_t>(block));
    const int64_t stop = skip + length;
    uint8_t carry = 0;
    for (int64_t done = 0; done < n && done < stop;) {
      const int64_t k = std::min(block, n - done);
      Data().ReadExact(in.data(), k, pos + done);
      carry = ShiftRightOneNibble(in.data(), out.data(), static_cast<size_t>(k), carry);
      const int64_t from = std::max<int64_t>(done, skip), to = std::min(done + k, stop);
      if (from < to) scratch.Handle().WriteAt(out.data() + (from - done), to - from, base + from - skip);
      done += k;
    }
    if (n < stop) {
      const uint8_t last = static_cast<uint8_t>(carry << 4);
      scratch.Handle().WriteAt(&last, 1, base + n - skip);
    }
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for the nibble shift");
  }
  return scratch;
}

void THexEditor::ShiftNibblesInPlace(int32_t pos, int skip, int64_t length, uint8_t firstByte) {
  const int64_t n = static_cast<int64_t>(DataSize()) - pos;
  TFileHandle& file = Data();
  // Shifted byte k needs old bytes k - 1 and k. Bytes come in from the end
  // when the rest moves on (skip 0), from the start when it moves back
  // (skip 1), so that no old byte is overwritten before it is used.
  const bool fromEnd = skip == 0;
  const int64_t block = std::min(kMoveChunk, length);
  std::vector<uint8_t> in(static_cast<size_t>(block + 8));
  std::vector<uint8_t> out(static_cast<size_t>(block + 8));
  for (int64_t done = 0; done < length;) {
    const int64_t k = std::min(block, length - done);
    const int64_t first = fromEnd ? length - done - k : done;  // output bytes first..first+k-1
    // Old bytes first+skip-1 .. first+skip+k-1 (those outside 0..n-1 are 0).
    const int64_t lo = first + skip - 1;
    const int64_t hi = std::min(first + skip + k, n);  // exclusive
    std::fill(in.begin(), in.begin() + k + 1, 0);
    const int64_t readFrom = std::max<int64_t>(lo, 0);
    if (hi > readFrom) file.ReadExact(in.data() + (readFrom - lo), hi - readFrom, pos + readFrom);
    // in[0] is old byte lo: only its low nibble is carried into out[0].
    ShiftRightOneNibble(in.data() + 1, out.data(), static_cast<size_t>(k), in[0] & 0x0F);
    file.WriteAt(out.data(), k, pos + first);
    done += k;
  }
  WriteByte(pos, firstByte);
}

bool THexEditor::ShiftNibbles(int32_t pos, int skip, int64_t length, uint8_t firstByte,
                              const std::function<bool()>& beforeChange) {
  const int32_t size = DataSize();
  const int64_t newSize = pos + length;
  CheckDocumentGrowth(newSize);
  TWaitCursor wait(*this);
  const TDocumentStore::TChange change(FStore);
  // Up to NibbleScratchLimit bytes go through a scratch file, so that the
  // document is never half shifted. Where the bytes before pos are fewer
  // than those after it, the scratch
  // file becomes the whole new document and then the working file: the
  // document is never half rewritten. Otherwise the shifted rest is copied
  // back into the working file. Either way, everything that can fail for
  // want of space happens before beforeChange records the step.
  if (length > NibbleScratchLimit) {
    // A long rest is shifted in place, in bounded blocks, like a block move:
    // a scratch copy would need as much free space again.
    if (newSize > size) ReserveDocument(newSize);
    if (!beforeChange()) return false;
    TMoveIntent intent(*this, MoveText("shifting the nibbles of", length, pos));
    try {
      ShiftNibblesInPlace(pos, skip, length, firstByte);
      if (newSize != size) Data().SetSize(newSize);
    } catch (...) {
      AdjustMetrics();
      throw;
    }
    return true;
  }
  TTempFile scratch;
  bool whole = pos < length;
  if (whole) {
    try {
      scratch = WriteShiftedFile(pos, true, skip, length);
      scratch.Handle().WriteAt(&firstByte, 1, pos);
    } catch (const EFileError& e) {
      if (!IsNoSpace(e)) throw;
      whole = false;  // the smaller scratch file of a copy back may still fit
    }
  }
  if (!whole) {
    scratch = WriteShiftedFile(pos, false, skip, length);
    if (newSize > size) ReserveDocument(newSize);
  }
  if (!beforeChange()) return false;
  if (whole) {
    // The old working file goes, the new one takes its place.
    AdoptWorkFile(std::move(scratch));
  } else {
    try {
      CopyData(scratch.Handle(), 0, Data(), pos, length);
      WriteByte(pos, firstByte);
      if (newSize != size) Data().SetSize(newSize);
    } catch (...) {
      AdjustMetrics();
      throw;
    }
    scratch.Remove();
  }
  return true;
}

bool THexEditor::RecordedShift(int32_t pos, int skip, int64_t length, uint8_t firstByte, TUndoKind kind) {
  TEditTransaction edit(*this);
  const bool done = ShiftNibbles(pos, skip, length, firstByte, [&] {
    if (!edit.Record(kind, pos, 0, 0)) return false;
    ResetSelection(false);
    return true;
  });
  edit.Commit();
  return done;
}

bool THexEditor::InsertNibble(int32_t pos, bool highHalf) {
  const int32_t size = DataSize();
  if (size <= 0) {
    ResetSelection(false);
    const uint8_t zero = 0;
    AppendBuffer(&zero, 1);
    return true;
  }
  if (pos < 0 || pos >= size) return false;
  // The new zero nibble is the high or the low half of pos; the rest of the
  // file moves on by four bits and grows by one byte.
  const uint8_t first = ReadByte(pos);
  const uint8_t atPos = highHalf ? static_cast<uint8_t>(first >> 4) : static_cast<uint8_t>(first & 0xF0);
  const bool done = RecordedShift(pos, 0, static_cast<int64_t>(size) - pos + 1, atPos, TUndoKind::ukInsertNibble);
  if (!done) return false;
  BytesChanged(pos);
  return true;
}

bool THexEditor::DeleteNibble(int32_t pos, bool highHalf) {
  const int32_t size = DataSize();
  if (pos < 0 || pos >= size) return false;
  // The high or the low half of pos goes; the rest moves back by four bits
  // and the last byte's low nibble becomes 0.
  const uint8_t b0 = ReadByte(pos);
  const uint8_t b1 = pos + 1 < size ? ReadByte(pos + 1) : 0;
  const uint8_t atPos = highHalf ? static_cast<uint8_t>((b0 & 0x0F) << 4 | b1 >> 4)
                                 : static_cast<uint8_t>((b0 & 0xF0) | b1 >> 4);
  const bool done = RecordedShift(pos, 1, static_cast<int64_t>(size) - pos, atPos, TUndoKind::ukDeleteNibble);
  if (!done) return false;
  BytesChanged(pos);
  return true;
}

// ---------------------------------------------------------------------------
// Byte and block edits
// ---------------------------------------------------------------------------

void THexEditor::ChangeByte(uint8_t oldValue, uint8_t newValue, int row, int col, int32_t pos) {
  (void)col;
  if (oldValue == newValue) return;
  if (!RecordedEdit(TUndoKind::ukByteChanged, pos, 1, 1, [&] { WriteByte(pos, newValue); })) return;
  UpdateCache(pos, newValue);
  FStore.Marks().Set(pos, true);
  int hexCol, charCol, r;
  GetCellAtPos(pos, false, hexCol, r);
  GetCellAtPos(pos, true, charCol, r);
  InvalidateCell(hexCol, row);
  InvalidateCell(hexCol + 1, row);
  InvalidateCell(charCol, row);
}

void THexEditor::SelectionBounds(int32_t& first, int32_t& stop, int& row, int& col) {
  const int32_t caret = GetPosAtCell(Col(), Row());
  const int32_t size = DataSize();
  if (FSelAnchor == -1) {
    first = caret;
    stop = first + 1;
    col = Col();
    row = Row();
  } else {
    first = FSelMin;
    stop = FSelMax + 1;
    GetCellAtPos(first, FInCharField, col, row);
  }
  // A selection or caret left outside the document acts only on what exists.
  first = std::max(first, 0);
  stop = std::min(stop, size);
}

void THexEditor::DeleteRange(int32_t first, int32_t stop, int row, int col) {
  const int32_t size = DataSize();
  if (first < 0 || stop <= first || stop > size) throw EHexEditorError("Invalid DeleteRange argument");
  ResizeRange(first, stop - first, 0);
  ShowRemoval(row, col);
}

void THexEditor::ShowRemoval(int row, int col) {
  AdjustMetrics();
  const int32_t newSize = DataSize();
  const int32_t cellPos = GetPosAtCell(col, row);  // also takes the cell's field
  if (newSize <= 0) {
    col = 2;
    row = 0;
  } else if (cellPos >= newSize) {
    GetCellAtPos(newSize - 1, FInCharField, col, row);
  }
  MoveCaret(col, row);
  ResetSelection(false);
  InvalidateGrid();
}

void THexEditor::DeleteSelection() {
  int32_t first, stop;
  int row, col;
  SelectionBounds(first, stop, row, col);
  if (DataSize() <= 0) {
    // An empty document: the undo step is refused, so nothing happens.
    CreateUndo(TUndoKind::ukRemoved, 0, 0, 1);
    return;
  }
  if (stop <= first) return;
  if (!RecordedEdit(TUndoKind::ukRemoved, first, stop - first, 0, [] {})) return;
  ShowRemoval(row, col);
}

void THexEditor::SelectBytes(int32_t first, int32_t count) {
  if (count > 0) {
    FSelAnchor = FSelMin = first;
    FSelMax = first + count - 1;
  } else {
    FSelAnchor = FSelMin = FSelMax = -1;
  }
  PostStateChange();
}

void THexEditor::InsertBuffer(const uint8_t* data, int32_t count, int32_t pos) {
  CheckBuffer(data, count, "Invalid InsertBuffer argument");
  const int32_t size = DataSize();
  if (pos < 0 || pos > size) throw EHexEditorError("Invalid InsertBuffer argument");
  if (count == 0) return;
  if (!RecordedEdit(TUndoKind::ukInsertBuffer, pos, 0, count, [&] { WriteBuffer(data, pos, count); })) return;
  if (pos == GetPosAtCell(Col(), Row())) SelectBytes(pos, count);
  InvalidateGrid();
}

void THexEditor::AppendBuffer(const uint8_t* data, int32_t count) {
  CheckBuffer(data, count, "Invalid AppendBuffer argument");
  if (count == 0) return;
  const int32_t size = DataSize();
  if (!RecordedEdit(TUndoKind::ukAppendBuffer, size, 0, count, [&] { WriteBuffer(data, size, count); })) return;
  GetPosAtCell(Col(), Row());  // the caret's field
  int col, row;
  GetCellAtPos(size, FInCharField, col, row);
  MoveCaret(col, row);
  SelectBytes(size, count);
  InvalidateGrid();
}

void THexEditor::ReplaceSelection(const uint8_t* data, int32_t count) {
  CheckBuffer(data, count, "Invalid ReplaceSelection argument");
  if (FSelAnchor == -1) {
    InsertBuffer(data, count, SelStart());
    return;
  }
  int32_t first, stop;
  int row, col;
  SelectionBounds(first, stop, row, col);
  const int32_t size = DataSize();
  if (stop <= first) {
    InsertBuffer(data, count, std::clamp(first, 0, size));
    return;
  }
  const int32_t oldCount = stop - first;
  const int64_t newSize = static_cast<int64_t>(size) - oldCount + count;
  const int caretCol = Col(), caretRow = Row();
  const int32_t caretPos = GetPosAtCell(caretCol, caretRow);
  const bool inChar = FInCharField;
  // The old bytes make way for the new ones in one move of the rest.
  if (!RecordedEdit(TUndoKind::ukReplaceSelection, first, oldCount, count, [&] { WriteBuffer(data, first, count); }))
    return;
  // The caret goes where deleting the old bytes put it: on the cell of the
  // first of them, or on the last byte left, and it comes back to the
  // remembered cell if the selection was made from its start.
  const int32_t remaining = size - oldCount;
  if (remaining <= 0) {
    col = 2;
    row = 0;
  } else if (first >= remaining) {
    GetCellAtPos(remaining - 1, inChar, col, row);
  }
  if (caretPos == first && first < newSize) {
    MoveCaret(caretCol, caretRow);
    SelectBytes(first, count);
  } else {
    MoveCaret(col, row);
    ResetSelection(false);
  }
  InvalidateGrid();
}

// ---------------------------------------------------------------------------
// Selection and caret positions
// ---------------------------------------------------------------------------

int32_t THexEditor::SelStart() {
  if (FSelAnchor != -1) return FSelAnchor;
  return GetPosAtCell(Col(), Row());
}

int32_t THexEditor::SelEnd() {
  if (FSelAnchor == -1) return GetPosAtCell(Col(), Row());
  return FSelAnchor == FSelMax ? FSelMin : FSelMax;
}

void THexEditor::SetSelStart(int32_t pos) {
  if (pos < 0 || pos >= DataSize()) throw EHexEditorError("Invalid SelStart");
  ResetSelection(true);
  GetPosAtCell(Col(), Row());
  int col, row;
  GetCellAtPos(pos, FInCharField, col, row);
  MoveCaret(col, row);
}

void THexEditor::SetSelEnd(int32_t pos) {
  if (pos < 0 || pos >= DataSize()) throw EHexEditorError("Invalid SelEnd");
  ResetSelection(true);
  const int32_t caret = GetPosAtCell(Col(), Row());
  FSelAnchor = caret;
  FSelMin = std::min(caret, pos);
  FSelMax = std::max(caret, pos);
  InvalidateRange(FSelMin, FSelMax);
  PostStateChange();
}

int32_t THexEditor::SelCount() const { return FSelAnchor == -1 ? 0 : FSelMax - FSelMin + 1; }

int32_t THexEditor::GetCursorPos() {
  const int32_t pos = GetPosAtCell(Col(), Row());
  return std::clamp(pos, 0, std::max(0, DataSize() - 1));
}

bool THexEditor::IsCharFieldActive() {
  if (DataSize() <= 0) return false;
  GetPosAtCell(Col(), Row());
  return FInCharField;
}

bool THexEditor::Seek(int32_t offset, int origin, bool failIfOutside) {
  const int32_t size = DataSize();
  if (size <= 0) return false;
  int64_t target;
  switch (origin) {
    case 0:
      target = offset;
      break;
    case 1:
      target = static_cast<int64_t>(offset) + GetCursorPos();
      break;
    case 2:
      target = static_cast<int64_t>(offset) + size - 1;
      break;
    default:
      target = GetPosAtCell(Col(), Row());
      break;
  }
  if (target < 0) {
    if (failIfOutside) return false;
    target = 0;
  }
  if (target >= size) {
    if (failIfOutside) return false;
    target = size - 1;
  }
  SetSelStart(static_cast<int32_t>(target));
  return true;
}

bool THexEditor::IsSelected(int32_t pos) const { return FSelAnchor != -1 && FSelMin <= pos && pos <= FSelMax; }

// ---------------------------------------------------------------------------
// Change marks and markers
// ---------------------------------------------------------------------------

bool THexEditor::ByteChanged(int32_t pos) const { return FStore.Marks().Get(pos); }

void THexEditor::SetChangedBit(int32_t pos, bool value) { FStore.Marks().Set(pos, value); }

void THexEditor::SetMarker(int index, int row) {
  if (index < 0 || index > 9) throw EHexEditorError("SetMarker : Invalid marker index");
  if (FMarkers[static_cast<size_t>(index)] == row) return;
  FMarkers[static_cast<size_t>(index)] = row;
  InvalidateGrid();
}

int THexEditor::GetMarker(int index) const {
  if (index < 0 || index > 9) throw EHexEditorError("GetMarker : Invalid marker index");
  const int row = FMarkers[static_cast<size_t>(index)];
  return row == -1 ? Row() : row;
}

int THexEditor::MarkerAtRow(int row) const {
  for (int i = 0; i < 10; ++i)
    if (FMarkers[static_cast<size_t>(i)] == row) return i;
  return -1;
}

}  // namespace byteloom
