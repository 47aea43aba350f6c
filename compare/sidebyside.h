// Two open documents locked side by side: byte o of the left one faces byte
// o + shift of the right one. Scrolling, the caret and the selection in one
// move the other to the same offset plus the shift; the next and previous
// difference move both. The difference engine reads both working copies.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

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

  // The view, caret or selection of moved changed: the other side follows.
  // Calls that come back from the other side while it follows are ignored.
  void Follow(THexEditor& moved);
  // Sets the shift so that the bytes under both carets line up.
  void AlignHere();
  // Both carets to the start of the next (previous) differing run after
  // (before) the caret of from; false when there is none.
  bool NextDifference(THexEditor& from);
  bool PreviousDifference(THexEditor& from);

  // out[i] = 1 where byte pos + i of editor differs from the other side.
  void Mark(const THexEditor& editor, int32_t pos, int32_t count, uint8_t* out);
  TDiffEngine& Engine() { return *FEngine; }
  // "N differing runs, M bytes".
  static std::string CountsText(const TDiffSummary& summary);

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

  THexEditor& FLeft;
  THexEditor& FRight;
  int64_t FShift;
  std::unique_ptr<TByteSource> FLeftSource, FRightSource;
  std::unique_ptr<TDiffEngine> FEngine;
  bool FFollowing = false;
  std::optional<int64_t> FMoved;  // the last position of MoveBoth
  int32_t FMovedCaret[2] = {-1, -1};  // where it put the left and the right caret
};

}  // namespace byteloom
