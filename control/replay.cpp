// SPDX-License-Identifier: GPL-3.0-or-later
// Recovery: a crashed session's document made again from its journal. The
// base (the file, or its private snapshot) is copied into a working copy,
// the added bytes into the new document's own added bytes (at the same
// offsets, so the journal's pieces read the same), and the records are
// replayed through the same steps the edits took, journaled anew: the
// document comes back with its undo and redo steps, its change marks and
// the caret where the last change was.
#include <algorithm>
#include <vector>

#include "control/hexeditor.h"

namespace byteloom {

namespace {

TPiece DocumentPiece(const TJournalPiece& p) {
  const uint8_t source = p.Source == kSourceFile ? TDocument::kFile : p.Source == kSourceAdded ? TDocument::kAdded
                                                                                             : TDocument::kZeros;
  return {source, p.Start, p.Length};
}

}  // namespace

THexEditor::TUndoState THexEditor::UndoState(const TCaretState& c) {
  TUndoState state;
  state.Caret = std::clamp<int64_t>(c.Caret, -1, kMaxDocumentSize);
  state.Nibble = c.CaretNibble & 1;
  state.InChar = c.InCharField;
  state.SelMin = std::clamp<int64_t>(c.SelMin, -1, kMaxDocumentSize);
  state.SelMax = std::clamp<int64_t>(c.SelMax, -1, kMaxDocumentSize);
  state.SelAnchor = std::clamp<int64_t>(c.SelAnchor, -1, kMaxDocumentSize);
  state.Modified = c.Modified;
  return state;
}

void THexEditor::DropOpenStep(std::optional<TUndoStep>& open) {
  if (!open) return;
  FJournalHeld = true;
  FStore.Doc().Undo(open->Edit);
  FJournalHeld = false;
  open.reset();
}

void THexEditor::Replay(const TJournalContents& contents) {
  std::optional<TUndoStep> open;
  std::optional<TUndoState> caret;
  bool openPlanned = false;
  for (const TJournalRecord& r : contents.Records) {
    switch (r.Kind) {
      case TJournalKind::jkSplice: {
        std::vector<TPiece> pieces;
        for (const TJournalPiece& p : r.Pieces) pieces.push_back(DocumentPiece(p));
        TSplice back = FStore.Doc().Splice(r.At, r.Removed, pieces);
        if (open) open->Edit.Splices.push_back(std::move(back));
        break;
      }
      case TJournalKind::jkStepBegin: {
        DropOpenStep(open);  // a step that never ended was taken back
        Journal(r);
        const auto kind = static_cast<TUndoKind>(r.StepKind);
        const auto pos = std::clamp<int64_t>(r.StepPos, 0, kMaxDocumentSize);
        openPlanned = r.Planned;
        if (r.Planned) {
          // Recorded before its edit, whose splices follow on their own.
          if (!StepAllowed(kind, pos, static_cast<int64_t>(r.StepExtra), static_cast<int64_t>(r.StepCount)))
            throw EFileError("The journal does not fit the document");
          TUndoStep step;
          step.Kind = kind;
          step.Pos = pos;
          step.Before = UndoState(r.State);
          step.Edit.Splices.push_back(
              PlannedSplice(kind, pos, static_cast<int64_t>(r.StepExtra), static_cast<int64_t>(r.StepCount)));
          open = std::move(step);
          break;
        }
        open.emplace();
        open->Kind = kind;
        open->Pos = pos;
        open->Mark = ByteChanged(pos);
        open->Before = UndoState(r.State);
        break;
      }
      case TJournalKind::jkStepEnd: {
        if (!open) break;
        Journal(r);
        // A planned step's edit came as plain splices, which mark nothing.
        if (!openPlanned) StepMarks(*open, false);
        FUndo.push_back(std::move(*open));
        open.reset();
        if (FUndo.size() > static_cast<size_t>(kMaxUndo)) FUndo.pop_front();
        FRedo.clear();
        FCanUndo = true;
        caret = UndoState(r.State);
        break;
      }
      case TJournalKind::jkUndo:
        DropOpenStep(open);
        if (FUndo.empty()) break;
        Journal(r);
        FUndo.back().After = UndoState(r.State);
        caret = FUndo.back().Before;
        UndoStep();
        break;
      case TJournalKind::jkRedo:
        DropOpenStep(open);
        if (FRedo.empty()) break;
        Journal(r);
        FRedo.back().Before = UndoState(r.State);
        caret = FRedo.back().After;
        RedoStep();
        break;
      case TJournalKind::jkCaret:
        Journal(r);
        caret = UndoState(r.State);
        break;
      case TJournalKind::jkSaved:
      case TJournalKind::jkReplayed:
        break;
    }
  }
  DropOpenStep(open);
  UpdateUndoTexts();
  AdjustMetrics();
  if (caret) RestoreUndoState(*caret);
  FModified = true;
}

bool THexEditor::LoadRecovered(const TRecoveryInfo& info) {
  CloseDataStream();
  FLastError.clear();
  bool ok = false;
  {
    TWaitCursor wait(*this);
    try {
      if (!info.Problem.empty()) throw EFileError(info.Problem);
      const TFileHandle dir = OpenWorkFolderAt(info.Folder);
      const TJournalHeader& header = info.Journal.Contents.Header;
      TJournalSource source = OpenJournalSource(dir.Fd(), header);
      TWatchedFile file;
      if (!header.Untitled) {
        if (!source.File.IsOpen()) throw EFileError(IdentityChangeText(header.FileName, source.Change));
        // The file itself is opened as any file is; the old snapshot, which
        // goes with the old journal, is copied or cloned whole.
        TWatchedFile::TOptions options = OpenOptions();
        if (source.FromSnapshot) options.CopyLimit = INT64_MAX;
        file = TWatchedFile::Adopt(std::move(source.File), header.FileName, options);
      }
      FJournalHeader = TJournalHeader();
      FJournalHeader.Identity = header.Identity;
      FJournalHeader.SnapshotName = file.SnapshotName();
      TakeOpenedFile(std::move(file));
      ResetDocumentState();
      FFileName = info.FileName;
      FUntitled = info.Untitled;
      bool readOnly = true;
      FReadOnly = FUntitled || !CheckFileAccess(FFileName, readOnly) || readOnly;
      // The added bytes at the offsets the journal's pieces name.
      const TFileHandle added = OpenJournalAdded(dir.Fd(), header);
      std::vector<uint8_t> buffer(size_t{1} << 20);
      const int64_t total = added.Size();
      for (int64_t done = 0; done < total;) {
        const int64_t n = std::min<int64_t>(total - done, static_cast<int64_t>(buffer.size()));
        added.ReadExact(buffer.data(), n, done);
        FStore.Doc().Add(buffer.data(), n);
        done += n;
      }
      // Until its last record says so, the new journal holds only part of
      // the old one's, which stays until then.
      FJournalHeader.Replay = true;
      NoteChangeComing();
      FJournalHeader.Replay = false;
      Replay(info.Journal.Contents);
      TJournalRecord done;
      done.Kind = TJournalKind::jkReplayed;
      Journal(done);
      FStore.Changed();
      FStore.Edited();
      ok = true;
    } catch (const std::exception& e) {
      // The old journal stays for another try.
      FLastError = e.what();
      FLastError += ".";
      CloseDataStream();
      FReadOnly = true;
      ResetDocumentState();
    }
  }
  if (!ok) return false;
  DiscardRecoverable(info);
  InvalidateGrid();
  PostStateChange();
  return true;
}

}  // namespace byteloom
