#include "shell/cmdline.h"

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

std::string VersionText() { return "Byteloom 1.2\n"; }

std::string NoDisplayReason(const std::function<const char*(const char*)>& getenv) {
  auto set = [&](const char* name) {
    const char* value = getenv(name);
    return value && *value;
  };
  if (set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY")) return {};
  return "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY";
}

}  // namespace byteloom
