// SPDX-License-Identifier: GPL-3.0-or-later
// Painting a 1920×1080 view: one full repaint, and paging through the whole
// document. The canvas takes every text the control formats but draws
// nothing, so the figures are the control's own cost.
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "bench/bench.h"
#include "bench/benchhost.h"
#include "bench/benchpair.h"
#include "control/canvas.h"
#include "control/keys.h"
#include "platform/platform.h"

namespace byteloom::bench {

namespace {

class TNullCanvas final : public TCanvas {
 public:
  uint64_t Sum = 0;  // keeps the work from being optimised away

  void SetFont(const TFont& font) override { FFont = font; }
  const TFont& Font() const override { return FFont; }
  void SetTextColor(TColor c) override { FFont.Color = c; }
  void SetBrushColor(TColor c) override { FBrush = c; }
  void SetPenColor(TColor c) override { Sum += c; }
  void TextRectOpaque(const TRect& rect, int x, int y, const std::string& text) override {
    Sum += static_cast<uint64_t>(rect.Left + x + y) + text.size() + FFont.Color + FBrush;
    if (!text.empty()) Sum += static_cast<uint8_t>(text[0]);
  }
  void FillRect(const TRect& rect) override { Sum += static_cast<uint64_t>(rect.Width()) + FBrush; }
  void FrameRect(const TRect& rect) override { Sum += static_cast<uint64_t>(rect.Left); }
  void DrawFocusRect(const TRect& rect) override { Sum += static_cast<uint64_t>(rect.Top); }
  void Line(int x1, int y1, int x2, int y2) override { Sum += static_cast<uint64_t>(x1 + y1 + x2 + y2); }

 private:
  TFont FFont;
  TColor FBrush = 0;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

constexpr TRect kView{0, 0, 1920, 1080};

void Open(THexEditor& editor, const TBenchContext& ctx) {
  if (!editor.LoadFromFile(ctx.DataFile)) throw std::runtime_error(editor.LastError());
  editor.SetClientSize(kView.Width(), kView.Height());
}

TRegister repaint("repaint", [](const TBenchContext& ctx) {
  TBenchHost host;
  THexEditor editor(host);
  Open(editor, ctx);
  editor.SetTopRow(editor.RowCount() / 2);
  TNullCanvas canvas;
  editor.Paint(kView, canvas);  // the read window is filled once, as on screen
  std::vector<double> times;
  for (int i = 0; i < 301; ++i) {
    const double t0 = Now();
    editor.Paint(kView, canvas);
    times.push_back(Now() - t0);
  }
  if (canvas.Sum == 0) throw std::runtime_error("nothing was painted");
  return Median(times);
});

// Two views of the data file (and a copy of it with a byte changed in every
// KiB), painted one after the other: unlocked, and locked side by side, where
// every painted row asks which of its bytes differ. The goal: locked at most
// 1.3 times unlocked.
double PaintPair(const TBenchContext& ctx, bool locked) {
  const std::string copy = ctx.WorkDir + "/pair.bin";
  CopyFileForBench(ctx.DataFile, copy);
  TBenchHost leftHost, rightHost;
  THexEditor left(leftHost), right(rightHost);
  Open(left, ctx);
  if (!right.LoadFromFile(copy)) throw std::runtime_error(right.LastError());
  right.SetClientSize(kView.Width(), kView.Height());
  const TBenchPair pair(left, right, locked);
  TNullCanvas canvas;
  left.Paint(kView, canvas);
  right.Paint(kView, canvas);
  std::vector<double> times;
  for (int i = 0; i < 301; ++i) {
    const double t0 = Now();
    left.Paint(kView, canvas);
    right.Paint(kView, canvas);
    times.push_back(Now() - t0);
  }
  if (canvas.Sum == 0) throw std::runtime_error("nothing was painted");
  return Median(times);
}

TRegister repaint_pair("repaint_pair", [](const TBenchContext& ctx) { return PaintPair(ctx, false); });
TRegister repaint_locked("repaint_locked", [](const TBenchContext& ctx) { return PaintPair(ctx, true); });

TRegister page("page", [](const TBenchContext& ctx) {
  TBenchHost host;
  THexEditor editor(host);
  Open(editor, ctx);
  TNullCanvas canvas;
  // The page times go into a histogram of 0.1 µs steps up to 10 ms, so the
  // memory used does not grow with the document.
  constexpr double kStep = 1e-7;
  std::vector<uint32_t> histogram(100001, 0);
  uint64_t pages = 0;
  for (;;) {
    const double t0 = Now();
    editor.Paint(kView, canvas);
    const double t = Now() - t0;
    ++histogram[std::min(static_cast<size_t>(t / kStep), histogram.size() - 1)];
    ++pages;
    const int top = editor.TopRow();
    editor.VScroll(TScrollCode::scPageDown, 0);
    if (editor.TopRow() == top) break;
  }
  if (canvas.Sum == 0) throw std::runtime_error("nothing was painted");
  uint64_t seen = 0;
  for (size_t i = 0; i < histogram.size(); ++i) {
    seen += histogram[i];
    if (2 * seen > pages) return (static_cast<double>(i) + 0.5) * kStep;
  }
  return static_cast<double>(histogram.size()) * kStep;
});

// A sparse file of 1 TiB in the work folder (no disk blocks but a few),
// removed with the returned file.
TTempFile TebibyteFile(const TBenchContext& ctx) {
  TTempFile made = TTempFile::CreateNamed(ctx.WorkDir + "/tebibyte.bin");
  made.Handle().SetSize(int64_t{1} << 40);
  const char head[] = "first bytes", tail[] = "last bytes";
  made.Handle().WriteAt(head, sizeof head, 0);
  made.Handle().WriteAt(tail, sizeof tail, (int64_t{1} << 40) - static_cast<int64_t>(sizeof tail));
  return made;
}

// Opening a 1 TiB file until its first rows are painted.
TRegister huge_open("huge_open", [](const TBenchContext& ctx) {
  const TTempFile file = TebibyteFile(ctx);
  const std::string& name = file.Name();
  const double t0 = Now();
  TBenchHost host;
  THexEditor editor(host);
  editor.Loaded();
  if (!editor.LoadFromFile(name)) throw std::runtime_error(editor.LastError());
  editor.SetClientSize(kView.Width(), kView.Height());
  TNullCanvas canvas;
  editor.Paint(kView, canvas);
  const double seconds = Now() - t0;
  if (canvas.Sum == 0) throw std::runtime_error("nothing was painted");
  return seconds;
});

// Ctrl+Home (or Ctrl+End and 300 pages back), then 300 x Page Down, each
// painted, on the 1 TiB file: the end must cost what the start costs.
double PagesOfTebibyte(const TBenchContext& ctx, bool atEnd) {
  TBenchHost host;
  THexEditor editor(host);
  editor.Loaded();
  const TTempFile file = TebibyteFile(ctx);
  if (!editor.LoadFromFile(file.Name())) throw std::runtime_error(editor.LastError());
  editor.SetClientSize(kView.Width(), kView.Height());
  TNullCanvas canvas;
  editor.Paint(kView, canvas);
  const auto key = [&](uint16_t code, TShiftState shift) {
    uint16_t k = code;
    editor.KeyDown(k, shift);
    editor.Paint(kView, canvas);
  };
  const double t0 = Now();
  key(atEnd ? VK_END : VK_HOME, ssCtrl);
  if (atEnd) editor.Seek(editor.DataSize() - 301 * editor.VisibleRowCount() * editor.BytesPerLine(), 0, true);
  for (int i = 0; i < 300; ++i) key(VK_NEXT, 0);
  const double seconds = Now() - t0;
  if (atEnd != (editor.TopRow() > editor.RowCount() / 2)) throw std::runtime_error("the pages went elsewhere");
  return seconds;
}

TRegister huge_pages_start("huge_pages_start", [](const TBenchContext& ctx) { return PagesOfTebibyte(ctx, false); });
TRegister huge_pages_end("huge_pages_end", [](const TBenchContext& ctx) { return PagesOfTebibyte(ctx, true); });

}  // namespace

}  // namespace byteloom::bench
