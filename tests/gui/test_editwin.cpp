// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window: saving, the close queries, Close All, the File menu's
// mirror of the recent files, the Edit and View menu states, the hidden
// nibble commands and the value panel.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <QToolButton>

#include <functional>

#include "control/hexeditor.h"
#include "document/openedfile.h"
#include "editor/findexpr.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/valuepanel.h"
#include "guitest.h"
#include "shell/ui/appforms.h"
#include "shell/ui/mainform.h"
#include "shell/ui/preferen.h"
#include "ui/qhexeditor.h"

using namespace byteloom;
using namespace byteloom::test;

class TestEditwin : public TGuiTest {
  Q_OBJECT

 public:
  TestEditwin() : TGuiTest(TStart::Frame) {}

 private:
  Teditform* NewWindow() {
    Box().Frame().Neu1->trigger();
    return Box().Frame().ActiveMDIChild();
  }
  static QString SaveQuestion(const QString& name) {
    return QStringLiteral("Save changes to\r\n") + name + QStringLiteral(" ?");
  }
  static void Append(Teditform& window, const QByteArray& data) {
    window.Editor().AppendBuffer(reinterpret_cast<const uint8_t*>(data.constData()), static_cast<int32_t>(data.size()));
  }

 private slots:
  void closingAnUnchangedWindowAsksNothing() {
    Teditform* window = OpenFile(File(QStringLiteral("a.bin"), "abc"));
    QVERIFY(window->close());
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 0);
  }

  void closeQueryOfANewDocument() {
    Teditform* window = NewWindow();
    Append(*window, "hello");
    QVERIFY(window->Editor().Modified());
    // Cancel keeps the window, its document and its changes.
    Script().ExpectMessage(SaveQuestion(QStringLiteral("Unnamed File")), TMsgDlgType::mtConfirmation,
                           TModalResult::mrCancel);
    window->Schlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 1);
    QVERIFY(window->Editor().Modified());
    QCOMPARE(window->Editor().DataSize(), 5);
    // Yes with a cancelled save dialog keeps it too.
    Script().ExpectMessage(SaveQuestion(QStringLiteral("Unnamed File")), TMsgDlgType::mtConfirmation,
                           TModalResult::mrYes);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), QString());
    window->Schlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 1);
    // Yes and a name: written, then closed.
    const QString target = Box().Path(QStringLiteral("new.bin"));
    Script().ExpectMessage(SaveQuestion(QStringLiteral("Unnamed File")), TMsgDlgType::mtConfirmation,
                           TModalResult::mrYes);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), target);
    window->Schlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 0);
    QCOMPARE(ReadBytes(target), QByteArray("hello"));
  }

  void answeringNoClosesWithoutWriting() {
    const QString path = File(QStringLiteral("keep.bin"), "0123");
    Teditform* window = OpenFile(path);
    TypeByte(*window, 1, 'X');
    Script().ExpectMessage(SaveQuestion(path), TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    window->Schlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 0);
    QCOMPARE(ReadBytes(path), QByteArray("0123"));
    QVERIFY(!QFile::exists(Box().Path(QStringLiteral("keep.bak"))));
  }

  void saveNewDocumentThenSaveAgain() {
    Teditform* window = NewWindow();
    Append(*window, "abc");
    const QString target = Box().Path(QStringLiteral("doc.txt"));
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), target);
    window->Speichern1->trigger();
    QCOMPARE(window->windowTitle(), target);
    QCOMPARE(ReadBytes(target), QByteArray("abc"));
    QVERIFY(!window->Editor().Modified());
    QVERIFY(!Box().Frame().ToolButton4->isEnabled());
    // The second save writes at once, with a backup of the old file.
    TypeByte(*window, 0, 'X');
    window->HexEditor1KeyUp();
    QVERIFY(Box().Frame().ToolButton4->isEnabled());
    window->Speichern1->trigger();
    QCOMPARE(ReadBytes(target), QByteArray("Xbc"));
    QCOMPARE(ReadBytes(Box().Path(QStringLiteral("doc.bak"))), QByteArray("abc"));
    QVERIFY(!Box().Frame().ToolButton4->isEnabled());
  }

  void saveAsWritesAnyDocument() {
    const QString path = File(QStringLiteral("orig.bin"), "orig");
    Teditform* window = OpenFile(path);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), QString());
    window->Speichernunter1->trigger();
    // It started in the document's folder with its name filled in.
    QCOMPARE(Box().Frame().SaveDialog1->FileName(), path);
    const QString copy = Box().Path(QStringLiteral("copy.bin"));
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), copy);
    window->Speichernunter1->trigger();
    QCOMPARE(ReadBytes(copy), QByteArray("orig"));
    QCOMPARE(window->windowTitle(), copy);
    QCOMPARE(QString::fromStdString(window->Editor().FileName()), copy);
    // The recent files are for the open dialog only.
    QCOMPARE(Box().Frame().File2->text(), QString());
  }

  void aFileThatCannotBeOpenedLeavesANewDocument() {
    const QString pipe = Box().Path(QStringLiteral("pipe.bin"));
    QCOMPARE(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);  // not a file: never read
    Script().ExpectFileDialog(QStringLiteral("OpenDialog1"), pipe);
    Script().ExpectErrorBox(QStringLiteral("Cannot open file\r\n") + pipe);
    Box().Frame().ffnen1->trigger();
    Teditform* window = Box().Frame().ActiveMDIChild();
    QVERIFY(window && window->LoadFailed());
    QCOMPARE(window->windowTitle(), QStringLiteral("New File"));
    QVERIFY(window->Editor().Untitled());
    QCOMPARE(window->Value_Info_Panel->Caption(TValueBox::vbLength), QStringLiteral("0"));
    // Save writes what the window holds, under a name the user gives.
    const QString copy = Box().Path(QStringLiteral("copy.bin"));
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), copy);
    window->Speichern1->trigger();
    QCOMPARE(ReadBytes(copy), QByteArray());
    QVERIFY(QFileInfo(pipe).isFile() == false && QFileInfo::exists(pipe));
  }

  void failedSavesShowTheirReason() {
    Teditform* window = NewWindow();
    Append(*window, "data");
    const QString target = Box().Path(QStringLiteral("no/such/folder/x.bin"));
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), target);
    Script().ExpectErrorBox(QStringLiteral("Cannot save file\r\n") + target + QStringLiteral("\r\n"));
    window->Speichern1->trigger();
    QVERIFY(window->Editor().Modified());
    QCOMPARE(window->windowTitle(), QStringLiteral("New File"));
    QVERIFY(Script().Asked().last().size() > QStringLiteral("error box: Cannot save file\r\n").size() + target.size() + 4);
    // In the close query a failed save keeps the window open.
    Script().ExpectMessage(SaveQuestion(QStringLiteral("Unnamed File")), TMsgDlgType::mtConfirmation,
                           TModalResult::mrYes);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), target);
    Script().ExpectErrorBox(QStringLiteral("Cannot save file\r\n") + target);
    QVERIFY(!window->close());
    QCOMPARE(Box().Frame().MDIChildCount(), 1);
  }

  void readOnlyFileSavesUnderANewName() {
    const QString path = File(QStringLiteral("ro.bin"), "ro");
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    QFile probe(path);
    if (probe.open(QIODevice::ReadWrite)) QSKIP("the file stays writable for this user (root)");
    Script().ExpectMessage(QStringLiteral("Fehler bei Dateizugriff"), TMsgDlgType::mtWarning);
    Teditform* window = OpenFile(path);
    QCOMPARE(window->Editor().DataSize(), 2);
    QVERIFY(window->Editor().ReadOnly());
    TypeByte(*window, 0, 'R');
    const QString target = Box().Path(QStringLiteral("rw.bin"));
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), target);
    window->Speichern1->trigger();
    QCOMPARE(ReadBytes(target), QByteArray("Ro"));
    QCOMPARE(ReadBytes(path), QByteArray("ro"));
  }

  void closeAllAsksOncePerWindowActiveLast() {
    const QString a = File(QStringLiteral("a.bin"), "aaaa");
    const QString b = File(QStringLiteral("b.bin"), "bbbb");
    Teditform* wa = OpenFile(a);
    Teditform* wb = OpenFile(b);
    TypeByte(*wa, 0, 'A');
    TypeByte(*wb, 0, 'B');
    QCOMPARE(Box().Frame().ActiveMDIChild(), wb);
    Script().ExpectMessage(SaveQuestion(a), TMsgDlgType::mtConfirmation, TModalResult::mrCancel);
    Script().ExpectMessage(SaveQuestion(b), TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    wb->AlleSchlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 1);
    QCOMPARE(Box().Frame().MDIChildren(0), wa);
    // Closing the last window by Close All puts the frame back in its start state.
    Script().ExpectMessage(SaveQuestion(a), TMsgDlgType::mtConfirmation, TModalResult::mrNo);
    wa->AlleSchlieen1->trigger();
    Settle();
    QCOMPARE(Box().Frame().MDIChildCount(), 0);
    QVERIFY(!Box().Frame().Window1->menuAction()->isVisible());
    QVERIFY(!Box().Frame().ToolButton5->isEnabled());
  }

  void closeAllOfUnchangedWindowsResetsTheFrame() {
    NewWindow();
    NewWindow();
    NewWindow();
    Box().Frame().ActiveMDIChild()->AlleSchlieen1->trigger();
    Settle();
    TMainform& frame = Box().Frame();
    QCOMPARE(frame.MDIChildCount(), 0);
    QVERIFY(!frame.Window1->menuAction()->isVisible());
    QVERIFY(!frame.Compare1->isEnabled());
    QVERIFY(!frame.ToolButton9->isEnabled());
    QVERIFY(!frame.ToolButton11->isEnabled());
  }

  void fileMenuMirrorsTheRecentFiles() {
    TMainform& frame = Box().Frame();
    Teditform* window = NewWindow();
    window->Datei1Click();
    for (QAction* item : window->RecentFileItems()) QVERIFY(!item->isVisible());
    QVERIFY(!window->N11->isVisible());
    const QString a = File(QStringLiteral("one.bin"), "1");
    const QString b = File(QStringLiteral("two.bin"), "2");
    OpenFile(a);
    OpenFile(b);
    window = frame.ActiveMDIChild();
    window->Datei1Click();
    QCOMPARE(window->File1->text(), a);
    QCOMPARE(window->File2->text(), b);
    QVERIFY(window->File1->isVisible() && window->File2->isVisible());
    QVERIFY(!window->File3->isVisible());
    QVERIFY(window->N11->isVisible());
    QVERIFY(frame.N5->isVisible());
    // Choosing an entry opens its file through the frame.
    window->File2->trigger();
    QCOMPARE(frame.MDIChildCount(), 4);
    QCOMPARE(frame.ActiveMDIChild()->windowTitle(), b);
    // New, Open and Exit of the window are the frame's.
    frame.ActiveMDIChild()->Neu1->trigger();
    QCOMPARE(frame.MDIChildCount(), 5);
    QCOMPARE(frame.ActiveMDIChild()->windowTitle(), QStringLiteral("New File"));
  }

  void menuTreesAndShortcuts() {
    Teditform* window = NewWindow();
    struct TRow {
      QAction* Item;
      const char* Caption;
      const char* Shortcut;
    } const rows[] = {
        {window->Neu1, "&New", "Ctrl+N"},           {window->ffnen1, "&Open...", "Ctrl+O"},
        {window->Schlieen1, "&Close", ""},          {window->AlleSchlieen1, "C&lose All", ""},
        {window->Speichern1, "&Save", "Ctrl+S"},    {window->Speichernunter1, "Save &as...", ""},
        {window->asTextfile1, "as Textfile", ""},   {window->Restore1, "Restore", ""},
        {window->Print1, "&Print", "Ctrl+P"},       {window->Beenden2, "E&xit", "Alt+F4"},
        {window->Rckgngig1, "Undo", "Ctrl+Z"},      {window->Ausschneiden1, "Cut", "Ctrl+X"},
        {window->Kopieren1, "Copy", "Ctrl+C"},      {window->Einfgen1, "Paste", "Ctrl+V"},
        {window->Replace1, "Replace", "Ctrl+R"},    {window->BinaryEdit1, "Binary Edit", ""},
        {window->InsertNibble1, "Insert Nibble", "Ctrl+Shift+Ins"},
        {window->DeleteNibble1, "Delete Nibble", "Ctrl+Shift+Del"},
        {window->Goto1, "Goto...", "Ctrl+G"},       {window->Amount40001, "Amount : 4000", ""},
        {window->Jumpforward1, "Jump forward", "Ctrl+J"},
        {window->Jumpbackward1, "Jump backward", "Ctrl+Shift+J"},
        {window->Find1, "Find ", "Ctrl+F"},         {window->FindNext1, "Find Next", "F3"},
        {window->Properties1, "Prop&erties...", ""}, {window->Preferences1, "&Preferences", ""},
        {window->AddBookmark1, "&Add Bookmark", ""}, {window->EditBookmark1, "&Edit Bookmark", ""},
        {window->Undo1, "&Undo", ""},               {window->Cut1, "&Cut", ""},
        {window->Wiederherstellen1, "Redo", "Ctrl+Y"}, {window->Redo1, "&Redo", ""},
        {window->Goto2, "Goto", ""},                {window->JumpForward2, "Jump Forward", "Ctrl+J"},
        {window->Jump3, "Jump backward", "Ctrl+Shift+J"}, {window->ShowValueInfo1, "Show Value Info", ""},
    };
    for (const TRow& row : rows) {
      QCOMPARE(row.Item->text(), QString::fromUtf8(row.Caption));
      QCOMPARE(row.Item->shortcut(), QKeySequence(QString::fromUtf8(row.Shortcut)));
    }
    QStringList captions;
    for (QMenu* menu : window->MainMenu1()) captions << menu->title();
    QCOMPARE(captions, (QStringList{"&File", "&Edit", "&View", "&Bookmarks"}));
    QVERIFY(!window->N15->isVisible());
    QVERIFY(window->PopupMenu1->actions().contains(window->InsertNibble1));
    QVERIFY(window->PopupMenu1->actions().contains(window->DeleteNibble1));
    QVERIFY(!window->FindNext1->isEnabled());
    QVERIFY(!window->EditBookmark1->isEnabled());
    QVERIFY(window->ShowValueInfo1->isChecked());
    for (QAction* item : {window->Bookmark1, window->Bookmark5, window->File1}) QVERIFY(!item->isVisible());
    // The control as the window sets it up.
    THexEditor& ed = window->Editor();
    QCOMPARE(ed.BytesPerLine(), 16);
    QCOMPARE(ed.BytesPerColumn(), 2);
    QCOMPARE(ed.OffsetSeparator(), ':');
    QCOMPARE(ed.Font().Height, -13);
    QCOMPARE(ed.Colors().ChangedBackground(), TColor(0xA8FFFF));
  }

  void editMenuState() {
    QApplication::clipboard()->clear();
    Teditform* window = NewWindow();
    TMainform& frame = Box().Frame();
    window->Bearbeiten1Click();
    QCOMPARE(window->Rckgngig1->text(), QStringLiteral("Undo : No Undo"));
    QVERIFY(!window->Rckgngig1->isEnabled());
    QVERIFY(!window->Undo1->isEnabled());
    for (QAction* item : {window->Goto1, window->Find1, window->FindNext1, window->BinaryEdit1, window->Goto2,
                          window->Find2, window->FindNext2, window->Ausschneiden1, window->Kopieren1, window->Cut1,
                          window->Copy1, window->Einfgen1, window->Paste1})
      QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
    for (QAction* item : {window->Replace1, window->Jumpforward1, window->Properties1})
      QVERIFY2(item->isEnabled(), qPrintable(item->objectName()));
    QVERIFY(!frame.ToolButton5->isEnabled());
    QVERIFY(!frame.ToolButton11->isEnabled());

    Append(*window, "0123456789");
    window->Editor().ResetSelection(true);
    window->Bearbeiten1Click();
    QCOMPARE(window->Rckgngig1->text(), QStringLiteral("Undo : Append buffer"));
    QVERIFY(window->Rckgngig1->isEnabled());
    QVERIFY(frame.ToolButton10->isEnabled());
    QVERIFY(window->Goto1->isEnabled() && window->BinaryEdit1->isEnabled() && window->FindNext2->isEnabled());
    QVERIFY(!window->Ausschneiden1->isEnabled());
    window->Editor().SetSelStart(1);
    window->Editor().SetSelEnd(3);
    QApplication::clipboard()->setText(QStringLiteral("x"));
    window->PopupMenu1Popup();
    QVERIFY(window->Cut1->isEnabled() && window->Copy1->isEnabled() && window->Paste1->isEnabled());
    QVERIFY(frame.ToolButton6->isEnabled() && frame.ToolButton7->isEnabled() && frame.ToolButton9->isEnabled());
    // A picture alone on the clipboard is no text to paste.
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QApplication::clipboard()->setImage(picture);
    window->Bearbeiten1Click();
    QVERIFY(!window->Einfgen1->isEnabled());
    QVERIFY(!frame.ToolButton9->isEnabled());
    // After undoing everything the item reads "No Undo" again, and Redo
    // (Ctrl+Y or Ctrl+Shift+Z on the control) makes the step again until the next edit.
    QCOMPARE(window->Wiederherstellen1->shortcuts(),
             (QList<QKeySequence>{QKeySequence("Ctrl+Y"), QKeySequence("Ctrl+Shift+Z")}));
    THexEditor& ed = window->Editor();
    for (const char* key : {"Ctrl+Y", "Ctrl+Shift+Z"}) {
      ed.Undo();
      window->Bearbeiten1Click();
      QCOMPARE(window->Rckgngig1->text(), QStringLiteral("Undo : No Undo"));
      QVERIFY(!window->Rckgngig1->isEnabled());
      QCOMPARE(window->Wiederherstellen1->text(), QStringLiteral("Redo : Append buffer"));
      QVERIFY(window->Wiederherstellen1->isEnabled() && window->Redo1->isEnabled());
      frame.show();
      frame.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&frame));
      QTest::keySequence(window->HexEditor1, QKeySequence(QString::fromLatin1(key)));
      QCOMPARE(ed.DataSize(), 10);
      window->Bearbeiten1Click();
      QCOMPARE(window->Wiederherstellen1->text(), QStringLiteral("Redo : No Redo"));
      QVERIFY(!window->Wiederherstellen1->isEnabled() && !window->Redo1->isEnabled());
    }
    ed.Undo();
    Append(*window, "A");
    window->Bearbeiten1Click();
    QCOMPARE(window->Wiederherstellen1->text(), QStringLiteral("Redo : No Redo"));
    QApplication::clipboard()->clear();
  }

  void viewMenu_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<int>("bytesPerLine");
    QTest::addColumn<int>("bytesPerColumn");
    QTest::addColumn<int>("offsetDisplay");
    QTest::addColumn<int>("translation");
    QTest::newRow("32 per line") << "_32" << 32 << 2 << 0 << 0;
    QTest::newRow("64 per line") << "_64" << 64 << 2 << 0 << 0;
    QTest::newRow("1 per column") << "N1Byteperblock1" << 16 << 1 << 0 << 0;
    QTest::newRow("4 per column") << "N4Bytesperblock1" << 16 << 4 << 0 << 0;
    QTest::newRow("dec offsets") << "Dec1" << 16 << 2 << 1 << 0;
    QTest::newRow("no offsets") << "None1" << 16 << 2 << 2 << 0;
    QTest::newRow("ascii") << "ASCII7Bit1" << 16 << 2 << 0 << 2;
    QTest::newRow("dos") << "DOS8Bit1" << 16 << 2 << 0 << 1;
    QTest::newRow("ebcdic") << "IBMEBCDICCP381" << 16 << 2 << 0 << 4;
    QTest::newRow("mac") << "Mac1" << 16 << 2 << 0 << 3;
  }

  void viewMenu() {
    QFETCH(QString, item);
    QFETCH(int, bytesPerLine);
    QFETCH(int, bytesPerColumn);
    QFETCH(int, offsetDisplay);
    QFETCH(int, translation);
    Teditform* window = NewWindow();
    auto* action = window->findChild<QAction*>(item);
    QVERIFY(action);
    action->trigger();
    THexEditor& ed = window->Editor();
    QCOMPARE(ed.BytesPerLine(), bytesPerLine);
    QCOMPARE(ed.BytesPerColumn(), bytesPerColumn);
    QCOMPARE(static_cast<int>(ed.OffsetDisplay()), offsetDisplay);
    QCOMPARE(static_cast<int>(ed.Translation()), translation);
    // The marks follow the control at the next opening.
    for (QAction* a : {window->_16, window->N2Bytesperblock1, window->Hex1, window->ANSI1}) a->setChecked(true);
    window->View1Click();
    QVERIFY(action->isChecked());
    // and come back to the defaults.
    for (QAction* a : {window->_16, window->N2Bytesperblock1, window->Hex1, window->ANSI1}) a->trigger();
    window->View1Click();
    QVERIFY(!action->isChecked());
    QVERIFY(window->_16->isChecked() && window->N2Bytesperblock1->isChecked());
    QVERIFY(window->Hex1->isChecked() && window->ANSI1->isChecked());
  }

  void viewToggles() {
    Teditform* window = NewWindow();
    THexEditor& ed = window->Editor();
    window->View1Click();
    QCOMPARE(window->Grid1->isChecked(), ed.GridLineWidth() == 1);
    QCOMPARE(window->Showmarkers1->isChecked(), ed.ShowMarkerColumn());
    QCOMPARE(window->SwapNibbles1->isChecked(), ed.SwapNibbles());
    QCOMPARE(window->MaskWhiteSpaces1->isChecked(), ed.MaskWhiteSpaces());
    const int grid = ed.GridLineWidth();
    const bool markers = ed.ShowMarkerColumn(), swap = ed.SwapNibbles(), mask = ed.MaskWhiteSpaces();
    for (QAction* a : {window->Grid1, window->Showmarkers1, window->SwapNibbles1, window->MaskWhiteSpaces1}) a->trigger();
    QCOMPARE(ed.GridLineWidth(), 1 - grid);
    QCOMPARE(ed.ShowMarkerColumn(), !markers);
    QCOMPARE(ed.SwapNibbles(), !swap);
    QCOMPARE(ed.MaskWhiteSpaces(), !mask);
    window->View1Click();
    QCOMPARE(window->Grid1->isChecked(), grid == 0);
    QCOMPARE(window->Showmarkers1->isChecked(), !markers);
    QCOMPARE(window->SwapNibbles1->isChecked(), !swap);
    QCOMPARE(window->MaskWhiteSpaces1->isChecked(), !mask);
  }

  // A large file is read in place: its deletion by another program is
  // told at once, and saving it back asks first.
  void aFileDeletedWhileOpenIsToldAndSavedBackOnTheUsersWord() {
    const QString path = File(QStringLiteral("disk.img"), "");
    QVERIFY(QFile::resize(path, TWatchedFile::kCopyLimit + 1));  // sparse: only the size costs
    Teditform* window = OpenFile(path);
    THexEditor& ed = window->Editor();
    if (ed.OpenMode() != TOpenMode::omInPlace) QSKIP("cloned: nothing is read in place here");
    TypeByte(*window, 0, 0x42);
    const std::string name = path.toStdString();
    const TOpenedCheck gone{TOpenedState::osDeleted, TIdentityChange::icMissing,
                            IdentityChangeText(name, TIdentityChange::icMissing)};
    Script().ExpectMessage(QString::fromStdString(OpenedFileChangedText(name, gone)), TMsgDlgType::mtWarning);
    QVERIFY(QFile::remove(path));
    const auto asked = Script().Asked().size();
    QTRY_COMPARE(Script().Asked().size(), asked + 1);
    Script().ExpectFileDialog(QStringLiteral("SaveDialog1"), path);
    Script().ExpectMessage(QString::fromStdString(gone.Text + " Save the document over it anyway?"),
                           TMsgDlgType::mtWarning, TModalResult::mrYes);
    window->Speichern1->trigger();
    QCOMPARE(QFileInfo(path).size(), TWatchedFile::kCopyLimit + 1);
    QCOMPARE(ReadBytes(path).left(2), QByteArray("\x42\0", 2));
    QVERIFY(!ed.Modified());
  }

  void nibbleCommands() {
    Teditform* window = NewWindow();
    Append(*window, QByteArray("\x12\x34", 2));
    THexEditor& ed = window->Editor();
    ed.Seek(0, 0, true);
    QVERIFY(ed.Col() % 2 == 0);  // the high half of byte 0
    QTest::keyClick(&window->HexWidget(), Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ed.DataSize(), 3);
    QCOMPARE(ed.ReadByte(0), 0x01);
    QCOMPARE(ed.ReadByte(1), 0x23);
    QCOMPARE(ed.ReadByte(2), 0x40);
    ed.Seek(0, 0, true);
    QTest::keyClick(&window->HexWidget(), Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(ed.DataSize(), 3);
    QCOMPARE(ed.ReadByte(0), 0x12);
    QCOMPARE(ed.ReadByte(1), 0x34);
    QCOMPARE(ed.ReadByte(2), 0x00);
    // On the second hex digit of a byte the low half is meant.
    ed.Seek(0, 0, true);
    ed.SetCol(ed.Col() + 1);
    QVERIFY(ed.Col() % 2 == 1);
    window->InsertNibble1->trigger();
    QCOMPARE(ed.DataSize(), 4);
    QCOMPARE(ed.ReadByte(0), 0x10);
    QCOMPARE(ed.ReadByte(1), 0x23);
  }

  void valuePanel() {
    QByteArray data(300, '\0');
    data[0] = '\x80';
    data[1] = '\x00';
    data[254] = '\x7F';
    data[255] = '\xFF';
    Teditform* window = OpenFile(File(QStringLiteral("v.bin"), data));
    TValueInfoPanel* panel = window->Value_Info_Panel;
    QCOMPARE(panel->Caption(TValueBox::vbLength), QStringLiteral("300"));
    QCOMPARE(panel->Caption(TValueBox::vbUnsigned8), QStringLiteral("128"));
    QCOMPARE(panel->Caption(TValueBox::vbSigned8), QStringLiteral("-128"));
    QCOMPARE(panel->Caption(TValueBox::vbBinary8), QStringLiteral("10000000"));
    QCOMPARE(panel->Caption(TValueBox::vbDecHex), QStringLiteral("128/80"));
    QCOMPARE(panel->Caption(TValueBox::vbUnsigned16), QStringLiteral("-"));
    QCOMPARE(panel->Caption(TValueBox::vbSigned32), QStringLiteral("-"));
    window->Editor().Seek(255, 0, true);
    window->HexEditor1KeyUp();
    QCOMPARE(panel->Caption(TValueBox::vbAddressHex), QStringLiteral("FF"));
    QCOMPARE(panel->Caption(TValueBox::vbAddressDec), QStringLiteral("255"));
    QCOMPARE(panel->Caption(TValueBox::vbUnsigned16), QStringLiteral("32767"));
    QCOMPARE(panel->Caption(TValueBox::vbSigned16), QStringLiteral("32767"));
    window->Editor().Seek(256, 0, true);
    window->HexEditor1MouseUp();
    QCOMPARE(panel->Caption(TValueBox::vbAddressHex), QStringLiteral("100"));
    QCOMPARE(panel->Caption(TValueBox::vbUnsigned16), QStringLiteral("65280"));
    QCOMPARE(panel->Caption(TValueBox::vbSigned16), QStringLiteral("-256"));
    // The labels.
    QCOMPARE(panel->Label(TValueBox::vbAddressDec)->text(), QStringLiteral("Adress (dez):"));
    QCOMPARE(panel->Label(TValueBox::vbSigned32)->text(), QStringLiteral("32Bit sig.:"));
    // Rows at 3 and 44, columns as wide as their values (see test_layout).
    QCOMPARE(panel->Box(TValueBox::vbLength)->geometry().topLeft().y(), 3);
    QVERIFY(panel->Box(TValueBox::vbSigned32)->geometry().top() == 44 && panel->Box(TValueBox::vbSigned32)->x() > 400);
  }

  // The values that start at the caret, both byte orders, absent past the
  // end; each box can be selected and copied.
  void typedValuesStartAtTheCaret() {
    const QByteArray data("\x00\x00\x02\x00\x05\xDC\x3F\xF8\x00\x00\x00\x00\x00\x00\xFF\xFF", 16);
    Teditform* window = OpenFile(File(QStringLiteral("t.bin"), data));
    TValueInfoPanel* panel = window->Value_Info_Panel;
    const struct {
      int32_t Caret;
      TValueType Type;
      TByteOrder Order;
      const char* Text;
    } rows[] = {
        {0, TValueType::vtU32, TByteOrder::boBig, "512"},       {0, TValueType::vtU32, TByteOrder::boLittle, "131072"},
        {4, TValueType::vtU16, TByteOrder::boBig, "1500"},      {4, TValueType::vtU16, TByteOrder::boLittle, "56325"},
        {6, TValueType::vtF64, TByteOrder::boBig, "1.5"},       {14, TValueType::vtI16, TByteOrder::boLittle, "-1"},
        {14, TValueType::vtU32, TByteOrder::boLittle, "-"},     {15, TValueType::vtU8, TByteOrder::boBig, "255"},
        {15, TValueType::vtI8, TByteOrder::boLittle, "-1"},     {15, TValueType::vtF64, TByteOrder::boBig, "-"},
    };
    for (const auto& row : rows) {
      window->Editor().Seek(row.Caret, 0, true);
      window->HexEditor1KeyUp();
      QLineEdit* box = panel->TypedBox({row.Type, row.Order});
      QCOMPARE(box->text(), QString::fromLatin1(row.Text));
      QVERIFY(box->isReadOnly() && box->isVisible());
    }
    window->Editor().Seek(0, 0, true);
    window->HexEditor1MouseUp();
    QLineEdit* width = panel->findChild<QLineEdit*>(QStringLiteral("Value_u32_be"));
    width->setFocus();
    width->selectAll();
    QTest::keyClick(width, Qt::Key_C, Qt::ControlModifier);  // the box's copy, not the document's
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("512"));
  }

  // While the document has unsaved changes its caption and its Window menu
  // entry carry "*", apart from the name that the lists of documents use.
  void unsavedMarkInTheCaption() {
    const QString path = File(QStringLiteral("m.bin"), "abcd");
    Teditform* window = OpenFile(path);
    TMainform& frame = Box().Frame();
    const struct {
      const char* Step;
      std::function<void()> Do;
      const char* Marks;
    } rows[] = {
        {"typed", [&] { TypeByte(*window, 0, 'X'); }, "*"},
        {"undone", [&] { window->Rckgngig1->trigger(); }, ""},
        {"redone", [&] { window->Wiederherstellen1->trigger(); }, "*"},
        {"saved", [&] { window->Speichern1->trigger(); }, ""},
        {"typed, shifted", [&] { TypeByte(*window, 1, 'Y'), window->SetCaptionMark(QStringLiteral("(+4)")); }, "* (+4)"},
        {"undone, shifted", [&] { window->Rckgngig1->trigger(); }, " (+4)"},
    };
    for (const auto& row : rows) {
      row.Do();
      Settle();
      QCOMPARE(window->windowTitle(), path + QLatin1String(row.Marks));
      frame.Window1Popup();
      const QString entry = frame.Window1->actions().last()->text();
      QCOMPARE(entry, QStringLiteral("&1 ") + path + QString::fromLatin1(row.Marks).section(QLatin1Char(' '), 0, 0));
      QCOMPARE(frame.DocumentCaption(0), path.toStdString());
    }
  }

  void showValueInfoToggleAndPreference() {
    Teditform* window = NewWindow();
    QVERIFY(!window->Value_Info_Panel->isHidden());
    window->ShowValueInfo1->trigger();
    QVERIFY(window->Value_Info_Panel->isHidden());
    window->PopupMenu1Popup();
    QVERIFY(!window->ShowValueInfo1->isChecked());
    window->ShowValueInfo1->trigger();
    window->PopupMenu1Popup();
    QVERIFY(window->ShowValueInfo1->isChecked());
    QVERIFY(!window->Value_Info_Panel->isHidden());
    // With the preference off, new windows come without the panel.
    Box().Frame().Forms().Preferences->Show_Value_info->setChecked(false);
    Teditform* other = NewWindow();
    QVERIFY(other->Value_Info_Panel->isHidden());
    other->PopupMenu1Popup();
    QVERIFY(!other->ShowValueInfo1->isChecked());
  }

  void preferencesFromTheViewMenu() {
    Teditform* window = NewWindow();
    Script().ExpectModal(QStringLiteral("Preferences"), [](QDialog&) { return TModalResult::mrCancel; });
    window->Preferences1->trigger();
    Script().ExpectModal(QStringLiteral("Preferences"), [](QDialog&) { return TModalResult::mrCancel; });
    Box().Frame().Preferences1->trigger();
  }

  void searchPatternEndsWithAnyWindow() {
    Teditform* window = NewWindow();
    Box().Frame().SearchState().SearchPattern = std::vector<uint8_t>{1, 2};
    Box().Frame().SearchState().SearchPatternLength = 2;
    window->close();
    Settle();
    QVERIFY(!Box().Frame().SearchState().SearchPattern.has_value());
    QCOMPARE(Box().Frame().SearchState().SearchPatternLength, 0);
  }
};

QTEST_MAIN(TestEditwin)
#include "test_editwin.moc"
