// The settings store: the frame's position and size, the recent files and
// the three preferences, kept with QSettings (INI format, organisation
// "Velmora", application "Tarnwick") in the groups "General", "Editor" and
// "Copyright".
#pragma once

#include <QString>

namespace byteloom {

class TMainform;
class TPreferences;

// Reads the settings into the frame, its recent-file items and the
// preference check boxes. A missing group is skipped; a missing value, or
// one of the wrong type, leaves its target as it is.
void LoadSettings(TMainform& frame, TPreferences& preferences);
// Writes them; returns an empty string, or a message saying why the
// settings could not be stored.
QString SaveSettings(TMainform& frame, TPreferences& preferences);

}  // namespace byteloom
