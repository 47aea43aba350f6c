// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/recentfiles.h"

#include <algorithm>

namespace byteloom {

void AddRecentFile(TRecentFiles& slots, const std::string& name) {
  for (size_t k = 0; k < 4; ++k) {
    if (slots[k].empty()) {
      slots[k] = name;
      return;
    }
  }
  if (slots[4].empty()) {
    slots[4] = name;
  } else if (std::find(slots.begin(), slots.end(), name) == slots.end()) {
    for (size_t k = 4; k > 0; --k) slots[k] = slots[k - 1];
    slots[0] = name;
    return;
  }
  for (size_t k = 1; k < 5; ++k)
    if (slots[k] == name) std::swap(slots[0], slots[k]);
}

void TRecentFileList::Add(const std::string& name) {
  AddRecentFile(FNames, name);
  for (size_t k = 0; k < 5; ++k)
    if (!FNames[k].empty()) FShown[k] = true;
}

void TRecentFileList::Restore(int k, const std::string& name) {
  if (name.empty()) return;
  FNames[static_cast<size_t>(k)] = name;
  FShown[static_cast<size_t>(k)] = true;
}

}  // namespace byteloom
