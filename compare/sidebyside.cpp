// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/sidebyside.h"

#include <algorithm>
#include <limits>

#include "control/hexeditor.h"

namespace byteloom {

namespace {

// The row of position pos, rows of line bytes from position 0 (rounded down).
int64_t RowOf(int64_t pos, int64_t line) { return pos >= 0 ? pos / line : -((-pos + line - 1) / line); }

}  // namespace

TSideBySide::TSideBySide(THexEditor& left, THexEditor& right, int64_t shift)
    : FLeft(left),
      FRight(right),
      FShift(shift),
      FLeftSource(std::make_unique<TEditorSource>(left)),
      FRightSource(std::make_unique<TEditorSource>(right)),
      FEngine(std::make_unique<TDiffEngine>(*FLeftSource, *FRightSource, shift)) {
  SpanRows();
  Remember();
}

TSideBySide::~TSideBySide() = default;

void TSideBySide::SetShift(int64_t shift) {
  FShift = shift;
  FMoved.reset();
  FEngine = std::make_unique<TDiffEngine>(*FLeftSource, *FRightSource, shift);
  SpanRows();
}

std::pair<int64_t, int64_t> TSideBySide::PairRows(const THexEditor& editor) const {
  const int64_t line = editor.BytesPerLine();
  const int64_t from = FromLeft(editor, FEngine->First()), to = FromLeft(editor, FEngine->Last());
  return {RowOf(from, line), RowOf(to + line - 1, line)};
}

void TSideBySide::SpanRows() {
  for (THexEditor* editor : {&FLeft, &FRight}) {
    const auto [first, end] = PairRows(*editor);
    editor->SetViewRows(first, end);
  }
}

std::string TSideBySide::CaptionMark(const THexEditor& editor) const {
  const int64_t s = &editor == &FLeft ? FShift : -FShift;
  return std::string("(") + (s < 0 ? "-" : "+") + std::to_string(s < 0 ? -s : s) + ")";
}

void TSideBySide::Follow(THexEditor& moved, bool caret) {
  if (FFollowing || !Holds(moved)) return;
  THexEditor& other = Other(moved);
  const int64_t size = other.DataSize();
  if (size <= 0 || moved.DataSize() <= 0) return;
  FFollowing = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{FFollowing};
  auto there = [&](int64_t pos) {
    return std::clamp<int64_t>(FromLeft(other, ToLeft(moved, pos)), 0, size - 1);
  };
  if (caret) {
    const int64_t at = moved.GetCursorPos();
    other.SetSelStart(there(at));
    if (moved.SelCount() > 0) other.SetSelEnd(there(at == moved.SelMin() ? moved.SelMax() : moved.SelMin()));
  }
  const int64_t top = FromLeft(other, ToLeft(moved, int64_t{moved.TopRow()} * moved.BytesPerLine()));
  const int64_t row = RowOf(top, other.BytesPerLine());
  other.SetTopRow(std::clamp<int64_t>(row, other.ViewFirstRow(), other.ViewEndRow() - 1));
  if (caret) {
    // A shift that is no multiple of the line starts the other view part of
    // a row earlier: a caret on the last row would sit just below it.
    const int64_t caretRow = other.GetCursorPos() / other.BytesPerLine();
    if (caretRow == int64_t{other.TopRow()} + other.VisibleRowCount()) other.SetTopRow(other.TopRow() + 1);
  }
  Remember();
}

TSideBySide::TLook TSideBySide::LookAt(THexEditor& editor) {
  return {editor.TopRow(), editor.GetCursorPos(), editor.SelMin(), editor.SelMax(), editor.SelAnchor(), editor.EditCount()};
}

void TSideBySide::Remember() {
  FSeen[0] = LookAt(FLeft);
  FSeen[1] = LookAt(FRight);
}

bool TSideBySide::Sync(const THexEditor* lead, bool alone) {
  SpanRows();  // the lengths or the line size may have changed
  const TLook now[2] = {LookAt(FLeft), LookAt(FRight)};
  const bool edited = now[0].Edits != FSeen[0].Edits || now[1].Edits != FSeen[1].Edits;
  const bool moved[2] = {!(now[0] == FSeen[0]), !(now[1] == FSeen[1])};
  const int first = lead == &FRight ? 1 : 0;
  THexEditor* sides[2] = {&FLeft, &FRight};
  if (alone) {
    // Nothing follows.
  } else if (moved[first]) {
    Follow(*sides[first], !now[first].SamePlace(FSeen[first]));
  } else if (moved[1 - first]) {
    Follow(*sides[1 - first], !now[1 - first].SamePlace(FSeen[1 - first]));
  }
  Remember();
  return edited;
}

std::pair<int64_t, int64_t> TSideBySide::Visible(const THexEditor& editor) const {
  const int64_t from = int64_t{editor.TopRow()} * editor.BytesPerLine();
  const int64_t to = from + int64_t{std::max(editor.VisibleRowCount(), 1)} * editor.BytesPerLine();
  return {ToLeft(editor, from), ToLeft(editor, to)};
}

void TSideBySide::JumpTo(int64_t pos) {
  MoveBoth(std::clamp(pos, FEngine->First(), std::max(FEngine->First(), FEngine->Last() - 1)));
}

void TSideBySide::AlignHere(THexEditor* lead) {
  SetShift(int64_t{FRight.GetCursorPos()} - FLeft.GetCursorPos());
  Follow(lead && Holds(*lead) ? *lead : FLeft);
}

void TSideBySide::MoveBoth(int64_t pos) {
  THexEditor& lead = pos >= 0 && pos < FLeft.DataSize() ? FLeft : FRight;
  const int64_t at = std::clamp<int64_t>(FromLeft(lead, pos), 0, std::max<int64_t>(lead.DataSize() - 1, 0));
  if (lead.DataSize() > 0) lead.SetSelStart(at);
  Follow(lead);
  FMoved = pos;
  FMovedCaret[0] = FLeft.GetCursorPos();
  FMovedCaret[1] = FRight.GetCursorPos();
}

int64_t TSideBySide::StartOf(THexEditor& from) {
  const int64_t caret = from.GetCursorPos();
  if (FMoved && caret == FMovedCaret[&from == &FLeft ? 0 : 1]) return *FMoved;
  return ToLeft(from, caret);
}

bool TSideBySide::NextDifference(THexEditor& from, const TProgress& progress) {
  const std::optional<int64_t> run = FEngine->NextRun(StartOf(from), progress);
  if (run) MoveBoth(*run);
  return run.has_value();
}

bool TSideBySide::PreviousDifference(THexEditor& from, const TProgress& progress) {
  const std::optional<int64_t> run = FEngine->PreviousRun(StartOf(from), progress);
  if (run) MoveBoth(*run);
  return run.has_value();
}

void TSideBySide::Mark(const THexEditor& editor, int64_t pos, int64_t count, uint8_t* out) {
  // A row's worth at a time: at most one piece of the engine.
  FEngine->Mark(ToLeft(editor, pos), static_cast<int32_t>(std::clamp<int64_t>(count, 0, TDiffEngine::PieceSize)), out);
}

std::string TSideBySide::CountsText(const TDiffSummary& summary) {
  return std::to_string(summary.Runs) + (summary.Runs == 1 ? " differing run, " : " differing runs, ") +
         std::to_string(summary.Bytes) + (summary.Bytes == 1 ? " byte" : " bytes");
}

int64_t TOverviewMap::PositionAt(int y) const {
  if (Height <= 0) return First;
  return First + (Last - First) * std::clamp(y, 0, Height - 1) / Height;
}

int TOverviewMap::RowOf(int64_t pos) const {
  if (Height <= 0 || Last <= First) return 0;
  return static_cast<int>(std::clamp<int64_t>((pos - First) * Height / (Last - First), 0, Height - 1));
}

std::vector<uint8_t> TOverviewMap::Rows(const std::vector<int64_t>& buckets) const {
  std::vector<uint8_t> rows(static_cast<size_t>(std::max(Height, 0)), 0);
  const auto nb = static_cast<int64_t>(buckets.size());
  for (int64_t k = 0; k < nb && Height > 0; ++k)
    if (buckets[static_cast<size_t>(k)] > 0) {
      // Bucket k covers the strip from k / nb to (k + 1) / nb: at least one row.
      const int64_t y0 = k * Height / nb, y1 = std::max(y0 + 1, ((k + 1) * Height + nb - 1) / nb);
      for (int64_t y = y0; y < y1 && y < Height; ++y) rows[static_cast<size_t>(y)] = 1;
    }
  return rows;
}

}  // namespace byteloom
