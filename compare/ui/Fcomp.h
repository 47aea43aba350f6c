// SPDX-License-Identifier: GPL-3.0-or-later
// TFcompare: the file comparison dialog. It lets the user choose two open
// documents, their start offsets and one of eight modes, and runs the
// compare engine: a search moves every window's caret to the first match,
// a compare-o-meter run draws where the documents differ.
#pragma once

#include <QDialog>

#include <array>
#include <functional>

#include "compare/compareengine.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace byteloom {

class TCompareometer;
class TDocumentList;

class TFcompare : public QDialog {
 public:
  explicit TFcompare(QWidget* parent = nullptr);

  // The frame (its Compare again item and button), its open documents and
  // the meter window the dialog draws into.
  // compared runs after each compare that ran (the frame enables Compare Again).
  void Connect(std::function<void()> compared, TDocumentList& documents, TCompareometer& meter);
  // Tools > Compare...: shows the dialog modally.
  void ShowCompare();
  // Compare again: runs the last search from one byte after the caret,
  // without showing the dialog.
  void CompareAgain();

  // --- Handlers ------------------------------------------------------------------
  void PrepareCompare();
  void Button1Click();
  void BitBtn1Click();
  void BitBtn4Click();
  // "Side by side": the chosen documents locked, shifted as their start offsets are.
  void BitBtn5Click();
  std::function<void(int index1, int index2, int64_t shift)> OnSideBySide;

  TCompareEngine& Engine() { return FEngine; }
  // The mode of the checked radio button.
  TCompareMode SelectedMode() const;

  // --- Components ----------------------------------------------------------------
  QComboBox *ComboBox1 = nullptr, *ComboBox2 = nullptr;
  QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr;
  QPushButton* Button1 = nullptr;
  QWidget* Panel1 = nullptr;
  // RadioButton1 ... RadioButton8 (RadioButtons[k - 1] is RadioButtonk).
  std::array<QRadioButton*, 8> RadioButtons{};
  QPushButton *BitBtn1 = nullptr, *BitBtn2 = nullptr, *BitBtn4 = nullptr, *BitBtn5 = nullptr;
  QLabel* Panel2 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // One run of the engine with the dialog's fields; false when the run was
  // refused before comparing.
  TCompareOutcome RunCompare(bool meter);
  QWidget* MessageOwner();

  TCompareEngine FEngine;
  std::function<void()> FCompared;
  TDocumentList* FDocuments = nullptr;
  TCompareometer* FMeter = nullptr;
  bool FRunning = false;
};

}  // namespace byteloom
