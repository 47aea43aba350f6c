// SPDX-License-Identifier: GPL-3.0-or-later
// Putting a file's backup back in its place. The backups of "game.sav" are
// "game.bak" and "game.bak~" (the control writes "game.bak~" for a file whose
// own extension is ".bak"); Restore takes "game.bak~" when it exists, else
// "game.bak", and renames it over the file in one step, so that a failure
// leaves both files as they were. A backup recorded as another file's
// (game.sav and game.dat share game.bak) is restored only on the user's word.
#pragma once

#include <string>

namespace byteloom {

// Whether the name's own extension is ".bak" or ".bak~" (exactly, case
// included): such a file is a backup and is not restored.
bool IsBackupName(const std::string& name);
// The name with its extension replaced by ".bak" / ".bak~".
std::string BakName(const std::string& name);
std::string BakTildeName(const std::string& name);

// Which backup of name exists.
enum class TBackupKind { bkNone, bkBak, bkBakTilde };
struct TBackupLookup {
  TBackupKind Kind = TBackupKind::bkNone;
  std::string Name;  // the backup's file name (empty for bkNone)
  int Errno = 0;     // the names could not be looked up (no permission...)
};
TBackupLookup FindBackup(const std::string& name);

// rsOtherOwner: the backup is recorded as the backup of another file
// (Owner); nothing was changed.
enum class TRestoreStatus { rsRestored, rsIsBackup, rsNoBackup, rsFailed, rsOtherOwner };

struct TRestoreResult {
  TRestoreStatus Status = TRestoreStatus::rsFailed;
  std::string Backup;  // the backup that was (or would have been) used
  std::string Reason;  // why it failed (rsFailed)
  std::string Owner;   // the file the backup is recorded for (rsOtherOwner)

  bool Failed() const { return Status != TRestoreStatus::rsRestored; }
  // The message for the user. openElsewhere: an editor window still shows
  // the file's former contents in its working copy. For rsOtherOwner the
  // question "game.bak is the backup of game.sav, not of game.dat. Restore
  // it over game.dat all the same?".
  std::string Message(const std::string& fileName, bool openElsewhere) const;
};

// Restores fileName from its backup. A file reached through a symbolic link
// is restored where the link points (the backup was written beside the link).
// A backup recorded as another file's is left alone (rsOtherOwner) unless
// evenIfOthers; one without any record is restored.
TRestoreResult RestoreFromBackup(const std::string& fileName, bool evenIfOthers = false);

}  // namespace byteloom
