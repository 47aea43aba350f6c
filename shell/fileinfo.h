// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of the file properties dialog for one file name: what the file
// system says about the file on disk (not the document in the editor).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shell/restore.h"

namespace byteloom {

struct TFilePropertyTexts {
  // Every text is "-" while nothing is known (no such file).
  std::string Name = "-", Type = "-", Destination = "-", Size = "-", DosName = "-";
  std::string Created = "-", LastChange = "-", LastAccess = "-", Backup = "-";
  bool WriteProtected = false, System = false, Archive = false, Hidden = false;
};

// A time (seconds since the epoch) in local time: the locale's short date,
// the abbreviated weekday and the time in hours and minutes.
std::string FormatFileTime(int64_t time);

// What "Backup?" says for a backup of this kind.
std::string BackupText(TBackupKind kind);

// The texts for the file name (a name that finds no file gives all "-").
// Created reads "-" where the file system keeps no creation time.
TFilePropertyTexts FilePropertyTexts(const std::string& name,
                                     const std::function<std::string(int64_t)>& formatTime = FormatFileTime);

}  // namespace byteloom
