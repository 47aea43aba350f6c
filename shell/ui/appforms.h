// SPDX-License-Identifier: GPL-3.0-or-later
// The program's forms: the frame and one instance of every dialog, created
// at start in a fixed order and kept until the end (closing a dialog only
// hides it, so it keeps its contents between showings).
#pragma once

#include <string>
#include <vector>

namespace byteloom {

class TMainform;
class TInfoform;
class TFileproperties;
class TDruckerForm;
class TPreferences;
class TFcompare;
class TSearchReplace;
class THexExport;
class TCompareometer;
class TSnapshotForm;

struct TForms {
  TMainform* Mainform = nullptr;
  TInfoform* Infoform = nullptr;
  TFileproperties* Fileproperties = nullptr;
  TDruckerForm* DruckerForm = nullptr;
  TPreferences* Preferences = nullptr;
  TFcompare* Fcompare = nullptr;
  TSearchReplace* SearchReplace = nullptr;
  THexExport* HexExport = nullptr;
  TCompareometer* Compareometer = nullptr;
  TSnapshotForm* SnapshotForm = nullptr;  // the snapshot search's tool window
};

// Creates the frame and the dialogs, in this order: TMainform, TInfoform,
// TFileproperties, TDruckerForm, TPreferences, TFcompare, TSearchReplace,
// THexExport, TCompareometer, then the snapshot search's window. params are
// the program's arguments after its name (a file to open, a start offset),
// as the bytes the program was given: a file name is any byte sequence.
// Nothing is shown yet. The frame keeps the dialogs (its children: deleting
// the frame frees them all, its editor windows first).
TMainform* CreateForms(const std::vector<std::string>& params = {});

}  // namespace byteloom
