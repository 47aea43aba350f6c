// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing two large documents: a search for the first difference of two
// documents that differ only in their last byte (peer: cmp), and a
// compare-o-meter run over a pair with one difference per MiB (peer:
// cmp -l | wc -l). bench/run makes the second files of both pairs in the
// work folder: compare.bin and meter.bin.
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "compare/compareengine.h"
#include "compare/diffengine.h"
#include "control/documents.h"

namespace byteloom::bench {

namespace {

class TBenchDocuments final : public TDocumentList {
 public:
  int DocumentCount() const override { return static_cast<int>(Editors.size()); }
  THexEditor& DocumentEditor(int index) const override { return *Editors.at(static_cast<size_t>(index)); }
  std::string DocumentCaption(int index) const override { return std::to_string(index); }
  int ActiveDocument() const override { return 0; }
  std::vector<std::unique_ptr<THexEditor>> Editors;
};

double TimeCompare(const TBenchContext& ctx, const std::string& second, bool meter) {
  TBenchHost host;
  TBenchDocuments documents;
  for (const std::string& file : {ctx.DataFile, ctx.WorkDir + "/" + second}) {
    auto editor = std::make_unique<THexEditor>(host);
    editor->Loaded();
    if (!editor->LoadFromFile(file)) throw std::runtime_error(editor->LastError());
    documents.Editors.push_back(std::move(editor));
  }
  TCompareEngine engine;
  engine.ListDocuments(documents);
  TCompareFields fields;
  fields.File1 = "0";
  fields.File2 = "1";
  std::string warning;
  TCompareHooks hooks;
  hooks.Warning = [&warning](const std::string& text) { warning = text; };
  const double t0 = Now();
  const TCompareOutcome outcome = engine.Run(documents, fields, meter, hooks);
  const double seconds = Now() - t0;
  if (!warning.empty()) throw std::runtime_error(warning);
  const int64_t size = documents.Editors[0]->DataSize();
  if (!meter && outcome.Offset != size - 1) throw std::runtime_error("the difference was not found at the end");
  if (meter && engine.MeterBuckets[0] == 0) throw std::runtime_error("the meter counted nothing");
  return seconds;
}

// The side-by-side view's engine: the next differing run of a pair that
// differs only in its last byte (peer: cmp), and the runs and bytes of a pair
// with every 100th byte changed (peer: cmp -l | wc -l). The second file of
// the count is made here the first time (not timed) and kept for the peer.
double TimeDiff(const TBenchContext& ctx, bool count) {
  const std::string second = ctx.WorkDir + (count ? "/diff1.bin" : "/compare.bin");
  if (count && !std::ifstream(second)) {
    std::ifstream in(ctx.DataFile, std::ios::binary);
    std::ofstream out(second, std::ios::binary);
    std::vector<char> piece(100 << 14);  // a multiple of 100 bytes
    while (in.read(piece.data(), static_cast<std::streamsize>(piece.size())) || in.gcount() > 0) {
      for (std::streamsize i = 0; i < in.gcount(); i += 100) piece[static_cast<size_t>(i)] ^= 0x5A;
      out.write(piece.data(), in.gcount());
    }
  }
  TBenchHost host;
  std::vector<std::unique_ptr<THexEditor>> editors;
  for (const std::string& file : {ctx.DataFile, second}) {
    editors.push_back(std::make_unique<THexEditor>(host));
    editors.back()->Loaded();
    if (!editors.back()->LoadFromFile(file)) throw std::runtime_error(editors.back()->LastError());
  }
  TEditorSource left(*editors[0]), right(*editors[1]);
  TDiffEngine engine(left, right, 0);
  const double t0 = Now();
  if (count) {
    const std::optional<TDiffSummary> s = engine.Summarize(1024);
    if (!s || s->Bytes != (editors[0]->DataSize() + 99) / 100) throw std::runtime_error("wrong count of differing bytes");
  } else if (engine.NextRun(-1) != editors[0]->DataSize() - 1) {
    throw std::runtime_error("the difference was not found at the end");
  }
  return Now() - t0;
}

TRegister diffNext("diff_next", [](const TBenchContext& ctx) { return TimeDiff(ctx, false); });
TRegister diffCount("diff_count", [](const TBenchContext& ctx) { return TimeDiff(ctx, true); });
TRegister compare("compare", [](const TBenchContext& ctx) { return TimeCompare(ctx, "compare.bin", false); });
TRegister compareMeter("compare_meter", [](const TBenchContext& ctx) { return TimeCompare(ctx, "meter.bin", true); });

}  // namespace

}  // namespace byteloom::bench
