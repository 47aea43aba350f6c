// Crash recovery of unsaved edits. Every working copy has a small sidecar
// beside it ("<working copy>.info", written atomically) naming the document's
// file, the owning process and whether the document has unsaved changes. At
// start the working copies whose owner is gone are found; those with changes
// are offered back, the others are removed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "control/backups.h"

namespace byteloom {

struct TRecoveryInfo {
  std::string WorkFile;   // the working copy in the temporary folder
  std::string InfoFile;   // its sidecar
  std::string FileName;   // the document's file ("Untitled" for a new document)
  bool Changed = false;   // unsaved changes
  int64_t Pid = 0;        // the owning process
  uint64_t StartTime = 0; // its start time (clock ticks since boot), against reused ids
};

std::string RecoveryInfoName(const std::string& workFile);
// Writes the sidecar of workFile for this process, atomically.
void WriteRecoveryInfo(const std::string& workFile, const std::string& fileName, bool changed);
void RemoveRecoveryInfo(const std::string& workFile);
// Reads a sidecar; false when it is not one of ours (not a regular file of
// this user, or not in the sidecar format).
bool ReadRecoveryInfo(const std::string& infoFile, TRecoveryInfo& info);
// Whether the process that wrote info is still running.
bool OwnerAlive(const TRecoveryInfo& info);
// The working copies in tempDir (with trailing "/") whose owner is gone and
// that hold unsaved changes. Orphans without changes are removed on the way.
std::vector<TRecoveryInfo> FindRecoverable(const std::string& tempDir);
// Removes a working copy and its sidecar (the user declined the recovery).
void DiscardRecoverable(const TRecoveryInfo& info);
// "Recover unsaved changes of FILE?"
std::string RecoverQuestion(const TRecoveryInfo& info);

}  // namespace byteloom
