// The control on screen (Qt layer, offscreen platform): a 1600×1000 widget
// on the 64 MiB document bench/run makes, set up as the editor window sets
// it up. Each figure is the time of one step, the paint it causes included:
// a full repaint, a Down key with the caret on the last row (the view
// scrolls one row), a Page Down key.
#ifdef BYTELOOM_BENCH_UI
#include <QApplication>
#include <QKeyEvent>

#include <memory>
#include <stdexcept>
#include <string>

#include "bench/bench.h"
#include "control/canvas.h"
#include "control/qhexeditor.h"

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
    widget = std::make_unique<HexEditorWidget>();
    widget->setFrameShape(QFrame::NoFrame);
    THexEditor& ed = widget->Editor();
    ed.SetBytesPerColumn(2);
    ed.Font().Name = "Courier";
    ed.Font().Height = -13;
    ed.Font().Size = FontSizeFromHeight(-13);
    ed.AdjustMetrics();
    if (!ed.LoadFromFile(ctx.WorkDir + "/data64.bin")) throw std::runtime_error(ed.LastError());
    widget->resize(1600, 1000);
    widget->show();
    widget->activateWindow();
    widget->setFocus();
    widget->viewport()->installEventFilter(&paints);
    Settle();
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

TRegister scrollRows("scroll_rows", [](const TBenchContext& ctx) {
  TScreen screen(ctx);
  THexEditor& ed = screen.widget->Editor();
  // The caret on the last wholly visible row: every Down scrolls one row.
  ed.SetRow(ed.VisibleRowCount() - 1);
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
