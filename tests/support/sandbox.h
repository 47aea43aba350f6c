// SPDX-License-Identifier: GPL-3.0-or-later
// Conditions that are hard to make as root: a full disk (a small tmpfs in a
// private mount namespace) and files or folders that cannot be changed (the
// immutable flag).
#pragma once

#include <functional>
#include <string>

namespace byteloom::test {

// Exit code of RunWithSmallDisk when the machine cannot make the namespace.
constexpr int kSandboxUnsupported = 77;

// Runs body in a child process in which mountPoint (an existing folder) is a
// fresh tmpfs of sizeKiB kilobytes, invisible to everyone else. Returns the
// body's result (0 = all checks passed; other values name the failed check),
// or kSandboxUnsupported.
int RunWithSmallDisk(const std::string& mountPoint, int sizeKiB, const std::function<int()>& body);

// Sets or clears the immutable flag of a file or folder; false when the file
// system or the user cannot.
bool SetImmutable(const std::string& path, bool on);

}  // namespace byteloom::test
