// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/versionwatch.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <limits>

#include "document/openedfile.h"
#include "platform/filenames.h"

namespace byteloom {

namespace {

// The folder's events that can concern the watched name, and its own end.
constexpr uint32_t kFolderEvents =
    IN_CREATE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_ONLYDIR;

// An inotify failure in words: the system's limits have names of their own.
std::string WatchErrorText(int err) {
  if (err == ENOSPC) return "the system's limit of watched folders is reached (fs.inotify.max_user_watches)";
  if (err == EMFILE) return "the system's limit of watches per user is reached (fs.inotify.max_user_instances)";
  return ErrnoText(err);
}

// A version kept in its private copy, read like a file; the copy is removed
// with the source.
class TKeptVersion final : public TByteSource {
 public:
  TKeptVersion(TWatchedFile copy, const std::string& caption)
      : FCopy(std::move(copy)), FReader(FCopy.TakeHandle(), caption) {}
  int64_t Size() override { return FReader.Size(); }
  void Read(uint8_t* dest, int64_t pos, int64_t count) override { FReader.Read(dest, pos, count); }

 private:
  TWatchedFile FCopy;  // first: the reader reads it
  TFileSource FReader;
};

}  // namespace

std::string VersionCaption(const std::string& name, int version, int64_t mtimeNs) {
  const time_t written = static_cast<time_t>(mtimeNs / 1000000000);
  const time_t now = time(nullptr);
  tm when{}, today{};
  localtime_r(&written, &when);
  localtime_r(&now, &today);
  const bool sameDay = when.tm_year == today.tm_year && when.tm_yday == today.tm_yday;
  char text[40];
  strftime(text, sizeof text, sameDay ? "%H:%M:%S" : "%Y-%m-%d %H:%M:%S", &when);
  return name + ", version " + std::to_string(version) + " (" + text + ")";
}

TVersionWatch::TVersionWatch(const std::string& path, std::function<TTempFile()> makePrivate)
    : FPath(path), FMakePrivate(std::move(makePrivate)) {
  const std::string abs = AbsolutePath(path);
  FName = ExtractFileName(abs);
  const std::string folder = ExtractFilePath(abs);
  if (FName.empty() || FName == "." || FName == "..") throw EFileError(path + " is not a file");
  if (!FMakePrivate) FMakePrivate = [] { return TTempFile::Create(WorkFolder(), ".BLVW"); };
  const int dir = open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) throw EFileError("Cannot open the folder of " + path + ": " + ErrnoText(errno), errno);
  FFolder = TFileHandle(dir, folder);
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) throw EFileError("Cannot watch " + path + ": " + WatchErrorText(errno), errno);
  FWatch = TFileHandle(fd, "inotify");
  // The folder opened above, whatever its path names by now.
  const std::string self = "/proc/self/fd/" + std::to_string(dir);
  if (inotify_add_watch(fd, self.c_str(), kFolderEvents) < 0 && inotify_add_watch(fd, folder.c_str(), kFolderEvents) < 0)
    throw EFileError("Cannot watch the folder of " + path + ": " + WatchErrorText(errno), errno);
  // Watched first, read then: a save made meanwhile is an event to come.
  FFirst = Take(FFirstCaption);
  if (!FFirst) FPending = true;  // being written now: the version comes with its close
}

std::unique_ptr<TByteSource> TVersionWatch::Take(std::string& caption) {
  // The name in the folder opened at the start; a link planted there is
  // not followed, a FIFO does not block.
  const int fd = openat(FFolder.Fd(), FName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) throw EFileError(FPath + " is gone.", err);
    if (err == ELOOP) throw EFileError(FPath + " is a symbolic link, which the watch does not follow.", err);
    throw EFileError("Cannot open " + FPath + ": " + ErrnoText(err) + ".", err);
  }
  TFileHandle file(fd, FPath);
  struct stat st;
  if (fstat(fd, &st) != 0) throw EFileError("Cannot read " + FPath + ": " + ErrnoText(errno) + ".", errno);
  if (!S_ISREG(st.st_mode)) throw EFileError(FPath + " is not a regular file.");
  TWatchedFile::TOptions options;
  options.CopyLimit = std::numeric_limits<int64_t>::max();  // always a private copy, never read in place
  options.MakePrivate = FMakePrivate;
  TWatchedFile copy;
  try {
    copy = TWatchedFile::Adopt(std::move(file), FPath, options);
  } catch (const EFileError& e) {
    // Without a system error it changed while it was read: a write is
    // going on, and its events come next.
    if (e.Errno() == 0) return nullptr;
    throw;
  }
  if (FVersions > 0 && copy.Identity() == FLast) return nullptr;  // one more event of the version kept
  FLast = copy.Identity();
  ++FVersions;
  caption = VersionCaption(FName, FVersions, FLast.ModifyTimeNs);
  return std::make_unique<TKeptVersion>(std::move(copy), caption);
}

TPolledVersion TVersionWatch::Poll() {
  TPolledVersion polled;
  if (FFirst) {
    // Events that came meanwhile stay pending: the next Poll takes them.
    polled.Source = std::move(FFirst);
    polled.Caption = FFirstCaption;
    return polled;
  }
  if (FEnded) return polled;
  DrainWatchEvents(FWatch, [this](uint32_t mask, const char* name) {
    if (mask & (IN_DELETE_SELF | IN_IGNORED)) FEnded = true;
    if (mask & IN_Q_OVERFLOW) {  // events were lost: look at the file as it is
      FPending = true;
      FWriting = false;
    }
    if (FName != name) return;
    FPending = true;
    // Written or created: complete once closed or renamed into place.
    if (mask & (IN_CREATE | IN_MODIFY)) FWriting = true;
    if (mask & (IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) FWriting = false;
  });
  // A removed folder has no links left (its own events come only once
  // nobody holds it, and the watch holds it).
  struct stat folder;
  if (FPending && fstat(FFolder.Fd(), &folder) == 0 && folder.st_nlink == 0) FEnded = true;
  if (FEnded) {
    polled.Problem = "The folder of " + FPath + " was removed: the watch has ended.";
    polled.Ended = true;
    return polled;
  }
  if (!FPending || FWriting) return polled;
  FPending = false;
  try {
    polled.Source = Take(polled.Caption);
    if (polled.Source) FTold.clear();
  } catch (const std::exception& e) {
    const std::string text = std::string(e.what()) + " The watch goes on and keeps the next version written.";
    if (text != FTold) polled.Problem = FTold = text;
  }
  return polled;
}

}  // namespace byteloom
