// SPDX-License-Identifier: GPL-3.0-or-later
// Reliability of saving and recovery: the old file becomes the backup, a
// backup that is not ours is replaced only on the user's word, nothing is
// written through a link at the backup name, link loops are named, and the
// working copies of a crashed session are offered back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "control/backups.h"
#include "control/hexeditor.h"
#include "tests/support/editortest.h"
#include "tests/support/sandbox.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

class Reliability : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    SetBackupRecordFile(Path("backups"));
    Ed->OnConfirmBackupReplace = [this](const std::string& q) {
      Questions.push_back(q);
      return Answer;
    };
  }
  void TearDown() override {
    SetBackupRecordFile({});
    EditorTest::TearDown();
  }
  // Opens path, changes its first byte to value and saves it over itself.
  bool EditAndSave(const std::string& path, uint8_t value) {
    EXPECT_TRUE(Ed->LoadFromFile(path)) << Ed->LastError();
    Ed->ChangeByte(Ed->ReadByte(0), value, 0, 2, 0);
    return Ed->SaveToFile(path);
  }
  std::vector<std::string> Questions;
  bool Answer = false;
};

TEST_F(Reliability, TheOldFileItselfBecomesTheBackup) {
  const Bytes old = Pattern(70000);
  const std::string path = Load(old, "game.sav");
  const ino_t oldInode = Stat(path).st_ino;
  Ed->ChangeByte(Ed->ReadByte(0), 0x42, 0, 2, 0);
  ASSERT_TRUE(Ed->SaveToFile(path)) << Ed->LastError();
  Ed->WriteByte(1, 0x77);  // edits after the save do not reach the file
  EXPECT_EQ(ReadFile(path)[1], old[1]);
  EXPECT_EQ(Stat(Path("game.bak")).st_ino, oldInode);  // no second copy of the data
  EXPECT_EQ(Stat(Path("game.bak")).st_nlink, 1u);
  EXPECT_NE(Stat(path).st_ino, oldInode);
  EXPECT_EQ(ReadFile(Path("game.bak")), old);
  EXPECT_EQ(ReadFile(path)[0], 0x42);
  EXPECT_TRUE(IsBackupOf(Path("game.bak"), path));
  // The next save replaces a backup of the same file without a question.
  ASSERT_TRUE(EditAndSave(path, 0x43)) << Ed->LastError();
  EXPECT_TRUE(Questions.empty());
  EXPECT_EQ(ReadFile(Path("game.bak"))[0], 0x42);
  EXPECT_TRUE(Ed->LastWarning().empty());
  for (const auto& name : List(Dir())) EXPECT_NE(name[0], '.') << "a hidden name is left: " << name;
}

TEST_F(Reliability, ABackupNotWrittenForThisFileIsReplacedOnlyOnTheUsersWord) {
  WriteFile(Path("game.sav"), Pattern(100, 1));
  WriteFile(Path("game.dat"), Pattern(100, 2));
  WriteFile(Path("game.bak"), Bytes{'n', 'o', 't', 'e', 's'});
  // Refused: nothing changes and the reason is the question's.
  EXPECT_FALSE(EditAndSave(Path("game.sav"), 1));
  EXPECT_EQ(Questions, std::vector<std::string>{"game.bak exists and is not a backup of game.sav. Replace it?"});
  EXPECT_EQ(Ed->LastError(), "game.bak exists and is not a backup of game.sav; the file was not saved.");
  EXPECT_EQ(ReadFile(Path("game.bak")), (Bytes{'n', 'o', 't', 'e', 's'}));
  EXPECT_EQ(ReadFile(Path("game.sav")), Pattern(100, 1));
  EXPECT_TRUE(Ed->Modified());
  Answer = true;
  ASSERT_TRUE(Ed->SaveToFile(Path("game.sav"))) << Ed->LastError();
  EXPECT_EQ(ReadFile(Path("game.bak")), Pattern(100, 1));
  // game.dat shares the name: its save asks again.
  Answer = false;
  EXPECT_FALSE(EditAndSave(Path("game.dat"), 2));
  EXPECT_EQ(Questions.back(), "game.bak exists and is not a backup of game.dat. Replace it?");
  EXPECT_EQ(ReadFile(Path("game.bak")), Pattern(100, 1));
  // A link at the backup name is replaced itself, never written through.
  fs::remove(Path("game.bak"));
  WriteFile(Path("victim"), Bytes{7});
  fs::create_symlink(Path("victim"), Path("game.bak"));
  Answer = true;
  ASSERT_TRUE(EditAndSave(Path("game.dat"), 3)) << Ed->LastError();
  EXPECT_EQ(ReadFile(Path("victim")), Bytes{7});
  EXPECT_FALSE(fs::is_symlink(Path("game.bak")));
  EXPECT_EQ(ReadFile(Path("game.bak")), Pattern(100, 2));
}

TEST_F(Reliability, InPlaceBackupNeverWritesThroughALink) {
  fs::create_directory(Path("locked"));
  const Bytes old = Pattern(3000);
  const std::string path = Load(old, "locked/f.sav");
  WriteFile(Path("victim"), Bytes{7});
  fs::create_symlink(Path("victim"), Path("locked/f.bak"));
  fs::create_hard_link(Path("victim"), Path("locked/g.bak"));
  Answer = true;
  if (!SetImmutable(Path("locked"), true)) GTEST_SKIP() << "no immutable flag on this file system";
  Ed->ChangeByte(Ed->ReadByte(0), 1, 0, 2, 0);
  const bool saved = Ed->SaveToFile(path);
  SetImmutable(Path("locked"), false);
  EXPECT_FALSE(saved);
  EXPECT_NE(Ed->LastError().find("symbolic link"), std::string::npos) << Ed->LastError();
  EXPECT_EQ(ReadFile(Path("victim")), Bytes{7});
  EXPECT_EQ(ReadFile(path), old);
  // A second hard link at the backup name is refused the same way.
  EXPECT_THROW(
      {
        SetImmutable(Path("locked"), true);
        struct Unlock {
          std::string p;
          ~Unlock() { SetImmutable(p, false); }
        } unlock{Path("locked")};
        CopyFileDurably(path, Path("locked/g.bak"));
      },
      EFileError);
  EXPECT_EQ(ReadFile(Path("victim")), Bytes{7});
}

TEST_F(Reliability, ALinkLoopIsNamed) {
  fs::create_symlink(Path("b"), Path("a"));
  fs::create_symlink(Path("a"), Path("b"));
  EXPECT_FALSE(Ed->LoadFromFile(Path("a")));
  EXPECT_NE(Ed->LastError().find("Too many levels of symbolic links"), std::string::npos) << Ed->LastError();
}

}  // namespace
}  // namespace byteloom::test
