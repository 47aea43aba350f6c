// SPDX-License-Identifier: GPL-3.0-or-later
// Text between the Qt widgets and the core: typed text as the 8-bit
// (Windows-1252) bytes the editor works with and back, and file names as
// the file system spells them.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace byteloom {

// Typed text as Windows-1252 bytes; a character without a code there becomes "?".
std::string AnsiText(const QString& text);
// Windows-1252 bytes as text to show; the text ends at the first zero byte.
QString FromAnsi(const uint8_t* data, size_t size);
inline QString FromAnsi(const std::string& bytes) {
  return FromAnsi(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string ToFileName(const QString& name);
QString FromFileName(const std::string& name);

}  // namespace byteloom
