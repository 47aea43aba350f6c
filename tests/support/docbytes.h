// SPDX-License-Identifier: GPL-3.0-or-later
// The bytes of a control's document as it holds them, read through the byte
// source every feature reads documents through.
#pragma once

#include <cstdint>
#include <vector>

#include "control/bytesource.h"
#include "control/hexeditor.h"

namespace byteloom::test {

inline std::vector<uint8_t> DocumentBytes(THexEditor& ed) {
  TEditorSource source(ed);
  std::vector<uint8_t> out(static_cast<size_t>(source.Size()));
  if (!out.empty()) source.Read(out.data(), 0, source.Size());
  return out;
}

}  // namespace byteloom::test
