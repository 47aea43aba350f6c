// SPDX-License-Identifier: GPL-3.0-or-later
// Crash recovery and the private work folder: what another local user can
// plant in the shared temporary folder, sidecars that tell the truth at every
// instant, owners in other PID namespaces, and saves whose working copy lost
// its name.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "control/hexeditor.h"
#include "tests/support/editortest.h"
#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

constexpr uid_t kNobody = 65534;

class Recovery : public EditorTest {
 protected:
  // The working copy of path left by a process that has ended.
  std::string LeaveBehind(const std::string& path, bool changed, const std::string& intent = {},
                          const std::string& name = "0000AAAA.BLWT") {
    const std::string work = WorkFolder() + name;
    WriteFile(work, {1, 2, 3});
    const pid_t child = fork();
    if (child == 0) {
      WriteRecoveryInfo(work, path, changed, intent);
      _exit(0);
    }
    waitpid(child, nullptr, 0);
    return work;
  }
  TRecoveryInfo Sidecar() {
    TRecoveryInfo info;
    EXPECT_TRUE(ReadRecoveryInfo(RecoveryInfoName(Ed->TempFileName()), info));
    return info;
  }
};

// --- The private folder -----------------------------------------------------------

TEST_F(Recovery, WorkingFilesLiveInAPrivateFolderThatNothingPlantedCanReplace) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's files needs root";
  const std::string mine = "byteloom-" + std::to_string(geteuid());
  struct Row {
    const char* what;
    std::function<void(const std::string&)> plant;
  } rows[] = {
      {"a link to a folder of the victim", [&](const std::string& p) { fs::create_directory_symlink(Dir(), p); }},
      {"a file", [&](const std::string& p) { WriteFile(p, {1}); }},
      {"another user's folder", [&](const std::string& p) { fs::create_directory(p); chown(p.c_str(), kNobody, kNobody); }},
      {"our folder open to others", [&](const std::string& p) { fs::create_directory(p); chmod(p.c_str(), 0777); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(WorkDir());
    fs::create_directory(WorkDir());
    chmod(WorkDir().c_str(), 01777);
    row.plant(WorkDir() + "/" + mine);
    THexEditor ed(Host);
    ed.Loaded();
    const std::string path = Path("doc.bin");
    WriteFile(path, Pattern(100));
    ASSERT_TRUE(ed.LoadFromFile(path)) << ed.LastError();
    EXPECT_EQ(fs::path(ed.TempFileName()).parent_path(), fs::path(WorkDir() + "/" + mine + "-1"));
    struct stat st;
    ASSERT_EQ(lstat((WorkDir() + "/" + mine + "-1").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_FALSE(fs::exists(Dir() + "/" + fs::path(ed.TempFileName()).filename().string()));
  }
}

TEST_F(Recovery, AFolderRemovedByACleanerIsMadeAgainAndTheDocumentIsSavedFromItsDescriptor) {
  const std::string path = Load(Pattern(70000), "game.sav");
  Ed->ChangeByte(Ed->ReadByte(5), 0x55, 0, 2, 5);
  fs::remove_all(WorkFiles());  // a cleaner of the temporary folder
  ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
  Bytes want = Pattern(70000);
  want[5] = 0x55;
  EXPECT_EQ(ReadFile(path), want);
  // The document goes on in a working copy with a sidecar of its own.
  EXPECT_TRUE(fs::exists(Ed->TempFileName()));
  EXPECT_EQ(Sidecar().FileName, path);
  Ed->ChangeByte(Ed->ReadByte(6), 0x66, 0, 2, 6);
  ASSERT_TRUE(Ed->SaveToFile(Path("copy.sav"))) << Ed->LastError();
  want[6] = 0x66;
  EXPECT_EQ(ReadFile(Path("copy.sav")), want);
}

TEST_F(Recovery, AWorkingCopySwappedForALinkIsNeverRenamedOverTheTarget) {
  const std::string path = Load(Pattern(5000), "game.sav");
  WriteFile(Path("victim"), {9, 9});
  Ed->ChangeByte(Ed->ReadByte(0), 0x42, 0, 2, 0);
  const std::string work = Ed->TempFileName();
  fs::remove(work);
  fs::create_symlink(Path("victim"), work);
  ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
  EXPECT_FALSE(fs::is_symlink(path));
  EXPECT_EQ(ReadFile(path)[0], 0x42);
  EXPECT_EQ(ReadFile(Path("victim")), (Bytes{9, 9}));
}

TEST_F(Recovery, LinksPlantedByAnotherUserInASharedFolderAreNotWrittenThrough) {
  if (geteuid() != 0) GTEST_SKIP() << "planting another user's link needs root";
  WriteFile(Path("victim"), {7});
  struct Row {
    mode_t folder;
    uid_t linkOwner;
    bool followed;
  } rows[] = {{01777, kNobody, false}, {0777, kNobody, false}, {01777, 0, true}, {0755, kNobody, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.folder) + " " + std::to_string(row.linkOwner));
    const std::string shared = Path("shared");
    fs::remove_all(shared);
    fs::create_directory(shared);
    chmod(shared.c_str(), row.folder);
    fs::create_symlink(Path("victim"), shared + "/out.bin");
    lchown((shared + "/out.bin").c_str(), row.linkOwner, row.linkOwner);
    Load(Pattern(10), "doc.bin");
    const bool saved = Ed->SaveToFile(shared + "/out.bin");
    EXPECT_EQ(saved, row.followed) << Ed->LastError();
    EXPECT_EQ(ReadFile(Path("victim")), row.followed ? Pattern(10) : Bytes{7});
    if (!saved) {
      EXPECT_NE(Ed->LastError().find("another user"), std::string::npos) << Ed->LastError();
    }
    WriteFile(Path("victim"), {7});
  }
}

// --- Sidecars that tell the truth -------------------------------------------------

TEST_F(Recovery, TheSidecarKeepsTheAbsoluteNameWithEveryByte) {
  const fs::path cwd = fs::current_path();
  fs::current_path(Dir());
  for (std::string name : {"plain.sav", "line\nbreak.sav", "latin\xE9\xFF.sav", "100%.sav", " blank .sav"}) {
    SCOPED_TRACE(name);
    WriteFile(Path(name), {1, 2});
    ASSERT_TRUE(Ed->LoadFromFile(name)) << Ed->LastError();  // relative, as typed
    Ed->ChangeByte(Ed->ReadByte(0), 0x42, 0, 2, 0);
    const TRecoveryInfo info = Sidecar();
    EXPECT_EQ(info.FileName, Path(name));
    EXPECT_TRUE(info.Changed);
    EXPECT_FALSE(info.Untitled);
  }
  fs::current_path(cwd);
  EXPECT_EQ(DecodeName(EncodeName(std::string("\0\x01%\n\xFF", 5))), std::string("\0\x01%\n\xFF", 5));
}

TEST_F(Recovery, AWriteCutShortLeavesTheOtherSlot) {
  Load(Pattern(100), "doc.bin");
  Ed->ChangeByte(Ed->ReadByte(0), 0x42, 0, 2, 0);  // the newer slot says: changed
  const std::string sidecar = RecoveryInfoName(Ed->TempFileName());
  {
    std::fstream f(sidecar, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(16384);  // records 1 and 3 (the change) went to slot 1, record 2 to slot 0
    f.write("BYTELOOM-RECOVERY 2\nseq 9", 25);
  }
  TRecoveryInfo info;
  ASSERT_TRUE(ReadRecoveryInfo(sidecar, info));
  EXPECT_FALSE(info.Changed);  // the older, whole record
  {
    std::fstream f(sidecar, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(30);
    f.write("garbage", 7);
  }
  EXPECT_FALSE(ReadRecoveryInfo(sidecar, info));
}

TEST_F(Recovery, WhatIsFoundDependsOnTheSidecar) {
  const std::string path = Path("game.sav");
  WriteFile(path, {0});
  LeaveBehind(path, true, {}, "0000000A.BLWT");
  LeaveBehind(path, false, {}, "0000000B.BLWT");
  LeaveBehind(path, false, "inserting 1 byte at offset 7 ($7)", "0000000C.BLWT");
  LeaveBehind(path, true, {}, "0000000D.BLWT");
  fs::remove(WorkFolder() + "0000000D.BLWT");  // the sidecar alone is left
  const std::string torn = LeaveBehind(path, true, {}, "0000000E.BLWT");
  WriteFile(RecoveryInfoName(torn), Bytes(100, 'x'));  // cannot be read: kept
  const auto found = FindRecoverable();
  ASSERT_EQ(found.size(), 2u);
  const TRecoveryInfo& a = found[0].WorkFile < found[1].WorkFile ? found[0] : found[1];
  const TRecoveryInfo& c = found[0].WorkFile < found[1].WorkFile ? found[1] : found[0];
  EXPECT_EQ(RecoverQuestion(a), "Recover unsaved changes of " + path + "?");
  EXPECT_NE(RecoverQuestion(c).find("The last change may be incomplete (inserting 1 byte at offset 7"),
            std::string::npos);
  // (A listing shows a sidecar only when its working copy is gone.)
  EXPECT_EQ(List(WorkFiles()), (std::vector<std::string>{"0000000A.BLWT", "0000000C.BLWT", "0000000E.BLWT"}));
}

TEST_F(Recovery, TheSidecarSaysChangedBeforeTheWorkingCopyChangesAlsoOnAFullDisk) {
  const std::string path = Path("doc.bin");
  WriteFile(path, Pattern(200000));
  const int rc = RunWithSmallDisk(WorkDir(), 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    std::ofstream fill(WorkDir() + "/fill", std::ios::binary);
    const std::string block(4096, 'x');
    while (fill.write(block.data(), block.size())) fill.flush();
    ed.ChangeByte(ed.ReadByte(3), 0x33, 0, 2, 3);
    if (ed.ReadByte(3) != 0x33) return 2;
    TRecoveryInfo info;
    if (!ReadRecoveryInfo(RecoveryInfoName(ed.TempFileName()), info) || !info.Changed) return 3;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

TEST_F(Recovery, ARecoveredDocumentKeepsItsAbsoluteNameOrStaysUntitled) {
  const std::string path = Path("save.dat");
  WriteFile(path, {0});
  LeaveBehind(path, true, {}, "0000000A.BLWT");
  LeaveBehind("Untitled", true, {}, "0000000B.BLWT");
  const fs::path cwd = fs::current_path();
  fs::create_directory(Path("elsewhere"));
  fs::current_path(Path("elsewhere"));
  auto found = FindRecoverable();
  fs::current_path(cwd);
  ASSERT_EQ(found.size(), 2u);
  std::sort(found.begin(), found.end(), [](auto& x, auto& y) { return x.WorkFile < y.WorkFile; });
  ASSERT_TRUE(Ed->LoadRecovered(found[0])) << Ed->LastError();
  EXPECT_EQ(Ed->FileName(), path);
  EXPECT_FALSE(Ed->Untitled());
  EXPECT_TRUE(Ed->Modified());
  EXPECT_FALSE(fs::exists(found[0].WorkFile));
  ASSERT_TRUE(Ed->LoadRecovered(found[1])) << Ed->LastError();
  EXPECT_EQ(Ed->FileName(), "Untitled");
  EXPECT_TRUE(Ed->Untitled());
  EXPECT_TRUE(Ed->ReadOnly());  // a save asks for a name
  EXPECT_EQ(Document(), (Bytes{1, 2, 3}));
  EXPECT_TRUE(Sidecar().Changed);
}

// --- Owners -------------------------------------------------------------------

TEST_F(Recovery, AnOwnerInAnotherPidNamespaceIsAliveUntilItEnds) {
  const std::string path = Path("game.sav");
  const std::string work = WorkFolder() + "0000ABCD.BLWT";
  WriteFile(work, {1});
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    // Its own PID namespace: its process ids mean nothing to the test.
    setpgid(0, 0);
    if (unshare(CLONE_NEWPID) != 0) _exit(kSandboxUnsupported);
    const pid_t inner = fork();
    if (inner == 0) {
      WriteRecoveryInfo(work, path, true);
      (void)!write(ready[1], "x", 1);
      for (;;) pause();
    }
    int status = 0;
    waitpid(inner, &status, 0);
    _exit(0);
  }
  char c = 0;
  close(ready[1]);
  const bool started = read(ready[0], &c, 1) == 1;
  close(ready[0]);
  if (!started) {
    waitpid(child, nullptr, 0);
    GTEST_SKIP() << "no PID namespace here";
  }
  TRecoveryInfo info;
  ASSERT_TRUE(ReadRecoveryInfo(RecoveryInfoName(work), info));
  EXPECT_NE(info.PidSpace, "");
  EXPECT_EQ(OwnerState(info), TOwnerState::osAlive);
  EXPECT_TRUE(FindRecoverable().empty());
  EXPECT_TRUE(fs::exists(work));  // never taken for a dead one's
  kill(-child, SIGKILL);
  waitpid(child, nullptr, 0);
  for (int i = 0; i < 100 && OwnerState(info) != TOwnerState::osGone; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(FindRecoverable().size(), 1u);
}

TEST_F(Recovery, OurOwnOpenDocumentsAreAlive) {
  Load(Pattern(10), "doc.bin");
  Ed->ChangeByte(Ed->ReadByte(0), 0x42, 0, 2, 0);
  EXPECT_EQ(OwnerState(Sidecar()), TOwnerState::osAlive);
  EXPECT_TRUE(FindRecoverable().empty());
  const std::string work = Ed->TempFileName();
  Ed.reset();
  EXPECT_FALSE(fs::exists(work));
  EXPECT_FALSE(fs::exists(RecoveryInfoName(work)));
}

}  // namespace
}  // namespace byteloom::test
