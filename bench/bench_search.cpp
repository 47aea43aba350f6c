// SPDX-License-Identifier: GPL-3.0-or-later
// Searching a large document for a pattern that is not in it.
#include <cstring>
#include <stdexcept>

#include "bench/bench.h"
#include "bench/benchhost.h"

namespace byteloom::bench {

namespace {

// bench/run gives grep the same 15 bytes.
constexpr char kAbsent[] = "Byteloom-absent";

double TimeFind(const TBenchContext& ctx, bool ignoreCase) {
  TBenchHost host;
  THexEditor editor(host);
  if (!editor.LoadFromFile(ctx.DataFile)) throw std::runtime_error(editor.LastError());
  uint8_t pattern[sizeof kAbsent - 1];
  std::memcpy(pattern, kAbsent, sizeof pattern);
  const double t0 = Now();
  const int32_t found =
      editor.Find(pattern, static_cast<int32_t>(sizeof pattern), false, ignoreCase, editor.DataSize() - 1, 0);
  const double seconds = Now() - t0;
  if (found != -1) throw std::runtime_error("the absent pattern was found at " + std::to_string(found));
  return seconds;
}

TRegister find("find", [](const TBenchContext& ctx) { return TimeFind(ctx, false); });
TRegister findIcase("find_icase", [](const TBenchContext& ctx) { return TimeFind(ctx, true); });

}  // namespace

}  // namespace byteloom::bench
