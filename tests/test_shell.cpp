// SPDX-License-Identifier: GPL-3.0-or-later
// The frame's engines: backup names and Restore, the file properties'
// texts, the command line, the help folder and keeping the frame on a screen.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

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
  // name | extension | is a backup | its two backup names
  for (const auto& [name, ext, backup, bak, tilde] : std::initializer_list<
           std::tuple<const char*, const char*, bool, const char*, const char*>>{
           {"/s/game.sav", ".sav", false, "/s/game.bak", "/s/game.bak~"},
           {"/s.d/game", "", false, "/s.d/game.bak", "/s.d/game.bak~"},
           {"/s/game.bak", ".bak", true, "/s/game.bak", "/s/game.bak~"},
           {"/s/game.bak~", ".bak~", true, "/s/game.bak", "/s/game.bak~"},
           {"/s/game.BAK", ".BAK", false, "/s/game.bak", "/s/game.bak~"},
           {"/s/a.b.c", ".c", false, "/s/a.b.bak", "/s/a.b.bak~"}}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ExtractFileExt(name), ext);
    EXPECT_EQ(IsBackupName(name), backup);
    EXPECT_EQ(BakName(name), bak);
    EXPECT_EQ(BakTildeName(name), tilde);
  }
  EXPECT_EQ(ExtractFileName("/s/game.sav") + "|" + ExtractFilePath("/s/game.sav") + "|" + ExtractFilePath("g"),
            "game.sav|/s/|");
}

TEST(RecentFileList, SettingsFillSlotsThatStayShown) {
  TRecentFileList list;
  list.Restore(2, "c");
  list.Restore(0, "");
  list.Add("x");  // the first free slot
  EXPECT_EQ(list.Names(), (TRecentFiles{"x", "", "c", "", ""}));
  EXPECT_TRUE(list.Shown(0) && !list.Shown(1) && list.Shown(2) && !list.SeparatorShown());
}

class Restore : public TempDirTest {
 protected:
  // The folder as "name=contents ..." (a folder's contents: "<dir>").
  std::string Files() {
    std::string text;
    for (const std::string& name : List(Dir())) {
      if (Path(name) == WorkDir()) continue;
      const Bytes data = fs::is_regular_file(Path(name)) ? ReadFile(Path(name)) : Bytes{};
      text += (text.empty() ? "" : " ") + name + "=" +
              (fs::is_directory(Path(name)) ? "<dir>" : std::string(data.begin(), data.end()));
    }
    return text;
  }
  void Put(const std::string& files) {
    std::istringstream in(files);
    for (std::string item; in >> item;) {
      const std::string name = item.substr(0, item.find('='));
      fs::create_directories(fs::path(Path(name)).parent_path());
      WriteFile(Path(name), Bytes(item.begin() + static_cast<long>(name.size()) + 1, item.end()));
    }
  }
};

TEST_F(Restore, PutsTheNewestBackupInPlaceWithOneRename) {
  // before | restored file | outcome | after
  for (const auto& [before, file, status, after] :
       std::initializer_list<std::tuple<const char*, const char*, TRestoreStatus, const char*>>{
           {"game.sav=new game.bak=old", "game.sav", TRestoreStatus::rsRestored, "game.sav=old"},
           {"game.sav=new game.bak=old game.bak~=older", "game.sav", TRestoreStatus::rsRestored,
            "game.bak=old game.sav=older"},
           {"game=new game.bak=old", "game", TRestoreStatus::rsRestored, "game=old"},
           {"game.bak=old", "game.sav", TRestoreStatus::rsRestored, "game.sav=old"},  // deleted since
           {"game.bak=b game.bak~=t", "game.bak", TRestoreStatus::rsIsBackup, "game.bak=b game.bak~=t"},
           {"game.bak~=t", "game.bak~", TRestoreStatus::rsIsBackup, "game.bak~=t"},
           {"game.sav=new game.BAK=x", "game.sav", TRestoreStatus::rsNoBackup, "game.BAK=x game.sav=new"},
           // A folder with something in it cannot be replaced: both stay.
           {"game.sav/in=x game.bak=old", "game.sav", TRestoreStatus::rsFailed, "game.bak=old game.sav=<dir>"},
       }) {
    SCOPED_TRACE(before);
    fs::remove_all(Path("game.sav"));
    for (const char* name : {"game", "game.bak", "game.bak~", "game.BAK"}) fs::remove(Path(name));
    Put(before);
    const TRestoreResult result = RestoreFromBackup(Path(file));
    EXPECT_EQ(result.Status, status);
    EXPECT_EQ(Files(), after);
    if (status == TRestoreStatus::rsFailed) {
      EXPECT_EQ(result.Message(Path(file), false), "Cannot restore " + Path(file) + " from " + Path("game.bak") +
                                                       "\r\n" + result.Reason + "\r\nNothing was changed.");
    }
  }
}

TEST_F(Restore, AReadOnlyFolderChangesNothing) {
  Put("game.sav=new game.bak=old");
  const bool immutable = SetImmutable(Dir(), true);
  if (!immutable && geteuid() == 0) GTEST_SKIP() << "no way to make a read-only folder here";
  if (!immutable) chmod(Dir().c_str(), 0555);
  const TRestoreResult result = RestoreFromBackup(Path("game.sav"));
  if (immutable) SetImmutable(Dir(), false);
  chmod(Dir().c_str(), 0755);
  EXPECT_EQ(result.Status, TRestoreStatus::rsFailed);
  EXPECT_EQ(Files(), "game.bak=old game.sav=new");
}

TEST_F(Restore, ALinkedFileIsRestoredWhereTheLinkPoints) {
  Put("real/game.sav=new game.bak=old");
  fs::create_symlink(Path("real/game.sav"), Path("game.sav"));
  EXPECT_EQ(RestoreFromBackup(Path("game.sav")).Status, TRestoreStatus::rsRestored);
  EXPECT_TRUE(fs::is_symlink(Path("game.sav")));
  EXPECT_EQ(ReadFile(Path("real/game.sav")), Bytes({'o', 'l', 'd'}));
}

TEST(RestoreMessages, Texts) {
  auto text = [](TRestoreStatus status, bool open) {
    TRestoreResult result;
    result.Status = status;
    return result.Message("/s/g.sav", open);
  };
  EXPECT_EQ(text(TRestoreStatus::rsRestored, false), "File: /s/g.sav succesfully Restored");
  EXPECT_EQ(text(TRestoreStatus::rsRestored, true),
            "File: /s/g.sav succesfully Restored\r\n\r\nAn editor window still shows the file as it was before. "
            "Saving that window would overwrite the restored file; close it without saving and open the file again.");
  EXPECT_EQ(text(TRestoreStatus::rsIsBackup, false), "Files with .bak or .bak~ Extension can not be restored!");
  EXPECT_EQ(text(TRestoreStatus::rsNoBackup, false),
            "Sorry, i cant Restore this file bec. there is no *.bak or *.bak~ File available.");
}

class FileProperties : public TempDirTest {};

TEST_F(FileProperties, TextsOfKnownFiles) {
  WriteFile(Path("game.sav"), Bytes(1024, 7));
  const timespec times[2] = {{1000, 0}, {2000, 0}};  // access, change
  ASSERT_EQ(utimensat(AT_FDCWD, Path("game.sav").c_str(), times, 0), 0);
  auto format = [](int64_t t) { return "t" + std::to_string(t); };
  const TFilePropertyTexts t = FilePropertyTexts(Path("game.sav"), format);
  EXPECT_EQ((std::vector<std::string>{t.Name, t.DosName, t.Type, t.Destination, t.Size, t.LastChange, t.LastAccess,
                                      t.Backup}),
            (std::vector<std::string>{"game.sav", "game.sav", ".sav File", Dir() + "/", "1024 Bytes", "t2000",
                                      "t1000", "No, there\u00B4s no Backup available"}));
  // Where the file system keeps no creation time: "-".
  EXPECT_TRUE(t.Created == "-" || (t.Created.starts_with("t") && t.Created != "t2000")) << t.Created;
  EXPECT_FALSE(t.WriteProtected || t.Hidden || t.System || t.Archive);
  WriteFile(Path("game.bak"), {});
  EXPECT_EQ(FilePropertyTexts(Path("game.sav")).Backup, "Yes, a .bak is available");
  WriteFile(Path("game.bak~"), {});
  EXPECT_EQ(FilePropertyTexts(Path("game.sav")).Backup, "Yes, a .bak~ is available");
  WriteFile(Path(".data"), {});
  WriteFile(Path("data"), {});
  EXPECT_EQ(FilePropertyTexts(Path(".data")).Type + "|" + FilePropertyTexts(Path("data")).Type, ".data File| File");
  EXPECT_TRUE(FilePropertyTexts(Path(".data")).Hidden);
  // A missing file: nothing stale, every value "-".
  const TFilePropertyTexts m = FilePropertyTexts(Path("gone.sav"));
  for (const std::string& text :
       {m.Name, m.Type, m.Destination, m.Size, m.DosName, m.Created, m.LastChange, m.LastAccess, m.Backup})
    EXPECT_EQ(text, "-");
  EXPECT_FALSE(m.WriteProtected || m.Hidden);
}

TEST_F(FileProperties, WriteProtectedFollowsTheFile) {
  WriteFile(Path("locked"), {1});
  const bool immutable = SetImmutable(Path("locked"), true);
  if (!immutable && geteuid() == 0) GTEST_SKIP() << "no way to protect a file from root here";
  if (!immutable) chmod(Path("locked").c_str(), 0444);
  const bool locked = FilePropertyTexts(Path("locked")).WriteProtected;
  if (immutable) SetImmutable(Path("locked"), false);
  chmod(Path("locked").c_str(), 0644);
  EXPECT_TRUE(locked);
  EXPECT_FALSE(FilePropertyTexts(Path("locked")).WriteProtected);
}

TEST(FileTime, LocalTimeWithWeekday) {
  setenv("TZ", "UTC", 1);
  tzset();
  EXPECT_EQ(FormatFileTime(0), "01/01/70 Thu 00:00");  // the C locale's short date
  unsetenv("TZ");
  tzset();
}

// The command line as "files @offset help version !bad".
std::string Describe(const std::vector<std::string>& args) {
  const TCommandLine line = ParseCommandLine(args, [](const std::string& n) { return n == "b" || n == "12"; });
  std::string text;
  for (const std::string& file : line.Files) text += file + ",";
  if (line.Offset) text += " @" + *line.Offset;
  if (line.Help) text += " help";
  if (line.Version) text += " version";
  if (!line.BadOption.empty()) text += " !" + line.BadOption;
  return text;
}

TEST(CommandLine, FilesOffsetAndOptions) {
  for (const auto& [args, expected] : std::initializer_list<std::pair<std::vector<std::string>, std::string>>{
           {{}, ""},
           {{"a"}, "a,"},
           {{"a", "0x1F"}, "a, @0x1F"},
           {{"a", ""}, "a, @"},
           {{"a", "letters"}, "a, @letters"},  // no such file: an offset that does not convert
           {{"a", "b", "c"}, "a,b,c,"},
           {{"a", "12", "c"}, "a,c, @12"},  // a number is the offset, also when a file has its name
           {{"a", "-5"}, "a, @-5"},
           {{"--help"}, " help"},
           {{"-h", "--version"}, " help version"},
           {{"--frobnicate", "a"}, "a, !--frobnicate"},
           {{"--", "--help"}, "--help,"},
       })
    EXPECT_EQ(Describe(args), expected);
}

TEST(CommandLine, NoDisplay) {
  // Sockets that answer: X display 0 and one Wayland display.
  auto answers = [](const std::string& path) {
    return path == "/tmp/.X11-unix/X0" || path == "@/tmp/.X11-unix/X3" || path == "/run/u/wayland-0";
  };
  auto reason = [&](std::map<std::string, std::string> env, std::vector<std::string> args = {}) {
    env["XDG_RUNTIME_DIR"] = "/run/u";
    auto get = [env](const char* name) -> const char* {
      const auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    };
    return NoDisplayReason(args, get, answers).empty() ? "ok" : NoDisplayReason(args, get, answers);
  };
  const std::string none = "byteloom: no display found; set DISPLAY or WAYLAND_DISPLAY";
  EXPECT_EQ(reason({}), none);
  EXPECT_EQ(reason({{"DISPLAY", ""}}), none);
  EXPECT_EQ(reason({{"DISPLAY", ":7"}}), none);  // a display that is gone
  EXPECT_EQ(reason({{"WAYLAND_DISPLAY", "wayland-1"}}), none);
  for (const auto& env : std::initializer_list<std::map<std::string, std::string>>{
           {{"DISPLAY", ":0"}},
           {{"DISPLAY", ":0.1"}},
           {{"DISPLAY", ":3"}},  // only in the abstract namespace
           {{"DISPLAY", "host:0"}},
           {{"DISPLAY", ":7"}, {"WAYLAND_DISPLAY", "wayland-0"}},
           {{"QT_QPA_PLATFORM", "offscreen"}}})
    EXPECT_EQ(reason(env), "ok");
  EXPECT_EQ(reason({}, {"-platform", "offscreen"}), "ok");
  EXPECT_FALSE(CanConnectUnixSocket("/nonexistent/socket") || CanConnectUnixSocket("@/nonexistent/socket"));
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
  for (const auto& [frame, placed] : std::initializer_list<std::pair<TFrameRect, TFrameRect>>{
           {{100, 100, 640, 480}, {100, 100, 640, 480}},    // on screen
           {{-560, 100, 640, 480}, {-560, 100, 640, 480}},  // 80 px still reachable
           {{-600, 100, 640, 480}, {0, 100, 640, 480}},     // 40 px are not enough
           {{2000, 500, 640, 480}, {2000, 500, 640, 480}},  // on the second screen
           {{-20, -40, 640, 480}, {0, 0, 640, 480}},        // title bar above the screen
           {{5000, 100, 640, 480}, {1280, 100, 640, 480}},  // right of every screen: the primary
           {{3000, -100, 640, 480}, {2560, 0, 640, 480}},   // mostly over the second screen
           {{-10, -10, 4000, 3000}, {0, 0, 1920, 1080}},    // larger than the screen
       })
    EXPECT_EQ(BringOntoScreen(frame, screens, 64), placed) << frame.Left << "," << frame.Top;
}

// Every other window opens inside the screen that holds the frame: one
// without a place of its own centred over the frame, one with a place kept
// there as far as the screen allows, shrunk where it is larger.
TEST(Placement, WindowsOpenInsideTheFramesScreen) {
  const std::vector<TFrameRect> screens = {{0, 0, 1600, 1000}, {1600, 0, 1280, 1024}};
  const struct {
    TFrameRect Window;
    bool Placed;
    TFrameRect Frame;
    TFrameRect Expected;
  } rows[] = {
      {{0, 0, 760, 600}, false, {0, 0, 640, 480}, {0, 0, 760, 600}},             // the frame at its default place
      {{0, 0, 400, 200}, false, {100, 100, 640, 480}, {220, 240, 400, 200}},     // centred over it
      {{0, 0, 760, 600}, false, {1200, 700, 640, 480}, {840, 400, 760, 600}},    // the frame half off the screen
      {{1500, 900, 300, 200}, true, {0, 0, 640, 480}, {1300, 800, 300, 200}},    // its own place, moved in
      {{300, 200, 300, 200}, true, {0, 0, 640, 480}, {300, 200, 300, 200}},      // inside: stays
      {{0, 0, 900, 1200}, false, {1700, 100, 800, 600}, {1650, 0, 900, 1024}},   // on the second screen, shrunk
      {{-50, -30, 2000, 1200}, true, {0, 0, 640, 480}, {0, 0, 1600, 1000}},      // larger than the screen
  };
  for (const auto& row : rows)
    EXPECT_EQ(PlaceWindow(row.Window, row.Placed, row.Frame, screens), row.Expected)
        << row.Window.Left << "," << row.Window.Top << " " << row.Window.Width << "x" << row.Window.Height;
}

TEST(StartProgram, TheLineSplitsAsAShellWouldWithoutExpanding) {
  const struct {
    const char* Line;
    std::vector<std::string> Words;
  } rows[] = {
      {"  game  --level 3 ", {"game", "--level", "3"}},
      {"'/opt/My Game/run' \"save 1\"", {"/opt/My Game/run", "save 1"}},
      {"a\\ b \"q\\\"x\" 'it\\s' $HOME *", {"a b", "q\"x", "it\\s", "$HOME", "*"}},
      {"\"\" x", {"", "x"}},
      {"game 'open", {}},
      {"", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitProgramLine(row.Line), row.Words) << row.Line;
}

}  // namespace
}  // namespace byteloom::test
