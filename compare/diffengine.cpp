// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/diffengine.h"

#include <algorithm>
#include <cstring>

namespace byteloom {

namespace {

// The first index in [i, end) where a and b differ, or end.
int32_t FirstMismatch(const uint8_t* a, const uint8_t* b, int32_t i, int32_t end) {
  for (; i + 8 <= end; i += 8) {
    uint64_t x, y;
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) break;
  }
  while (i < end && a[i] == b[i]) ++i;
  return i;
}

}  // namespace

void TDiffEngine::ReadPiece(int64_t from, int32_t n) {
  if (FA.size() < static_cast<size_t>(n)) {
    FA.resize(static_cast<size_t>(n));
    FB.resize(static_cast<size_t>(n));
  }
  FPieceFrom = from;
  FSpans.clear();
  const std::vector<TSegment>& segments = FAlignment.Segments();
  int32_t i = 0;
  for (size_t k = FAlignment.SegmentAt(from); i < n && k < segments.size(); ++k) {
    const TSegment& s = segments[k];
    const int64_t into = from + i - FAlignment.LaneStart(k);
    const auto m = static_cast<int32_t>(std::min<int64_t>(n - i, s.Count - into));
    if (m <= 0) continue;
    if (s.Kind == TSegment::skPaired) {
      FLeft.Read(FA.data() + i, s.Left + into, m);
      FRight.Read(FB.data() + i, s.Right + into, m);
    }
    i += m;
    FSpans.push_back({i, s.Kind == TSegment::skPaired ? kSame : s.Kind == TSegment::skRightOnly ? kInserted : kDeleted});
  }
  if (i < n) FSpans.push_back({n, kSame});  // past the end of the pair: nothing differs
  if (i < n) std::fill(FA.begin() + i, FA.begin() + n, 0), std::fill(FB.begin() + i, FB.begin() + n, 0);
}

int32_t TDiffEngine::SpanEnd(int32_t i) const {
  const auto it = std::upper_bound(FSpans.begin(), FSpans.end(), i, [](int32_t x, const TSpan& s) { return x < s.End; });
  return it == FSpans.end() ? i + 1 : it->End;
}

bool TDiffEngine::Paired(int32_t i) const {
  const auto it = std::upper_bound(FSpans.begin(), FSpans.end(), i, [](int32_t x, const TSpan& s) { return x < s.End; });
  return it == FSpans.end() || it->Kind == kSame;
}

int TDiffEngine::Kind(int32_t i) const {
  const auto it = std::upper_bound(FSpans.begin(), FSpans.end(), i, [](int32_t x, const TSpan& s) { return x < s.End; });
  if (it != FSpans.end() && it->Kind != kSame) return it->Kind;
  return FA[static_cast<size_t>(i)] != FB[static_cast<size_t>(i)] ? kDiffer : kSame;
}

void TDiffEngine::Mark(int64_t from, int32_t count, uint8_t* out) {
  if (count <= 0) return;
  const int64_t lead = std::clamp<int64_t>(-from, 0, count);  // positions before the pair
  std::fill(out, out + lead, 0);
  const auto n = static_cast<int32_t>(std::clamp<int64_t>(Last() - (from + lead), 0, count - lead));
  std::fill(out + lead + n, out + count, 0);
  if (n <= 0) return;
  ReadPiece(from + lead, n);
  int32_t i = 0;
  for (const TSpan& span : FSpans) {
    for (; i < span.End; ++i)
      out[lead + i] = static_cast<uint8_t>(span.Kind != kSame ? span.Kind : FA[static_cast<size_t>(i)] != FB[static_cast<size_t>(i)] ? kDiffer : kSame);
  }
}

std::optional<int64_t> TDiffEngine::Find(int64_t from, bool forward, int kind, bool equal) {
  const int64_t first = First(), last = Last();
  auto hit = [&](int32_t i) { return (Kind(i) == kind) == equal; };
  if (forward) {
    for (int64_t at = std::max(from, first); at < last;) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(PieceSize, last - at));
      ReadPiece(at, n);
      int32_t i = 0;
      while (i < n && !hit(i)) {
        // The common cases: a stretch of equal bytes, or a whole span of the kind passed over.
        if (kind == kSame && !equal && Paired(i))
          i = std::max(i + 1, FirstMismatch(FA.data(), FB.data(), i, SpanEnd(i)));
        else if (!equal && !Paired(i) && Kind(i) == kind)
          i = SpanEnd(i);
        else
          ++i;
      }
      if (i < n) return at + i;
      at += n;
      if (at < last && FProgress && !FProgress(at - from, last - from)) return Stop();
    }
    return std::nullopt;
  }
  for (int64_t end = std::min(from, last); end > first;) {
    const int64_t at = std::max<int64_t>(first, end - PieceSize);
    const auto n = static_cast<int32_t>(end - at);
    ReadPiece(at, n);
    for (int32_t i = n - 1; i >= 0; --i)
      if (hit(i)) return at + i;
    end = at;
    if (end > first && FProgress && !FProgress(from - end, from - first)) return Stop();
  }
  return std::nullopt;
}

std::nullopt_t TDiffEngine::Stop() {
  FStopped = true;
  return std::nullopt;
}

std::optional<int64_t> TDiffEngine::KindAt(int64_t pos) {
  if (pos < First() || pos >= Last()) return std::nullopt;
  ReadPiece(pos, 1);
  return Kind(0);
}

namespace {

// The progress of one search, forgotten when the search ends.
class TSearchProgress {
 public:
  TSearchProgress(TProgress& slot, bool& stopped, const TProgress& progress) : FSlot(slot) {
    slot = progress;
    stopped = false;
  }
  ~TSearchProgress() { FSlot = nullptr; }
  TSearchProgress(const TSearchProgress&) = delete;
  TSearchProgress& operator=(const TSearchProgress&) = delete;

 private:
  TProgress& FSlot;
};

}  // namespace

std::optional<int64_t> TDiffEngine::NextRun(int64_t pos, const TProgress& progress) {
  const TSearchProgress running(FProgress, FStopped, progress);
  int64_t from = pos + 1;
  const std::optional<int64_t> kind = KindAt(pos);
  if (kind && *kind != kSame) {
    // The run that holds pos ends first; a run of the other kind may follow at once.
    const std::optional<int64_t> end = Find(pos, true, static_cast<int>(*kind), false);
    if (!end || FStopped) return std::nullopt;
    if (KindAt(*end) != kSame) return end;
    from = *end;
  }
  return Find(from, true, kSame, false);
}

std::optional<int64_t> TDiffEngine::PreviousRun(int64_t pos, const TProgress& progress) {
  const TSearchProgress running(FProgress, FStopped, progress);
  const std::optional<int64_t> q = Find(pos, false, kSame, false);
  if (!q) return std::nullopt;
  const std::optional<int64_t> before = Find(*q, false, static_cast<int>(*KindAt(*q)), false);
  if (FStopped) return std::nullopt;
  return before ? *before + 1 : First();
}

std::optional<TDiffSummary> TDiffEngine::Summarize(int buckets, const TProgress& progress) {
  TDiffSummaryRun run(*this, buckets);
  while (!run.Complete()) {
    run.Step(PieceSize);
    if (progress && !progress(run.Done(), run.Total())) return std::nullopt;
  }
  return run.Summary();
}

TDiffSummaryRun::TDiffSummaryRun(TDiffEngine& engine, int buckets)
    : FEngine(engine), FFirst(engine.First()), FLast(engine.Last()), FNext(FFirst) {
  FSummary.Buckets.assign(static_cast<size_t>(std::max(buckets, 1)), 0);
}

void TDiffSummaryRun::Add(int64_t from, int64_t to) {
  const int64_t span = FLast - FFirst;
  const auto nb = static_cast<int64_t>(FSummary.Buckets.size());
  FSummary.Bytes += to - from;
  while (from < to) {
    const int64_t k = std::min((from - FFirst) * nb / span, nb - 1);
    const int64_t bucketEnd = FFirst + ((k + 1) * span + nb - 1) / nb;  // the first position of bucket k + 1
    const int64_t end = std::min(to, std::max(bucketEnd, from + 1));
    FSummary.Buckets[static_cast<size_t>(k)] += end - from;
    from = end;
  }
}

bool TDiffSummaryRun::Step(int64_t positions) {
  using E = TDiffEngine;
  const int64_t stop = std::min(FLast, FNext + std::max<int64_t>(positions, 1));
  while (FNext < stop) {
    const auto n = static_cast<int32_t>(std::min<int64_t>(E::PieceSize, stop - FNext));
    FEngine.ReadPiece(FNext, n);
    const uint8_t* a = FEngine.FA.data();
    const uint8_t* b = FEngine.FB.data();
    int32_t i = 0;
    for (const E::TSpan& span : FEngine.FSpans) {
      if (span.Kind != E::kSame) {
        // A stretch only one side has.
        if (FBefore != E::kInserted) ++FSummary.Runs;  // one run however the sides take turns
        (span.Kind == E::kInserted ? FSummary.Inserted : FSummary.Deleted) += span.End - i;
        Add(FNext + i, FNext + span.End);
        FBefore = E::kInserted;
        i = span.End;
        continue;
      }
      while (i < span.End) {
        // A run of differing bytes from i on, then one of equal ones.
        int32_t j = i;
        while (j < span.End && a[j] != b[j]) ++j;
        if (j > i) {
          if (FBefore != E::kDiffer) ++FSummary.Runs, ++FSummary.ChangedRuns;
          Add(FNext + i, FNext + j);
          FBefore = E::kDiffer;
          i = j;
          continue;
        }
        FBefore = E::kSame;
        i = FirstMismatch(a, b, i, span.End);
      }
    }
    FNext += n;
  }
  return Complete();
}

}  // namespace byteloom
