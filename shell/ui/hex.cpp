// SPDX-License-Identifier: GPL-3.0-or-later
// Byteloom: program start.
//   byteloom [FILE [OFFSET] [FILE...]]
// opens each FILE in an editor window and puts the first one's caret at
// OFFSET (decimal, "$1F" or "0x1F"). --help and --version answer on the
// terminal without a display.
#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <filesystem>

#include <unistd.h>

#include "platform/platform.h"
#include "shell/cmdline.h"
#include "shell/helppages.h"
#include "shell/ui/appforms.h"
#include "shell/ui/artwork.h"
#include "shell/ui/mainform.h"
#include "shell/ui/mainform.h"

int main(int argc, char** argv) {
  using namespace byteloom;
  const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                             [](const std::string& name) { return FileExists(name); });
  std::error_code error;
  const std::string programDir = std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string() + "/";
  const std::string usage =
      UsageText(HelpFolder(programDir, [](const std::string& name) { return FileExists(name); }) + kHelpStartPage);
  if (line.Help || line.Version) {
    std::fputs((line.Help ? usage : VersionText()).c_str(), stdout);
    return 0;
  }
  if (!line.BadOption.empty()) {
    std::fprintf(stderr, "byteloom: unknown option %s\n%s", line.BadOption.c_str(), usage.c_str());
    return 2;
  }
  const std::string noDisplay = NoDisplayReason(
      std::vector<std::string>(argv + 1, argv + argc), [](const char* name) { return std::getenv(name); },
      CanConnectUnixSocket);
  if (!noDisplay.empty()) {
    std::fprintf(stderr, "%s\n", noDisplay.c_str());
    return 1;
  }

  QApplication app(argc, argv);
  // Only the name: a display name would be appended to the title of every
  // dialog and message box ("Preferences — Byteloom").
  QApplication::setApplicationName(QStringLiteral("Byteloom"));
  QApplication::setWindowIcon(ProgramIcon());
  // The arguments as bytes (Qt's own options taken out): a file name need
  // not be text in any encoding.
  const std::unique_ptr<TMainform> frame(CreateForms(std::vector<std::string>(argv + 1, argv + argc)));
  try {
    frame->WatchEndSignals([](int code) {
      std::fflush(nullptr);
      _exit(code);  // the unsaved documents' working copies stay for the next start
    });
  } catch (const std::exception& e) {
    std::fprintf(stderr, "byteloom: %s\n", e.what());
  }
  frame->show();
  return QApplication::exec();
}
