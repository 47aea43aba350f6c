// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/restore.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

#include "control/backups.h"
#include "platform/filefacts.h"
#include "platform/filenames.h"
#include "platform/platform.h"

namespace byteloom {

bool IsBackupName(const std::string& name) {
  const std::string ext = ExtractFileExt(name);
  return ext == ".bak" || ext == ".bak~";
}

std::string BakName(const std::string& name) { return ChangeFileExt(name, ".bak"); }
std::string BakTildeName(const std::string& name) { return ChangeFileExt(name, ".bak~"); }

TBackupLookup FindBackup(const std::string& name) {
  TBackupLookup result;
  int errBak = 0, errTilde = 0;
  const bool bak = EntryExists(BakName(name), &errBak);
  const bool tilde = EntryExists(BakTildeName(name), &errTilde);
  if (tilde) {
    result.Kind = TBackupKind::bkBakTilde;
    result.Name = BakTildeName(name);
  } else if (bak) {
    result.Kind = TBackupKind::bkBak;
    result.Name = BakName(name);
  }
  result.Errno = errTilde ? errTilde : errBak;
  return result;
}

namespace {

// The file a rename should replace: the target of a symbolic link, else name.
std::string ReplacedFile(const std::string& name) {
  struct stat st {};
  if (lstat(name.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return name;
  std::unique_ptr<char, decltype(&std::free)> real(realpath(name.c_str(), nullptr), &std::free);
  return real ? std::string(real.get()) : name;
}

}  // namespace

TRestoreResult RestoreFromBackup(const std::string& fileName, bool evenIfOthers) {
  TRestoreResult result;
  if (IsBackupName(fileName)) {
    result.Status = TRestoreStatus::rsIsBackup;
    return result;
  }
  const TBackupLookup backup = FindBackup(fileName);
  result.Backup = backup.Name;
  if (backup.Errno != 0) {
    result.Reason = ErrnoText(backup.Errno);
    return result;
  }
  if (backup.Kind == TBackupKind::bkNone) {
    result.Status = TRestoreStatus::rsNoBackup;
    return result;
  }
  // Our own record says whose backup it is: another file's is not put over
  // this one without the user's word.
  const std::string owner = RecordedOwner(backup.Name);
  if (!evenIfOthers && !owner.empty() && owner != AbsolutePath(fileName)) {
    result.Status = TRestoreStatus::rsOtherOwner;
    result.Owner = owner;
    return result;
  }
  // One rename: the file is replaced by its backup, or nothing changes.
  if (std::rename(backup.Name.c_str(), ReplacedFile(fileName).c_str()) != 0) {
    result.Reason = ErrnoText(errno);
    return result;
  }
  result.Status = TRestoreStatus::rsRestored;
  return result;
}

std::string TRestoreResult::Message(const std::string& fileName, bool openElsewhere) const {
  switch (Status) {
    case TRestoreStatus::rsRestored: {
      std::string text = "File: " + fileName + " succesfully Restored";
      if (openElsewhere)
        text += "\r\n\r\nAn editor window still shows the file as it was before. Saving that window "
                "would overwrite the restored file; close it without saving and open the file again.";
      return text;
    }
    case TRestoreStatus::rsIsBackup: return "Files with .bak or .bak~ Extension can not be restored!";
    case TRestoreStatus::rsNoBackup:
      return "Sorry, i cant Restore this file bec. there is no *.bak or *.bak~ File available.";
    case TRestoreStatus::rsOtherOwner: {
      // The owner's folder is named where it is not the file's own.
      const std::string file = AbsolutePath(fileName);
      const std::string owner = ExtractFilePath(Owner) == ExtractFilePath(file) ? ExtractFileName(Owner) : Owner;
      return ExtractFileName(Backup) + " is the backup of " + owner + ", not of " + ExtractFileName(fileName) +
             ". Restore it over " + ExtractFileName(fileName) + " all the same?";
    }
    case TRestoreStatus::rsFailed: break;
  }
  return "Cannot restore " + fileName + (Backup.empty() ? std::string() : " from " + Backup) + "\r\n" + Reason +
         "\r\nNothing was changed.";
}

}  // namespace byteloom
