// The frame's engines: backup names and Restore, the file properties'
// texts, the command line, the help folder and keeping the frame on a screen.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "platform/filenames.h"
#include "shell/cmdline.h"
#include "shell/fileinfo.h"
#include "shell/helppages.h"
#include "shell/placement.h"
#include "shell/recentfiles.h"
#include "shell/restore.h"
#include "tests/support/sandbox.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

TEST(FileNames, PartsAndBackupNames) {
  struct Row {
    const char* name;
    const char* ext;
    bool backup;
    const char* bak;
    const char* tilde;
  };
  for (const Row& r : std::initializer_list<Row>{
           {"/s/game.sav", ".sav", false, "/s/game.bak", "/s/game.bak~"},
           {"/s/game", "", false, "/s/game.bak", "/s/game.bak~"},
           {"/s.d/game", "", false, "/s.d/game.bak", "/s.d/game.bak~"},
           {"/s/game.bak", ".bak", true, "/s/game.bak", "/s/game.bak~"},
           {"/s/game.bak~", ".bak~", true, "/s/game.bak", "/s/game.bak~"},
           {"/s/game.BAK", ".BAK", false, "/s/game.bak", "/s/game.bak~"},
           {"/s/a.b.c", ".c", false, "/s/a.b.bak", "/s/a.b.bak~"},
       }) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ExtractFileExt(r.name), r.ext);
    EXPECT_EQ(IsBackupName(r.name), r.backup);
    EXPECT_EQ(BakName(r.name), r.bak);
    EXPECT_EQ(BakTildeName(r.name), r.tilde);
  }
  EXPECT_EQ(ExtractFileName("/s/game.sav"), "game.sav");
  EXPECT_EQ(ExtractFilePath("/s/game.sav"), "/s/");
  EXPECT_EQ(ExtractFilePath("game.sav"), "");
}

TEST(RecentFileList, EntriesOnceShownStayShown) {
  TRecentFileList list;
  list.Restore(2, "c");
  list.Restore(0, "");
  EXPECT_FALSE(list.Shown(0));
  EXPECT_TRUE(list.Shown(2));
  list.Add("x");  // the first free slot
  EXPECT_EQ(list.Names(), (TRecentFiles{"x", "", "c", "", ""}));
  EXPECT_TRUE(list.Shown(0));
  EXPECT_FALSE(list.SeparatorShown());
  list.ShowSeparator();
  EXPECT_TRUE(list.SeparatorShown());
}

class Restore : public TempDirTest {
 protected:
  // The files of the folder and their contents.
  std::map<std::string, std::string> Files() {
    std::map<std::string, std::string> files;
    for (const std::string& name : List(Dir())) {
      if (Path(name) == WorkDir()) continue;
      const Bytes data = fs::is_regular_file(Path(name)) ? ReadFile(Path(name)) : Bytes{};
      files[name] = fs::is_regular_file(Path(name)) ? std::string(data.begin(), data.end()) : "<dir>";
    }
    return files;
  }
  void Put(const std::map<std::string, std::string>& files) {
    for (const auto& [name, text] : files) WriteFile(Path(name), Bytes(text.begin(), text.end()));
  }
};

TEST_F(Restore, PutsTheNewestBackupInPlaceWithOneRename) {
  using Set = std::map<std::string, std::string>;
  struct Row {
    Set before;
    const char* restore;
    TRestoreStatus status;
    Set after;
  };
  const std::vector<Row> rows = {
      {{{"game.sav", "new"}, {"game.bak", "old"}}, "game.sav", TRestoreStatus::rsRestored, {{"game.sav", "old"}}},
      {{{"game.sav", "new"}, {"game.bak", "old"}, {"game.bak~", "older"}},
       "game.sav",
       TRestoreStatus::rsRestored,
       {{"game.sav", "older"}, {"game.bak", "old"}}},
      {{{"game", "new"}, {"game.bak", "old"}}, "game", TRestoreStatus::rsRestored, {{"game", "old"}}},
      {{{"game.bak", "b"}, {"game.bak~", "t"}}, "game.bak", TRestoreStatus::rsIsBackup, {{"game.bak", "b"}, {"game.bak~", "t"}}},
      {{{"game.bak~", "t"}}, "game.bak~", TRestoreStatus::rsIsBackup, {{"game.bak~", "t"}}},
      {{{"game.sav", "new"}, {"game.BAK", "x"}}, "game.sav", TRestoreStatus::rsNoBackup,
       {{"game.sav", "new"}, {"game.BAK", "x"}}},
      // A file deleted since: its backup brings it back.
      {{{"game.bak", "old"}}, "game.sav", TRestoreStatus::rsRestored, {{"game.sav", "old"}}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.restore);
    for (const auto& [name, text] : Files()) fs::remove(Path(name));
    Put(r.before);
    const TRestoreResult result = RestoreFromBackup(Path(r.restore));
    EXPECT_EQ(result.Status, r.status);
    EXPECT_EQ(Files(), r.after);
  }
}

TEST_F(Restore, AFailedRenameLeavesBothFiles) {
  // The file is a folder with something in it: no rename can replace it.
  fs::create_directory(Path("game.sav"));
  Put({{"game.sav/inside", "x"}, {"game.bak", "old"}});
  const TRestoreResult result = RestoreFromBackup(Path("game.sav"));
  EXPECT_EQ(result.Status, TRestoreStatus::rsFailed);
  EXPECT_FALSE(result.Reason.empty());
  EXPECT_EQ(Files(), (std::map<std::string, std::string>{{"game.bak", "old"}, {"game.sav", "<dir>"}}));
  EXPECT_EQ(result.Message(Path("game.sav"), false),
            "Cannot restore " + Path("game.sav") + " from " + Path("game.bak") + "\r\n" + result.Reason +
                "\r\nNothing was changed.");
}

TEST_F(Restore, AReadOnlyFolderChangesNothing) {
  Put({{"game.sav", "new"}, {"game.bak", "old"}});
  const bool immutable = SetImmutable(Dir(), true);
  if (!immutable && geteuid() == 0) GTEST_SKIP() << "no way to make a read-only folder here";
  if (!immutable) chmod(Dir().c_str(), 0555);
  const TRestoreResult result = RestoreFromBackup(Path("game.sav"));
  if (immutable) SetImmutable(Dir(), false);
  chmod(Dir().c_str(), 0755);
  EXPECT_EQ(result.Status, TRestoreStatus::rsFailed);
  EXPECT_EQ(Files(), (std::map<std::string, std::string>{{"game.bak", "old"}, {"game.sav", "new"}}));
}

TEST_F(Restore, ALinkedFileIsRestoredWhereTheLinkPoints) {
  fs::create_directory(Path("real"));
  Put({{"real/game.sav", "new"}, {"game.bak", "old"}});
  fs::create_symlink(Path("real/game.sav"), Path("game.sav"));
  EXPECT_EQ(RestoreFromBackup(Path("game.sav")).Status, TRestoreStatus::rsRestored);
  EXPECT_TRUE(fs::is_symlink(Path("game.sav")));
  const Bytes data = ReadFile(Path("real/game.sav"));
  EXPECT_EQ(std::string(data.begin(), data.end()), "old");
}

TEST(RestoreMessages, Texts) {
  TRestoreResult r;
  r.Status = TRestoreStatus::rsRestored;
  EXPECT_EQ(r.Message("/s/g.sav", false), "File: /s/g.sav succesfully Restored");
  EXPECT_NE(r.Message("/s/g.sav", true).find("Saving that window would overwrite the restored file"),
            std::string::npos);
  r.Status = TRestoreStatus::rsIsBackup;
  EXPECT_EQ(r.Message("g.bak", false), "Files with .bak or .bak~ Extension can not be restored!");
  r.Status = TRestoreStatus::rsNoBackup;
  EXPECT_EQ(r.Message("g", false), "Sorry, i cant Restore this file bec. there is no *.bak or *.bak~ File available.");
}

class FileProperties : public TempDirTest {};

TEST_F(FileProperties, TextsOfAKnownFile) {
  WriteFile(Path("game.sav"), Bytes(1024, 7));
  const timespec times[2] = {{1000, 0}, {2000, 0}};  // access, change
  ASSERT_EQ(utimensat(AT_FDCWD, Path("game.sav").c_str(), times, 0), 0);
  auto format = [](int64_t t) { return "t" + std::to_string(t); };
  TFilePropertyTexts t = FilePropertyTexts(Path("game.sav"), format);
  EXPECT_EQ(t.Name, "game.sav");
  EXPECT_EQ(t.DosName, "game.sav");
  EXPECT_EQ(t.Type, ".sav File");
  EXPECT_EQ(t.Destination, Dir() + "/");
  EXPECT_EQ(t.Size, "1024 Bytes");
  EXPECT_EQ(t.LastChange, "t2000");
  EXPECT_EQ(t.LastAccess, "t1000");
  EXPECT_TRUE(t.Created == "-" || (t.Created.starts_with("t") && t.Created != "t2000")) << t.Created;
  EXPECT_EQ(t.Backup, "No, there\u00B4s no Backup available");
  EXPECT_FALSE(t.WriteProtected || t.Hidden || t.System || t.Archive);

  WriteFile(Path("game.bak"), {});
  EXPECT_EQ(FilePropertyTexts(Path("game.sav"), format).Backup, "Yes, a .bak is available");
  WriteFile(Path("game.bak~"), {});
  EXPECT_EQ(FilePropertyTexts(Path("game.sav"), format).Backup, "Yes, a .bak~ is available");

  WriteFile(Path(".data"), {});
  t = FilePropertyTexts(Path(".data"), format);
  EXPECT_EQ(t.Type, ".data File");
  EXPECT_TRUE(t.Hidden);
  WriteFile(Path("data"), {});
  EXPECT_EQ(FilePropertyTexts(Path("data"), format).Type, " File");
}

TEST_F(FileProperties, WriteProtectedFollowsTheFile) {
  WriteFile(Path("locked"), {1});
  const bool immutable = SetImmutable(Path("locked"), true);
  if (!immutable) chmod(Path("locked").c_str(), 0444);
  const bool locked = FilePropertyTexts(Path("locked")).WriteProtected;
  if (immutable) SetImmutable(Path("locked"), false);
  if (!immutable && geteuid() == 0) GTEST_SKIP() << "no way to protect a file from root here";
  EXPECT_TRUE(locked);
  if (immutable) {
    EXPECT_FALSE(FilePropertyTexts(Path("locked")).WriteProtected);
  }
}

TEST_F(FileProperties, AMissingFileShowsNothingStale) {
  const TFilePropertyTexts t = FilePropertyTexts(Path("gone.sav"));
  for (const std::string& text : {t.Name, t.Type, t.Destination, t.Size, t.DosName, t.Created, t.LastChange,
                                  t.LastAccess, t.Backup})
    EXPECT_EQ(text, "-");
  EXPECT_FALSE(t.WriteProtected || t.Hidden || t.System || t.Archive);
}

TEST(FileTime, LocalTimeWithWeekday) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FormatFileTime(0), "01/01/70 Thu 00:00");  // the C locale's short date
  unsetenv("TZ");
  tzset();
}

TEST(CommandLine, FilesOffsetAndOptions) {
  auto exists = [](const std::string& name) { return name == "b" || name == "12"; };
  struct Row {
    std::vector<std::string> args;
    std::vector<std::string> files;
    std::optional<std::string> offset;
    bool help, version;
    std::string bad;
  };
  const std::vector<Row> rows = {
      {{}, {}, {}, false, false, ""},
      {{"a"}, {"a"}, {}, false, false, ""},
      {{"a", "0x1F"}, {"a"}, "0x1F", false, false, ""},
      {{"a", ""}, {"a"}, "", false, false, ""},
      {{"a", "letters"}, {"a"}, "letters", false, false, ""},  // no such file: an offset that does not convert
      {{"a", "b", "c"}, {"a", "b", "c"}, {}, false, false, ""},
      {{"a", "12", "c"}, {"a", "c"}, "12", false, false, ""},  // a number is the offset
      {{"a", "-5"}, {"a"}, "-5", false, false, ""},
      {{"--help"}, {}, {}, true, false, ""},
      {{"-h", "--version"}, {}, {}, true, true, ""},
      {{"--frobnicate", "a"}, {"a"}, {}, false, false, "--frobnicate"},
      {{"--", "--help"}, {"--help"}, {}, false, false, ""},
  };
  for (const Row& r : rows) {
    const TCommandLine line = ParseCommandLine(r.args, exists);
    EXPECT_EQ(line.Files, r.files);
    EXPECT_EQ(line.Offset, r.offset);
    EXPECT_EQ(line.Help, r.help);
    EXPECT_EQ(line.Version, r.version);
    EXPECT_EQ(line.BadOption, r.bad);
  }
}

TEST(CommandLine, NoDisplay) {
  // Sockets that answer: X display 0 and one Wayland display.
  auto answers = [](const std::string& path) { return path == "/tmp/.X11-unix/X0" || path == "/run/u/wayland-0"; };
  auto reason = [&](std::map<std::string, std::string> env, std::vector<std::string> args = {}) {
    env["XDG_RUNTIME_DIR"] = "/run/u";
    return NoDisplayReason(
        args,
        [env](const char* name) -> const char* {
          const auto it = env.find(name);
          return it == env.end() ? nullptr : it->second.c_str();
        },
        answers);
  };
  const std::string none = "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY";
  EXPECT_EQ(reason({}), none);
  EXPECT_EQ(reason({{"DISPLAY", ""}}), none);
  EXPECT_EQ(reason({{"DISPLAY", ":0"}}), "");
  EXPECT_EQ(reason({{"DISPLAY", ":0.1"}}), "");
  EXPECT_EQ(reason({{"DISPLAY", ":7"}}), none);  // a display that is gone
  EXPECT_EQ(reason({{"DISPLAY", "host:0"}}), "");
  EXPECT_EQ(reason({{"DISPLAY", ":7"}, {"WAYLAND_DISPLAY", "wayland-0"}}), "");
  EXPECT_EQ(reason({{"WAYLAND_DISPLAY", "wayland-1"}}), none);
  EXPECT_EQ(reason({{"QT_QPA_PLATFORM", "offscreen"}}), "");
  EXPECT_EQ(reason({}, {"-platform", "offscreen"}), "");
  EXPECT_FALSE(CanConnectUnixSocket("/nonexistent/socket"));
}

TEST(HelpPages, FolderBesideTheProgramOrInstalled) {
  auto in = [](std::string page) { return [page](const std::string& name) { return name == page; }; };
  EXPECT_EQ(HelpFolder("/b/", in("/b/help/hex.htm")), "/b/help/");
  EXPECT_EQ(HelpFolder("/u/bin/", in("/u/bin/../share/byteloom/help/hex.htm")), "/u/share/byteloom/help/");
  EXPECT_EQ(HelpFolder("/t/", in("")), "/t/help/");
  EXPECT_EQ(HelpWarning("/t/help/"),
            "You can only view the Help-File with an installed Browser.\r\nBrowser not available or \r\n"
            "Helpfile not found in current dir: /t/help/ !");
  EXPECT_TRUE(MailLink().starts_with("mailto:byteloom@velmora-soft.example?subject=Byteloom&body="));
}

TEST(Placement, AFrameOffEveryScreenComesBack) {
  const std::vector<TFrameRect> screens = {{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
  struct Row {
    TFrameRect frame, placed;
  };
  for (const Row& r : std::initializer_list<Row>{
           {{100, 100, 640, 480}, {100, 100, 640, 480}},     // on screen
           {{-560, 100, 640, 480}, {-560, 100, 640, 480}},   // 80 px still reachable
           {{-600, 100, 640, 480}, {0, 100, 640, 480}},      // 40 px are not enough
           {{2000, 500, 640, 480}, {2000, 500, 640, 480}},   // on the second screen
           {{-20, -40, 640, 480}, {0, 0, 640, 480}},         // title bar above the screen
           {{5000, 100, 640, 480}, {1280, 100, 640, 480}},   // right of every screen: the primary
           {{3000, -100, 640, 480}, {2560, 0, 640, 480}},    // mostly over the second screen
           {{-10, -10, 4000, 3000}, {0, 0, 1920, 1080}},     // larger than the screen
       }) {
    EXPECT_EQ(BringOntoScreen(r.frame, screens, 64), r.placed)
        << r.frame.Left << "," << r.frame.Top << " " << r.frame.Width << "x" << r.frame.Height;
  }
}

}  // namespace
}  // namespace byteloom::test
