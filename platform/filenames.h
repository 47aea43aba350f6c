// SPDX-License-Identifier: GPL-3.0-or-later
// Parts of file names ("/" separated): the extension, the name part, the
// folder part, and a name with another extension.
#pragma once

#include <string>

namespace byteloom {

// From the last dot of the name part on, dot included; empty when the name
// part has no dot.
std::string ExtractFileExt(const std::string& name);
// name with its extension replaced by ext (appended when it has none).
std::string ChangeFileExt(const std::string& name, const std::string& ext);
// The part after the last "/".
std::string ExtractFileName(const std::string& name);
// The part up to and including the last "/" (empty when there is none).
std::string ExtractFilePath(const std::string& name);

}  // namespace byteloom
