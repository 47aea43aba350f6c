// SPDX-License-Identifier: GPL-3.0-or-later
// Stores: the small files the program keeps of its own in the settings
// folder (the settings, the kept bookmarks, the record of backup owners).
// A store is read without blocking and with a size limit, and written only
// over a regular file or as a new one, never through a link to a device or a
// FIFO. A store that cannot be used is reported once per run and skipped: it
// is never a reason for a file not to open, and it is never overwritten with
// what could not be read from it.
//
// Symbolic links: a store name that is a symbolic link is followed only
// where the link (each link of a chain) and the regular file it leads to are
// the user's own (owned by the effective user), as where the settings are
// kept in a folder of dotfiles. Writing a store replaces the file the link
// leads to, so a link that someone else could have planted (a shared folder,
// or a program run as root with another user's settings folder) would let
// them choose which file is replaced: such a link is not used.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

namespace byteloom {

// The program's settings folder: $XDG_CONFIG_HOME (else ~/.config), then
// "Velmora" (no trailing "/").
std::string SettingsFolder();
// The settings file, SettingsFolder() + "/Tarnwick.ini".
std::string SettingsFile();

// What a store's name leads to.
struct TStoreTarget {
  bool Usable = false;  // a regular file of the user's, or nothing yet
  bool Exists = false;  // a regular file is there
  std::string File;     // the file to read and replace (links followed)
  std::string Problem;  // why it cannot be used ("is not a regular file", ...)
};
TStoreTarget FindStore(const std::string& path);

// A store as read: its text, or why it cannot be used. The identity says
// which file was read, so that a reader can keep what it made of the text
// while the file stays the same.
struct TStoreIdentity {
  dev_t Dev = 0;
  ino_t Ino = 0;
  int64_t Size = -1;
  int64_t MtimeNs = 0;
  int64_t CtimeNs = 0;
  bool operator==(const TStoreIdentity&) const = default;
};
// The identity of the file of this status.
TStoreIdentity IdentityOf(const struct stat& st);
// Whether a file of this identity may be taken for the one of the same
// identity read before: one changed within the last second might change
// again with the same size and times (the file system's clock is coarse).
// The change time cannot be set back by anyone.
bool Settled(const TStoreIdentity& id);

struct TStoreText {
  bool Usable = false;
  bool Exists = false;
  bool Unchanged = false;  // the file is the known one: its text was not read
  std::string Text;
  std::string Problem;
  TStoreIdentity Identity;  // of the file read (Size -1: none)
};
// Reads the store at path: nothing (usable, empty) where there is no file;
// a FIFO, device, socket or folder, a link that may not be followed, a file
// that cannot be read or one longer than maxSize bytes is not usable.
// known: the identity of a file read before; where the file is still that
// one, its text is not read again (Unchanged).
TStoreText ReadStore(const std::string& path, int64_t maxSize, const TStoreIdentity* known = nullptr);

// Writes text as the store at path: a new file renamed over the regular file
// the name leads to, or a new file where there is none; the folder is made
// when missing. Raises EFileError (nothing written) when the store cannot be
// used or written; a failure after the new file took the name comes back as
// a warning text.
std::string WriteStore(const std::string& path, const std::string& text, bool durable = false);

// "The settings file F is not a regular file; settings are not read or
// kept." for the settings file F, or empty while it can be used (a regular
// file of at most kMaxSettingsSize bytes, or none yet).
constexpr int64_t kMaxSettingsSize = int64_t{1} << 20;
std::string SettingsStoreProblem();

// Reports a store that cannot be used: the sink (the windows install one
// that shows a warning) receives each message once per run. Returns whether
// this was the first time.
using TStoreProblemSink = std::function<void(const std::string& message)>;
TStoreProblemSink SetStoreProblemSink(TStoreProblemSink sink);
bool ReportStoreProblem(const std::string& message);
// Whether message is reported for the first time this run (marks it
// reported, without handing it to the sink).
bool FirstStoreReport(const std::string& message);

// A field of a store's line: backslash, tab and line end escaped as \\, \t
// and \n, so that any bytes (a file name) fit in it; and back.
std::string EscapeStoreText(const std::string& s);
std::string UnescapeStoreText(const std::string& s);

}  // namespace byteloom
