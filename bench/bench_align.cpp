// SPDX-License-Identifier: GPL-3.0-or-later
// Lining up two large documents: the data file against a copy with 1,000
// insertions and deletions planted (align.bin, made by bench/run; peer:
// xdelta3 -e on the same pair), and against a copy whose last byte differs
// (compare.bin), timed beside the fixed-shift summary of the same pair
// (align_same; its peer figure is that summary's time).
#include <cstdio>
#include <stdexcept>

#include "bench/bench.h"
#include "compare/aligner.h"
#include "compare/diffengine.h"

namespace byteloom::bench {

namespace {

double TimeAlign(const TBenchContext& ctx, const std::string& second) {
  TFileSource left(ctx.DataFile), right(ctx.WorkDir + "/" + second);
  const double t0 = Now();
  const std::optional<TAlignment> a = AlignPair(left, right);
  const double seconds = Now() - t0;
  if (!a || a->Size(0) != left.Size() || a->Size(1) != right.Size()) throw std::runtime_error("no alignment");
  return seconds;
}

TRegister align("align", [](const TBenchContext& ctx) { return TimeAlign(ctx, "align.bin"); });
TRegister alignSame("align_same", [](const TBenchContext& ctx) {
  const double ours = TimeAlign(ctx, "compare.bin");
  TFileSource left(ctx.DataFile), right(ctx.WorkDir + "/compare.bin");
  const double t0 = Now();
  if (!TDiffEngine(left, right, 0).Summarize(1024)) throw std::runtime_error("no summary");
  std::fprintf(stdout, "peer_s=%.6f ", Now() - t0);
  return ours;
});

}  // namespace

}  // namespace byteloom::bench
