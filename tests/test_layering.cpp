// SPDX-License-Identifier: GPL-3.0-or-later
// The folders depend on each other one way only: platform/ <- document/ <-
// control/ <- ui/ <- editor/, compare/, output/ (peers: none includes
// another) <- shell/.
// The toolkit shows in the folders: the top ui/ folder and each feature's ui/
// subfolder hold the Qt files; every other file is core and includes no Qt
// header and no file of a ui/ folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

const std::map<std::string, int> kLevels = {{"platform", 0}, {"document", 1}, {"control", 2}, {"ui", 3},
                                            {"editor", 4},   {"compare", 4},  {"output", 4},  {"shell", 5}};

bool IsUi(const std::string& path) { return path.rfind("ui/", 0) == 0 || path.find("/ui/") != std::string::npos; }

// Every way a file can break the layering, one text per include line.
std::string Fault(const std::string& file, const std::string& line) {
  static const std::regex project(R"(^\s*#\s*include\s*"(([a-z]+)/[^"]*)\")"), qt(R"(^\s*#\s*include\s*<Q)");
  const std::string from = file.substr(0, file.find('/'));
  std::smatch m;
  if (std::regex_search(line, qt)) return IsUi(file) ? "" : "a core file includes Qt";
  if (!std::regex_search(line, m, project)) return "";
  const std::string target = m[2].str();
  if (!kLevels.count(target) || target == from) return IsUi(m[1].str()) && !IsUi(file) ? "a core file includes a ui/ file" : "";
  if (kLevels.at(target) > kLevels.at(from)) return "includes a higher folder";
  if (kLevels.at(target) == kLevels.at(from)) return "includes a peer folder";
  if (IsUi(m[1].str()) && !IsUi(file)) return "a core file includes a ui/ file";
  return "";
}

TEST(Layering, EveryIncludeGoesDownAndCoreStaysToolkitFree) {
  const std::filesystem::path root(BYTELOOM_SOURCE_DIR);
  int files = 0, uiFiles = 0;
  for (const auto& [folder, level] : kLevels) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      const std::string file = std::filesystem::relative(entry.path(), root).generic_string();
      ++files;
      uiFiles += IsUi(file);
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        const std::string fault = Fault(file, line);
        EXPECT_EQ(fault, "") << file << ":" << number << ": " << line;
      }
    }
  }
  EXPECT_GT(files, 100);
  EXPECT_GT(uiFiles, 40);
}

// The rule itself, on lines a careless change would write.
TEST(Layering, TheRuleCatchesEachKindOfFault) {
  const struct {
    const char* file;
    const char* line;
    const char* fault;
  } rows[] = {
      {"control/undo.cpp", "#include \"platform/platform.h\"", ""},
      {"control/undo.cpp", "#include \"document/journal.h\"", ""},
      {"document/journal.cpp", "#include \"control/hexeditor.h\"", "includes a higher folder"},
      {"control/undo.cpp", "#include \"editor/fields.h\"", "includes a higher folder"},
      {"control/undo.cpp", "#include <QString>", "a core file includes Qt"},
      {"control/undo.cpp", "#include \"ui/qtext.h\"", "includes a higher folder"},
      {"editor/fields.cpp", "#include \"editor/ui/Editwin.h\"", "a core file includes a ui/ file"},
      {"editor/fields.cpp", "#include \"output/dumpformat.h\"", "includes a peer folder"},
      {"editor/ui/Editwin.cpp", "#include <QMenu>", ""},
      {"editor/ui/Editwin.cpp", "#include \"ui/uibuild.h\"", ""},
      {"editor/ui/Editwin.cpp", "#include \"compare/ui/Fcomp.h\"", "includes a peer folder"},
      {"ui/uibuild.cpp", "#include \"editor/ui/Editwin.h\"", "includes a higher folder"},
      {"shell/restore.cpp", "#include \"ui/progress.h\"", "a core file includes a ui/ file"},
      {"shell/ui/mainform.cpp", "#include \"compare/ui/Fcomp.h\"", ""},
  };
  for (const auto& row : rows) EXPECT_EQ(Fault(row.file, row.line), row.fault) << row.file << ": " << row.line;
}

}  // namespace
