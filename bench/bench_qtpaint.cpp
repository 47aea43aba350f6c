// SPDX-License-Identifier: GPL-3.0-or-later
// The control on screen (Qt layer, offscreen platform): a 1600×1000 widget
// on the 64 MiB document bench/run makes, set up as the editor window sets
// it up. Each figure is the time of one step, the paint it causes included:
// a full repaint, a Down key with the caret on the last row (the view
// scrolls one row), a Page Down key; and two 800×1000 views repainted
// unlocked and locked side by side (the goal: locked at most 1.3 times).
#ifdef BYTELOOM_BENCH_UI
#include <QApplication>
#include <QKeyEvent>

#include <memory>
#include <stdexcept>
#include <string>

#include "bench/bench.h"
#include "bench/benchpair.h"
#include "control/canvas.h"
#include "ui/qhexeditor.h"

namespace byteloom::bench {

namespace {

constexpr int kSteps = 3000;

// Counts the paints of the widget's view.
class TPaintCounter final : public QObject {
 public:
  int Count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Count;
    return false;
  }
};

struct TScreen {
  explicit TScreen(const TBenchContext& ctx) {
    static int argc = 1;
    static char name[] = "byteloom_bench";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
    widget = Open(ctx.WorkDir + "/data64.bin", 1600);
    widget->activateWindow();
    widget->setFocus();
    Settle();
  }
  // A view of file, width × 1000, set up as the editor window sets it up.
  std::unique_ptr<HexEditorWidget> Open(const std::string& file, int width) {
    auto view = std::make_unique<HexEditorWidget>();
    view->setFrameShape(QFrame::NoFrame);
    THexEditor& ed = view->Editor();
    ed.SetBytesPerColumn(2);
    ed.Font().Name = "Courier";
    ed.Font().Height = -13;
    ed.Font().Size = FontSizeFromHeight(-13);
    ed.AdjustMetrics();
    if (!ed.LoadFromFile(file)) throw std::runtime_error(ed.LastError());
    view->resize(width, 1000);
    view->show();
    view->viewport()->installEventFilter(&paints);
    return view;
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  }
  void Key(Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget.get(), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(widget.get(), &release);
    QCoreApplication::processEvents();
  }
  // Seconds per step of kSteps steps; each must paint.
  template <typename F>
  double PerStep(F step) {
    const int before = paints.Count;
    const double t0 = Now();
    for (int i = 0; i < kSteps; ++i) step();
    const double seconds = (Now() - t0) / kSteps;
    if (paints.Count - before < kSteps) throw std::runtime_error("the steps did not all paint");
    return seconds;
  }

  std::unique_ptr<QApplication> app;
  std::unique_ptr<HexEditorWidget> widget;
  TPaintCounter paints;
};

TRegister repaintQt("repaint_qt", [](const TBenchContext& ctx) {
  TScreen screen(ctx);
  screen.widget->Editor().SetTopRow(screen.widget->Editor().RowCount() / 2);
  TScreen::Settle();
  return screen.PerStep([&] { screen.widget->viewport()->repaint(); });
});

// The view and a second one on a copy with a byte changed in every KiB
// around the middle, both 800 wide, repainted one after the other.
double RepaintPair(const TBenchContext& ctx, bool locked) {
  TScreen screen(ctx);
  screen.widget->resize(800, 1000);
  const std::string copy = ctx.WorkDir + "/pair64.bin";
  CopyFileForBench(ctx.WorkDir + "/data64.bin", copy);
  std::unique_ptr<HexEditorWidget> other = screen.Open(copy, 800);
  const TBenchPair pair(screen.widget->Editor(), other->Editor(), locked);
  TScreen::Settle();
  const double seconds = screen.PerStep([&] {
    screen.widget->viewport()->repaint();
    other->viewport()->repaint();
  });
  return seconds;
}

TRegister repaintQtPair("repaint_qt_pair", [](const TBenchContext& ctx) { return RepaintPair(ctx, false); });
TRegister repaintQtLocked("repaint_qt_locked", [](const TBenchContext& ctx) { return RepaintPair(ctx, true); });

TRegister scrollRows("scroll_rows", [](const TBenchContext& ctx) {
  TScreen screen(ctx);
  THexEditor& ed = screen.widget->Editor();
  // The caret on the last wholly visible row: every Down scrolls one row.
  ed.MoveColRow(ed.Col(), ed.VisibleRowCount() - 1, true, true);
  TScreen::Settle();
  const int top = ed.TopRow();
  const double seconds = screen.PerStep([&] { screen.Key(Qt::Key_Down); });
  if (ed.TopRow() != top + kSteps) throw std::runtime_error("the view did not scroll row by row");
  return seconds;
});

TRegister scrollPages("scroll_pages", [](const TBenchContext& ctx) {
  TScreen screen(ctx);
  THexEditor& ed = screen.widget->Editor();
  const double seconds = screen.PerStep([&] { screen.Key(Qt::Key_PageDown); });
  if (ed.TopRow() < kSteps * (ed.VisibleRowCount() - 1)) throw std::runtime_error("the view did not page");
  return seconds;
});

}  // namespace

}  // namespace byteloom::bench
#endif
