// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store: the frame's position and size, the recent files and
// the three preferences, kept with QSettings (INI format, the file
// Velmora/Tarnwick.ini in the user's configuration folder, SettingsFile())
// in the groups "General", "Editor" and "Copyright".
#pragma once

#include <QString>

namespace byteloom {

class TMainform;
class TPreferences;

// Reads the settings into the frame, its recent-file items and the
// preference check boxes. A missing group is skipped; a missing value, or
// one of the wrong type, leaves its target as it is. A settings file that is
// not a regular file (a FIFO, a device, a link to one), cannot be read or is
// larger than kMaxSettingsSize is not touched: it is reported once (through
// the store problem sink) and the settings of this run stay in memory.
void LoadSettings(TMainform& frame, TPreferences& preferences);
// Writes them, only over a regular file or as a new one; returns an empty
// string, or a message saying why the settings could not be stored (a
// settings file that cannot be used is named once per run).
QString SaveSettings(TMainform& frame, TPreferences& preferences);

}  // namespace byteloom
