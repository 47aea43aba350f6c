// SPDX-License-Identifier: GPL-3.0-or-later
// The document journal: records that come back as written, tails that are
// cut off or corrupted, added bytes that did not reach the disk, the opened
// file's identity, owners, and what another user can plant in the folder.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "document/journal.h"
#include "tests/support/sandbox.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace byteloom::test {
namespace {

constexpr uid_t kNobody = 65534;

TJournalRecord Of(TJournalKind kind, uint8_t stepKind = 0, TCaretState state = {}) {
  TJournalRecord r;
  r.Kind = kind;
  r.StepKind = stepKind;
  r.State = state;
  return r;
}

TJournalRecord Splice(uint64_t at, uint64_t removed, std::vector<TJournalPiece> pieces) {
  TJournalRecord r;
  r.At = at;
  r.Removed = removed;
  r.Pieces = std::move(pieces);
  return r;
}

// One record of every kind. The first splice has pieces of all three
// sources and refers to the added nibbles 1-4 and 7-8 (of 12 34 56 78 9A BC
// DE F0), the second to 10-15.
std::vector<TJournalRecord> EveryKind() {
  TJournalRecord saved = Of(TJournalKind::jkSaved);
  saved.SavedName = std::string("/saves/line\nbreak\xFF%\0.sav", 24);
  saved.SavedIdentity = {1, 2, 3, 4, {9, 8, 7}};
  return {Of(TJournalKind::jkStepBegin, 7, {5, 1, false, 2, 9, 9, true}),
          Splice(7, 3, {{kSourceFile, 1, 5}, {kSourceAdded, 1, 4}, {kSourceZeros, 0, 9}, {kSourceAdded, 7, 2}}),
          Of(TJournalKind::jkStepEnd, 0, {-1, 0, true, -1, -1, -1, false}),
          Of(TJournalKind::jkUndo),
          Of(TJournalKind::jkRedo),
          saved,
          Splice(0, 0, {{kSourceAdded, 10, 6}})};
}

class Journal : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    Added = TTempFile::Create(WorkFolder(), ".BLWA");
    Added.Handle().WriteAt("\x12\x34\x56\x78\x9A\xBC\xDE\xF0", 8, 0);
    Folder = WorkFolderFd();
  }
  TJournalHeader Header(const std::string& file = "game.sav") const {
    TJournalHeader h;
    h.FileName = file;
    h.AddedName = fs::path(Added.Name()).filename();
    return h;
  }
  static std::string NameOf(const TJournal& j) { return fs::path(j.Name()).filename(); }
  TJournalContents Read(const std::string& name) const {
    TJournalContents c;
    std::string problem;
    EXPECT_TRUE(ReadJournal(Folder, name, c, &problem)) << problem;
    return c;
  }
  // A journal left by a process that has ended, with added bytes of its
  // own or the named ones.
  std::string LeaveBehind(const std::vector<TJournalRecord>& records, const std::string& addedName = {}) {
    int pipeFds[2];
    EXPECT_EQ(pipe(pipeFds), 0);
    if (fork() == 0) {
      TTempFile added = TTempFile::Create(WorkFolder(), ".BLWA");
      TJournalHeader h = Header();
      h.AddedName = addedName.empty() ? fs::path(added.Name()).filename().string() : addedName;
      if (!addedName.empty()) added.Remove();
      TJournal j = TJournal::Create(h, added.Handle());
      for (const TJournalRecord& r : records) j.Append(r);
      const std::string name = NameOf(j);
      j.Abandon();
      (void)!write(pipeFds[1], name.data(), 13);
      _exit(0);
    }
    close(pipeFds[1]);
    char name[13];
    const bool got = read(pipeFds[0], name, 13) == 13;
    close(pipeFds[0]);
    wait(nullptr);
    return got ? std::string(name, 13) : "";
  }
  TTempFile Added;
  int Folder = -1;
};

TEST_F(Journal, EveryRecordKindComesBackAsWrittenAndReplaysInOrder) {
  const fs::path cwd = fs::current_path();
  fs::current_path(Dir());
  for (const std::string& file : {std::string("line\nbreak\xE9%.sav", 16), std::string()}) {
    TJournalHeader header = Header(file);
    header.Untitled = file.empty();
    header.SnapshotName = file.empty() ? "" : "0000BEEF.BLWS";
    header.Identity = {11, 12, 13, 14, {1, 2, 3}};
    TJournal journal = TJournal::Create(header, Added.Handle());
    for (const TJournalRecord& r : EveryKind()) journal.Append(r);
    const TJournalContents c = Read(NameOf(journal));
    header.FileName = file.empty() ? "" : Path(file);  // made absolute
    header.Owner = SelfStamp();
    EXPECT_EQ(c.Header, header);
    EXPECT_EQ(c.Records, EveryKind());
    EXPECT_EQ(c.Tail, TJournalTail::jtWhole);
    std::string order;
    ReplayJournal(c, {[&](uint64_t at, uint64_t, const auto& p) { order += "S" + std::to_string(at + p.size()); },
                      [&](uint8_t kind, const TCaretState& s) { order += "B" + std::to_string(kind + s.Caret); },
                      [&](const TCaretState& s) { order += s.InCharField ? "E" : "e"; },
                      [&](const TCaretState&) { order += "U"; }, [&](const TCaretState&) { order += "R"; }, [&](const std::string& n, const auto&) { order += n.substr(0, 7); }});
    EXPECT_EQ(order, "B12S11EUR/saves/S1");
  }
  fs::current_path(cwd);
}

TEST_F(Journal, OnlyTheRecordsBeforeACutOrACorruptedByteCount) {
  TJournal journal = TJournal::Create(Header(), Added.Handle());
  const std::string torn = "0000000E.BLWJ", path = WorkFiles() + "/" + torn;
  std::vector<int64_t> ends{static_cast<int64_t>(ReadFile(journal.Name()).size())};
  const std::vector<TJournalRecord> all = EveryKind();
  for (const TJournalRecord& r : all) {
    journal.Append(r);
    ends.push_back(static_cast<int64_t>(ReadFile(journal.Name()).size()));
  }
  const Bytes whole = ReadFile(journal.Name());
  const auto counted = [&](int64_t pos) {  // the records wholly before pos
    return std::vector<TJournalRecord>(all.begin(), all.begin() + (std::upper_bound(ends.begin(), ends.end(), pos) - ends.begin() - 1));
  };
  // Changed in place (a file written anew each time would wait for the disk).
  WriteFile(path, whole);
  TFileHandle copy(open(path.c_str(), O_RDWR | O_CLOEXEC), path);
  for (size_t pos = 0; pos < whole.size(); ++pos) {
    const uint8_t bad = whole[pos] ^ 0x5A;
    copy.WriteAt(&bad, 1, static_cast<int64_t>(pos));
    TJournalContents c;
    const bool read = ReadJournal(Folder, torn, c);
    copy.WriteAt(&whole[pos], 1, static_cast<int64_t>(pos));
    EXPECT_EQ(read, static_cast<int64_t>(pos) >= ends[0]) << pos;  // a header cut or corrupted is no journal
    if (!read) continue;
    EXPECT_EQ(c.Records, counted(static_cast<int64_t>(pos))) << pos;
    EXPECT_NE(c.Tail, TJournalTail::jtWhole) << pos;
    EXPECT_EQ(c.DroppedBytes, static_cast<int64_t>(whole.size()) - ends[c.Records.size()]) << pos;
  }
  for (int64_t cut = ends.back() - 1; cut >= ends[ends.size() - 2]; --cut) {
    copy.SetSize(cut);
    const TJournalContents c = Read(torn);
    EXPECT_EQ(c.Records, counted(cut)) << cut;
    EXPECT_EQ(c.Tail, cut == ends[ends.size() - 2] ? TJournalTail::jtWhole : TJournalTail::jtCutOff) << cut;
  }
}

TEST_F(Journal, ASpliceWhoseAddedNibblesAreNotOnTheDiskEndsTheJournal) {
  TJournal journal = TJournal::Create(Header(), Added.Handle());
  for (const TJournalRecord& r : EveryKind()) journal.Append(r);
  const Bytes good = ReadFile(Added.Name());
  const struct {
    int at;  // -n: the file is cut to n bytes
    uint8_t mask;
    size_t counted;
  } rows[] = {{0, 0xF0, 7}, {0, 0x0F, 1}, {2, 0xF0, 1}, {2, 0x0F, 7}, {3, 0xF0, 7},
              {4, 0x0F, 7}, {4, 0xF0, 1}, {6, 0x01, 6}, {-5, 0, 6},   {-4, 0, 1}};
  for (const auto& row : rows) {
    Bytes bytes = good;
    if (row.at < 0) bytes.resize(static_cast<size_t>(-row.at));
    if (row.at >= 0) bytes[static_cast<size_t>(row.at)] ^= row.mask;
    WriteFile(Added.Name(), bytes);
    const TJournalContents c = Read(NameOf(journal));
    EXPECT_EQ(c.Records.size(), row.counted) << row.at << " " << int{row.mask};
    EXPECT_EQ(c.Tail, row.counted == 7 ? TJournalTail::jtWhole : TJournalTail::jtAddedBytesMissing);
  }
  WriteFile(Added.Name(), good);
  EXPECT_THROW(journal.Append(Splice(0, 0, {{kSourceAdded, 16, 2}})), EFileError);  // not written yet
  EXPECT_EQ(Read(NameOf(journal)).Records.size(), 7u);
}

TEST_F(Journal, TheIdentitySaysWhatChangedAndTheSnapshotStandsIn) {
  const std::string file = Path("big.sav"), snapshot = "0000CAFE.BLWS";
  Bytes original;
  const auto keepTime = [&](const std::function<void()>& change) {
    const struct stat st = Stat(file);
    change();
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    utimensat(AT_FDCWD, file.c_str(), times, 0);
  };
  const struct {
    const char* what;
    std::function<void()> change;
    TIdentityChange want;
  } rows[] = {
      {"nothing", [] {}, TIdentityChange::icSame},
      {"a byte added", [&] { keepTime([&] { std::ofstream(file, std::ios::app) << 'x'; }); }, TIdentityChange::icSize},
      {"touched", [&] { const struct timespec t[2] = {{1, 0}, {1, 0}}; utimensat(AT_FDCWD, file.c_str(), t, 0); },
       TIdentityChange::icTime},
      {"a byte in the last MiB", [&] { keepTime([&] { Bytes b = original; b[b.size() - 9] ^= 1; WriteFile(file, b); }); },
       TIdentityChange::icContent},
      {"replaced", [&] { keepTime([&] { WriteFile(file + "~", original); fs::rename(file + "~", file); }); },
       TIdentityChange::icReplaced},
      {"deleted", [&] { fs::remove(file); }, TIdentityChange::icMissing},
  };
  for (const size_t size : {size_t{3} << 20, size_t{5} << 20}) {  // hashed whole, in parts
    original = Pattern(size);
    for (const auto& row : rows) {
      for (const bool withSnapshot : {false, true}) {
        SCOPED_TRACE(std::string(row.what) + (withSnapshot ? " with a snapshot" : "") + std::to_string(size));
        WriteFile(file, original);
        WriteFile(WorkFiles() + "/" + snapshot, withSnapshot ? original : Bytes{});
        TJournalHeader h = Header(file);
        h.SnapshotName = snapshot;
        h.Identity = TFileIdentity::Take(OpenRegularForReading(file).Fd(), file);
        row.change();
        const TJournalSource source = OpenJournalSource(Folder, h);
        EXPECT_EQ(source.Change, row.want);
        EXPECT_EQ(source.File.IsOpen(), withSnapshot || row.want == TIdentityChange::icSame);
        EXPECT_EQ(source.FromSnapshot, withSnapshot && row.want != TIdentityChange::icSame);
      }
    }
  }
}

TEST_F(Journal, OnlyJournalsOfEndedOwnersWithChangesAreFound) {
  TJournal mine = TJournal::Create(Header(), Added.Handle());  // alive: never touched
  mine.Append(Splice(0, 0, {{kSourceAdded, 0, 2}}));
  const std::string changed = LeaveBehind({Splice(0, 2, {})});
  const std::string clean = LeaveBehind({Of(TJournalKind::jkStepBegin)}, Header().AddedName);  // mine's
  // Saved: the file its save made is in place; a save cut short before its
  // rename left another file there, and the edits are still wanted.
  TJournalRecord saved = Of(TJournalKind::jkSaved), cutShort = saved;
  saved.SavedName = Path("saved.bin");
  WriteFile(saved.SavedName, {1, 2});
  saved.SavedIdentity = TFileIdentity::Take(OpenRegularForReading(saved.SavedName).Fd(), saved.SavedName);
  cutShort.SavedName = Path("cut.bin");
  WriteFile(cutShort.SavedName, {1, 2});
  LeaveBehind({Splice(0, 2, {}), saved});
  const std::string unsaved = LeaveBehind({Splice(0, 2, {}), cutShort});
  const size_t before = List(WorkFiles()).size();
  std::vector<TFoundJournal> found = FindJournals(Folder);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[1].Name, unsaved);
  DiscardJournal(Folder, found[1]);
  found.pop_back();
  EXPECT_EQ(found[0].Name, changed);
  EXPECT_EQ(List(WorkFiles()).size(), before - 5);  // two journals and the added bytes of one, one discarded
  EXPECT_TRUE(fs::exists(mine.Name()));
  EXPECT_TRUE(fs::exists(Added.Name()));
  EXPECT_FALSE(fs::exists(WorkFiles() + "/" + clean));
  DiscardJournal(Folder, found[0]);
  EXPECT_EQ(List(WorkFiles()).size(), before - 7);
}

TEST_F(Journal, NothingPlantedAtAJournalsNameIsOpened) {
  const std::string next = ChooseTempName(WorkFolder(), ".BLWJ");
  fs::create_symlink(Path("victim"), next);
  TJournal journal = TJournal::Create(Header(), Added.Handle());
  EXPECT_NE(journal.Name(), next);
  EXPECT_FALSE(fs::exists(Path("victim")));
  fs::remove(next);
  const std::string left = WorkFiles() + "/" + LeaveBehind({Splice(0, 2, {})}), stash = WorkFiles() + "/stash";
  fs::rename(left, stash);
  fs::create_symlink(stash, WorkFiles() + "/0000000A.BLWJ");
  ASSERT_EQ(mkfifo((WorkFiles() + "/0000000B.BLWJ").c_str(), 0600), 0);
  if (geteuid() == 0) {
    fs::copy_file(stash, WorkFiles() + "/0000000C.BLWJ");
    ASSERT_EQ(chown((WorkFiles() + "/0000000C.BLWJ").c_str(), kNobody, kNobody), 0);
  }
  const size_t planted = List(WorkFiles()).size();
  EXPECT_TRUE(FindJournals(Folder).empty());
  EXPECT_EQ(List(WorkFiles()).size(), planted);
  fs::rename(stash, left);  // the journal itself is found
  EXPECT_EQ(FindJournals(Folder).size(), 1u);
}

TEST_F(Journal, ARecordRefusedOnAFullDiskLeavesTheJournalAsItWas) {
  const int rc = RunWithSmallDisk(WorkDir(), 512, [&] {
    TJournal journal = TJournal::Create(Header(), Added.Handle());
    journal.Append(Of(TJournalKind::jkUndo));
    std::ofstream fill(WorkDir() + "/fill", std::ios::binary);
    const std::string block(4096, 'x');
    while (fill.write(block.data(), block.size())) fill.flush();
    try {
      journal.Append(Splice(0, 0, std::vector<TJournalPiece>(8000, {kSourceZeros, 0, 2})));
      return 1;
    } catch (const EFileError&) {
    }
    journal.Append(Of(TJournalKind::jkRedo));
    TJournalContents c;
    if (!ReadJournal(WorkFolderFd(), NameOf(journal), c) || c.Tail != TJournalTail::jtWhole) return 2;
    return c.Records == std::vector<TJournalRecord>{Of(TJournalKind::jkUndo), Of(TJournalKind::jkRedo)} ? 0 : 3;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

}  // namespace
}  // namespace byteloom::test
