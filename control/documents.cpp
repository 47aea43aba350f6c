// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/documents.h"

namespace byteloom {

std::string CaptionMarks(bool modified, const std::string& mark) {
  std::string marks = modified ? "*" : "";
  if (!mark.empty()) marks += " " + mark;
  return marks;
}

}  // namespace byteloom
