// SPDX-License-Identifier: GPL-3.0-or-later
// Document storage: the working file, loading, saving with backup, the raw
// byte access and the 64 KiB read window.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <sys/stat.h>

#include "control/hexeditor.h"
#include "platform/filenames.h"

namespace byteloom {

namespace {


}  // namespace

std::string BackupFileName(const std::string& fileName, const std::string& backupExtension) {
  std::string ext = backupExtension;
  if (ExtractFileExt(fileName) == backupExtension) ext += "~";
  return ChangeFileExt(fileName, ext);
}

std::string THexEditor::MakeTempFileName() { return ChooseTempName(WorkFolder(), ".BLWT"); }

void THexEditor::CreateWorkFile() {
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
      FStore.Adopt(TTempFile::CreateNamed(FTempFileName));
      FStore.File().Handle().KeepSize(0);  // only this control writes its working copy
      // No working copy without its sidecar: a crash must never lose edits.
      try {
        FSidecar.Open(FTempFileName);
        FSidecarChanged = false;
        UpdateRecoveryInfo();
      } catch (...) {
        FStore.File().Remove();
        FSidecar.Remove();
        throw;
      }
      return;
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
  if (!FStore.File().IsOpen()) return;
  try {
    Data().SetSize(0);
  } catch (const EFileError&) {
    // The file goes away next anyway.
  }
  // The working copy first: a sidecar without one is cleared at the next start.
  FStore.File().Remove();
  FStore.Changed();
  FSidecar.Remove();
}

void THexEditor::UpdateRecoveryInfo(const std::string& intent) {
  if (!FStore.File().IsOpen()) return;
  const bool changed = FModified || FSidecarChanged;
  FSidecar.Write(FFileName, FUntitled, changed, intent);
  FSidecarChanged = changed;
}

void THexEditor::TryUpdateRecoveryInfo() noexcept {
  try {
    UpdateRecoveryInfo();
  } catch (const std::exception&) {
    // The sidecar keeps its last record, which errs on the side of changes.
  }
}

void THexEditor::NoteChangeComing() {
  if (FSidecarChanged || !FStore.File().IsOpen()) return;
  FSidecarChanged = true;
  try {
    UpdateRecoveryInfo();
  } catch (...) {
    FSidecarChanged = false;
    throw;
  }
}

THexEditor::TMoveIntent::TMoveIntent(THexEditor& ed, const std::string& what) : FEd(ed) {
  if (FEd.FMoveIntents == 0) {
    FEd.NoteChangeComing();
    FEd.UpdateRecoveryInfo(what);
  }
  ++FEd.FMoveIntents;
}

THexEditor::TMoveIntent::~TMoveIntent() {
  if (--FEd.FMoveIntents == 0) FEd.TryUpdateRecoveryInfo();
}

TTempFile THexEditor::NewWorkFile() {
  TTempFile file = TTempFile::Create(WorkFolder(), ".BLWT");
  file.Handle().KeepSize(0);  // only this control writes its working copies
  return file;
}

void THexEditor::AdoptWorkFile(TTempFile&& scratch) noexcept {
  // The scratch file takes the working copy's name in one step: at every
  // instant the name and its sidecar hold a whole document.
  try {
    if (FStore.File().StillNamed()) {
      scratch.MoveOver(FStore.File().Name());
      FStore.Adopt(std::move(scratch));
      return;
    }
  } catch (const EFileError&) {
    // The name cannot be taken over: the scratch file keeps its own.
  }
  // The working copy's name has gone (a cleaner of the temporary folder) or
  // cannot be used: the scratch file keeps its own name, with a sidecar of
  // its own where one can be made (else only crash recovery is lost, never
  // the document).
  try {
    TRecoverySidecar sidecar;
    sidecar.Open(scratch.Name());
    std::swap(FSidecar, sidecar);
    sidecar.Remove();
  } catch (const EFileError&) {
  }
  ReleaseTempName(FTempFileName);
  FStore.Adopt(std::move(scratch));
  FTempFileName = FStore.File().Name();
  ReserveTempName(FTempFileName);
  TryUpdateRecoveryInfo();
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
  int64_t size = 0;
  int err = 0;
  switch (FileKindOf(fileName, &size, &err)) {
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
      if (size > kMaxDocumentSize)
        FLastError = TooLargeToOpenMessage(fileName) + ".";
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
      TFileHandle source = OpenRegularForReading(fileName);
      FModified = false;  // a copy cut short is nothing to recover
      CreateWorkFile();
      CopyWholeFile(source, Data());
      const int64_t copied = Data().Size();
      if (copied != source.Size()) throw EFileError("The working copy of " + fileName + " is incomplete");
      if (copied > kMaxDocumentSize)
        throw EFileError(TooLargeToOpenMessage(fileName));
      FFileName = fileName;
      FUntitled = false;
      FModified = false;
      FSidecarChanged = false;
      UpdateRecoveryInfo();
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
  FFileName = name;
  FUntitled = true;
  FReadOnly = true;
  ResetDocumentState();
}

void THexEditor::EnsureDataStream() {
  if (FStore.File().IsOpen()) return;
  CreateWorkFile();
  FStore.Marks().SetSize(0);
}

bool THexEditor::LoadRecovered(const TRecoveryInfo& info) {
  if (!LoadFromFile(info.WorkFile)) return false;
  FFileName = info.Untitled ? "Untitled" : info.FileName;
  FUntitled = info.Untitled;
  bool readOnly = true;
  FReadOnly = FUntitled || !CheckFileAccess(FFileName, readOnly) || readOnly;
  try {
    SetModified(true);
  } catch (const std::exception& e) {
    // The old working copy stays for another try.
    FLastError = e.what();
    CloseDataStream();
    ResetDocumentState();
    return false;
  }
  DiscardRecoverable(info);
  InvalidateGrid();
  return true;
}

bool THexEditor::SaveToFileChecked(const std::string& fileName) {
  // A new document that never received data is saved as an empty file.
  EnsureDataStream();
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
  // Where the working copy and the file share a file system, the working
  // copy itself becomes the file and the document goes on in a copy of it
  // made in memory speed: the save writes the data to disk once.
  TTempFile next;
  const auto slash = fileName.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
  if (SameFileSystem(WorkFolder(), folder)) {
    // The disk writes the data while the copy is made in memory.
    Data().StartWriteback();
    try {
      next = NewWorkFile();
      CopyWholeFile(Data(), next.Handle());
    } catch (const EFileError&) {
      next = TTempFile();  // no room for it: the file gets a copy instead
    }
  }
  const TSaveResult result =
      SaveFileDurably(fileName, Data(), WorkFolder(), backup, next.IsOpen() ? FStore.File().Name() : std::string());
  // The old working copy is the user's file now: its name goes, never its
  // bytes. A working copy whose name has gone gets a named one again.
  if (result.SourcePublished || !FStore.File().StillNamed()) {
    if (!next.IsOpen()) {
      try {
        next = NewWorkFile();
        CopyWholeFile(Data(), next.Handle());
      } catch (const EFileError&) {
        next = TTempFile();  // the document goes on in its nameless copy
      }
    }
    if (next.IsOpen()) AdoptWorkFile(std::move(next));
  }
  if (!result.Warning.empty())
    FLastWarning = fileName + " was saved, but it may not be safe on disk yet: " + result.Warning + ".";
  if (existed) MarkBackup(backup, fileName);
  return true;
}

bool THexEditor::SaveToFile(const std::string& fileName) {
  FLastError.clear();
  FLastWarning.clear();
  bool ok = false;
  {
    TWaitCursor wait(*this);
    try {
      ok = SaveToFileChecked(fileName);
    } catch (const std::exception& e) {
      FLastError = e.what();
      FLastError += ".";
    }
  }
  if (ok) {
    FStore.Marks().SetSize(0);
    FModified = false;
    FReadOnly = false;
    FFileName = fileName;
    FUntitled = false;
    ResetUndo();
    FSidecarChanged = false;
    TryUpdateRecoveryInfo();
  }
  InvalidateGrid();
  return ok;
}

int32_t THexEditor::DataSize() { return FStore.Size(); }

uint8_t THexEditor::ReadByte(int32_t pos) {
  uint8_t b = 0;
  if (FStore.File().IsOpen()) Data().ReadAt(&b, 1, pos);
  return b;
}

void THexEditor::WriteByte(int32_t pos, uint8_t value) { WriteBuffer(&value, pos, 1); }

void THexEditor::ReadBuffer(void* dest, int32_t pos, int32_t count) {
  if (count <= 0) return;
  if (!FStore.File().IsOpen()) throw EHexEditorError("The document has no data");
  Data().ReadExact(dest, count, pos);
}

void THexEditor::WriteBuffer(const void* source, int32_t pos, int32_t count) {
  if (count <= 0) return;
  if (!FStore.File().IsOpen()) throw EHexEditorError("The document has no data");
  // A write past the end makes the document longer.
  if (int64_t{pos} + count > FStore.KnownSize()) FStore.Changed();
  Data().WriteAt(source, count, pos);
}

std::unique_ptr<uint8_t[]> THexEditor::BufferFromFile(int32_t pos, int32_t& count) {
  const int32_t size = DataSize();
  if (pos < 0 || pos >= size) throw EHexEditorError("Invalid BufferFromFile argument");
  if (count < 0) count = 0;
  if (static_cast<int64_t>(pos) + count > size) count = size - pos;
  try {
    auto buf = std::make_unique<uint8_t[]>(static_cast<size_t>(count));
    Data().ReadExact(buf.get(), count, pos);
    return buf;
  } catch (const std::exception&) {
    count = 0;
    return nullptr;
  }
}

void THexEditor::FillCache(int32_t pos) { FStore.Fill(pos, FBytesPerLine); }

void THexEditor::UpdateCache(int32_t pos, uint8_t value) { FStore.Put(pos, value); }

}  // namespace byteloom
