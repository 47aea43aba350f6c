// SPDX-License-Identifier: GPL-3.0-or-later
// The fields window of an editor window (Tools > Fields): a table of the
// document's named fields with their values, the checksums with their
// stored and computed value, and the commands that add, change, fix, share
// and apply them. The rules live in editor/fields.h; the window only shows
// them and hands typed text to them. Tools > Checksum of selection shows
// every algorithm over the selection in a dialog of its own.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QWidget>

#include <functional>
#include <vector>

#include "editor/fields.h"
#include "ui/dialogservice.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTimer;

namespace byteloom {

class Teditform;

// The rows: Name, Offset, Type, Range (of a checksum), Value (double-click
// edits it), Computed, Fix on save (a check box of each checksum).
class TFieldTableModel final : public QAbstractTableModel {
 public:
  enum { kName, kOffset, kType, kRange, kValue, kComputed, kFixOnSave, kColumns };
  TFieldTableModel(const std::vector<TField>& fields, QObject* parent) : QAbstractTableModel(parent), FFields(fields) {}
  void SetRows(std::vector<TFieldRow> rows);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : kColumns; }
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  // A value typed into row's Value cell; Fix on save of row switched.
  std::function<void(int row, const QString& text)> OnEditValue;
  std::function<void(int row, bool on)> OnFixOnSave;
  // The Offset column's text of a position; in a running program's memory
  // (Addresses) it shows the address and is headed "Address".
  std::function<std::string(int64_t pos)> PlaceText;
  bool Addresses = false;

 private:
  const std::vector<TField>& FFields;
  std::vector<TFieldRow> FRows;
};

// The definition of one field: name, offset, type or checksum algorithm and
// range. A range ends at its last byte or has a length (typing one clears
// the other); Use selection takes the document's selection as the range.
class TFieldDialog final : public QDialog {
 public:
  explicit TFieldDialog(QWidget* parent);
  // The document the field is for: its size and selection (count 0: none).
  // With addresses, a running program's: the place is an address, the
  // field no checksum.
  void SetDocument(int64_t size, int64_t selFirst, int64_t selCount, bool addresses = false);
  void SetEntry(const TFieldEntry& entry);
  TFieldEntry Entry() const;
  void SelectionClick();
  QLineEdit *NameEdit, *OffsetEdit, *LengthEdit, *FromEdit, *ToEdit, *RangeLengthEdit;
  QComboBox *KindBox, *TypeBox, *OrderBox, *AlgorithmBox;
  QCheckBox* FixOnSaveBox;
  QPushButton* SelectionButton;
  QLabel* RangeLabel;  // the range as typed, or why it is none
  QLabel* PlacesLabel;  // how places are typed

 private:
  void KindChange();
  void RangeChange();
  int64_t FSize = 0, FSelFirst = 0, FSelCount = 0;
};

class TFieldsForm final : public QWidget {
 public:
  explicit TFieldsForm(Teditform& owner);
  // Tools > Fields: shows the window in front with fresh values.
  void ShowFields();
  // Opens the definition of field (a new one) and adds it when confirmed.
  void AddAndEdit(TField field);
  // Reads the values anew (the checksums with progress and Cancel).
  void Refresh();
  // The document changed or the caret moved: a refresh follows soon while shown.
  void DocumentChanged();
  // A new pass over the fields is due (after an edit).
  bool RefreshPending() const;

  // --- Handlers ------------------------------------------------------------------
  void AddClick();
  void AddChecksumClick();
  void EditClick();
  void EditValueClick();
  // Keep at value / Release of the selected field (in a running program).
  void KeepClick();
  void UpdateKeepButton();
  void RemoveClick();
  void FixClick();
  void SaveProfileClick();
  void LoadProfileClick();
  void FillBookmarkMenu();
  void FillApplyMenu();
  // Apply to: this window's fields to target's, kept for its file.
  void ApplyTo(Teditform& target);
  void EditValue(int row, const QString& text);
  void RowDoubleClick(const QModelIndex& index);

  QTableView* FieldView = nullptr;
  QLabel* StatusLabel = nullptr;
  QPushButton *AddButton, *AddChecksumButton, *BookmarkButton, *EditButton, *EditValueButton, *KeepButton, *RemoveButton, *FixButton, *RefreshButton,
      *SaveProfileButton, *LoadProfileButton, *ApplyButton;
  TFieldDialog* FieldDialog = nullptr;

 private:
  // The selected row, or -1.
  int CurrentRow() const;
  // Runs the definition dialog from entry until it describes a field of the
  // document or is cancelled.
  bool EditEntry(TFieldEntry entry, TField& field);
  void Changed();

  Teditform& FOwner;
  TFieldTableModel* FModel = nullptr;
  QTimer* FRefreshTimer = nullptr;
  QTimer* FLiveTimer = nullptr;  // the values of a running program read again
  uint64_t FShownEdits = 0;  // the document's edit count the rows show
  TFileDialog FSaveDialog{QStringLiteral("FieldsSaveDialog"), TFileDialog::TKind::fdSave,
                          QStringLiteral("Field profiles (*.fields)|*.fields|All Files (*.*)|*.*")};
  TFileDialog FOpenDialog{QStringLiteral("FieldsOpenDialog"), TFileDialog::TKind::fdOpen,
                          QStringLiteral("Field profiles (*.fields)|*.fields|All Files (*.*)|*.*")};
};

// Tools > Checksum of selection: every algorithm over a range, each value
// with a copy button. The range can be typed (first byte, then last byte or
// length): Compute hands it to OnCompute.
class TChecksumDialog final : public QDialog {
 public:
  TChecksumDialog(QWidget* parent, const TChecksumRange& range, const std::vector<std::vector<uint8_t>>& values);
  void SetValues(const TChecksumRange& range, const std::vector<std::vector<uint8_t>>& values);
  std::function<void(const std::string& from, const std::string& to, const std::string& length)> OnCompute;
  QLineEdit *FromEdit, *ToEdit, *RangeLengthEdit;
  QPushButton* ComputeButton;
  QLabel* RangeLabel;
  std::vector<QLineEdit*> ValueEdits;
};

}  // namespace byteloom
