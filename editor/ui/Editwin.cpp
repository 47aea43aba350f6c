// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/Editwin.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <QToolButton>
#include <QVBoxLayout>

#include "control/canvas.h"
#include "control/hexeditor.h"
#include "control/versionwatch.h"
#include "editor/findexpr.h"
#include "editor/keptmarks.h"
#include "editor/opening.h"
#include "editor/ui/clipboard.h"
#include "editor/ui/fieldsform.h"
#include "editor/ui/framelink.h"
#include "editor/ui/valuepanel.h"
#include "editor/valueinfo.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"
#include "ui/qhexeditor.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

Teditform::Teditform(TFrameLink& frame, QWidget* parent) : TDocumentWindow(parent), FFrame(frame) {
  setObjectName(QStringLiteral("editform"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  HexEditor1 = new HexEditorWidget(client);
  HexEditor1->setObjectName(QStringLiteral("HexEditor1"));
  HexEditor1->setFrameShape(QFrame::NoFrame);
  Value_Info_Panel = new TValueInfoPanel(client);
  FEditorRow = new QHBoxLayout;
  FEditorRow->setSpacing(0);
  FEditorRow->addWidget(HexEditor1, 1);
  layout->addLayout(FEditorRow, 1);
  layout->addWidget(Value_Info_Panel, 0);
  setWidget(client);

  CreateMenus();
  CreatePopupMenu();
  SetUpControl();
  FormCreate();
}

Teditform::~Teditform() {
  StopVersionWatch();
  FormDestroy();
}

THexEditor& Teditform::Editor() const { return HexEditor1->Editor(); }

void Teditform::SetSideStrip(QWidget* strip) {
  if (strip) FEditorRow->addWidget(strip, 0);
}

void Teditform::SetUpControl() {
  // Paste (and its key) follows the clipboard while this window is active;
  // the clipboard service, made first, hears of a change before.
  Clipboard();
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
    if (!FClosing && Frame().ActiveMDIChild() == this) Guarded([this] { Bearbeiten1Click(); });
  });
  THexEditor& ed = Editor();
  ed.SetBytesPerLine(16);
  ed.SetBytesPerColumn(2);
  ed.SetTranslation(TTranslationType::ttAnsi);
  ed.SetOffsetDisplay(TOffsetDisplayStyle::odHex);
  ed.SetOffsetSeparator(':');
  ed.SetBackupExtension(".bak");
  ed.SetFocusFrame(true);
  ed.Font().Name = "Courier";
  ed.Font().Height = -13;
  ed.Font().Size = FontSizeFromHeight(-13);
  ed.Font().Color = clWindowText;
  TColors& colors = ed.Colors();
  colors.SetBackground(clWindow);
  colors.SetPositionBackground(clMaroon);
  colors.SetPositionText(clWhite);
  colors.SetChangedBackground(0xA8FFFF);
  colors.SetChangedText(clMaroon);
  colors.SetCursorFrame(clNavy);
  colors.SetOffset(clBlack);
  colors.SetOddColumn(clBlue);
  colors.SetEvenColumn(clNavy);
  ed.SetCursor(TCursor::crIBeam);
  ed.AdjustMetrics();

  ed.OnClick = [this](TCustomGrid&) { Guarded([this] { HexEditor1Click(); }); };
  // Another program changed the opened file: the user hears of it at once,
  // and a save that would write over that change asks first.
  ed.OnOpenedFileChanged = [this](const std::string& message) {
    Dialogs().MessageDlg(this, QString::fromLocal8Bit(message.c_str()), TMsgDlgType::mtWarning,
                         TMsgDlgButtons::mbOK);
  };
  ed.OnConfirmChangedFile = [this](const std::string& question) {
    return Dialogs().MessageDlg(this, QString::fromLocal8Bit(question.c_str()), TMsgDlgType::mtWarning,
                                TMsgDlgButtons::mbYesNo) == TModalResult::mrYes;
  };
  // The value panel follows the caret also when another window moves it
  // (a compare, a bookmark, a jump); the caption follows every edit, undo
  // and redo.
  ed.OnStateChanged = [this](THexEditor&) {
    Guarded([this] {
      RefreshCaption();
      UpdateValueInfo();
      if (FFieldsForm) FFieldsForm->DocumentChanged();
    });
  };
  ed.OnKeyUp = [this](TCustomGrid&, uint16_t&, TShiftState) { Guarded([this] { HexEditor1KeyUp(); }); };
  ed.OnMouseUp = [this](TCustomGrid&, TMouseButton, TShiftState, int, int) {
    Guarded([this] { HexEditor1MouseUp(); });
  };
  HexEditor1->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(HexEditor1, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(HexEditor1->mapToGlobal(pos)); });
  Value_Info_Panel->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(Value_Info_Panel, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& pos) { PopupMenu1->popup(Value_Info_Panel->mapToGlobal(pos)); });
}

void Teditform::CreateMenus() {
  // File
  Datei1 = TopMenu(this, "Datei1", QStringLiteral("&File"));
  Neu1 = Item(Datei1, "Neu1", QStringLiteral("&New"), "Ctrl+N");
  ffnen1 = Item(Datei1, "ffnen1", QStringLiteral("&Open..."), "Ctrl+O");
  OpenProcess1 = Item(Datei1, "OpenProcess1", QStringLiteral("Open p&rocess..."));
  StartProgram1 = Item(Datei1, "StartProgram1", QStringLiteral("Start &program..."));
  Schlieen1 = Item(Datei1, "Schlieen1", QStringLiteral("&Close"));
  AlleSchlieen1 = Item(Datei1, "AlleSchlieen1", QStringLiteral("C&lose All"));
  Speichern1 = Item(Datei1, "Speichern1", QStringLiteral("&Save"), "Ctrl+S");
  Speichernunter1 = Item(Datei1, "Speichernunter1", QStringLiteral("Save &as..."));
  WatchVersions1 = CheckItem(Datei1, "WatchVersions1", QStringLiteral("&Watch for new versions"));
  N15 = Separator(Datei1, "N15");
  N15->setVisible(false);
  Export1 = SubMenu(Datei1, "Export1", QStringLiteral("&Export"));
  asTextfile1 = Item(Export1, "asTextfile1", QStringLiteral("as Textfile"));
  ExportFormatItems(Export1);
  N7 = Separator(Datei1, "N7");
  Restore1 = Item(Datei1, "Restore1", QStringLiteral("Restore"));
  N16 = Separator(Datei1, "N16");
  Print1 = Item(Datei1, "Print1", QStringLiteral("&Print"), "Ctrl+P");
  N12 = Separator(Datei1, "N12");
  Beenden2 = Item(Datei1, "Beenden2", QStringLiteral("E&xit"), "Alt+F4");
  N11 = Separator(Datei1, "N11");
  RecentFileMenuItems(Datei1, {&File1, &File2, &File3, &File4, &File5});

  // Edit
  Bearbeiten1 = TopMenu(this, "Bearbeiten1", QStringLiteral("&Edit"));
  Rckgngig1 = Item(Bearbeiten1, "Rckgngig1", QStringLiteral("Undo"), "Ctrl+Z");
  Wiederherstellen1 = Item(Bearbeiten1, "Wiederherstellen1", QStringLiteral("Redo"), "Ctrl+Y");
  Wiederherstellen1->setShortcuts({QKeySequence(QStringLiteral("Ctrl+Y")), QKeySequence(QStringLiteral("Ctrl+Shift+Z"))});
  N3 = Separator(Bearbeiten1, "N3");
  Ausschneiden1 = Item(Bearbeiten1, "Ausschneiden1", QStringLiteral("Cut"), "Ctrl+X");
  Kopieren1 = Item(Bearbeiten1, "Kopieren1", QStringLiteral("Copy"), "Ctrl+C");
  Einfgen1 = Item(Bearbeiten1, "Einfgen1", QStringLiteral("Paste"), "Ctrl+V");
  CopyAsItems(Bearbeiten1);
  Replace1 = Item(Bearbeiten1, "Replace1", QStringLiteral("Replace"), "Ctrl+R");
  InsertNibble1 = Item(Bearbeiten1, "InsertNibble1", QStringLiteral("Insert Nibble"), "Ctrl+Shift+Ins");
  DeleteNibble1 = Item(Bearbeiten1, "DeleteNibble1", QStringLiteral("Delete Nibble"), "Ctrl+Shift+Del");
  N13 = Separator(Bearbeiten1, "N13");
  BinaryEdit1 = Item(Bearbeiten1, "BinaryEdit1", QStringLiteral("Binary Edit"));
  N5 = Separator(Bearbeiten1, "N5");
  Goto1 = Item(Bearbeiten1, "Goto1", QStringLiteral("Goto..."), "Ctrl+G");
  Jump1 = SubMenu(Bearbeiten1, "Jump1", QStringLiteral("Jump"));
  Amount40001 = Item(Jump1, "Amount40001", QStringLiteral("Amount : 4000"));
  N4 = Separator(Jump1, "N4");
  Jumpforward1 = Item(Jump1, "Jumpforward1", QStringLiteral("Jump forward"), "Ctrl+J");
  Jumpbackward1 = Item(Jump1, "Jumpbackward1", QStringLiteral("Jump backward"), "Ctrl+Shift+J");
  Find1 = Item(Bearbeiten1, "Find1", QStringLiteral("Find "), "Ctrl+F");
  FindNext1 = Item(Bearbeiten1, "FindNext1", QStringLiteral("Find Next"), "F3");
  FindNext1->setEnabled(false);
  FindAllItems(Bearbeiten1);
  N8 = Separator(Bearbeiten1, "N8");
  Properties1 = Item(Bearbeiten1, "Properties1", QStringLiteral("Prop&erties..."));

  // View
  View1 = TopMenu(this, "View1", QStringLiteral("&View"));
  Linesize1 = RadioMenu(View1, "Linesize1", QStringLiteral("Line size"), 16,
                        {{_16, "_16", "16 Bytes per line", 16},
                         {_32, "_32", "32 Bytes per line", 32},
                         {_64, "_64", "64 Bytes per line", 64}});
  Blocksize1 = RadioMenu(View1, "Blocksize1", QStringLiteral("Column width"), 2,
                         {{N1Byteperblock1, "N1Byteperblock1", "1 Byte per column", 1},
                          {N2Bytesperblock1, "N2Bytesperblock1", "2 Bytes per column", 2},
                          {N4Bytesperblock1, "N4Bytesperblock1", "4 Bytes per column", 4}});
  Offsetdisplay1 = RadioMenu(View1, "Offsetdisplay1", QStringLiteral("Offset display"), 0,
                             {{Hex1, "Hex1", "Hex", 0}, {Dec1, "Dec1", "Dec", 1}, {None1, "None1", "None", 2}});
  charset1 = RadioMenu(View1, "charset1", QStringLiteral("Charset"), 0,
                       {{ANSI1, "ANSI1", "ANSI", 0},
                        {ASCII7Bit1, "ASCII7Bit1", "ASCII 7 Bit", 2},
                        {DOS8Bit1, "DOS8Bit1", "DOS 8 Bit", 1},
                        {IBMEBCDICCP381, "IBMEBCDICCP381", "IBM EBCDIC CP 38", 4},
                        {Mac1, "Mac1", "Mac", 3}});
  N2 = Separator(View1, "N2");
  Grid1 = CheckItem(View1, "Grid1", QStringLiteral("Grid"));
  Showmarkers1 = CheckItem(View1, "Showmarkers1", QStringLiteral("Show markers"));
  SwapNibbles1 = CheckItem(View1, "SwapNibbles1", QStringLiteral("Swap Nibbles"));
  MaskWhiteSpaces1 = CheckItem(View1, "MaskWhiteSpaces1", QStringLiteral("Mask White Spaces"));
  N9 = Separator(View1, "N9");
  Preferences1 = Item(View1, "Preferences1", QStringLiteral("&Preferences"));

  // Bookmarks
  Bookmarks1 = TopMenu(this, "Bookmarks1", QStringLiteral("&Bookmarks"));
  AddBookmark1 = Item(Bookmarks1, "AddBookmark1", QStringLiteral("&Add Bookmark"));
  EditBookmark1 = Item(Bookmarks1, "EditBookmark1", QStringLiteral("&Edit Bookmark"));
  EditBookmark1->setEnabled(false);
  ApplyBookmarks1 = SubMenu(Bookmarks1, "ApplyBookmarks1", QStringLiteral("Apply bookmarks to"));
  N14 = Separator(Bookmarks1, "N14");
  Bookmark1 = Item(Bookmarks1, "Bookmark1", QString());
  Bookmark2 = Item(Bookmarks1, "Bookmark2", QString());
  Bookmark3 = Item(Bookmarks1, "Bookmark3", QString());
  Bookmark4 = Item(Bookmarks1, "Bookmark4", QString());
  Bookmark5 = Item(Bookmarks1, "Bookmark5", QString());
  for (QAction* item : {Bookmark1, Bookmark2, Bookmark3, Bookmark4, Bookmark5}) item->setVisible(false);

  // Handlers of this window's own commands.
  connect(Datei1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Datei1Click(); }); });
  connect(Bearbeiten1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Bearbeiten1Click(); }); });
  connect(View1, &QMenu::aboutToShow, this, [this] { Guarded([this] { View1Click(); }); });
  OnClick(Neu1, [this] { Neu1Click(); });
  OnClick(ffnen1, [this] { ffnen1Click(); });
  OnClick(OpenProcess1, [this] { Frame().RunCommand(TFrameCommand::fcOpenProcess); });
  OnClick(StartProgram1, [this] { Frame().RunCommand(TFrameCommand::fcStartProgram); });
  OnClick(Schlieen1, [this] { Schlieen1Click(); });
  OnClick(AlleSchlieen1, [this] { AlleSchlieen1Click(); });
  OnClick(Speichern1, [this] { Speichern1Click(); });
  OnClick(Speichernunter1, [this] { Speichernunter1Click(); });
  OnClick(WatchVersions1, [this] { WatchVersions1Click(); });
  OnClick(Restore1, [this] { Restore1Click(); });
  OnClick(Beenden2, [this] { Beenden2Click(); });
  OnClick(Print1, [this] { Print1Click(); });
  OnClick(asTextfile1, [this] { asTextfile1Click(); });
  const std::array<QAction*, 5> files = RecentFileItems();
  for (int i = 0; i < 5; ++i) OnClick(files[static_cast<size_t>(i)], [this, i] { FileClick(i); });
  OnClick(InsertNibble1, [this] { InsertNibble1Click(); });
  OnClick(DeleteNibble1, [this] { DeleteNibble1Click(); });
  for (QAction* item : {_16, _32, _64}) OnClick(item, [this, item] { _16Click(item); });
  for (QAction* item : {N1Byteperblock1, N2Bytesperblock1, N4Bytesperblock1})
    OnClick(item, [this, item] { N1Byteperblock1Click(item); });
  for (QAction* item : {Hex1, Dec1, None1}) OnClick(item, [this, item] { Hex1Click(item); });
  for (QAction* item : {ANSI1, ASCII7Bit1, DOS8Bit1, IBMEBCDICCP381, Mac1})
    OnClick(item, [this, item] { ANSI1Click(item); });
  OnClick(Grid1, [this] { Grid1Click(); });
  OnClick(Showmarkers1, [this] { Showmarkers1Click(); });
  OnClick(SwapNibbles1, [this] { SwapNibbles1Click(); });
  OnClick(MaskWhiteSpaces1, [this] { MaskWhiteSpaces1Click(); });
  OnClick(Preferences1, [this] { Preferences1Click(); });

  OnClick(Rckgngig1, [this] { Rckgngig1Click(); });
  OnClick(Wiederherstellen1, [this] { Wiederherstellen1Click(); });
  OnClick(Ausschneiden1, [this] { Ausschneiden1Click(); });
  OnClick(Kopieren1, [this] { Kopieren1Click(); });
  OnClick(Einfgen1, [this] { Einfgen1Click(); });
  OnClick(Replace1, [this] { Replace1Click(); });
  OnClick(BinaryEdit1, [this] { BinaryEdit1Click(); });
  OnClick(Goto1, [this] { Goto1Click(); });
  OnClick(Amount40001, [this] { Amount40001Click(); });
  OnClick(Jumpforward1, [this] { Jumpforward1Click(); });
  OnClick(Jumpbackward1, [this] { Jumpbackward1Click(); });
  OnClick(Find1, [this] { Find1Click(); });
  OnClick(FindNext1, [this] { FindNext1Click(); });
  OnClick(Properties1, [this] { Properties1Click(); });
  connect(Bookmarks1, &QMenu::aboutToShow, this, [this] { Guarded([this] { Bookmarks1Click(); }); });
  OnClick(AddBookmark1, [this] { AddBookmark1Click(); });
  OnClick(EditBookmark1, [this] { EditBookmark1Click(); });
  const std::array<QAction*, 5> marks = BookmarkItems();
  for (int i = 0; i < 5; ++i) OnClick(marks[static_cast<size_t>(i)], [this, i] { BookmarkClick(i); });
}

void Teditform::CreatePopupMenu() {
  PopupMenu1 = TopMenu(this, "PopupMenu1", QString());
  Undo1 = Item(PopupMenu1, "Undo1", QStringLiteral("&Undo"));
  Redo1 = Item(PopupMenu1, "Redo1", QStringLiteral("&Redo"));
  N1 = Separator(PopupMenu1, "N1");
  Cut1 = Item(PopupMenu1, "Cut1", QStringLiteral("&Cut"));
  Copy1 = Item(PopupMenu1, "Copy1", QStringLiteral("Copy"));
  Paste1 = Item(PopupMenu1, "Paste1", QStringLiteral("Paste"));
  // The Edit menu's own items, with their keys.
  PopupMenu1->addAction(InsertNibble1);
  PopupMenu1->addAction(DeleteNibble1);
  N6 = Separator(PopupMenu1, "N6");
  Goto2 = Item(PopupMenu1, "Goto2", QStringLiteral("Goto"));
  Jump2 = SubMenu(PopupMenu1, "Jump2", QStringLiteral("Jump"));
  JumpForward2 = Item(Jump2, "JumpForward2", QStringLiteral("Jump Forward"), "Ctrl+J");
  Jump3 = Item(Jump2, "Jump3", QStringLiteral("Jump backward"), "Ctrl+Shift+J");
  Find2 = Item(PopupMenu1, "Find2", QStringLiteral("Find"));
  FindNext2 = Item(PopupMenu1, "FindNext2", QStringLiteral("Find Next"));
  AddFieldHere1 = Item(PopupMenu1, "AddFieldHere1", QStringLiteral("Add field here"));
  N10 = Separator(PopupMenu1, "N10");
  ShowValueInfo1 = CheckItem(PopupMenu1, "ShowValueInfo1", QStringLiteral("Show Value Info"));
  ShowValueInfo1->setChecked(true);
  // The context menu's items are reached through the menu only; their keys
  // belong to the Edit menu.
  for (QAction* item : {JumpForward2, Jump3}) item->setShortcutContext(Qt::WidgetShortcut);

  connect(PopupMenu1, &QMenu::aboutToShow, this, [this] { Guarded([this] { PopupMenu1Popup(); }); });
  OnClick(ShowValueInfo1, [this] { ShowValueInfo1Click(); });
  OnClick(Undo1, [this] { Rckgngig1Click(); });
  OnClick(Redo1, [this] { Wiederherstellen1Click(); });
  OnClick(Cut1, [this] { Ausschneiden1Click(); });
  OnClick(Copy1, [this] { Kopieren1Click(); });
  OnClick(Paste1, [this] { Einfgen1Click(); });
  OnClick(Goto2, [this] { Goto1Click(); });
  OnClick(JumpForward2, [this] { Jumpforward1Click(); });
  OnClick(Jump3, [this] { Jumpbackward1Click(); });
  OnClick(Find2, [this] { Find1Click(); });
  OnClick(FindNext2, [this] { FindNext1Click(); });
  OnClick(AddFieldHere1, [this] { AddFieldHere1Click(); });
}

// ---------------------------------------------------------------------------
// Lifecycle
// ---------------------------------------------------------------------------

void Teditform::FormCreate() {
  TFrameLink& frame = Frame();
  frame.SetItemEnabled(TFrameItem::fiWindowMenu, true);
  frame.SetItemEnabled(TFrameItem::fiPaste, true);
  frame.SetItemEnabled(TFrameItem::fiPrint, true);
  frame.SetItemEnabled(TFrameItem::fiSearch, true);
  Value_Info_Panel->setVisible(frame.ShowValueInfoPreference());

  const std::string name = frame.OpenDialog().Path();
  THexEditor& ed = Editor();
  if (name.empty()) {
    ed.CreateEmptyFile("Untitled");
    return;
  }
  // One message at most: the file opens read-only, or it does not open and
  // the window holds an empty new document (nothing may claim to be the file).
  const TOpenOutcome opened = OpenDocumentFile(ed, name);
  if (opened.ReadOnly)
    Dialogs().MessageDlg(nullptr, QStringLiteral("Fehler bei Dateizugriff"), TMsgDlgType::mtWarning,
                         TMsgDlgButtons::mbOK);
  if (opened.Loaded) {
    RecallFileBookmarks();
    FFields = LoadKeptFields(KeptBookmarkKey(ed));
  } else {
    ShowErrorBox(QStringLiteral("Cannot open file\r\n") + FromFileName(name) + QStringLiteral("\r\n") +
                 QString::fromLocal8Bit(opened.Reason.c_str()));
    FLoadFailed = true;
    ed.CreateEmptyFile("Untitled");
  }
  Value_Info_Panel->SetCaption(TValueBox::vbLength, QString::number(ed.DataSize()));
}

void Teditform::showEvent(QShowEvent* event) {
  QMdiSubWindow::showEvent(event);
  if (FShown) return;
  FShown = true;
  Guarded([this] { FormShow(); });
}

void Teditform::FormShow() {
  TFrameLink& frame = Frame();
  if (frame.MDIChildCount() == 2) {
    frame.SetItemEnabled(TFrameItem::fiCompare, true);
    frame.SetItemEnabled(TFrameItem::fiCompareAgain, false);
  }
  UpdateValueInfo();
}

void Teditform::FormActivate() { Frame().SetItemEnabled(TFrameItem::fiSave, Editor().Modified()); }

void Teditform::closeEvent(QCloseEvent* event) {
  if (FClosing) {
    QMdiSubWindow::closeEvent(event);
    return;
  }
  bool mayClose = false;
  Guarded([&] { mayClose = AskSaveChanges(); });
  if (!mayClose) {
    event->ignore();
    return;
  }
  Guarded([this] { FormClose(); });
  FClosing = true;
  QMdiSubWindow::closeEvent(event);
}

void Teditform::FormClose() {
  StopVersionWatch();
  TFrameLink& frame = Frame();
  const int count = frame.MDIChildCount();
  if (count == 1) {
    frame.SetItemEnabled(TFrameItem::fiWindowMenu, false);
    for (TFrameItem item : {TFrameItem::fiSave, TFrameItem::fiPrint, TFrameItem::fiCut, TFrameItem::fiCopy,
                            TFrameItem::fiPaste, TFrameItem::fiUndo, TFrameItem::fiSearch, TFrameItem::fiSearchAgain})
      frame.SetItemEnabled(item, false);
  }
  if (count == 2) {
    frame.SetItemEnabled(TFrameItem::fiCompare, false);
    frame.SetItemEnabled(TFrameItem::fiCompareAgain, false);
  }
}

void Teditform::FormDestroy() { Frame().SearchState().ReleasePattern(); }

}  // namespace byteloom
