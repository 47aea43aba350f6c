// SPDX-License-Identifier: GPL-3.0-or-later
// The document's bytes as the control holds them: the working file, its
// length, a read window over it and the change marks.
//
// Any change of the bytes or the length goes through Changed(): it starts a
// new generation, and the length and the window, read in an older one, are
// read again when next asked for. Nobody marks them stale by hand.
#pragma once

#include <cstdint>
#include <vector>

#include "control/bits.h"
#include "platform/platform.h"

namespace byteloom {

class TDocumentStore {
 public:
  static constexpr int32_t kWindowSize = 65536;

  TDocumentStore() : FWindow(kWindowSize, 0) {}

  // The working file; open exactly while the document has data.
  TTempFile& File() { return FFile; }
  // Another file becomes the working file (the old one is closed).
  void Adopt(TTempFile&& file) {
    FFile = std::move(file);
    Changed();
    Edited();
  }
  bool IsOpen() const { return FFile.IsOpen(); }
  TFileHandle& Data() { return FFile.Handle(); }

  // The length (at most the largest document size), read once per
  // generation, and each time while a change is in progress.
  int32_t Size();
  // The length when it is known in this generation, else -1.
  int32_t KnownSize() const { return FSizeGeneration == FGeneration ? FSize : -1; }

  // Makes the window hold pos .. pos + span - 1, reading it around pos when
  // it is stale or lies elsewhere (the bytes past the end read as 0).
  void Fill(int32_t pos, int32_t span);
  // The window's first position, or -1 while it is stale.
  int32_t WindowStart() const { return FWindowGeneration == FGeneration ? FWindowStart : -1; }
  const uint8_t* Window() const { return FWindow.data(); }
  // A byte written through the control: a window that holds it keeps step.
  void Put(int32_t pos, uint8_t value);

  // The bytes or the length changed: the length and the window are stale.
  void Changed() { ++FGeneration; }
  // A change in progress: the length and the window are stale from its
  // start, and again from its end (whatever was read meanwhile may have seen
  // the bytes half changed), also when it fails.
  class TChange {
   public:
    explicit TChange(TDocumentStore& store) : FStore(store) {
      ++FStore.FChanging;
      FStore.Changed();
    }
    ~TChange() {
      --FStore.FChanging;
      FStore.Changed();
    }
    TChange(const TChange&) = delete;
    TChange& operator=(const TChange&) = delete;

   private:
    TDocumentStore& FStore;
  };
  // Counts the edits of the document: steps made, undone, redone or rolled
  // back, and other files adopted. Watchers compare it to learn that the
  // bytes may have changed (a byte typed over another keeps the generation).
  void Edited() { ++FEdits; }
  uint64_t Edits() const { return FEdits; }

  // The change marks: bit p set when byte p was changed since the last save.
  TBits& Marks() { return FMarks; }
  const TBits& Marks() const { return FMarks; }

 private:
  TTempFile FFile;
  uint64_t FGeneration = 1;
  uint64_t FEdits = 0;
  int FChanging = 0;  // changes in progress
  uint64_t FSizeGeneration = 0;
  uint64_t FWindowGeneration = 0;
  int32_t FSize = 0;
  int32_t FWindowStart = 0;
  std::vector<uint8_t> FWindow;
  TBits FMarks;
};

}  // namespace byteloom
