// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/sidebyside.h"

#include <algorithm>
#include <limits>

#include "control/hexeditor.h"

namespace byteloom {

TSideBySide::TSideBySide(THexEditor& left, THexEditor& right, int64_t shift)
    : TSideBySide(left, right, TAlignment::Shifted(left.DataSize(), right.DataSize(), shift)) {
  FFindsInsertions = false;
}

TSideBySide::TSideBySide(THexEditor& left, THexEditor& right, TAlignment alignment)
    : FLeft(left),
      FRight(right),
      FAlignment(std::move(alignment)),
      FFindsInsertions(true),
      FLeftSource(std::make_unique<TEditorSource>(left)),
      FRightSource(std::make_unique<TEditorSource>(right)),
      FEngine(std::make_unique<TDiffEngine>(*FLeftSource, *FRightSource, FAlignment)) {
  Attach();
  Remember();
}

TSideBySide::~TSideBySide() {
  for (int side = 0; side < 2; ++side) Forget(side == 0 ? FLeft : FRight);
}

void TSideBySide::Attach() {
  for (int side = 0; side < 2; ++side) {
    THexEditor& editor = *Side(side);
    editor.SetViewRows(0, 0);
    editor.OnSpliced = [this, side](int64_t at, int64_t removed, int64_t inserted) {
      FAlignment = FAlignment.Spliced(side, at, removed, inserted);
      FSpliced = true;
    };
    editor.SetLaneMap(&FLanes[side]);
  }
}

void TSideBySide::Forget(const THexEditor& editor, bool touch) {
  const int side = SideOf(editor);
  if (THexEditor* e = touch ? Side(side) : nullptr) {
    e->OnSpliced = nullptr;
    e->SetLaneMap(nullptr);
  }
  FGone[side] = true;
}

void TSideBySide::Relayout() {
  FMoved.reset();
  FSpliced = false;
  for (int side = 0; side < 2; ++side)
    if (THexEditor* editor = Side(side)) editor->LaneMapChanged();
}

void TSideBySide::SetShift(int64_t shift) {
  FAlignment = TAlignment::Shifted(FLeft.DataSize(), FRight.DataSize(), shift);
  FFindsInsertions = false;
  Relayout();
}

void TSideBySide::SetAlignment(TAlignment alignment) {
  FAlignment = std::move(alignment);
  FFindsInsertions = true;
  Relayout();
}

int64_t TSideBySide::Shift() const {
  const std::vector<TSegment>& segments = FAlignment.Segments();
  if (segments.empty()) return 0;
  const TSegment& s = segments[FAlignment.SegmentAt(LaneOfCaret(FLeft))];
  return s.Right - s.Left;
}

std::string TSideBySide::CaptionMark(const THexEditor& editor) const {
  const int64_t s = &editor == &FLeft ? Shift() : -Shift();
  return std::string("(") + (s < 0 ? "-" : "+") + std::to_string(s < 0 ? -s : s) + ")";
}

int64_t TSideBySide::PosAt(THexEditor& editor, int64_t lane) const {
  bool gap = false;
  return std::clamp<int64_t>(FAlignment.PosAt(SideOf(editor), lane, gap), 0, std::max<int64_t>(editor.DataSize() - 1, 0));
}

void TSideBySide::Follow(THexEditor& moved, bool caret) {
  if (FFollowing || !Holds(moved)) return;
  THexEditor& other = Other(moved);
  if (other.DataSize() <= 0 && moved.DataSize() <= 0) return;
  FFollowing = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{FFollowing};
  const int from = SideOf(moved);
  auto there = [&](int64_t pos) { return PosAt(other, FAlignment.LaneOf(from, pos)); };
  if (caret && other.DataSize() > 0) {
    const int64_t at = moved.GetCursorPos();
    other.SetSelStart(there(at));
    if (moved.SelCount() > 0) other.SetSelEnd(there(at == moved.SelMin() ? moved.SelMax() : moved.SelMin()));
  }
  // Both views show the same lane positions from the top.
  const int64_t top = int64_t{moved.TopRow()} * moved.BytesPerLine() / other.BytesPerLine();
  other.SetTopRow(std::clamp<int64_t>(top, 0, std::max<int64_t>(other.RowCount() - 1, 0)));
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
  // A side whose document was taken over whole (reloaded, reverted) says
  // nothing of where its bytes went: it faces the other at the shift of the caret.
  if (FAlignment.Size(0) != FLeft.DataSize() || FAlignment.Size(1) != FRight.DataSize()) {
    FAlignment = TAlignment::Shifted(FLeft.DataSize(), FRight.DataSize(), Shift());
    FSpliced = true;
  }
  if (FSpliced) Relayout();
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
  return {from, from + int64_t{std::max(editor.VisibleRowCount(), 1)} * editor.BytesPerLine()};
}

void TSideBySide::JumpTo(int64_t pos) { MoveBoth(std::clamp<int64_t>(pos, 0, std::max<int64_t>(FAlignment.Lanes() - 1, 0))); }

std::optional<int64_t> TSideBySide::EqualRun(int64_t left, int64_t right, const TProgress& progress) {
  const int64_t most = std::max<int64_t>(std::min(FLeft.DataSize() - left, FRight.DataSize() - right), 0);
  std::vector<uint8_t> a, b;
  int64_t done = 0;
  while (done < most) {
    const int64_t n = std::min<int64_t>(TDiffEngine::PieceSize, most - done);
    a.resize(static_cast<size_t>(n));
    b.resize(static_cast<size_t>(n));
    FLeftSource->Read(a.data(), left + done, n);
    FRightSource->Read(b.data(), right + done, n);
    const auto [pa, pb] = std::mismatch(a.begin(), a.end(), b.begin());
    done += pa - a.begin();
    if (pa != a.end()) break;
    if (progress && !progress(done, most)) return std::nullopt;
  }
  return done;
}

bool TSideBySide::AlignHere(THexEditor* lead, const TProgress& progress) {
  const int64_t left = FLeft.GetCursorPos(), right = FRight.GetCursorPos();
  const std::optional<int64_t> equal = EqualRun(left, right, progress);
  if (!equal) return false;
  // The new shift holds over the equal bytes, and at least to the end of the
  // stretch the left caret was in.
  int64_t count = *equal;
  if (!FAlignment.Segments().empty()) {
    const TSegment& s = FAlignment.Segments()[FAlignment.SegmentAt(LaneOfCaret(FLeft))];
    if (s.LeftCount() > 0) count = std::max(count, s.Left + s.Count - left);
  }
  FAlignment = FAlignment.Realigned(left, right, count);
  Relayout();
  Follow(lead && Holds(*lead) ? *lead : FLeft);
  return true;
}

void TSideBySide::MoveBoth(int64_t pos) {
  bool gap = false;
  FAlignment.PosAt(0, pos, gap);
  THexEditor& lead = !gap && FLeft.DataSize() > 0 ? FLeft : FRight;
  if (lead.DataSize() > 0) lead.SetSelStart(PosAt(lead, pos));
  Follow(lead);
  FMoved = pos;
  FMovedCaret[0] = FLeft.GetCursorPos();
  FMovedCaret[1] = FRight.GetCursorPos();
}

int64_t TSideBySide::StartOf(THexEditor& from) {
  const int64_t caret = from.GetCursorPos();
  if (FMoved && caret == FMovedCaret[SideOf(from)]) return *FMoved;
  return LaneOfCaret(from);
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

void TSideBySide::Mark(const THexEditor& /*editor*/, int64_t pos, int64_t count, uint8_t* out) {
  // A row's worth at a time: at most one piece of the engine.
  const auto n = static_cast<int32_t>(std::clamp<int64_t>(count, 0, TDiffEngine::PieceSize));
  FEngine->Mark(pos, n, out);
  for (int32_t i = 0; i < n; ++i)
    out[i] = out[i] == TDiffEngine::kSame ? 0 : out[i] == TDiffEngine::kDiffer ? THexEditor::kDiffers : THexEditor::kOneSided;
}

std::string TSideBySide::CountsText(const TDiffSummary& summary, bool insertions) {
  const auto bytes = [](int64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); };
  if (insertions)
    return std::to_string(summary.ChangedRuns) + (summary.ChangedRuns == 1 ? " changed run, " : " changed runs, ") +
           bytes(summary.Inserted) + " inserted, " + bytes(summary.Deleted) + " deleted";
  return std::to_string(summary.Runs) + (summary.Runs == 1 ? " differing run, " : " differing runs, ") +
         bytes(summary.Bytes);
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
