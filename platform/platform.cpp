// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/platform.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <vector>

namespace byteloom {

namespace {

constexpr int64_t kCopyBlock = 1 << 20;

std::string Hex8(uint32_t v) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", v);
  return buf;
}

[[noreturn]] void Fail(const std::string& what, int err) { throw EFileError(what + ": " + ErrnoText(err), err); }

std::string DirName(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Whether a link found in the folder with status dir may be followed: in a
// folder that others may write to, only a link of our own or of the folder's
// owner (as the kernel does for sticky folders), since anyone else's link
// there may have been planted to turn a write against us.
bool MayFollowLink(const struct stat& link, const struct stat& dir) {
  if ((dir.st_mode & (S_IWGRP | S_IWOTH)) == 0) return true;
  return link.st_uid == geteuid() || ((dir.st_mode & S_ISVTX) && link.st_uid == dir.st_uid);
}

// Follows symbolic links (also a dangling last one) to the path that a write
// through `path` would reach. A link in a folder writable by others is
// followed only when it is ours (MayFollowLink); else EFileError.
std::string ResolveLinks(const std::string& path) {
  std::string p = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st, dir;
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    if (stat(DirName(p).c_str(), &dir) != 0) Fail("Cannot read the folder of " + p, errno);
    if (!MayFollowLink(st, dir))
      throw EFileError(p + " is a symbolic link of another user in a folder that others can write to; "
                       "Byteloom does not write through it", EPERM);
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    ssize_t n = readlink(p.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) Fail("Cannot read the link " + p, errno);
    std::string target(buf.data(), static_cast<size_t>(n));
    p = (!target.empty() && target[0] == '/') ? target : DirName(p) + "/" + target;
  }
  throw EFileError("Too many levels of symbolic links: " + path);
}

// Syncs a folder's entries; 0 or the errno of the failure. File systems that
// cannot sync a folder (EINVAL) count as done.
int SyncDirectory(const std::string& dir) {
  int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? errno : 0;
  if (close(fd) != 0 && err == 0 && errno != EINTR) err = errno;
  return err;
}

bool IsPermissionError(int err) { return err == EACCES || err == EPERM || err == EROFS; }

mode_t CurrentUmask() {
  mode_t m = umask(0);
  umask(m);
  return m;
}

// Rewrites target in place from source, keeping a way back: safe holds the
// complete old bytes, which are written back if anything fails.
void RewriteInPlace(const std::string& target, const TFileHandle& source, const TFileHandle& safe) {
  int fd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open " + target + " for writing", errno);
  TFileHandle out(fd, target);
  const int64_t oldSize = safe.Size();
  const int64_t newSize = source.Size();
  try {
    if (newSize > oldSize) out.Reserve(newSize);
    CopyData(source, 0, out, 0, newSize);
    out.SetSize(newSize);
    out.Sync();
    out.Close();
  } catch (const EFileError&) {
    try {
      if (!out.IsOpen()) {
        int rfd = open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (rfd < 0) throw;
        out = TFileHandle(rfd, target);
      }
      CopyData(safe, 0, out, 0, oldSize);
      out.SetSize(oldSize);
      out.Sync();
    } catch (const EFileError&) {
      // The original error is the one to report.
    }
    throw;
  }
}

}  // namespace

uint32_t TickCount() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

std::string TempDirectory() {
  std::string dir;
  try {
    dir = std::filesystem::temp_directory_path().string();
  } catch (const std::exception&) {
    dir = "/tmp";
  }
  auto isBlank = [](unsigned char c) { return c <= ' '; };
  while (!dir.empty() && isBlank(static_cast<unsigned char>(dir.back()))) dir.pop_back();
  size_t start = 0;
  while (start < dir.size() && isBlank(static_cast<unsigned char>(dir[start]))) ++start;
  dir = dir.substr(start);
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

namespace {

// The private folder in use: the temporary folder it was made in, its path
// (with "/"), its descriptor and identity.
struct TWorkFolderState {
  std::string Temp, Path;
  int Fd = -1;
  dev_t Dev = 0;
  ino_t Ino = 0;
};

TWorkFolderState& WorkFolderState() {
  static TWorkFolderState state;
  return state;
}

// Opens name in the folder tmpFd as a private folder of ours: a real folder
// (no link followed), owned by us, with no access for anyone else. -1 with
// errno where it is not (EEXIST for a folder of someone else's).
int OpenPrivateFolder(int tmpFd, const std::string& name, bool create) {
  if (create && mkdirat(tmpFd, name.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  const int fd = openat(tmpFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return (errno == ELOOP || errno == ENOTDIR) ? (errno = EEXIST, -1) : -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    ::close(fd);
    errno = EEXIST;
    return -1;
  }
  return fd;
}

std::vector<std::string> WorkFolderNames() {
  std::vector<std::string> names;
  const std::string base = "byteloom-" + std::to_string(geteuid());
  names.push_back(base);
  for (int i = 1; i < 10; ++i) names.push_back(base + "-" + std::to_string(i));
  return names;
}

// The folder descriptor and the name inside it for path: the private folder's
// descriptor where path lies in it, else AT_FDCWD and path itself.
int FolderFor(const std::string& path, std::string& name) {
  const TWorkFolderState& st = WorkFolderState();
  if (st.Fd >= 0 && path.size() > st.Path.size() && path.compare(0, st.Path.size(), st.Path) == 0 &&
      path.find('/', st.Path.size()) == std::string::npos) {
    name = path.substr(st.Path.size());
    return st.Fd;
  }
  name = path;
  return AT_FDCWD;
}

}  // namespace

std::string WorkFolder() {
  TWorkFolderState& state = WorkFolderState();
  const std::string temp = TempDirectory();
  if (state.Fd >= 0 && state.Temp == temp) {
    // Still the folder we checked (a cleaner of the temporary folder may
    // have removed it, or someone may have put something else in its place)?
    struct stat st;
    if (lstat(state.Path.c_str(), &st) == 0 && st.st_dev == state.Dev && st.st_ino == state.Ino) return state.Path;
  }
  if (state.Fd >= 0) ::close(state.Fd);
  state = TWorkFolderState{};
  const int tmpFd = open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (tmpFd < 0) Fail("Cannot use the temporary folder " + temp, errno);
  int err = 0;
  // The first name that is ours or can be made ours; another user's folder
  // (or link, or file) at a name is passed over.
  for (const std::string& name : WorkFolderNames()) {
    const int fd = OpenPrivateFolder(tmpFd, name, true);
    if (fd < 0) {
      err = errno;
      if (err == EEXIST) continue;
      break;
    }
    struct stat st;
    fstat(fd, &st);
    state = TWorkFolderState{temp, temp + name + "/", fd, st.st_dev, st.st_ino};
    ::close(tmpFd);
    return state.Path;
  }
  ::close(tmpFd);
  Fail("Cannot make a private folder for working files in " + temp, err ? err : EEXIST);
}

int WorkFolderFd() {
  WorkFolder();
  return WorkFolderState().Fd;
}

std::vector<std::string> ExistingWorkFolders() {
  std::vector<std::string> found;
  const std::string temp = TempDirectory();
  const int tmpFd = open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (tmpFd < 0) return found;
  for (const std::string& name : WorkFolderNames()) {
    const int fd = OpenPrivateFolder(tmpFd, name, false);
    if (fd < 0) continue;
    ::close(fd);
    found.push_back(temp + name + "/");
  }
  ::close(tmpFd);
  return found;
}

TFileHandle OpenWorkFolderAt(const std::string& folder) {
  const std::string temp = TempDirectory();
  std::string name = folder;
  if (name.compare(0, temp.size(), temp) == 0) name = name.substr(temp.size());
  while (!name.empty() && name.back() == '/') name.pop_back();
  const int tmpFd = open(temp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (tmpFd < 0) throw EFileError("Cannot open " + temp + ": " + ErrnoText(errno), errno);
  const int fd = name.find('/') == std::string::npos ? OpenPrivateFolder(tmpFd, name, false) : (errno = EPERM, -1);
  const int err = errno;
  ::close(tmpFd);
  if (fd < 0) throw EFileError("Cannot open the work folder " + folder + ": " + ErrnoText(err), err);
  return TFileHandle(fd, folder);
}

std::string ErrnoText(int err) {
  char buf[256];
  return strerror_r(err, buf, sizeof buf);
}

// ---------------------------------------------------------------------------
// TFileHandle
// ---------------------------------------------------------------------------

TFileHandle& TFileHandle::operator=(TFileHandle&& o) noexcept {
  if (this != &o) {
    if (FFd >= 0) ::close(FFd);
    FFd = o.FFd;
    FName = std::move(o.FName);
    FKeepSize = o.FKeepSize;
    FKnownSize = o.FKnownSize;
    o.FFd = -1;
  }
  return *this;
}

TFileHandle::~TFileHandle() {
  if (FFd >= 0) ::close(FFd);
}

int64_t TFileHandle::Size() const {
  if (FKnownSize >= 0) return FKnownSize;
  struct stat st;
  if (fstat(FFd, &st) != 0) Fail("Cannot read the size of " + FName, errno);
  if (FKeepSize) FKnownSize = st.st_size;
  return st.st_size;
}

int64_t TFileHandle::ReadAt(void* buf, int64_t count, int64_t pos) const {
  auto* p = static_cast<char*>(buf);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = pread(FFd, p + done, static_cast<size_t>(count - done), pos + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("Cannot read " + FName, errno);
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

std::pair<int64_t, int64_t> TFileHandle::DataExtent(int64_t pos, int64_t end) const {
  if (pos >= end) return {end, end};
  const off_t data = lseek(FFd, pos, SEEK_DATA);
  if (data < 0) return errno == ENXIO ? std::pair{end, end} : std::pair{pos, end};
  if (data >= end) return {end, end};
  const off_t hole = lseek(FFd, data, SEEK_HOLE);
  return {data, hole < 0 ? end : std::min<int64_t>(hole, end)};
}

void TFileHandle::ReadExact(void* buf, int64_t count, int64_t pos) const {
  if (ReadAt(buf, count, pos) != count) throw EFileError("Cannot read " + FName + ": unexpected end of file");
}

void TFileHandle::WriteAt(const void* buf, int64_t count, int64_t pos) {
  auto* p = static_cast<const char*>(buf);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = pwrite(FFd, p + done, static_cast<size_t>(count - done), pos + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      FKnownSize = -1;
      Fail("Cannot write " + FName, errno);
    }
    done += n;
  }
  NoteWritten(pos + count);
}

void TFileHandle::SetSize(int64_t size) {
  while (ftruncate(FFd, size) != 0) {
    if (errno == EINTR) continue;
    FKnownSize = -1;
    Fail("Cannot set the size of " + FName, errno);
  }
  if (FKeepSize) FKnownSize = size;
}

bool TFileHandle::TryReserve(int64_t size) {
  int64_t current = Size();
  if (size <= current) return true;
  // Reserve the blocks without changing the length; the writes use them later.
  while (fallocate(FFd, FALLOC_FL_KEEP_SIZE, current, size - current) != 0) {
    if (errno == EINTR) continue;
    if (errno == EOPNOTSUPP || errno == ENOSYS) return false;
    Fail("Not enough space for " + FName, errno);
  }
  return true;
}

void TFileHandle::Reserve(int64_t size) {
  if (TryReserve(size)) return;
  // No fallocate here (NFS, some FUSE file systems): zeros written up to the
  // new size hold the space, each write checked.
  const int64_t current = Size();
  std::vector<char> zeros(static_cast<size_t>(std::min(size - current, kCopyBlock)));
  try {
    for (int64_t pos = current; pos < size;) {
      const int64_t n = std::min<int64_t>(size - pos, static_cast<int64_t>(zeros.size()));
      WriteAt(zeros.data(), n, pos);
      pos += n;
    }
  } catch (const EFileError& e) {
    try {
      SetSize(current);
    } catch (const EFileError&) {
    }
    throw EFileError("Not enough space for " + FName + ": " + ErrnoText(e.Errno()), e.Errno());
  }
}

void TFileHandle::Sync() const {
  if (fsync(FFd) != 0 && errno != EINVAL && errno != EROFS) Fail("Cannot write " + FName + " to disk", errno);
}

void TFileHandle::StartWriteback() const { sync_file_range(FFd, 0, 0, SYNC_FILE_RANGE_WRITE); }

void TFileHandle::Close() {
  if (FFd < 0) return;
  int fd = FFd;
  FFd = -1;
  if (::close(fd) != 0 && errno != EINTR) Fail("Cannot close " + FName, errno);
}

// ---------------------------------------------------------------------------
// TTempFile
// ---------------------------------------------------------------------------

TTempFile& TTempFile::operator=(TTempFile&& o) noexcept {
  if (this != &o) {
    Remove();
    FHandle = std::move(o.FHandle);
    FDev = o.FDev;
    FIno = o.FIno;
  }
  return *this;
}

TTempFile::~TTempFile() { Remove(); }

namespace {

std::set<std::string>& ReservedNames() {
  static std::set<std::string> names;
  return names;
}

}  // namespace

std::string ChooseTempName(const std::string& dir, const std::string& extension) {
  uint32_t candidate = TickCount();
  for (;; ++candidate) {
    std::string name = dir + Hex8(candidate) + extension, inFolder;
    const int folder = FolderFor(name, inFolder);
    struct stat st;
    if (fstatat(folder, inFolder.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && !ReservedNames().count(name)) return name;
  }
}

void ReserveTempName(const std::string& name) { ReservedNames().insert(name); }
void ReleaseTempName(const std::string& name) { ReservedNames().erase(name); }

TTempFile TTempFile::CreateNamed(const std::string& name) {
  std::string inFolder;
  const int folder = FolderFor(name, inFolder);
  int fd = openat(folder, inFolder.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) Fail("Cannot create the temporary file " + name, errno);
  TTempFile t;
  struct stat st;
  if (fstat(fd, &st) == 0) {
    t.FDev = st.st_dev;
    t.FIno = st.st_ino;
  }
  t.FHandle = TFileHandle(fd, name);
  return t;
}

TTempFile TTempFile::Create(const std::string& dir, const std::string& extension) {
  for (int attempt = 0;; ++attempt) {
    try {
      return CreateNamed(ChooseTempName(dir, extension));
    } catch (const EFileError& e) {
      // Someone took the name between the choice and the creation: choose again.
      if (e.Errno() != EEXIST || attempt >= 1000) throw;
    }
  }
}

TTempFile TTempFile::CreateBeside(const std::string& path) {
  return Create(DirName(path) + "/." + BaseName(path) + ".", ".tmp");
}

bool TTempFile::StillNamed() const {
  if (!FHandle.IsOpen()) return false;
  std::string inFolder;
  const int folder = FolderFor(FHandle.Name(), inFolder);
  struct stat st;
  return fstatat(folder, inFolder.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == FDev && st.st_ino == FIno;
}

void TTempFile::Remove() {
  if (!FHandle.IsOpen()) return;
  if (StillNamed()) {
    std::string inFolder;
    const int folder = FolderFor(FHandle.Name(), inFolder);
    unlinkat(folder, inFolder.c_str(), 0);
  }
  FHandle = TFileHandle();
}

void TTempFile::MoveOver(const std::string& name) {
  std::string from, to;
  const int folder = FolderFor(FHandle.Name(), from);
  if (FolderFor(name, to) != folder) throw EFileError("Cannot rename " + FHandle.Name() + " into another folder");
  if (renameat(folder, from.c_str(), folder, to.c_str()) != 0) Fail("Cannot rename " + FHandle.Name(), errno);
  FHandle.SetName(name);
}

void TTempFile::Release() { FHandle = TFileHandle(); }

TKeptBytes::TKeptBytes(const TFileHandle& file, int64_t pos, int64_t count)
    : FPos(pos), FKept(count > 0 && count <= kMaxKept) {
  if (!FKept) return;
  FBytes.resize(static_cast<size_t>(count));
  file.ReadExact(FBytes.data(), count, pos);
}

void TKeptBytes::PutBack(TFileHandle& file) const noexcept {
  if (!FKept) return;
  try {
    file.WriteAt(FBytes.data(), static_cast<int64_t>(FBytes.size()), FPos);
  } catch (const EFileError&) {
  }
}

// ---------------------------------------------------------------------------
// Copies
// ---------------------------------------------------------------------------

void CopyData(const TFileHandle& src, int64_t srcPos, TFileHandle& dst, int64_t dstPos, int64_t count) {
  // What the kernel copies changes dst behind its handle.
  struct TNote {
    TFileHandle& File;
    const int64_t End;
    ~TNote() {
      if (std::uncaught_exceptions() > 0) File.ForgetSize();
      else File.NoteWritten(End);
    }
  } note{dst, count > 0 ? dstPos + count : 0};
  bool kernel = true;
  while (count > 0 && kernel) {
    loff_t in = srcPos, out = dstPos;
    ssize_t n = copy_file_range(src.Fd(), &in, dst.Fd(), &out, static_cast<size_t>(std::min<int64_t>(count, 1 << 30)), 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF ||
          errno == ETXTBSY) {
        kernel = false;
        break;
      }
      Fail("Cannot copy " + src.Name() + " to " + dst.Name(), errno);
    }
    if (n == 0) throw EFileError("Cannot copy " + src.Name() + ": unexpected end of file");
    srcPos += n;
    dstPos += n;
    count -= n;
  }
  if (count <= 0) return;
  std::vector<char> buf(static_cast<size_t>(std::min(count, kCopyBlock)));
  while (count > 0) {
    int64_t chunk = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    src.ReadExact(buf.data(), chunk, srcPos);
    dst.WriteAt(buf.data(), chunk, dstPos);
    srcPos += chunk;
    dstPos += chunk;
    count -= chunk;
  }
}

void CopyWholeFile(const TFileHandle& src, TFileHandle& dst) {
  const int64_t size = src.Size();
  dst.SetSize(0);
  dst.ForgetSize();
  if (size > 0 && ioctl(dst.Fd(), FICLONE, src.Fd()) != 0) {
    dst.SetSize(0);
    CopyData(src, 0, dst, 0, size);
  }
  dst.ForgetSize();
  if (dst.Size() != size) dst.SetSize(size);
}

// ---------------------------------------------------------------------------
// File kinds and access
// ---------------------------------------------------------------------------

TFileKind FileKindOf(const std::string& path, int64_t* size, int* err) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    if (err) *err = errno;
    return errno == ENOENT ? TFileKind::fkMissing : TFileKind::fkError;
  }
  if (size) *size = st.st_size;
  if (S_ISREG(st.st_mode)) return TFileKind::fkRegular;
  if (S_ISDIR(st.st_mode)) return TFileKind::fkDirectory;
  return TFileKind::fkOther;
}

bool FileExists(const std::string& path) { return FileKindOf(path) == TFileKind::fkRegular; }

TFileHandle OpenRegularForReading(const std::string& path) {
  int err = ENOENT;
  switch (FileKindOf(path, nullptr, &err)) {
    case TFileKind::fkMissing:
    case TFileKind::fkError:
      Fail("Cannot open " + path, err);
    case TFileKind::fkDirectory:
      throw EFileError(path + " is a folder, not a file");
    case TFileKind::fkOther:
      throw EFileError(path + " is not a regular file (a device, pipe or socket)");
    case TFileKind::fkRegular:
      break;
  }
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) Fail("Cannot open " + path, errno);
  TFileHandle h(fd, path);
  struct stat st;
  if (fstat(fd, &st) != 0) Fail("Cannot open " + path, errno);
  if (!S_ISREG(st.st_mode)) throw EFileError(path + " is not a regular file (a device, pipe or socket)");
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return h;
}

bool CanOpenForReading(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool CanOpenForWriting(const std::string& path) {
  int fd = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

// ---------------------------------------------------------------------------
// Durable replacement
// ---------------------------------------------------------------------------

namespace {

bool IsNoLinkError(int err) {
  return err == EPERM || err == EMLINK || err == EXDEV || err == ENOTSUP || err == EOPNOTSUPP || err == ENOSYS;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Makes the file real (the old target) the backup by a hard link under a
// fresh hidden name beside backup, renamed over it. False where the file
// system has no hard links for it (nothing changed then).
bool LinkAsBackup(const std::string& real, const std::string& backup) {
  const std::string prefix = DirName(backup) + "/." + BaseName(backup) + ".";
  for (int attempt = 0;; ++attempt) {
    const std::string name = ChooseTempName(prefix, ".tmp");
    if (link(real.c_str(), name.c_str()) != 0) {
      if (errno == EEXIST && attempt < 1000) continue;
      if (IsNoLinkError(errno)) return false;
      Fail("The backup " + backup + " could not be written", errno);
    }
    if (rename(name.c_str(), backup.c_str()) != 0) {
      const int err = errno;
      unlink(name.c_str());
      Fail("The backup " + backup + " could not be written", err);
    }
    return true;
  }
}

// Rewrites an existing file `to` in place with the bytes of src, for a folder
// that allows no new file: never through a link, never torn for want of space.
void RewriteCopyInPlace(const TFileHandle& src, const struct stat& srcStat, const std::string& to) {
  int fd = open(to.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ELOOP)
    throw EFileError(to + " is a symbolic link; Byteloom does not write through it", ELOOP);
  if (fd < 0) Fail("Cannot open " + to + " for writing", errno);
  TFileHandle out(fd, to);
  struct stat st;
  if (fstat(fd, &st) != 0) Fail("Cannot open " + to, errno);
  if (!S_ISREG(st.st_mode)) throw EFileError(to + " is not a regular file");
  if (SameFile(st, srcStat)) throw EFileError(to + " is the file itself");
  if (st.st_nlink > 1)
    throw EFileError(to + " has further hard links; Byteloom does not write through them", EMLINK);
  const int64_t oldSize = st.st_size, newSize = src.Size();
  // The space for the new size first: a backup that does not fit stays whole.
  out.Reserve(newSize);
  try {
    CopyData(src, 0, out, 0, newSize);
    out.SetSize(newSize);
    out.Sync();
  } catch (const EFileError&) {
    if (out.Size() > oldSize) out.SetSize(oldSize);
    throw;
  }
  out.Close();
}

// Links the open file `from` (through its descriptor, never its name, which
// may be gone or replaced) under a fresh hidden name beside `beside`; ""
// where it cannot be linked there (another file system, no hard links, no
// right, a file without a name any more).
std::string LinkBeside(const TFileHandle& from, const std::string& beside) {
  const std::string prefix = DirName(beside) + "/." + BaseName(beside) + ".";
  const std::string self = "/proc/self/fd/" + std::to_string(from.Fd());
  for (int attempt = 0;; ++attempt) {
    const std::string name = ChooseTempName(prefix, ".tmp");
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return name;
    if (errno == EEXIST && attempt < 1000) continue;
    if (IsNoLinkError(errno) || IsPermissionError(errno) || errno == ENOENT) return {};
    Fail("Cannot write beside " + beside, errno);
  }
}

void CopyBackup(const std::string& real, const std::string& backup) {
  try {
    CopyFileDurably(real, backup);
  } catch (const EFileError& e) {
    throw EFileError("The backup " + backup + " could not be written: " + e.what(), e.Errno());
  }
}

}  // namespace

namespace {

// The save of either kind: the bytes of source (linked as the new file
// where sourceName allows), or those write puts into an empty file.
TSaveResult SaveDurably(const std::string& target, const TFileHandle* source, const TContentWriter* write,
                        const std::string& tempDir, const std::string& backup, const std::string& sourceName,
                        const TPublishHook* beforePublish = nullptr) {
  const std::string real = ResolveLinks(target);
  struct stat st;
  bool exists = true;
  if (stat(real.c_str(), &st) != 0) {
    // Only a name that does not exist is a new file; any other failure ends
    // the save before anything is written.
    if (errno != ENOENT) Fail("Cannot save " + target, errno);
    exists = false;
  }
  if (exists && !S_ISREG(st.st_mode)) throw EFileError(target + " is not a regular file");
  const bool wantBackup = exists && !backup.empty();
  // A save interrupted between its two renames leaves the backup as a second
  // name of the old file: it holds the old bytes already.
  bool backupIsTarget = false;
  if (wantBackup) {
    struct stat bst;
    backupIsTarget = lstat(backup.c_str(), &bst) == 0 && SameFile(bst, st);
  }
  bool inPlace = exists && st.st_nlink - (backupIsTarget ? 1 : 0) > 1;
  // The new file beside the target: the source itself (linked), or a copy.
  TTempFile fresh;
  std::string linked;
  struct TUnlink {
    std::string& Name;
    ~TUnlink() {
      if (!Name.empty()) unlink(Name.c_str());
    }
  } unlinkOnFailure{linked};
  if (!inPlace) {
    try {
      if (!sourceName.empty()) linked = LinkBeside(*source, real);
      if (linked.empty()) fresh = TTempFile::CreateBeside(real);
    } catch (const EFileError& e) {
      if (!(exists && IsPermissionError(e.Errno()))) throw;
      inPlace = true;
    }
  }

  if (inPlace) {
    // The new bytes are written to a private file first: the writer may read
    // the very file that is rewritten.
    TTempFile written;
    if (write) {
      written = TTempFile::Create(tempDir, ".BLWS");
      (*write)(written.Handle());
      source = &written.Handle();
    }
    // The old bytes are made safe first: the backup, or a safety copy.
    if (wantBackup) {
      CopyBackup(real, backup);
      TFileHandle safe = OpenRegularForReading(backup);
      RewriteInPlace(real, *source, safe);
      return {};
    }
    TFileHandle old = OpenRegularForReading(real);
    TTempFile safe = TTempFile::Create(tempDir, ".BLWS");
    CopyWholeFile(old, safe.Handle());
    old.Close();
    RewriteInPlace(real, *source, safe.Handle());
    return {};
  }

  // Everything that can fail comes before the target is touched.
  const TFileHandle& out = linked.empty() ? fresh.Handle() : *source;
  if (write) (*write)(fresh.Handle());
  else if (linked.empty()) CopyWholeFile(*source, fresh.Handle());
  mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (exists && fchown(out.Fd(), st.st_uid, st.st_gid) != 0) {
    // Only the owner's permission bits are promised; another owner needs privileges.
  }
  if (fchmod(out.Fd(), mode) != 0) Fail("Cannot set the permissions of " + target, errno);
  out.Sync();
  if (beforePublish && *beforePublish) (*beforePublish)(out);
  if (wantBackup && !backupIsTarget) {
    if (!LinkAsBackup(real, backup)) CopyBackup(real, backup);
    if (int err = SyncDirectory(DirName(backup))) Fail("The backup " + backup + " could not be written to disk", err);
  }
  const std::string& freshName = linked.empty() ? fresh.Name() : linked;
  if (rename(freshName.c_str(), real.c_str()) != 0) Fail("Cannot replace " + target, errno);
  // Published: from here on the save has succeeded.
  TSaveResult result;
  result.SourcePublished = !linked.empty();
  linked.clear();
  try {
    fresh.Handle().Close();
  } catch (const EFileError& e) {
    result.Warning = e.what();
  }
  fresh.Release();
  if (int err = SyncDirectory(DirName(real)); err && result.Warning.empty())
    result.Warning = "The folder of " + target + " could not be written to disk: " + ErrnoText(err);
  return result;
}

}  // namespace

TSaveResult SaveFileDurably(const std::string& target, const TFileHandle& source, const std::string& tempDir,
                            const std::string& backup, const std::string& sourceName) {
  return SaveDurably(target, &source, nullptr, tempDir, backup, sourceName);
}

TSaveResult SaveFileDurably(const std::string& target, const TContentWriter& write, const std::string& tempDir,
                            const std::string& backup, const TPublishHook& beforePublish) {
  return SaveDurably(target, nullptr, &write, tempDir, backup, {}, &beforePublish);
}

int64_t PhysicalMemoryBytes() {
  const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGESIZE);
  return pages > 0 && size > 0 ? int64_t{pages} * size : -1;
}

int64_t FreeSpaceBytes(const std::string& folder) {
  struct statvfs st;
  if (statvfs(folder.empty() ? "." : folder.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

bool SameFileSystem(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev;
}

void ReplaceFileContents(const std::string& target, const TFileHandle& source, const std::string& tempDir,
                         const std::string& safeCopy) {
  const std::string real = ResolveLinks(target);
  if (safeCopy.empty()) {
    SaveFileDurably(target, source, tempDir);
    return;
  }
  TFileHandle safe = OpenRegularForReading(safeCopy);
  RewriteInPlace(real, source, safe);
}

void CopyFileDurably(const std::string& from, const std::string& to) {
  TFileHandle src = OpenRegularForReading(from);
  struct stat st;
  if (fstat(src.Fd(), &st) != 0) Fail("Cannot read " + from, errno);
  TTempFile fresh;
  try {
    fresh = TTempFile::CreateBeside(to);
  } catch (const EFileError& e) {
    // A folder that allows no new file: an existing copy can still be rewritten.
    struct stat tst;
    if (!(IsPermissionError(e.Errno()) && lstat(to.c_str(), &tst) == 0)) throw;
    RewriteCopyInPlace(src, st, to);
    return;
  }
  CopyWholeFile(src, fresh.Handle());
  if (fchmod(fresh.Handle().Fd(), st.st_mode & 0777) != 0) Fail("Cannot set the permissions of " + to, errno);
  fresh.Handle().Sync();
  if (rename(fresh.Name().c_str(), to.c_str()) != 0) Fail("Cannot write " + to, errno);
  fresh.Handle().Close();
  fresh.Release();
  if (int err = SyncDirectory(DirName(to))) Fail("Cannot write " + to + " to disk", err);
}

std::string WriteFileAtomically(const std::string& path, const std::string& content, bool durable) {
  TFileReplacement fresh(path, true);
  fresh.Handle().WriteAt(content.data(), static_cast<int64_t>(content.size()), 0);
  return fresh.Commit(durable);
}

std::string AbsolutePath(const std::string& path) {
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

// ---------------------------------------------------------------------------
// TFileReplacement
// ---------------------------------------------------------------------------

TFileReplacement::TFileReplacement(const std::string& target, bool keepPrivate)
    : FTarget(ResolveLinks(target)), FPrivate(keepPrivate) {
  struct stat st;
  FReplaces = stat(FTarget.c_str(), &st) == 0;
  if (FReplaces && !S_ISREG(st.st_mode)) throw EFileError(target + " is not a regular file");
  FFresh = TTempFile::CreateBeside(FTarget);
}

std::string TFileReplacement::Commit(bool durable) {
  struct stat st;
  const mode_t mode = stat(FTarget.c_str(), &st) == 0 ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (!FPrivate && fchmod(FFresh.Handle().Fd(), mode) != 0)
    Fail("Cannot set the permissions of " + FTarget, errno);
  if (durable) FFresh.Handle().Sync();
  if (rename(FFresh.Name().c_str(), FTarget.c_str()) != 0) Fail("Cannot write " + FTarget, errno);
  // Published: from here on the new file stands, and a failure is a warning.
  std::string warning;
  try {
    FFresh.Handle().Close();
  } catch (const EFileError& e) {
    warning = ErrnoText(e.Errno()) + " while closing it";
  }
  FFresh.Release();
  if (int err = durable ? SyncDirectory(DirName(FTarget)) : 0; err && warning.empty())
    warning = ErrnoText(err) + " while writing its folder to disk";
  return warning;
}

}  // namespace byteloom
