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

}  // namespace byteloom
