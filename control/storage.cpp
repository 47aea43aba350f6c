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

std::string THexEditor::MakeTempFileName() { return ChooseTempName(TempDirectory(), ".BLWT"); }

void THexEditor::CreateWorkFile() {
  for (int attempt = 0;; ++attempt) {
    try {
      FWorkFile = TTempFile::CreateNamed(FTempFileName);
      FWorkFile.Handle().KeepSize(0);  // only this control writes its working copy
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
  if (!FWorkFile.IsOpen()) return;
  try {
    Data().SetSize(0);
  } catch (const EFileError&) {
    // The file goes away next anyway.
  }
  RemoveRecoveryInfo(FWorkFile.Name());
  FWorkFile.Remove();
}

void THexEditor::UpdateRecoveryInfo() {
  if (!FWorkFile.IsOpen()) return;
  try {
    WriteRecoveryInfo(FWorkFile.Name(), FFileName, FModified);
  } catch (const EFileError&) {
    // Without its sidecar a working copy is just not offered after a crash.
  }
}

TTempFile THexEditor::NewWorkFile() {
  TTempFile file = TTempFile::Create(TempDirectory(), ".BLWT");
  file.Handle().KeepSize(0);  // only this control writes its working copies
  return file;
}

void THexEditor::AdoptWorkFile(TTempFile&& scratch) {
  RemoveRecoveryInfo(FWorkFile.Name());
  ReleaseTempName(FTempFileName);
  FWorkFile = std::move(scratch);
  FTempFileName = FWorkFile.Name();
  ReserveTempName(FTempFileName);
  UpdateRecoveryInfo();
}

void THexEditor::SetModified(bool value) {
  const bool first = value && !FModified;
  FModified = value;
  if (first) UpdateRecoveryInfo();
}

bool THexEditor::CheckFileAccess(const std::string& fileName, bool& readOnly) {
  readOnly = true;
  if (!FileExists(fileName)) return false;
  if (!CanOpenForReading(fileName)) return false;
  if (CanOpenForWriting(fileName)) readOnly = false;
  return true;
}

void THexEditor::ResetDocumentState() {
  ResetUndo();
  ResetSelection(false);
  FChangedBits.SetSize(0);
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
      CreateWorkFile();
      CopyWholeFile(source, Data());
      const int64_t copied = Data().Size();
      if (copied != source.Size()) throw EFileError("The working copy of " + fileName + " is incomplete");
      if (copied > kMaxDocumentSize)
        throw EFileError(TooLargeToOpenMessage(fileName));
      FFileName = fileName;
      FModified = false;
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
  FReadOnly = true;
  ResetDocumentState();
}

void THexEditor::EnsureDataStream() {
  if (FWorkFile.IsOpen()) return;
  CreateWorkFile();
  UpdateRecoveryInfo();
  FChangedBits.SetSize(0);
}

bool THexEditor::LoadRecovered(const TRecoveryInfo& info) {
  if (!LoadFromFile(info.WorkFile)) return false;
  FFileName = info.FileName;
  bool readOnly = true;
  FReadOnly = !CheckFileAccess(FFileName, readOnly) || readOnly;
  SetModified(true);
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
  if (SameFileSystem(TempDirectory(), folder)) {
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
      SaveFileDurably(fileName, Data(), TempDirectory(), backup, next.IsOpen() ? FWorkFile.Name() : std::string());
  // The old working copy is the user's file now: its name goes, never its bytes.
  if (result.SourcePublished) AdoptWorkFile(std::move(next));
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
    FChangedBits.SetSize(0);
    FModified = false;
    FReadOnly = false;
    FFileName = fileName;
    ResetUndo();
    UpdateRecoveryInfo();
  }
  InvalidateGrid();
  return ok;
}

bool THexEditor::SaveToStream(std::vector<uint8_t>& dest) {
  TWaitCursor wait(*this);
  if (!FWorkFile.IsOpen()) return false;
  const size_t start = dest.size();
  try {
    const int64_t size = Data().Size();
    dest.resize(start + static_cast<size_t>(size));
    Data().ReadExact(dest.data() + start, size, 0);
    return true;
  } catch (const std::exception&) {
    dest.resize(start);
    return false;
  }
}

int32_t THexEditor::DataSize() {
  if (FCachedSize == -1 || FCacheStart == -1) {
    const int64_t size = FWorkFile.IsOpen() ? Data().Size() : 0;
    FCachedSize = static_cast<int32_t>(std::min(size, kMaxDocumentSize));
  }
  return FCachedSize;
}

uint8_t THexEditor::ReadByte(int32_t pos) {
  uint8_t b = 0;
  if (FWorkFile.IsOpen()) Data().ReadAt(&b, 1, pos);
  return b;
}

void THexEditor::WriteByte(int32_t pos, uint8_t value) { WriteBuffer(&value, pos, 1); }

void THexEditor::ReadBuffer(void* dest, int32_t pos, int32_t count) {
  if (count <= 0) return;
  if (!FWorkFile.IsOpen()) throw EHexEditorError("The document has no data");
  Data().ReadExact(dest, count, pos);
}

void THexEditor::WriteBuffer(const void* source, int32_t pos, int32_t count) {
  if (count <= 0) return;
  if (!FWorkFile.IsOpen()) throw EHexEditorError("The document has no data");
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

void THexEditor::FillCache(int32_t pos) {
  if (FCacheStart != -1 && pos >= FCacheStart &&
      static_cast<int64_t>(FCacheStart) + kCacheSize >= static_cast<int64_t>(pos) + FBytesPerLine)
    return;
  FCachedSize = -1;
  const int32_t start = std::max(pos - kCacheSize / 2, 0);
  int64_t got = 0;
  if (FWorkFile.IsOpen()) got = Data().ReadAt(FReadCache.data(), kCacheSize, start);
  std::fill(FReadCache.begin() + got, FReadCache.end(), 0);
  FCacheStart = start;
}

void THexEditor::UpdateCache(int32_t pos, uint8_t value) {
  // Every byte the window holds is kept in step, also one of a row that the
  // window does not wholly cover: a later read of that byte must not see the
  // old value.
  if (FCacheStart != -1 && pos >= FCacheStart && static_cast<int64_t>(pos) < static_cast<int64_t>(FCacheStart) + kCacheSize)
    FReadCache[static_cast<size_t>(pos - FCacheStart)] = value;
}

}  // namespace byteloom
