// SPDX-License-Identifier: GPL-3.0-or-later
// The compare dialog and the compare-o-meter as the frame wires them:
// Tools > Compare... and its toolbar button, a search that moves the carets,
// Compare again (F6 and its button), the warnings, the meter picture, and a
// long run's progress dialog whose Cancel ends it silently.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "compare/ui/com_mete.h"
#include "compare/ui/Fcomp.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "ui/progress.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

// A save file before and after a 32-bit counter at 0x40 rose from 0x1FF to
// 0x200 (bytes FF 01 -> 00 02), with a rise by 1 also at 0x90.
QByteArray Snapshot(bool after, int size = 256) {
  QByteArray data(size, '\x11');
  data[0x40] = after ? '\x00' : '\xFF';
  data[0x41] = after ? '\x02' : '\x01';
  data[0x90] = after ? '\x31' : '\x30';
  return data;
}

// The red rows of the meter picture.
QList<int> RedRows(const QImage& picture) {
  QList<int> rows;
  for (int y = 0; y < picture.height(); ++y)
    if (picture.pixelColor(10, y) == QColor(255, 0, 0)) rows << y;
  return rows;
}

}  // namespace

class TestCompare : public TGuiTest {
  Q_OBJECT

 public:
  TestCompare() : TGuiTest(TStart::Frame) {}

 private:
  TFcompare& Dialog() { return *Box().Frame().Forms().Fcompare; }
  // Opens the two snapshots; window 1 is "before", window 0 (active) "after".
  void OpenPair(int size = 256) {
    WriteBytes(Box().Path("before.bin"), Snapshot(false, size));
    WriteBytes(Box().Path("after.bin"), Snapshot(true, size));
    OpenFile(Box().Path("before.bin"));
    OpenFile(Box().Path("after.bin"));
  }
  // Compare... through the toolbar button; choose sets the dialog up and
  // presses a button of it; the run shows these warnings.
  void RunDialog(const std::function<void(TFcompare&)>& choose, const QStringList& warnings = {}) {
    Script().ExpectModal(QStringLiteral("Fcompare"), [choose](QDialog& form) {
      form.show();
      choose(static_cast<TFcompare&>(form));
      return TModalResult::mrOk;
    });
    for (const QString& text : warnings) Script().ExpectMessage(text, TMsgDlgType::mtWarning);
    QVERIFY(Box().Frame().ToolButton16->isEnabled());
    Box().Frame().ToolButton16->click();
  }
  static void Choose(TFcompare& d, int mode) {
    d.ComboBox1->setCurrentIndex(0);  // "1 : ...before.bin"
    d.ComboBox2->setCurrentIndex(1);  // "0 : ...after.bin"
    d.RadioButtons[static_cast<size_t>(mode - 1)]->setChecked(true);
  }
  QList<int32_t> Carets() {
    TMainform& f = Box().Frame();
    return {f.DocumentEditor(0).GetCursorPos(), f.DocumentEditor(1).GetCursorPos()};
  }

 private slots:
  void dialogSearchesAndCompareAgainGoesOn() {
    OpenPair();
    TMainform& frame = Box().Frame();
    QVERIFY(!frame.CompareAgain1->isEnabled() && !frame.ToolButton15->isEnabled());
    RunDialog([this](TFcompare& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("File Compare"));
      QCOMPARE(d.ComboBox1->itemText(0), QStringLiteral("1 : ") + Box().Path("before.bin"));
      QCOMPARE(d.ComboBox2->itemText(1), QStringLiteral("0 : ") + Box().Path("after.bin"));
      QCOMPARE(d.ComboBox1->currentText(), QStringLiteral("Please choose.."));
      QCOMPARE(d.BitBtn1->text(), QStringLiteral("OK"));
      QVERIFY(d.RadioButtons[7]->isChecked());
      Choose(d, 7);  // "Value increase by 1"
      d.BitBtn1->click();
      QVERIFY(!d.isVisible());
    });
    QCOMPARE(Carets(), (QList<int32_t>{0x41, 0x41}));
    QVERIFY(frame.CompareAgain1->isEnabled() && frame.ToolButton15->isEnabled());
    QVERIFY(Dialog().Panel1->isEnabled());
    QCOMPARE(Dialog().Panel2->text(), QString());

    // Compare again goes on one byte after the caret.
    frame.ToolButton15->click();
    QCOMPARE(Dialog().windowTitle(), QStringLiteral("File Compare again..."));
    QCOMPARE(Carets(), (QList<int32_t>{0x90, 0x90}));
    Script().ExpectMessage(QStringLiteral("No differences found!"), TMsgDlgType::mtWarning);
    frame.CompareAgain1->trigger();
    QCOMPARE(Carets(), (QList<int32_t>{0x90, 0x90}));
  }

  void warningsAndStartFromCursor() {
    OpenPair();
    RunDialog([](TFcompare& d) { d.BitBtn1->click(); }, {QStringLiteral("Please choose 2 different Files!")});
    QVERIFY(!Box().Frame().CompareAgain1->isEnabled());
    // Values outside a byte's range are refused, never taken modulo 256.
    RunDialog(
        [](TFcompare& d) {
          Choose(d, 3);  // "Search for FValue1 and FValue2"
          d.Edit3->setText(QStringLiteral("-1"));
          d.Edit4->setText(QStringLiteral("256"));
          d.BitBtn1->click();
        },
        {QStringLiteral("FValue 1 = -1 is not a byte value (0 to 255); nothing was compared.")});
    QCOMPARE(Carets(), (QList<int32_t>{0, 0}));
    QVERIFY(!Box().Frame().CompareAgain1->isEnabled());
    RunDialog(
        [](TFcompare& d) {
          Choose(d, 3);
          d.Edit3->setText(QStringLiteral("$FF"));  // FF -> 00
          d.Edit4->setText(QStringLiteral("0"));
          d.Edit2->setText(QStringLiteral("zehn"));
          d.BitBtn1->click();
        },
        {QStringLiteral("Error while converting Startpos. Editor uses 0 for both Files")});
    QCOMPARE(Carets(), (QList<int32_t>{0x40, 0x40}));
    // "Start from Cursor" takes the active caret for both offsets; the mode
    // and value fields keep their contents between showings.
    RunDialog([](TFcompare& d) {
      QVERIFY(d.RadioButtons[2]->isChecked());
      QCOMPARE(d.Edit3->text(), QStringLiteral("$FF"));
      d.Button1->click();
      QCOMPARE(d.Edit1->text(), QStringLiteral("64"));
      QCOMPARE(d.Edit2->text(), QStringLiteral("64"));
      d.BitBtn2->click();
    });
  }

  void meterShowsWhereTheFilesDiffer() {
    OpenPair(512);
    auto& meter = *Box().Frame().Forms().Compareometer;
    QVERIFY(!meter.isVisible());
    RunDialog([](TFcompare& d) {
      Choose(d, 8);
      d.BitBtn4->click();
      QVERIFY(d.isVisible());  // the dialog stays open beside the meter
      d.hide();
    });
    QVERIFY(meter.isVisible() && !meter.isModal());
    QCOMPARE(meter.windowTitle(), QStringLiteral("Compare O'meter"));
    QCOMPARE(meter.Picture().size(), QSize(20, 198));
    // Pairs 0x40, 0x41 and 0x90 of 512: counters 25, 25 (25.39) and 56 (56.25).
    QCOMPARE(RedRows(meter.Picture()), (QList<int>{25, 56}));
    QVERIFY(meter.Memo1->toPlainText().startsWith(QStringLiteral("The\nCompare o'meter\n")));
    meter.BitBtn1->click();
    QVERIFY(!meter.isVisible());

    // A difference in the last byte shows on the last row.
    TypeByte(*Box().Frame().MDIChildren(0), 511, 0x77);
    RunDialog([](TFcompare& d) {
      Choose(d, 8);
      d.BitBtn4->click();
      d.hide();
    });
    QCOMPARE(RedRows(meter.Picture()), (QList<int>{25, 56, 197}));
  }

  void longRunShowsProgressAndCancelEndsItSilently() {
    OpenPair(3 * kComparePieceSize);
    TLongWork::ShowAfterMs = 0;
    bool sawProgress = false;
    std::function<void()> cancelWhenShown = [&] {
      if (auto* progress = Box().Frame().findChild<QProgressDialog*>(QStringLiteral("ProgressDialog"))) {
        sawProgress = progress->isVisible() && progress->labelText() == QStringLiteral("Please wait while im searching...");
        progress->cancel();
      } else {
        QTimer::singleShot(0, cancelWhenShown);
      }
    };
    QTimer::singleShot(0, cancelWhenShown);
    RunDialog([](TFcompare& d) {
      Choose(d, 8);
      d.Edit1->setText(QStringLiteral("$91"));  // after the last difference
      d.Edit2->setText(QStringLiteral("$91"));
      d.BitBtn1->click();
    });
    TLongWork::ShowAfterMs = 500;
    QVERIFY(sawProgress);
    QCOMPARE(Carets(), (QList<int32_t>{0, 0}));  // nothing found, nothing said
  }
};

QTEST_MAIN(TestCompare)
#include "test_compare.moc"
