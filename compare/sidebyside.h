// SPDX-License-Identifier: GPL-3.0-or-later
// Two open documents locked side by side: byte o of the left one faces byte
// o + shift of the right one. Scrolling, the caret and the selection in one
// move the other to the same offset plus the shift; the next and previous
// difference move both. The difference engine reads both working copies.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compare/diffengine.h"

namespace byteloom {

class THexEditor;

class TSideBySide {
 public:
  TSideBySide(THexEditor& left, THexEditor& right, int64_t shift = 0);
  ~TSideBySide();

  THexEditor& Left() const { return FLeft; }
  THexEditor& Right() const { return FRight; }
  bool Holds(const THexEditor& editor) const { return &editor == &FLeft || &editor == &FRight; }
  THexEditor& Other(const THexEditor& editor) const { return &editor == &FLeft ? FRight : FLeft; }
  int64_t Shift() const { return FShift; }
  void SetShift(int64_t shift);
  // What a caption adds: the shift of the other side as seen from this one,
  // "(+4)" on the left and "(-4)" on the right.
  std::string CaptionMark(const THexEditor& editor) const;

  // The view, caret or selection of moved changed: the other side follows,
  // its caret and selection too unless caret is false. Calls that come
  // back from the other side while it follows are ignored.
  void Follow(THexEditor& moved, bool caret = true);
  // After events on either side: the side whose view, caret or selection
  // changed since the last look is followed by the other (lead first when
  // both changed), in what changed: a view that only scrolled leaves the
  // other caret where it is. Alone: the other side stays as it is (one
  // caret is put on a byte of its own, to align the pair there). True when
  // either document was edited meanwhile.
  bool Sync(const THexEditor* lead = nullptr, bool alone = false);
  // The positions editor shows, in left coordinates: [first, end).
  std::pair<int64_t, int64_t> Visible(const THexEditor& editor) const;
  // Both carets to the left position pos (clamped to the pair).
  void JumpTo(int64_t pos);
  // Sets the shift so that the bytes under both carets line up, and lines
  // up the views, lead's (the left one's when none is given) leading.
  void AlignHere(THexEditor* lead = nullptr);
  // Each side's view rows (SetViewRows) cover the rows of the other side
  // at the shift, so that a side can scroll along with a longer one.
  void SpanRows();
  // The view rows of editor that cover the pair (in its own rows).
  std::pair<int64_t, int64_t> PairRows(const THexEditor& editor) const;
  // Both carets to the start of the next (previous) differing run after
  // (before) the caret of from; false when there is none.
  bool NextDifference(THexEditor& from, const TProgress& progress = {});
  bool PreviousDifference(THexEditor& from, const TProgress& progress = {});

  // out[i] = 1 where byte pos + i of editor differs from the other side.
  void Mark(const THexEditor& editor, int64_t pos, int64_t count, uint8_t* out);
  TDiffEngine& Engine() { return *FEngine; }
  // "N differing runs, M bytes".
  static std::string CountsText(const TDiffSummary& summary);
  // The overview strip's buckets.
  static constexpr int kOverviewBuckets = 1024;

 private:
  // Left coordinates of a position of editor, and back.
  int64_t ToLeft(const THexEditor& editor, int64_t pos) const { return &editor == &FLeft ? pos : pos - FShift; }
  int64_t FromLeft(const THexEditor& editor, int64_t pos) const { return &editor == &FLeft ? pos : pos + FShift; }
  // Both carets to the left position pos (the side that holds it leads).
  void MoveBoth(int64_t pos);
  // Where the next or previous difference starts from: the caret of from,
  // or the position MoveBoth went to while that caret stays where it put it
  // (a side shorter than the position keeps its caret on its last byte).
  int64_t StartOf(THexEditor& from);

  // What Sync compares: the view, caret, selection and edits of one side.
  struct TLook {
    int64_t Top = -1;
    int64_t Caret = -1, SelMin = -1, SelMax = -1, Anchor = -1;
    uint64_t Edits = 0;
    bool operator==(const TLook&) const = default;
    // The same caret, selection and edits (the view may differ).
    bool SamePlace(const TLook& o) const {
      return Caret == o.Caret && SelMin == o.SelMin && SelMax == o.SelMax && Anchor == o.Anchor && Edits == o.Edits;
    }
  };
  static TLook LookAt(THexEditor& editor);
  void Remember();

  THexEditor& FLeft;
  THexEditor& FRight;
  TLook FSeen[2];
  int64_t FShift;
  std::unique_ptr<TByteSource> FLeftSource, FRightSource;
  std::unique_ptr<TDiffEngine> FEngine;
  bool FFollowing = false;
  std::optional<int64_t> FMoved;  // the last position of MoveBoth
  int64_t FMovedCaret[2] = {-1, -1};  // where it put the left and the right caret
};

// The overview strip of a locked pair: `height` pixel rows stand for the
// positions first..last (left coordinates), top to bottom.
struct TOverviewMap {
  int64_t First = 0, Last = 0;
  int Height = 0;
  // The first position pixel row y stands for (y clamped to the strip).
  int64_t PositionAt(int y) const;
  // The pixel row that shows pos (clamped to the strip).
  int RowOf(int64_t pos) const;
  // Which pixel rows show a difference: those whose buckets count any.
  std::vector<uint8_t> Rows(const std::vector<int64_t>& buckets) const;
};

}  // namespace byteloom
