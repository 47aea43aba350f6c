// SPDX-License-Identifier: GPL-3.0-or-later
// The platform layer: temporary names and exclusive files, copies and the
// durable replacement of a file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/platform.h"
#include "platform/progress.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

using Platform = TempDirTest;

TEST_F(Platform, TempDirectoryHonoursTmpdirWithATrailingSlash) {
  EXPECT_EQ(TempDirectory(), WorkDir() + "/");
  setenv("TMPDIR", (WorkDir() + "/").c_str(), 1);
  EXPECT_EQ(TempDirectory(), WorkDir() + "/");
}

TEST_F(Platform, ChosenNamesSkipExistingAndReservedNames) {
  const std::string dir = WorkDir() + "/";
  const std::string a = ChooseTempName(dir, ".BLWT");
  ReserveTempName(a);
  const std::string b = ChooseTempName(dir, ".BLWT");
  EXPECT_NE(a, b);
  WriteFile(b, {});
  const std::string c = ChooseTempName(dir, ".BLWT");
  EXPECT_NE(c, a);
  EXPECT_NE(c, b);
  ReleaseTempName(a);
}

TEST_F(Platform, TempFilesAreCreatedExclusivelyAndRemovedOnlyWhileTheirs) {
  const std::string name = WorkDir() + "/planted.BLWT";
  WriteFile(name, {1, 2, 3});
  try {
    TTempFile::CreateNamed(name);
    FAIL();
  } catch (const EFileError& e) {
    EXPECT_EQ(e.Errno(), EEXIST);
  }
  EXPECT_EQ(ReadFile(name), (Bytes{1, 2, 3}));
  fs::create_symlink(name, WorkDir() + "/link.BLWT");
  EXPECT_THROW(TTempFile::CreateNamed(WorkDir() + "/link.BLWT"), EFileError);
  EXPECT_EQ(ReadFile(name), (Bytes{1, 2, 3}));

  {
    TTempFile t = TTempFile::Create(WorkDir() + "/", ".BLWS");
    struct stat st {};
    ASSERT_EQ(stat(t.Name().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Someone replaces the file under the same name: it is not ours to delete.
    const std::string tname = t.Name();
    fs::remove(tname);
    WriteFile(tname, {9});
    t.Remove();
    EXPECT_EQ(ReadFile(tname), Bytes{9});
  }
}

TEST_F(Platform, ReplacedFileKeepsNothingOfTheTemporaryName) {
  const std::string target = Path("t.bin");
  WriteFile(target, Pattern(10));
  TTempFile src = TTempFile::Create(WorkDir() + "/", ".BLWT");
  const Bytes data = Pattern(3 << 20, 7);
  src.Handle().WriteAt(data.data(), static_cast<int64_t>(data.size()), 0);
  ReplaceFileContents(target, src.Handle(), WorkDir() + "/");
  EXPECT_EQ(ReadFile(target), data);
  EXPECT_EQ(List(Dir()), (std::vector<std::string>{"t.bin", "tmp"}));
  // A new file under a name that did not exist yet.
  ReplaceFileContents(Path("new.bin"), src.Handle(), WorkDir() + "/");
  EXPECT_EQ(ReadFile(Path("new.bin")), data);
}

TEST(Progress, TheTimeLeftIsRoundedToItsUnitAndWaitsForASecondOfWork) {
  const struct {
    int64_t ms, done, total;
    const char* text;
  } rows[] = {
      {999, 50, 100, ""},          {1000, 0, 100, ""},
      {1000, 100, 100, ""},        {1000, 90, 100, "About 1 second left"},
      {1000, 50, 100, "About 1 second left"}, {1000, 1, 90, "About 89 seconds left"},
      {1000, 1, 91, "About 2 minutes left"},  {60000, 1, 90, "About 89 minutes left"},
      {60000, 1, 91, "About 2 hours left"},   {3600000, 1, 1000, "About 999 hours left"},
      {int64_t{1} << 40, 1, int64_t{1} << 40, "About 1000000 hours left"},  // or more
  };
  for (const auto& r : rows) EXPECT_EQ(TimeLeftText(r.ms, r.done, r.total), r.text) << r.ms << " " << r.done;
}

TEST_F(Platform, CopyDataMovesExactRangesAcrossBlockSizes) {
  TTempFile a = TTempFile::Create(WorkDir() + "/", ".A");
  TTempFile b = TTempFile::Create(WorkDir() + "/", ".B");
  const Bytes data = Pattern((1 << 20) * 2 + 77, 5);
  a.Handle().WriteAt(data.data(), static_cast<int64_t>(data.size()), 0);
  CopyData(a.Handle(), 5, b.Handle(), 3, static_cast<int64_t>(data.size()) - 10);
  Bytes got(data.size() - 10);
  b.Handle().ReadExact(got.data(), static_cast<int64_t>(got.size()), 3);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), data.begin() + 5));
  EXPECT_THROW(CopyData(a.Handle(), static_cast<int64_t>(data.size()) - 1, b.Handle(), 0, 10), EFileError);
}

}  // namespace
}  // namespace byteloom::test
