// SPDX-License-Identifier: GPL-3.0-or-later
// TSnapshotForm: the tool window of the snapshot search (Tools > "Find a
// value across snapshots..."). The user adds open documents or files as
// snapshots, chooses the value's type, byte order and alignment, and runs
// one step per pair of snapshots; the candidates are listed with their value
// in every snapshot. The window belongs to the frame and only hides when
// closed, so the search lives until the program ends; a closed window puts
// its candidates aside and holds no memory for them.
//
// A search may follow a running program instead: "Take snapshot" (F8, also
// on the frame's toolbar and Tools menu) copies the memory of the program
// the active window shows; the candidates are listed by address with their
// value in the program now (read four times a second, only the rows on
// screen), and a step may compare the last snapshot with the memory now.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include "compare/snapshots.h"
#include "ui/dialogservice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTableView;
class QTimer;

namespace byteloom {

class TBookmarkTable;
class TDocumentList;
class THexEditor;

// The first kListedRows candidates as rows (offset, then the value in every
// snapshot; in a search of a running program the address first and the value
// now last); rows are made when the view asks for them. The view keeps data
// for every row, so a billion candidates are never rows.
class TCandidateModel final : public QAbstractTableModel {
 public:
  static constexpr int kListedRows = 10000;
  TCandidateModel(TSnapshotSearch& search, QObject* parent) : QAbstractTableModel(parent), FSearch(search) {}
  void SetDocuments(const TDocumentList* documents) { FDocuments = documents; }
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // While a step changes the candidates the list shows no rows (the view
  // may repaint during the step's progress).
  void Reload(bool frozen = false) {
    beginResetModel();
    FFrozen = frozen;
    FNow.clear();
    endResetModel();
  }
  // The "Now" column: reads the values of rows [first, last] in the
  // program now; the other rows show nothing until they are read.
  void RefreshNow(int first, int last);

 private:
  std::vector<QString> FNow;  // the values now of the rows from FNowFirst on
  int FNowFirst = 0;
  bool FFrozen = false;
  TSnapshotSearch& FSearch;
  const TDocumentList* FDocuments = nullptr;
};

class TSnapshotForm : public QWidget {
 public:
  explicit TSnapshotForm(QWidget* parent = nullptr);

  void SetDocuments(TDocumentList* documents);
  // The table "Add to bookmarks" fills.
  void SetBookmarks(TBookmarkTable* bookmarks) { FBookmarks = bookmarks; }
  // Tools > "Find a value across snapshots...": shows the window in front.
  void ShowSearch();
  TSnapshotSearch& Search() { return FSearch; }
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  // The frame's "Take snapshot": brings the window up and takes it.
  void TakeSnapshotCommand();
  // A version of a watched file as the next snapshot (while a step runs,
  // once it has ended). When the next step can then run, the window offers
  // it: the count says so and, while the window is shown, "Run step" takes
  // the keyboard (unless a value is being typed); nothing pops up.
  void AddVersion(std::unique_ptr<TByteSource> source, const std::string& caption, uint64_t shownIn);
  // A line under the count until the next step (a watch's news); show
  // brings the window up.
  void ShowNotice(const std::string& text, bool show);
  QString Notice() const { return FNotice; }

  // --- Handlers ------------------------------------------------------------------
  void AddDocumentClick();
  void AddFileClick();
  // A snapshot of the program the active window shows (or of the one the
  // search follows, when the active window shows no program).
  void TakeSnapshotClick();
  // Four times a second while shown: the values now of the rows on screen.
  void LiveTick();
  void RemoveSnapshotClick();
  void RunStepClick();
  void UndoStepClick();
  void NewSearchClick();
  void AddBookmarksClick();
  void AddFieldClick();
  // "Add as field": the chosen candidate as a field of document `window`
  // (the program's window in a search of a running program, else the
  // active one) at its position there.
  std::function<void(int window, int64_t pos, const TValueFormat& format)> OnAddField;
  void CandidateDoubleClick(int row);
  void ConditionChange();

  // --- Components ----------------------------------------------------------------
  QListWidget* SnapshotList = nullptr;
  QComboBox *DocumentBox = nullptr, *TypeBox = nullptr, *OrderBox = nullptr, *AlignBox = nullptr,
            *ConditionBox = nullptr;
  QLineEdit *FirstEdit = nullptr, *SecondEdit = nullptr;
  QLabel *StepLabel = nullptr, *FirstLabel = nullptr, *SecondLabel = nullptr, *CountLabel = nullptr;
  QPushButton* RemoveSnapshotButton = nullptr;
  QPushButton* TakeSnapshotButton = nullptr;
  QCheckBox* MemoryNowBox = nullptr;  // "Compare with the memory now"
  QPushButton *AddDocumentButton = nullptr, *AddFileButton = nullptr, *RunStepButton = nullptr,
              *UndoStepButton = nullptr, *NewSearchButton = nullptr, *BookmarkButton = nullptr,
              *FieldButton = nullptr;
  QTableView* CandidateView = nullptr;

 private:
  struct TBusy;
  // Brings lists, labels and enabled states in line with the search.
  void Render();
  void FillDocumentBox();
  // Every column as wide as its widest value.
  void FitColumns();
  TValueFormat ChosenFormat() const;
  // A snapshot of the program editor shows (nullptr: of the one followed).
  void TakeSnapshotOf(THexEditor* editor);
  // Whether the next step compares with the memory now.
  bool StepNow() const;

  TSnapshotSearch FSearch;
  TCandidateModel* FModel = nullptr;
  TDocumentList* FDocuments = nullptr;
  TBookmarkTable* FBookmarks = nullptr;
  TFileDialog FFileDialog{QStringLiteral("SnapshotFileDialog"), TFileDialog::TKind::fdOpen,
                          QStringLiteral("All Files (*.*)|*.*")};
  bool FRunning = false;
  // Versions that came while a step ran.
  struct TWaitingVersion {
    std::unique_ptr<TByteSource> Source;
    std::string Caption;
    uint64_t ShownIn = 0;
  };
  std::vector<TWaitingVersion> FWaiting;
  QString FNotice;
  QTimer* FLiveTimer = nullptr;
  bool FProgramEnded = false;  // the program followed was seen ended
};

}  // namespace byteloom
