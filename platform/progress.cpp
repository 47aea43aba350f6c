// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/progress.h"

#include <algorithm>

namespace byteloom {

std::string TimeLeftText(int64_t elapsedMs, int64_t done, int64_t total) {
  if (elapsedMs < 1000 || done <= 0 || total <= done) return "";
  // A million hours is as much as anyone needs told.
  const double left = static_cast<double>(elapsedMs) / 1000.0 * static_cast<double>(total - done) /
                      static_cast<double>(done);
  const auto seconds = static_cast<int64_t>(std::min(left, 3.6e9) + 0.5);
  const auto about = [](int64_t n, const char* unit) {
    return "About " + std::to_string(n) + " " + unit + (n == 1 ? "" : "s") + " left";
  };
  if (seconds < 90) return about(std::max<int64_t>(seconds, 1), "second");
  if (seconds < 90 * 60) return about((seconds + 30) / 60, "minute");
  return about((seconds + 1800) / 3600, "hour");
}

}  // namespace byteloom
