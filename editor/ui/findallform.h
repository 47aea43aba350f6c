// SPDX-License-Identifier: GPL-3.0-or-later
// TFindAllForm: Edit > "Find All..." — a tool window of one editor window
// that lists every hit of a text, a hex pattern with "?" nibbles or a typed
// value (control/findall.h) in a table without a cap. The search runs in
// slices between events, with a progress bar and Cancel; Enter or a double
// click moves the caret to a hit; "Add to bookmarks" sends the chosen hits
// (all when none is chosen) to the bookmarks.
#pragma once

#include <QAbstractTableModel>
#include <QWidget>

#include <memory>
#include <optional>

#include "control/findall.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace byteloom {

class TBookmarkTable;

// The hits of a run: offset, the bytes found, and the value where typed.
class TFindAllModel : public QAbstractTableModel {
 public:
  explicit TFindAllModel(THexEditor& editor, QObject* parent = nullptr) : QAbstractTableModel(parent), FEditor(editor) {}
  void Start(std::unique_ptr<TFindAllRun> run, std::optional<TValueFormat> format);
  // One slice of the run; true once complete.
  bool Step(int64_t positions);
  const TFindAllRun* Run() const { return FRun.get(); }
  int64_t HitAt(int row) const { return FRun->Hits().at(static_cast<size_t>(row)); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  THexEditor& FEditor;
  std::unique_ptr<TFindAllRun> FRun;
  std::optional<TValueFormat> FFormat;
  int FShown = 0;  // rows announced to the view
};

class TFindAllForm : public QWidget {
  Q_OBJECT

 public:
  // bookmarks: the table "Add to bookmarks" fills.
  TFindAllForm(THexEditor& editor, TBookmarkTable& bookmarks, QWidget* owner);

  void FindClick();    // "Find"
  void CancelClick();  // "Cancel"
  void AddToBookmarksClick();
  void HitActivated(int row);  // Enter or a double click
  bool Running() const { return FRunning; }
  // The hits found so far.
  TFindAllModel& Model() { return *FModel; }

  QLineEdit* PatternEdit;
  QComboBox* KindBox;   // Text, Text (match case), Hex, u8 ... f64
  QComboBox* OrderBox;  // little or big endian
  QCheckBox *AlignedBox, *SelectionBox;
  QPushButton *FindButton, *CancelButton, *BookmarkButton;
  QProgressBar* Progress;
  QLabel* Status;
  QTableView* Table;

 private:
  void NextSlice();
  void Finish(const QString& status);
  THexEditor& FEditor;
  TBookmarkTable& FBookmarks;
  TFindAllModel* FModel;
  bool FRunning = false;
};

// The pattern the form's fields describe: kind index (0 text, 1 text with
// case, 2 hex, 3.. the value types u8 ... f64 in TValueType order).
TPatternParse FindAllPattern(const std::string& text, int kind, TByteOrder order, bool aligned,
                             TTranslationType translation);

}  // namespace byteloom
