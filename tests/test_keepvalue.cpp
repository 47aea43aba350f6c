// SPDX-License-Identifier: GPL-3.0-or-later
// Keep at value: held bytes written back where the program changed them,
// holds that follow their address, failed writes that release, and the
// test game's gold held while the game keeps changing it.
#include <gtest/gtest.h>

#include <functional>

#include "document/processmemory.h"
#include "document/regionlayout.h"
#include "editor/fields.h"
#include "editor/keepvalue.h"
#include "editor/valueinfo.h"
#include "control/bytesource.h"
#include "tests/support/editortest.h"
#include "tests/support/fakememory.h"
#include "tests/support/gametalk.h"
#include "tests/support/tempdir.h"

namespace byteloom::test {
namespace {

TEST(ValueKeeper, WritesBackWhatTheProgramChangedAndReleasesWhatItCannotHold) {
  struct THoldAt {
    int64_t Pos;
    Bytes Held;
  };
  const struct {
    const char* Case;
    std::vector<THoldAt> Holds;
    std::function<void(Bytes&, TFakeMemory&, TValueKeeper&)> Program;  // what happens before the tick
    Bytes After;
    std::vector<int64_t> Rewritten;
    std::vector<int64_t> Released;
    size_t Left;  // holds after the tick
  } rows[] = {
      {"unchanged: nothing written", {{2, {2, 3}}}, [](Bytes&, TFakeMemory&, TValueKeeper&) {}, {0, 1, 2, 3, 4, 5, 6, 7}, {}, {}, 1},
      {"changed: written back", {{2, {0xAA, 0xBB}}}, [](Bytes& m, TFakeMemory&, TValueKeeper&) { m[3] = 9; },
       {0, 1, 0xAA, 0xBB, 4, 5, 6, 7}, {2}, {}, 1},
      {"only the changed one of two", {{0, {0}}, {5, {5, 6}}}, [](Bytes& m, TFakeMemory&, TValueKeeper&) { m[6] = 0; },
       {0, 1, 2, 3, 4, 5, 6, 7}, {5}, {}, 2},
      {"a new hold over an old one replaces it", {{2, {0xAA, 0xBB}}, {3, {0xCC}}}, [](Bytes&, TFakeMemory&, TValueKeeper&) {},
       {0, 1, 2, 0xCC, 4, 5, 6, 7}, {3}, {}, 1},
      {"the holds of removed fields end", {{0, {0xEE}}, {4, {0xEE}}},
       [](Bytes&, TFakeMemory&, TValueKeeper& k) { k.KeepOnly({{4, 1}, {6, 2}}); }, {0, 1, 2, 3, 0xEE, 5, 6, 7}, {4}, {}, 1},
      {"a refused write releases", {{1, {0xEE}}, {6, {0xEE, 0xEE}}},
       [](Bytes&, TFakeMemory& f, TValueKeeper&) { f.FLockedFrom = 6; }, {0, 0xEE, 2, 3, 4, 5, 6, 7}, {1}, {6}, 1},
      // The regions shown anew: address 0x1002 is now at position 4.
      {"a hold follows its address", {{2, {0xAA, 0xBB}}},
       [](Bytes&, TFakeMemory& f, TValueKeeper&) { f.FBase = 0x1000 - 2; }, {0, 1, 2, 3, 0xAA, 0xBB, 6, 7}, {4}, {}, 1},
      {"an address no longer shown releases", {{1, {0xAA}}, {6, {0xAA, 0xBB}}},
       [](Bytes&, TFakeMemory& f, TValueKeeper&) { f.FBase = 0x1000 + 2; }, {0, 1, 2, 3, 0xAA, 0xBB, 6, 7}, {4}, {1}, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    Bytes memory = {0, 1, 2, 3, 4, 5, 6, 7};
    TFakeMemory fake(memory);
    fake.FBase = 0x1000;
    TValueKeeper keeper;
    for (const THoldAt& h : row.Holds) keeper.Hold(fake, h.Pos, h.Held);
    row.Program(memory, fake, keeper);
    const TKeepTick tick = keeper.Tick(fake);
    EXPECT_EQ(memory, row.After);
    EXPECT_EQ(tick.Rewritten, row.Rewritten);
    std::vector<int64_t> released;
    for (const TReleased& r : tick.Released) {
      released.push_back(r.Pos);
      EXPECT_FALSE(r.Reason.empty());
    }
    EXPECT_EQ(released, row.Released);
    // What was released is no longer held; a second tick finds nothing to do.
    EXPECT_EQ(keeper.Count(), row.Left);
    EXPECT_TRUE(keeper.Tick(fake).Rewritten.empty());
  }
}

using ProgramFields = EditorTest;

// A field of a program's memory is typed and shown at its address, written
// through as an undoable edit, held, saved at its address and placed again
// by address, never at a file's offsets.
TEST_F(ProgramFields, AreAtAddressesEverywhere) {
  Bytes memory(16, 0);
  auto owned = std::make_unique<TFakeMemory>(memory);
  TFakeMemory& fake = *owned;
  fake.FBase = 0x5000;
  Ed->OpenLive(std::move(owned), "game (PID 1)");
  TFieldEntry entry = EntryOf(FieldAt(0, 4));
  entry.Name = "gold";
  entry.Offset = "0x5004";
  TField gold;
  ASSERT_EQ(FieldFromEntry(entry, *Ed, gold), "");
  EXPECT_EQ(gold.Offset, 4);
  EXPECT_EQ(EntryOf(gold, *Ed).Offset, "0x5004");
  TField none;
  for (const char* refused : {"0x4FFF", "0x5010", "gold"}) {
    entry.Offset = refused;
    EXPECT_NE(FieldFromEntry(entry, *Ed, none), "") << refused;
  }
  entry.Offset = "0x5004";
  entry.Checksum = true;
  EXPECT_NE(FieldFromEntry(entry, *Ed, none), "");

  // Typed, written through; undone as any edit.
  EXPECT_EQ(SetFieldValue(*Ed, gold, "999"), "");
  EXPECT_EQ(memory[4], 0xE7);
  Ed->Undo();
  EXPECT_EQ(memory[4], 0);
  // Held at the value it has; what the program changes is put back.
  TValueKeeper keeper;
  EXPECT_EQ(SetFieldValue(*Ed, gold, "999"), "");
  ASSERT_EQ(HoldField(keeper, *Ed, gold), "");
  EXPECT_TRUE(FieldHeld(keeper, gold));
  memory[5] = 0x77;
  EXPECT_EQ(keeper.Tick(*Ed->Document().LiveSource()).Rewritten, std::vector<int64_t>{4});
  EXPECT_EQ(memory[5], 3);
  KeepFieldHolds(keeper, {});
  EXPECT_TRUE(keeper.Empty());

  // The value panel shows the caret's address.
  Ed->Seek(4, 0, true);
  TEditorSource source(*Ed);
  std::string hex;
  ComputeValueInfo(source, CaretPlaceOf(*Ed), [&](TValueBox box, const std::string& text) {
    if (box == TValueBox::vbAddressHex) hex = text;
  });
  EXPECT_EQ(hex, "5004");

  // A profile keeps the address; it is placed by address (the memory shown
  // two bytes later now), and only in a program's window.
  const std::string text = ProfileText({gold}, *Ed);
  EXPECT_NE(text.find("field address=0x5004 type=u32"), std::string::npos) << text;
  fake.FBase = 0x5002;
  TProfile again = ParseProfile(text);
  PlaceProfile(again, *Ed);
  ASSERT_EQ(again.Fields.size(), 1u);
  EXPECT_EQ(again.Fields[0].Offset, 2);
  TProfile offsets = ParseProfile(ProfileText({gold}));
  PlaceProfile(offsets, *Ed);
  EXPECT_TRUE(offsets.Fields.empty());
  TFakeHost host;
  THexEditor file(host);
  host.Target = &file;
  file.Loaded();
  TProfile addresses = ParseProfile(text);
  PlaceProfile(addresses, file);
  EXPECT_TRUE(addresses.Fields.empty());
  EXPECT_EQ(addresses.Skipped.size(), 1u);
  EXPECT_NE(HoldField(keeper, file, gold), "");
  std::string problem;
  EXPECT_TRUE(FieldsFor(*Ed, {gold}, file, problem).empty());
  EXPECT_NE(problem, "");
}

TEST(ProgramFieldPlaces, FollowTheirAddressesWhenTheRegionsAreShownAnew) {
  const auto region = [](uint64_t start, uint64_t end) {
    TRegion r;
    r.Start = start, r.End = end, r.Read = r.Write = true;
    return r;
  };
  using TKind = TRegionLayout::TKind;
  const TRegionLayout before({region(0x1000, 0x2000), region(0x8000, 0x9000)}, TKind::rkReadable);
  TField gold, name;
  gold.Offset = 0x1010;  // 0x8010
  name.Kind = TFieldKind::fkText, name.Length = 8, name.Offset = 0x10;  // 0x1010
  // A region mapped in front moves both; one unmapped under a field keeps all as they were.
  std::vector<TField> fields{gold, name};
  ASSERT_TRUE(PlaceFieldsAnew(fields, before, TRegionLayout({region(0x400, 0x800), region(0x1000, 0x2000),
                                                             region(0x8000, 0x9000)}, TKind::rkReadable)));
  EXPECT_EQ(fields[0].Offset, 0x1410);
  EXPECT_EQ(fields[1].Offset, 0x410);
  fields = {gold, name};
  EXPECT_FALSE(PlaceFieldsAnew(fields, before, TRegionLayout({region(0x1000, 0x2000)}, TKind::rkReadable)));
  // A field that would straddle a gap is lost too.
  fields = {name};
  fields[0].Offset = 0xFFC;
  EXPECT_FALSE(PlaceFieldsAnew(fields, before, TRegionLayout({region(0x1000, 0x2000), region(0x3000, 0x9000)}, TKind::rkReadable)));
  EXPECT_EQ(fields[0].Offset, 0xFFC);
}

using KeepGame = TempDirTest;

TEST_F(KeepGame, GoldStaysHeldWhileTheGameChangesItUntilTheGameEnds) {
  TGame game;
  const uint64_t goldAt = game.Where()["gold"];
  const TProcess process = TProcess::Attach(game.Pid());
  TProcessMemory memory(process, TProcessMemory::Shown(process.Regions()));
  const auto pos = static_cast<int64_t>(memory.PosOf(goldAt).value());
  const uint32_t held = 999;
  TValueKeeper keeper;
  keeper.Hold(memory, pos, Bytes(reinterpret_cast<const uint8_t*>(&held), reinterpret_cast<const uint8_t*>(&held) + 4));
  ASSERT_EQ(game.Ask("drift 7 20"), "drift=7 every=20ms");
  const auto gold = [&] {
    uint32_t now = 0;
    memory.ReadBytes(static_cast<uint64_t>(pos), 4, reinterpret_cast<uint8_t*>(&now));
    return now;
  };
  for (int round = 0; round < 3; ++round) {
    // The game changes the gold, the keeper puts 999 back: the game prints
    // 999 (or, when it changed it again just before, once more after the
    // next tick).
    while (gold() == held) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::string said;
    for (int tries = 0; tries < 50 && said.rfind("gold=999 ", 0) != 0; ++tries) {
      const TKeepTick tick = keeper.Tick(memory);
      EXPECT_TRUE(tick.Released.empty());
      said = game.Ask("print");
    }
    EXPECT_EQ(said, "gold=999 health=100.0 name=Ayla the Brave");
  }
  // Once the game has ended, the next write releases the hold with the
  // reason (what is read of it then is what was read last, or zeros).
  game.Kill();
  keeper.Hold(memory, pos, Bytes{1, 2, 3, 4});
  const TKeepTick last = keeper.Tick(memory);
  ASSERT_EQ(last.Released.size(), 1u);
  EXPECT_EQ(last.Released[0].Pos, pos);
  EXPECT_TRUE(keeper.Empty());
}

}  // namespace
}  // namespace byteloom::test
