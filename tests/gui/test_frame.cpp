// SPDX-License-Identifier: GPL-3.0-or-later
// The main frame: start state, New and Open, the toolbar and menu states as
// editor windows come and go, menu merging, the command line, Exit and the
// background picture.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QUrl>
#include <QMdiArea>
#include <QMessageBox>
#include <QAbstractButton>
#include <QTimer>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>

#include "compare/ui/com_mete.h"
#include "compare/ui/Fcomp.h"
#include "control/hexeditor.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/search.h"
#include "editor/ui/valuepanel.h"
#include "guitest.h"
#include "output/ui/Drucker.h"
#include "output/ui/hexexp.h"
#include "platform/filenames.h"
#include "shell/ui/appforms.h"
#include "shell/ui/fileprop.h"
#include "shell/ui/info.h"
#include "shell/ui/mainform.h"
#include "shell/ui/preferen.h"
#include "ui/qhexeditor.h"
#include "ui/qtext.h"

using namespace byteloom;
using namespace byteloom::test;

namespace {

QStringList MenuBarNames(TMainform& frame) {
  QStringList names;
  for (QAction* action : frame.MainMenu1->actions())
    if (action->isVisible()) names << action->objectName();
  return names;
}

QList<QToolButton*> DocumentButtons(TMainform& f) {
  return {f.ToolButton4, f.ToolButton5, f.ToolButton6, f.ToolButton7, f.ToolButton9, f.ToolButton10, f.ToolButton11,
          f.ToolButton13};
}

}  // namespace

class TestFrame : public TGuiTest {
  Q_OBJECT

 private slots:
  void startState() {
    TMainform& frame = Box().Start();
    QCOMPARE(frame.windowTitle(), QStringLiteral("Byteloom"));
    QCOMPARE(QApplication::applicationName(), QStringLiteral("Byteloom"));
    // The dialogs exist once each, created after the frame in this order.
    const TForms& forms = Box().Frame().Forms();
    const QList<QObject*> order = {forms.Infoform, forms.Fileproperties, forms.DruckerForm, forms.Preferences,
                                   forms.Fcompare, forms.SearchReplace, forms.HexExport, forms.Compareometer};
    QList<QObject*> children;
    for (QObject* child : frame.children())
      if (order.contains(child)) children << child;
    QCOMPARE(children, order);
    for (QObject* dialog : order) QVERIFY(!static_cast<QWidget*>(dialog)->isVisible());

    QCOMPARE(frame.MDIChildCount(), 0);
    QVERIFY(!frame.Window1->menuAction()->isVisible());
    QCOMPARE(MenuBarNames(frame), (QStringList{"Datei1", "View1", "Tools1", "Hilfe1"}));
    for (QToolButton* b : DocumentButtons(frame)) QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (QToolButton* b : {frame.ToolButton15, frame.ToolButton16})
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QVERIFY(!frame.Compare1->isEnabled());
    QVERIFY(!frame.CompareAgain1->isEnabled());
    for (QToolButton* b : {frame.ToolButton1, frame.ToolButton2, frame.ToolButton14})
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    for (QAction* item : frame.RecentFileItems()) QVERIFY(!item->isVisible());
    QVERIFY(!frame.N5->isVisible());

    // The toolbar: fifteen buttons with their hints, left to right.
    QStringList hints;
    for (QToolButton* b : frame.ToolBar1->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly))
      if (b->objectName().startsWith(QLatin1String("ToolButton"))) hints << b->toolTip();
    QCOMPARE(hints, (QStringList{"New", "Open", "Save", "Print", "Cut", "Copy", "Paste", "Undo", "Search",
                                 "Search again", "Compare + Compare o'meter", "Compare again", "Compare side by side",
                                 "Take snapshot", "Help"}));
    QVERIFY(!frame.ToolButton17->isEnabled() && !frame.SideBySide1->isEnabled() && !frame.Unlock1->isEnabled());
    QCOMPARE(frame.OpenDialog1->Filter(),
             QStringLiteral("All Files (*.*)|*.*|Executable Files (*.exe ; *.com)|*.exe;*.com"));
    QCOMPARE(frame.SaveDialog1->Filter(),
             QStringLiteral("All Files (*.*)|*.*|Executable Files (*.exe ; *.com)|*.exe;*.com|Text Files|*.txt"));
    QCOMPARE(frame.OpenDialog1->QtNameFilters(),
             QStringLiteral("All Files (*.*) (*);;Executable Files (*.exe ; *.com) (*.exe *.com)"));
    QVERIFY(frame.ProgramDir.endsWith(QLatin1Char('/')));
  }

  void newWindow() {
    TMainform& frame = Box().Start();
    frame.ToolButton1->click();
    QCOMPARE(frame.MDIChildCount(), 1);
    Teditform* window = frame.ActiveMDIChild();
    QVERIFY(window);
    QCOMPARE(window->windowTitle(), QStringLiteral("New File"));
    // 565 x 380, wider only where the value panel needs it at this font.
    QCOMPARE(window->size(), QSize(std::max(565, window->minimumSizeHint().width()), 380));
    QCOMPARE(window->Editor().FileName(), std::string("Untitled"));
    QCOMPARE(window->Editor().DataSize(), 0);
    QVERIFY(frame.Window1->menuAction()->isVisible());
    QVERIFY(frame.ToolButton9->isEnabled());
    QVERIFY(frame.ToolButton5->isEnabled());
    QVERIFY(frame.ToolButton11->isEnabled());
    QVERIFY(!frame.ToolButton4->isEnabled());
    // The window's menus stand in for the frame's File and View.
    QCOMPARE(MenuBarNames(frame),
             (QStringList{"Datei1", "Bearbeiten1", "View1", "Bookmarks1", "Tools1", "Window1", "Hilfe1"}));
    QCOMPARE(frame.MainMenu1->actions().first(), window->Datei1->menuAction());
    QCOMPARE(frame.MainMenu1->actions().at(2), window->View1->menuAction());
    // An empty document shows only the selection in the value panel.
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbSelStart), QStringLiteral("00"));
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbSelEnd), QStringLiteral("00"));
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbLength), QStringLiteral("-"));
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbBinary8), QStringLiteral("-"));
  }

  void openAndCancel() {
    TMainform& frame = Box().Start();
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), QString());
    frame.ToolButton2->click();
    QCOMPARE(frame.MDIChildCount(), 0);

    const QString path = Box().Path(QStringLiteral("game.sav"));
    WriteBytes(path, QByteArray("\x01\x02\x03\x04\x05", 5));
    Teditform* first = OpenFile(path);
    QVERIFY(first);
    QCOMPARE(first->windowTitle(), path);
    QCOMPARE(first->Value_Info_Panel->Caption(TValueBox::vbLength), QStringLiteral("5"));
    QCOMPARE(first->Value_Info_Panel->Caption(TValueBox::vbDecHex), QStringLiteral("1/01"));
    QCOMPARE(frame.File1->text(), path);
    QVERIFY(frame.File1->isVisible());
    // The same file twice makes two windows (and two list entries).
    Teditform* second = OpenFile(path);
    QVERIFY(second && second != first);
    QCOMPARE(frame.MDIChildCount(), 2);
    QCOMPARE(frame.File2->text(), path);
    // A recent entry opens its file without changing the list.
    frame.File1->trigger();
    QCOMPARE(frame.MDIChildCount(), 3);
    QCOMPARE(frame.ActiveMDIChild()->windowTitle(), path);
    QVERIFY(frame.File3->text().isEmpty());
  }

  void openSeveralAndDrop() {
    TMainform& frame = Box().Start();
    QStringList names;
    for (const char* n : {"b.sav", "a.sav", "c.sav"}) {
      names << Box().Path(QString::fromLatin1(n));
      WriteBytes(names.last(), QByteArray(n));
    }
    // One choice of three files: three windows, in the order chosen.
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), names.join(QLatin1Char('\n')));
    frame.ToolButton2->click();
    QCOMPARE(frame.MDIChildCount(), 3);
    QStringList titles;  // the top window first: the last one opened
    for (int i = 0; i < 3; ++i) titles << frame.MDIChildren(i)->windowTitle();
    QCOMPARE(titles, (QStringList{names[2], names[1], names[0]}));
    QCOMPARE((QStringList{frame.File1->text(), frame.File2->text(), frame.File3->text()}), names);
    // Dropped files open as well; what is not a local file is ignored.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(names[1]), QUrl(QStringLiteral("https://example.org/x.sav")),
                  QUrl::fromLocalFile(names[0])});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QCOMPARE(frame.MDIChildCount(), 5);
    QCOMPARE(frame.ActiveMDIChild()->windowTitle(), names[0]);
    QCOMPARE(QString::fromStdString(frame.ActiveMDIChild()->Editor().FileName()), names[0]);
  }

  void compareFollowsTheNumberOfWindows() {
    TMainform& frame = Box().Start();
    auto compareOn = [&] {
      return frame.Compare1->isEnabled() && frame.ToolButton16->isEnabled();
    };
    frame.Neu1->trigger();
    QVERIFY(!compareOn());
    frame.Neu1->trigger();
    QVERIFY(compareOn());
    QVERIFY(!frame.CompareAgain1->isEnabled());
    QVERIFY(!frame.ToolButton15->isEnabled());
    frame.Neu1->trigger();
    QVERIFY(compareOn());
    QCOMPARE(frame.MDIChildCount(), 3);
    // Three to two keeps it; two to one turns it off.
    QVERIFY(frame.ActiveMDIChild()->close());
    Settle();
    QCOMPARE(frame.MDIChildCount(), 2);
    QVERIFY(compareOn());
    frame.CompareAgain1->setEnabled(true);  // as after a compare run
    frame.ToolButton15->setEnabled(true);
    QVERIFY(frame.ActiveMDIChild()->close());
    Settle();
    QVERIFY(!compareOn());
    QVERIFY(!frame.CompareAgain1->isEnabled());
    QVERIFY(!frame.ToolButton15->isEnabled());
    QVERIFY(frame.Window1->menuAction()->isVisible());
    // The last window: the Window menu goes, the document buttons go grey.
    frame.ActiveMDIChild()->Bearbeiten1Click();
    QVERIFY(frame.ActiveMDIChild()->close());
    Settle();
    QCOMPARE(frame.MDIChildCount(), 0);
    QVERIFY(!frame.Window1->menuAction()->isVisible());
    for (QToolButton* b : DocumentButtons(frame)) QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    QCOMPARE(MenuBarNames(frame), (QStringList{"Datei1", "View1", "Tools1", "Hilfe1"}));
  }

  void menusFollowTheActiveWindow() {
    TMainform& frame = Box().Start();
    frame.Neu1->trigger();
    Teditform* first = frame.ActiveMDIChild();
    frame.Neu1->trigger();
    Teditform* second = frame.ActiveMDIChild();
    QVERIFY(first != second);
    QCOMPARE(frame.MainMenu1->actions().first(), second->Datei1->menuAction());
    QCOMPARE(frame.MDIChildren(0), second);
    QCOMPARE(frame.MDIChildren(1), first);
    frame.ClientWindow()->setActiveSubWindow(first);
    QCOMPARE(frame.ActiveMDIChild(), first);
    QCOMPARE(frame.MDIChildren(0), first);
    QCOMPARE(frame.MainMenu1->actions().first(), first->Datei1->menuAction());
    QCOMPARE(frame.MainMenu1->actions().at(1), first->Bearbeiten1->menuAction());
    QVERIFY(!frame.MainMenu1->actions().contains(second->Datei1->menuAction()));
    // The Window menu lists the windows by caption.
    frame.Window1Popup();
    QStringList captions;
    for (QAction* a : frame.Window1->actions())
      if (!a->isSeparator()) captions << a->text();
    QCOMPARE(captions, (QStringList{"&Tile", "&Cascalde", "&Arrage Icons", "&1 New File", "&2 New File"}));
  }

  void saveButtonFollowsTheActiveDocument() {
    TMainform& frame = Box().Start();
    const QString path = Box().Path(QStringLiteral("a.bin"));
    WriteBytes(path, QByteArray(64, 'a'));
    Teditform* first = OpenFile(path);
    QVERIFY(!frame.ToolButton4->isEnabled());
    TypeByte(*first, 3, 'Z');
    QVERIFY(first->Editor().Modified());
    first->HexEditor1KeyUp();
    QVERIFY(frame.ToolButton4->isEnabled());
    frame.Neu1->trigger();
    Teditform* second = frame.ActiveMDIChild();
    QVERIFY(!frame.ToolButton4->isEnabled());
    frame.ClientWindow()->setActiveSubWindow(first);
    QVERIFY(frame.ToolButton4->isEnabled());
    // The button saves the active window's document.
    frame.ToolButton4->click();
    QVERIFY(!frame.ToolButton4->isEnabled());
    QCOMPARE(ReadBytes(path).at(3), 'Z');
    QCOMPARE(ReadBytes(Box().Path(QStringLiteral("a.bak"))), QByteArray(64, 'a'));
    QVERIFY(second);
  }

  void editButtonsFollowTheEditMenu() {
    TMainform& frame = Box().Start();
    const QString path = Box().Path(QStringLiteral("b.bin"));
    WriteBytes(path, QByteArray("0123456789", 10));
    Teditform* window = OpenFile(path);
    QApplication::clipboard()->clear();
    window->Bearbeiten1Click();
    for (QToolButton* b : {frame.ToolButton6, frame.ToolButton7, frame.ToolButton9, frame.ToolButton10})
      QVERIFY2(!b->isEnabled(), qPrintable(b->objectName()));
    for (QToolButton* b : {frame.ToolButton5, frame.ToolButton11, frame.ToolButton13})
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    window->Editor().SetSelStart(2);
    window->Editor().SetSelEnd(5);
    TypeByte(*window, 0, 'x');
    QApplication::clipboard()->setText(QStringLiteral("text"));
    // The Undo button runs the window's Undo and then refreshes the state.
    window->Bearbeiten1Click();
    for (QToolButton* b : {frame.ToolButton6, frame.ToolButton7, frame.ToolButton9, frame.ToolButton10})
      QVERIFY2(b->isEnabled(), qPrintable(b->objectName()));
    QApplication::clipboard()->clear();
  }

  void commandLineOffset_data() {
    QTest::addColumn<QString>("offset");
    QTest::addColumn<int>("caret");
    QTest::newRow("0x1F") << "0x1F" << 31;
    QTest::newRow("0X1F") << "0X1F" << 31;
    QTest::newRow("$1F") << "$1F" << 31;
    QTest::newRow("31") << "31" << 31;
    QTest::newRow(" 31") << " 31" << 31;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("last") << "$3F" << 63;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("0xZZ") << "0xZZ" << 0;
    QTest::newRow("past the end") << "64" << 0;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("empty") << "" << 0;
  }

  void commandLineOffset() {
    QFETCH(QString, offset);
    QFETCH(int, caret);
    const QString path = Box().Path(QStringLiteral("cmd.bin"));
    QByteArray data;
    for (int i = 0; i < 64; ++i) data.append(static_cast<char>(i));
    WriteBytes(path, data);
    // A further file opens in a window of its own; the first one stays on top.
    const QString second = Box().Path(QStringLiteral("second.bin"));
    WriteBytes(second, "xy");
    TMainform& frame = Box().Start({ToFileName(path), ToFileName(offset), ToFileName(second)});
    QCOMPARE(frame.MDIChildCount(), 2);
    QCOMPARE(frame.MDIChildren(1)->windowTitle(), second);
    Teditform* window = frame.ActiveMDIChild();
    QCOMPARE(window->windowTitle(), path);
    QCOMPARE(window->Editor().GetCursorPos(), caret);
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbAddressDec), QString::number(caret));
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbUnsigned8), QString::number(caret));
    // The command line does not enter the recent files.
    QVERIFY(frame.File1->text().isEmpty());
  }

  // A file that cannot be opened: one message, naming it and the reason.
  void commandLineFileThatCannotBeOpened_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << "No such file or directory";
    QTest::newRow("folder") << "folder" << "is a folder, not a file";
    QTest::newRow("fifo") << "fifo" << "is not a regular file";
  }
  void commandLineFileThatCannotBeOpened() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    const QString path = Box().Path(QStringLiteral("nothing-here.bin"));
    if (kind == QLatin1String("folder")) QDir().mkpath(path);
    if (kind == QLatin1String("fifo")) QCOMPARE(mkfifo(ToFileName(path).c_str(), 0600), 0);
    Script().ExpectErrorBox(QStringLiteral("Cannot open file\r\n") + path + QStringLiteral("\r\n"));
    TMainform& frame = Box().Start({ToFileName(path)});
    QCOMPARE(Script().Asked().size(), 1);
    QVERIFY2(Script().Asked().first().contains(reason), qPrintable(Script().Asked().first()));
    QCOMPARE(frame.MDIChildCount(), 1);
    QCOMPARE(frame.ActiveMDIChild()->Editor().DataSize(), 0);
    QVERIFY(frame.isVisible());
  }

  // A file name is bytes, not text: a Latin-1 name (no UTF-8) opens from the
  // command line, shows decoded, and is saved under its own name.
  void commandLineNameOfAnyBytes() {
    const std::string name = ToFileName(Box().Dir()) + "/caf\xe9-\xff.bin";
    std::ofstream(name, std::ios::binary) << "abc";
    TMainform& frame = Box().Start({name, "2"});
    QCOMPARE(frame.MDIChildCount(), 1);
    Teditform* window = frame.ActiveMDIChild();
    QCOMPARE(window->Editor().FileName(), name);
    QCOMPARE(DocumentBytes(window->Editor()), QByteArray("abc"));
    QCOMPARE(window->Editor().GetCursorPos(), 2);
    QCOMPARE(window->windowTitle(), QFile::decodeName(QByteArray::fromStdString(name)));
    TypeByte(*window, 0, 'X');
    window->Speichern1->trigger();
    const auto read = [](const std::string& path) {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), {});
    };
    QCOMPARE(read(name), std::string("Xbc"));
    QCOMPARE(read(ChangeFileExt(name, ".bak")), std::string("abc"));
    QCOMPARE(window->windowTitle(), QFile::decodeName(QByteArray::fromStdString(name)));
  }

  void exitAsksEveryWindow() {
    TMainform& frame = Box().Start();
    const QString a = Box().Path(QStringLiteral("a.bin"));
    const QString b = Box().Path(QStringLiteral("b.bin"));
    WriteBytes(a, QByteArray(8, 'a'));
    WriteBytes(b, QByteArray(8, 'b'));
    Teditform* wa = OpenFile(a);
    Teditform* wb = OpenFile(b);
    TypeByte(*wa, 0, 'A');
    TypeByte(*wb, 0, 'B');
    // The active window is asked first; a Cancel keeps everything open.
    Script().ExpectMessage(QStringLiteral("Save changes to\r\n") + b + QStringLiteral(" ?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    Script().ExpectMessage(QStringLiteral("Save changes to\r\n") + a + QStringLiteral(" ?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrCancel);
    frame.Beende1->trigger();
    QVERIFY(frame.isVisible());
    QCOMPARE(frame.MDIChildCount(), 2);
    QVERIFY(!QFile::exists(Box().SettingsFile()));
    // Yes saves, No does not; then the settings are written and the frame closes.
    Script().ExpectMessage(QStringLiteral("Save changes to\r\n") + b + QStringLiteral(" ?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrYes);
    Script().ExpectMessage(QStringLiteral("Save changes to\r\n") + a + QStringLiteral(" ?"),
                           TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    wb->Beenden2->trigger();
    QVERIFY(!frame.isVisible());
    QCOMPARE(ReadBytes(b).at(0), 'B');
    QCOMPARE(ReadBytes(a).at(0), 'a');
    QVERIFY(QFile::exists(Box().SettingsFile()));
    // The working files go with the windows.
    const QString work = QString::fromStdString(wa->Editor().TempFileName());
    QVERIFY(QFile::exists(work));
    Box().Stop();
    QVERIFY(!QFile::exists(work));
  }

  void backgroundPicture() {
    TMainform& frame = Box().Start();
    int next = 0;
    const QList<int> numbers = {2, 3, 6, 5};
    frame.SetRandom([&] { return numbers[next++ % numbers.size()]; });
    frame.resize(900, 700);
    QApplication::processEvents();
    QMdiArea* client = frame.ClientWindow();
    const QImage picture = client->viewport()->grab().toImage();
    QCOMPARE(frame.TipText(), TipLine(numbers[(next - 2) % 4]));
    QCOMPARE(frame.StatusText(), StatusLine(numbers[(next - 1) % 4]));
    QVERIFY(frame.TipText() == TipLine(2) || frame.TipText() == TipLine(6));
    // The logo is centred on the frame's client area and drawn from the
    // client window's corner; the background is silver.
    const int height = frame.height() - frame.menuBar()->height();
    const int x = (frame.width() - 390) / 2;
    const int y = (height - 200) / 2;
    QCOMPARE(picture.pixelColor(2, 2), QColor(192, 192, 192));
    QCOMPARE(picture.pixelColor(x + 60, y + 20), QColor(255, 255, 255));  // the logo's page
    QCOMPARE(picture.pixelColor(x - 5, y + 20), QColor(192, 192, 192));
    // Another whole repaint chooses again.
    const int calls = next;
    client->viewport()->grab();
    QCOMPARE(next, calls + 2);
    QCOMPARE(TipLine(1), TipLine(3));
    QVERIFY(TipLine(0).endsWith(QLatin1Char(' ')));
    QCOMPARE(StatusLine(5), TipLine(5));
    QCOMPARE(StatusLine(6), TipLine(6));
    QVERIFY(StatusLine(3).startsWith(QLatin1String("Updates & more: ")));
  }

  void arrangeCommands() {
    TMainform& frame = Box().Start();
    frame.resize(1000, 800);
    frame.Neu1->trigger();
    frame.Neu1->trigger();
    frame.Tile1->trigger();
    Teditform* a = frame.MDIChildren(0);
    Teditform* b = frame.MDIChildren(1);
    QVERIFY(!a->geometry().intersects(b->geometry()));
    frame.Cascalde1->trigger();
    QVERIFY(a->geometry().intersects(b->geometry()));
    QVERIFY(a->pos() != b->pos());
    a->showMinimized();
    b->showMinimized();
    frame.ArrageIcons1->trigger();
    QCOMPARE(a->y(), b->y());
    QVERIFY(!a->geometry().intersects(b->geometry()));
  }

  void aGuardedCommandShowsItsError() {
    TMainform& frame = Box().Start();
    frame.Neu1->trigger();
    Teditform* window = frame.ActiveMDIChild();
    // An error raised inside a command is shown and the command ends.
    Script().ExpectException(QStringLiteral("Invalid BytesPerLine argument"));
    window->_16->setData(0);
    window->_16->trigger();
    QCOMPARE(window->Editor().BytesPerLine(), 16);
    QVERIFY(frame.isVisible());
  }

  void theToolkitDialogsSpeakGerman() {
    SetDialogService(nullptr);  // the real message boxes, answered by a timer
    struct TRestore {
      TScriptedDialogs* Script;
      ~TRestore() { SetDialogService(Script); }
    } restore{&Script()};
    QStringList seen;
    auto answer = [&seen](const QString& button) {
      QTimer::singleShot(0, [&seen, button] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        QStringList buttons;
        for (QAbstractButton* b : box->buttons()) buttons << b->text();
        buttons.sort();
        seen << box->windowTitle() + QLatin1Char('|') + box->text() + QLatin1Char('|') + buttons.join(QLatin1Char(','));
        for (QAbstractButton* b : box->buttons())
          if (b->text() == button) b->click();
      });
    };
    answer(QStringLiteral("&Nein"));
    QCOMPARE(Dialogs().MessageDlg(nullptr, QStringLiteral("Save changes to\r\nx ?"), TMsgDlgType::mtConfirmation,
                                  TMsgDlgButtons::mbYesNoCancel),
             TModalResult::mrNo);
    answer(QStringLiteral("&Ja"));
    QCOMPARE(Dialogs().MessageDlg(nullptr, QStringLiteral("q"), TMsgDlgType::mtConfirmation,
                                  TMsgDlgButtons::mbYesNoCancel),
             TModalResult::mrYes);
    answer(QStringLiteral("Abbrechen"));
    QCOMPARE(Dialogs().MessageDlg(nullptr, QStringLiteral("q"), TMsgDlgType::mtConfirmation,
                                  TMsgDlgButtons::mbYesNoCancel),
             TModalResult::mrCancel);
    answer(QStringLiteral("OK"));
    Dialogs().MessageDlg(nullptr, QStringLiteral("w"), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    answer(QStringLiteral("OK"));
    Dialogs().MessageDlg(nullptr, QStringLiteral("i"), TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    answer(QStringLiteral("OK"));
    Dialogs().MessageDlg(nullptr, QStringLiteral("e"), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    answer(QStringLiteral("OK"));
    Dialogs().ShowMessage(nullptr, QStringLiteral("m"));
    answer(QStringLiteral("OK"));
    Dialogs().ErrorBox(nullptr, QStringLiteral("Cannot save file\r\nx"));
    QCOMPARE(seen, (QStringList{"Bestätigung|Save changes to\nx ?|&Ja,&Nein,Abbrechen",
                                "Bestätigung|q|&Ja,&Nein,Abbrechen", "Bestätigung|q|&Ja,&Nein,Abbrechen",
                                "Warnung|w|OK", "Information|i|OK", "Fehler|e|OK", "Byteloom|m|OK",
                                "Fehler|Cannot save file\nx|OK"}));
  }
};

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
