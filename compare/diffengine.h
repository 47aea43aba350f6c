// SPDX-License-Identifier: GPL-3.0-or-later
// Two documents side by side along the lane of their alignment: at each
// lane position both sides have the same byte, different bytes, or only
// one side has a byte (inserted on the right, deleted from the left). The
// engine answers per range of lane positions (for the rows on screen),
// finds the next and the previous run of differences from a position, and
// sums up the differences of the whole pair (runs, bytes, and how they
// spread over a fixed number of buckets) in one pass of bounded memory.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "compare/alignment.h"
#include "control/bytesource.h"
#include "platform/progress.h"

namespace byteloom {

struct TDiffSummary {
  // Differing runs: a stretch of differing bytes counts once, and so does a
  // stretch only one side has.
  int64_t Runs = 0;
  int64_t Bytes = 0;  // differing positions
  int64_t ChangedRuns = 0;  // runs of different bytes on both sides
  int64_t Inserted = 0, Deleted = 0;  // bytes only the right (the left) side has
  // Differing positions per bucket: bucket k of n holds the positions o
  // with (o - First()) * n / span rounded down equal to k.
  std::vector<int64_t> Buckets;
};

class TDiffEngine {
 public:
  // Bytes read from each side per piece.
  static inline int32_t PieceSize = 1 << 18;

  // The alignment must outlive the engine.
  TDiffEngine(TByteSource& left, TByteSource& right, const TAlignment& alignment)
      : FLeft(left), FRight(right), FAlignment(alignment) {}
  // One fixed shift: left byte o faces right byte o + shift.
  TDiffEngine(TByteSource& left, TByteSource& right, int64_t shift)
      : FLeft(left), FRight(right), FShifted(TAlignment::Shifted(left.Size(), right.Size(), shift)), FAlignment(FShifted) {}

  // The positions of the pair: First() <= o < Last() (lane positions).
  int64_t First() const { return 0; }
  int64_t Last() const { return FAlignment.Lanes(); }

  // The kinds of positions: both sides have the same byte, different
  // bytes, or only one side has a byte. A run is a stretch of one kind
  // other than the first.
  static constexpr int kSame = 0, kDiffer = 1, kInserted = 2, kDeleted = 3;
  // Sets out[i] to the kind of position from + i (count of them); kSame
  // outside the pair's positions.
  void Mark(int64_t from, int32_t count, uint8_t* out);
  // The start of the first differing run after pos (a run that holds pos
  // does not count), or nothing. progress follows the search with the
  // positions passed and the positions to go through; when it stops the
  // search, the result is nothing and Stopped() is true.
  std::optional<int64_t> NextRun(int64_t pos, const TProgress& progress = {});
  // The start of the last differing run that starts before pos, or nothing.
  std::optional<int64_t> PreviousRun(int64_t pos, const TProgress& progress = {});
  // Whether the last NextRun or PreviousRun was stopped by its progress.
  bool Stopped() const { return FStopped; }
  // Runs, bytes and buckets of the whole pair; nothing when cancelled.
  std::optional<TDiffSummary> Summarize(int buckets, const TProgress& progress = {});

 private:
  friend class TDiffSummaryRun;
  // The first position >= from (or the last < from, backward) whose kind is
  // (equal true) or is not kind; nothing when there is none.
  std::optional<int64_t> Find(int64_t from, bool forward, int kind, bool equal);
  std::optional<int64_t> KindAt(int64_t pos);
  // Reads the piece [from, from + n) of both sides; FSpans says which part
  // of it each segment covers.
  void ReadPiece(int64_t from, int32_t n);
  std::nullopt_t Stop();  // a search stopped by its progress
  // The kind of piece index i (after ReadPiece).
  int Kind(int32_t i) const;
  // The end of the span of the piece that holds index i.
  int32_t SpanEnd(int32_t i) const;
  // Whether index i lies where both sides have bytes.
  bool Paired(int32_t i) const;

  TByteSource& FLeft;
  TByteSource& FRight;
  TAlignment FShifted;  // of a fixed shift
  const TAlignment& FAlignment;
  std::vector<uint8_t> FA, FB;
  int64_t FPieceFrom = 0;
  TProgress FProgress;  // of the running NextRun or PreviousRun
  bool FStopped = false;
  // The piece in stretches of one segment each: where they end and what kind
  // (kSame for both sides, kInserted, kDeleted).
  struct TSpan {
    int32_t End;
    int Kind;
  };
  std::vector<TSpan> FSpans;
};

// The summary of a pair in slices, so that the window that shows it stays
// responsive: each Step reads the next positions and adds what it finds.
// The pair's span is taken at the start; a side that changes length later
// is read as it is then (a changed pair wants a new run).
class TDiffSummaryRun {
 public:
  TDiffSummaryRun(TDiffEngine& engine, int buckets);
  // Reads the next slice, at most `positions` positions in pieces of the
  // engine's piece size; true once the run is complete.
  bool Step(int64_t positions);
  bool Complete() const { return FNext >= FLast; }
  int64_t Done() const { return FNext - FFirst; }
  int64_t Total() const { return FLast - FFirst; }
  const TDiffSummary& Summary() const { return FSummary; }

 private:
  // Adds the differing positions [from, to) to the buckets they fall in.
  void Add(int64_t from, int64_t to);

  TDiffEngine& FEngine;
  TDiffSummary FSummary;
  int64_t FFirst, FLast, FNext;
  int FBefore = TDiffEngine::kSame;  // the kind of the position before FNext
};

}  // namespace byteloom
