// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/ui/Drucker.h"

#include <QApplication>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScopeGuard>

#include <ctime>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "output/ui/pagecanvas.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

namespace {

// The preview area: the panel is sized to the page's proportions inside it.
constexpr int kPreviewWidth = 285;
constexpr int kPreviewHeight = 280;

template <typename B, typename F>
void OnButton(B* button, F handler) {
  QObject::connect(button, &B::clicked, button, [handler] { Guarded(handler); });
}

}  // namespace

TDruckerForm::TDruckerForm(QWidget* parent)
    : QDialog(parent),
      FPrinter(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      FPdfDialog(std::make_unique<TFileDialog>(QStringLiteral("PdfDialog"), TFileDialog::TKind::fdSave,
                                               QStringLiteral("PDF Files (*.pdf)|*.pdf"))) {
  setObjectName(QStringLiteral("DruckerForm"));
  setWindowTitle(QStringLiteral("Print & Preview"));
  setFixedSize(301, 459);
  FPrinter->setResolution(600);
  FPrinter->setDocName(QStringLiteral("Orvanta ..."));

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameShape(QFrame::Box);
  Panel1->setStyleSheet(QStringLiteral("QFrame#Panel1 { background: white; }"));
  Panel1->setGeometry(8, 8, 200, 280);
  Image1 = new QLabel(Panel1);
  Image1->setObjectName(QStringLiteral("Image1"));

  GroupBox1 = GroupBox(this, "GroupBox1", QStringLiteral("Print Orientation"), 8, 294, 120, 90);
  RadioButton1 = RadioButton(GroupBox1, "RadioButton1", QStringLiteral("Portrait"), 10, 24, 100, 22);
  RadioButton2 = RadioButton(GroupBox1, "RadioButton2", QStringLiteral("Landscape"), 10, 52, 100, 22);
  RadioButton1->setChecked(true);
  GroupBox2 = GroupBox(this, "GroupBox2", QStringLiteral("Range"), 134, 294, 159, 90);
  // The range fields as wide as their widest value; the group (and the
  // dialog) grow where they need more room than the design gives.
  Label2 = Label(GroupBox2, "Label2", QStringLiteral("From:"), 8, 22, 36, 20);
  Label3 = Label(GroupBox2, "Label3", QStringLiteral("to:"), 8, 45, 36, 20);
  const int fieldsLeft = FieldsLeft({Label2, Label3}, 46, 2);
  Edit1 = Edit(GroupBox2, "Edit1", fieldsLeft, 20, 104, 21);
  Edit2 = Edit(GroupBox2, "Edit2", fieldsLeft, 43, 104, 21);
  for (QLineEdit* field : {Edit1, Edit2}) FitWidth(field, kWidestRangeField);
  Button3 = Button(GroupBox2, "Button3", QStringLiteral("Print all"), fieldsLeft, 66, Edit1->width(), 20);
  GrowToChildren(GroupBox2, 9);
  FRange = std::make_unique<TRangeEdits>(Edit1, Edit2);

  Button1 = Button(this, "Button1", QStringLiteral("Printer Setup"), 8, 392, 86, 28);
  Hochformat = Button(this, "Hochformat", QStringLiteral("Count Pages"), 97, 392, 82, 28);
  ButtonPrintPortrait = Button(this, "ButtonPrintPortrait", QStringLiteral("Print"), 182, 392, 54, 28);
  QFont bigger = ButtonPrintPortrait->font();
  bigger.setBold(true);
  ButtonPrintPortrait->setFont(bigger);
  Button2 = Button(this, "Button2", QStringLiteral("Cancel"), 239, 392, 54, 28);
  Panel2 = Label(this, "Panel2", QString(), 8, 428, 285, 22);
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Sunken);

  // Enter in a range field only ends the entry (the field is repaired).
  for (QPushButton* button : {Button1, Hochformat, ButtonPrintPortrait, Button2, Button3}) button->setAutoDefault(false);
  OnButton(Button1, [this] { Button1Click(); });
  OnButton(Hochformat, [this] { HochformatClick(); });
  OnButton(ButtonPrintPortrait, [this] { ButtonPrintPortraitClick(); });
  OnButton(Button2, [this] { Button2Click(); });
  OnButton(Button3, [this] { Button3Click(); });
  OnButton(RadioButton1, [this] { RadioButton1Click(); });
  OnButton(RadioButton2, [this] { RadioButton2Click(); });
  FitPreview();
  GrowToChildren(this);
}

TDruckerForm::~TDruckerForm() = default;

void TDruckerForm::showEvent(QShowEvent* event) {
  Guarded([this] { FormShow(); });
  QDialog::showEvent(event);
}

void TDruckerForm::SetStatus(const QString& text) { Panel2->setText(text); }

TPageJob TDruckerForm::Job() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string caption = FDocuments->DocumentCaption(FDocuments->ActiveDocument());
  return TPageJob{AnsiText(QString::fromStdString(caption)), kFooterAddress + FooterDate(local), DumpRange(FRange->Fields())};
}

void TDruckerForm::DrawPreview() {
  THexEditor* ed = ActiveEditor();
  if (!ed) return;
  QImage image(Image1->size(), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing);
  TQtPageCanvas canvas(&painter, &image);
  TDumpReader reader(*ed);
  DrawDumpPages(canvas, image.width(), image.height(), Job(), reader, TPageMode::pmFirstPage);
  painter.end();
  Image1->setPixmap(QPixmap::fromImage(image));
}

void TDruckerForm::FormShow() {
  if (!ActiveEditor()) return;
  FRange->ShowSelection();
  DrawPreview();
  SetStatus(QStringLiteral("Current Page:1"));
}

void TDruckerForm::Button1Click() {
  QPrintDialog dialog(FPrinter.get(), this);
  dialog.setObjectName(QStringLiteral("PrintDialog1"));
  Dialogs().ShowModal(dialog);
  const bool landscape = FPrinter->pageLayout().orientation() == QPageLayout::Landscape;
  (landscape ? RadioButton2 : RadioButton1)->setChecked(true);
  FitPreview();
}

TDruckerForm::TOutput TDruckerForm::ChooseOutput() {
  const bool pdf = FPrinter->outputFormat() == QPrinter::PdfFormat;
  if (pdf ? !FPrinter->outputFileName().isEmpty() : !FPrinter->printerName().isEmpty()) return TOutput::oPrinter;
  // No printer installed: the pages go to a PDF file of the user's choice.
  if (!FPdfDialog->Execute(this)) return TOutput::oNone;
  FPrinter->setOutputFormat(QPrinter::PdfFormat);
  FPrinter->setOutputFileName(FPdfDialog->FileName());
  return TOutput::oChosenFile;
}

void TDruckerForm::ButtonPrintPortraitClick() {
  THexEditor* ed = ActiveEditor();
  if (!ed) return;
  const TPageJob job = Job();
  const TSizeCheck size = CheckPrintSize(job.Range, PageGeometry(FPrinter->width(), FPrinter->height()).LinesPerPage());
  if (!AcceptLargeWork(this, size.Refused, size.Text)) return;
  const TOutput output = ChooseOutput();
  if (output == TOutput::oNone) return;
  // A file chosen for want of a printer is asked for again next time.
  const auto forget = qScopeGuard([this, output] {
    if (output == TOutput::oChosenFile) FPrinter->setOutputFileName(QString());
  });
  SetStatus(QStringLiteral("Please wait, working..."));
  QApplication::processEvents();
  FPrinter->setDocName(QStringLiteral("Orvanta ..."));
  TPrintFile file(FPrinter);
  const QString chosen = file.Chosen();
  QPainter painter;
  if (!painter.begin(FPrinter.get())) {
    SetStatus(QString());
    throw EFileError("The printer could not be started" + (chosen.isEmpty() ? std::string() : ": " + ToFileName(chosen)));
  }
  TQtPageCanvas canvas(&painter, FPrinter.get(), [this] { return FPrinter->newPage(); });
  TDumpReader reader(*ed);
  TLongWork work(this, QStringLiteral("Printing..."), true);
  const int pages = DrawDumpPages(canvas, FPrinter->width(), FPrinter->height(), job, reader, TPageMode::pmPrint,
                                  work.Progress());
  if (work.Cancelled()) {
    FPrinter->abort();
    painter.end();
    SetStatus(QStringLiteral("Printing cancelled"));
    return;
  }
  painter.end();
  const std::string warning = file.Commit();
  SetStatus(QStringLiteral("Printed Pages:%1").arg(pages));
  Dialogs().ShowMessage(this, QStringLiteral("All Informations sended to your Printer"));
  ShowWarning(this, warning);
  accept();
}

void TDruckerForm::HochformatClick() {
  THexEditor* ed = ActiveEditor();
  if (!ed) return;
  const TPageJob job = Job();
  SetStatus(QStringLiteral("Please wait, working..."));
  QApplication::processEvents();
  // Counted with the printer's page and fonts, so the count is what "Print"
  // produces; the preview shows the first page in the current orientation.
  DrawPreview();
  TQtPageCanvas measure(nullptr, FPrinter.get());
  TDumpReader reader(*ed);
  TLongWork work(this, QStringLiteral("Counting pages..."), true);
  const int pages = DrawDumpPages(measure, FPrinter->width(), FPrinter->height(), job, reader, TPageMode::pmCount,
                                  work.Progress());
  SetStatus(work.Cancelled() ? QString() : QStringLiteral("Sum of all Pages:%1").arg(pages));
}

void TDruckerForm::Button2Click() { reject(); }

void TDruckerForm::Button3Click() { FRange->ShowAll(); }

void TDruckerForm::RadioButton1Click() {
  FPrinter->setPageOrientation(QPageLayout::Portrait);
  FitPreview();
}

void TDruckerForm::RadioButton2Click() {
  FPrinter->setPageOrientation(QPageLayout::Landscape);
  FitPreview();
}

void TDruckerForm::FitPreview() {
  // The page in pixels of 300 dpi, at 8 in 100.
  const QRect page = FPrinter->pageLayout().paintRectPixels(300);
  const int w = std::min(MulDiv(page.width() + 2, 8, 100), kPreviewWidth);
  const int h = std::min(MulDiv(page.height() + 2, 8, 100), kPreviewHeight);
  Panel1->setGeometry(8, 8, w, h);
  Image1->setGeometry(1, 1, w - 2, h - 2);
}

}  // namespace byteloom
