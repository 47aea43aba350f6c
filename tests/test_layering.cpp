// The folders depend on each other one way only: platform/ <- control/ <-
// editor/, compare/, output/ <- shell/. A file that includes a header of a
// higher folder fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>

namespace {

const std::map<std::string, int> kLevels = {{"platform", 0}, {"control", 1}, {"editor", 2},
                                            {"compare", 2},  {"output", 2},  {"shell", 3}};

TEST(Layering, NoFolderIncludesAHigherOne) {
  const std::filesystem::path root(BYTELOOM_SOURCE_DIR);
  const std::regex include(R"(^\s*#\s*include\s*"([a-z]+)/)");
  int files = 0;
  for (const auto& [folder, level] : kLevels) {
    for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
      const std::string ext = entry.path().extension().string();
      if (ext != ".h" && ext != ".cpp") continue;
      ++files;
      std::ifstream in(entry.path());
      std::string line;
      for (int number = 1; std::getline(in, line); ++number) {
        std::smatch m;
        if (!std::regex_search(line, m, include)) continue;
        const auto target = kLevels.find(m[1].str());
        if (target == kLevels.end()) continue;
        EXPECT_LE(target->second, level) << folder << "/" << entry.path().filename().string() << ":" << number
                                         << " includes " << m[1].str() << "/";
      }
    }
  }
  EXPECT_GT(files, 20);
}

}  // namespace
