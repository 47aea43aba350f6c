// SPDX-License-Identifier: GPL-3.0-or-later
// THexExport ("HexExport"): writes a range of the active document to a text
// file as a hex dump (output/dumpformat.h), to a file chosen with the frame's
// save dialog.
#pragma once

#include <QDialog>

#include "output/dumpformat.h"
#include "output/ui/rangeedits.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace byteloom {

class TDocumentList;
class TFileDialog;

class THexExport : public QDialog {
 public:
  explicit THexExport(QWidget* parent = nullptr);

  // The open documents (the active one is exported) and the save dialog.
  void SetFrame(TDocumentList* documents, TFileDialog* saveDialog) {
    FRange->SetDocuments(documents);
    FSaveDialog = saveDialog;
  }

  void FormShow();
  void Button1Click();      // "Export All"
  void RadioButtonClick();  // any of the three: the line-end boxes follow
  void BitBtn1Click();      // OK: build and save the export

  // The style the boxes choose.
  TDumpStyle Style() const;

  QLabel *Label1, *Label2, *Label3;
  QLabel* RangeSize;  // the size of the range in the fields, or why it is none
  QLineEdit *Edit1, *Edit2;
  QPushButton* Button1 = nullptr;
  QCheckBox *CheckBox1, *CheckBox3, *CheckBox4;
  QRadioButton *RadioButton1, *RadioButton2, *RadioButton3;
  QPushButton *BitBtn1, *BitBtn2;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<TRangeEdits> FRange;
  TFileDialog* FSaveDialog = nullptr;
};

}  // namespace byteloom
