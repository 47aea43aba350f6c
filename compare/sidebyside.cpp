#include "compare/sidebyside.h"

#include <algorithm>

#include "control/hexeditor.h"

namespace byteloom {

TSideBySide::TSideBySide(THexEditor& left, THexEditor& right, int64_t shift)
    : FLeft(left),
      FRight(right),
      FShift(shift),
      FLeftSource(std::make_unique<TEditorSource>(left)),
      FRightSource(std::make_unique<TEditorSource>(right)),
      FEngine(std::make_unique<TDiffEngine>(*FLeftSource, *FRightSource, shift)) {}

TSideBySide::~TSideBySide() = default;

void TSideBySide::SetShift(int64_t shift) {
  FShift = shift;
  FMoved.reset();
  FEngine = std::make_unique<TDiffEngine>(*FLeftSource, *FRightSource, shift);
}

std::string TSideBySide::CaptionMark(const THexEditor& editor) const {
  const int64_t s = &editor == &FLeft ? FShift : -FShift;
  return std::string("(") + (s < 0 ? "-" : "+") + std::to_string(s < 0 ? -s : s) + ")";
}

void TSideBySide::Follow(THexEditor& moved) {
  if (FFollowing || !Holds(moved)) return;
  THexEditor& other = Other(moved);
  const int32_t size = other.DataSize();
  if (size <= 0 || moved.DataSize() <= 0) return;
  FFollowing = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{FFollowing};
  auto there = [&](int64_t pos) {
    return static_cast<int32_t>(std::clamp<int64_t>(FromLeft(other, ToLeft(moved, pos)), 0, size - 1));
  };
  const int32_t caret = moved.GetCursorPos();
  other.SetSelStart(there(caret));
  if (moved.SelCount() > 0) other.SetSelEnd(there(caret == moved.SelMin() ? moved.SelMax() : moved.SelMin()));
  const int64_t top = FromLeft(other, ToLeft(moved, int64_t{moved.TopRow()} * moved.BytesPerLine()));
  const int64_t row = top >= 0 ? top / other.BytesPerLine() : -((-top + other.BytesPerLine() - 1) / other.BytesPerLine());
  other.SetTopRow(static_cast<int>(std::clamp<int64_t>(row, 0, other.RowCount() - 1)));
}

void TSideBySide::AlignHere() { SetShift(int64_t{FRight.GetCursorPos()} - FLeft.GetCursorPos()); }

void TSideBySide::MoveBoth(int64_t pos) {
  THexEditor& lead = pos >= 0 && pos < FLeft.DataSize() ? FLeft : FRight;
  const int64_t at = std::clamp<int64_t>(FromLeft(lead, pos), 0, std::max(lead.DataSize() - 1, 0));
  if (lead.DataSize() > 0) lead.SetSelStart(static_cast<int32_t>(at));
  Follow(lead);
  FMoved = pos;
  FMovedCaret[0] = FLeft.GetCursorPos();
  FMovedCaret[1] = FRight.GetCursorPos();
}

int64_t TSideBySide::StartOf(THexEditor& from) {
  const int32_t caret = from.GetCursorPos();
  if (FMoved && caret == FMovedCaret[&from == &FLeft ? 0 : 1]) return *FMoved;
  return ToLeft(from, caret);
}

bool TSideBySide::NextDifference(THexEditor& from) {
  const std::optional<int64_t> run = FEngine->NextRun(StartOf(from));
  if (run) MoveBoth(*run);
  return run.has_value();
}

bool TSideBySide::PreviousDifference(THexEditor& from) {
  const std::optional<int64_t> run = FEngine->PreviousRun(StartOf(from));
  if (run) MoveBoth(*run);
  return run.has_value();
}

void TSideBySide::Mark(const THexEditor& editor, int32_t pos, int32_t count, uint8_t* out) {
  FEngine->Mark(ToLeft(editor, pos), count, out);
}

std::string TSideBySide::CountsText(const TDiffSummary& summary) {
  return std::to_string(summary.Runs) + (summary.Runs == 1 ? " differing run, " : " differing runs, ") +
         std::to_string(summary.Bytes) + (summary.Bytes == 1 ? " byte" : " bytes");
}

}  // namespace byteloom
