// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh temporary folder for one test, used as TMPDIR while the test runs,
// with helpers to write and read files in it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace byteloom::test {

using Bytes = std::vector<uint8_t>;

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Path of a file in the test's folder.
  std::string Path(const std::string& name) const { return FDir + "/" + name; }
  const std::string& Dir() const { return FDir; }
  // The folder the control uses for working files (TMPDIR during the test).
  const std::string& WorkDir() const { return FWorkDir; }
  // The private folder inside it that holds the working files.
  static std::string WorkFiles();
  // Names of the entries in a folder, sorted.
  static std::vector<std::string> List(const std::string& dir);

 private:
  std::string FDir;
  std::string FWorkDir;
  std::string FOldTmpdir;
  bool FHadTmpdir = false;
};

void WriteFile(const std::string& path, const Bytes& data);
Bytes ReadFile(const std::string& path);
Bytes Pattern(size_t size, uint32_t seed = 1);
// The status of path itself (a link is not followed); zeros when it is missing.
struct stat Stat(const std::string& path);

}  // namespace byteloom::test
