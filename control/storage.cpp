// SPDX-License-Identifier: GPL-3.0-or-later
// Document storage: the working file, loading, saving with backup, the raw
// byte access and the 64 KiB read window.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>

#include "control/hexeditor.h"
#include "control/backups.h"
#include "platform/filenames.h"

namespace byteloom {

std::string BackupFileName(const std::string& fileName, const std::string& backupExtension) {
  std::string ext = backupExtension;
  if (ExtractFileExt(fileName) == backupExtension) ext += "~";
  return ChangeFileExt(fileName, ext);
}

std::string THexEditor::MakeTempFileName() { return ChooseTempName(WorkFolder(), ".BLWT"); }

TTempFile THexEditor::CreateWorkFile() {
  // The private folder is checked (and made again where it has gone); a
  // name chosen in another one is chosen anew.
  const std::string folder = WorkFolder();
  if (FTempFileName.compare(0, folder.size(), folder) != 0 || FTempFileName.find('/', folder.size()) != std::string::npos) {
    ReleaseTempName(FTempFileName);
    FTempFileName = MakeTempFileName();
    ReserveTempName(FTempFileName);
  }
  for (int attempt = 0;; ++attempt) {
    try {
      return TTempFile::CreateNamed(FTempFileName);
    } catch (const EFileError& e) {
      // Something else has the name now: never touch it, take another one.
      if (e.Errno() != EEXIST || attempt >= 1000) throw;
      ReleaseTempName(FTempFileName);
      FTempFileName = MakeTempFileName();
      ReserveTempName(FTempFileName);
    }
  }
}

void THexEditor::CloseDataStream() {
  // The journal first: one without its added bytes is cleared at the next start.
  FJournal.Remove();
  TakeOpenedFile(TWatchedFile());
}

TWatchedFile::TOptions THexEditor::OpenOptions() {
  TWatchedFile::TOptions options;
  options.MakePrivate = [this] { return CreateWorkFile(); };
  options.CopyLimit = FCopyLimit;
  return options;
}

void THexEditor::TakeOpenedFile(TWatchedFile&& file) {
  FStore.Reset(std::move(file));
  FChangeTold = false;
  Host().WatchFile(FStore.File().WatchFd());
}

void THexEditor::OpenedFileEvent() {
  TWatchedFile& file = FStore.File();
  if (!file.EventsPending() || FChangeTold) return;
  const TOpenedCheck check = file.Check();
  if (check.State == TOpenedState::osUnchanged) return;
  FChangeTold = true;
  // What is shown of the file is read again, as it is now.
  FStore.Changed();
  FStore.Edited();
  InvalidateGrid();
  if (OnOpenedFileChanged) OnOpenedFileChanged(OpenedFileChangedText(FFileName, check));
}

bool THexEditor::OpenedFileStillSafe(const std::string& fileName) {
  const TOpenedCheck check = FStore.File().Check();
  const bool inPlace = check.State == TOpenedState::osChanged || check.State == TOpenedState::osResized;
  // A file replaced or deleted is still held as it was opened: only saving
  // over its name writes over another program's work.
  if (check.State == TOpenedState::osUnchanged || (!inPlace && fileName != FFileName)) return true;
  const std::string question = check.Text + " Save the document over it anyway?";
  if (OnConfirmChangedFile && OnConfirmChangedFile(question)) return true;
  FLastError = check.Text + " The file was not saved.";
  return false;
}

namespace {

TJournalPiece JournalPiece(const TPiece& p) {
  const uint8_t source = p.Source == TDocument::kFile ? kSourceFile : p.Source == TDocument::kAdded ? kSourceAdded
                                                                                                   : kSourceZeros;
  return {source, p.Start, p.Length};
}

}  // namespace

void THexEditor::NoteChangeComing() {
  if (FJournal.IsOpen()) return;
  try {
    TJournalHeader header = FJournalHeader;
    header.FileName = FUntitled ? std::string() : FFileName;
    header.Untitled = FUntitled;
    header.AddedName = ExtractFileName(FStore.Doc().AddedFile().Name());
    FJournal = TJournal::Create(header, FStore.Doc().AddedFile());
  } catch (const EFileError& e) {
    FStore.Doc().CloseAddedIfEmpty();  // a refused first edit leaves no file behind
    ThrowNoSpace(e, "for the record of this edit; the edit was not made");
  }
}

void THexEditor::Journal(const TJournalRecord& record) {
  NoteChangeComing();
  try {
    FJournal.Append(record);
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for the record of this edit; the edit was not made");
  }
}

void THexEditor::JournalSplice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted) {
  if (FJournalHeld) return;
  TJournalRecord r;
  r.Kind = TJournalKind::jkSplice;
  r.At = at;
  r.Removed = removed;
  for (const TPiece& p : inserted) r.Pieces.push_back(JournalPiece(p));
  if (FJournalBatch) FJournalBatch->push_back(std::move(r));
  else Journal(r);
}

void THexEditor::JournalCaret() noexcept {
  if (!FJournal.IsOpen()) return;
  TJournalRecord r;
  r.Kind = TJournalKind::jkCaret;
  r.State = JournalState(CurrentUndoState());
  if (r.State == FJournaledCaret) return;
  try {
    FJournal.Append(r);
    FJournaledCaret = r.State;
  } catch (const EFileError&) {
    // Only where the caret comes back after a crash depends on it.
  }
}

TCaretState THexEditor::JournalState(const TUndoState& state) const {
  TCaretState c;
  c.Caret = state.Caret;
  c.CaretNibble = state.Nibble;
  c.InCharField = state.InChar;
  c.SelMin = state.SelMin;
  c.SelMax = state.SelMax;
  c.SelAnchor = state.SelAnchor;
  c.Modified = state.Modified;
  return c;
}

void THexEditor::SetModified(bool value) {
  if (value) NoteChangeComing();
  FModified = value;
}

bool THexEditor::CheckFileAccess(const std::string& fileName, bool& readOnly) {
  readOnly = true;
  if (!FileExists(fileName)) return false;
  if (!CanOpenForReading(fileName)) return false;
  if (CanOpenForWriting(fileName)) readOnly = false;
  return true;
}

void THexEditor::ResetDocumentState() {
  FStore.Changed();
  ResetUndo();
  ResetSelection(false);
  FStore.Marks().SetSize(0);
  AdjustMetrics();
  FModified = false;
  FMouseSelecting = false;
  MoveCaret(2, 0);
}

bool THexEditor::LoadFromFile(const std::string& fileName) {
  CloseDataStream();
  FLastError.clear();
  int err = 0;
  switch (FileKindOf(fileName, nullptr, &err)) {
    case TFileKind::fkError:
      FLastError = "Cannot open " + fileName + ": " + ErrnoText(err) + ".";
      break;
    case TFileKind::fkDirectory:
      FLastError = fileName + " is a folder, not a file.";
      break;
    case TFileKind::fkOther:
      FLastError = fileName + " is not a regular file (it is a device, a pipe or a socket).";
      break;
    case TFileKind::fkMissing:
      FLastError = "Cannot open " + fileName + ": " + ErrnoText(ENOENT) + ".";
      break;
    case TFileKind::fkRegular:
      break;
  }
  if (FLastError.empty() && !CheckFileAccess(fileName, FReadOnly))
    FLastError = "Cannot open " + fileName + ": " + ErrnoText(EACCES) + ".";
  if (!FLastError.empty()) {
    FReadOnly = true;
    ResetDocumentState();
    return false;
  }

  bool ok = false;
  {
    TWaitCursor wait(*this);
    try {
      TWatchedFile file = TWatchedFile::Open(fileName, OpenOptions());
      FJournalHeader = TJournalHeader();
      FJournalHeader.Identity = file.Identity();
      FJournalHeader.SnapshotName = file.SnapshotName();
      TakeOpenedFile(std::move(file));
      FFileName = fileName;
      FUntitled = false;
      ok = true;
    } catch (const std::exception& e) {
      FLastError = e.what();
      FLastError += ".";
      CloseDataStream();
      FReadOnly = true;
    }
  }
  ResetDocumentState();
  return ok;
}

void THexEditor::CreateEmptyFile(const std::string& name) {
  CloseDataStream();
  FJournalHeader = TJournalHeader();
  FFileName = name;
  FUntitled = true;
  FReadOnly = true;
  ResetDocumentState();
}

void THexEditor::EnsureDataStream() {
  try {
    FStore.Doc().AddedFile();
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for this document");
  }
}

bool THexEditor::SaveToFileChecked(const std::string& fileName, TFileHandle& saved, const TProgress& progress) {
  if (!OpenedFileStillSafe(fileName)) return false;
  std::string backup;
  bool existed = false;
  if (FCreateBackup && FModified && fileName == FFileName) {
    backup = BackupFileName(fileName, FBackupExtension);
    // Only a file that does not exist has no old bytes to keep; any other
    // failure to look at it ends the save before anything is written.
    struct stat st;
    existed = stat(fileName.c_str(), &st) == 0;
    if (!existed && errno != ENOENT) throw EFileError("Cannot save " + fileName + ": " + ErrnoText(errno), errno);
    const bool backupExists = existed && lstat(backup.c_str(), &st) == 0;
    if (existed && !backupExists && errno != ENOENT)
      throw EFileError("Cannot save " + fileName + ": the backup " + backup + ": " + ErrnoText(errno), errno);
    // A file of the user's own at the backup name is replaced only on their word.
    if (backupExists && !IsBackupOf(backup, fileName)) {
      const std::string question = BackupQuestion(backup, fileName);
      if (!OnConfirmBackupReplace || !OnConfirmBackupReplace(question)) {
        FLastError = question.substr(0, question.size() - std::string(". Replace it?").size()) +
                     "; the file was not saved.";
        return false;
      }
    }
  }
  // The new file is written from the pieces: stretches of the opened file
  // by kernel copies, which file systems that share extents share.
  // The journal says which file the save makes before it replaces the old
  // one: a crash after that leaves nothing to give back, one before it
  // leaves every edit.
  const auto announce = [&](const TFileHandle& fresh) {
    const int fd = fcntl(fresh.Fd(), F_DUPFD_CLOEXEC, 0);
    if (fd >= 0) saved = TFileHandle(fd, fileName);
    if (!FJournal.IsOpen()) return;
    TJournalRecord r;
    r.Kind = TJournalKind::jkSaved;
    r.SavedName = AbsolutePath(fileName);
    r.SavedIdentity = TFileIdentity::Take(fresh.Fd(), fileName);
    Journal(r);
  };
  const TSaveResult result = SaveFileDurably(
      fileName,
      [&](TFileHandle& out) {
        if (!FStore.Doc().WriteTo(out, progress)) throw EFileError("The save was stopped; " + fileName + " is as it was");
      },
      WorkFolder(), backup, announce);
  if (!result.Warning.empty())
    FLastWarning = fileName + " was saved, but it may not be safe on disk yet: " + result.Warning + ".";
  if (existed) MarkBackup(backup, fileName);
  return true;
}

void THexEditor::StartJournalAfterSave(const std::string& fileName, TFileHandle saved) noexcept {
  // The saved file is the document and the journal's base from now on: the
  // edits to come are pieces of it and replayed over it. Where it cannot be
  // read back the document stays as it is, and a crash offers nothing
  // wrong: the identity then matches no file.
  FJournal.Remove();
  FJournalHeader = TJournalHeader();
  try {
    if (!saved.IsOpen()) saved = OpenRegularForReading(fileName);
    TWatchedFile file = TWatchedFile::Adopt(std::move(saved), fileName, OpenOptions());
    FJournalHeader.Identity = file.Identity();
    FJournalHeader.SnapshotName = file.SnapshotName();
    TakeOpenedFile(std::move(file));
  } catch (const EFileError&) {
  }
}

bool THexEditor::SaveToFile(const std::string& fileName, const TProgress& progress) {
  FLastError.clear();
  FLastWarning.clear();
  bool ok = false;
  TFileHandle saved;
  {
    TWaitCursor wait(*this);
    try {
      ok = SaveToFileChecked(fileName, saved, progress);
    } catch (const std::exception& e) {
      FLastError = e.what();
      FLastError += ".";
    }
  }
  // A running program's memory is written out as a copy; the window goes on
  // showing the program.
  if (ok && IsLive()) {
    saved.Close();
  } else if (ok) {
    FStore.Marks().SetSize(0);
    FModified = false;
    FReadOnly = false;
    FFileName = fileName;
    FUntitled = false;
    ResetUndo();
    StartJournalAfterSave(fileName, std::move(saved));
  }
  InvalidateGrid();
  return ok;
}

int64_t THexEditor::DataSize() { return FStore.Size(); }

uint8_t THexEditor::ReadByte(int64_t pos) {
  uint8_t b = 0;
  if (pos >= 0 && pos < FStore.Doc().Size()) FStore.Doc().Read(pos, 1, &b);
  return b;
}

void THexEditor::WriteByte(int64_t pos, uint8_t value) {
  WriteBuffer(&value, pos, 1);
  UpdateCache(pos, value);
}

void THexEditor::ReadBuffer(void* dest, int64_t pos, int64_t count) {
  if (count <= 0) return;
  if (!FStore.IsOpen()) throw EHexEditorError("The document has no data");
  if (pos < 0 || pos + count > FStore.Doc().Size())
    throw EFileError("Cannot read the document: unexpected end of file");
  FStore.Doc().Read(pos, count, static_cast<uint8_t*>(dest));
}

void THexEditor::WriteBuffer(const void* source, int64_t pos, int64_t count) {
  if (count <= 0) return;
  if (!FStore.IsOpen()) throw EHexEditorError("The document has no data");
  const int64_t size = FStore.Doc().Size();
  if (pos < 0) throw EHexEditorError("Invalid WriteBuffer argument");
  // A write past the end makes the document longer (zeros up to pos).
  const int64_t over = std::clamp<int64_t>(size - pos, 0, count);
  NoteChangeComing();
  try {
    TDocument& doc = FStore.Doc();
    if (pos <= size) {
      doc.Replace(pos, over, static_cast<const uint8_t*>(source), count);
    } else {
      const TPiece added = doc.Add(static_cast<const uint8_t*>(source), count);
      doc.Put(size, 0, {TDocument::Zeros(2 * static_cast<uint64_t>(pos - size)), added});
    }
  } catch (const EFileError& e) {
    ThrowNoSpace(e, "for this edit");
  }
  if (count != 1) FStore.Changed();
  FStore.Edited();
  if (over != count) AdjustMetrics();
}

std::unique_ptr<uint8_t[]> THexEditor::BufferFromFile(int64_t pos, int64_t& count) {
  const int64_t size = DataSize();
  if (pos < 0 || pos >= size) throw EHexEditorError("Invalid BufferFromFile argument");
  if (count < 0) count = 0;
  if (pos + count > size) count = size - pos;
  try {
    auto buf = std::make_unique<uint8_t[]>(static_cast<size_t>(count));
    FStore.Doc().Read(pos, count, buf.get());
    return buf;
  } catch (const std::exception&) {
    count = 0;
    return nullptr;
  }
}

void THexEditor::FillCache(int64_t pos) { FStore.Fill(pos, FBytesPerLine); }

void THexEditor::UpdateCache(int64_t pos, uint8_t value) { FStore.Put(pos, value); }

}  // namespace byteloom
