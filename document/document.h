// SPDX-License-Identifier: GPL-3.0-or-later
// A document: a sequence of pieces over its sources (the opened file, the
// added bytes, zeros), toolkit-free and without a view. Positions are 64-bit:
// bytes as int64_t, nibbles as uint64_t (nibble 2p is the high half of byte
// p). There is one mutation, Splice; the byte-level edits, undo and redo are
// all made of splices, and each splice tells the watchers once.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>
#include <memory>
#include <stdexcept>
#include <vector>

#include "document/piecetree.h"
#include "document/sources.h"
#include "platform/platform.h"
#include "platform/progress.h"

namespace byteloom {

// One splice as undo keeps it: the Length nibbles at At are what the splice
// put there, Pieces what it took away. Applying it again (Splice(At, Length,
// Pieces)) takes the splice back and yields the splice that redoes it.
struct TSplice {
  uint64_t At = 0;
  uint64_t Length = 0;
  std::vector<TPiece> Pieces;
  // In a document over live memory: copies of the bytes the splice wrote,
  // to tell at undo whether the memory changed meanwhile.
  std::vector<TPiece> Written;
};

// Raised for an edit that would change the length of a document over live
// memory (nothing changed).
class EFixedLength : public std::runtime_error {
 public:
  EFixedLength() : std::runtime_error("A running program's memory has a fixed length") {}
};

// The splices of one edit, oldest first. TDocument::Undo and Redo turn it
// into the step that takes their own work back; it holds pieces, never
// copies of bytes.
struct TEditStep {
  std::vector<TSplice> Splices;
  bool Empty() const { return Splices.empty(); }
};

class TDocument {
 public:
  // The numbers of the built-in sources in TPiece::Source.
  static constexpr uint8_t kZeros = 0, kAdded = 1, kFile = 2;

  // A new, empty document.
  TDocument();
  // The bytes of an open file (its size as it is now); the handle stays
  // open until the document goes.
  explicit TDocument(TFileHandle file);
  // The bytes of live memory (a running program's): every splice keeps the
  // length, writes its bytes through and keeps copies of the bytes it wrote
  // over, so that undo writes them back; a splice that would change the
  // length raises EFixedLength.
  explicit TDocument(std::unique_ptr<TLiveSource> live);
  bool Live() const { return FLive != nullptr; }
  TLiveSource* LiveSource() const { return FLive; }
  // Whether an undo or redo since the last call found bytes that the
  // program had changed after the edit wrote them (it wrote them anyway).
  bool TakeChangedMeanwhile() { return std::exchange(FChangedMeanwhile, false); }
  TDocument(const TDocument&) = delete;
  TDocument& operator=(const TDocument&) = delete;

  uint64_t Length() const { return FTree.Length(); }
  int64_t Size() const { return static_cast<int64_t>(FTree.Length() / 2); }
  const TPieceTree& Pieces() const { return FTree; }
  // The source a piece's number stands for (std::out_of_range if none).
  const TPieceSource& Source(uint8_t number) const;
  // Adds a source of a further kind; returns its number.
  uint8_t AddSource(std::unique_ptr<TPieceSource> source);

  // Fills dest with the bytes [pos, pos + count): stretches of a file at
  // byte offsets are read straight into dest, shifted pieces go through a
  // buffer, zeros are filled in. Raises std::out_of_range for a range
  // outside the document, EFileError when a source cannot be read.
  void Read(int64_t pos, int64_t count, uint8_t* dest) const;
  // How many of the bytes from pos on (up to limit) are known to be zeros
  // without reading them: zero pieces and the holes of a sparse file.
  int64_t KnownZeros(int64_t pos, int64_t limit) const;

  // Stores count bytes in the added file and returns their piece. A full
  // disk raises EFileError and leaves everything as it was.
  TPiece Add(const uint8_t* data, int64_t count);
  static TPiece Zeros(uint64_t nibbles) { return {kZeros, 0, nibbles}; }
  // Makes sure count more bytes can be added without running out of space.
  // Raises EFileError (nothing changed).
  void ReserveAdded(int64_t count);

  // The one mutation: the nibbles [at, at + removed) become the inserted
  // pieces. Returns the splice that takes it back. Raises std::out_of_range
  // (nothing changed) for a range beyond the end.
  TSplice Splice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted);

  // Called once after each splice with its position and the nibbles it
  // removed and inserted. Watchers must not throw.
  using TWatcher = std::function<void(uint64_t at, uint64_t removed, uint64_t inserted)>;
  int Watch(TWatcher watcher);
  void Unwatch(int id);
  // Called before each splice of the bytes with what it will do (the
  // document's journal writes it down there). A hook that raises refuses
  // the splice: nothing changes, and an edit of several splices takes back
  // those it made already (without asking the hook again).
  using TSpliceHook = std::function<void(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted)>;
  void SetSpliceHook(TSpliceHook hook) { FHook = std::move(hook); }
  // Makes a source of added bytes that holds nothing yet start its file
  // (so that a journal can name it); returns the file.
  const TFileHandle& AddedFile();
  // Removes the added-bytes file again while it holds nothing.
  void CloseAddedIfEmpty() noexcept;

  // Byte-level edits; each returns the step that takes it back. Ranges are
  // checked (std::out_of_range, nothing changed); bytes to store that do not
  // fit on the disk raise EFileError, nothing changed.
  TEditStep Replace(int64_t pos, int64_t count, const uint8_t* data, int64_t dataCount);
  // The count bytes at pos become the pieces (of bytes added before).
  TEditStep Put(int64_t pos, int64_t count, const std::vector<TPiece>& pieces);
  TEditStep Insert(int64_t pos, const uint8_t* data, int64_t count) { return Replace(pos, 0, data, count); }
  TEditStep Delete(int64_t pos, int64_t count) { return Replace(pos, count, nullptr, 0); }
  TEditStep Append(const uint8_t* data, int64_t count) { return Replace(Size(), 0, data, count); }
  TEditStep OverwriteByte(int64_t pos, uint8_t value) { return Replace(pos, 1, &value, 1); }
  // Inserts a zero nibble as the high (highHalf) or low half of byte pos;
  // the rest moves by half a byte and the document grows by one byte whose
  // low half is 0. On an empty document it appends one zero byte. A
  // position outside the document gives an empty step (nothing done).
  TEditStep InsertNibble(int64_t pos, bool highHalf);
  // Removes the high or low half of byte pos; the rest moves back by half a
  // byte and a zero nibble ends the document, whose length stays.
  TEditStep DeleteNibble(int64_t pos, bool highHalf);

  // Takes a step back (its splices newest first) / makes it again (oldest
  // first); either way the step then holds what takes that back.
  void Undo(TEditStep& step);
  void Redo(TEditStep& step);

  // Writes the document to out from offset 0 (a new, empty file): file
  // stretches at byte offsets by kernel copies (so file systems that share
  // extents can share them), zeros as holes, the rest through a buffer.
  // progress(done, total) in bytes; false from it stops the writing and
  // WriteTo returns false. Raises EFileError.
  bool WriteTo(TFileHandle& out, const TProgress& progress = {}) const;

 private:
  // Rewrites the small pieces around nibble at as one piece of added bytes
  // when they are many: the same bytes, so no watcher and no undo step.
  void Consolidate(uint64_t at);
  // Splices once more for step; a refusal takes the step's splices back.
  void Continue(TEditStep& step, uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted);
  void TakeBack(TEditStep& step) noexcept;
  void ReadPiece(const TPiece& piece, uint8_t* dest, uint64_t destNibble, std::vector<uint8_t>& buffer) const;
  // A splice of live memory; expected: what the splice that this one takes
  // back wrote (nullptr: nothing to compare).
  TSplice LiveSplice(uint64_t at, uint64_t removed, const std::vector<TPiece>& inserted,
                     const std::vector<TPiece>* expected = nullptr);
  TSplice Again(const TSplice& s) { return FLive ? LiveSplice(s.At, s.Length, s.Pieces, &s.Written) : Splice(s.At, s.Length, s.Pieces); }

  std::vector<std::unique_ptr<TPieceSource>> FSources;
  TAddedBytes* FAdded;
  TLiveSource* FLive = nullptr;
  bool FChangedMeanwhile = false;
  TPieceTree FTree;
  std::vector<std::pair<int, TWatcher>> FWatchers;
  int FNextWatcher = 0;
  TSpliceHook FHook;
};

}  // namespace byteloom
