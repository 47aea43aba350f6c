// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/filenames.h"

namespace byteloom {

namespace {

// Where the name part starts.
std::string::size_type NameStart(const std::string& name) {
  const auto slash = name.find_last_of('/');
  return slash == std::string::npos ? 0 : slash + 1;
}

}  // namespace

std::string ExtractFileExt(const std::string& name) {
  const auto dot = name.find_last_of('.');
  if (dot == std::string::npos || dot < NameStart(name)) return {};
  return name.substr(dot);
}

std::string ChangeFileExt(const std::string& name, const std::string& ext) {
  const std::string old = ExtractFileExt(name);
  return name.substr(0, name.size() - old.size()) + ext;
}

std::string ExtractFileName(const std::string& name) { return name.substr(NameStart(name)); }

std::string ExtractFilePath(const std::string& name) { return name.substr(0, NameStart(name)); }

}  // namespace byteloom
