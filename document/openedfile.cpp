// SPDX-License-Identifier: GPL-3.0-or-later
#include "document/openedfile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace byteloom {

namespace {

constexpr int kOpenAttempts = 3;

std::string FolderOf(const std::string& path) {
  const std::string abs = AbsolutePath(path);
  const size_t slash = abs.find_last_of('/');
  return slash == 0 ? "/" : abs.substr(0, slash);
}

TOpenedState StateOf(TIdentityChange change) {
  switch (change) {
    case TIdentityChange::icSame: return TOpenedState::osUnchanged;
    case TIdentityChange::icMissing: return TOpenedState::osDeleted;
    case TIdentityChange::icReplaced: return TOpenedState::osReplaced;
    case TIdentityChange::icSize: return TOpenedState::osResized;
    case TIdentityChange::icTime:
    case TIdentityChange::icContent: break;
  }
  return TOpenedState::osChanged;
}

}  // namespace

std::string OpenedFileChangedText(const std::string& path, const TOpenedCheck& check) {
  switch (check.State) {
    case TOpenedState::osUnchanged: return {};
    case TOpenedState::osChanged:
    case TOpenedState::osResized:
      return check.Text +
             " What you see of the parts you did not edit is now what it holds. Close the document without saving "
             "and open the file again to see all of it as it is now, or save the document to put your edits in it.";
    case TOpenedState::osReplaced:
      return check.Text + " Byteloom keeps the file as it was opened, with your edits: save it under another name to "
                          "keep both, or as " + path + " to replace the new one.";
    case TOpenedState::osDeleted:
      return check.Text + " Byteloom keeps the file as it was opened, with your edits: save it to write it back.";
  }
  return {};
}

TWatchedFile TWatchedFile::Open(const std::string& path, TOptions options) {
  return Adopt(OpenRegularForReading(path), path, std::move(options));
}

TWatchedFile TWatchedFile::Adopt(TFileHandle file, const std::string& path, TOptions options) {
  TWatchedFile opened;
  opened.FPath = path;
  for (int attempt = 1;; ++attempt) {
    opened.FIdentity = TFileIdentity::Take(file.Fd(), path);
    const int64_t size = opened.FIdentity.Size;
    const bool copies = size <= options.CopyLimit;
    if (!options.Clone && !copies) break;
    opened.FSnapshot = options.MakePrivate ? options.MakePrivate() : TTempFile::Create(WorkFolder(), ".BLSN");
    TFileHandle& snapshot = opened.FSnapshot.Handle();
    if (options.Clone && ioctl(snapshot.Fd(), FICLONE, file.Fd()) == 0) {
      opened.FMode = TOpenMode::omSnapshot;
    } else if (copies) {
      CopyData(file, 0, snapshot, 0, size);
      opened.FMode = TOpenMode::omCopy;
    } else {
      opened.FSnapshot.Remove();
      break;
    }
    // The private file must hold the bytes as the identity pins them.
    if (TFileIdentity::Take(file.Fd(), path) == opened.FIdentity && snapshot.Size() == size) return opened;
    opened.FSnapshot.Remove();
    if (attempt == kOpenAttempts)
      throw EFileError(path + " kept changing while it was being opened. Try again when the other program is done with it.");
  }
  opened.FMode = TOpenMode::omInPlace;
  opened.FFile = std::move(file);
  opened.StartWatching();
  return opened;
}

void TWatchedFile::StartWatching() {
  const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) return;  // Check still compares the identity
  FWatch = TFileHandle(fd, "inotify");
  // The opened file itself (through its descriptor, whatever its name is
  // now), and its folder for the name being replaced or removed.
  const uint32_t fileEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;
  const std::string self = "/proc/self/fd/" + std::to_string(FFile.Fd());
  if (inotify_add_watch(fd, self.c_str(), fileEvents) < 0) (void)inotify_add_watch(fd, FPath.c_str(), fileEvents);
  (void)inotify_add_watch(fd, FolderOf(FPath).c_str(), IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ONLYDIR);
}

TFileHandle TWatchedFile::TakeHandle() const {
  const int fd = fcntl(Handle().Fd(), F_DUPFD_CLOEXEC, 0);
  if (fd < 0) throw EFileError("Cannot open " + FPath + " again: " + ErrnoText(errno), errno);
  return TFileHandle(fd, Handle().Name());
}

std::string TWatchedFile::SnapshotName() const {
  if (!FSnapshot.IsOpen()) return {};
  return FSnapshot.Name().substr(FSnapshot.Name().find_last_of('/') + 1);
}

void DrainWatchEvents(const TFileHandle& watch, const std::function<void(uint32_t mask, const char* name)>& each) {
  if (!watch.IsOpen()) return;
  alignas(inotify_event) char events[4096];
  for (ssize_t n; (n = read(watch.Fd(), events, sizeof events)) > 0;) {
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(events + at);
      each(e->mask, e->len == 0 ? "" : e->name);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
}

bool TWatchedFile::EventsPending() {
  const std::string name = FPath.substr(FPath.find_last_of('/') + 1);
  bool concerns = false;
  DrainWatchEvents(FWatch, [&](uint32_t mask, const char* named) {
    // The file's own events carry no name; the folder's name a file.
    if (!*named || name == named || (mask & IN_Q_OVERFLOW)) concerns = true;
    if (!*named && (mask & (IN_MODIFY | IN_CLOSE_WRITE))) FWritten = true;
  });
  return concerns;
}

TOpenedCheck TWatchedFile::Check() {
  if (FMode != TOpenMode::omInPlace) return {};
  (void)EventsPending();
  TIdentityChange change;
  struct stat st;
  if (stat(FPath.c_str(), &st) != 0) {
    change = TIdentityChange::icMissing;
  } else if (static_cast<uint64_t>(st.st_dev) != FIdentity.Device || static_cast<uint64_t>(st.st_ino) != FIdentity.Inode) {
    change = TIdentityChange::icReplaced;
  } else {
    try {
      change = CompareIdentity(FIdentity, TFileIdentity::Take(FFile.Fd(), FPath));
      // Written where the samples do not look, within the clock's tick.
      if (change == TIdentityChange::icSame && FWritten) change = TIdentityChange::icContent;
    } catch (const EFileError& e) {
      // Changing under the reader, or no longer readable.
      change = e.Errno() == 0 ? TIdentityChange::icContent : TIdentityChange::icMissing;
    }
  }
  return {StateOf(change), change, IdentityChangeText(FPath, change)};
}

}  // namespace byteloom
