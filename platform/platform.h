// SPDX-License-Identifier: GPL-3.0-or-later
// Toolkit-free operating-system services: temporary directory and tick count,
// exclusive temporary files, file descriptors with checked I/O, kernel copies,
// file kind and access tests, and the durable replacement of a file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>
#include <sys/types.h>

namespace byteloom {

// Milliseconds of the monotonic clock, low 32 bits.
uint32_t TickCount();

// The temporary directory with a trailing "/" (honours TMPDIR).
std::string TempDirectory();

// The user's private folder for working files inside the temporary folder,
// with a trailing "/": "byteloom-<uid>" (or "byteloom-<uid>-1" ... where
// another user holds the name), made 0700 and checked to be a folder of ours
// that nobody else can enter, reached without following links. Checked again
// at every call and made anew when it has gone. Raises EFileError.
std::string WorkFolder();
// The descriptor of WorkFolder(), for opening files relative to it.
int WorkFolderFd();
// The private folders of ours that exist in the temporary folder now (the
// working files of earlier sessions may be in any of them).
std::vector<std::string> ExistingWorkFolders();
class TFileHandle;
// A descriptor of one of them, checked as WorkFolder() checks its own.
// Raises EFileError.
TFileHandle OpenWorkFolderAt(const std::string& folder);

// Text for an errno value, e.g. "No space left on device".
std::string ErrnoText(int err);

// Raised by file operations; the message names what failed and why.
class EFileError : public std::runtime_error {
 public:
  explicit EFileError(const std::string& message, int err = 0) : std::runtime_error(message), FErrno(err) {}
  // The system's error number behind the failure, 0 if none.
  int Errno() const { return FErrno; }

 private:
  int FErrno;
};

// An open file descriptor. Every read, write, size change and sync is checked;
// failures raise EFileError. Moves only.
class TFileHandle {
 public:
  TFileHandle() = default;
  explicit TFileHandle(int fd, std::string name = {}) : FFd(fd), FName(std::move(name)) {}
  TFileHandle(TFileHandle&& o) noexcept { *this = std::move(o); }
  TFileHandle& operator=(TFileHandle&& o) noexcept;
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  ~TFileHandle();

  int Fd() const { return FFd; }
  bool IsOpen() const { return FFd >= 0; }
  const std::string& Name() const { return FName; }
  void SetName(std::string name) { FName = std::move(name); }

  int64_t Size() const;
  // For a file only this handle changes (a working copy): its size is kept
  // from the changes made through it, so that Size() asks the file system
  // only after a change that failed.
  void KeepSize(int64_t knownSize = -1) {
    FKeepSize = true;
    FKnownSize = knownSize;
  }
  // A change made through Fd(): the file now reaches at least end, or its
  // size is not known.
  void NoteWritten(int64_t end) {
    if (FKnownSize >= 0) FKnownSize = std::max(FKnownSize, end);
  }
  void ForgetSize() { FKnownSize = -1; }
  // Reads up to count bytes at pos; returns the number read (short only at the end).
  int64_t ReadAt(void* buf, int64_t count, int64_t pos) const;
  void ReadExact(void* buf, int64_t count, int64_t pos) const;
  // The first stretch of [pos, end) that may hold data rather than a hole
  // of a sparse file: {start, stop}, with start = end where only holes are
  // left. Where the file system cannot tell, all of it is data.
  std::pair<int64_t, int64_t> DataExtent(int64_t pos, int64_t end) const;
  void WriteAt(const void* buf, int64_t count, int64_t pos);
  void SetSize(int64_t size);
  // Allocates the blocks for a growth to size without changing the length;
  // false where the file system cannot (no fallocate), with nothing changed.
  bool TryReserve(int64_t size);
  // Makes sure the file can grow to size without running out of space: the
  // blocks are allocated, or, where the file system cannot, zeros are written
  // up to size (the file is then that long). On failure the length is as
  // before and EFileError says what did not fit.
  void Reserve(int64_t size);
  void Sync() const;
  // Starts writing the file's changed pages to disk without waiting for
  // them (Sync waits); failures show at the next Sync.
  void StartWriteback() const;
  // Closes the descriptor, reporting a failing close.
  void Close();

 private:
  int FFd = -1;
  std::string FName;
  bool FKeepSize = false;
  mutable int64_t FKnownSize = -1;
};

// Bytes [pos, pos + count) of a file, kept before a change that overwrites
// them, so that a change failing part way can write them back. Kept in
// memory up to kMaxKept bytes; a longer range is not kept (PutBack then
// does nothing). Reading them raises EFileError before anything changed.
class TKeptBytes {
 public:
  static constexpr int64_t kMaxKept = int64_t{16} << 20;
  TKeptBytes(const TFileHandle& file, int64_t pos, int64_t count);
  // Writes the bytes back; a failure is ignored (the change's own error is
  // the one to report).
  void PutBack(TFileHandle& file) const noexcept;

 private:
  int64_t FPos;
  bool FKept;
  std::vector<uint8_t> FBytes;
};

// A temporary file that this program created itself, exclusively
// (O_CREAT|O_EXCL|O_NOFOLLOW, mode 0600); in the private work folder, relative
// to its descriptor. The name is "dir" + 8 upper-case hex
// digits + extension; a name that exists already (a file, a link, another
// control's file) is never opened: the next candidate is tried. On destruction
// the file is removed, but only while the name still refers to this file.
class TTempFile {
 public:
  TTempFile() = default;
  TTempFile(TTempFile&& o) noexcept = default;
  TTempFile& operator=(TTempFile&& o) noexcept;
  ~TTempFile();

  // Creates a fresh file in dir (with trailing "/") with a name from ChooseTempName.
  static TTempFile Create(const std::string& dir, const std::string& extension);
  // Creates the file name exclusively; EFileError with Errno() EEXIST when a
  // file, link or anything else already has that name.
  static TTempFile CreateNamed(const std::string& name);
  // Creates a fresh hidden file beside path (same directory), for replacing it.
  static TTempFile CreateBeside(const std::string& path);

  const std::string& Name() const { return FHandle.Name(); }
  TFileHandle& Handle() { return FHandle; }
  const TFileHandle& Handle() const { return FHandle; }
  bool IsOpen() const { return FHandle.IsOpen(); }

  // Whether the name still refers to this very file (not gone, not replaced).
  bool StillNamed() const;
  // Removes the file now (if it is still ours) and closes it.
  void Remove();
  // Renames the file over name in the same folder (an existing file there
  // is replaced in one step); the file keeps its descriptor. Raises EFileError.
  void MoveOver(const std::string& name);
  // Forgets the file without removing it (after it was renamed into place).
  void Release();

 private:
  TFileHandle FHandle;
  dev_t FDev = 0;
  ino_t FIno = 0;
};

// A temporary file name: dir (with trailing "/"), the tick count as 8
// upper-case hex digits, extension. A name that exists or that is reserved
// is skipped by counting on from the tick count, so two names chosen within
// one tick differ once the first is created or reserved.
std::string ChooseTempName(const std::string& dir, const std::string& extension);
// Names reserved by live owners in this process (working files not yet
// created) are never chosen for anyone else.
void ReserveTempName(const std::string& name);
void ReleaseTempName(const std::string& name);

// Copies count bytes from src (at srcPos) to dst (at dstPos) with the kernel's
// copy where it can (copy_file_range), else with read/write. Raises EFileError.
void CopyData(const TFileHandle& src, int64_t srcPos, TFileHandle& dst, int64_t dstPos, int64_t count);
// Makes dst an exact copy of src: clone where the file system allows it,
// else a kernel copy; dst's length becomes src's.
void CopyWholeFile(const TFileHandle& src, TFileHandle& dst);

// fkMissing only when the name does not exist (ENOENT); any other failure of
// stat is fkError, with its errno in *err.
enum class TFileKind { fkMissing, fkRegular, fkDirectory, fkOther, fkError };
TFileKind FileKindOf(const std::string& path, int64_t* size = nullptr, int* err = nullptr);
bool FileExists(const std::string& path);

// Opens a regular file for reading without blocking on FIFOs or devices.
// Raises EFileError with a clear reason if it is not a regular file.
TFileHandle OpenRegularForReading(const std::string& path);

// Whether path can be opened for reading / for writing (no change to the file,
// no blocking on a FIFO).
bool CanOpenForReading(const std::string& path);
bool CanOpenForWriting(const std::string& path);

// Saves source as target, durably. When backup is not empty and the target
// exists, its old bytes end up complete under backup: where the target is
// replaced by a new file, the old file itself becomes the backup (hard link
// renamed over backup), else a durable copy is made first. At every moment
// the old bytes exist complete under target or backup. Raises EFileError
// while nothing is published; once the new file has been renamed over the
// target the save stands, and later errors (close, syncing the folder) come
// back as a warning text (empty when there is none).
// With sourceName (the source's own name), the source file itself may become
// the target where both are on one file system (no copy of the data); then
// SourcePublished is set, and the caller must neither write to the source
// any more nor truncate it, only remove its name.
struct TSaveResult {
  std::string Warning;
  bool SourcePublished = false;
};
TSaveResult SaveFileDurably(const std::string& target, const TFileHandle& source, const std::string& tempDir,
                            const std::string& backup = {}, const std::string& sourceName = {});
// The same, with the new bytes put by write into the empty file it is given
// (the new file beside the target, or where the target is rewritten in
// place, a private file in tempDir first: write may read the target).
// beforePublish, when given, sees the new file once it is complete and on
// disk, before it replaces the target (not when the target is rewritten in
// place); raising from it ends the save with nothing published.
using TContentWriter = std::function<void(TFileHandle& out)>;
using TPublishHook = std::function<void(const TFileHandle& fresh)>;
TSaveResult SaveFileDurably(const std::string& target, const TContentWriter& write, const std::string& tempDir,
                            const std::string& backup = {}, const TPublishHook& beforePublish = {});
// The computer's memory in bytes, and the bytes free for this user in the
// file system of folder (-1 where it cannot be told).
int64_t PhysicalMemoryBytes();
int64_t FreeSpaceBytes(const std::string& folder);
// Whether the files or folders a and b are on one file system.
bool SameFileSystem(const std::string& a, const std::string& b);

// Replaces the contents of target with the count bytes of source, durably:
// written to a new file beside the target, synced and renamed over it, keeping
// the target's permission bits; a symbolic link is followed and its target
// replaced. Where a new file cannot keep the file's identity (no new file
// allowed in its folder, or further hard links), it is rewritten in place
// instead, after a complete copy of its old bytes is safe: safeCopy if given
// (a file holding exactly the old bytes), else a safety copy made in tempDir;
// on failure the old bytes are written back. Raises EFileError; on failure the
// target holds its old bytes.
void ReplaceFileContents(const std::string& target, const TFileHandle& source, const std::string& tempDir,
                         const std::string& safeCopy = {});

// Copies the file from to a new file to, durably, replacing an existing `to`
// only once the copy is complete and synced. Where no new file may be made
// in its folder, an existing `to` is rewritten in place, but never through
// a symbolic or hard link and only once its new size is known to fit.
// Raises EFileError.
void CopyFileDurably(const std::string& from, const std::string& to);

// A new version of a file, written to a new file beside it and renamed over
// it by Commit (a symbolic link is followed and its target replaced; an
// existing file's permission bits are kept). Until then the target is
// untouched; without Commit the new file is removed. A private replacement
// keeps the new file's mode 0600. Raises EFileError.
class TFileReplacement {
 public:
  explicit TFileReplacement(const std::string& target, bool keepPrivate = false);
  TFileHandle& Handle() { return FFresh.Handle(); }
  // The new file's name until Commit.
  const std::string& FreshName() const { return FFresh.Name(); }
  // Whether a file stood at the target when the replacement began.
  bool ReplacesFile() const { return FReplaces; }
  // durable: the new file and the folder are synced to the disk first (else
  // the rename alone, so a reader sees the old file or the whole new one).
  // Raises EFileError while the target is untouched; once the new file has
  // been renamed over it the replacement stands, and a later failure
  // (closing the file, syncing the folder) comes back as a warning text,
  // as SaveFileDurably's (empty when there is none).
  std::string Commit(bool durable = true);

 private:
  std::string FTarget;  // the target with links followed
  bool FPrivate;
  bool FReplaces = false;
  TTempFile FFresh;
};

// Writes content to path atomically through a private TFileReplacement.
// Raises EFileError; returns Commit's warning.
std::string WriteFileAtomically(const std::string& path, const std::string& content, bool durable = true);

// The absolute, lexically normal form of path (links are not resolved).
std::string AbsolutePath(const std::string& path);

}  // namespace byteloom
