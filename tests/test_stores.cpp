// SPDX-License-Identifier: GPL-3.0-or-later
// Stores (settings, kept bookmarks, backup records): read without blocking
// and with a size limit, written only over a regular file or as a new one,
// never through a link to a device or a FIFO; one that cannot be used is
// reported once and skipped, and lines that are not bookmarks are kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "editor/filebookmarks.h"
#include "editor/keptmarks.h"
#include "platform/platform.h"
#include "platform/store.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes Data(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A test whose settings folder is config/Velmora in its own folder, with the
// store reports collected.
class Stores : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    const char* old = std::getenv("XDG_CONFIG_HOME");
    FHadConfig = old != nullptr;
    if (old) FOldConfig = old;
    setenv("XDG_CONFIG_HOME", Path("config").c_str(), 1);
    fs::create_directories(Path("config/Velmora"));
    FOldSink = SetStoreProblemSink([this](const std::string& m) { Reports.push_back(m); });
  }
  void TearDown() override {
    SetStoreProblemSink(FOldSink);
    if (FHadConfig)
      setenv("XDG_CONFIG_HOME", FOldConfig.c_str(), 1);
    else
      unsetenv("XDG_CONFIG_HOME");
    TempDirTest::TearDown();
  }
  std::string Marks() const { return Path("config/Velmora/bookmarks.txt"); }
  // The reports that mention text.
  int ReportsOf(const std::string& text) const {
    int n = 0;
    for (const auto& r : Reports) n += r.find(text) != std::string::npos;
    return n;
  }
  std::vector<std::string> Reports;

 private:
  bool FHadConfig = false;
  std::string FOldConfig;
  TStoreProblemSink FOldSink;
};

TEST_F(Stores, TheSettingsFolderFollowsTheConfigurationFolder) {
  EXPECT_EQ(SettingsFolder(), Path("config") + "/Velmora");
  EXPECT_EQ(SettingsFile(), Path("config") + "/Velmora/Tarnwick.ini");
  EXPECT_EQ(KeptBookmarksFile(), Marks());
}

TEST_F(Stores, OnlyARegularFileOfTheUsersOwnIsUsed) {
  WriteFile(Path("own"), Data("mine"));
  mkfifo(Path("fifo").c_str(), 0600);
  fs::create_symlink(Path("own"), Path("to-own"));
  fs::create_symlink(Path("to-own"), Path("to-to-own"));
  fs::create_symlink("/dev/zero", Path("to-device"));
  fs::create_symlink(Path("fifo"), Path("to-fifo"));
  fs::create_symlink(Path("missing"), Path("dangling"));
  fs::create_symlink(Path("loop2"), Path("loop1"));
  fs::create_symlink(Path("loop1"), Path("loop2"));
  fs::create_directory(Path("folder"));
  struct Row {
    const char* name;
    bool usable, exists;
    const char* file;  // the file used ("" none)
    const char* problem;
  };
  for (const Row& r : {Row{"nothing", true, false, "nothing", ""}, Row{"own", true, true, "own", ""},
                       Row{"to-own", true, true, "own", ""}, Row{"to-to-own", true, true, "own", ""},
                       Row{"fifo", false, false, "", "is not a regular file"},
                       Row{"to-device", false, false, "", "is not a regular file"},
                       Row{"to-fifo", false, false, "", "is not a regular file"},
                       Row{"folder", false, false, "", "is not a regular file"},
                       Row{"dangling", false, false, "", "is a symbolic link to a missing file"},
                       Row{"loop1", false, false, "", "cannot be looked at: Too many levels of symbolic links"}}) {
    SCOPED_TRACE(r.name);
    const TStoreTarget t = FindStore(Path(r.name));
    EXPECT_EQ(t.Usable, r.usable);
    EXPECT_EQ(t.Exists, r.exists);
    EXPECT_EQ(t.Problem, r.problem);
    if (*r.file) EXPECT_EQ(t.File, Path(r.file));
  }
  // A link of another user, or one to another user's file, is not followed
  // (root can make them here).
  if (geteuid() == 0) {
    fs::create_symlink(Path("own"), Path("foreign-link"));
    ASSERT_EQ(lchown(Path("foreign-link").c_str(), 65534, 65534), 0);
    EXPECT_EQ(FindStore(Path("foreign-link")).Problem, "is a symbolic link of another user");
    WriteFile(Path("theirs"), Data("theirs"));
    ASSERT_EQ(chown(Path("theirs").c_str(), 65534, 65534), 0);
    fs::create_symlink(Path("theirs"), Path("to-theirs"));
    EXPECT_EQ(FindStore(Path("to-theirs")).Problem, "is a symbolic link to a file of another user");
    EXPECT_TRUE(FindStore(Path("theirs")).Usable);  // a file itself is replaced by a rename only
  }
}

TEST_F(Stores, ReadingNeverBlocksAndIsLimited) {
  mkfifo(Path("fifo").c_str(), 0600);
  fs::create_symlink(Path("fifo"), Path("to-fifo"));
  fs::create_symlink("/dev/zero", Path("to-zero"));
  // (A FIFO without a writer would block an open for reading for ever.)
  for (const char* name : {"fifo", "to-fifo", "to-zero"}) {
    const TStoreText s = ReadStore(Path(name), 1 << 20);
    EXPECT_FALSE(s.Usable) << name;
    EXPECT_EQ(s.Problem, "is not a regular file") << name;
  }
  // Nothing there: usable and empty.
  TStoreText s = ReadStore(Path("none"), 10);
  EXPECT_TRUE(s.Usable);
  EXPECT_FALSE(s.Exists);
  // The limit: 10 bytes read, 11 refused (also a sparse 100 MB file, unread).
  WriteFile(Path("ten"), Data("0123456789"));
  s = ReadStore(Path("ten"), 10);
  EXPECT_TRUE(s.Usable);
  EXPECT_EQ(s.Text, "0123456789");
  s = ReadStore(Path("ten"), 9);
  EXPECT_FALSE(s.Usable);
  EXPECT_EQ(s.Problem, "is larger than 9 bytes");
  ASSERT_EQ(truncate(Path("ten").c_str(), 100 << 20), 0);
  EXPECT_EQ(ReadStore(Path("ten"), int64_t{16} << 20).Problem, "is larger than 16 MiB");
  // The same file again: its text is not read again.
  WriteFile(Path("same"), Data("abc"));
  const TStoreText first = ReadStore(Path("same"), 10);
  const TStoreText again = ReadStore(Path("same"), 10, &first.Identity);
  EXPECT_TRUE(again.Unchanged);
  EXPECT_TRUE(again.Text.empty());
  WriteFile(Path("same"), Data("abcd"));
  const TStoreText changed = ReadStore(Path("same"), 10, &first.Identity);
  EXPECT_FALSE(changed.Unchanged);
  EXPECT_EQ(changed.Text, "abcd");
  // A file that cannot be read (not for root).
  if (geteuid() != 0) {
    chmod(Path("same").c_str(), 0);
    EXPECT_EQ(ReadStore(Path("same"), 10).Problem, "cannot be read: Permission denied");
  }
}

TEST_F(Stores, WrittenOnlyOverARegularFileOrAsANewOne) {
  // A new one, folders and all.
  WriteStore(Path("new/folder/store"), "one");
  EXPECT_EQ(Text(ReadFile(Path("new/folder/store"))), "one");
  WriteStore(Path("new/folder/store"), "two");
  EXPECT_EQ(Text(ReadFile(Path("new/folder/store"))), "two");
  // Through a link of the user's to their own file: the file is replaced,
  // the link stays.
  WriteFile(Path("own"), Data("mine"));
  fs::create_symlink(Path("own"), Path("to-own"));
  WriteStore(Path("to-own"), "new");
  EXPECT_TRUE(fs::is_symlink(Path("to-own")));
  EXPECT_EQ(Text(ReadFile(Path("own"))), "new");
  // Never over a FIFO, through a link to a device or to nothing.
  mkfifo(Path("fifo").c_str(), 0600);
  fs::create_symlink("/dev/null", Path("to-null"));
  fs::create_symlink(Path("missing"), Path("dangling"));
  for (const char* name : {"fifo", "to-null", "dangling"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(WriteStore(Path(name), "text"), EFileError);
  }
  EXPECT_TRUE(fs::is_fifo(Path("fifo")));
  EXPECT_TRUE(fs::is_symlink(Path("to-null")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_FALSE(fs::exists(Path("missing")));
  for (const auto& name : List(Dir())) EXPECT_NE(name[0], '.') << "a hidden name is left: " << name;
}

TEST_F(Stores, EachProblemIsReportedOncePerRun) {
  const std::string message = "The store " + Path("x") + " is odd";
  EXPECT_TRUE(ReportStoreProblem(message));
  EXPECT_FALSE(ReportStoreProblem(message));
  EXPECT_FALSE(FirstStoreReport(message));
  EXPECT_EQ(Reports, std::vector<std::string>{message});
  EXPECT_TRUE(FirstStoreReport(message + " too"));
  EXPECT_FALSE(ReportStoreProblem(message + " too"));
  EXPECT_EQ(Reports.size(), 1u);
}

TEST_F(Stores, SettingsThatCannotBeUsedAreNamed) {
  EXPECT_EQ(SettingsStoreProblem(), "");
  WriteFile(SettingsFile(), Data("[Editor]\nShow_Value_Info=0\n"));
  EXPECT_EQ(SettingsStoreProblem(), "");
  fs::remove(SettingsFile());
  fs::create_symlink("/dev/zero", SettingsFile());
  EXPECT_EQ(SettingsStoreProblem(),
            "The settings file " + SettingsFile() + " is not a regular file; settings are not read or kept.");
  fs::remove(SettingsFile());
  WriteFile(SettingsFile(), {});
  ASSERT_EQ(truncate(SettingsFile().c_str(), kMaxSettingsSize + 1), 0);
  EXPECT_EQ(SettingsStoreProblem(),
            "The settings file " + SettingsFile() + " is larger than 1 MiB; settings are not read or kept.");
}

// ---------------------------------------------------------------------------
// The kept bookmarks
// ---------------------------------------------------------------------------

TEST_F(Stores, LinesThatAreNotBookmarksAreKept) {
  WriteFile(Marks(), Data("# my notes\n/a\t16\tstart\nversion 9\tsomething\n/a\t\tno offset\n"));
  ChangeKeptBookmarks([](TBookmarkStore& s) { s.Keep("/b", {"32", "b"}); });
  EXPECT_EQ(Text(ReadFile(Marks())), "# my notes\nversion 9\tsomething\n/a\t\tno offset\n/a\t16\tstart\n/b\t32\tb\n");
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a"), (std::vector<TBookmark>{{"16", "start"}}));
  EXPECT_TRUE(Reports.empty());
}

TEST_F(Stores, AStoreThatCannotBeUsedIsReportedOnceAndNeverWritten) {
  const auto keep = [](TBookmarkStore& s) { s.Keep("/a", {"16", ""}); };
  struct Row {
    const char* what;
    std::function<void()> make;
    const char* problem;
  };
  const std::string marks = Marks();
  for (const Row& r :
       {Row{"FIFO", [&] { mkfifo(marks.c_str(), 0600); }, "is not a regular file"},
        Row{"link to a device", [&] { fs::create_symlink("/dev/zero", marks); }, "is not a regular file"},
        Row{"100 MB", [&] { WriteFile(marks, {}); ASSERT_EQ(truncate(marks.c_str(), 100 << 20), 0); },
            "is larger than 16 MiB"}}) {
    SCOPED_TRACE(r.what);
    fs::remove(marks);
    r.make();
    int changes = 0;
    for (int open = 0; open < 3; ++open) {
      EXPECT_TRUE(LoadKeptBookmarks().Marks("/a").empty());
      ChangeKeptBookmarks([&](TBookmarkStore& s) {
        keep(s);
        ++changes;  // the change still runs (the table on show changes)
      });
    }
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(ReportsOf("The bookmarks file " + marks + " " + r.problem +
                        "; bookmarks are not read from it or kept in it."),
              1);
    EXPECT_FALSE(fs::is_regular_file(marks) && fs::file_size(marks) != (100u << 20));
  }
  // Once per run: the FIFO's report stands for the link to a device as well.
  EXPECT_EQ(Reports.size(), 2u);
  EXPECT_TRUE(fs::is_symlink(marks) || fs::is_regular_file(marks));
  EXPECT_TRUE(fs::is_character_file("/dev/zero"));
  // A store that cannot be read (not for root) is not replaced.
  if (geteuid() != 0) {
    fs::remove(marks);
    WriteFile(marks, Data("/a\t1\tkept\n"));
    chmod(marks.c_str(), 0);
    Reports.clear();
    ChangeKeptBookmarks(keep);
    chmod(marks.c_str(), 0600);
    EXPECT_EQ(Text(ReadFile(marks)), "/a\t1\tkept\n");
    EXPECT_EQ(ReportsOf("cannot be read: Permission denied"), 1);
  }
}

TEST_F(Stores, TheStoreIsReadAgainWhenItsFileChanged) {
  WriteFile(Marks(), Data("/a\t1\tone\n"));
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a").size(), 1u);
  // Another program's change (a new file renamed over it) is seen.
  WriteFile(Path("config/Velmora/next"), Data("/a\t1\tone\n/a\t2\ttwo\n"));
  fs::rename(Path("config/Velmora/next"), Marks());
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a").size(), 2u);
  // So is one written in place with the same size.
  WriteFile(Marks(), Data("/a\t1\tuno\n/a\t2\ttwo\n"));
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a")[0].Comment, "uno");
  // A file of the same size written again after more than a second (the
  // file system's clock is coarse: one changed within the last second is
  // read again at each look) is seen as well. (That an unchanged store is
  // not read again at each open is checked by the fault suite.)
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a")[0].Comment, "uno");
  WriteFile(Marks(), Data("/a\t1\tdos\n/a\t2\ttwo\n"));
  EXPECT_EQ(LoadKeptBookmarks().Marks("/a")[0].Comment, "dos");
  EXPECT_TRUE(Reports.empty());
}

}  // namespace
}  // namespace byteloom::test
