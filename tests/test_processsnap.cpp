// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a running program: the test game's gold narrowed down across
// snapshots and against its memory as it is now, memory gone meanwhile, a
// game that ends mid-snapshot, and a snapshot that does not fit the disk.
#include <gtest/gtest.h>

#include "compare/processsnap.h"
#include "compare/snapshots.h"
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

}  // namespace
}  // namespace byteloom::test
