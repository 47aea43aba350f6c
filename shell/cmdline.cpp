// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/cmdline.h"

#include <cstddef>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/numconv.h"

namespace byteloom {

namespace {

bool IsOffset(const std::string& text) { return text.empty() || TryStrToInt(HexPrefixToDollar(text)).has_value(); }

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& args,
                              const std::function<bool(const std::string&)>& fileExists) {
  TCommandLine line;
  bool options = true;
  std::vector<std::string> words;
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      line.Help = true;
    } else if (options && arg == "--version") {
      line.Version = true;
    } else if (options && arg.starts_with("--")) {
      if (line.BadOption.empty()) line.BadOption = arg;
    } else {
      words.push_back(arg);
    }
  }
  for (size_t i = 0; i < words.size(); ++i) {
    if (i == 1 && (IsOffset(words[i]) || !fileExists(words[i])))
      line.Offset = words[i];
    else
      line.Files.push_back(words[i]);
  }
  return line;
}

std::string UsageText(const std::string& helpPage) {
  return "Usage: byteloom [FILE [OFFSET] [FILE...]]\n"
         "A hex editor for binary files.\n"
         "\n"
         "  FILE      a file to open; several files open in several windows\n"
         "  OFFSET    where the caret of the first file starts: decimal (31),\n"
         "            or hex with \"$\" or \"0x\" in front ($1F, 0x1F)\n"
         "  --help    show this text and exit\n"
         "  --version show the version and exit\n"
         "\n"
         "Help pages: " +
         helpPage + " (Help > Contents, F1)\n";
}

std::string VersionText() {
  return "Byteloom 1.2\n"
         "Copyright (C) 2026 Velmora Software\n"
         "Licence: GPL-3.0-or-later (GNU General Public License, version 3 or later,\n"
         "<https://www.gnu.org/licenses/gpl-3.0.html>)\n"
         "This is free software: you may change and pass it on. There is NO WARRANTY,\n"
         "to the extent permitted by law.\n";
}

std::string NoDisplayReason(const std::vector<std::string>& args,
                            const std::function<const char*(const char*)>& getenv,
                            const std::function<bool(const std::string&)>& canConnect) {
  auto value = [&](const char* name) {
    const char* v = getenv(name);
    return std::string(v ? v : "");
  };
  if (!value("QT_QPA_PLATFORM").empty()) return {};
  for (const std::string& arg : args)
    if (arg == "-platform") return {};
  const std::string x = value("DISPLAY");
  if (!x.empty()) {
    if (x[0] != ':') return {};  // a remote display: Qt reports on its own
    const std::string number = x.substr(1, x.find('.') == std::string::npos ? std::string::npos : x.find('.') - 1);
    const std::string socket = "/tmp/.X11-unix/X" + number;
    if (canConnect(socket) || canConnect("@" + socket)) return {};
  }
  const std::string wayland = value("WAYLAND_DISPLAY");
  if (!wayland.empty()) {
    const std::string path = wayland[0] == '/' ? wayland : value("XDG_RUNTIME_DIR") + "/" + wayland;
    if (canConnect(path)) return {};
  }
  return "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY";
}

bool CanConnectUnixSocket(const std::string& path) {
  sockaddr_un address {};
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  path.copy(address.sun_path, path.size());
  // "@name": the abstract namespace (the name starts with a zero byte).
  const bool abstract = path[0] == '@';
  if (abstract) address.sun_path[0] = '\0';
  const socklen_t length =
      abstract ? static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size()) : sizeof address;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0;
  close(fd);
  return ok;
}

std::vector<std::string> SplitProgramLine(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
      else if (c == '\\' && quote == '"' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) word += text[++i];
      else word += c;
    } else if (c == '\'' || c == '"') {
      quote = c, inWord = true;
    } else if (c == '\\' && i + 1 < text.size()) {
      word += text[++i], inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(std::move(word)), word.clear(), inWord = false;
    } else {
      word += c, inWord = true;
    }
  }
  if (quote) return {};
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace byteloom
