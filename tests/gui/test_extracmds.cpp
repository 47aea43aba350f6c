// SPDX-License-Identifier: GPL-3.0-or-later
// Find All, Copy as, Paste hex text, the exports for other tools and the
// bookmarks kept per file, driven through the editor window's menus.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "control/bookmarks.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/findallform.h"
#include "fakeframe.h"
#include "guitest.h"

using namespace byteloom;
using namespace byteloom::test;

class TestExtraCommands : public TGuiTest {
  Q_OBJECT

 private:
  static QAction* Action(QWidget* w, const QString& text) {
    for (QAction* a : w->findChildren<QAction*>())
      if (a->text() == text) return a;
    return nullptr;
  }

 private slots:
  void copyAsAndPasteHexText() {
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(File(QStringLiteral("a.bin"), QByteArray("AB\0CD", 5)));
    THexEditor& ed = w->Editor();
    ed.SetSelStart(0);
    ed.SetSelEnd(2);
    const std::pair<const char*, const char*> kinds[] = {
        {"Hex text", "41 42 00"}, {"Python bytes", "b'\\x41\\x42\\x00'"}, {"Base64", "QUIA\n"}};
    for (const auto& [item, text] : kinds) {
      Action(w, QString::fromLatin1(item))->trigger();
      QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromLatin1(text));
    }
    // Paste hex text takes what Copy as hex wrote, in place of the selection.
    QGuiApplication::clipboard()->setText(QStringLiteral("{0x10, 0x20}"));
    ed.SetSelStart(3);
    ed.SetSelEnd(3);
    Action(w, QStringLiteral("Paste hex text"))->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("AB\0\x10\x20" "D", 6));
    QGuiApplication::clipboard()->setText(QStringLiteral("41 4"));
    Script().ExpectMessage(QStringLiteral("The clipboard holds no hex text: An odd number of hex digits at position 4."),
                           TMsgDlgType::mtWarning);
    Action(w, QStringLiteral("Paste hex text"))->trigger();
    QCOMPARE(ed.DataSize(), 6);
    // An export for other tools writes the whole document when nothing is selected.
    ed.ResetSelection(false);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), Box().Path(QStringLiteral("out.s19")));
    Action(w, QStringLiteral("as Motorola S-record"))->trigger();
    QCOMPARE(ReadBytes(Box().Path(QStringLiteral("out.s19"))),
             QByteArray("S0030000FC\nS1090000414200102044FF\nS9030000FC\n"));
  }

  void findAllListsMovesAndBookmarks() {
    TFakeFrame frame;
    QByteArray data(3000, 'x');
    for (int p : {5, 1000, 2999 - 3}) data.replace(p, 4, "\x34\x12\x00\x00", 4);
    Teditform* w = frame.OpenWindow(File(QStringLiteral("b.bin"), data));
    Action(w, QStringLiteral("Find All..."))->trigger();
    auto* form = w->findChild<TFindAllForm*>();
    QVERIFY(form && form->isVisible());
    form->PatternEdit->setText(QStringLiteral("0x1234"));
    form->KindBox->setCurrentText(QStringLiteral("u32"));
    form->FindButton->click();
    QTRY_VERIFY(!form->Running());
    QCOMPARE(form->Model().rowCount(), 3);
    QCOMPARE(form->Model().index(1, 0).data().toString(), QStringLiteral("000003E8"));
    QCOMPARE(form->Model().index(1, 1).data().toString(), QStringLiteral("34 12 00 00"));
    QCOMPARE(form->Model().index(1, 2).data().toString(), QStringLiteral("4660"));
    form->HitActivated(1);
    QCOMPARE(w->Editor().GetCursorPos(), 1003);
    // Aligned: only offsets that are multiples of four.
    form->AlignedBox->setChecked(true);
    form->FindButton->click();
    QTRY_VERIFY(!form->Running());
    QCOMPARE(form->Model().rowCount(), 2);
    // A bad pattern is refused with its reason.
    form->KindBox->setCurrentIndex(2);
    form->PatternEdit->setText(QStringLiteral("4? 1"));
    Script().ExpectMessage(QStringLiteral("An odd number of hex digits"), TMsgDlgType::mtWarning);
    form->FindButton->click();
    form->AddToBookmarksClick();
    QCOMPARE(QString::fromStdString(frame.Bookmarks().Cell(0, 1)), QStringLiteral("$3E8"));
    // The bookmarks come back when the file is opened again.
    const QString path = Box().Path(QStringLiteral("b.bin"));
    w->close();
    QVERIFY(QFile::exists(QFileInfo(Box().SettingsFile()).absolutePath() + QStringLiteral("/bookmarks.txt")));
    frame.Bookmarks().SetCell(0, 1, {});
    frame.OpenWindow(path);
    QCOMPARE(QString::fromStdString(frame.Bookmarks().Cell(0, 1)), QStringLiteral("$3E8"));
  }

  // A bookmark belongs to the file it was made on, whichever window closes
  // first, and "Apply bookmarks to" keeps it for another open file.
  void bookmarksKeptPerFileAndApplied() {
    TFakeFrame frame;
    const auto clearTable = [&frame] { frame.Bookmarks() = TBookmarkTable(); };
    const QString a = File(QStringLiteral("a.sav"), QByteArray(64, 'a'));
    const QString b = File(QStringLiteral("b.sav"), QByteArray(64, 'b'));
    Teditform* wa = frame.OpenWindow(a);
    Teditform* wb = frame.OpenWindow(b);
    wa->Editor().Seek(5, 0, true);
    wa->AddBookmark1->trigger();
    wb->close();
    clearTable();
    wb = frame.OpenWindow(b);
    QVERIFY(!frame.Bookmarks().IsSet(1));  // not b's
    wa->close();
    wa = frame.OpenWindow(a);
    QCOMPARE(QString::fromStdString(frame.Bookmarks().Cell(0, 1)), QStringLiteral("$05"));
    wb->Bookmarks1Click();
    const QList<QAction*> targets = wb->ApplyBookmarks1->actions();
    QVERIFY(wb->ApplyBookmarks1->menuAction()->isEnabled());
    QCOMPARE(targets.size(), 2);
    QCOMPARE(targets[1]->text(), b);
    targets[1]->trigger();
    clearTable();
    wb->close();
    frame.OpenWindow(b);
    QCOMPARE(QString::fromStdString(frame.Bookmarks().Cell(0, 1)), QStringLiteral("$05"));
  }
};

QTEST_MAIN(TestExtraCommands)
#include "test_extracmds.moc"
