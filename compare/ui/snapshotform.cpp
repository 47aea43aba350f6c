// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/ui/snapshotform.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "control/bookmarks.h"
#include "control/documents.h"
#include "control/hexeditor.h"
#include "platform/guard.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"

namespace byteloom {

// --- The candidate list ------------------------------------------------------------------

int TCandidateModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() || FFrozen ? 0 : static_cast<int>(std::min<int64_t>(FSearch.Candidates().Count(), kListedRows));
}

int TCandidateModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 1 + FSearch.SnapshotCount() + (FSearch.FollowsProgram() ? 1 : 0);
}

void TCandidateModel::RefreshNow(int first, int last) {
  last = std::min(last, rowCount() - 1);
  if (!FSearch.FollowsProgram() || first < 0 || last < first) return;
  FNowFirst = first;
  FNow.assign(static_cast<size_t>(last - first + 1), QString());
  for (int row = first; row <= last; ++row) {
    QString& text = FNow[static_cast<size_t>(row - first)];
    try {
      text = QString::fromStdString(FSearch.ValueNow(FSearch.Candidates().At(row)));
    } catch (const std::exception&) {
      text = QStringLiteral("?");
    }
  }
  const int column = columnCount() - 1;
  emit dataChanged(index(first, column), index(last, column), {Qt::DisplayRole});
}

QVariant TCandidateModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || FFrozen || index.row() >= FSearch.Candidates().Count() ||
      (role != Qt::DisplayRole && role != Qt::TextAlignmentRole))
    return {};
  if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignRight | Qt::AlignVCenter);
  int64_t offset = 0;
  try {
    offset = FSearch.Candidates().At(index.row());  // may read a page from the temporary file
  } catch (const std::exception&) {
    return QStringLiteral("?");
  }
  if (index.column() == 0)
    return QStringLiteral("%1").arg(static_cast<qulonglong>(FSearch.AddressOf(offset)), 8, 16, QLatin1Char('0')).toUpper();
  if (FSearch.FollowsProgram() && index.column() == columnCount() - 1) {
    const auto k = static_cast<size_t>(index.row() - FNowFirst);
    return index.row() >= FNowFirst && k < FNow.size() ? FNow[k] : QString();
  }
  // A window closed since the last look is never read again.
  if (FDocuments) FSearch.ForgetClosedDocuments(*FDocuments);
  return QString::fromStdString(FSearch.ValueAt(index.column() - 1, offset));
}

QVariant TCandidateModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section == 0) return FSearch.FollowsProgram() ? QStringLiteral("Address (hex)") : QStringLiteral("Offset (hex)");
  if (FSearch.FollowsProgram() && section == columnCount() - 1) return QStringLiteral("Now");
  return QStringLiteral("Snapshot %1").arg(section);
}

// --- The window ----------------------------------------------------------------------------

namespace {

QComboBox* Choice(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  for (const char* item : items) box->addItem(QLatin1String(item));
  return box;
}

QPushButton* PushButton(QWidget* parent, const char* name, const QString& text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QLatin1String(name));
  return button;
}

// The width of text with each of its characters that belongs to one of the
// classes (digits, signs) as wide as the widest character of its class.
int WidestWidth(const QFontMetrics& metrics, QString text, std::initializer_list<QLatin1StringView> classes) {
  for (QLatin1StringView members : classes) {
    QChar widest = members[0];
    for (QChar member : members)
      if (metrics.horizontalAdvance(member) > metrics.horizontalAdvance(widest)) widest = member;
    for (QChar& c : text)
      if (members.contains(c)) c = widest;
  }
  return metrics.horizontalAdvance(text);
}

// The documents box reads the open documents anew whenever it opens.
class TDocumentBox final : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> OnOpen;
  void showPopup() override {
    if (OnOpen) OnOpen();
    QComboBox::showPopup();
  }
};

}  // namespace

// While a step or an undo runs: no second one starts; afterwards (also after
// an error, which the command guard reports) the window shows the search.
struct TSnapshotForm::TBusy {
  TSnapshotForm& Form;
  explicit TBusy(TSnapshotForm& form) : Form(form) {
    Form.FRunning = true;
    Form.FModel->Reload(true);
  }
  ~TBusy() {
    Form.FRunning = false;
    // What a watch sent meanwhile; a snapshot that cannot go in is lost
    // rather than the window's state (the guard has the step's error).
    std::vector<TWaitingVersion> waiting = std::move(Form.FWaiting);
    Form.FWaiting.clear();
    for (TWaitingVersion& version : waiting) try {
        Form.AddVersion(std::move(version.Source), version.Caption, version.ShownIn);
      } catch (const std::exception&) {
      }
    Form.Render();
  }
};

TSnapshotForm::TSnapshotForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("SnapshotForm"));
  setWindowTitle(QStringLiteral("Find a value across snapshots"));
  resize(640, 560);

  SnapshotList = new QListWidget(this);
  SnapshotList->setObjectName(QStringLiteral("SnapshotList"));
  SnapshotList->setMaximumHeight(90);
  auto* documentBox = new TDocumentBox(this);
  documentBox->setObjectName(QStringLiteral("DocumentBox"));
  documentBox->OnOpen = [this] { FillDocumentBox(); };
  DocumentBox = documentBox;
  AddDocumentButton = PushButton(this, "AddDocumentButton", QStringLiteral("Add &document"));
  AddFileButton = PushButton(this, "AddFileButton", QStringLiteral("Add &file..."));
  FFileDialog.SetMultiSelect(true);  // several files at once, added in their order
  RemoveSnapshotButton = PushButton(this, "RemoveSnapshotButton", QStringLiteral("Re&move"));
  TakeSnapshotButton = PushButton(this, "TakeSnapshotButton", QStringLiteral("&Take snapshot"));
  TakeSnapshotButton->setShortcut(QKeySequence(QStringLiteral("F8")));
  TakeSnapshotButton->setToolTip(QStringLiteral("Copies the memory of the running program the active window shows (F8)"));

  TypeBox = Choice(this, "TypeBox", {"u8", "u16", "u32", "u64", "i8", "i16", "i32", "i64", "f32", "f64"});
  TypeBox->setCurrentIndex(static_cast<int>(TValueType::vtU32));
  OrderBox = Choice(this, "OrderBox", {"little endian", "big endian"});
  AlignBox = Choice(this, "AlignBox", {"any offset", "multiples of the size"});
  NewSearchButton = PushButton(this, "NewSearchButton", QStringLiteral("&New search"));

  StepLabel = new QLabel(this);
  StepLabel->setObjectName(QStringLiteral("StepLabel"));
  ConditionBox = new QComboBox(this);
  ConditionBox->setObjectName(QStringLiteral("ConditionBox"));
  StepLabel->setBuddy(ConditionBox);
  for (int k = 0; k < kStepConditionCount; ++k)
    ConditionBox->addItem(QLatin1String(StepConditionName(static_cast<TStepCondition>(k))));
  FirstLabel = new QLabel(this);
  FirstEdit = new QLineEdit(this);
  FirstEdit->setObjectName(QStringLiteral("FirstEdit"));
  SecondLabel = new QLabel(this);
  SecondEdit = new QLineEdit(this);
  SecondEdit->setObjectName(QStringLiteral("SecondEdit"));
  RunStepButton = PushButton(this, "RunStepButton", QStringLiteral("&Run step"));
  RunStepButton->setDefault(true);
  UndoStepButton = PushButton(this, "UndoStepButton", QStringLiteral("&Undo step"));
  MemoryNowBox = new QCheckBox(QStringLiteral("&Compare with the memory now"), this);
  MemoryNowBox->setObjectName(QStringLiteral("MemoryNowBox"));
  MemoryNowBox->setToolTip(QStringLiteral("The step takes a snapshot of the program first and compares the last one with it"));

  CountLabel = new QLabel(this);
  CountLabel->setObjectName(QStringLiteral("CountLabel"));
  CountLabel->setWordWrap(true);  // a notice of a watch may be long
  FModel = new TCandidateModel(FSearch, this);
  CandidateView = new QTableView(this);
  CandidateView->setObjectName(QStringLiteral("CandidateView"));
  CandidateView->setModel(FModel);
  connect(FModel, &QAbstractItemModel::modelReset, this, [this] { FitColumns(); });
  CandidateView->setSelectionBehavior(QAbstractItemView::SelectRows);
  CandidateView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CandidateView->verticalHeader()->hide();
  // Fixed row heights keep the view fast with millions of rows.
  CandidateView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  CandidateView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  CandidateView->horizontalHeader()->setDefaultSectionSize(110);
  BookmarkButton = PushButton(this, "BookmarkButton", QStringLiteral("Add to &bookmarks"));
  FieldButton = PushButton(this, "FieldButton", QStringLiteral("Add as fi&eld"));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Snapshots, in the order they were taken:"), this));
  layout->addWidget(SnapshotList);
  auto* addRow = new QHBoxLayout;
  addRow->addWidget(DocumentBox, 1);
  addRow->addWidget(AddDocumentButton);
  addRow->addWidget(AddFileButton);
  addRow->addWidget(RemoveSnapshotButton);
  addRow->addWidget(TakeSnapshotButton);
  layout->addLayout(addRow);
  auto* formatRow = new QHBoxLayout;
  formatRow->addWidget(new QLabel(QStringLiteral("Value:"), this));
  formatRow->addWidget(TypeBox);
  formatRow->addWidget(OrderBox);
  formatRow->addWidget(AlignBox);
  formatRow->addStretch(1);
  formatRow->addWidget(NewSearchButton);
  layout->addLayout(formatRow);
  auto* stepRow = new QGridLayout;
  stepRow->addWidget(StepLabel, 0, 0);
  stepRow->addWidget(ConditionBox, 0, 1);
  stepRow->addWidget(FirstLabel, 0, 2);
  stepRow->addWidget(FirstEdit, 0, 3);
  stepRow->addWidget(SecondLabel, 0, 4);
  stepRow->addWidget(SecondEdit, 0, 5);
  stepRow->addWidget(RunStepButton, 0, 6);
  stepRow->addWidget(UndoStepButton, 0, 7);
  layout->addLayout(stepRow);
  // Under Run step, beside the count (the list keeps its place).
  auto* countRow = new QHBoxLayout;
  countRow->addWidget(CountLabel, 1);
  countRow->addWidget(MemoryNowBox, 0, Qt::AlignTop);
  layout->addLayout(countRow);
  layout->addWidget(CandidateView, 1);
  auto* bottomRow = new QHBoxLayout;
  bottomRow->addWidget(new QLabel(QStringLiteral("Double-click a candidate to go there in every snapshot window."), this), 1);
  bottomRow->addWidget(BookmarkButton);
  bottomRow->addWidget(FieldButton);
  layout->addLayout(bottomRow);

  const auto click = [this](QPushButton* button, void (TSnapshotForm::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
  };
  click(AddDocumentButton, &TSnapshotForm::AddDocumentClick);
  click(AddFileButton, &TSnapshotForm::AddFileClick);
  click(TakeSnapshotButton, &TSnapshotForm::TakeSnapshotClick);
  connect(MemoryNowBox, &QCheckBox::toggled, this, [this] { Guarded([this] { Render(); }); });
  FLiveTimer = new QTimer(this);
  connect(FLiveTimer, &QTimer::timeout, this, [this] { Guarded([this] { LiveTick(); }); });
  click(RemoveSnapshotButton, &TSnapshotForm::RemoveSnapshotClick);
  click(RunStepButton, &TSnapshotForm::RunStepClick);
  click(UndoStepButton, &TSnapshotForm::UndoStepClick);
  click(NewSearchButton, &TSnapshotForm::NewSearchClick);
  click(BookmarkButton, &TSnapshotForm::AddBookmarksClick);
  click(FieldButton, &TSnapshotForm::AddFieldClick);
  connect(ConditionBox, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { ConditionChange(); }); });
  for (QComboBox* box : {TypeBox, OrderBox, AlignBox})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { Guarded([this] { NewSearchClick(); }); });
  connect(CandidateView, &QTableView::doubleClicked, this,
          [this](const QModelIndex& index) { Guarded([this, index] { CandidateDoubleClick(index.row()); }); });
  ConditionChange();
  Render();
}

void TSnapshotForm::SetDocuments(TDocumentList* documents) {
  FDocuments = documents;
  FModel->SetDocuments(documents);
}

void TSnapshotForm::ShowSearch() {
  FillDocumentBox();
  show();
  raise();
  activateWindow();
  Guarded([this] { FSearch.TakeBack(); });  // a search that had to start over says why
  Render();
}

void TSnapshotForm::AddVersion(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn) {
  if (FRunning) {
    FWaiting.push_back({std::move(source), caption, shownIn});
    return;
  }
  try {
    FSearch.AddSource(std::move(source), caption, shownIn);
  } catch (const std::exception& e) {  // the search follows a running program
    FNotice = QString::fromStdString(e.what());
    Render();
    return;
  }
  const bool ready = FSearch.CheckNextStep().empty();
  FNotice = QString::fromStdString(caption) +
            (ready ? QStringLiteral(" arrived: choose the condition and run the next step.") : QStringLiteral(" arrived."));
  // Into the window's focus, not in front of the game: the window is not raised.
  QWidget* typing = focusWidget();
  if (ready && isVisible() && typing != FirstEdit && typing != SecondEdit) RunStepButton->setFocus();
  Render();
}

void TSnapshotForm::ShowNotice(const std::string& text, bool show) {
  FNotice = QString::fromStdString(text);
  if (show) ShowSearch();
  Render();
}

void TSnapshotForm::closeEvent(QCloseEvent* event) {
  // Where the candidates cannot be put aside (the disk is full) they stay.
  if (!FRunning) {
    try {
      FSearch.PutAside();
    } catch (const std::exception&) {
    }
  }
  FModel->Reload();
  QWidget::closeEvent(event);
}

void TSnapshotForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  FLiveTimer->start(250);
}

void TSnapshotForm::hideEvent(QHideEvent* event) {
  FLiveTimer->stop();
  QWidget::hideEvent(event);
}

void TSnapshotForm::LiveTick() {
  if (FRunning || !isVisible() || !FSearch.FollowsProgram()) return;
  if (!FSearch.ProgramRunning() && !FProgramEnded) Render();  // says so, the memory-now choice goes
  // The rows on screen, and no more.
  const int first = CandidateView->rowAt(0);
  if (first < 0) return;
  const int last = CandidateView->rowAt(CandidateView->viewport()->height() - 1);
  FModel->RefreshNow(first, last < 0 ? FModel->rowCount() - 1 : last);
}

void TSnapshotForm::FitColumns() {
  const QFontMetrics metrics(CandidateView->font());
  QHeaderView* header = CandidateView->horizontalHeader();
  // Offsets take eight hex digits, more past 4 GiB.
  const int64_t limit = FSearch.Candidates().Limit();
  const auto last = static_cast<qulonglong>(FSearch.AddressOf(std::max<int64_t>(std::min(limit, FSearch.Layout().Size()) - 1, 0)));
  const int digits = std::max(8, static_cast<int>(QString::number(FSearch.FollowsProgram() ? last : std::max<int64_t>(limit - 1, 0), 16).size()));
  const int offset = WidestWidth(metrics, QString(digits, QLatin1Char('F')), {QLatin1StringView("0123456789ABCDEF")});
  const int value = WidestWidth(metrics, QString::fromStdString(WidestValueText(FSearch.Format().Type)),
                                {QLatin1StringView("0123456789"), QLatin1StringView("+-")});
  const int margins = 2 * metrics.averageCharWidth();  // the cell's margins and its grid line
  for (int column = 0; column < FModel->columnCount(); ++column)
    header->resizeSection(column, std::max(header->sectionSizeHint(column), (column == 0 ? offset : value) + margins));
}

void TSnapshotForm::FillDocumentBox() {
  const QString current = DocumentBox->currentText();
  DocumentBox->clear();
  for (int k = 0; FDocuments && k < FDocuments->DocumentCount(); ++k)
    DocumentBox->addItem(QString::fromStdString(FDocuments->DocumentCaption(k)), k);
  const int keep = DocumentBox->findText(current);
  if (keep >= 0) DocumentBox->setCurrentIndex(keep);
}

bool TSnapshotForm::StepNow() const { return MemoryNowBox->isEnabled() && MemoryNowBox->isChecked(); }

TValueFormat TSnapshotForm::ChosenFormat() const {
  return {static_cast<TValueType>(TypeBox->currentIndex()), static_cast<TByteOrder>(OrderBox->currentIndex()),
          AlignBox->currentIndex() == 1};
}

void TSnapshotForm::Render() {
  if (FDocuments) FSearch.ForgetClosedDocuments(*FDocuments);
  SnapshotList->clear();
  for (int k = 0; k < FSearch.SnapshotCount(); ++k)
    SnapshotList->addItem(QStringLiteral("%1: %2%3")
                              .arg(k + 1)
                              .arg(QString::fromStdString(FSearch.SnapshotCaption(k)))
                              .arg(FSearch.SnapshotClosed(k) ? QStringLiteral(" (closed)") : QString()));
  const int steps = FSearch.StepCount();
  FProgramEnded = FSearch.FollowsProgram() && !FSearch.ProgramRunning();
  MemoryNowBox->setEnabled(FSearch.FollowsProgram() && !FProgramEnded);
  StepLabel->setText(QStringLiteral("&Step %1 → %2:").arg(steps + 1).arg(steps + 2));
  const int64_t count = FSearch.Candidates().Count();
  CountLabel->setText(FSearch.SnapshotCount() == 0
                          ? QStringLiteral("Add at least two snapshots.")
                          : QStringLiteral("%L1 candidate%2 after %3 step%4%5.")
                                .arg(count)
                                .arg(count == 1 ? QString() : QStringLiteral("s"))
                                .arg(steps)
                                .arg(steps == 1 ? QString() : QStringLiteral("s"))
                                .arg(count > TCandidateModel::kListedRows
                                         ? QStringLiteral("; the list shows the first %L1").arg(TCandidateModel::kListedRows)
                                         : QString()));
  // Why the next step cannot run yet (a snapshot to add, one closed).
  const std::string refusal = StepNow() ? FSearch.CheckStepNow() : FSearch.CheckNextStep();
  if (FProgramEnded)
    CountLabel->setText(CountLabel->text() + QStringLiteral(" ") + QString::fromStdString(FSearch.ProgramCaption()) +
                        QStringLiteral(" has ended; the snapshots taken stay usable."));
  if (FSearch.SnapshotCount() > 0 && !refusal.empty())
    CountLabel->setText(CountLabel->text() + QStringLiteral(" ") + QString::fromStdString(refusal) + QStringLiteral("."));
  RunStepButton->setEnabled(refusal.empty());
  if (!FNotice.isEmpty()) CountLabel->setText(CountLabel->text() + QLatin1Char('\n') + FNotice);
  // The value's format holds for the whole search; New search frees it.
  for (QComboBox* box : {TypeBox, OrderBox, AlignBox}) box->setEnabled(steps == 0);
  UndoStepButton->setEnabled(steps > 0);
  BookmarkButton->setEnabled(steps > 0 && count > 0);
  FieldButton->setEnabled(count > 0);
  FModel->Reload(FRunning);  // no rows while a step changes them (the frame may show the window meanwhile)
  LiveTick();
}

void TSnapshotForm::ConditionChange() {
  const auto condition = static_cast<TStepCondition>(ConditionBox->currentIndex());
  static const char* const kFirst[] = {"", "", "", "", "N:", "N:", "V:", "A:", "min:"};
  FirstLabel->setText(QLatin1String(kFirst[static_cast<int>(condition)]));
  SecondLabel->setText(condition == TStepCondition::scWithin ? QStringLiteral("max:")
                                                             : condition == TStepCondition::scChangedFromTo
                                                                   ? QStringLiteral("B:")
                                                                   : QString());
  FirstEdit->setEnabled(ConditionArgumentCount(condition) >= 1);
  SecondEdit->setEnabled(ConditionArgumentCount(condition) >= 2);
}

void TSnapshotForm::AddDocumentClick() {
  FillDocumentBox();
  const int index = DocumentBox->currentData().isValid() ? DocumentBox->currentData().toInt() : -1;
  if (!FDocuments || index < 0 || index >= FDocuments->DocumentCount()) {
    Dialogs().MessageDlg(this, QStringLiteral("Open the document first, then choose it in the list."),
                         TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  if (FDocuments->DocumentEditor(index).IsLive()) return TakeSnapshotOf(&FDocuments->DocumentEditor(index));
  FSearch.AddDocument(FDocuments->DocumentEditor(index), FDocuments->DocumentCaption(index));
  Render();
}

void TSnapshotForm::AddFileClick() {
  if (!FFileDialog.Execute(this)) return;
  const std::string refused = FSearch.AddFiles(FFileDialog.Paths());
  if (!refused.empty())
    Dialogs().MessageDlg(this, QString::fromLocal8Bit(refused.c_str()), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
  Render();
}

void TSnapshotForm::NewSearchClick() {
  FNotice.clear();
  FSearch.Restart(ChosenFormat());
  Render();
}

void TSnapshotForm::RunStepClick() {
  if (FRunning) return;
  if (FDocuments) FSearch.ForgetClosedDocuments(*FDocuments);
  const bool now = StepNow();
  const std::string refusal = now ? FSearch.CheckStepNow() : FSearch.CheckNextStep();
  const TStepInput input = MakeStep(static_cast<TStepCondition>(ConditionBox->currentIndex()), FSearch.Format().Type,
                                    FirstEdit->text().toStdString(), SecondEdit->text().toStdString());
  if (!refusal.empty() || !input.Step) {
    Dialogs().MessageDlg(this, QString::fromStdString(refusal.empty() ? input.Error : refusal), TMsgDlgType::mtWarning,
                         TMsgDlgButtons::mbOK);
    return;
  }
  FNotice.clear();
  {
    TBusy busy(*this);
    TLongWork work(this, now ? QStringLiteral("Taking a snapshot and narrowing the candidates...")
                             : QStringLiteral("Narrowing the candidates..."), true);
    if (!(now ? FSearch.RunStepNow(*input.Step, work.Progress()) : FSearch.RunStep(*input.Step, work.Progress()))) return;
  }
  // Nothing left: say what usually causes it and offer the way back.
  if (FSearch.Candidates().Count() > 0) return;
  if (Dialogs().MessageDlg(this, QString::fromStdString(NoCandidateText(FSearch.Format())),
                           TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) == TModalResult::mrYes)
    UndoStepClick();
}

void TSnapshotForm::RemoveSnapshotClick() {
  const int row = SnapshotList->currentRow();
  if (FRunning || row < 0) return;
  FNotice.clear();
  if (FSearch.RemoveSnapshot(row))
    Dialogs().MessageDlg(this, QStringLiteral("The search starts over: the removed snapshot was part of its steps."),
                         TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
  Render();
}

void TSnapshotForm::UndoStepClick() {
  if (FRunning) return;
  if (FDocuments) FSearch.ForgetClosedDocuments(*FDocuments);
  FNotice.clear();
  TBusy busy(*this);
  TLongWork work(this, QStringLiteral("Taking the step back..."), false);
  FSearch.UndoStep();
}

void TSnapshotForm::AddBookmarksClick() {
  if (!FBookmarks || !FDocuments) return;
  std::vector<int64_t> offsets;
  for (const QModelIndex& row : CandidateView->selectionModel()->selectedRows())
    offsets.push_back(FSearch.Candidates().At(row.row()));
  if (offsets.empty() && FSearch.Candidates().Count() <= TBookmarkTable::kBookmarks)
    for (int64_t k = 0; k < FSearch.Candidates().Count(); ++k) offsets.push_back(FSearch.Candidates().At(k));
  if (offsets.empty()) {
    Dialogs().MessageDlg(this, QStringLiteral("Choose the candidates to add in the list first."),
                         TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    return;
  }
  std::sort(offsets.begin(), offsets.end());
  // In a search of a program the bookmarks are positions in its window.
  const TSnapshotSearch::TPlaces places = FSearch.PlacesOf(*FDocuments, offsets);
  if (FSearch.FollowsProgram() && !places.Error.empty()) {
    Dialogs().MessageDlg(this, QString::fromStdString(places.Error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  Dialogs().MessageDlg(this, QString::fromStdString(AddToBookmarks(*FBookmarks, FSearch.FollowsProgram() ? places.Positions : offsets)),
                       TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
}

void TSnapshotForm::AddFieldClick() {
  if (!FDocuments) return;
  const QModelIndexList rows = CandidateView->selectionModel()->selectedRows();
  const int64_t row = rows.isEmpty() ? 0 : rows.first().row();
  if ((rows.isEmpty() && FSearch.Candidates().Count() != 1) || row >= FSearch.Candidates().Count()) {
    Dialogs().MessageDlg(this, QStringLiteral("Choose the candidate in the list first."), TMsgDlgType::mtInformation,
                         TMsgDlgButtons::mbOK);
    return;
  }
  const TSnapshotSearch::TPlaces places = FSearch.PlacesOf(*FDocuments, {FSearch.Candidates().At(row)});
  if (!places.Error.empty()) {
    Dialogs().MessageDlg(this, QString::fromStdString(places.Error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  if (OnAddField) OnAddField(places.Window, places.Positions.front(), FSearch.Format());
}

void TSnapshotForm::TakeSnapshotCommand() {
  if (!isVisible()) ShowSearch();
  TakeSnapshotClick();
}

void TSnapshotForm::TakeSnapshotClick() {
  const int active = FDocuments ? FDocuments->ActiveDocument() : -1;
  THexEditor* editor = active >= 0 ? &FDocuments->DocumentEditor(active) : nullptr;
  // A window over a file while the search follows a program: its next snapshot.
  TakeSnapshotOf(editor && (editor->IsLive() || !FSearch.FollowsProgram()) ? editor : nullptr);
}

void TSnapshotForm::TakeSnapshotOf(THexEditor* editor) {
  if (FRunning) return;
  FNotice.clear();
  std::string refusal;
  {
    TBusy busy(*this);
    TLongWork work(this, QStringLiteral("Taking a snapshot..."), true);
    refusal = editor ? FSearch.TakeSnapshot(*editor, work.Progress()) : FSearch.TakeSnapshot(work.Progress());
  }
  if (!refusal.empty())
    Dialogs().MessageDlg(this, QString::fromStdString(refusal), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

void TSnapshotForm::CandidateDoubleClick(int row) {
  if (!FDocuments || row < 0 || row >= FSearch.Candidates().Count()) return;
  FSearch.ForgetClosedDocuments(*FDocuments);
  FSearch.SeekSnapshots(*FDocuments, FSearch.Candidates().At(row));
}

}  // namespace byteloom
