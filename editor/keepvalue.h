// SPDX-License-Identifier: GPL-3.0-or-later
// Keep at value: values held in a running program's memory. Each tick reads
// every held value and, where the program changed it, writes the held bytes
// back straight through the memory, without an undo step (the program's
// change is not the user's edit). A hold remembers the address it was made
// at, so that it follows its bytes when the document shows the program's
// regions anew, and is released when the program no longer has them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace byteloom {

class THexEditor;
class TLiveSource;
struct TField;

// A hold that ended by itself, and why.
struct TReleased {
  int64_t Pos = 0;
  std::string Reason;
};

// What a tick did: the places it wrote back, the holds it released.
struct TKeepTick {
  std::vector<int64_t> Rewritten;
  std::vector<TReleased> Released;
};

class TValueKeeper {
 public:
  // Holds bytes at pos of memory; holds they overlap are released (two
  // holds would write over each other each tick).
  void Hold(const TLiveSource& memory, int64_t pos, std::vector<uint8_t> bytes);
  // Whether exactly count bytes at pos are held (a field of that place).
  bool Held(int64_t pos, int64_t count) const;
  void Release(int64_t pos, int64_t count);
  void ReleaseAll() { FHolds.clear(); }
  // Releases the holds that are none of places ({pos, count}: the fields
  // left after one was removed or changed).
  void KeepOnly(const std::vector<std::pair<int64_t, int64_t>>& places);
  bool Empty() const { return FHolds.empty(); }
  size_t Count() const { return FHolds.size(); }

  // Reads every held value and writes back those the program changed. A
  // read or write the memory refuses (the program ended, the region is no
  // longer writable), or an address the memory no longer shows, releases
  // that hold with the reason.
  TKeepTick Tick(TLiveSource& memory);
  // The memory shows the program's regions anew: each hold moves to where
  // its address now lies (one that lost its bytes is released by the next
  // tick, with the reason).
  void Follow(const TLiveSource& memory);

 private:
  struct THold {
    int64_t Pos;
    uint64_t Address;
    std::vector<uint8_t> Bytes;
  };
  // Moves h to its address; false when the memory no longer has its bytes.
  static bool Place(THold& h, const TLiveSource& memory);
  std::vector<THold> FHolds;
};

// Keep at value of a field: the bytes the program has there now are held.
// Empty, or why it cannot be held (no running program's memory, a
// checksum, a field past the end).
std::string HoldField(TValueKeeper& keeper, THexEditor& editor, const TField& field);
bool FieldHeld(const TValueKeeper& keeper, const TField& field);
// Releases the holds of no field of fields (one removed or changed).
void KeepFieldHolds(TValueKeeper& keeper, const std::vector<TField>& fields);
// What to tell of the holds a tick released: "0x7FFD2A10 (gold) is no
// longer held: reason", a line each; empty when none was.
std::string ReleasedText(const TKeepTick& tick, const THexEditor& editor, const std::vector<TField>& fields);

}  // namespace byteloom
