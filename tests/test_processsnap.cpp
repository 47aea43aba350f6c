// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a running program: the test game's gold narrowed down across
// snapshots and against its memory as it is now, memory gone meanwhile, a
// game that ends mid-snapshot, and a snapshot that does not fit the disk;
// the search following the game through its window: the hunt with a step
// against the memory now, the game's end, and mixing refused.
#include <gtest/gtest.h>

#include "compare/processsnap.h"
#include "compare/snapshots.h"
#include "document/processmemory.h"
#include "tests/support/fakedocuments.h"
#include "tests/support/fakehost.h"
#include "tests/support/gametalk.h"
#include "tests/support/sandbox.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

class ProcessSnapshots : public TempDirTest {};

TEST_F(ProcessSnapshots, NarrowTheGoldDownAcrossSnapshotsAndLive) {
  TGame game;
  const auto at = game.Where();
  const TProcess process = TProcess::Attach(game.Pid());
  const TProcessLayout layout = TProcessLayout::Of(process);
  ASSERT_TRUE(layout.OffsetOf(at.at("gold")));
  EXPECT_FALSE(layout.OffsetOf(at.at("ro")));  // not writable
  const int64_t spare = *layout.OffsetOf(at.at("spare"));
  EXPECT_EQ(layout.AddressOf(spare), at.at("spare"));

  TSnapshotSearch search;
  for (const char* command : {"print", "earn 15", "earn 15"}) {
    ASSERT_FALSE(game.Ask(command).empty());
    auto snapshot = TakeProcessSnapshot(process, layout);
    ASSERT_TRUE(snapshot);
    EXPECT_EQ(snapshot->GoneBytes(), 0);
    search.AddSource(std::move(snapshot), command);
  }
  // Private files of ours, gone with the search.
  for (const std::string& name : List(WorkFiles())) EXPECT_EQ(Stat(WorkFiles() + "/" + name).st_mode & 0777, 0600u) << name;
  EXPECT_EQ(List(WorkFiles()).size(), 3u);
  search.AddSource(std::make_unique<TLiveProcessSource>(process, layout), "now");
  search.Restart({TValueType::vtU32, TByteOrder::boLittle, false});
  ASSERT_TRUE(search.RunStep(*MakeStep(TStepCondition::scIncreased, TValueType::vtU32, "", "").Step));
  ASSERT_TRUE(search.RunStep(*MakeStep(TStepCondition::scEquals, TValueType::vtU32, "150", "").Step));
  const auto gold = *layout.OffsetOf(at.at("gold"));
  ASSERT_TRUE(search.Candidates().Contains(gold));
  EXPECT_EQ(layout.AddressOf(search.Candidates().At(0)), at.at("gold")) << search.Candidates().Count();
  // The last snapshot against the memory as it is now.
  ASSERT_EQ(game.Ask("earn 1"), "gold=151 health=100.0 name=Ayla the Brave");
  EXPECT_EQ(search.ValueAt(3, gold), "151");
  ASSERT_TRUE(search.RunStep(*MakeStep(TStepCondition::scIncreasedBy, TValueType::vtU32, "1", "").Step));
  EXPECT_TRUE(search.Candidates().Contains(gold));

  // Memory gone since the layout was taken reads as zeros, and is counted.
  ASSERT_EQ(game.Ask("unmap"), "unmapped");
  auto after = TakeProcessSnapshot(process, layout);
  EXPECT_EQ(after->GoneBytes(), 4096);
  std::vector<uint8_t> page(4096, 1);
  after->Read(page.data(), spare, 4096);
  EXPECT_EQ(page, std::vector<uint8_t>(4096, 0));
  after.reset();
  search = TSnapshotSearch();
  EXPECT_TRUE(List(WorkFiles()).empty());
}

TEST_F(ProcessSnapshots, AGameThatEndsMidSnapshotLeavesNothingBehind) {
  TGame game;
  ASSERT_NE(game.Ask("extra 64").find("mib=64"), std::string::npos);
  const TProcess process = TProcess::Attach(game.Pid());
  const TProcessLayout layout = TProcessLayout::Of(process);
  try {
    TakeProcessSnapshot(process, layout, [&](int64_t, int64_t) {
      game.Kill();
      return true;
    });
    ADD_FAILURE() << "a snapshot of a game that ended";
  } catch (const EProcessError& e) {
    EXPECT_NE(std::string(e.what()).find("has ended"), std::string::npos) << e.what();
  }
  EXPECT_TRUE(List(WorkFiles()).empty());
}

TEST_F(ProcessSnapshots, ASnapshotThatDoesNotFitSaysSo) {
  const int rc = RunWithSmallDisk(WorkDir(), 1024, [&] {
    TGame game;
    if (game.Ask("extra 8").empty()) return 1;
    const TProcess process = TProcess::Attach(game.Pid());
    try {
      TakeProcessSnapshot(process, TProcessLayout::Of(process));
      return 2;
    } catch (const EFileError& e) {
      if (std::string(e.what()).find("The snapshot does not fit into the temporary folder") != 0) return 3;
    }
    return List(WorkFiles()).empty() ? 0 : 4;
  });
  if (rc == kSandboxUnsupported) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(rc, 0);
}

// A window over the game's memory, as File > Open process gives it.
class ProcessSearch : public TempDirTest {
 protected:
  void TearDown() override {
    Docs.Editors.clear();
    TempDirTest::TearDown();
  }
  THexEditor& Window(const TGame& game) {
    const TProcess process = TProcess::Attach(game.Pid());
    auto editor = std::make_unique<THexEditor>(Host);
    editor->Loaded();
    editor->OpenLive(std::make_unique<TProcessMemory>(process, TProcessMemory::Shown(process.Regions())),
                     "game (PID " + std::to_string(game.Pid()) + ")");
    Docs.Editors.push_back(std::move(editor));
    return *Docs.Editors.back();
  }
  static TStep Step(TStepCondition condition, const char* value = "") {
    return *MakeStep(condition, TValueType::vtU32, value, "").Step;
  }
  TFakeHost Host;
  TFakeDocuments Docs;
};

TEST_F(ProcessSearch, TheGoldHuntedThroughItsWindow) {
  TGame game;
  const uint64_t gold = game.Where().at("gold");
  THexEditor& window = Window(game);
  TSnapshotSearch search;
  search.Restart({TValueType::vtU32, TByteOrder::boLittle, true});
  const struct {
    const char* Command;
    bool Now;  // the step compares with the memory now (no snapshot of its own)
    std::optional<TStep> Step;
    const char* Gold;  // the candidate's value now
  } rows[] = {
      {"print", false, std::nullopt, "120"},
      {"earn 15", false, Step(TStepCondition::scIncreased), "135"},
      {"earn 15", false, Step(TStepCondition::scEquals, "150"), "150"},
      {"earn 1", true, Step(TStepCondition::scIncreasedBy, "1"), "151"},
      // What printing left on the stack goes once other words are printed.
      {"where", true, Step(TStepCondition::scUnchanged), "151"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Command);
    ASSERT_FALSE(game.Ask(row.Command).empty());
    if (row.Now) {
      ASSERT_EQ(search.CheckStepNow(), "");
      ASSERT_TRUE(search.RunStepNow(*row.Step));
    } else {
      ASSERT_EQ(search.TakeSnapshot(window), "");
      if (row.Step) ASSERT_TRUE(search.RunStep(*row.Step));
    }
    ASSERT_TRUE(search.Candidates().Count() > 0);
    const int64_t offset = *search.Layout().OffsetOf(gold);
    EXPECT_TRUE(search.Candidates().Contains(offset));
    EXPECT_EQ(search.ValueNow(offset), row.Gold);
  }
  // The fresh snapshot stays for the next step, and only the gold is left.
  EXPECT_EQ(search.SnapshotCount(), 5);
  ASSERT_EQ(search.Candidates().Count(), 1);
  const int64_t found = search.Candidates().At(0);
  EXPECT_EQ(search.AddressOf(found), gold);
  // Another window comes before the game's; the caret goes to the address.
  Docs.Editors.insert(Docs.Editors.begin(), std::make_unique<THexEditor>(Host));
  Docs.Editors.front()->Loaded();
  EXPECT_EQ(search.SeekSnapshots(Docs, found), 1);
  EXPECT_EQ(window.AddressOf(window.GetCursorPos()), gold);
  const TSnapshotSearch::TPlaces places = search.PlacesOf(Docs, {found});
  EXPECT_EQ(places.Window, 1);
  EXPECT_EQ(places.Positions, std::vector<int64_t>{window.GetCursorPos()});
  // A cancelled step against the memory now leaves the search as it was.
  EXPECT_FALSE(search.RunStepNow(Step(TStepCondition::scUnchanged), [](int64_t, int64_t) { return false; }));
  EXPECT_EQ(search.SnapshotCount(), 5);
  EXPECT_EQ(search.StepCount(), 4);
}

TEST_F(ProcessSearch, TheGameEndsAndMixingIsRefused) {
  TGame game, other;
  THexEditor& window = Window(game);
  THexEditor& otherWindow = Window(other);
  TSnapshotSearch search;
  EXPECT_NE(search.TakeSnapshot(*Docs.Editors.emplace_back(std::make_unique<THexEditor>(Host))).find(
                "Take snapshot copies a running program's memory"),
            std::string::npos);
  EXPECT_THROW(search.AddDocument(window, "game"), std::runtime_error);
  // Files first: the program cannot join them, and the other way round.
  const std::string file = Path("save.bin");
  WriteFile(file, Bytes(64, 0));
  search.AddFile(file);
  EXPECT_NE(search.TakeSnapshot(window).find("cannot join them"), std::string::npos);
  EXPECT_FALSE(search.FollowsProgram());
  search.RemoveSnapshot(0);
  ASSERT_EQ(search.TakeSnapshot(window), "");
  EXPECT_THROW(search.AddFile(file), std::runtime_error);
  EXPECT_NE(search.TakeSnapshot(otherWindow).find("is another program"), std::string::npos);
  ASSERT_FALSE(game.Ask("earn 5").empty());
  ASSERT_EQ(search.TakeSnapshot(), "");

  const int64_t gold = *search.Layout().OffsetOf(game.Where().at("gold"));
  game.Kill();
  EXPECT_EQ(search.ValueNow(gold), TSnapshotSearch::kEndedMark);
  for (const std::string& refusal : {search.TakeSnapshot(window), search.TakeSnapshot(), search.CheckStepNow()})
    EXPECT_NE(refusal.find("has ended"), std::string::npos) << refusal;
  EXPECT_THROW(search.RunStepNow(Step(TStepCondition::scIncreased)), std::runtime_error);
  EXPECT_EQ(search.SnapshotCount(), 2);
  // The snapshots taken stay usable.
  ASSERT_TRUE(search.RunStep(Step(TStepCondition::scIncreasedBy, "5")));
  EXPECT_TRUE(search.Candidates().Contains(gold));
  EXPECT_EQ(search.ValueAt(1, gold), "125");
}

}  // namespace
}  // namespace byteloom::test
