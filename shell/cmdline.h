// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: usage and version for the terminal, the files to open
// and the first file's start offset, and whether a display can be reached.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace byteloom {

struct TCommandLine {
  bool Help = false;     // --help, -h: print the usage and stop
  bool Version = false;  // --version: print the version and stop
  std::string BadOption; // a "--" option we do not know: print it with the usage, exit 2
  std::vector<std::string> Files;     // each opens in its own window, the first one first
  std::optional<std::string> Offset;  // the first file's start offset, as typed
};

// args: the arguments after the program's name. The second argument is the
// first file's start offset (decimal, "$1F" or "0x1F") unless it names an
// existing file that is not a number; every other argument is a file.
// After "--" everything is a file.
TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::function<bool(const std::string&)>& fileExists);

// helpPage: where the help pages' start page is.
std::string UsageText(const std::string& helpPage);
// The version, the copyright and the licence.
std::string VersionText();

// Why the program cannot show a window, or empty when it can: with no
// platform chosen (QT_QPA_PLATFORM, or "-platform" among args), DISPLAY or
// WAYLAND_DISPLAY must name a display that answers. A local X display
// (":0") answers on /tmp/.X11-unix/X0 (or that name in the abstract
// namespace, "@/tmp/.X11-unix/X0"), a Wayland one on
// $XDG_RUNTIME_DIR/wayland-0; remote X displays are taken as they are.
// getenv is the environment, canConnect tries a local socket.
std::string NoDisplayReason(const std::vector<std::string>& args,
                            const std::function<const char*(const char*)>& getenv,
                            const std::function<bool(const std::string&)>& canConnect);
// Whether a Unix socket at path ("@name": in the abstract namespace) accepts
// a connection.
bool CanConnectUnixSocket(const std::string& path);

// The words of a program and its arguments as typed in Start program...:
// split at blanks, with '...' and "..." quoting and \ escaping as a shell
// does (no variables, no globs). Empty for a text with an open quote.
std::vector<std::string> SplitProgramLine(const std::string& text);

}  // namespace byteloom
