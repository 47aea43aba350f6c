// SPDX-License-Identifier: GPL-3.0-or-later
// Progress of long work (a search, Replace all, a compare, a narrowing step,
// an export): called now and then with the work done and the work in all;
// returning false stops the work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace byteloom {

using TProgress = std::function<bool(int64_t done, int64_t total)>;

// The time the rest of the work will take at the pace so far, for the line
// under a progress bar: "About 40 seconds left", "About 3 minutes left",
// "About 2 hours left"; "" until a second has passed and some work is done.
std::string TimeLeftText(int64_t elapsedMs, int64_t done, int64_t total);

}  // namespace byteloom
