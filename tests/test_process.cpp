// SPDX-License-Identifier: GPL-3.0-or-later
// Running programs: maps lines and our own maps; reading and writing the
// test game's memory, a page unmapped between two reads, a read-only page,
// a game that ends; programs that cannot start; another user's game, and
// one that made itself unreadable, refused with the explanation.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/process.h"
#include "tests/support/gametalk.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

TEST(ProcessMaps, LinesAndOurOwnMaps) {
  const struct {
    const char* Line;
    uint64_t Start, End;  // End 0: left out
    const char* Perms;
    const char* Name;
    bool Deleted;
  } rows[] = {
      {"55d0c0a00000-55d0c0a21000 rw-p 00000000 00:00 0                          [heap]", 0x55d0c0a00000, 0x55d0c0a21000, "rw-p", "[heap]", false},
      {"7f0000000000-7f0000001000 rw-p 00000000 00:00 0 ", 0x7f0000000000, 0x7f0000001000, "rw-p", "", false},
      {"7f0000000000-7f0000001000 ---p 00000000 00:00 0", 0x7f0000000000, 0x7f0000001000, "---p", "", false},
      {"7f1234560000-7f1234570000 r-xp 00001000 fe:01 1234   /opt/My  Game/bin/game (deleted)", 0x7f1234560000, 0x7f1234570000, "r-xp", "/opt/My  Game/bin/game", true},
      {"7f1234560000-7f1234570000 rw-s 00000000 00:05 77 /dev/shm/a (deleted) b", 0x7f1234560000, 0x7f1234570000, "rw-s", "/dev/shm/a (deleted) b", false},
      {"ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0                  [vsyscall]", 0xffffffffff600000, 0xffffffffff601000, "--xp", "[vsyscall]", false},
      {"1000-0800 rw-p 00000000 00:00 0", 0, 0, "", "", false},
      {"1000-2000 rw 00000000 00:00 0", 0, 0, "", "", false},
      {"1000-2000 rwzp 00000000 00:00 0", 0, 0, "", "", false},
      {"10000000000000000-10000000000001000 rw-p 00000000 00:00 0", 0, 0, "", "", false},
      {"1000-2000 rw-p 00000000 00:00 x /a", 0, 0, "", "", false},
      {"garbage", 0, 0, "", "", false},
  };
  for (const auto& r : rows) {
    const auto parsed = ParseMaps(std::string("\n") + r.Line + "\n");
    ASSERT_EQ(parsed.size(), r.End ? 1u : 0u) << r.Line;
    if (!r.End) continue;
    EXPECT_EQ(parsed[0].Start, r.Start) << r.Line;
    EXPECT_EQ(parsed[0].End, r.End) << r.Line;
    EXPECT_EQ(parsed[0].Permissions(), r.Perms) << r.Line;
    EXPECT_EQ(parsed[0].Name, r.Name) << r.Line;
    EXPECT_EQ(parsed[0].Deleted, r.Deleted) << r.Line;
  }

  // Our own maps: every readable region reads (but the kernel's own pages),
  // and a heap and a stack variable lie in writable regions and read back.
  std::ifstream in("/proc/self/maps");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto regions = ParseMaps(text);
  ASSERT_EQ(regions.size(), static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
  const TProcess self = TProcess::Attach(getpid());
  for (const TRegion& r : regions) {
    uint8_t byte;
    if (r.Read && r.Name != "[vvar]" && r.Name != "[vvar_vclock]") {
      EXPECT_EQ(self.Read(r.Start, &byte, 1), 1u) << r.Start << " " << r.Name;
    }
  }
  const auto heap = std::make_unique<uint64_t>(0x1122334455667788u);
  const uint64_t stack = 0x8877665544332211u;
  for (const uint64_t* p : {static_cast<const uint64_t*>(heap.get()), &stack}) {
    const auto address = reinterpret_cast<uint64_t>(p);
    EXPECT_TRUE(std::any_of(regions.begin(), regions.end(), [&](const TRegion& r) {
      return r.Start <= address && address + 8 <= r.End && r.Read && r.Write;
    }));
    uint64_t read = 0;
    EXPECT_EQ(self.Read(address, &read, 8), 8u);
    EXPECT_EQ(read, *p);
  }
}

TEST(ProcessGame, ReadWriteUnmapReadOnlyAndEnd) {
  TGame game;
  ASSERT_EQ(game.Ready, "ready pid=" + std::to_string(game.Pid()));
  auto at = game.Where();
  const TProcess process = TProcess::Attach(game.Pid());
  EXPECT_NE(process.Name().find("byteloom-testga"), std::string::npos);
  const auto list = ListProcesses();
  const auto listed = std::find_if(list.begin(), list.end(), [&](const TProcessInfo& p) { return p.Pid == game.Pid(); });
  ASSERT_NE(listed, list.end());
  EXPECT_TRUE(listed->Readable);
  EXPECT_EQ(listed->CommandLine, BYTELOOM_TESTGAME);
  EXPECT_GT(listed->MemoryBytes, 0u);

  uint32_t gold = 0;
  ASSERT_EQ(process.Read(at["gold"], &gold, 4), 4u);
  EXPECT_EQ(gold, 120u);
  char name[15] = {};
  ASSERT_EQ(process.Read(at["name"], name, 14), 14u);
  EXPECT_STREQ(name, "Ayla the Brave");
  const uint32_t rich = 999;
  ASSERT_EQ(process.Write(at["gold"], &rich, 4), 4u);
  EXPECT_EQ(game.Ask("print"), "gold=999 health=100.0 name=Ayla the Brave");

  // The read-only page: writing is refused, its bytes stay.
  std::vector<uint8_t> before(4096), after(4096);
  ASSERT_EQ(process.Read(at["ro"], before.data(), 4096), 4096u);
  EXPECT_EQ(std::string(before.begin(), before.begin() + 9), "read-only");
  EXPECT_EQ(process.Write(at["ro"], "XXXX", 4), 0u);
  ASSERT_EQ(process.Read(at["ro"], after.data(), 4096), 4096u);
  EXPECT_EQ(after, before);

  // The spare page, read, unmapped, read again; a read that runs into it stops there.
  std::vector<uint8_t> spare(4096);
  ASSERT_EQ(process.Read(at["spare"], spare.data(), 4096), 4096u);
  EXPECT_EQ(spare, std::vector<uint8_t>(4096, 0x5A));
  ASSERT_EQ(game.Ask("unmap"), "unmapped");
  EXPECT_EQ(process.Read(at["spare"], spare.data(), 4096), 0u);
  const size_t lead = process.Read(at["spare"] - 100, spare.data(), 100);  // 100 where the page before is mapped
  EXPECT_EQ(process.Read(at["spare"] - 100, spare.data(), 4096), lead);
  const auto regions = process.Regions();
  EXPECT_FALSE(std::any_of(regions.begin(), regions.end(), [&](const TRegion& r) { return r.Start <= at["spare"] && at["spare"] < r.End; }));

  // Once it has ended, reading says so.
  game.Kill();
  EXPECT_FALSE(process.Alive());
  for (const auto& call : std::vector<std::function<void()>>{
           [&] { process.Read(at["gold"], &gold, 4); }, [&] { process.Write(at["gold"], &rich, 4); },
           [&] { process.Regions(); }, [&] { TProcess::Attach(game.Pid()); }}) {
    try {
      call();
      ADD_FAILURE() << "no error";
    } catch (const EProcessError& e) {
      EXPECT_NE(std::string(e.what()).find("has ended"), std::string::npos) << e.what();
    }
  }
  EXPECT_FALSE(game.Child().Running());
}

class ProcessStart : public TempDirTest {};

TEST_F(ProcessStart, ProgramsThatCannotStartSayWhy) {
  WriteFile(Path("plain.txt"), Bytes{'h', 'i'});
  ::chmod(Path("plain.txt").c_str(), 0644);
  const struct {
    std::string Program;
    const char* Says;
  } rows[] = {{"byteloom-no-such-program", "no such program on the PATH"},
              {Path("missing"), "no such file"},
              {Path("plain.txt"), "not executable"}};
  for (const auto& r : rows) {
    try {
      TChildProgram::Start(r.Program, {});
      ADD_FAILURE() << r.Program << " started";
    } catch (const EProcessError& e) {
      EXPECT_NE(std::string(e.what()).find(r.Says), std::string::npos) << e.what();
    }
  }
  try {
    TProcess::Attach(0);
    ADD_FAILURE() << "attached to PID 0";
  } catch (const EProcessError& e) {
    EXPECT_EQ(e.Errno(), ESRCH);
  }
}

// The game and a probe run as test users of their own (numeric ids need no
// account): root could read anything.
class ProcessUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "running the game and the probe as other users needs root";
    if (std::system("setpriv --reuid 64101 --regid 64101 --clear-groups true") != 0)
      GTEST_SKIP() << "setpriv cannot change the user here";
    // The programs where the test users may run them.
    char dir[] = "/tmp/byteloom-users-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    FDir = dir;
    ::chmod(dir, 0755);
    for (const char* from : {BYTELOOM_TESTGAME, BYTELOOM_PROCESSPROBE}) {
      const std::string to = FDir + "/" + std::filesystem::path(from).filename().string();
      std::filesystem::copy_file(from, to);
      ::chmod(to.c_str(), 0755);
    }
  }
  void TearDown() override {
    if (!FDir.empty()) std::filesystem::remove_all(FDir);
  }
  static std::vector<std::string> As(int uid) {
    const std::string id = std::to_string(uid);
    return {"setpriv", "--reuid", id, "--regid", id, "--clear-groups"};
  }
  // What the probe printed, run as uid with args.
  std::string Probe(int uid, const std::vector<std::string>& args) {
    auto argv = As(uid);
    argv.erase(argv.begin());
    argv.push_back(FDir + "/byteloom-processprobe");
    argv.insert(argv.end(), args.begin(), args.end());
    return TTalk("setpriv", argv).Rest();
  }
  std::string FDir;
};

TEST_F(ProcessUsers, AnotherUsersGameIsRefusedAndLeftAlone) {
  auto argv = As(64101);
  argv.push_back(FDir + "/byteloom-testgame");
  TTalk player("setpriv", {argv.begin() + 1, argv.end()});
  ASSERT_EQ(player.Line().rfind("ready pid=", 0), 0u);
  const auto at = player.Where();
  const std::string said = Probe(64102, {std::to_string(player.Pid()), std::to_string(at.at("gold")), "777"});
  EXPECT_EQ(said.rfind("listed: another user's process\nrefused: ", 0), 0u) << said;
  EXPECT_NE(said.find("belongs to another user (user id 64101)"), std::string::npos) << said;
  EXPECT_NE(said.find("File > Start program..."), std::string::npos) << said;
  EXPECT_NE(said.find("every process on the machine"), std::string::npos) << said;
  EXPECT_NE(said.find("Do not run Byteloom as root"), std::string::npos) << said;
  EXPECT_EQ(said.find("wrote"), std::string::npos) << said;
  EXPECT_EQ(player.Ask("print"), "gold=120 health=100.0 name=Ayla the Brave");
  // Its own user may not read it either once it made itself unreadable.
  ASSERT_EQ(player.Ask("undumpable"), "undumpable");
  const std::string own = Probe(64101, {std::to_string(player.Pid())});
  EXPECT_EQ(own.rfind("listed: it made itself unreadable\n", 0), 0u) << own;
  EXPECT_NE(own.find("has made itself unreadable"), std::string::npos) << own;
}

TEST_F(ProcessUsers, YamaLetsOnlyParentsRead) {
  if (::access("/proc/sys/kernel/yama", F_OK) != 0) GTEST_SKIP() << "this kernel has no Yama (/proc/sys/kernel/yama)";
  std::ifstream scope("/proc/sys/kernel/yama/ptrace_scope");
  int level = 0;
  scope >> level;
  if (level == 0) GTEST_SKIP() << "Yama's ptrace_scope is 0 here: any program may read the user's own";
  auto argv = As(64101);
  argv.push_back(FDir + "/byteloom-testgame");
  TTalk player("setpriv", {argv.begin() + 1, argv.end()});
  ASSERT_EQ(player.Line().rfind("ready pid=", 0), 0u);
  // The same user, but not its parent.
  const std::string said = Probe(64101, {std::to_string(player.Pid())});
  EXPECT_NE(said.find("\nrefused: "), std::string::npos) << said;
  EXPECT_NE(said.find("kernel.yama.ptrace_scope = " + std::to_string(level)), std::string::npos) << said;
  if (level == 1) {
    EXPECT_NE(said.find("sudo sysctl kernel.yama.ptrace_scope=0"), std::string::npos) << said;
  }
}

}  // namespace
}  // namespace byteloom::test
