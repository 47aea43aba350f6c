// SPDX-License-Identifier: GPL-3.0-or-later
// Two open documents locked side by side along the lane of their
// alignment: bytes that face each other sit on the same row in the same
// column, and where only one side has bytes the other shows a gap. The
// alignment is one fixed shift (byte o of the left faces byte o + shift of
// the right) or the one found across insertions and deletions. Scrolling,
// the caret and the selection in one move the other to the same lane
// position; the next and previous difference move both. The difference
// engine reads both working copies; edits that insert or remove bytes
// keep the alignment in step.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compare/alignment.h"
#include "compare/diffengine.h"
#include "control/hexeditor.h"

namespace byteloom {

class TSideBySide {
 public:
  TSideBySide(THexEditor& left, THexEditor& right, int64_t shift = 0);
  TSideBySide(THexEditor& left, THexEditor& right, TAlignment alignment);
  ~TSideBySide();

  THexEditor& Left() const { return FLeft; }
  THexEditor& Right() const { return FRight; }
  bool Holds(const THexEditor& editor) const { return &editor == &FLeft || &editor == &FRight; }
  THexEditor& Other(const THexEditor& editor) const { return &editor == &FLeft ? FRight : FLeft; }
  // The shift (right position minus left position) where the left caret is.
  int64_t Shift() const;
  // One fixed shift for the whole pair.
  void SetShift(int64_t shift);
  // An alignment found across insertions and deletions (FindsInsertions).
  void SetAlignment(TAlignment alignment);
  const TAlignment& Alignment() const { return FAlignment; }
  bool FindsInsertions() const { return FFindsInsertions; }
  // What a caption adds: the shift of the other side as seen from this one,
  // "(+4)" on the left and "(-4)" on the right.
  std::string CaptionMark(const THexEditor& editor) const;
  // The side's window is going: the pair no longer touches it (nor, when
  // touch is false, even now: the window is gone already).
  void Forget(const THexEditor& editor, bool touch = true);

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
  // The lane positions editor shows: [first, end).
  std::pair<int64_t, int64_t> Visible(const THexEditor& editor) const;
  // Both carets to the lane position pos (clamped to the pair).
  void JumpTo(int64_t pos);
  // The bytes under both carets face each other, and those after them as
  // far as they are equal or the stretch of the left caret goes; the
  // alignment before and after is kept as far as it fits. The views line up, lead's (the left one's when none is given)
  // leading. False when progress stopped it (nothing changed).
  bool AlignHere(THexEditor* lead = nullptr, const TProgress& progress = {});
  // Both carets to the start of the next (previous) run of differences
  // after (before) the caret of from; false when there is none.
  bool NextDifference(THexEditor& from, const TProgress& progress = {});
  bool PreviousDifference(THexEditor& from, const TProgress& progress = {});

  // out[i]: the difference mark of lane position pos + i (for editor's rows).
  void Mark(const THexEditor& editor, int64_t pos, int64_t count, uint8_t* out);
  TDiffEngine& Engine() { return *FEngine; }
  // "N differing runs, M bytes" for a fixed shift, "N changed runs, M bytes
  // inserted, K bytes deleted" across insertions.
  static std::string CountsText(const TDiffSummary& summary, bool insertions = false);
  // The overview strip's buckets.
  static constexpr int kOverviewBuckets = 1024;

 private:
  // One side's layout along the lane.
  class TLane final : public TLaneMap {
   public:
    TLane(const TAlignment& alignment, int side) : FAlignment(alignment), FSide(side) {}
    int64_t Lanes() override { return FAlignment.Lanes(); }
    int64_t LaneOf(int64_t pos) override { return FAlignment.LaneOf(FSide, pos); }
    int64_t PosAt(int64_t lane, bool& gap) override { return FAlignment.PosAt(FSide, lane, gap); }

   private:
    const TAlignment& FAlignment;
    int FSide;
  };
  int SideOf(const THexEditor& editor) const { return &editor == &FLeft ? 0 : 1; }
  THexEditor* Side(int side) const { return FGone[side] ? nullptr : side == 0 ? &FLeft : &FRight; }
  void Attach();
  // Both views lay out the alignment as it is now.
  void Relayout();
  // The lane position of editor's caret.
  int64_t LaneOfCaret(THexEditor& editor) const { return FAlignment.LaneOf(SideOf(editor), editor.GetCursorPos()); }
  // The byte of editor at lane position lane (the one after a gap), inside the document.
  int64_t PosAt(THexEditor& editor, int64_t lane) const;
  // Both carets to the lane position pos (the side that has a byte there leads).
  void MoveBoth(int64_t pos);
  // Where the next or previous difference starts from: the caret of from,
  // or the position MoveBoth went to while that caret stays where it put it.
  int64_t StartOf(THexEditor& from);
  // How many bytes from left of the left side and right of the right side on are equal.
  std::optional<int64_t> EqualRun(int64_t left, int64_t right, const TProgress& progress);

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
  TAlignment FAlignment;
  bool FFindsInsertions = false;
  bool FGone[2] = {false, false};
  bool FSpliced = false;  // a splice changed the alignment since the last relayout
  TLane FLanes[2] = {TLane(FAlignment, 0), TLane(FAlignment, 1)};
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
