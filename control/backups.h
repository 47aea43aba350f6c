// SPDX-License-Identifier: GPL-3.0-or-later
// The record of which file each backup belongs to: an extended attribute on
// the backup where the file system has them, else a line in a record file in
// the settings folder. A line names the backup by its device, inode number,
// size and modification and change times (nanoseconds), so that a file that
// later gets the inode number of a deleted backup is not taken for it.
#pragma once

#include <string>

namespace byteloom {

// Where backups are recorded when the file system has no extended attributes
// (empty: $XDG_CONFIG_HOME or ~/.config, then Velmora/Tarnwick-backups).
std::string BackupRecordFile();
void SetBackupRecordFile(const std::string& path);
// Records that backup was written by Byteloom for file.
void MarkBackup(const std::string& backup, const std::string& file);
// Whether backup was written by Byteloom for file.
bool IsBackupOf(const std::string& backup, const std::string& file);
// The file (absolute path) that backup is recorded as the backup of, or
// empty when there is no record of it (older backups, other tools).
std::string RecordedOwner(const std::string& backup);
// Tests: false records every backup in the record file, as on a file system
// without extended attributes.
void UseBackupAttributes(bool use);
// "game.bak exists and is not a backup of game.sav. Replace it?"
std::string BackupQuestion(const std::string& backup, const std::string& file);

}  // namespace byteloom
