// SPDX-License-Identifier: GPL-3.0-or-later
// How a document reads the file it was opened from. Where the file system
// can clone (FICLONE), the file is cloned into a private snapshot in the work
// folder; else a file up to kCopyLimit bytes is copied there; either way
// nothing another program does to the file changes the document. A larger
// file is read in place: its identity is taken at open and it is watched
// (inotify on the file and on its folder), so that Check() can say whether
// another program changed, resized, replaced or deleted it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "document/journal.h"
#include "platform/platform.h"

namespace byteloom {

enum class TOpenMode { omSnapshot, omCopy, omInPlace };

// What Check() found out about a file read in place.
enum class TOpenedState { osUnchanged, osChanged, osResized, osReplaced, osDeleted };
struct TOpenedCheck {
  TOpenedState State = TOpenedState::osUnchanged;
  TIdentityChange Change = TIdentityChange::icSame;
  std::string Text;  // "FILE was changed by another program ..."; empty when unchanged
};

// What the user is told when Check() finds a change: what happened, what it
// means for the document and what can be done.
std::string OpenedFileChangedText(const std::string& path, const TOpenedCheck& check);

// Reads the pending events of the inotify descriptor watch without blocking
// and calls each with an event's mask and the name it carries (empty for the
// events of a watched file itself).
void DrainWatchEvents(const TFileHandle& watch, const std::function<void(uint32_t mask, const char* name)>& each);

class TWatchedFile {
 public:
  // Files up to this size are copied where they cannot be cloned.
  static constexpr int64_t kCopyLimit = int64_t{64} << 20;
  struct TOptions {
    int64_t CopyLimit = kCopyLimit;
    bool Clone = true;  // false: never try FICLONE
    // Makes the private file of a snapshot or copy; by default one of a
    // fresh name in the work folder.
    std::function<TTempFile()> MakePrivate;
  };

  // Opens the regular file path read-only and chooses how it is read.
  // Raises EFileError with the reason (missing, a folder, a device, no
  // permission, changed while it was copied).
  static TWatchedFile Open(const std::string& path, TOptions options);
  static TWatchedFile Open(const std::string& path) { return Open(path, TOptions{}); }
  // The same for a file already open for reading (path names it for the
  // watch and in messages).
  static TWatchedFile Adopt(TFileHandle file, const std::string& path, TOptions options);

  // No file: the base of a new document.
  TWatchedFile() = default;
  TWatchedFile(TWatchedFile&&) noexcept = default;
  TWatchedFile& operator=(TWatchedFile&&) noexcept = default;
  ~TWatchedFile() = default;

  bool IsOpen() const { return FFile.IsOpen() || FSnapshot.IsOpen(); }
  TOpenMode Mode() const { return FMode; }
  const std::string& Path() const { return FPath; }
  // The file the document reads: the snapshot's or the opened file's.
  const TFileHandle& Handle() const { return FMode == TOpenMode::omInPlace ? FFile : FSnapshot.Handle(); }
  // A descriptor of its own on Handle()'s file, for a TDocument to own.
  TFileHandle TakeHandle() const;
  // The snapshot's (or copy's) name in the work folder, for the journal
  // header; empty for a file read in place.
  std::string SnapshotName() const;
  // The opened file's identity at open (what the snapshot holds).
  const TFileIdentity& Identity() const { return FIdentity; }

  // For a file read in place: whether another program has changed it since
  // it was opened. Drains the pending watch events without blocking and
  // always compares the identity (a missed event must hide nothing); a
  // write the watch saw counts as a change even where the identity cannot
  // tell it. A snapshot or copy is always unchanged.
  TOpenedCheck Check();
  // Drains the pending watch events without blocking: whether one of them
  // may concern the file (the folder's events name other files too).
  bool EventsPending();
  // The inotify descriptor (readable when something happened to the file
  // or its name); -1 for a snapshot or copy, or where watching failed.
  int WatchFd() const { return FWatch.Fd(); }

 private:
  void StartWatching();

  TOpenMode FMode = TOpenMode::omInPlace;
  std::string FPath;
  TFileHandle FFile;      // the opened file (kept only when read in place)
  TTempFile FSnapshot;    // the private snapshot or copy
  TFileIdentity FIdentity;
  TFileHandle FWatch;     // inotify
  bool FWritten = false;  // the watch saw the file written
};

}  // namespace byteloom
