// The record of which file each backup belongs to: an extended attribute on
// the backup where the file system has them, else a line in a record file in
// the settings folder.
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
// "game.bak exists and is not a backup of game.sav. Replace it?"
std::string BackupQuestion(const std::string& backup, const std::string& file);

}  // namespace byteloom
