// SPDX-License-Identifier: GPL-3.0-or-later
// Watching a file for new versions: a game writes its save file again and
// again, and each complete version it writes becomes the next snapshot of
// the snapshot search. The watch is inotify on the file's folder, for the
// file's name only, so that both a program that writes the file in place and
// one that writes a new file and renames it over the old one are seen.
//
// A version is taken only once it is complete: after the writer closed the
// file or renamed a new one over it (a write still going on is waited for),
// and only when it differs from the last version kept (device, inode, size,
// modification time or contents), so the many events of one save make one
// version. Each version is copied into a private file of the work folder
// (the game overwrites the file with its next save), through a descriptor
// opened relative to the folder with O_NOFOLLOW; the copy goes when the
// snapshot that reads it goes. A file that vanished or cannot be read is
// reported, and the watch goes on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "control/bytesource.h"
#include "document/journal.h"
#include "platform/platform.h"

namespace byteloom {

// What a look at the watched file found.
struct TPolledVersion {
  std::unique_ptr<TByteSource> Source;  // a new version, or null
  std::string Caption;                  // "save.dat, version 2 (14:03:12)"
  // Why no version could be kept ("save.dat is gone ..."), told once per
  // cause; empty when there is nothing to tell.
  std::string Problem;
  // The watch cannot go on (its folder was removed); Problem says so.
  bool Ended = false;
};

class TVersionWatch {
 public:
  // Starts watching path, a regular file (not a symbolic link), and keeps
  // the file as it is now as version 1, which the first Poll hands over.
  // makePrivate makes the private file of a version (by default one of a
  // fresh name in the work folder). Raises EFileError with the reason when
  // the file cannot be read or its folder cannot be watched.
  explicit TVersionWatch(const std::string& path, std::function<TTempFile()> makePrivate = {});
  TVersionWatch(const TVersionWatch&) = delete;
  TVersionWatch& operator=(const TVersionWatch&) = delete;

  const std::string& Path() const { return FPath; }
  // The inotify descriptor: readable when something happened to the name.
  int Fd() const { return FWatch.Fd(); }
  // Versions kept so far (the first one included).
  int VersionCount() const { return FVersions; }

  // Drains the pending events without blocking and, when a new complete
  // version is there, keeps it. Never raises: what went wrong is Problem.
  TPolledVersion Poll();

 private:
  // Opens the file and copies it into a private file; raises EFileError.
  // Returns null when the file kept changing while it was copied (a write
  // is going on: its events come next) or equals the last version kept.
  std::unique_ptr<TByteSource> Take(std::string& caption);

  std::string FPath;
  std::string FName;  // the name in the folder
  std::function<TTempFile()> FMakePrivate;
  TFileHandle FFolder;  // the folder, opened once (O_PATH)
  TFileHandle FWatch;   // inotify
  TFileIdentity FLast;  // of the last version kept
  int FVersions = 0;
  std::unique_ptr<TByteSource> FFirst;  // version 1 until the first Poll
  std::string FFirstCaption;
  bool FPending = false;  // an event since the last look
  bool FWriting = false;  // the name was written and not yet closed or replaced
  bool FEnded = false;
  std::string FTold;      // the problem told last, not told again
};

// The caption of version `version` of the file name, written at mtimeNs:
// "save.dat, version 2 (14:03:12)", with the date when it is not today.
std::string VersionCaption(const std::string& name, int version, int64_t mtimeNs);

}  // namespace byteloom
