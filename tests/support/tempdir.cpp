// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/tempdir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace byteloom::test {

void TempDirTest::SetUp() {
  const char* base = std::getenv("BYTELOOM_TEST_ROOT");
  std::string root = base ? base : fs::temp_directory_path().string();
  std::string templ = root + "/byteloom-test-XXXXXX";
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  ASSERT_NE(mkdtemp(buf.data()), nullptr);
  FDir = buf.data();
  FWorkDir = FDir + "/tmp";
  fs::create_directory(FWorkDir);
  const char* old = std::getenv("TMPDIR");
  FHadTmpdir = old != nullptr;
  if (old) FOldTmpdir = old;
  setenv("TMPDIR", FWorkDir.c_str(), 1);
}

void TempDirTest::TearDown() {
  if (FHadTmpdir)
    setenv("TMPDIR", FOldTmpdir.c_str(), 1);
  else
    unsetenv("TMPDIR");
  std::error_code ec;
  fs::permissions(FDir, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(FDir, ec);
}

std::string TempDirTest::WorkFiles() {
  const std::string folder = WorkFolder();
  return folder.substr(0, folder.size() - 1);
}

std::vector<std::string> TempDirTest::List(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  // The sidecar of a working copy belongs to it; one left alone is listed.
  const std::vector<std::string> all = names;
  std::erase_if(names, [&](const std::string& n) {
    return n.ends_with(".BLWT.info") && std::binary_search(all.begin(), all.end(), n.substr(0, n.size() - 5));
  });
  return names;
}

struct stat Stat(const std::string& path) {
  struct stat st {};
  lstat(path.c_str(), &st);
  return st;
}

void WriteFile(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes Pattern(size_t size, uint32_t seed) {
  Bytes b(size);
  uint32_t x = seed * 2654435761u + 12345u;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<uint8_t>(x);
  }
  return b;
}

}  // namespace byteloom::test
