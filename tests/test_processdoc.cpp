// SPDX-License-Identifier: GPL-3.0-or-later
// A document over the test game's memory: addresses, typing written
// through, a read-only page refused, memory unmapped or taken away by the
// game's end shown as it was last read.
#include <gtest/gtest.h>

#include "document/document.h"
#include "document/processmemory.h"
#include "tests/support/gametalk.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

using ProcessDocument = TempDirTest;

TEST_F(ProcessDocument, TypingWritesThroughAndWhatIsGoneShowsAsLastRead) {
  TGame game;
  auto at = game.Where();
  const TProcess process = TProcess::Attach(game.Pid());
  auto owned = std::make_unique<TProcessMemory>(process, TProcessMemory::Shown(process.Regions()));
  TProcessMemory& memory = *owned;
  TDocument doc(std::move(owned));
  ASSERT_GT(memory.Regions().size(), 3u);
  // Addresses and positions map both ways, across every region.
  for (size_t i = 0; i < memory.Regions().size(); ++i) {
    const TRegion& r = memory.Regions()[i];
    for (const uint64_t address : {r.Start, r.End - 1}) {
      ASSERT_EQ(memory.PosOf(address), memory.Layout().RegionPos(i) + (address - r.Start));
      EXPECT_EQ(memory.AddressOf(*memory.PosOf(address)), address);
    }
  }
  EXPECT_FALSE(memory.PosOf(0));

  const auto pos = [&](const char* name) { return static_cast<int64_t>(memory.PosOf(at[name]).value()); };
  uint32_t gold = 0;
  doc.Read(pos("gold"), 4, reinterpret_cast<uint8_t*>(&gold));
  EXPECT_EQ(gold, 120u);
  const uint32_t rich = 999;
  TEditStep typed = doc.Replace(pos("gold"), 4, reinterpret_cast<const uint8_t*>(&rich), 4);
  EXPECT_EQ(game.Ask("print"), "gold=999 health=100.0 name=Ayla the Brave");
  EXPECT_EQ(game.Ask("gold 500"), "gold=500 health=100.0 name=Ayla the Brave");
  doc.Undo(typed);
  EXPECT_TRUE(doc.TakeChangedMeanwhile());
  EXPECT_EQ(game.Ask("print"), "gold=120 health=100.0 name=Ayla the Brave");

  // The read-only page is refused whole, and stays as it was.
  try {
    doc.Replace(pos("ro") - 2, 4, reinterpret_cast<const uint8_t*>("XXXX"), 4);
    ADD_FAILURE() << "written";
  } catch (const EFileError& e) {
    EXPECT_NE(std::string(e.what()).find("is not writable"), std::string::npos) << e.what();
  }
  uint8_t ro[9];
  doc.Read(pos("ro"), 9, ro);
  EXPECT_EQ(std::string(ro, ro + 9), "read-only");

  // An unmapped page shows what was read of it last; the ended game too.
  const int64_t spare = pos("spare");
  std::vector<uint8_t> page(4096), shown(4096);
  doc.Read(spare, 4096, page.data());
  ASSERT_EQ(game.Ask("unmap"), "unmapped");
  doc.Read(spare, 4096, shown.data());
  EXPECT_EQ(shown, page);
  // (The screen reads whole windows: those pages are kept.)
  const int64_t window = std::max<int64_t>(pos("name") / 4096 * 4096 - 4096, 0);
  std::vector<uint8_t> around(3 * 4096);
  doc.Read(window, 3 * 4096, around.data());
  game.Kill();
  doc.Read(pos("name"), 9, ro);
  EXPECT_EQ(std::string(ro, ro + 9), "Ayla the ");
  EXPECT_TRUE(memory.Ended());
  // Memory never read before is unknown, not the zeros it reads as.
  const int64_t last = static_cast<int64_t>(memory.Size()) - 1;
  doc.Read(last, 1, ro);
  EXPECT_EQ(ro[0], 0);
  EXPECT_FALSE(memory.Known(last));
  EXPECT_TRUE(memory.Known(pos("name")));
  EXPECT_THROW(doc.Replace(pos("gold"), 4, reinterpret_cast<const uint8_t*>(&rich), 4), EFileError);
}

}  // namespace
}  // namespace byteloom::test
