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

int64_t TDiffEngine::First() { return std::min<int64_t>(0, -FShift); }

int64_t TDiffEngine::Last() { return std::max<int64_t>(FLeft.Size(), FRight.Size() - FShift); }

void TDiffEngine::ReadPiece(int64_t from, int32_t n) {
  if (FA.size() < static_cast<size_t>(n)) {
    FA.resize(static_cast<size_t>(n));
    FB.resize(static_cast<size_t>(n));
  }
  FPieceFrom = from;
  // Where the left side (0 <= o < size) and the right one (0 <= o + shift < size) have bytes.
  const auto clamp = [n](int64_t i) { return static_cast<int32_t>(std::clamp<int64_t>(i, 0, n)); };
  FLeft0 = clamp(-from);
  FLeft1 = std::max(FLeft0, clamp(FLeft.Size() - from));
  FRight0 = clamp(-FShift - from);
  FRight1 = std::max(FRight0, clamp(FRight.Size() - FShift - from));
  FBoth0 = std::max(FLeft0, FRight0);
  FBoth1 = std::max(FBoth0, std::min(FLeft1, FRight1));
  const int32_t count = FBoth1 - FBoth0;
  if (count <= 0) return;
  FLeft.Read(FA.data() + FBoth0, from + FBoth0, count);
  FRight.Read(FB.data() + FBoth0, from + FBoth0 + FShift, count);
}

int TDiffEngine::Kind(int32_t i) const {
  const bool left = i >= FLeft0 && i < FLeft1, right = i >= FRight0 && i < FRight1;
  if (left != right) return kMissing;
  if (!left) return kSame;  // neither side has a byte here
  return FA[static_cast<size_t>(i)] != FB[static_cast<size_t>(i)] ? kDiffer : kSame;
}

int32_t TDiffEngine::CoverEnd(int32_t i, int32_t n) const {
  int32_t end = n;
  for (int32_t edge : {FLeft0, FLeft1, FRight0, FRight1})
    if (edge > i) end = std::min(end, edge);
  return end;
}

void TDiffEngine::Mark(int64_t from, int32_t count, uint8_t* out) {
  if (count <= 0) return;
  ReadPiece(from, count);
  // Where neither side has a byte there is no position of the pair.
  const int64_t first = First() - from, last = Last() - from;
  for (int32_t i = 0; i < count; ++i) out[i] = i >= first && i < last && Kind(i) != kSame ? 1 : 0;
}

std::optional<int64_t> TDiffEngine::Find(int64_t from, bool forward, int kind, bool equal) {
  const int64_t first = First(), last = Last();
  auto hit = [&](int32_t i) { return (Kind(i) == kind) == equal; };
  if (forward) {
    for (int64_t at = std::max(from, first); at < last;) {
      const auto n = static_cast<int32_t>(std::min<int64_t>(PieceSize, last - at));
      ReadPiece(at, n);
      int32_t i = 0;
      if (kind == kSame && !equal && FBoth0 == 0) i = FirstMismatch(FA.data(), FB.data(), 0, FBoth1);  // the common case
      for (; i < n && !hit(i); ++i) {
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
    const int32_t both0 = FEngine.FBoth0, both1 = FEngine.FBoth1;
    int32_t i = 0;
    while (i < n) {
      // A run of differing positions from i on, then one of equal ones.
      int32_t j = i;
      const int kind = FEngine.Kind(i);
      if (kind == E::kMissing) {
        j = FEngine.CoverEnd(i, n);
      } else if (kind == E::kDiffer) {
        while (j < both1 && a[j] != b[j]) ++j;
      }
      if (j > i) {
        if (FBefore != kind) ++FSummary.Runs;
        Add(FNext + i, FNext + j);
        FBefore = kind;
        i = j;
        continue;
      }
      FBefore = E::kSame;
      i = i >= both0 && i < both1 ? FirstMismatch(a, b, i, both1) : FEngine.CoverEnd(i, n);  // else neither side has bytes
    }
    FNext += n;
  }
  return Complete();
}

}  // namespace byteloom
