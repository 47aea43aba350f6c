// SPDX-License-Identifier: GPL-3.0-or-later
// The hex editor widget's wiring: Qt keys, clicks, drags, the wheel and the
// scroll bars reach the control, and what it paints reaches the screen.
#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>

#include "control/hexeditor.h"
#include "guitest.h"
#include "platform/guard.h"
#include "ui/qhexeditor.h"

using namespace byteloom;
using namespace byteloom::test;

class TestHexWidget : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TSandbox> FBox;
  std::unique_ptr<HexEditorWidget> FWidget;
  QStringList FErrors;
  TErrorSink FOldSink;
  int FStateChanges = 0;

  HexEditorWidget& W() { return *FWidget; }
  THexEditor& Ed() { return FWidget->Editor(); }
  QWidget* View() { return FWidget->viewport(); }

  // A widget showing a document of size bytes 0, 1, 2 ..., with the focus.
  void Open(int size) {
    QByteArray data(size, 0);
    for (int i = 0; i < size; ++i) data[i] = static_cast<char>(i);
    const QString path = FBox->Path(QStringLiteral("doc.bin"));
    WriteBytes(path, data);
    FWidget = std::make_unique<HexEditorWidget>();
    Ed().Font().Height = -13;
    Ed().OnStateChanged = [this](THexEditor&) { ++FStateChanges; };
    QVERIFY(Ed().LoadFromFile(path.toStdString()));
    FWidget->resize(700, 400);
    FWidget->show();
    FWidget->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FWidget.get()));
    FWidget->setFocus();
    QTRY_VERIFY(FWidget->hasFocus());
    Settle();
    FStateChanges = 0;
  }
  QPoint Center(int col, int row) {
    const TRect r = Ed().CellRect(col, row);
    return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  }
  static int Hi(int p) { return 2 + 2 * (p % 16); }
  static int Ch(int p) { return 35 + p % 16; }

 private slots:
  void init() {
    FBox = std::make_unique<TSandbox>();
    FErrors.clear();
    FOldSink = SetErrorSink([this](const std::string& m) { FErrors << QString::fromStdString(m); });
  }
  void cleanup() {
    FWidget.reset();
    SetErrorSink(std::move(FOldSink));
    QCOMPARE(FErrors, QStringList());
    FBox.reset();
  }

  void typedKeysChangeBytes() {
    Open(64);
    QTest::keyClicks(&W(), QStringLiteral("a5"));
    QCOMPARE(Ed().ReadByte(0), uint8_t(0xA5));
    QCOMPARE(Ed().Col(), Hi(1));
    QTest::keyClick(&W(), Qt::Key_Tab);
    QCOMPARE(Ed().Col(), Ch(1));
    QTest::keyClicks(&W(), QStringLiteral("Z"));
    QKeyEvent umlaut(QEvent::KeyPress, Qt::Key_Adiaeresis, Qt::NoModifier, QStringLiteral("\u00e4"));
    QApplication::sendEvent(&W(), &umlaut);
    QCOMPARE(Ed().ReadByte(1), uint8_t('Z'));
    QCOMPARE(Ed().ReadByte(2), uint8_t(0xE4));
    QTest::keyClick(&W(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(Ed().Col(), Hi(3));
    QTest::keyClick(&W(), Qt::Key_Down);
    QCOMPARE(Ed().Row(), 1);
    QTest::keyClick(&W(), Qt::Key_Home);
    QCOMPARE(Ed().Col(), 2);
    QVERIFY(Ed().Modified());
  }

  void shiftAndCursorKeysSelect() {
    Open(64);
    QTest::keyPress(&W(), Qt::Key_Shift, Qt::ShiftModifier);
    QTest::keyClick(&W(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&W(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(&W(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyRelease(&W(), Qt::Key_Shift);
    QCOMPARE(Ed().SelMin(), 0);
    QCOMPARE(Ed().SelMax(), 1);
    QCOMPARE(FStateChanges, 0);  // the state messages come later
    Settle();
    QVERIFY(FStateChanges >= 2);
    QTest::keyClick(&W(), Qt::Key_Right);
    QCOMPARE(Ed().SelAnchor(), -1);
  }

  void markerKeys() {
    Open(16 * 10);
    QTest::keyClick(&W(), Qt::Key_Down);
    QTest::keyClick(&W(), Qt::Key_Down);
    // Ctrl+Shift+4 arrives as the shifted symbol on most layouts.
    QTest::keyClick(&W(), Qt::Key_Dollar, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(Ed().GetMarker(4), 2);
    QTest::keyClick(&W(), Qt::Key_PageDown);
    QVERIFY(Ed().Row() > 2);
    QTest::keyClick(&W(), Qt::Key_4, Qt::ControlModifier);
    QCOMPARE(Ed().Row(), 2);
    QCOMPARE(Ed().ReadByte(0), uint8_t(0));  // no character was typed
  }

  void markerKeysByPositionOnOtherLayouts() {
    // A French layout: the key left of "2" gives "&", with Shift "1"; the
    // key's position (xkb key code 10) still makes it the 1 key.
    Open(16 * 10);
    auto click = [this](int key, Qt::KeyboardModifiers mods, quint32 scan, const QString& text) {
      for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent e(type, key, mods, scan, 0, 0, text);
        QApplication::sendEvent(&W(), &e);
      }
    };
    QTest::keyClick(&W(), Qt::Key_Down);
    QTest::keyClick(&W(), Qt::Key_Down);
    QTest::keyClick(&W(), Qt::Key_Down);
    click(Qt::Key_1, Qt::ControlModifier | Qt::ShiftModifier, 10, QStringLiteral("1"));
    QCOMPARE(Ed().GetMarker(1), 3);
    QTest::keyClick(&W(), Qt::Key_PageDown);
    click(Qt::Key_Ampersand, Qt::ControlModifier, 10, QStringLiteral("&"));
    QCOMPARE(Ed().Row(), 3);
    click(Qt::Key_Agrave, Qt::ControlModifier | Qt::ShiftModifier, 19, QStringLiteral("0"));  // the 0 key
    QCOMPARE(Ed().GetMarker(0), 3);
    QCOMPARE(Ed().ReadByte(0), uint8_t(0));  // no character was typed
  }

  void altNumberPadEntersAnOemCode() {
    Open(64);
    QTest::keyClick(&W(), Qt::Key_Tab);  // the character field
    // Alt stays down while the digits are typed (QTest would release it
    // after every key).
    auto send = [this](QEvent::Type type, int key, Qt::KeyboardModifiers mods, const QString& text = {}) {
      QKeyEvent e(type, key, mods, text);
      QApplication::sendEvent(&W(), &e);
    };
    send(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    for (int k : {Qt::Key_1, Qt::Key_3, Qt::Key_2}) {
      const QString digit(QChar(u'0' + (k - Qt::Key_0)));
      send(QEvent::KeyPress, k, Qt::AltModifier | Qt::KeypadModifier, digit);
      send(QEvent::KeyRelease, k, Qt::AltModifier | Qt::KeypadModifier, digit);
    }
    QCOMPARE(Ed().ReadByte(0), uint8_t(0));
    QCOMPARE(Ed().Col(), Ch(0));
    send(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCOMPARE(Ed().ReadByte(0), uint8_t(132));
    QCOMPARE(Ed().Col(), Ch(1));
    QVERIFY(!Ed().OemCharEntry());
  }

  void clickMovesTheCaretToTheCell() {
    Open(64);
    QTest::mouseClick(View(), Qt::LeftButton, {}, Center(Ch(5), 1));
    QCOMPARE(Ed().Col(), Ch(5));
    QCOMPARE(Ed().Row(), 1);
    const TRect cell = Ed().CellRect(Ch(5), 1);
    Settle();
    QCOMPARE(W().CaretRect().topLeft(), QPoint(cell.Left, cell.Top));
    QVERIFY(W().CaretVisible());
  }

  void dragSelects() {
    Open(64);
    QTest::mousePress(View(), Qt::LeftButton, {}, Center(Hi(3), 0));
    QTest::mouseMove(View(), Center(Hi(5), 0));
    QTest::mouseMove(View(), Center(Hi(6), 1));
    QTest::mouseRelease(View(), Qt::LeftButton, {}, Center(Hi(6), 1));
    QCOMPARE(Ed().SelAnchor(), 3);
    QCOMPARE(Ed().SelMin(), 3);
    QCOMPARE(Ed().SelMax(), 22);
    QVERIFY(!Ed().Tracking());
  }

  void dragBelowTheViewScrollsAndSelects() {
    Open(16 * 200);
    const int lastRow = Ed().VisibleRowCount() - 1;
    QTest::mousePress(View(), Qt::LeftButton, {}, Center(Hi(2), 1));
    QTest::mouseMove(View(), Center(Hi(2), lastRow));
    QTest::mouseMove(View(), QPoint(Center(Hi(2), 0).x(), View()->height() + 30));
    QTRY_VERIFY(Ed().TopRow() >= 3);
    QTest::mouseRelease(View(), Qt::LeftButton, {}, QPoint(Center(Hi(2), 0).x(), View()->height() + 30));
    const int row = Ed().Row();
    QVERIFY(row > lastRow);
    QCOMPARE(Ed().SelAnchor(), 16 + 2);
    QCOMPARE(Ed().SelMax(), 16 * row + 2);
    // The timer stops with the release.
    QTest::qWait(200);
    QCOMPARE(Ed().Row(), row);
  }

  void wheelAndScrollBarsScroll() {
    Open(16 * 500);
    QScrollBar* bar = W().verticalScrollBar();
    QCOMPARE(bar->maximum(), Ed().VertScrollInfo().Max);
    QVERIFY(bar->maximum() > 400);
    QWheelEvent wheel(QPointF(50, 50), W().mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(View(), &wheel);
    QCOMPARE(Ed().TopRow(), 3);
    QCOMPARE(bar->value(), 3);
    bar->setValue(100);
    QCOMPARE(Ed().TopRow(), 100);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(Ed().TopRow(), 101);
    // The caret's row is out of view: the caret is parked outside.
    QCOMPARE(W().CaretRect().topLeft(), QPoint(-50, -50));
    // Keys that move the view move the bar.
    QTest::keyClick(&W(), Qt::Key_Down, Qt::ControlModifier);
    QCOMPARE(bar->value(), 102);
  }

  void paintsTheCellsColours() {
    Open(64);
    QTest::keyClicks(&W(), QStringLiteral("7"));
    Settle();
    const QImage shot = View()->grab().toImage();
    // The changed byte on its light yellow background, an unchanged one on the window colour.
    const TRect changed = Ed().CellRect(Hi(0) + 1, 0);
    const TRect plain = Ed().CellRect(Hi(9), 0);
    QCOMPARE(QColor(shot.pixel(changed.Right - 1, changed.Bottom - 1)), QColor(255, 255, 168));
    QCOMPARE(QColor(shot.pixel(plain.Right - 1, plain.Bottom - 1)), W().palette().color(QPalette::Base));
    // Some text was drawn in the hex cell of byte 9.
    bool ink = false;
    for (int x = plain.Left; x < plain.Right; ++x)
      for (int y = plain.Top; y < plain.Bottom; ++y) {
        const QColor c(shot.pixel(x, y));
        ink |= c.blue() > 200 && c.red() < 120 && c.green() < 120;
      }
    QVERIFY(ink);
  }
};

QTEST_MAIN(TestHexWidget)
#include "test_hexwidget.moc"
