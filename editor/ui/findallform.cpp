// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/findallform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "control/bookmarks.h"
#include "control/byteformats.h"
#include "control/hexeditor.h"
#include "editor/filebookmarks.h"
#include "editor/keptmarks.h"
#include "platform/guard.h"
#include "ui/dialogservice.h"
#include "ui/qtext.h"

namespace byteloom {

namespace {
// Positions searched between two looks at the events.
constexpr int64_t kSlice = int64_t{8} << 20;
constexpr int kKindText = 0, kKindCase = 1, kKindHex = 2, kKindValue = 3;
}  // namespace

TPatternParse FindAllPattern(const std::string& text, int kind, TByteOrder order, bool aligned,
                             TTranslationType translation) {
  if (kind == kKindText || kind == kKindCase) {
    if (text.empty()) return {std::nullopt, "No text to find"};
    return {TextPattern(text, kind == kKindCase, translation), {}};
  }
  if (kind == kKindHex) return HexPattern(text);
  return ValuePattern(text, {static_cast<TValueType>(kind - kKindValue), order, aligned});
}

void TFindAllModel::Start(std::unique_ptr<TFindAllRun> run, std::optional<TValueFormat> format) {
  beginResetModel();
  FRun = std::move(run);
  FFormat = format;
  FShown = 0;
  endResetModel();
}

bool TFindAllModel::Step(int64_t positions) {
  const bool complete = FRun->Step(FEditor, positions);
  const int now = static_cast<int>(FRun->Hits().size());
  if (now > FShown) {
    beginInsertRows({}, FShown, now - 1);
    FShown = now;
    endInsertRows();
  }
  return complete;
}

int TFindAllModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : FShown; }
int TFindAllModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : (FFormat ? 3 : 2); }

QVariant TFindAllModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid()) return {};
  const int64_t pos = HitAt(index.row());
  if (index.column() == 0) return QStringLiteral("%1").arg(pos, 8, 16, QLatin1Char('0')).toUpper();
  // The bytes as the document holds them now (they may have changed since).
  const int n = static_cast<int>(std::min<int64_t>(FRun->Pattern().Size(), FEditor.DataSize() - pos));
  if (n <= 0) return {};
  uint8_t bytes[64];
  const int shown = std::min(n, 64);
  FEditor.ReadBuffer(bytes, pos, shown);
  if (index.column() == 1) return QString::fromStdString(FormatBytes(TByteFormat::bfHexText, bytes, shown));
  if (n < ValueWidth(FFormat->Type)) return {};
  return QString::fromStdString(ValueText(DecodeValue(bytes, *FFormat), FFormat->Type));
}

QVariant TFindAllModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  static const char* const kHeads[] = {"Offset (hex)", "Bytes", "Value"};
  return QString::fromLatin1(kHeads[section]);
}

TFindAllForm::TFindAllForm(THexEditor& editor, TBookmarkTable& bookmarks, QWidget* owner)
    : QWidget(owner, Qt::Tool), FEditor(editor), FBookmarks(bookmarks), FModel(new TFindAllModel(editor, this)) {
  setObjectName(QStringLiteral("FindAllForm"));
  setWindowTitle(QStringLiteral("Find All"));
  resize(560, 420);
  PatternEdit = new QLineEdit(this);
  KindBox = new QComboBox(this);
  KindBox->addItems({QStringLiteral("Text"), QStringLiteral("Text (match case)"), QStringLiteral("Hex (? = any nibble)")});
  for (int t = 0; t < kValueTypeCount; ++t) KindBox->addItem(QString::fromLatin1(ValueTypeName(static_cast<TValueType>(t))));
  OrderBox = new QComboBox(this);
  OrderBox->addItems({QStringLiteral("Little endian"), QStringLiteral("Big endian")});
  AlignedBox = new QCheckBox(QStringLiteral("Aligned"), this);
  SelectionBox = new QCheckBox(QStringLiteral("In selection"), this);
  FindButton = new QPushButton(QStringLiteral("Find"), this);
  FindButton->setDefault(true);
  CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  CancelButton->setEnabled(false);
  Progress = new QProgressBar(this);
  Progress->setRange(0, 1000);
  Status = new QLabel(this);
  BookmarkButton = new QPushButton(QStringLiteral("Add to bookmarks"), this);
  Table = new QTableView(this);
  Table->setModel(FModel);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->horizontalHeader()->setStretchLastSection(true);
  Table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

  auto* top = new QHBoxLayout;
  top->addWidget(PatternEdit, 1);
  top->addWidget(KindBox);
  top->addWidget(FindButton);
  top->addWidget(CancelButton);
  auto* options = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{OrderBox, AlignedBox, SelectionBox}) options->addWidget(w);
  options->addStretch(1);
  options->addWidget(BookmarkButton);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Progress, 1);
  bottom->addWidget(Status, 1);
  auto* column = new QVBoxLayout(this);
  column->addLayout(top);
  column->addLayout(options);
  column->addWidget(Table, 1);
  column->addLayout(bottom);

  connect(FindButton, &QPushButton::clicked, this, [this] { Guarded([this] { FindClick(); }); });
  connect(PatternEdit, &QLineEdit::returnPressed, this, [this] { Guarded([this] { FindClick(); }); });
  connect(CancelButton, &QPushButton::clicked, this, [this] { CancelClick(); });
  connect(BookmarkButton, &QPushButton::clicked, this, [this] { Guarded([this] { AddToBookmarksClick(); }); });
  connect(Table, &QTableView::activated, this, [this](const QModelIndex& i) { Guarded([this, i] { HitActivated(i.row()); }); });
}

void TFindAllForm::FindClick() {
  if (FRunning) return;
  const int kind = KindBox->currentIndex();
  const auto order = OrderBox->currentIndex() == 1 ? TByteOrder::boBig : TByteOrder::boLittle;
  TPatternParse parsed = FindAllPattern(AnsiText(PatternEdit->text()), kind, order, AlignedBox->isChecked(), FEditor.Translation());
  if (!parsed.Pattern) {
    Dialogs().MessageDlg(this, QString::fromStdString(parsed.Error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  int64_t first = 0, last = int64_t{FEditor.DataSize()} - 1;
  if (SelectionBox->isChecked() && FEditor.SelCount() > 0) {
    first = std::min(FEditor.SelStart(), FEditor.SelEnd());
    last = std::max(FEditor.SelStart(), FEditor.SelEnd());
  }
  std::optional<TValueFormat> format;
  if (kind >= kKindValue) format = TValueFormat{static_cast<TValueType>(kind - kKindValue), order, AlignedBox->isChecked()};
  FModel->Start(std::make_unique<TFindAllRun>(std::move(*parsed.Pattern), first, last), format);
  FRunning = true;
  FindButton->setEnabled(false);
  CancelButton->setEnabled(true);
  Status->setText(QStringLiteral("Searching..."));
  QTimer::singleShot(0, this, [this] { NextSlice(); });
}

void TFindAllForm::NextSlice() {
  if (!FRunning) return;
  try {
    const bool complete = FModel->Step(kSlice);
    const TFindAllRun& run = *FModel->Run();
    Progress->setValue(run.Total() > 0 ? static_cast<int>(run.Done() * 1000 / run.Total()) : 1000);
    if (complete) return Finish(QStringLiteral("%1 hits").arg(run.Hits().size()));
    QTimer::singleShot(0, this, [this] { NextSlice(); });
  } catch (...) {
    Finish(QStringLiteral("Stopped"));
    Dialogs().MessageDlg(this, QString::fromStdString(ExceptionText(std::current_exception())), TMsgDlgType::mtError,
                         TMsgDlgButtons::mbOK);
  }
}

void TFindAllForm::CancelClick() {
  if (FRunning) Finish(QStringLiteral("Cancelled: %1 hits so far").arg(FModel->rowCount()));
}

void TFindAllForm::Finish(const QString& status) {
  FRunning = false;
  FindButton->setEnabled(true);
  CancelButton->setEnabled(false);
  Status->setText(status);
}

void TFindAllForm::HitActivated(int row) {
  if (row < 0 || row >= FModel->rowCount()) return;
  const int64_t pos = FModel->HitAt(row);
  if (pos < FEditor.DataSize()) FEditor.SelectMatch(pos, FModel->Run()->Pattern().Size());
}

void TFindAllForm::AddToBookmarksClick() {
  QList<int> rows;
  for (const QModelIndex& i : Table->selectionModel()->selectedRows()) rows << i.row();
  if (rows.isEmpty())
    for (int r = 0; r < FModel->rowCount(); ++r) rows << r;
  std::sort(rows.begin(), rows.end());
  int added = 0;
  ChangeKeptBookmarks([&](TBookmarkStore& store) {
    const std::string key = KeptBookmarkKey(FEditor);
    while (added < rows.size() && AddKeptBookmark(FBookmarks, store, FModel->HitAt(rows[added]), key))
      ++added;
  });
  Status->setText(added < rows.size() ? QStringLiteral("%1 of %2 hits added: all five bookmarks are set").arg(added).arg(rows.size())
                                      : QStringLiteral("%1 hits added to the bookmarks").arg(added));
}

}  // namespace byteloom
