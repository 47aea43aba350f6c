// SPDX-License-Identifier: GPL-3.0-or-later
// TDruckerForm ("Print & Preview"): prints a range of the active document as
// a paginated hex dump, with a preview of the first page and a page count.
// The pages are laid out by the core (output/dumpformat.h); this form picks
// the range and the printer and reports the outcome.
#pragma once

#include <QDialog>

#include <memory>

#include "output/dumpformat.h"
#include "output/ui/rangeedits.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;

namespace byteloom {

class TDocumentList;
class TFileDialog;

class TDruckerForm : public QDialog {
 public:
  explicit TDruckerForm(QWidget* parent = nullptr);
  ~TDruckerForm() override;

  // The open documents; the active one is printed.
  void SetDocuments(TDocumentList* documents) {
    FDocuments = documents;
    FRange->SetDocuments(documents);
  }
  QPrinter& Printer() { return *FPrinter; }
  // The dialog that chooses a PDF file when there is no printer.
  TFileDialog& PdfDialog() { return *FPdfDialog; }

  void FormShow();
  void Button1Click();               // "Printer Setup"
  void HochformatClick();            // "Count Pages"
  void ButtonPrintPortraitClick();   // "Print"
  void Button2Click();               // "Cancel"
  void Button3Click();               // "Print all"
  void RadioButton1Click();          // "Portrait"
  void RadioButton2Click();          // "Landscape"
  void FitPreview();

  QFrame* Panel1 = nullptr;
  QLabel* Image1 = nullptr;
  QPushButton *Button1, *Hochformat, *ButtonPrintPortrait, *Button2, *Button3;
  QGroupBox *GroupBox1, *GroupBox2;
  QRadioButton *RadioButton1, *RadioButton2;
  QLabel *Label2, *Label3;
  QLineEdit *Edit1, *Edit2;
  QLabel* Panel2 = nullptr;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  THexEditor* ActiveEditor() const { return FRange->ActiveEditor(); }
  TPageJob Job() const;
  void SetStatus(const QString& text);
  // Draws the first page on the preview image.
  void DrawPreview();
  // A printer to print on: with none installed, a PDF file the user chooses.
  enum class TOutput { oNone, oPrinter, oChosenFile };
  TOutput ChooseOutput();

  TDocumentList* FDocuments = nullptr;
  std::unique_ptr<QPrinter> FPrinter;
  std::unique_ptr<TFileDialog> FPdfDialog;
  std::unique_ptr<TRangeEdits> FRange;
};

}  // namespace byteloom
