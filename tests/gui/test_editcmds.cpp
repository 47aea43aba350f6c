// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's commands wired to their engines: the shared dialog's
// tabs, the messages of find, replace and goto, the jumps, the clipboard, the
// binary edit and the bookmarks. The windows run against a fake frame.
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "control/bookmarks.h"
#include "control/hexeditor.h"
#include "editor/findexpr.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/valuepanel.h"
#include "fakeframe.h"
#include "guitest.h"

using namespace byteloom;
using namespace byteloom::test;

class TestEditCommands : public TGuiTest {
  Q_OBJECT

 private:
  // The next showing of the shared dialog: only `tab` may be visible and
  // active; fill then closes it with OK.
  void Dialog(TFakeFrame& frame, QWidget* TSearchReplace::*tab, std::function<void(TSearchReplace&)> fill) {
    Script().ExpectModal(QStringLiteral("SearchReplace"), [this, &frame, tab, fill](QDialog&) {
      QTabWidget* pages = frame.Search.PageControl1;
      int visible = 0;
      for (int i = 0; i < pages->count(); ++i) visible += pages->isTabVisible(i) ? 1 : 0;
      if (visible != 1 || pages->currentWidget() != frame.Search.*tab) FTabProblems << (frame.Search.*tab)->objectName();
      fill(frame.Search);
      return TModalResult::mrOk;
    });
  }
  QStringList FTabProblems;  // what the dialog steps found wrong

 private slots:
  void theSearchBoxesSayWhatTheyMean() {
    TSearchReplace dialog(nullptr);
    const struct {
      QLineEdit* box;
      QLabel* line;
      const char *typed, *meaning;
    } rows[] = {
        {dialog.Edit1, dialog.FindMeaning, "coreutils", "Bytes: CE (not hex digits, skipped: orutils)"},
        {dialog.Edit1, dialog.FindMeaning, "T\xe4", "Text ignoring case: E4"},
        {dialog.Edit2, dialog.SearchMeaning, "8813", "Bytes: 88 13"},
        {dialog.Edit2, dialog.SearchMeaning, "", "Not a search expression"},
        {dialog.Edit3, dialog.ReplaceMeaning, "0F27", "Replaced by 4 bytes: 30 46 32 37 (text, taken literally)"},
    };
    for (const auto& r : rows) {
      r.box->setText(QString::fromLatin1(r.typed));
      QCOMPARE(r.line->text(), QString::fromLatin1(r.meaning));
      // The whole line is visible.
      QVERIFY2(r.line->fontMetrics().horizontalAdvance(r.line->text()) <= r.line->width(), r.meaning);
    }
  }

  void findReplaceGotoAndJump() {
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(File(QStringLiteral("a.txt"), "Hello hello HELLO"));
    THexEditor& ed = w->Editor();

    // Find ignoring case from the caret, then Find Next until nothing is left.
    Dialog(frame, &TSearchReplace::TabSheet1, [](TSearchReplace& d) { d.Edit1->setText(QStringLiteral("THello")); });
    w->Find1->trigger();
    QCOMPARE(ed.SelStart(), 4);
    QCOMPARE(ed.SelEnd(), 0);
    w->HexEditor1KeyUp();  // the Edit menu follows the document
    w->FindNext1->trigger();
    QCOMPARE(ed.SelEnd(), 6);
    w->FindNext2->trigger();
    QCOMPARE(ed.SelEnd(), 12);
    Script().ExpectShowMessage(QStringLiteral("Data not found."));
    w->FindNext1->trigger();
    Dialog(frame, &TSearchReplace::TabSheet1, [](TSearchReplace& d) { d.Edit1->setText(QStringLiteral("tzz")); });
    Script().ExpectMessage(QStringLiteral("Data not found!"), TMsgDlgType::mtError);
    w->Find2->trigger();

    // Replace all with a replacement that contains the pattern ends, and grows.
    ed.Seek(0, 0, true);
    Dialog(frame, &TSearchReplace::TabSheet2, [](TSearchReplace& d) {
      d.Edit2->setText(QStringLiteral("tl"));
      d.Edit3->setText(QStringLiteral("ll"));
      d.CheckBox1->setChecked(true);
    });
    Script().ExpectMessage(QStringLiteral("4 Founds replaced!"), TMsgDlgType::mtInformation);
    w->Replace1->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("Hellllo hellllo HELLO"));
    QVERIFY(frame.Enabled(TFrameItem::fiSave));
    for (int i = 0; i < 4; ++i) ed.Undo();
    QCOMPARE(DocumentBytes(ed), QByteArray("Hello hello HELLO"));
    ed.Seek(0, 0, true);
    Dialog(frame, &TSearchReplace::TabSheet2, [](TSearchReplace& d) { d.CheckBox1->setChecked(false); });
    w->Replace1->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("Helllo hello HELLO"));

    // Goto: "0x" means hex; a typo is reported and the caret stays.
    Dialog(frame, &TSearchReplace::TabSheet3, [](TSearchReplace& d) { d.Edit4->setText(QStringLiteral("0x10")); });
    w->Goto1->trigger();
    QCOMPARE(ed.GetCursorPos(), 16);
    Dialog(frame, &TSearchReplace::TabSheet3, [](TSearchReplace& d) { d.Edit4->setText(QStringLiteral("1O")); });
    Script().ExpectErrorBox(QStringLiteral("Invalid position"));
    w->Goto2->trigger();
    QCOMPARE(ed.GetCursorPos(), 16);

    // Jumps by the amount, stopping at the ends; the caption stays.
    Script().ExpectInput(QStringLiteral("Jump amount"), QStringLiteral("5"));
    w->Amount40001->trigger();
    w->Jumpbackward1->trigger();
    QCOMPARE(ed.GetCursorPos(), 11);
    Settle();  // the control's state message refreshes the value panel
    QCOMPARE(w->Value_Info_Panel->Caption(TValueBox::vbAddressDec), QStringLiteral("11"));
    w->Jumpforward1->trigger();
    w->JumpForward2->trigger();
    QCOMPARE(ed.GetCursorPos(), ed.DataSize() - 1);
    QCOMPARE(w->Amount40001->text(), QStringLiteral("Amount : 4000"));
    QCOMPARE(FTabProblems, QStringList());
  }

  void clipboardKeepsEveryByte() {
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(File(QStringLiteral("c.bin"), QByteArray("A\0BC", 4)));
    THexEditor& ed = w->Editor();
    ed.SetSelStart(2);
    ed.SetSelEnd(0);
    w->Kopieren1->trigger();
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(clip->text(), QStringLiteral("A"));
    QCOMPARE(clip->data(QStringLiteral("application/x-byteloom-bytes")), QByteArray("A\0B", 3));

    ed.Seek(3, 0, true);
    w->Paste1->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("A\0BA\0BC", 7));
    QVERIFY(frame.Enabled(TFrameItem::fiSave));

    // Text from another program arrives as Windows-1252 bytes.
    QGuiApplication::clipboard()->setText(QStringLiteral("\u00c4\u20ac\u4e00"));
    ed.Seek(0, 0, true);
    w->Einfgen1->trigger();
    QCOMPARE(DocumentBytes(ed).left(3), QByteArray("\xc4\x80?"));

    // Cut, and Undo brings it back.
    ed.SetSelStart(0);
    ed.SetSelEnd(2);
    w->Cut1->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("A\0BA\0BC", 7));
    w->Bearbeiten1Click();
    QCOMPARE(w->Rckgngig1->text(), QStringLiteral("Undo : Byte(s) removed"));
    QVERIFY(frame.Enabled(TFrameItem::fiUndo) && frame.Enabled(TFrameItem::fiPaste));
    w->Undo1->trigger();
    QCOMPARE(DocumentBytes(ed).left(3), QByteArray("\xc4\x80?"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("\u00c4\u20ac?"));
  }

  void binaryEditAndBookmarks() {
    TFakeFrame frame;
    Teditform* big = frame.OpenWindow(File(QStringLiteral("big.bin"), QByteArray(5000, '\x01')));
    Teditform* w = frame.OpenWindow(File(QStringLiteral("b.bin"), QByteArray("\x00\xa5\x22", 3)));
    THexEditor& ed = w->Editor();
    ed.Seek(1, 0, true);
    Dialog(frame, &TSearchReplace::TabSheet4, [this](TSearchReplace& d) {
      QString bits;
      for (QCheckBox* box : d.BitBoxes) bits += box->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
      if (bits != QStringLiteral("10100101") || d.Label9->text() != QStringLiteral("165") ||
          d.Label11->text() != QStringLiteral("A5"))
        FTabProblems << QStringLiteral("bits ") + bits;
      d.BitBoxes[0]->click();
      if (d.Label9->text() != QStringLiteral("37") || d.Label11->text() != QStringLiteral("25"))
        FTabProblems << QStringLiteral("after click ") + d.Label9->text();
      d.BitBtn7->click();
    });
    w->BinaryEdit1->trigger();
    QCOMPARE(DocumentBytes(ed), QByteArray("\x00\x25\x22", 3));  // the shown byte, overwritten
    QCOMPARE(QString::fromStdString(ed.UndoDescription()), QStringLiteral("Byte changed"));
    QVERIFY(frame.ItemEnabled(TFrameItem::fiSave));

    // A bookmark set in one window, shown in the menus and jumped to in another.
    frame.Activate(big);
    big->Editor().Seek(4096, 0, true);
    big->AddBookmark1->trigger();
    big->Bookmarks1Click();
    QVERIFY(big->Bookmark1->isVisible() && !big->Bookmark2->isVisible());
    QCOMPARE(big->Bookmark1->text(), QStringLiteral(" Pos: $1000"));
    QVERIFY(big->EditBookmark1->isEnabled());
    w->Bookmarks1Click();
    w->Bookmark1->trigger();  // outside this document: ignored
    QCOMPARE(ed.GetCursorPos(), 1);

    // Editing the offset in the dialog's grid moves the next jump.
    Dialog(frame, &TSearchReplace::TabSheet5, [](TSearchReplace& d) {
      d.FormShow();
      d.StringGrid1->setCurrentCell(1, 0);
      d.StringGrid1Click();
      d.Edit5->setText(QStringLiteral("$2"));
      d.Button1->click();
    });
    big->EditBookmark1->trigger();
    QCOMPARE(QString::fromStdString(frame.Bookmarks().Cell(0, 1)), QStringLiteral("$2"));
    QCOMPARE(frame.Search.StringGrid1->item(0, 0)->text(), QStringLiteral("Offset (hex)"));
    w->Bookmark1->trigger();
    QCOMPARE(ed.GetCursorPos(), 2);
    QCOMPARE(FTabProblems, QStringList());
  }

  // An offset that is not a number: its jump does nothing and says nothing,
  // and the dialogs still open, so the row can be repaired from a window
  // whose Bookmarks menu opens for the first time.
  void badBookmarkOffsetsBlockNothing() {
    TFakeFrame frame;
    Teditform* w = frame.OpenWindow(File(QStringLiteral("a.bin"), QByteArray(0x20000, '\x07')));
    THexEditor& ed = w->Editor();
    ed.Seek(8189, 0, true);
    w->AddBookmark1->trigger();
    frame.Bookmarks().SetCell(0, 1, "1DF3D");
    Teditform* again = frame.OpenWindow(File(QStringLiteral("b.bin"), QByteArray(0x20000, '\x07')));
    again->Bookmarks1Click();
    QVERIFY(again->EditBookmark1->isEnabled() && again->Bookmark1->isVisible());
    again->Editor().Seek(5, 0, true);
    again->Bookmark1->trigger();
    QCOMPARE(again->Editor().GetCursorPos(), 5);
    Dialog(frame, &TSearchReplace::TabSheet4, [](TSearchReplace& d) { d.BitBtn7->click(); });
    again->BinaryEdit1->trigger();
    Dialog(frame, &TSearchReplace::TabSheet5, [](TSearchReplace& d) {
      d.StringGrid1->setCurrentCell(1, 0);
      d.Edit5->setText(QStringLiteral("$1DF3D"));
      d.Button1->click();
    });
    again->EditBookmark1->trigger();
    again->Bookmark1->trigger();
    QCOMPARE(again->Editor().GetCursorPos(), 0x1DF3D);
    QCOMPARE(FTabProblems, QStringList());
  }
};

QTEST_MAIN(TestEditCommands)
#include "test_editcmds.moc"
