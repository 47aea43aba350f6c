// SPDX-License-Identifier: GPL-3.0-or-later
// Replace all and Copy on a 64 MiB document made of the data file's first
// 64 MiB (bench/run gives sed the same bytes): every "A" replaced by "B"
// (about 262,000 matches in random data) and by "BB"; and the clipboard's
// bytes and text of a 64 MiB selection.
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "editor/clipdata.h"
#include "editor/findexpr.h"
#include "platform/codepages.h"

namespace byteloom::bench {

namespace {

constexpr int64_t kDocument = int64_t{64} << 20;

// The first 64 MiB of the data file as a file of the run; with noZeros,
// zero bytes become 1, so that the clipboard text runs to the end.
std::string MakeDocument(const TBenchContext& ctx, const std::string& name, bool noZeros) {
  const std::string file = ctx.WorkDir + "/" + name;
  TFileHandle in = OpenRegularForReading(ctx.DataFile);
  if (in.Size() < kDocument) throw std::runtime_error("the data file is smaller than 64 MiB");
  TTempFile scratch = TTempFile::Create(ctx.WorkDir + "/", ".tmp");
  std::vector<uint8_t> buf(1 << 20);
  for (int64_t pos = 0; pos < kDocument; pos += static_cast<int64_t>(buf.size())) {
    in.ReadExact(buf.data(), static_cast<int64_t>(buf.size()), pos);
    if (noZeros)
      for (auto& b : buf) b = b ? b : 1;
    scratch.Handle().WriteAt(buf.data(), static_cast<int64_t>(buf.size()), pos);
  }
  CopyFileForBench(scratch.Name(), file);
  return file;
}

double TimeReplaceAll(const TBenchContext& ctx, const std::string& by) {
  const std::string file = MakeDocument(ctx, "edit.bin", false);
  TBenchHost host;
  THexEditor editor(host);
  editor.Loaded();
  if (!editor.LoadFromFile(file)) throw std::runtime_error(editor.LastError());
  TSearchState state;
  const double t0 = Now();
  const TSearchResult r = ReplaceCommand(state, editor, "41", by, true);
  const double seconds = Now() - t0;
  if (r.Outcome != TSearchOutcome::soReplacedAll || r.Count < 200000)
    throw std::runtime_error("unexpected result: " + SearchMessage(r));
  if (editor.DataSize() != kDocument + static_cast<int64_t>(r.Count) * (static_cast<int64_t>(by.size()) - 1))
    throw std::runtime_error("the document has the wrong length");
  return seconds;
}

TRegister replaceAll("replace_all", [](const TBenchContext& ctx) { return TimeReplaceAll(ctx, "B"); });
TRegister replaceAllGrow("replace_all_grow", [](const TBenchContext& ctx) { return TimeReplaceAll(ctx, "BB"); });

TRegister copy64m("copy_64m", [](const TBenchContext& ctx) {
  const std::string file = MakeDocument(ctx, "edit.bin", true);
  TBenchHost host;
  THexEditor editor(host);
  editor.Loaded();
  if (!editor.LoadFromFile(file)) throw std::runtime_error(editor.LastError());
  editor.SetSelStart(0);
  editor.SetSelEnd(editor.DataSize() - 1);
  const double t0 = Now();
  const TClipRange range = ClipRange(editor);
  auto bytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(range.Count));
  ReadClipRange(editor, range, bytes.get());
  const size_t length = ClipTextLength(bytes.get(), static_cast<size_t>(range.Count));
  auto text = std::make_unique_for_overwrite<char16_t[]>(length);
  FillClipText(bytes.get(), static_cast<size_t>(range.Count), text.get());
  const double seconds = Now() - t0;
  if (length != static_cast<size_t>(kDocument)) throw std::runtime_error("the text is cut short");
  return seconds;
});

}  // namespace

}  // namespace byteloom::bench
