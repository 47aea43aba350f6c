// SPDX-License-Identifier: GPL-3.0-or-later
// The undo and redo lists. A step keeps the pieces its edit took away, never
// copies of bytes, so undoing and redoing are splices of the document and
// cost the same at any size. Undo keeps at most 100 steps; the oldest one
// goes when a further one comes. Every step, undo and redo is journaled
// before it changes the document.
#include <algorithm>

#include "control/hexeditor.h"

namespace byteloom {

namespace {

// Whether a step of this kind may be made with these fields on a document of
// size bytes.
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

// The bytes a step of kind takes away at pos, and how many stand there
// after it.
void StepCounts(TUndoKind kind, int64_t extra, int64_t count, int64_t rest, int64_t& removed, int64_t& added) {
  switch (kind) {
    case TUndoKind::ukByteChanged: removed = added = 1; break;
    case TUndoKind::ukRemoved: removed = count, added = 0; break;
    case TUndoKind::ukInsertBuffer:
    case TUndoKind::ukAppendBuffer: removed = 0, added = count; break;
    case TUndoKind::ukReplaceSelection: removed = extra, added = count; break;
    case TUndoKind::ukConvert: removed = added = count; break;
    case TUndoKind::ukInsertNibble: removed = rest, added = rest + 1; break;
    case TUndoKind::ukDeleteNibble: removed = added = rest; break;
  }
}

}  // namespace

const char* THexEditor::UndoKindText(TUndoKind kind) {
  switch (kind) {
    case TUndoKind::ukByteChanged: return "Byte changed";
    case TUndoKind::ukRemoved: return "Byte(s) removed";
    case TUndoKind::ukInsertBuffer: return "Insert buffer";
    case TUndoKind::ukReplaceSelection: return "Replace selection";
    case TUndoKind::ukAppendBuffer: return "Append buffer";
    case TUndoKind::ukInsertNibble: return "Insert nibble";
    case TUndoKind::ukDeleteNibble: return "Delete nibble";
    case TUndoKind::ukConvert: return "Convert";
  }
  return "";
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

void THexEditor::RestoreUndoState(const TUndoState& state) {
  int col = 0;
  int64_t row = 0;
  GetCellAtPos(std::max<int64_t>(state.Caret, 0), state.InChar, col, row);
  if (!state.InChar && DataSize() > 0) col += state.Nibble & 1;
  MoveCaret(col, row);
  FSelMin = state.SelMin;
  FSelMax = state.SelMax;
  FSelAnchor = state.SelAnchor;
  FModified = state.Modified;
}

bool THexEditor::StepAllowed(TUndoKind kind, int64_t pos, int64_t extra, int64_t count) {
  const int64_t size = DataSize();
  if (size <= 0 && kind != TUndoKind::ukInsertBuffer && kind != TUndoKind::ukAppendBuffer) return false;
  if (!ValidStep(kind, pos, extra, count, size)) throw EHexEditorError("Invalid CreateUndo argument");
  return true;
}

THexEditor::TUndoStep THexEditor::BeginStep(TUndoKind kind, int64_t pos, const TUndoState& state, bool planned,
                                            int64_t extra, int64_t count) {
  NoteChangeComing();
  TUndoStep step;
  step.Kind = kind;
  step.Pos = pos;
  step.Mark = ByteChanged(pos);
  step.Before = state;
  TJournalRecord r;
  r.Kind = TJournalKind::jkStepBegin;
  r.StepKind = static_cast<uint8_t>(kind);
  r.State = JournalState(state);
  r.StepPos = pos;
  r.Planned = planned;
  r.StepExtra = extra;
  r.StepCount = count;
  // The step's records go to the journal together when it ends: a crash
  // leaves it whole or not at all.
  FStepRecords.assign(1, r);
  FJournalBatch = &FStepRecords;
  return step;
}

void THexEditor::EndStep(TUndoStep&& step) {
  TJournalRecord r;
  r.Kind = TJournalKind::jkStepEnd;
  r.State = JournalState(CurrentUndoState());
  FStepRecords.push_back(r);
  FJournalBatch = nullptr;
  try {
    try {
      FJournal.Append(FStepRecords);
    } catch (const EFileError& e) {
      ThrowNoSpace(e, "for the record of this edit; the edit was not made");
    }
    FStepRecords.clear();
  } catch (...) {
    FStepRecords.clear();
    // Unended in the journal, the step does not count there: nor here.
    FJournalHeld = true;
    try {
      FStore.Doc().Undo(step.Edit);
    } catch (const std::exception&) {
    }
    FJournalHeld = false;
    FStore.Changed();
    throw;
  }
  FStore.Edited();
  FUndo.push_back(std::move(step));
  if (FUndo.size() > static_cast<size_t>(kMaxUndo)) FUndo.pop_front();
  ResetRedo();  // a new edit ends the steps that could be made again
  FCanUndo = true;
  FModified = true;
  UpdateUndoTexts();
  PostStateChange();
}

bool THexEditor::CreateUndo(TUndoKind kind, int64_t pos, int64_t extra, int64_t count) {
  if (!StepAllowed(kind, pos, extra, count)) {
    PostStateChange();
    return false;
  }
  // The step keeps the pieces the coming edit changes; the edit itself
  // goes to the journal as its splices.
  TSplice planned = PlannedSplice(kind, pos, extra, count);
  EndStep(BeginStep(kind, pos, CurrentUndoState(), true, extra, count));
  FUndo.back().Edit.Splices.push_back(std::move(planned));
  return true;
}

TSplice THexEditor::PlannedSplice(TUndoKind kind, int64_t pos, int64_t extra, int64_t count) {
  int64_t removed = 0, added = 0;
  StepCounts(kind, extra, count, int64_t{DataSize()} - pos, removed, added);
  TSplice back{2 * static_cast<uint64_t>(pos), 2 * static_cast<uint64_t>(added), {}};
  FStore.Doc().Pieces().Visit(2 * static_cast<uint64_t>(pos), 2 * static_cast<uint64_t>(removed),
                              [&](uint64_t, const TPiece& piece) {
                                back.Pieces.push_back(piece);
                                return true;
                              });
  return back;
}

void THexEditor::ResetUndo(bool withRedo) {
  if (withRedo) ResetRedo();
  FUndo.clear();
  FCanUndo = false;
  UpdateUndoTexts();
  if (OnStateChanged) OnStateChanged(*this);
}

void THexEditor::ResetRedo() {
  FRedo.clear();
  UpdateUndoTexts();
}

void THexEditor::UpdateUndoTexts() {
  FUndoCount = static_cast<int>(FUndo.size());
  FUndoDescription = FUndo.empty() ? "No Undo" : UndoKindText(FUndo.back().Kind);
  if (FUndo.empty()) FCanUndo = false;
  FRedoCount = static_cast<int>(FRedo.size());
  FRedoDescription = FRedo.empty() ? "No Redo" : UndoKindText(FRedo.back().Kind);
}

void THexEditor::StepMarks(const TUndoStep& step, bool undone) {
  switch (step.Kind) {
    case TUndoKind::ukByteChanged:
      FStore.Marks().Set(step.Pos, undone ? step.Mark : true);
      break;
    case TUndoKind::ukReplaceSelection:
      // Taking a replacement back drops the mark of the byte before it too.
      TrimChangedBits(undone ? std::max<int64_t>(0, step.Pos - 1) : step.Pos);
      break;
    case TUndoKind::ukInsertNibble:
    case TUndoKind::ukDeleteNibble:
      TrimChangedBits(step.Pos);
      if (undone) FStore.Marks().Set(step.Pos, step.Mark);
      break;
    case TUndoKind::ukAppendBuffer:
      if (undone) TrimChangedBits(step.Pos);
      break;
    default:
      TrimChangedBits(step.Pos);
      break;
  }
}

void THexEditor::KeepWindow(const TUndoStep& step) {
  // A byte typed over or back keeps the read window: the byte is put in.
  if (step.Kind == TUndoKind::ukByteChanged) {
    UpdateCache(step.Pos, ReadByte(step.Pos));
    return;
  }
  FStore.Changed();
}

void THexEditor::UndoStep() {
  TUndoStep step = std::move(FUndo.back());
  FUndo.pop_back();
  FJournalHeld = true;
  try {
    FStore.Doc().Undo(step.Edit);
  } catch (...) {
    FJournalHeld = false;
    FStore.Changed();
    ResetUndo();  // a step that cannot be taken back ends the list
    throw;
  }
  FJournalHeld = false;
  KeepWindow(step);
  FStore.Edited();
  StepMarks(step, true);
  FRedo.push_back(std::move(step));
  UpdateUndoTexts();
}

void THexEditor::RedoStep() {
  TUndoStep step = std::move(FRedo.back());
  FRedo.pop_back();
  FJournalHeld = true;
  try {
    FStore.Doc().Redo(step.Edit);
  } catch (...) {
    FJournalHeld = false;
    FStore.Changed();
    ResetRedo();
    throw;
  }
  FJournalHeld = false;
  KeepWindow(step);
  FStore.Edited();
  step.Mark = ByteChanged(step.Pos);
  StepMarks(step, false);
  FUndo.push_back(std::move(step));
  FCanUndo = true;
  UpdateUndoTexts();
}

void THexEditor::Undo() {
  FStore.Edited();
  if (!FCanUndo || FUndo.empty()) {
    ResetUndo(false);
    return;
  }
  TUndoStep& newest = FUndo.back();
  newest.After = CurrentUndoState();
  newest.After.Modified = true;
  TJournalRecord r;
  r.Kind = TJournalKind::jkUndo;
  r.State = JournalState(newest.After);
  Journal(r);
  const TUndoState before = newest.Before;
  UndoStep();
  if (FUndo.empty()) ResetUndo(false);  // the last one: the owner hears at once
  AdjustMetrics();
  RestoreUndoState(before);
  InvalidateGrid();
  PostStateChange();
}

void THexEditor::Redo() {
  FStore.Edited();
  if (FRedo.empty()) return;
  // The step made again takes back to where the caret is now.
  const TUndoState now = CurrentUndoState();
  TJournalRecord r;
  r.Kind = TJournalKind::jkRedo;
  r.State = JournalState(now);
  Journal(r);
  FRedo.back().Before = now;
  const TUndoState after = FRedo.back().After;
  RedoStep();
  AdjustMetrics();
  RestoreUndoState(after);
  InvalidateGrid();
  PostStateChange();
}

}  // namespace byteloom
