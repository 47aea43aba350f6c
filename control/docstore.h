// SPDX-License-Identifier: GPL-3.0-or-later
// The document as the control holds it: the piece document (its bytes), the
// file it was opened from (a private snapshot or copy, or the file read in
// place and watched), a read window over it and the change marks.
//
// Any change of the bytes goes through Changed(): it starts a new
// generation, and the window, read in an older one, is read again when next
// asked for. Nobody marks it stale by hand.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "control/bits.h"
#include "document/document.h"
#include "document/openedfile.h"
#include "platform/platform.h"

namespace byteloom {

class TDocumentStore {
 public:
  static constexpr int64_t kWindowSize = 65536;

  TDocumentStore() : FDoc(std::make_unique<TDocument>()), FWindow(kWindowSize, 0) {}

  TDocument& Doc() { return *FDoc; }
  // The hook every document of the store calls before each splice.
  void SetSpliceHook(TDocument::TSpliceHook hook) {
    FHook = std::move(hook);
    FDoc->SetSpliceHook(FHook);
  }
  const TDocument& Doc() const { return *FDoc; }
  // The watcher every document of the store tells after each splice.
  void SetWatcher(TDocument::TWatcher watcher) {
    FWatcher = std::move(watcher);
    FDoc->Watch(FWatcher);
  }
  // A new document over the opened file (none: an empty document). The old
  // document, its added bytes and its file go.
  void Reset(TWatchedFile&& file);
  // A new document over live memory (a running program's); no file.
  void Reset(std::unique_ptr<TLiveSource> live);
  // The opened file (none for a new document).
  TWatchedFile& File() { return FFile; }
  const TWatchedFile& File() const { return FFile; }
  // Whether the document has storage: an opened file or added bytes.
  bool IsOpen() const { return FFile.IsOpen() || FDoc->Live() || FDoc->Source(TDocument::kAdded).Size() > 0; }

  // The length (at most the largest document size).
  int64_t Size() const;

  // Makes the window hold pos .. pos + span - 1, reading it around pos when
  // it is stale or lies elsewhere (the bytes past the end read as 0).
  void Fill(int64_t pos, int64_t span);
  // The window's first position, or -1 while it is stale.
  int64_t WindowStart() const { return FWindowGeneration == FGeneration ? FWindowStart : -1; }
  const uint8_t* Window() const { return FWindow.data(); }
  // A byte written through the control: a window that holds it keeps step.
  void Put(int64_t pos, uint8_t value);

  // The bytes changed: the window is stale.
  void Changed() { ++FGeneration; }
  // Counts the edits of the document: steps made, undone, redone or rolled
  // back, and other documents taken on. Watchers compare it to learn that
  // the bytes may have changed (a byte typed over another keeps the window).
  void Edited() { ++FEdits; }
  uint64_t Edits() const { return FEdits; }

  // The change marks: bit p set when byte p was changed since the last save.
  TBits& Marks() { return FMarks; }
  const TBits& Marks() const { return FMarks; }

 private:
  void Take(std::unique_ptr<TDocument> doc);

  std::unique_ptr<TDocument> FDoc;
  TDocument::TSpliceHook FHook;
  TDocument::TWatcher FWatcher;
  TWatchedFile FFile;
  uint64_t FGeneration = 1;
  uint64_t FEdits = 0;
  uint64_t FWindowGeneration = 0;
  int64_t FWindowStart = 0;
  std::vector<uint8_t> FWindow;
  TBits FMarks;
};

}  // namespace byteloom
