// SPDX-License-Identifier: GPL-3.0-or-later
// Two windows locked side by side as the frame wires them: the choice, the
// windows halving the client area, captions with the shift, the other side
// following keys and scrolling, F7 and Shift+F7, the background counts in the
// status line, the overview strip, edits that recount and recolour, Align
// here, the compare dialog's start offsets, and every way the pairing ends
// (Unlock, closing either window) without a dangling reference.
#include <QCheckBox>
#include <QFile>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include "compare/ui/Fcomp.h"
#include "compare/ui/sidebysideview.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "guitest.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "shell/ui/preferen.h"
#include "ui/qhexeditor.h"

using namespace byteloom;
using namespace byteloom::test;

class TestSideBySide : public TGuiTest {
  Q_OBJECT

 public:
  TestSideBySide() : TGuiTest(TStart::Frame) {}

 private:
  TMainform& Frame() { return Box().Frame(); }
  TSideBySideView& View() { return Frame().SideBySide(); }
  // "a" and "b": b differs at 0x123, 0x800 and a's last byte 0xFFF, and has
  // 16 bytes more. Locked through the toolbar button at one fixed shift, a
  // on the left.
  void LockPair() {
    QByteArray a(4096, '\0');
    for (int i = 0; i < a.size(); ++i) a[i] = static_cast<char>(i * 7 + 3);
    QByteArray b = a + QByteArray(16, 'T');
    for (int at : {0x123, 0x800, 0xFFF}) b[at] = static_cast<char>(b[at] ^ 0x5A);
    Right = OpenFile(File("b.bin", b));
    Left = OpenFile(File("a.bin", a));
    QString chosen[2];
    Script().ExpectModal(QStringLiteral("SideBySideChoice"), [&chosen](QDialog& d) {
      auto& choice = static_cast<TSideBySideChoice&>(d);
      chosen[0] = choice.ComboBox1->currentText();
      chosen[1] = choice.ComboBox2->currentText();
      choice.CheckBox1->setChecked(false);  // one fixed shift
      return TModalResult::mrOk;
    });
    QVERIFY(Frame().ToolButton17->isEnabled());
    Frame().ToolButton17->click();
    View().Settle();
    // The active document first, the next one second.
    QVERIFY(chosen[0].endsWith(QStringLiteral("a.bin")) && chosen[1].endsWith(QStringLiteral("b.bin")));
  }
  QList<int32_t> Carets() { return {Left->Editor().GetCursorPos(), Right->Editor().GetCursorPos()}; }
  QString Status() { return Frame().StatusText(); }

  Teditform* Left = nullptr;
  Teditform* Right = nullptr;

 private slots:
  void lockedWindowsFollowEachOtherAndF7VisitsEveryDifference() {
    LockPair();
    QVERIFY(View().Locked());
    QVERIFY(View().Window(0) == Left && View().Window(1) == Right);
    const QRect area = Frame().ClientWindow()->viewport()->rect();
    QCOMPARE(Left->geometry(), QRect(0, 0, area.width() / 2, area.height()));
    QCOMPARE(Right->geometry().left(), area.width() / 2);
    QVERIFY(Left->windowTitle().endsWith(QStringLiteral("a.bin (+0)")));
    QVERIFY(Right->windowTitle().endsWith(QStringLiteral("b.bin (+0)")));
    QCOMPARE(Status(), QStringLiteral("4 differing runs, 19 bytes"));
    for (QAction* item : {Frame().NextDifference1, Frame().PreviousDifference1, Frame().AlignHere1, Frame().Unlock1})
      QVERIFY(item->isEnabled());
    QCOMPARE(Frame().NextDifference1->shortcut(), QKeySequence(QStringLiteral("F7")));
    QCOMPARE(Frame().PreviousDifference1->shortcut(), QKeySequence(QStringLiteral("Shift+F7")));

    // F7: each run once in both windows, then the tail of the longer one.
    const QList<QList<int32_t>> stops = {{0x123, 0x123}, {0x800, 0x800}, {0xFFF, 0xFFF}, {0xFFF, 0x1000}};
    for (const QList<int32_t>& want : stops) {
      Frame().NextDifference1->trigger();
      QCOMPARE(Carets(), want);
    }
    Frame().PreviousDifference1->trigger();
    QCOMPARE(Carets(), (QList<int32_t>{0xFFF, 0xFFF}));

    // A key in the right window and its scroll bar move the left one.
    Right->HexEditor1->setFocus();
    QTest::keyClick(Right->HexEditor1, Qt::Key_Home, Qt::ControlModifier);
    View().Settle();
    QCOMPARE(Carets(), (QList<int32_t>{0, 0}));
    Right->HexEditor1->verticalScrollBar()->setValue(100);
    View().Settle();
    QCOMPARE(Left->Editor().TopRow(), 100);

    // The strip: where the differences are, the part in view; a click jumps.
    TOverviewStrip& strip = *View().Strip(0);
    QVERIFY(strip.isVisible() && strip.width() < 20);
    const TOverviewMap map = strip.Map();
    const std::vector<uint8_t> rows = map.Rows(View().Counts()->Buckets);
    QVERIFY(rows[static_cast<size_t>(map.RowOf(0x800))] && !rows[static_cast<size_t>(map.RowOf(0x400))]);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(5, map.RowOf(0x800)));
    View().Settle();
    QVERIFY(qAbs(Carets()[0] - 0x800) <= 4112 / strip.height() + 1);
    QCOMPARE(Carets()[1], Carets()[0]);

    // An edit on either side recounts and repaints both.
    TypeByte(*Right, 0x10, static_cast<uint8_t>(Left->Editor().ReadByte(0x10) ^ 1));
    View().Settle();
    QCOMPARE(Status(), QStringLiteral("5 differing runs, 20 bytes"));
    Right->Editor().Undo();
    View().Settle();
    QCOMPARE(Status(), QStringLiteral("4 differing runs, 19 bytes"));

    // Align here: the bytes under both carets line up; the captions say so.
    Left->Editor().SetSelStart(0x10);
    View().Pair()->Follow(Left->Editor());
    Right->Editor().SetSelStart(0x14);
    Frame().AlignHere1->trigger();
    View().Settle();
    QCOMPARE(View().Pair()->Shift(), 4);
    QVERIFY(Left->windowTitle().endsWith(QStringLiteral("a.bin (+4)")));
    QVERIFY(Right->windowTitle().endsWith(QStringLiteral("b.bin (-4)")));

    // Unlock: captions, colours and strips as before.
    Frame().Unlock1->trigger();
    QVERIFY(!View().Locked() && !Frame().NextDifference1->isEnabled());
    QVERIFY(Left->windowTitle().endsWith(QStringLiteral("a.bin")) && Right->windowTitle().endsWith(QStringLiteral("b.bin")));
    QVERIFY(!Left->Editor().DifferenceMarks() && !Right->Editor().DifferenceMarks());
    QVERIFY(!View().Strip(0));
    QVERIFY(!Left->findChild<QWidget*>(QStringLiteral("Overview1")));
    Settle();
    QCOMPARE(Left->geometry().width(), area.width() / 2);  // the windows stay where they are
  }

  // b's 16 bytes more: F7 reaches them and a, the shorter one, scrolls
  // along over a blank row in the gap colour, its caret on its last
  // byte; a's scroll bar covers b's rows. Unlock: a's own range again.
  void theShorterWindowScrollsAlongOverBlankRows() {
    LockPair();
    for (int k = 0; k < 4; ++k) Frame().NextDifference1->trigger();
    View().Settle();
    QCOMPARE(Carets(), (QList<int32_t>{0xFFF, 0x1000}));
    THexEditor& a = Left->Editor();
    THexEditor& b = Right->Editor();
    QScrollBar* bar = Left->HexEditor1->verticalScrollBar();
    QVERIFY(b.TopRow() + b.VisibleRowCount() > 0x100);
    QCOMPARE(a.TopRow(), b.TopRow());
    QCOMPARE(bar->maximum(), Right->HexEditor1->verticalScrollBar()->maximum());
    const TRect last = a.CellRect(a.Col(), a.Row());  // a's caret on its last byte; the blank row follows
    QVERIFY(!last.IsEmpty() && a.Row() == 0xFF);
    const QImage shown = Left->HexEditor1->viewport()->grab().toImage();
    const QPoint blank(last.Left + 1, last.Top + a.RowHeight() + a.GridLineWidth() + 1);
    QCOMPARE(shown.pixelColor(blank), QColor(0xA8, 0xD8, 0xFF));  // the gap colour, no digit there
    QCOMPARE(shown.pixelColor(blank + QPoint(3, 3)), QColor(0xA8, 0xD8, 0xFF));
    Frame().Unlock1->trigger();
    QVERIFY(bar->maximum() < Right->HexEditor1->verticalScrollBar()->maximum());
    QVERIFY(a.TopRow() <= a.RowCount() - a.VisibleRowCount());
    QVERIFY(!Left->PopupMenu1->findChild<QAction*>(QStringLiteral("AlignHere2")));
    QCOMPARE(Left->PopupMenu1->actions().size(), Right->PopupMenu1->actions().size());
  }

  // Alt with a click or a cursor key moves one caret alone; Align here from
  // the context menu then lines up the two bytes and the captions show the
  // shift; the lists of documents show their own names.
  void altMovesOneCaretAloneAndAlignHereShowsTheShift() {
    LockPair();
    auto click = [this](Teditform* window, int32_t pos, Qt::KeyboardModifiers modifiers) {
      int col = 0;
      int64_t row = 0;
      window->Editor().GetCellAtPos(pos, false, col, row);
      const TRect r = window->Editor().CellRect(col, row);
      QTest::mouseClick(window->HexEditor1->viewport(), Qt::LeftButton, modifiers, QPoint(r.Left + 2, r.Top + 2));
      View().Settle();
    };
    click(Left, 0x20, {});
    QCOMPARE(Carets(), (QList<int32_t>{0x20, 0x20}));
    click(Right, 0x24, Qt::AltModifier);
    QCOMPARE(Carets(), (QList<int32_t>{0x20, 0x24}));
    QTest::keyClick(Right->HexEditor1, Qt::Key_Right, Qt::AltModifier);  // a whole byte
    View().Settle();
    QCOMPARE(Carets(), (QList<int32_t>{0x20, 0x25}));
    auto* align = Right->PopupMenu1->findChild<QAction*>(QStringLiteral("AlignHere2"));
    QVERIFY(align && align->isVisible());
    QCOMPARE(align->statusTip(), Frame().AlignHere1->statusTip());
    QVERIFY(align->statusTip().contains(QStringLiteral("Alt+click")));
    align->trigger();
    View().Settle();
    QCOMPARE(View().Pair()->Shift(), 5);
    QCOMPARE(Left->windowTitle(), Left->DocumentName() + QStringLiteral(" (+5)"));
    QCOMPARE(Right->windowTitle(), Right->DocumentName() + QStringLiteral(" (-5)"));
    QTest::keyClick(Left->HexEditor1, Qt::Key_Down);
    View().Settle();
    QCOMPARE(Carets(), (QList<int32_t>{0x30, 0x35}));
    // The left caret alone past the right one: a shift the other way.
    QTest::keyClick(Left->HexEditor1, Qt::Key_Down, Qt::AltModifier);
    View().Settle();
    QCOMPARE(Carets(), (QList<int32_t>{0x40, 0x35}));
    Frame().AlignHere1->trigger();
    View().Settle();
    QCOMPARE(Left->windowTitle(), Left->DocumentName() + QStringLiteral(" (-11)"));
    QCOMPARE(Right->windowTitle(), Right->DocumentName() + QStringLiteral(" (+11)"));

    // The names, never the captions, in the lists of documents.
    QStringList listed;
    Script().ExpectModal(QStringLiteral("Fcompare"), [&listed](QDialog& form) {
      auto& d = static_cast<TFcompare&>(form);
      form.show();  // fills the lists
      for (QComboBox* box : {d.ComboBox1, d.ComboBox2})
        for (int k = 0; k < box->count(); ++k) listed << box->itemText(k);
      return TModalResult::mrCancel;
    });
    Frame().Compare1->trigger();
    Script().ExpectModal(QStringLiteral("SideBySideChoice"), [&listed](QDialog& d) {
      auto& choice = static_cast<TSideBySideChoice&>(d);
      for (int k = 0; k < choice.ComboBox1->count(); ++k) listed << choice.ComboBox1->itemText(k);
      return TModalResult::mrCancel;
    });
    Frame().SideBySide1->trigger();
    Frame().Window1Popup();
    for (QAction* item : Frame().Window1->actions())
      if (item->text().size() > 2 && item->text()[1].isDigit()) listed << item->text();  // "&1 name"
    QCOMPARE(listed.size(), 8);
    for (const QString& entry : listed) {
      QVERIFY2(entry.endsWith(QStringLiteral("a.bin")) || entry.endsWith(QStringLiteral("b.bin")), qPrintable(entry));
    }
    for (int k = 0; k < Frame().DocumentCount(); ++k)
      QCOMPARE(QString::fromStdString(Frame().DocumentCaption(k)), Frame().MDIChildren(k)->DocumentName());
  }

  // Closing either window ends the pairing; the other one is left as it was
  // before, and a paint or a key there reaches nothing that is gone.
  void closingEitherWindowEndsThePairing() {
    for (int closing = 0; closing < 2; ++closing) {
      LockPair();
      Teditform* gone = closing == 0 ? Left : Right;
      Teditform* stays = closing == 0 ? Right : Left;
      gone->close();
      Settle();
      QVERIFY(!View().Locked());
      QVERIFY(!stays->Editor().DifferenceMarks());
      QVERIFY(!stays->windowTitle().contains(QLatin1Char('(')));
      stays->HexEditor1->viewport()->repaint();
      QTest::keyClick(stays->HexEditor1, Qt::Key_Right);
      Settle();
      QVERIFY(!Frame().NextDifference1->isEnabled());
      stays->close();
      Settle();
    }
  }

  // From the compare dialog: its two files, shifted by their start offsets;
  // the difference colour of the preferences.
  // A program with 5 bytes put in at 0x2000 and 3 taken out at 0x9000, locked
  // with Find insertions: the bytes after each face each other in one cell,
  // F7 goes to both places and no further, and the status line counts them.
  void findInsertionsLinesUpTheBytesAfterAnInsertionAndADeletion() {
    QFile program(QStringLiteral("/usr/bin/ls"));
    QVERIFY(program.open(QIODevice::ReadOnly));
    const QByteArray a = program.readAll();
    QVERIFY(a.size() > 0x10000);
    QByteArray b = a;
    b.remove(0x9000, 3);
    b.insert(0x2000, "\x01\x02\x03\x04\x05", 5);
    Right = OpenFile(File("b.bin", b));
    Left = OpenFile(File("a.bin", a));
    Script().ExpectModal(QStringLiteral("SideBySideChoice"), [](QDialog&) { return TModalResult::mrOk; });
    Frame().ToolButton17->click();
    View().Settle();
    QCOMPARE(Status(), QStringLiteral("0 changed runs, 5 bytes inserted, 3 bytes deleted"));
    for (const QList<int32_t>& want : {QList<int32_t>{0x2000, 0x2000}, {0x9000, 0x9005}}) {
      Frame().NextDifference1->trigger();
      View().Settle();
      QCOMPARE(Carets(), want);
    }
    Frame().NextDifference1->trigger();
    QVERIFY(Status().endsWith(QStringLiteral("; no further difference")));
    THexEditor& l = Left->Editor();
    THexEditor& r = Right->Editor();
    for (int32_t at : {0x1FF0, 0x2010, 0x9010}) {
      l.SetSelStart(at);
      View().Settle();
      QCOMPARE(r.GetCursorPos(), at < 0x2000 ? at : at < 0x9000 ? at + 5 : at + 2);
      QCOMPARE(r.Row(), l.Row());
      QCOMPARE(r.Col(), l.Col());
      QCOMPARE(r.ReadByte(r.GetCursorPos()), l.ReadByte(at));
    }
    QCOMPARE(l.TopRow(), r.TopRow());
  }

  void theCompareDialogLocksWithItsStartOffsets() {
    Box().Frame().Forms().Preferences->SetDifferenceColor(0x00FF00);
    Script().ExpectModal(QStringLiteral("Preferences"), [](QDialog&) { return TModalResult::mrCancel; });
    Frame().ShowPreferences();
    WriteBytes(Box().Path("x.bin"), QByteArray(64, 'x'));
    WriteBytes(Box().Path("y.bin"), QByteArray(4, 'y') + QByteArray(64, 'x'));
    OpenFile(Box().Path("x.bin"));
    OpenFile(Box().Path("y.bin"));
    Script().ExpectModal(QStringLiteral("Fcompare"), [](QDialog& form) {
      auto& d = static_cast<TFcompare&>(form);
      form.show();
      d.ComboBox1->setCurrentIndex(0);  // "1 : x.bin"
      d.ComboBox2->setCurrentIndex(1);  // "0 : y.bin"
      d.Edit1->setText(QStringLiteral("0"));
      d.Edit2->setText(QStringLiteral("4"));
      d.BitBtn5->click();
      return TModalResult::mrOk;
    });
    Frame().Compare1->trigger();
    View().Settle();
    QVERIFY(View().Locked());
    QCOMPARE(View().Pair()->Shift(), 4);
    QVERIFY(View().Window(0)->windowTitle().endsWith(QStringLiteral("x.bin (+4)")));
    QCOMPARE(Status(), QStringLiteral("1 differing run, 4 bytes"));
    QCOMPARE(View().Pair()->Left().Colors().Difference(), 0x00FF00u);
  }
};

QTEST_MAIN(TestSideBySide)
#include "test_sidebyside.moc"
