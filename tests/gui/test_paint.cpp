// Painting on screen. The cells drawn in runs give exactly the pixels of
// every cell drawn on its own, in every state the control can show; the view
// on screen after scrolling, editing and selecting equals a fresh paint of
// it, also in a window partly covered by others.
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <functional>
#include <memory>
#include <vector>

#include "control/hexeditor.h"
#include "control/qhexeditor.h"
#include "guitest.h"

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
  HexEditorWidget& Open(const QByteArray& data, QSize size = QSize(700, 400)) {
    FWidget = std::make_unique<HexEditorWidget>();
    FWidget->setFrameShape(QFrame::NoFrame);
    Ed().SetBytesPerColumn(2);
    Ed().Font().Name = "Courier";
    Ed().Font().Height = -13;
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
  void cleanup() { FWidget.reset(); }

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
        {"caret on the second nibble", [](THexEditor& e) { e.SetCol(5), e.SetRow(2); }},
        {"caret in the character field", [=](THexEditor& e) { e.SetCol(hex + 4), e.SetRow(3); }},
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
};

QTEST_MAIN(TestPaint)
#include "test_paint.moc"
