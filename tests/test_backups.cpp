// SPDX-License-Identifier: GPL-3.0-or-later
// The record of backup owners: without extended attributes a record line
// names the backup by more than its inode number, so that the user's own
// file that got the inode of a deleted backup is asked about; the record is
// a store like the others. Restore asks before putting another file's
// backup over a file, and says whose it is.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "control/backups.h"
#include "control/hexeditor.h"
#include "platform/store.h"
#include "shell/restore.h"
#include "tests/support/editortest.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

Bytes Data(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

// attributes: whether extended attributes are used (where the file system
// has them); without, every backup goes to the record file.
class BackupTest : public EditorTest {
 protected:
  explicit BackupTest(bool attributes) : FAttributes(attributes) {}
  void SetUp() override {
    EditorTest::SetUp();
    SetBackupRecordFile(Path("backups"));
    UseBackupAttributes(FAttributes);
    FOldSink = SetStoreProblemSink([this](const std::string& m) { Reports.push_back(m); });
    Ed->OnConfirmBackupReplace = [this](const std::string& q) {
      Questions.push_back(q);
      return Answer;
    };
  }
  void TearDown() override {
    SetStoreProblemSink(FOldSink);
    UseBackupAttributes(true);
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
  std::vector<std::string> Reports;
  bool Answer = false;

 private:
  bool FAttributes;
  TStoreProblemSink FOldSink;
};

class Backups : public BackupTest, public ::testing::WithParamInterface<bool> {
 protected:
  Backups() : BackupTest(GetParam()) {}
};

// Every backup in the record file.
class RecordFile : public BackupTest {
 protected:
  RecordFile() : BackupTest(false) {}
};

INSTANTIATE_TEST_SUITE_P(AttributesOrRecordFile, Backups, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Attributes" : "RecordFile"; });

TEST_P(Backups, AFileAtTheInodeOfADeletedBackupIsNotTakenForIt) {
  WriteFile(Path("game.sav"), Pattern(100, 1));
  ASSERT_TRUE(EditAndSave(Path("game.sav"), 1)) << Ed->LastError();
  ASSERT_TRUE(IsBackupOf(Path("game.bak"), Path("game.sav")));
  EXPECT_EQ(RecordedOwner(Path("game.bak")), Path("game.sav"));
  if (!GetParam()) {
    // dev ino size mtime ctime backup<TAB>file
    std::istringstream line(Text(ReadFile(Path("backups"))));
    std::string dev, ino, size, mtime, ctime;
    line >> dev >> ino >> size >> mtime >> ctime;
    EXPECT_EQ(ino, std::to_string(Stat(Path("game.bak")).st_ino));
    EXPECT_EQ(size, "100");
  }
  // The backup deleted and the user's own file made under its name: with
  // the freed inode number (where the file system gives it again) or not.
  const ino_t inode = Stat(Path("game.bak")).st_ino;
  fs::remove(Path("game.bak"));
  WriteFile(Path("game.bak"), Data("my own notes"));
  SCOPED_TRACE(Stat(Path("game.bak")).st_ino == inode ? "the inode number was given again" : "a new inode");
  EXPECT_FALSE(IsBackupOf(Path("game.bak"), Path("game.sav")));
  EXPECT_EQ(RecordedOwner(Path("game.bak")), "");
  EXPECT_FALSE(EditAndSave(Path("game.sav"), 2));
  EXPECT_EQ(Questions, std::vector<std::string>{"game.bak exists and is not a backup of game.sav. Replace it?"});
  EXPECT_EQ(Text(ReadFile(Path("game.bak"))), "my own notes");
  // The same inode for certain: a backup rewritten in place with other
  // bytes of the same size is no longer the one recorded.
  Answer = true;
  ASSERT_TRUE(Ed->SaveToFile(Path("game.sav"))) << Ed->LastError();
  ASSERT_TRUE(IsBackupOf(Path("game.bak"), Path("game.sav")));
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // past the file system's clock tick
  WriteFile(Path("game.bak"), Pattern(100, 9));
  EXPECT_EQ(IsBackupOf(Path("game.bak"), Path("game.sav")), GetParam());  // an attribute stays with the inode
  EXPECT_TRUE(Reports.empty());
}

TEST_F(RecordFile, ALineOfTheEarlierFormDoesNotMatch) {
  WriteFile(Path("game.sav"), Pattern(100, 1));
  WriteFile(Path("game.bak"), Pattern(100, 2));
  const struct stat st = Stat(Path("game.bak"));
  const std::string old = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + Path("game.bak") +
                          "\t" + Path("game.sav") + "\n";
  WriteFile(Path("backups"), Data("1 2 /elsewhere/x.bak\t/elsewhere/x.sav\n" + old));
  EXPECT_FALSE(IsBackupOf(Path("game.bak"), Path("game.sav")));
  EXPECT_EQ(RecordedOwner(Path("game.bak")), "");
  // One question; then the new line replaces the old one of that name, and
  // other lines stay.
  Answer = true;
  ASSERT_TRUE(EditAndSave(Path("game.sav"), 1)) << Ed->LastError();
  EXPECT_EQ(Questions.size(), 1u);
  const std::string records = Text(ReadFile(Path("backups")));
  EXPECT_EQ(records.find(old), std::string::npos);
  EXPECT_EQ(records.rfind("1 2 /elsewhere/x.bak\t/elsewhere/x.sav\n", 0), 0u);
  EXPECT_TRUE(IsBackupOf(Path("game.bak"), Path("game.sav")));
  ASSERT_TRUE(EditAndSave(Path("game.sav"), 2)) << Ed->LastError();
  EXPECT_EQ(Questions.size(), 1u);
}

TEST_F(RecordFile, OneThatCannotBeUsedIsReportedOnceAndLeftAlone) {
  mkfifo(Path("backups").c_str(), 0600);
  WriteFile(Path("game.sav"), Pattern(100, 1));
  ASSERT_TRUE(EditAndSave(Path("game.sav"), 1)) << Ed->LastError();
  Answer = true;
  ASSERT_TRUE(EditAndSave(Path("game.sav"), 2)) << Ed->LastError();  // unrecorded: asked
  EXPECT_EQ(Questions.size(), 1u);
  EXPECT_TRUE(fs::is_fifo(Path("backups")));
  EXPECT_EQ(Reports, std::vector<std::string>{"The record of backups " + Path("backups") +
                                              " is not a regular file; backups are not recorded in it, and "
                                              "saving asks before replacing a backup."});
}

// ---------------------------------------------------------------------------
// Restore
// ---------------------------------------------------------------------------

TEST_P(Backups, RestoreAsksBeforePuttingAnotherFilesBackupInPlace) {
  WriteFile(Path("game.sav"), Data("sav old"));
  WriteFile(Path("game.dat"), Data("dat new"));
  ASSERT_TRUE(Ed->LoadFromFile(Path("game.sav")));
  Ed->ChangeByte(Ed->ReadByte(0), 'S', 0, 2, 0);
  ASSERT_TRUE(Ed->SaveToFile(Path("game.sav"))) << Ed->LastError();
  ASSERT_EQ(RecordedOwner(Path("game.bak")), Path("game.sav"));
  // game.dat: game.bak is game.sav's. Nothing changes without the word.
  TRestoreResult result = RestoreFromBackup(Path("game.dat"));
  EXPECT_EQ(result.Status, TRestoreStatus::rsOtherOwner);
  EXPECT_TRUE(result.Failed());
  EXPECT_EQ(result.Owner, Path("game.sav"));
  EXPECT_EQ(result.Backup, Path("game.bak"));
  EXPECT_EQ(result.Message(Path("game.dat"), false),
            "game.bak is the backup of game.sav, not of game.dat. Restore it over game.dat all the same?");
  EXPECT_EQ(Text(ReadFile(Path("game.dat"))), "dat new");
  EXPECT_EQ(Text(ReadFile(Path("game.bak"))), "sav old");
  // With the word it is restored.
  result = RestoreFromBackup(Path("game.dat"), true);
  EXPECT_EQ(result.Status, TRestoreStatus::rsRestored);
  EXPECT_EQ(Text(ReadFile(Path("game.dat"))), "sav old");
  EXPECT_FALSE(fs::exists(Path("game.bak")));
  // The file's own backup is restored without a question.
  ASSERT_TRUE(Ed->LoadFromFile(Path("game.sav")));
  Ed->ChangeByte(Ed->ReadByte(0), 'T', 0, 2, 0);
  ASSERT_TRUE(Ed->SaveToFile(Path("game.sav"))) << Ed->LastError();
  EXPECT_EQ(RestoreFromBackup(Path("game.sav")).Status, TRestoreStatus::rsRestored);
  EXPECT_EQ(Text(ReadFile(Path("game.sav"))), "Sav old");
  // A backup of no record (an older one, another tool's) is restored as ever.
  WriteFile(Path("game.bak"), Data("by hand"));
  EXPECT_EQ(RestoreFromBackup(Path("game.dat")).Status, TRestoreStatus::rsRestored);
  EXPECT_EQ(Text(ReadFile(Path("game.dat"))), "by hand");
}

TEST(RestoreQuestion, NamesTheOwnersFolderWhereItIsAnother) {
  TRestoreResult result;
  result.Status = TRestoreStatus::rsOtherOwner;
  result.Backup = "/s/game.bak";
  result.Owner = "/elsewhere/game.sav";
  EXPECT_EQ(result.Message("/s/game.sav", false),
            "game.bak is the backup of /elsewhere/game.sav, not of game.sav. Restore it over game.sav all the same?");
  result.Owner = "/s/game.sav";
  EXPECT_EQ(result.Message("/s/game.dat", true),
            "game.bak is the backup of game.sav, not of game.dat. Restore it over game.dat all the same?");
}

}  // namespace
}  // namespace byteloom::test
