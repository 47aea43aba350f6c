// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/fieldsform.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "control/bookmarks.h"
#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "editor/keepvalue.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "platform/store.h"
#include "ui/progress.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

namespace {

QString Text(const std::string& s) { return QString::fromStdString(s); }

QPushButton* Button(QWidget* parent, const char* name, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

QLineEdit* LineEdit(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QLatin1String(name));
  return edit;
}

QComboBox* Choice(QWidget* parent, const char* name, const QStringList& items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->addItems(items);
  return box;
}

// The end of a range is its last byte or its length: typing one clears the other.
void LinkRangeEnds(QLineEdit* to, QLineEdit* length) {
  to->setPlaceholderText(QStringLiteral("to the end"));
  QObject::connect(to, &QLineEdit::textEdited, length, [length] { length->clear(); });
  QObject::connect(length, &QLineEdit::textEdited, to, [to] { to->clear(); });
}

}  // namespace

// --- The table ----------------------------------------------------------------------------

void TFieldTableModel::SetRows(std::vector<TFieldRow> rows) {
  beginResetModel();
  FRows = std::move(rows);
  endResetModel();
}

int TFieldTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(std::min(FRows.size(), FFields.size()));
}

QVariant TFieldTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const TField& f = FFields[static_cast<size_t>(index.row())];
  const TFieldRow& r = FRows[static_cast<size_t>(index.row())];
  const bool checksum = f.Kind == TFieldKind::fkChecksum;
  if (role == Qt::CheckStateRole && index.column() == kFixOnSave && checksum)
    return f.FixOnSave ? Qt::Checked : Qt::Unchecked;
  if (role == Qt::ForegroundRole && (r.State == TRowState::rsMismatch || r.State == TRowState::rsProblem))
    return QColor(Qt::darkRed);
  if (role == Qt::BackgroundRole && r.State == TRowState::rsMismatch) return QColor(255, 220, 220);
  if (role == Qt::BackgroundRole && r.Held) return QColor(220, 235, 255);
  if (role == Qt::ToolTipRole && r.Held)
    return QStringLiteral("Held: written back whenever the program changes it (Release ends that).");
  if (role == Qt::ToolTipRole && r.State == TRowState::rsMismatch)
    return QStringLiteral("The stored value is not the one computed over the range: Fix writes it.");
  if (role != Qt::DisplayRole && role != Qt::EditRole) return {};
  switch (index.column()) {
    case kName: return Text(f.Name);
    case kOffset: return Text(PlaceText ? PlaceText(f.Offset) : OffsetText(f.Offset));
    case kType: return Text(FieldTypeText(f));
    case kRange: return Text(r.Range);
    case kValue: return Text(r.Value) + (r.Held && role == Qt::DisplayRole ? QStringLiteral(" (held)") : QString());
    case kComputed:
      if (!checksum) return {};
      return Text(r.Computed) + (r.State == TRowState::rsMismatch ? QStringLiteral("  \u2260 stored") : QString());
    default: return {};
  }
}

QVariant TFieldTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  static const char* const kHeaders[] = {"Name", "Offset", "Type", "Range", "Value", "Computed", "Fix on save"};
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section >= kColumns) return {};
  if (section == kOffset && Addresses) return QStringLiteral("Address");
  return QLatin1String(kHeaders[section]);
}

Qt::ItemFlags TFieldTableModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags flags = QAbstractTableModel::flags(index);
  if (!index.isValid() || index.row() >= rowCount()) return flags;
  const size_t row = static_cast<size_t>(index.row());
  if (index.column() == kValue && FRows[row].State != TRowState::rsProblem) flags |= Qt::ItemIsEditable;
  if (index.column() == kFixOnSave && FFields[row].Kind == TFieldKind::fkChecksum) flags |= Qt::ItemIsUserCheckable;
  return flags;
}

bool TFieldTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= rowCount()) return false;
  if (index.column() == kValue && role == Qt::EditRole && OnEditValue) {
    const QString text = value.toString();
    Guarded([&] { OnEditValue(index.row(), text); });
    return true;
  }
  if (index.column() == kFixOnSave && role == Qt::CheckStateRole && OnFixOnSave) {
    const bool on = value.toInt() == Qt::Checked;
    Guarded([&] { OnFixOnSave(index.row(), on); });
    return true;
  }
  return false;
}

// --- The definition dialog ------------------------------------------------------------------

TFieldDialog::TFieldDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FieldDialog"));
  setWindowTitle(QStringLiteral("Field"));
  NameEdit = LineEdit(this, "NameEdit");
  KindBox = Choice(this, "KindBox", {QStringLiteral("Value"), QStringLiteral("Checksum")});
  OffsetEdit = LineEdit(this, "OffsetEdit");
  QStringList types;
  for (int t = 0; t < kValueTypeCount; ++t) types << QLatin1String(ValueTypeName(static_cast<TValueType>(t)));
  types << QStringLiteral("text") << QStringLiteral("bytes");
  TypeBox = Choice(this, "TypeBox", types);
  LengthEdit = LineEdit(this, "LengthEdit");
  OrderBox = Choice(this, "OrderBox", {QStringLiteral("little endian"), QStringLiteral("big endian")});
  QStringList algorithms;
  for (int k = 0; k < kChecksumKindCount; ++k) algorithms << QLatin1String(ChecksumName(static_cast<TChecksumKind>(k)));
  AlgorithmBox = Choice(this, "AlgorithmBox", algorithms);
  FromEdit = LineEdit(this, "FromEdit");
  ToEdit = LineEdit(this, "ToEdit");
  RangeLengthEdit = LineEdit(this, "RangeLengthEdit");
  LinkRangeEnds(ToEdit, RangeLengthEdit);
  SelectionButton = Button(this, "SelectionButton", QStringLiteral("Use s&election"));
  RangeLabel = new QLabel(this);
  RangeLabel->setObjectName(QStringLiteral("RangeLabel"));
  FixOnSaveBox = new QCheckBox(QStringLiteral("Fix on &save"), this);
  FixOnSaveBox->setObjectName(QStringLiteral("FixOnSaveBox"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("&Name:"), NameEdit);
  form->addRow(QStringLiteral("&Kind:"), KindBox);
  form->addRow(QStringLiteral("&Offset (stored at):"), OffsetEdit);
  form->addRow(QStringLiteral("&Type:"), TypeBox);
  form->addRow(QStringLiteral("&Length (bytes):"), LengthEdit);
  form->addRow(QStringLiteral("&Algorithm:"), AlgorithmBox);
  auto* from = new QHBoxLayout;
  from->addWidget(FromEdit, 1);
  from->addWidget(SelectionButton);
  auto* fromLabel = new QLabel(QStringLiteral("Range &from:"), this);
  fromLabel->setBuddy(FromEdit);
  form->addRow(fromLabel, from);
  form->addRow(QStringLiteral("Range &up to (last byte):"), ToEdit);
  form->addRow(QStringLiteral("or range len&gth (bytes):"), RangeLengthEdit);
  form->addRow(QString(), RangeLabel);
  form->addRow(QStringLiteral("&Byte order:"), OrderBox);
  form->addRow(QString(), FixOnSaveBox);
  PlacesLabel = new QLabel(QStringLiteral("Offsets: decimal, $hex or 0xhex."), this);
  form->addRow(PlacesLabel);
  form->addRow(buttons);
  connect(KindBox, &QComboBox::currentIndexChanged, this, [this] { KindChange(); });
  connect(TypeBox, &QComboBox::currentIndexChanged, this, [this] { KindChange(); });
  for (QLineEdit* edit : {FromEdit, ToEdit, RangeLengthEdit}) connect(edit, &QLineEdit::textChanged, this, [this] { RangeChange(); });
  uibuild::OnClick(SelectionButton, [this] { SelectionClick(); });
}

void TFieldDialog::SetDocument(int64_t size, int64_t selFirst, int64_t selCount, bool addresses) {
  // A running program's memory: fields at its addresses, and no checksums.
  if (auto* label = qobject_cast<QLabel*>(static_cast<QFormLayout*>(layout())->labelForField(OffsetEdit)))
    label->setText(addresses ? QStringLiteral("A&ddress:") : QStringLiteral("&Offset (stored at):"));
  PlacesLabel->setText(addresses ? QStringLiteral("Addresses: decimal, $hex or 0xhex.")
                                 : QStringLiteral("Offsets: decimal, $hex or 0xhex."));
  KindBox->setEnabled(!addresses);
  FSize = size;
  FSelFirst = selFirst;
  FSelCount = selCount;
  KindChange();
}

void TFieldDialog::SelectionClick() {
  if (FSelCount < 1) return;
  FromEdit->setText(Text(OffsetText(FSelFirst)));
  ToEdit->setText(Text(OffsetText(FSelFirst + FSelCount - 1)));
  RangeLengthEdit->clear();
}

void TFieldDialog::RangeChange() {
  const TChecksumRange range =
      ChecksumRange(FromEdit->text().toStdString(), ToEdit->text().toStdString(), RangeLengthEdit->text().toStdString(), FSize);
  RangeLabel->setText(Text(range.Error.empty() ? range.Text : range.Error));
}

void TFieldDialog::KindChange() {
  const bool checksum = KindBox->currentIndex() == 1;
  const int type = TypeBox->currentIndex();
  TypeBox->setEnabled(!checksum);
  LengthEdit->setEnabled(!checksum && (type == kTypeText || type == kTypeBytes));
  for (QWidget* w : std::initializer_list<QWidget*>{AlgorithmBox, FromEdit, ToEdit, RangeLengthEdit, RangeLabel, FixOnSaveBox})
    w->setEnabled(checksum);
  SelectionButton->setEnabled(checksum && FSelCount > 0);
}

void TFieldDialog::SetEntry(const TFieldEntry& e) {
  NameEdit->setText(Text(e.Name));
  KindBox->setCurrentIndex(e.Checksum ? 1 : 0);
  OffsetEdit->setText(Text(e.Offset));
  TypeBox->setCurrentIndex(e.Type);
  LengthEdit->setText(Text(e.Length));
  OrderBox->setCurrentIndex(static_cast<int>(e.Order));
  AlgorithmBox->setCurrentIndex(static_cast<int>(e.Algorithm));
  FromEdit->setText(Text(e.From));
  ToEdit->setText(Text(e.To));
  RangeLengthEdit->setText(Text(e.RangeLength));
  FixOnSaveBox->setChecked(e.FixOnSave);
  KindChange();
  NameEdit->setFocus();
}

TFieldEntry TFieldDialog::Entry() const {
  TFieldEntry e;
  e.Checksum = KindBox->currentIndex() == 1;
  e.Name = NameEdit->text().toStdString();
  e.Offset = OffsetEdit->text().toStdString();
  e.Type = TypeBox->currentIndex();
  e.Length = LengthEdit->text().toStdString();
  e.Order = static_cast<TByteOrder>(OrderBox->currentIndex());
  e.Algorithm = static_cast<TChecksumKind>(AlgorithmBox->currentIndex());
  e.From = FromEdit->text().toStdString();
  e.To = ToEdit->text().toStdString();
  e.RangeLength = RangeLengthEdit->text().toStdString();
  e.FixOnSave = FixOnSaveBox->isChecked();
  return e;
}

// --- The window -----------------------------------------------------------------------------

TFieldsForm::TFieldsForm(Teditform& owner) : QWidget(&owner, Qt::Window), FOwner(owner) {
  setObjectName(QStringLiteral("FieldsForm"));
  resize(760, 320);
  FModel = new TFieldTableModel(owner.Fields(), this);
  FModel->OnEditValue = [this](int row, const QString& text) { EditValue(row, text); };
  FModel->PlaceText = [this](int64_t pos) { return PlaceText(FOwner.Editor(), pos); };
  FModel->OnFixOnSave = [this](int row, bool on) {
    FOwner.Fields()[static_cast<size_t>(row)].FixOnSave = on;
    Changed();
  };
  FieldView = new QTableView(this);
  FieldView->setObjectName(QStringLiteral("FieldView"));
  FieldView->setModel(FModel);
  FieldView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FieldView->setSelectionMode(QAbstractItemView::SingleSelection);
  FieldView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FieldView->verticalHeader()->hide();
  FieldView->horizontalHeader()->setStretchLastSection(true);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
  FieldDialog = new TFieldDialog(this);

  AddButton = Button(this, "AddButton", QStringLiteral("&Add field..."));
  AddChecksumButton = Button(this, "AddChecksumButton", QStringLiteral("Add &checksum..."));
  BookmarkButton = Button(this, "BookmarkButton", QStringLiteral("From &bookmark"));
  BookmarkButton->setMenu(new QMenu(BookmarkButton));
  EditButton = Button(this, "EditButton", QStringLiteral("&Edit..."));
  RemoveButton = Button(this, "RemoveButton", QStringLiteral("&Remove"));
  FixButton = Button(this, "FixButton", QStringLiteral("&Fix"));
  EditValueButton = Button(this, "EditValueButton", QStringLiteral("Edit &value"));
  KeepButton = Button(this, "KeepButton", QStringLiteral("&Keep at value"));
  RefreshButton = Button(this, "RefreshButton", QStringLiteral("Refres&h"));
  RefreshButton->setShortcut(QKeySequence(QStringLiteral("F5")));
  SaveProfileButton = Button(this, "SaveProfileButton", QStringLiteral("&Save profile..."));
  LoadProfileButton = Button(this, "LoadProfileButton", QStringLiteral("&Load profile..."));
  ApplyButton = Button(this, "ApplyButton", QStringLiteral("A&pply to"));
  ApplyButton->setMenu(new QMenu(ApplyButton));

  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  for (QPushButton* b : {AddButton, AddChecksumButton, BookmarkButton, EditButton, EditValueButton, KeepButton, RemoveButton, FixButton})
    top->addWidget(b);
  top->addStretch(1);
  top->addWidget(RefreshButton);
  layout->addLayout(top);
  layout->addWidget(FieldView, 1);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(StatusLabel, 1);
  for (QPushButton* b : {SaveProfileButton, LoadProfileButton, ApplyButton}) bottom->addWidget(b);
  layout->addLayout(bottom);

  using uibuild::OnClick;
  OnClick(AddButton, [this] { AddClick(); });
  OnClick(AddChecksumButton, [this] { AddChecksumClick(); });
  OnClick(EditButton, [this] { EditClick(); });
  OnClick(EditValueButton, [this] { EditValueClick(); });
  OnClick(KeepButton, [this] { KeepClick(); });
  // The context menu of a row: Keep at value or Release, Edit value.
  FieldView->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FieldView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    Guarded([&] {
      if (const QModelIndex index = FieldView->indexAt(at); index.isValid()) FieldView->selectRow(index.row());
      if (CurrentRow() < 0) return;
      QMenu menu(this);
      menu.addAction(KeepButton->text().remove(QLatin1Char('&')), this, [this] { Guarded([this] { KeepClick(); }); });
      menu.addAction(QStringLiteral("Edit value..."), this, [this] { Guarded([this] { EditValueClick(); }); });
      menu.exec(FieldView->viewport()->mapToGlobal(at));
    });
  });
  connect(FieldView->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateKeepButton(); });
  // A running program changes its values: those shown are read again twice a second.
  FLiveTimer = new QTimer(this);
  FLiveTimer->setInterval(500);
  connect(FLiveTimer, &QTimer::timeout, this, [this] {
    Guarded([this] {
      if (!isVisible() || !FOwner.Editor().IsLive()) return FLiveTimer->stop();
      // Not while a value is typed into its cell (its editor has the focus).
      const QWidget* focus = QApplication::focusWidget();
      if (!focus || focus == FieldView || !FieldView->isAncestorOf(focus)) Refresh();
    });
  });
  OnClick(RemoveButton, [this] { RemoveClick(); });
  OnClick(FixButton, [this] { FixClick(); });
  OnClick(RefreshButton, [this] { Refresh(); });
  OnClick(SaveProfileButton, [this] { SaveProfileClick(); });
  OnClick(LoadProfileButton, [this] { LoadProfileClick(); });
  connect(BookmarkButton->menu(), &QMenu::aboutToShow, this, [this] { Guarded([this] { FillBookmarkMenu(); }); });
  connect(ApplyButton->menu(), &QMenu::aboutToShow, this, [this] { Guarded([this] { FillApplyMenu(); }); });
  connect(FieldView, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { Guarded([this, index] { RowDoubleClick(index); }); });
  FRefreshTimer = new QTimer(this);
  FRefreshTimer->setSingleShot(true);
  FRefreshTimer->setInterval(300);
  connect(FRefreshTimer, &QTimer::timeout, this, [this] { Guarded([this] { Refresh(); }); });
}

void TFieldsForm::ShowFields() {
  show();
  raise();
  activateWindow();
  Refresh();
  if (CurrentRow() < 0 && FModel->rowCount() > 0) FieldView->selectRow(0);
  FieldView->setFocus();
}

void TFieldsForm::DocumentChanged() {
  // A caret move or a selection changes no value: only an edit is worth a
  // new pass over the checksums' ranges.
  if (isVisible() && FOwner.Editor().EditCount() != FShownEdits) FRefreshTimer->start();
}

bool TFieldsForm::RefreshPending() const { return FRefreshTimer->isActive(); }

void TFieldsForm::Refresh() {
  FRefreshTimer->stop();
  FShownEdits = FOwner.Editor().EditCount();
  setWindowTitle(QStringLiteral("Fields - ") + FOwner.DocumentName());
  THexEditor& editor = FOwner.Editor();
  TEditorSource source(editor);
  TLongWork work(this, QStringLiteral("Computing the checksums..."), true);
  std::vector<TFieldRow> rows = FieldRows(source, FOwner.Fields(), editor.Translation(),
                                          work.Progress());
  for (size_t i = 0; i < rows.size(); ++i) rows[i].Held = FieldHeld(FOwner.Keeper(), FOwner.Fields()[i]);
  const bool live = editor.IsLive();
  FModel->Addresses = live;
  AddChecksumButton->setEnabled(!live);
  FixButton->setEnabled(!live);
  if (live && !FLiveTimer->isActive()) FLiveTimer->start();
  StatusLabel->setText(Text(FieldsSummary(rows)));
  const int row = CurrentRow();
  FModel->SetRows(std::move(rows));
  if (row >= 0 && row < FModel->rowCount()) FieldView->selectRow(row);
  FieldView->resizeColumnsToContents();
  UpdateKeepButton();
}

void TFieldsForm::UpdateKeepButton() {
  const int row = CurrentRow();
  const bool held = row >= 0 && FieldHeld(FOwner.Keeper(), FOwner.Fields()[static_cast<size_t>(row)]);
  KeepButton->setText(held ? QStringLiteral("Release") : QStringLiteral("&Keep at value"));
  // Alt+K either way.
  KeepButton->setShortcut(QKeySequence(QStringLiteral("Alt+K")));
  KeepButton->setEnabled(FOwner.Editor().IsLive());
}

void TFieldsForm::KeepClick() {
  const int row = CurrentRow();
  if (row < 0) {
    Dialogs().MessageDlg(this, QStringLiteral("Choose a field in the list first."), TMsgDlgType::mtInformation,
                         TMsgDlgButtons::mbOK);
    return;
  }
  FOwner.ToggleKeep(FOwner.Fields()[static_cast<size_t>(row)]);
  Refresh();
}

int TFieldsForm::CurrentRow() const {
  const QModelIndexList rows = FieldView->selectionModel() ? FieldView->selectionModel()->selectedRows() : QModelIndexList();
  return rows.isEmpty() ? -1 : rows.first().row();
}

void TFieldsForm::Changed() {
  FOwner.FieldsChanged();
  Refresh();
}

bool TFieldsForm::EditEntry(TFieldEntry entry, TField& field) {
  THexEditor& editor = FOwner.Editor();
  FieldDialog->SetDocument(editor.DataSize(), editor.SelMin(), editor.SelCount(), editor.IsLive());
  for (;;) {
    FieldDialog->SetEntry(entry);
    if (Dialogs().ShowModal(*FieldDialog) != TModalResult::mrOk) return false;
    entry = FieldDialog->Entry();
    const std::string error = FieldFromEntry(entry, editor, field);
    if (error.empty()) return true;
    Dialogs().MessageDlg(this, Text(error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  }
}

void TFieldsForm::AddAndEdit(TField field) {
  if (!EditEntry(EntryOf(field, FOwner.Editor()), field)) return;
  FOwner.Fields().push_back(field);
  Changed();
  FieldView->selectRow(FModel->rowCount() - 1);
}

void TFieldsForm::AddClick() { FOwner.AddFieldHere1Click(); }

void TFieldsForm::AddChecksumClick() {
  THexEditor& ed = FOwner.Editor();
  AddAndEdit(NewChecksum(ed.GetCursorPos(), ed.SelMin(), ed.SelCount(), ed.DataSize()));
}

void TFieldsForm::FillBookmarkMenu() {
  QMenu* menu = BookmarkButton->menu();
  menu->clear();
  for (const TField& f : BookmarkFields(FOwner.Frame().Bookmarks()))
    menu->addAction(Text(PlaceText(FOwner.Editor(), f.Offset) + "  " + f.Name), this, [this, f] { Guarded([&] { AddAndEdit(f); }); });
  if (menu->isEmpty()) menu->addAction(QStringLiteral("(no bookmarks)"))->setEnabled(false);
}

void TFieldsForm::EditClick() {
  const int row = CurrentRow();
  if (row < 0) return;
  TField& slot = FOwner.Fields()[static_cast<size_t>(row)];
  TField field = slot;
  if (!EditEntry(EntryOf(slot, FOwner.Editor()), field)) return;
  FOwner.Fields()[static_cast<size_t>(row)] = field;
  Changed();
}

void TFieldsForm::RemoveClick() {
  const int row = CurrentRow();
  if (row < 0) return;
  FOwner.Fields().erase(FOwner.Fields().begin() + row);
  Changed();
}

void TFieldsForm::RowDoubleClick(const QModelIndex& index) {
  if (index.column() == TFieldTableModel::kValue && (FModel->flags(index) & Qt::ItemIsEditable)) FieldView->edit(index);
  else if (index.column() != TFieldTableModel::kFixOnSave) EditClick();
}

void TFieldsForm::EditValueClick() {
  const int row = CurrentRow();
  const QModelIndex cell = FModel->index(row, TFieldTableModel::kValue);
  if (row < 0 || !(FModel->flags(cell) & Qt::ItemIsEditable)) return;
  const TField& field = FOwner.Fields()[static_cast<size_t>(row)];
  QString text = cell.data(Qt::EditRole).toString();
  if (Dialogs().InputQuery(this, QStringLiteral("Edit value"),
                           QStringLiteral("%1 (%2 at %3):").arg(Text(field.Name), Text(FieldTypeText(field)),
                                                                  Text(PlaceText(FOwner.Editor(), field.Offset))),
                           text))
    EditValue(row, text);
}

void TFieldsForm::EditValue(int row, const QString& text) {
  const TField& field = FOwner.Fields()[static_cast<size_t>(row)];
  const std::string error = SetFieldValue(FOwner.Editor(), field, text.toStdString());
  if (!error.empty()) Dialogs().MessageDlg(this, Text(error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  // A held value typed anew is the one held from now on.
  else if (FieldHeld(FOwner.Keeper(), field)) HoldField(FOwner.Keeper(), FOwner.Editor(), field);
  FOwner.EnableSaveIfModified();
  QTimer::singleShot(0, this, [this] { Guarded([this] { Refresh(); }); });
}

void TFieldsForm::FixClick() {
  const int row = CurrentRow();
  if (row < 0 || FOwner.Fields()[static_cast<size_t>(row)].Kind != TFieldKind::fkChecksum) {
    Dialogs().MessageDlg(this, QStringLiteral("Choose a checksum in the list first."), TMsgDlgType::mtInformation,
                         TMsgDlgButtons::mbOK);
    return;
  }
  std::string error;
  {
    TLongWork work(this, QStringLiteral("Computing the checksum..."), true);
    error = FixChecksum(FOwner.Editor(), FOwner.Fields()[static_cast<size_t>(row)],
                        work.Progress());
  }
  ShowWarning(this, error);
  FOwner.EnableSaveIfModified();
  Refresh();
}

void TFieldsForm::SaveProfileClick() {
  if (!FSaveDialog.Execute(this)) return;
  try {
    ShowWarning(this, WriteStore(FSaveDialog.Path(), ProfileText(FOwner.Fields(), FOwner.Editor())));
  } catch (const std::exception& e) {
    Dialogs().MessageDlg(this, QStringLiteral("The profile was not saved: ") + Text(e.what()), TMsgDlgType::mtError,
                         TMsgDlgButtons::mbOK);
  }
}

void TFieldsForm::LoadProfileClick() {
  if (!FOpenDialog.Execute(this)) return;
  const TProfileLoad load = LoadProfile(FOpenDialog.Path(), FOwner.Fields(), &FOwner.Editor());
  if (!load.Error.empty()) {
    Dialogs().MessageDlg(this, QString::fromLocal8Bit(load.Error.c_str()), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    return;
  }
  Changed();
  Dialogs().MessageDlg(this, Text(load.Report), load.Skipped ? TMsgDlgType::mtWarning : TMsgDlgType::mtInformation,
                       TMsgDlgButtons::mbOK);
}

void TFieldsForm::FillApplyMenu() {
  QMenu* menu = ApplyButton->menu();
  menu->clear();
  TFrameLink& frame = FOwner.Frame();
  for (int i = 0; i < frame.MDIChildCount(); ++i)
    if (Teditform* target = frame.MDIChildren(i); target != &FOwner)
      menu->addAction(target->DocumentName(), this,
                      [this, target = QPointer<Teditform>(target)] { Guarded([&] { if (target) ApplyTo(*target); }); });
  if (menu->isEmpty()) menu->addAction(QStringLiteral("(no other open document)"))->setEnabled(false);
}

void TFieldsForm::ApplyTo(Teditform& target) {
  std::string problem;
  const std::vector<TField> placed = FieldsFor(FOwner.Editor(), FOwner.Fields(), target.Editor(), problem);
  const int added = AddFields(target.Fields(), placed);
  target.FieldsChanged();
  Dialogs().MessageDlg(this,
                       QStringLiteral("%1 fields applied to %2.").arg(added).arg(target.DocumentName()) +
                           (problem.empty() ? QString() : QStringLiteral("\n") + Text(problem) + QLatin1Char('.')),
                       problem.empty() ? TMsgDlgType::mtInformation : TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

// --- Checksum of selection -----------------------------------------------------------------

TChecksumDialog::TChecksumDialog(QWidget* parent, const TChecksumRange& range, const std::vector<std::vector<uint8_t>>& values)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ChecksumDialog"));
  setWindowTitle(QStringLiteral("Checksum of selection"));
  auto* grid = new QGridLayout(this);
  FromEdit = LineEdit(this, "FromEdit");
  ToEdit = LineEdit(this, "ToEdit");
  RangeLengthEdit = LineEdit(this, "RangeLengthEdit");
  LinkRangeEnds(ToEdit, RangeLengthEdit);
  ComputeButton = Button(this, "ComputeButton", QStringLiteral("Co&mpute"));
  ComputeButton->setDefault(true);
  uibuild::OnClick(ComputeButton, [this] {
    if (OnCompute) OnCompute(FromEdit->text().toStdString(), ToEdit->text().toStdString(), RangeLengthEdit->text().toStdString());
  });
  auto* rangeRow = new QHBoxLayout;
  const std::pair<QString, QLineEdit*> parts[] = {{QStringLiteral("&From:"), FromEdit},
                                                  {QStringLiteral("&up to (last byte):"), ToEdit},
                                                  {QStringLiteral("or &length:"), RangeLengthEdit}};
  for (const auto& [caption, edit] : parts) {
    auto* label = new QLabel(caption, this);
    label->setBuddy(edit);
    rangeRow->addWidget(label);
    rangeRow->addWidget(edit, 1);
  }
  rangeRow->addWidget(ComputeButton);
  grid->addLayout(rangeRow, 0, 0, 1, 3);
  RangeLabel = new QLabel(this);
  RangeLabel->setObjectName(QStringLiteral("RangeLabel"));
  grid->addWidget(RangeLabel, 1, 0, 1, 3);
  for (int k = 0; k < kChecksumKindCount; ++k) {
    auto* edit = new QLineEdit(this);
    edit->setReadOnly(true);
    // As wide as the longest value (SHA-256), shown from its start.
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(64, QLatin1Char('D'))) + 24);
    ValueEdits.push_back(edit);
    auto* copy = new QPushButton(QStringLiteral("Copy"), this);
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, [edit] { QApplication::clipboard()->setText(edit->text()); });
    grid->addWidget(new QLabel(QLatin1String(ChecksumName(static_cast<TChecksumKind>(k))), this), k + 2, 0);
    grid->addWidget(edit, k + 2, 1);
    grid->addWidget(copy, k + 2, 2);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, kChecksumKindCount + 2, 0, 1, 3);
  FromEdit->setText(Text(OffsetText(range.First)));
  ToEdit->setText(range.Count > 0 ? Text(OffsetText(range.First + range.Count - 1)) : QString());
  SetValues(range, values);
}

void TChecksumDialog::SetValues(const TChecksumRange& range, const std::vector<std::vector<uint8_t>>& values) {
  RangeLabel->setText(Text(range.Text));
  for (size_t k = 0; k < ValueEdits.size(); ++k) {
    ValueEdits[k]->setText(k < values.size() ? Text(HexDigits(values[k])) : QString());
    ValueEdits[k]->setCursorPosition(0);
  }
}

}  // namespace byteloom
