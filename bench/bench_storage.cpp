// SPDX-License-Identifier: GPL-3.0-or-later
// Opening and saving a large document.
#include <stdexcept>

#include "bench/bench.h"
#include "bench/benchhost.h"

namespace byteloom::bench {

namespace {

TRegister open("open", [](const TBenchContext& ctx) {
  TBenchHost host;
  THexEditor editor(host);
  const double t0 = Now();
  if (!editor.LoadFromFile(ctx.DataFile)) throw std::runtime_error(editor.LastError());
  return Now() - t0;
});

TRegister save("save", [](const TBenchContext& ctx) {
  const std::string file = ctx.WorkDir + "/save.bin";
  CopyFileForBench(ctx.DataFile, file);
  TBenchHost host;
  THexEditor editor(host);
  if (!editor.LoadFromFile(file)) throw std::runtime_error(editor.LastError());
  editor.WriteByte(0, static_cast<uint8_t>(editor.ReadByte(0) ^ 0xFF));
  editor.SetModified(true);
  const double t0 = Now();
  if (!editor.SaveToFile(file)) throw std::runtime_error(editor.LastError());
  return Now() - t0;
});

}  // namespace

}  // namespace byteloom::bench
