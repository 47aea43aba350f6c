// SPDX-License-Identifier: GPL-3.0-or-later
// The list of the five most recently opened files, as the File menu shows
// it: slot 0 is the top entry, an empty string a slot not in use.
#pragma once

#include <array>
#include <string>

namespace byteloom {

using TRecentFiles = std::array<std::string, 5>;

// Enters a file chosen in the open dialog. While a slot is free the name is
// appended (also when it is listed already); the fifth name goes to the top
// and the former top entry to the bottom; in a full list a new name pushes
// the others down one place, and a listed name swaps places with the top
// entry. Names are compared exactly, letter case included.
void AddRecentFile(TRecentFiles& slots, const std::string& name);

// The recent files as the File menus show them: the five slots, which entries
// are shown (an entry once shown stays in the menu) and whether the separator
// above them is shown. The frame owns one; its menu, the editor windows'
// mirrors and the settings render it.
class TRecentFileList {
 public:
  const TRecentFiles& Names() const { return FNames; }
  const std::string& Name(int k) const { return FNames[static_cast<size_t>(k)]; }
  bool Shown(int k) const { return FShown[static_cast<size_t>(k)]; }
  bool SeparatorShown() const { return FSeparatorShown; }
  void ShowSeparator() { FSeparatorShown = true; }
  // A file chosen in the open dialog; every slot that names a file is shown.
  void Add(const std::string& name);
  // Slot k as the settings keep it: a name is shown, an empty one leaves the slot.
  void Restore(int k, const std::string& name);

 private:
  TRecentFiles FNames;
  std::array<bool, 5> FShown{};
  bool FSeparatorShown = false;
};

}  // namespace byteloom
