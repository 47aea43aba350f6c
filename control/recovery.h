// SPDX-License-Identifier: GPL-3.0-or-later
// Crash recovery of unsaved edits. Every working copy has a sidecar beside it
// in the private work folder ("<working copy>.info") naming the document's
// file (absolute, any byte kept), the owning process and whether the document
// has unsaved changes; an edit that moves data records what it is doing
// before it starts. The owner holds a lock on the sidecar for as long as it
// lives, so a live owner is told from a dead one also across PID namespaces.
// At start the working copies whose owner is gone are found; those with
// changes are offered back, those without are removed, and anything unclear
// is left alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/backups.h"
#include "document/journal.h"
#include "platform/platform.h"

namespace byteloom {

struct TRecoveryInfo {
  std::string WorkFile;    // the working copy
  std::string InfoFile;    // its sidecar
  std::string FileName;    // the document's file, absolute ("Untitled" for a new document)
  bool Untitled = false;   // a new document that was never saved
  bool Changed = false;    // unsaved changes
  std::string Intent;      // the edit that was moving data when the owner stopped, "" if none
  int64_t Pid = 0;         // the owning process, as its own PID namespace numbers it
  uint64_t StartTime = 0;  // its start time (clock ticks since boot), against reused ids
  std::string BootId;      // the boot the owner ran in
  std::string PidSpace;    // the owner's PID namespace
};

// The sidecar of one working copy, kept open by its owner. Its two slots are
// written in turn, each with a sequence number and a check sum, so that a
// write cut short leaves the other one whole; the space is reserved when the
// sidecar is made, so that an update never needs new space.
class TRecoverySidecar {
 public:
  // Makes the sidecar of workFile and takes the owner's lock. Raises EFileError.
  void Open(const std::string& workFile);
  bool IsOpen() const { return FFile.IsOpen(); }
  // Writes the record. Raises EFileError (the other slot still holds the last one).
  void Write(const std::string& fileName, bool untitled, bool changed, const std::string& intent = {});
  // Removes the sidecar (after its working copy).
  void Remove() { FFile.Remove(); }
  // Leaves the sidecar and its lock as they are until the process ends.
  void Abandon();

 private:
  TTempFile FFile;
  uint64_t FSeq = 0;
};

std::string RecoveryInfoName(const std::string& workFile);
// Writes a sidecar for workFile as a process that is about to end would
// leave it (for tests and tools): the lock is released when the process ends.
void WriteRecoveryInfo(const std::string& workFile, const std::string& fileName, bool changed,
                       const std::string& intent = {});
// Reads a sidecar; false when it is not one of ours (not a regular file of
// this user, no whole slot in the sidecar format).
bool ReadRecoveryInfo(const std::string& infoFile, TRecoveryInfo& info);
// Whether the process that wrote info still runs: the owner's lock answers
// where the file system has locks; else the boot, the PID namespace, the
// process id and its start time. Anything that cannot be told is osUnclear.
TOwnerState OwnerState(const TRecoveryInfo& info);
// The working copies in the private work folders whose owner is gone and
// that hold unsaved changes (or an edit in progress). Orphans without
// changes are removed on the way; anything unclear is kept and skipped.
std::vector<TRecoveryInfo> FindRecoverable();
// Removes a working copy and its sidecar (the user declined the recovery).
void DiscardRecoverable(const TRecoveryInfo& info);
// "Recover unsaved changes of FILE?", with a warning when an edit was cut short.
std::string RecoverQuestion(const TRecoveryInfo& info);
// The file name as the sidecar keeps it: bytes outside printable ASCII and
// "%" as %XX.
std::string EncodeName(const std::string& name);
std::string DecodeName(const std::string& text);

}  // namespace byteloom
