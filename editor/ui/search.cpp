// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/search.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "editor/bitedit.h"
#include "editor/filebookmarks.h"
#include "editor/findexpr.h"
#include "editor/keptmarks.h"
#include "editor/ui/framelink.h"
#include "ui/dialogservice.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

namespace {

// The widest positions typed into Goto and into a bookmark's offset: the
// most negative decimal one and eight hex digits behind either prefix.
constexpr const char* kWidestPositions[] = {"-2147483648", "0xFFFFFFFF", "$FFFFFFFF"};

QWidget* Tab(QTabWidget* pages, const char* name, const QString& caption) {
  auto* tab = new QWidget;
  tab->setObjectName(QLatin1String(name));
  pages->addTab(tab, caption);
  return tab;
}

// The standard OK and Cancel buttons of a tab.
void OkCancel(QDialog* dialog, QWidget* tab, QPushButton*& ok, const char* okName, QPushButton*& cancel,
              const char* cancelName, int y = 112) {
  ok = Button(tab, okName, QStringLiteral("OK"), 170, y, 75, 24);
  cancel = Button(tab, cancelName, QStringLiteral("Abbrechen"), 258, y, 75, 24);
  QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
}

}  // namespace

TSearchReplace::TSearchReplace(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("SearchReplace"));
  setWindowTitle(QStringLiteral("Edit it!"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(355, 185);
  QFont face = font();
  face.setPointSize(8);
  setFont(face);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(0, 0, 355, 185);
  CreateFindTabs();
  CreateBinaryEditTab();
  CreateBookmarksTab();
}

void TSearchReplace::CreateFindTabs() {
  TabSheet1 = Tab(PageControl1, "TabSheet1", QStringLiteral("Find"));
  Memo1 = new QPlainTextEdit(TabSheet1);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 2, 330, 84);
  Memo1->setFrameShape(QFrame::NoFrame);
  Memo1->setReadOnly(true);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setBackgroundRole(QPalette::Button);
  Memo1->viewport()->setBackgroundRole(QPalette::Button);
  Memo1->setPlainText(QStringLiteral("\"t.. ascii\" , \"T..\" ascii + ignore case, \nelse search hex\n\nExample:\n"
                                     "tHello search for the next \"Hello\"\nTHello search for \"Hello\", \"HElLo\"..."));
  Edit1 = Edit(TabSheet1, "Edit1", 8, 88, 330, 21);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FindMeaning = Label(TabSheet1, "FindMeaning", QString(), 8, 111, 330, 16);
  OkCancel(this, TabSheet1, BitBtn1, "BitBtn1", BitBtn2, "BitBtn2", 132);

  TabSheet2 = Tab(PageControl1, "TabSheet2", QStringLiteral("Replace"));
  Label1 = Label(TabSheet2, "Label1", QStringLiteral("Search for:"), 8, 8, 120, 16);
  Edit2 = Edit(TabSheet2, "Edit2", 8, 24, 330, 21);
  SearchMeaning = Label(TabSheet2, "SearchMeaning", QString(), 8, 46, 330, 16);
  Label2 = Label(TabSheet2, "Label2", QStringLiteral("and replace with:"), 8, 64, 120, 16);
  Edit3 = Edit(TabSheet2, "Edit3", 8, 80, 330, 21);
  ReplaceMeaning = Label(TabSheet2, "ReplaceMeaning", QString(), 8, 102, 330, 16);
  CheckBox1 = CheckBox(TabSheet2, "CheckBox1", QStringLiteral("Replace all"), 8, 128, 120, 20);
  OkCancel(this, TabSheet2, BitBtn3, "BitBtn3", BitBtn4, "BitBtn4", 132);
  // What the typed expressions mean, while they are typed.
  auto explain = [](QLabel* line, std::string (*describe)(const std::string&)) {
    return [line, describe](const QString& text) { line->setText(FromAnsi(describe(AnsiText(text)))); };
  };
  connect(Edit1, &QLineEdit::textChanged, this, explain(FindMeaning, DescribeSearchExpression));
  connect(Edit2, &QLineEdit::textChanged, this, explain(SearchMeaning, DescribeSearchExpression));
  connect(Edit3, &QLineEdit::textChanged, this, explain(ReplaceMeaning, DescribeReplacement));
  FindMeaning->setText(FromAnsi(DescribeSearchExpression({})));
  SearchMeaning->setText(FromAnsi(DescribeSearchExpression({})));
  ReplaceMeaning->setText(FromAnsi(DescribeReplacement({})));

  TabSheet3 = Tab(PageControl1, "TabSheet3", QStringLiteral("Goto"));
  Label4 = Label(TabSheet3, "Label4", QStringLiteral("Goto file position:"), 8, 12, 200, 16);
  Label3 = Label(TabSheet3, "Label3", QStringLiteral("Prefix \"0x\" or \"$\" means hex"), 8, 60, 250, 16);
  Edit4 = Edit(TabSheet3, "Edit4", 8, 30, 200, 21);
  for (const char* widest : kWidestPositions) FitWidth(Edit4, QLatin1String(widest));
  BitBtn5 = Button(TabSheet3, "BitBtn5", QStringLiteral("OK"), 170, 112, 75, 24);
  BitBtn6 = Button(TabSheet3, "BitBtn6", QStringLiteral("Abbrechen"), 258, 112, 75, 24);
  connect(BitBtn5, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn5Click(); }); });
  connect(BitBtn6, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn6Click(); }); });
}

void TSearchReplace::CreateBinaryEditTab() {
  TabSheet4 = Tab(PageControl1, "TabSheet4", QStringLiteral("Binary Edit"));
  Label5 = Label(TabSheet4, "Label5", QStringLiteral("Please insert the new Binary"), 8, 4, 220, 16);
  Label6 = Label(TabSheet4, "Label6", QStringLiteral("Value and click OK"), 8, 20, 220, 16);
  Label7 = Label(TabSheet4, "Label7", QStringLiteral("Bit:  8   7   6   5   4    3   2   1"), 8, 44, 200, 16);
  static const char* const kNames[8] = {"CheckBox2", "CheckBox3", "CheckBox4", "CheckBox5",
                                        "CheckBox6", "CheckBox7", "CheckBox8", "CheckBox9"};
  for (size_t i = 0; i < 8; ++i) {
    BitBoxes[i] = CheckBox(TabSheet4, kNames[i], QString(), 32 + 16 * static_cast<int>(i), 62, 16, 16);
    connect(BitBoxes[i], &QCheckBox::clicked, this, [this] { Guarded([this] { CheckBox2Click(); }); });
  }
  Label8 = Label(TabSheet4, "Label8", QStringLiteral("Dez:"), 232, 46, 30, 16);
  Label10 = Label(TabSheet4, "Label10", QStringLiteral("Hex:"), 232, 64, 30, 16);
  const int valuesLeft = FieldsLeft({Label8, Label10}, 266, 4);
  Label9 = Label(TabSheet4, "Label9", QStringLiteral("0"), valuesLeft, 46, 40, 16);
  Label11 = Label(TabSheet4, "Label11", QStringLiteral("0"), valuesLeft, 64, 40, 16);
  FitWidth(Label9, QStringLiteral("255"));
  FitWidth(Label11, QStringLiteral("FF"));
  BitBtn7 = Button(TabSheet4, "BitBtn7", QStringLiteral("OK"), 170, 112, 75, 24);
  BitBtn8 = Button(TabSheet4, "BitBtn8", QStringLiteral("Abbrechen"), 258, 112, 75, 24);
  connect(BitBtn7, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn7Click(); }); });
  connect(BitBtn8, &QPushButton::clicked, this, &QDialog::reject);
}

void TSearchReplace::CreateBookmarksTab() {
  TabSheet5 = Tab(PageControl1, "TabSheet5", QStringLiteral("Bookmarks"));
  StringGrid1 = new QTableWidget(TBookmarkTable::kRows, TBookmarkTable::kCols, TabSheet5);
  StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
  StringGrid1->setGeometry(4, 4, 312, 96);
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
  for (int c = 0; c < TBookmarkTable::kCols; ++c) StringGrid1->setColumnWidth(c, 153);
  for (int r = 0; r < TBookmarkTable::kRows; ++r) {
    StringGrid1->setRowHeight(r, 15);
    for (int c = 0; c < TBookmarkTable::kCols; ++c) {
      auto* cell = new QTableWidgetItem;
      if (r == 0) cell->setBackground(palette().button());
      StringGrid1->setItem(r, c, cell);
    }
  }
  StringGrid1->setCurrentCell(1, 0);
  connect(StringGrid1, &QTableWidget::cellClicked, this, [this] { Guarded([this] { StringGrid1Click(); }); });
  connect(StringGrid1, &QTableWidget::cellDoubleClicked, this,
          [this] { Guarded([this] { StringGrid1DblClick(); }); });
  Label12 = Label(TabSheet5, "Label12", QStringLiteral("Edit Offset / Comment:"), 4, 104, 130, 16);
  Edit5 = Edit(TabSheet5, "Edit5", 136, 104, 140, 21);
  for (const char* widest : kWidestPositions) FitWidth(Edit5, QLatin1String(widest));
  const int okLeft = std::max(282, Edit5->geometry().right() + 7);
  Button1 = Button(TabSheet5, "Button1", QStringLiteral("OK"), okLeft, 102, 50, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
}

void TSearchReplace::ShowOnly(TSearchPage page) {
  QWidget* const tabs[] = {TabSheet1, TabSheet2, TabSheet3, TabSheet4, TabSheet5};
  QWidget* tab = tabs[static_cast<int>(page)];
  const int index = PageControl1->indexOf(tab);
  for (int i = 0; i < PageControl1->count(); ++i) PageControl1->setTabVisible(i, i == index);
  PageControl1->setCurrentIndex(index);
  // Typing goes into the tab's first edit box; Enter is its OK button.
  if (auto* first = tab->findChild<QLineEdit*>()) first->setFocus();
  if (auto* ok = tab->findChild<QPushButton*>()) ok->setDefault(true);
}

void TSearchReplace::showEvent(QShowEvent* event) {
  Guarded([this] { FormShow(); });
  QDialog::showEvent(event);
}

void TSearchReplace::FormShow() {
  if (!FFrame) return;
  FFrame->Bookmarks().WriteHeader();
  RenderBookmarks();
}

void TSearchReplace::RenderBookmarks() {
  if (!FFrame) return;
  for (int r = 0; r < TBookmarkTable::kRows; ++r)
    for (int c = 0; c < TBookmarkTable::kCols; ++c)
      StringGrid1->item(r, c)->setText(FromAnsi(FFrame->Bookmarks().Cell(c, r)));
}

// ---------------------------------------------------------------------------
// Goto
// ---------------------------------------------------------------------------

void TSearchReplace::BitBtn5Click() { accept(); }
void TSearchReplace::BitBtn6Click() { reject(); }

// ---------------------------------------------------------------------------
// Binary edit
// ---------------------------------------------------------------------------

void TSearchReplace::SetBinaryValue(uint8_t v) {
  FBinaryValue = v;
  const std::array<bool, 8> bits = ByteToBits(v);
  for (size_t i = 0; i < 8; ++i) BitBoxes[i]->setChecked(bits[i]);
  Label9->setText(QString::fromStdString(DezText(v)));
  Label11->setText(QString::fromStdString(HexText(v)));
}

void TSearchReplace::CheckBox2Click() {
  std::array<bool, 8> bits{};
  for (size_t i = 0; i < 8; ++i) bits[i] = BitBoxes[i]->isChecked();
  SetBinaryValue(BitsToByte(bits));
}

std::string TSearchReplace::FindText() const { return AnsiText(Edit1->text()); }
std::string TSearchReplace::ReplaceWhat() const { return AnsiText(Edit2->text()); }
std::string TSearchReplace::ReplaceWith() const { return AnsiText(Edit3->text()); }
bool TSearchReplace::ReplaceAllChosen() const { return CheckBox1->isChecked(); }
std::string TSearchReplace::GotoText() const { return AnsiText(Edit4->text()); }

void TSearchReplace::BitBtn7Click() {
  accept();
  if (!FDocuments || FDocuments->ActiveDocument() < 0) return;
  THexEditor& ed = FDocuments->DocumentEditor(FDocuments->ActiveDocument());
  WriteBinaryEdit(ed, FBinaryValue);
  if (ed.Modified() && FFrame) FFrame->SetItemEnabled(TFrameItem::fiSave, true);
}

// ---------------------------------------------------------------------------
// Bookmarks
// ---------------------------------------------------------------------------

void TSearchReplace::StringGrid1Click() {
  Edit5->setText(StringGrid1->currentItem() ? StringGrid1->currentItem()->text() : QString());
}

void TSearchReplace::StringGrid1DblClick() { Edit5->setFocus(); }

void TSearchReplace::Button1Click() {
  const int row = StringGrid1->currentRow();
  const int col = StringGrid1->currentColumn();
  if (row < 0 || col < 0 || !FFrame) return;
  const bool active = FDocuments && FDocuments->ActiveDocument() >= 0;
  const std::string editor = active ? KeptBookmarkKey(FDocuments->DocumentEditor(FDocuments->ActiveDocument())) : "";
  ChangeKeptBookmarks([&](TBookmarkStore& store) {
    EditKeptBookmark(FFrame->Bookmarks(), store, col, row, AnsiText(Edit5->text()), editor);
  });
  RenderBookmarks();
}

}  // namespace byteloom
