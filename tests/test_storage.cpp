// SPDX-License-Identifier: GPL-3.0-or-later
// Working files, opening, saving with backups, raw byte access and the read
// window, including the failure paths: full disks, unwritable folders,
// planted files and devices.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <regex>
#include <set>

#include "control/hexeditor.h"
#include "tests/support/editortest.h"
#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

// Clears the immutable flag again when the test ends, however it ends.
class ImmutableGuard {
 public:
  explicit ImmutableGuard(std::string path) : FPath(std::move(path)), FOk(SetImmutable(FPath, true)) {}
  ~ImmutableGuard() {
    if (FOk) SetImmutable(FPath, false);
  }
  bool Ok() const { return FOk; }

 private:
  std::string FPath;
  bool FOk;
};

ino_t Inode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_ino;
}

// Another program's write into the file.
void WriteAt(const std::string& path, off_t at, const Bytes& data) {
  const int fd = ::open(path.c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::pwrite(fd, data.data(), data.size(), at), static_cast<ssize_t>(data.size()));
  ::close(fd);
}

mode_t Mode(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

// Changes the first byte the way an edit would, and marks the document modified.
void Touch(THexEditor& ed, uint8_t value = 0xEE) {
  ed.WriteByte(0, value);
  ed.SetModified(true);
}

using Storage = EditorTest;

// --- Opening -----------------------------------------------------------------

TEST_F(Storage, LoadCopiesTheFileIntoAFreshWorkingFile) {
  const Bytes data = Pattern(100000);
  const std::string path = Load(data);
  EXPECT_EQ(Ed->DataSize(), 100000);
  EXPECT_EQ(Document(), data);
  EXPECT_EQ(Ed->FileName(), path);
  EXPECT_FALSE(Ed->ReadOnly());
  EXPECT_FALSE(Ed->Modified());
  EXPECT_EQ(Ed->Col(), 2);
  EXPECT_EQ(Ed->Row(), 0);
  EXPECT_TRUE(std::regex_match(Ed->TempFileName(), std::regex(".*/tmp/byteloom-[0-9]+/[0-9A-F]{8}\\.BLWT")))
      << Ed->TempFileName();
  EXPECT_EQ(fs::path(Ed->TempFileName()).parent_path(), fs::path(WorkFiles()));
  EXPECT_EQ(Mode(Ed->TempFileName()), 0600u);
  // The working file is private: writing it leaves the user's file alone.
  Touch(*Ed);
  EXPECT_EQ(ReadFile(path), data);
}

TEST_F(Storage, ImmutableFileOpensReadOnlyWithAWritableCopy) {
  const Bytes data = Pattern(300);
  const std::string path = Path("locked.sav");
  WriteFile(path, data);
  ImmutableGuard lock(path);
  if (!lock.Ok()) GTEST_SKIP() << "no immutable flag on this file system";
  ASSERT_TRUE(Ed->LoadFromFile(path)) << Ed->LastError();
  EXPECT_TRUE(Ed->ReadOnly());
  Touch(*Ed, 0x42);
  EXPECT_EQ(Ed->ReadByte(0), 0x42);
  EXPECT_EQ(ReadFile(path), data);
}

TEST_F(Storage, WhatCannotBeOpenedLeavesAnEmptyControlAndAReason) {
  Load(Pattern(50), "previous.bin");
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  fs::create_directory(Path("folder"));
  struct Case {
    std::string path;
    std::string reasonPart;
  };
  const Case cases[] = {
      {Path("missing.bin"), "No such file"},
      {Path("folder"), "folder"},
      {Path("fifo"), "not a regular file"},
      {"/dev/zero", "not a regular file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    // A FIFO must not block the control: give it a few seconds at most.
    auto result = std::async(std::launch::async, [&] { return Ed->LoadFromFile(c.path); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_NE(Ed->LastError().find(c.reasonPart), std::string::npos) << Ed->LastError();
    EXPECT_EQ(Ed->DataSize(), 0);
    EXPECT_TRUE(Ed->ReadOnly());
    EXPECT_FALSE(Ed->CanUndo());
    EXPECT_EQ(Ed->FileName(), Path("previous.bin"));
    EXPECT_EQ(List(WorkFiles()), std::vector<std::string>{});
  }
}

TEST_F(Storage, IncompleteWorkingCopyFailsCleanly) {
  const Bytes data = Pattern(3 << 20);
  const std::string path = Path("big.sav");
  WriteFile(path, data);
  // The working folder holds 1 MiB: the 3 MiB copy cannot be made.
  const int rc = RunWithSmallDisk(WorkDir(), 1024, [&] {
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (ed.LoadFromFile(path)) return 1;
    if (ed.LastError().find("No space") == std::string::npos) return 2;
    if (ed.DataSize() != 0 || ed.HasDataStream()) return 3;
    if (!List(WorkFiles()).empty()) return 4;
    if (ReadFile(path) != data) return 5;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

// A file read in place that another program changes: the user is told once,
// as soon as the watch reports it; no save writes over the change without
// their word; after a save the document is the saved file.
TEST_F(Storage, AFileReadInPlaceThatAnotherProgramChangesIsNeverSavedOverSilently) {
  const Bytes data = Pattern(200000);
  Bytes mine = data;
  mine[5] = 0x55;
  Bytes rewritten = data;
  rewritten[100] ^= 0xFF;
  struct Row {
    const char* what;
    std::function<void(const std::string&)> act;
    bool keepsOpened;                // the document still shows the file as it was opened
    std::optional<Bytes> savedOver;  // what saving over its name gives (none: the save fails)
  } rows[] = {
      {"a byte rewritten", [&](const std::string& p) { WriteAt(p, 100, {rewritten[100]}); }, false,
       [&] { Bytes b = rewritten; b[5] = 0x55; return b; }()},
      {"truncated", [](const std::string& p) { ASSERT_EQ(::truncate(p.c_str(), 1000), 0); }, false, std::nullopt},
      {"replaced by rename",
       [&](const std::string& p) { WriteFile(p + ".new", Pattern(10)), fs::rename(p + ".new", p); }, true, mine},
      {"deleted", [](const std::string& p) { fs::remove(p); }, true, mine},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string path = Path("disk.img");
    WriteFile(path, data);
    Ed->SetCopyLimit(0);
    ASSERT_TRUE(Ed->LoadFromFile(path)) << Ed->LastError();
    if (Ed->OpenMode() == TOpenMode::omSnapshot) GTEST_SKIP() << "cloned: nothing is read in place here";
    ASSERT_EQ(Ed->OpenMode(), TOpenMode::omInPlace);
    EXPECT_TRUE(List(WorkFiles()).empty());  // no copy
    Ed->ChangeByte(data[5], 0x55, 0, 2, 5);
    std::vector<std::string> told;
    Ed->OnOpenedFileChanged = [&](const std::string& m) { told.push_back(m); };
    Ed->OnConfirmChangedFile = nullptr;
    Ed->OpenedFileEvent();
    EXPECT_TRUE(told.empty());

    row.act(path);
    pollfd watch{Host.WatchedFd, POLLIN, 0};
    EXPECT_EQ(::poll(&watch, 1, 1000), 1);  // the host's watch wakes up
    Ed->OpenedFileEvent();
    Ed->OpenedFileEvent();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0].rfind(path, 0), 0u) << told[0];
    if (row.keepsOpened) {
      EXPECT_EQ(Document(), mine);
    }
    const bool exists = fs::exists(path);
    const Bytes theirs = exists ? ReadFile(path) : Bytes{};

    EXPECT_FALSE(Ed->SaveToFile(path));
    EXPECT_NE(Ed->LastError().find("The file was not saved."), std::string::npos) << Ed->LastError();
    EXPECT_EQ(fs::exists(path), exists);
    if (exists) {
      EXPECT_EQ(ReadFile(path), theirs);
    }
    std::string asked;
    Ed->OnConfirmChangedFile = [&](const std::string& q) { return asked = q, true; };
    EXPECT_EQ(Ed->SaveToFile(path), row.savedOver.has_value()) << Ed->LastError();
    EXPECT_NE(asked.find("Save the document over it anyway?"), std::string::npos) << asked;
    if (row.savedOver) {
      EXPECT_EQ(ReadFile(path), *row.savedOver);
      EXPECT_EQ(Document(), *row.savedOver);
      EXPECT_EQ(Ed->OpenMode(), TOpenMode::omInPlace);
      told.clear();
      Ed->OpenedFileEvent();
      EXPECT_TRUE(told.empty());  // its own save is no change
    } else if (exists) {
      EXPECT_EQ(ReadFile(path), theirs);
    }
    Ed->CreateEmptyFile("Untitled");
    fs::remove(path);
    fs::remove(BackupFileName(path, ".bak"));
  }
}

// --- Working-file names ---------------------------------------------------------

TEST_F(Storage, ControlsNeverShareAWorkingFileName) {
  std::vector<std::unique_ptr<THexEditor>> editors;
  std::set<std::string> names{Ed->TempFileName()};
  for (int i = 0; i < 20; ++i) {
    editors.push_back(std::make_unique<THexEditor>(Host));
    EXPECT_TRUE(names.insert(editors.back()->TempFileName()).second) << editors.back()->TempFileName();
  }
  for (auto& e : editors) {
    WriteFile(Path("x.bin"), Pattern(10));
    EXPECT_TRUE(e->LoadFromFile(Path("x.bin")));
  }
  EXPECT_EQ(List(WorkFiles()).size(), 20u);
  editors.clear();
  EXPECT_TRUE(List(WorkFiles()).empty());
}

TEST_F(Storage, PlantedFilesAndLinksAtTheChosenNameAreNeverTouched) {
  const std::string victim = Path("victim.txt");
  WriteFile(victim, {'k', 'e', 'e', 'p'});
  for (bool asLink : {false, true}) {
    SCOPED_TRACE(asLink ? "symbolic link" : "file");
    Ed->CreateEmptyFile("Untitled");
    const std::string name = Ed->TempFileName();
    if (asLink)
      fs::create_symlink(victim, name);
    else
      WriteFile(name, {'m', 'i', 'n', 'e'});
    Load(Pattern(64));
    EXPECT_NE(Ed->TempFileName(), name);
    EXPECT_EQ(Ed->DataSize(), 64);
    Ed.reset();  // destruction removes only the control's own file
    EXPECT_TRUE(fs::exists(fs::symlink_status(name)));
    EXPECT_EQ(ReadFile(victim), (Bytes{'k', 'e', 'e', 'p'}));
    if (!asLink) {
      EXPECT_EQ(ReadFile(name), (Bytes{'m', 'i', 'n', 'e'}));
    }
    fs::remove(name);
    Ed = std::make_unique<THexEditor>(Host);
    Host.Target = Ed.get();
    Ed->Loaded();
  }
}

TEST_F(Storage, DestructionDeletesTheWorkingFile) {
  Load(Pattern(10));
  const std::string work = Ed->TempFileName();
  EXPECT_TRUE(fs::exists(work));
  Ed.reset();
  EXPECT_FALSE(fs::exists(work));
}

// --- Saving -----------------------------------------------------------------------

TEST_F(Storage, ModifiedSaveOverItsOwnFileMakesABackup) {
  const Bytes v1 = Pattern(5000, 1);
  const std::string path = Load(v1, "game.sav");
  Touch(*Ed, 0x11);
  ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
  EXPECT_EQ(ReadFile(Path("game.bak")), v1);
  Bytes v2 = v1;
  v2[0] = 0x11;
  EXPECT_EQ(ReadFile(path), v2);
  EXPECT_FALSE(Ed->Modified());
  EXPECT_FALSE(Ed->ReadOnly());
  EXPECT_FALSE(Ed->CanUndo());
  EXPECT_EQ(Ed->UndoDescription(), "No Undo");
  EXPECT_EQ(Ed->ChangedBits().Size(), 0);

  Touch(*Ed, 0x22);  // a second modified save replaces the backup
  ASSERT_TRUE(Ed->SaveToFile(path));
  EXPECT_EQ(ReadFile(Path("game.bak")), v2);
  // No temporary file is left beside the user's files.
  EXPECT_EQ(List(Dir()), (std::vector<std::string>{"game.bak", "game.sav", "tmp"}));
}

TEST_F(Storage, BackupNames) {
  struct Case {
    std::string file, extension, backup;
  };
  const Case cases[] = {
      {"data.sav", ".bak", "data.bak"}, {"data", ".bak", "data.bak"},   {"x.bak", ".bak", "x.bak~"},
      {"x.bak", ".BAK", "x.BAK"},       {"a.b/c", ".bak", "a.b/c.bak"}, {"s.1.dat", ".old", "s.1.old"},
  };
  for (const Case& c : cases) EXPECT_EQ(BackupFileName(c.file, c.extension), c.backup) << c.file;

  const Bytes old = Pattern(10);
  const std::string path = Load(old, "x.bak");
  Touch(*Ed);
  ASSERT_TRUE(Ed->SaveToFile(path));
  EXPECT_EQ(ReadFile(Path("x.bak~")), old);
}

TEST_F(Storage, SavesThatMakeNoBackup) {
  const Bytes data = Pattern(10);
  // Unchanged document over its own file: no backup, but still written and undo emptied.
  std::string path = Load(data, "a.sav");
  ASSERT_TRUE(Ed->SaveToFile(path));
  EXPECT_FALSE(fs::exists(Path("a.bak")));
  EXPECT_EQ(ReadFile(path), data);
  // Changed document under another name.
  Touch(*Ed);
  ASSERT_TRUE(Ed->SaveToFile(Path("b.sav")));
  EXPECT_FALSE(fs::exists(Path("b.bak")));
  EXPECT_FALSE(fs::exists(Path("a.bak")));
  EXPECT_EQ(Ed->FileName(), Path("b.sav"));
  // Backups switched off.
  Ed->SetCreateBackup(false);
  Touch(*Ed, 1);
  ASSERT_TRUE(Ed->SaveToFile(Path("b.sav")));
  EXPECT_FALSE(fs::exists(Path("b.bak")));
  EXPECT_EQ(ReadFile(Path("b.sav"))[0], 1);
}

TEST_F(Storage, SaveKeepsPermissionsAndFollowsLinks) {
  const std::string path = Load(Pattern(20), "perm.sav");
  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  fs::create_symlink(path, Path("link.sav"));
  Touch(*Ed, 7);
  ASSERT_TRUE(Ed->SaveToFile(Path("link.sav"))) << Ed->LastError();
  EXPECT_TRUE(fs::is_symlink(Path("link.sav")));
  EXPECT_EQ(ReadFile(path)[0], 7);
  EXPECT_EQ(Mode(path), 0640u);
}

TEST_F(Storage, HardLinkedFileIsRewrittenInPlace) {
  const Bytes old = Pattern(4000);
  const std::string path = Load(old, "linked.sav");
  fs::create_hard_link(path, Path("other-name.sav"));
  const ino_t inode = Inode(path);
  Touch(*Ed, 9);
  ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
  EXPECT_EQ(Inode(path), inode);
  EXPECT_EQ(ReadFile(Path("other-name.sav"))[0], 9);
  EXPECT_EQ(ReadFile(Path("linked.bak")), old);
}

TEST_F(Storage, FolderThatAllowsNoNewFileIsWrittenInPlaceOrRefused) {
  fs::create_directory(Path("locked"));
  const Bytes old = Pattern(3000);
  const std::string path = Load(old, "locked/f.sav");
  {
    ImmutableGuard lock(Path("locked"));
    if (!lock.Ok()) GTEST_SKIP() << "no immutable flag on this file system";
    // No backup can be made: the save is refused and nothing changes.
    Touch(*Ed, 1);
    EXPECT_FALSE(Ed->SaveToFile(path));
    EXPECT_NE(Ed->LastError().find("backup"), std::string::npos) << Ed->LastError();
    EXPECT_TRUE(Ed->Modified());
    EXPECT_EQ(ReadFile(path), old);
    // Without a backup the file is rewritten in place after a safety copy.
    Ed->SetCreateBackup(false);
    ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
    EXPECT_EQ(ReadFile(path)[0], 1);
    for (const std::string& f : List(WorkFiles())) EXPECT_EQ(f.find(".BLWS"), std::string::npos) << f;
  }
}

TEST_F(Storage, FailedSaveLeavesTargetAndStateAsTheyWere) {
  // The user's folder is a 1 MiB disk holding a 600 KiB file: neither a
  // backup nor a new copy fits, and a failed save must change nothing.
  const std::string folder = Path("disk");
  fs::create_directory(folder);
  const Bytes old = Pattern(600 << 10, 3);
  const int rc = RunWithSmallDisk(folder, 1024, [&] {
    const std::string path = folder + "/f.sav";
    WriteFile(path, old);
    TFakeHost host;
    THexEditor ed(host);
    ed.Loaded();
    if (!ed.LoadFromFile(path)) return 1;
    Touch(ed, 0x5A);
    if (ed.SaveToFile(path)) return 2;  // the backup does not fit
    if (ed.LastError().find("No space") == std::string::npos) return 3;
    if (ReadFile(path) != old) return 4;
    if (!ed.Modified() || ed.FileName() != path || ed.ReadOnly()) return 5;
    ed.SetCreateBackup(false);
    if (ed.SaveToFile(path)) return 6;  // a new copy beside it does not fit either
    if (ReadFile(path) != old) return 7;
    if (List(folder) != std::vector<std::string>{"f.sav"}) return 8;
    if (ed.ReadByte(0) != 0x5A || !ed.Modified()) return 9;
    return 0;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

TEST_F(Storage, NewDocumentWithoutDataSavesAnEmptyFile) {
  EXPECT_FALSE(Ed->HasDataStream());
  ASSERT_TRUE(Ed->SaveToFile(Path("empty.bin"))) << Ed->LastError();
  EXPECT_TRUE(fs::exists(Path("empty.bin")));
  EXPECT_EQ(fs::file_size(Path("empty.bin")), 0u);
  EXPECT_FALSE(Ed->ReadOnly());
}

// --- Raw access and the read window -----------------------------------------------

TEST_F(Storage, BufferFromFileCutsTheCountAndRefusesOutsidePositions) {
  Ed->CreateEmptyFile("Untitled");
  int64_t n = 1;
  EXPECT_THROW(Ed->BufferFromFile(0, n), EHexEditorError);
  const Bytes data = Pattern(100);
  Load(data);
  n = 10;
  auto buf = Ed->BufferFromFile(98, n);
  ASSERT_EQ(n, 2);
  EXPECT_EQ(buf[0], data[98]);
  EXPECT_EQ(buf[1], data[99]);
  n = 1;
  try {
    Ed->BufferFromFile(100, n);
    FAIL();
  } catch (const EHexEditorError& e) {
    EXPECT_STREQ(e.what(), "Invalid BufferFromFile argument");
  }
  EXPECT_THROW(Ed->BufferFromFile(-1, n), EHexEditorError);
}

// The window holds for one generation: a change of the bytes makes it stale.
TEST_F(Storage, TheStoreReadsTheWindowAgainAfterEachChange) {
  TDocumentStore store;
  EXPECT_EQ(store.Size(), 0);
  const Bytes data = Pattern(100);
  WriteFile(Path("w.bin"), data);
  store.Reset(TWatchedFile::Open(Path("w.bin")));
  EXPECT_EQ(store.Size(), 100);
  store.Fill(10, 16);
  EXPECT_EQ(store.WindowStart(), 0);
  EXPECT_EQ(store.Window()[49], data[49]);
  store.Doc().Delete(0, 50);
  store.Changed();
  EXPECT_EQ(store.WindowStart(), -1);
  store.Fill(10, 16);
  EXPECT_EQ(store.Window()[0], data[50]);
  EXPECT_EQ(store.Window()[50], 0);  // past the end
}

TEST_F(Storage, ReadWindowIsCentredAndPatchedByOneByteWrites) {
  const Bytes data = Pattern(300000);
  Load(data);
  Ed->FillCache(100000);
  EXPECT_EQ(Ed->CacheStart(), 100000 - 32768);
  EXPECT_EQ(Ed->ReadCache()[32768], data[100000]);
  Ed->FillCache(100000 + 32768 - 16);  // still inside: no reload
  EXPECT_EQ(Ed->CacheStart(), 100000 - 32768);
  Ed->FillCache(100000 + 32768 - 15);  // the row would leave the window
  EXPECT_EQ(Ed->CacheStart(), 100000 - 15);
  Ed->FillCache(10);
  EXPECT_EQ(Ed->CacheStart(), 0);
  Ed->UpdateCache(5, 0xAB);
  EXPECT_EQ(Ed->ReadCache()[5], 0xAB);
  Ed->UpdateCache(70000, 0xAB);  // outside: ignored
  EXPECT_EQ(Ed->ReadCache()[65535], data[65535]);
  Ed->UpdateCache(65535, 0xCD);  // inside, on a row the window does not wholly hold
  EXPECT_EQ(Ed->ReadCache()[65535], 0xCD);
  Ed->FillCache(299990);         // near the end: fewer valid bytes
  EXPECT_EQ(Ed->ReadCache()[299999 - Ed->CacheStart()], data[299999]);
}

TEST_F(Storage, RawAccess) {
  Load(Pattern(10));
  Ed->WriteBuffer("\x01\x02\x03", 9, 3);  // writing past the end extends the file
  Ed->AdjustMetrics();
  EXPECT_EQ(Ed->DataSize(), 12);
  uint8_t buf[3];
  Ed->ReadBuffer(buf, 9, 3);
  EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{1, 2, 3}));
  Ed->CreateEmptyFile("Untitled");
  EXPECT_THROW(Ed->ReadBuffer(buf, 0, 1), EHexEditorError);  // a new document has no data
  EXPECT_EQ(Ed->DataSize(), 0);
  EXPECT_EQ(Ed->FileName(), "Untitled");
  EXPECT_TRUE(Ed->ReadOnly());
}

TEST_F(Storage, CheckFileAccessReportsReadability) {
  bool readOnly = false;
  EXPECT_FALSE(Ed->CheckFileAccess(Path("none"), readOnly));
  EXPECT_TRUE(readOnly);
  WriteFile(Path("f"), {1});
  EXPECT_TRUE(Ed->CheckFileAccess(Path("f"), readOnly));
  EXPECT_FALSE(readOnly);
}

}  // namespace
}  // namespace byteloom::test
