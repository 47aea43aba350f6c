// SPDX-License-Identifier: GPL-3.0-or-later
// Painting on screen. The cells drawn in runs give exactly the pixels of
// every cell drawn on its own, in every state the control can show; the view
// on screen after scrolling, editing and selecting equals a fresh paint of
// it, and so does the frame with windows that cover each other.
#include <QApplication>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QMdiArea>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <vector>

#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "shell/ui/mainform.h"
#include "ui/qhexeditor.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// Where two pictures differ first ("" when they are equal).
QString Difference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return QStringLiteral("sizes differ");
  const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
  for (int row = 0; row < x.height(); ++row)
    for (int col = 0; col < x.width(); ++col)
      if (x.pixel(col, row) != y.pixel(col, row))
        return QStringLiteral("first difference at %1,%2: %3 against %4")
            .arg(col)
            .arg(row)
            .arg(x.pixel(col, row), 8, 16)
            .arg(y.pixel(col, row), 8, 16);
  return {};
}

// The part of the window's picture on screen that shows widget.
QImage OnScreen(QWidget& widget) {
  QWidget* window = widget.window();
  const QImage shown = window->screen()->grabWindow(window->winId()).toImage();
  const qreal ratio = shown.devicePixelRatio();
  const QRect r(widget.mapTo(window, QPoint(0, 0)) * ratio, widget.size() * ratio);
  return shown.copy(r);
}

}  // namespace

class TestPaint : public TGuiTest {
  Q_OBJECT

 private:
  std::unique_ptr<HexEditorWidget> FWidget;

  THexEditor& Ed() { return FWidget->Editor(); }

  // A focused widget as the editor window sets it up, showing data.
  HexEditorWidget& Open(const QByteArray& data, QSize size = QSize(700, 400), const QString& font = "Courier",
                        int pixels = 13) {
    FWidget = std::make_unique<HexEditorWidget>();
    FWidget->setFrameShape(QFrame::NoFrame);
    Ed().SetBytesPerColumn(2);
    Ed().Font().Name = font.toStdString();
    Ed().Font().Height = -pixels;
    Ed().AdjustMetrics();
    if (!data.isEmpty()) {
      const QString path = File(QStringLiteral("doc.bin"), data);
      [&] { QVERIFY(Ed().LoadFromFile(path.toStdString())); }();
    }
    FWidget->resize(size);
    FWidget->show();
    FWidget->activateWindow();
    [&] { QVERIFY(QTest::qWaitForWindowActive(FWidget.get())); }();
    FWidget->setFocus();
    Settle();
    return *FWidget;
  }

  // The view painted as a paint event paints it, into a picture of the
  // given pixel ratio; cell by cell or in runs.
  QImage Painted(bool perCell, qreal ratio = 1) {
    QWidget* view = FWidget->viewport();
    QImage image(view->size() * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::magenta);
    QPainter painter(&image);
    FWidget->PaintView(painter, view->rect(), perCell);
    return image;
  }

  // Every byte value, twice, then some text.
  static QByteArray AllBytes() {
    QByteArray data;
    for (int i = 0; i < 512; ++i) data += static_cast<char>(i);
    return data + QByteArrayLiteral("Byteloom \t\r\n paints in runs.");
  }

 private slots:
  void cleanup() {
    FWidget.reset();
    TGuiTest::cleanup();
  }

  // The same pixels in runs as cell by cell, at pixel ratios 1 and 2.
  void runsEqualCellByCell() {
    using TSetup = std::function<void(THexEditor&)>;
    const int hex = 34;  // the spacer column with 16 bytes per line
    const std::vector<std::pair<const char*, TSetup>> states = {
        {"plain", [](THexEditor&) {}},
        {"selection across both fields", [](THexEditor& e) { e.SetSelStart(21), e.SetSelEnd(75); }},
        {"changed bytes, some selected",
         [](THexEditor& e) {
           for (int p : {3, 17, 18, 19, 40, 41, 300}) e.SetChangedBit(p, true);
           e.SetSelStart(16), e.SetSelEnd(40);
         }},
        {"caret on the second nibble", [](THexEditor& e) { e.MoveColRow(5, 2, true, true); }},
        {"caret in the character field", [=](THexEditor& e) { e.MoveColRow(hex + 4, 3, true, true); }},
        {"frame without focus frame", [=](THexEditor& e) { e.SetFocusFrame(false), e.SetCol(hex + 6); }},
        {"unmasked characters", [](THexEditor& e) { e.SetMaskWhiteSpaces(false); }},
        {"other mask", [](THexEditor& e) { e.SetMaskChar('~'); }},
        {"OEM set", [](THexEditor& e) { e.SetTranslation(TTranslationType::ttDos8); }},
        {"ASCII set", [](THexEditor& e) { e.SetTranslation(TTranslationType::ttASCII); }},
        {"Mac set", [](THexEditor& e) { e.SetTranslation(TTranslationType::ttMac); }},
        {"EBCDIC set", [](THexEditor& e) { e.SetTranslation(TTranslationType::ttEBCDIC); }},
        {"markers", [](THexEditor& e) { e.SetMarker(7, 1), e.SetMarker(3, 1), e.SetMarker(0, 4); }},
        {"grid lines", [](THexEditor& e) { e.SetGridLineWidth(1); }},
        {"decimal offsets, swapped nibbles",
         [](THexEditor& e) { e.SetOffsetDisplay(TOffsetDisplayStyle::odDec), e.SetSwapNibbles(true); }},
        {"no offsets, 32 bytes in groups of 4",
         [](THexEditor& e) {
           e.SetOffsetDisplay(TOffsetDisplayStyle::odNone), e.SetBytesPerLine(32), e.SetBytesPerColumn(4);
         }},
        {"a larger font",
         [](THexEditor& e) {
           e.Font().Height = -20;
           e.UpdateColumnWidths();
         }},
        {"scrolled to the right", [](THexEditor& e) { e.SetLeftCol(9); }},
        {"scrolled down", [](THexEditor& e) { e.SetTopRow(9); }},
    };
    for (const auto& [name, setup] : states) {
      Open(AllBytes());
      setup(Ed());
      Settle();
      for (const qreal ratio : {1.0, 2.0}) {
        const QString problem = Difference(Painted(false, ratio), Painted(true, ratio));
        QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("%1 at ratio %2: %3").arg(name).arg(ratio).arg(problem)));
      }
    }
    // Without the focus: no caret, no frames. An empty document.
    FWidget->clearFocus();
    Settle();
    QCOMPARE(Difference(Painted(false), Painted(true)), QString());
    Open({});
    QCOMPARE(Difference(Painted(false), Painted(true)), QString());
  }

  // The fixed font the tests' font set gives, and each monospace font of
  // Debian's common font packages that the machine has, loaded from its
  // file: glyphs that reach past their row (accents, descenders) differ
  // from font to font and size to size.
  void theViewOnScreenEqualsAFreshPaint_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("pixels");
    QTest::newRow("fixed font, 13 px") << QString() << 13;
    QTest::newRow("fixed font, 16 px") << QString() << 16;
    for (const char* file : {"truetype/dejavu/DejaVuSansMono.ttf", "truetype/liberation2/LiberationMono-Regular.ttf",
                             "truetype/noto/NotoMono-Regular.ttf", "truetype/noto/NotoSansMono-Regular.ttf",
                             "opentype/urw-base35/NimbusMonoPS-Regular.otf"})
      for (const int pixels : {13, 16})
        QTest::newRow(qPrintable(QStringLiteral("%1, %2 px").arg(QFileInfo(file).baseName()).arg(pixels)))
            << QStringLiteral("/usr/share/fonts/") + file << pixels;
  }

  // After every step the view on screen equals a fresh paint of it: moved
  // pixels, the rows uncovered, the caret and every changed cell.
  void theViewOnScreenEqualsAFreshPaint() {
    QFETCH(QString, file);
    QFETCH(int, pixels);
    QString family = QStringLiteral("Courier");
    if (!file.isEmpty()) {
      if (!QFileInfo::exists(file)) QSKIP(qPrintable(file + QStringLiteral(" is not installed")));
      const QStringList families = QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFont(file));
      QVERIFY2(!families.isEmpty(), qPrintable(file));
      family = families.first();
    }
    QByteArray data;
    for (int i = 0; i < 16 * 3000; ++i) data += static_cast<char>(i * 7);
    // A view whose last row is cut off; every key and wheel turn is painted
    // before the next.
    HexEditorWidget& w = Open(data, QSize(700, 410), family, pixels);
    THexEditor& e = Ed();
    auto keys = [&](Qt::Key key, int times, Qt::KeyboardModifiers mods = Qt::NoModifier) {
      for (int i = 0; i < times; ++i) QTest::keyClick(&w, key, mods), Settle();
    };
    auto wheel = [&](int delta) {
      QWheelEvent event(QPointF(50, 50), w.mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, delta), Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(w.viewport(), &event);
      Settle();
    };
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"down past the bottom edge", [&] { keys(Qt::Key_Down, 30); }},
        {"up past the top edge", [&] { keys(Qt::Key_Up, 40); }},
        {"pages", [&] { keys(Qt::Key_PageDown, 3), keys(Qt::Key_PageUp, 1); }},
        {"the end and the start", [&] {
           keys(Qt::Key_End, 1, Qt::ControlModifier), keys(Qt::Key_Up, 1);
           keys(Qt::Key_Home, 1, Qt::ControlModifier), keys(Qt::Key_Down, 25);
         }},
        {"the wheel", [&] { wheel(-120), wheel(-240), wheel(120); }},
        {"the scroll bar", [&] { w.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"the view alone", [&] { keys(Qt::Key_Down, 2, Qt::ControlModifier); }},
        {"typing at the bottom edge", [&] {
           e.SetTopRow(100), e.MoveColRow(e.Col(), 100 + e.VisibleRowCount() - 1, true, true);
           for (const QChar c : QStringLiteral("a5b6c7d8e9f0a1b2c3d4e5f6a7b8c9d0e1")) QTest::keyClicks(&w, c), Settle();
         }},
        {"undo", [&] { for (int i = 0; i < 5; ++i) e.Undo(); }},
        {"selecting down past the edge", [&] { keys(Qt::Key_Down, 5, Qt::ShiftModifier); }},
        {"selecting up past the edge", [&] { keys(Qt::Key_Up, 40, Qt::ShiftModifier); }},
        {"a match far away", [&] { e.SelectMatch(16 * 2000 + 3, 4); }},
        {"replace all", [&] {
           uint8_t pattern = 0x15;
           const int32_t first = e.Find(&pattern, 1, false, false, e.DataSize() - 1, e.TopRow() * 16);
           const uint8_t with[] = {0xEE, 0xEF};
           e.ReplaceAll(&pattern, 1, false, first, with, 2);
         }},
        {"a narrower window, right past the edge", [&] {
           w.resize(300, 250);
           Settle();
           keys(Qt::Key_Right, 40);
         }},
        {"left past the edge", [&] { keys(Qt::Key_Left, 50); }},
        {"a larger font", [&] {
           e.Font().Height = -(pixels + 4);
           e.UpdateColumnWidths();
           keys(Qt::Key_Down, 20);
         }},
    };
    for (const auto& [name, act] : steps) {
      act();
      Settle();
      const QString problem = Difference(OnScreen(*w.viewport()), Painted(true));
      QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(name, problem)));
      // The scroll bar repaints only when its look changes, but always then.
      QScrollBar& bar = *w.verticalScrollBar();
      const QString barProblem = Difference(OnScreen(bar), bar.grab().toImage());
      QVERIFY2(barProblem.isEmpty(), qPrintable(QStringLiteral("%1, scroll bar: %2").arg(name, barProblem)));
    }
  }

  // The frame: windows cascaded, one moved past the client's edge, the
  // client scrolled, a covered window scrolled. What the screen shows equals
  // a fresh paint of the frame (with the same tip line): the background
  // picture stays in its place, nothing is left behind.
  void theFrameShowsNoDebris() {
    TMainform& frame = Box().Start();
    int draws = 0;
    frame.SetRandom([&] { return ++draws, 4; });
    frame.resize(1000, 800);
    QMdiArea& client = *frame.ClientWindow();
    // A new tip only when all of the background is painted: not for two
    // corners that span the whole client.
    Settle();
    const int before = draws;
    QWidget& view = *client.viewport();
    view.update(QRegion(0, 0, 5, 5) + QRegion(view.width() - 5, view.height() - 5, 5, 5));
    Settle();
    QCOMPARE(draws, before);
    view.update();
    Settle();
    QVERIFY(draws > before);

    QByteArray data(1 << 16, 0);
    for (int i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    QList<Teditform*> windows;
    for (int i = 0; i < 3; ++i) windows << OpenFile(File(QStringLiteral("f%1.bin").arg(i), data));
    auto same = [&](const QString& what) {
      Settle();
      const QImage shown = frame.screen()->grabWindow(frame.winId()).toImage();
      const QString problem = Difference(shown, frame.grab().toImage().convertToFormat(shown.format()));
      QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(what, problem)));
    };
    client.cascadeSubWindows();
    same(QStringLiteral("cascaded"));
    windows[2]->move(900, 500);
    same(QStringLiteral("a window past the edge"));
    for (QScrollBar* bar : {client.horizontalScrollBar(), client.verticalScrollBar()}) {
      bar->setValue(bar->maximum() / 2);
      same(QStringLiteral("the client scrolled half way"));
      bar->setValue(bar->maximum());
      same(QStringLiteral("the client scrolled"));
    }
    // Covered windows scroll by rows, back, and to the side.
    for (const int top : {1, 3, 2, 7, 6, 40, 39, 0}) {
      windows[0]->Editor().SetTopRow(top);
      windows[1]->Editor().SetTopRow(top + 1);
      same(QStringLiteral("covered windows at row %1").arg(top));
    }
    windows[1]->Editor().SetLeftCol(5);
    same(QStringLiteral("a covered window scrolled to the side"));
  }
};

QTEST_MAIN(TestPaint)
#include "test_paint.moc"
