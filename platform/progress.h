// SPDX-License-Identifier: GPL-3.0-or-later
// Progress of long work (a search, Replace all, a compare, a narrowing step,
// an export): called now and then with the work done and the work in all;
// returning false stops the work.
#pragma once

#include <cstdint>
#include <functional>

namespace byteloom {

using TProgress = std::function<bool(int64_t done, int64_t total)>;

}  // namespace byteloom
