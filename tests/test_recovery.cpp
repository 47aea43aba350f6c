// SPDX-License-Identifier: GPL-3.0-or-later
// Crash recovery and the private work folder: what another local user can
// plant in the shared temporary folder, sessions killed in the middle of
// their edits coming back whole from their journals, files changed while
// no session ran, and owners in other PID namespaces.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "control/hexeditor.h"
#include "tests/support/editortest.h"
#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

constexpr uid_t kNobody = 65534;

// What a session shows of its document: the bytes and everything a
// recovery gives back with them.
std::string Facts(THexEditor& ed) {
  std::ostringstream o;
  o << "size " << ed.DataSize() << " caret " << ed.GetCursorPos() << " modified " << ed.Modified() << " undo "
    << ed.UndoCount() << " '" << ed.UndoDescription() << "' redo " << ed.RedoCount() << " '" << ed.RedoDescription()
    << "' name " << ed.FileName() << " marks";
  for (int32_t i = 0; i < ed.ChangedBits().Size(); ++i)
    if (ed.ByteChanged(i)) o << " " << i;
  o << " bytes";
  for (uint8_t b : DocumentBytes(ed)) o << " " << int{b};
  return o.str();
}

class Recovery : public EditorTest {
 protected:
  // Runs a session in a child process that opens path ("" for a new
  // document), edits it and ends without closing anything, as a crash
  // would; returns what it showed last.
  std::string Crash(const std::string& path, const std::function<void(THexEditor&)>& edit,
                    int64_t copyLimit = TWatchedFile::kCopyLimit) {
    const std::string factsFile = Path("facts");
    const pid_t child = fork();
    if (child == 0) {
      TFakeHost host;
      auto* ed = new THexEditor(host);  // never destroyed: the session dies
      host.Target = ed;
      ed->Loaded();
      ed->SetCopyLimit(copyLimit);
      if (!path.empty() && !ed->LoadFromFile(path)) _exit(2);
      edit(*ed);
      host.DeliverPosted();
      std::ofstream(factsFile) << Facts(*ed);
      _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(factsFile);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
};

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

// --- Sessions that end without saving ---------------------------------------------

void Type(THexEditor& ed, int32_t pos, uint8_t value) {
  ed.ChangeByte(ed.ReadByte(pos), value, pos / ed.BytesPerLine(), 2, pos);
}

// Each row: a session's edits; the recovered document shows what the session
// showed (bytes, change marks, caret, undo and redo steps), undoing every
// step gives back the file, and the crashed session's files are gone.
TEST_F(Recovery, AKilledSessionComesBackWhole) {
  const Bytes data = Pattern(5000, 3);
  const uint8_t three[] = {0xA1, 0xA2, 0xA3};
  const auto blocksAndNibbles = [&](THexEditor& e) {
    e.InsertBuffer(three, 3, 7);
    e.SetSelStart(100), e.SetSelEnd(199), e.DeleteSelection();
    e.InsertNibble(50, false), e.DeleteNibble(3000, true);
    e.SetSelStart(20), e.SetSelEnd(21), e.ReplaceSelection(three, 3);
    e.AppendBuffer(three, 2);
    Type(e, 30, 0x55);
  };
  // Edits after a save are pieces of the saved file.
  const auto savedThenEdited = [&](THexEditor& e) {
    e.SetSelStart(0), e.SetSelEnd(0), e.DeleteSelection();
    if (!e.SaveToFile(e.FileName())) _exit(3);
    blocksAndNibbles(e);
    e.Undo(), e.Undo(), e.Undo();  // the replaced bytes of the file come back
  };
  const Bytes saved(data.begin() + 1, data.end());
  struct Row {
    const char* what;
    bool untitled;
    std::function<void(THexEditor&)> edit;
    bool inPlace = false;
    const Bytes* undone = nullptr;  // what undoing every step gives (the file)
  } rows[] = {
      {"typing", false, [](THexEditor& e) { Type(e, 10, 0x41), Type(e, 11, 0x42), Type(e, 4000, 0x43); }},
      {"blocks and nibbles", false, blocksAndNibbles},
      {"blocks and nibbles, read in place", false, blocksAndNibbles, true},
      {"saved, then edited", false, savedThenEdited, false, &saved},
      {"read in place, saved, then edited", false, savedThenEdited, true, &saved},
      {"undone and redone", false,
       [&](THexEditor& e) {
         Type(e, 1, 0x11), e.InsertBuffer(three, 3, 2), Type(e, 3, 0x33);
         e.Undo(), e.Undo(), e.Redo();
       }},
      {"a step recorded before its edit", false,
       [](THexEditor& e) {
         e.SetSelStart(30), e.SetSelEnd(33);
         if (e.CreateUndo(TUndoKind::ukConvert, 30, 0, 4)) e.WriteBuffer("ABCD", 30, 4);
       }},
      {"a new document", true, [&](THexEditor& e) { e.InsertBuffer(three, 3, 0), e.AppendBuffer(three, 2); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = Path("game.sav");
    WriteFile(path, data);
    const std::string shown = Crash(row.untitled ? "" : path, row.edit, row.inPlace ? 0 : TWatchedFile::kCopyLimit);
    auto found = FindRecoverable();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(RecoverQuestion(found[0]), "Recover unsaved changes of " + (row.untitled ? "Untitled" : path) + "?");
    ASSERT_TRUE(Ed->LoadRecovered(found[0])) << Ed->LastError();
    EXPECT_EQ(Facts(*Ed), shown);
    EXPECT_EQ(Ed->Untitled(), row.untitled);
    EXPECT_TRUE(FindRecoverable().empty());  // the old journal went, the new one is ours
    while (Ed->CanUndo()) Ed->Undo();
    EXPECT_TRUE(Document() == (row.untitled ? Bytes{} : row.undone ? *row.undone : data));
    Ed->CreateEmptyFile("Untitled");
    EXPECT_TRUE(List(WorkFiles()).empty()) << List(WorkFiles()).size();
  }
}

// The file changed while no session ran: the edits come back over the
// private copy of the file as it was; without that copy they are not
// offered, and nothing is removed.
TEST_F(Recovery, AFileChangedMeanwhileUsesTheCopyOrOffersNothingWrong) {
  const std::string path = Path("game.sav");
  WriteFile(path, Pattern(300, 1));
  const std::string shown = Crash(path, [](THexEditor& e) { Type(e, 5, 0x55); });
  WriteFile(path, Pattern(301, 2));
  auto found = FindRecoverable();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].Problem, "");
  const auto files = List(WorkFiles());
  // Without the private copy:
  for (const std::string& f : files)
    if (f.size() > 5 && f.compare(f.size() - 5, 5, ".BLWT") == 0) fs::remove(WorkFiles() + "/" + f);
  found = FindRecoverable();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(RecoverQuestion(found[0]), path +
                                           " was changed by another program (its size is different). Its unsaved "
                                           "changes from a session that ended unexpectedly cannot be put back over "
                                           "it.\nDiscard them?");
  EXPECT_FALSE(Ed->LoadRecovered(found[0]));
  EXPECT_EQ(FindRecoverable().size(), 1u);  // kept for the user to decide
  DiscardRecoverable(found[0]);
  EXPECT_TRUE(List(WorkFiles()).empty());
  (void)shown;
}

TEST_F(Recovery, AFirstEditThatFindsNoRoomForItsJournalIsRefused) {
  const std::string path = Path("doc.bin");
  WriteFile(path, Pattern(200000));
  const int rc = RunWithSmallDisk(WorkDir(), 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    {
      std::ofstream fill(WorkDir() + "/fill", std::ios::binary);
      const std::string block(4096, 'x');
      while (fill.write(block.data(), block.size())) fill.flush();
    }
    const uint8_t old = ed.ReadByte(3);
    try {
      ed.ChangeByte(old, 0x33, 0, 2, 3);
      return 2;
    } catch (const EFileError& e) {
      if (std::string(e.what()).find("Not enough space") == std::string::npos) return 3;
    }
    if (ed.ReadByte(3) != old || ed.Modified() || ed.CanUndo()) return 4;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

// --- Owners -------------------------------------------------------------------

TEST_F(Recovery, AnOwnerInAnotherPidNamespaceIsAliveUntilItEnds) {
  const std::string path = Path("game.sav");
  WriteFile(path, Pattern(100));
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  if (child == 0) {
    // Its own PID namespace: its process ids mean nothing to the test.
    setpgid(0, 0);
    if (unshare(CLONE_NEWPID) != 0) _exit(kSandboxUnsupported);
    const pid_t inner = fork();
    if (inner == 0) {
      TFakeHost host;
      auto* ed = new THexEditor(host);
      ed->Loaded();
      ed->LoadFromFile(path);
      Type(*ed, 0, 0x42);
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
  const size_t files = List(WorkFiles()).size();
  EXPECT_TRUE(FindRecoverable().empty());
  EXPECT_EQ(List(WorkFiles()).size(), files);  // never taken for a dead one's
  kill(-child, SIGKILL);
  waitpid(child, nullptr, 0);
  size_t found = 0;
  for (int i = 0; i < 100 && (found = FindRecoverable().size()) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(found, 1u);
}

TEST_F(Recovery, OurOwnOpenDocumentsAreAlive) {
  Load(Pattern(10), "doc.bin");
  Type(*Ed, 0, 0x42);
  EXPECT_TRUE(FindRecoverable().empty());
  EXPECT_EQ(List(WorkFiles()).size(), 3u);  // the copy, the added bytes, the journal
  Ed.reset();
  EXPECT_TRUE(List(WorkFiles()).empty());
}

}  // namespace
}  // namespace byteloom::test
