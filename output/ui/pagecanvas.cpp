// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/ui/pagecanvas.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPrinter>

#include <algorithm>
#include <string_view>

#include "platform/guard.h"
#include "ui/qtext.h"

namespace byteloom {

namespace {

QColor ToQColor(TColor c) {
  if (c == clWindowText) return QApplication::palette().color(QPalette::WindowText);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

}  // namespace

TQtPageCanvas::TQtPageCanvas(QPainter* painter, QPaintDevice* device, std::function<bool()> newPage)
    : FPainter(painter), FDevice(device), FNewPage(std::move(newPage)) {}

void TQtPageCanvas::SetFont(const TPageFont& font) {
  // The height asked for is the cell height (ascent + descent): the pixel
  // size is scaled so that the font's own height comes out at it.
  QFont f(QString::fromStdString(font.Name));
  f.setStyleHint(font.Name == "Courier New" ? QFont::TypeWriter : QFont::AnyStyle);
  f.setBold(font.Bold);
  f.setItalic(font.Italic);
  const int cell = std::max(font.Height, 1);
  f.setPixelSize(cell);
  const int natural = QFontMetrics(f, FDevice).height();
  if (natural > 0 && natural != cell) f.setPixelSize(std::max(1, cell * cell / natural));
  FFont = f;
  FMetrics.emplace(FFont, FDevice);
  if (FPainter) {
    FPainter->setFont(FFont);
    FPainter->setPen(ToQColor(font.Color));
  }
}

int TQtPageCanvas::TextWidth(const std::string& text) { return FMetrics ? FMetrics->horizontalAdvance(FromAnsi(text)) : 0; }

int TQtPageCanvas::MaxCharWidth() { return FMetrics ? FMetrics->maxWidth() : 0; }

int TQtPageCanvas::TextHeight(const std::string&) { return FMetrics ? FMetrics->height() : 0; }

void TQtPageCanvas::TextOut(int x, int y, const std::string& text) {
  if (FPainter && FMetrics) FPainter->drawText(x, y + FMetrics->ascent(), FromAnsi(text));
}

void TQtPageCanvas::ClearPage(const TRect& page) {
  if (!FPainter) return;
  FPainter->save();
  FPainter->setPen(QPen(Qt::white, 4));
  FPainter->setBrush(Qt::white);
  FPainter->drawRect(page.Left, page.Top, page.Width(), page.Height());
  FPainter->restore();
}

bool TQtPageCanvas::NewPage() { return FNewPage ? FNewPage() : true; }

TPrintFile::TPrintFile(std::unique_ptr<QPrinter>& printer) : FPrinter(printer), FChosen(printer->outputFileName()) {
  if (FChosen.isEmpty()) return;
  if (FPrinter->outputFormat() == QPrinter::PdfFormat) FChosen = FromFileName(PdfFileName(ToFileName(FChosen)));
  FFile.emplace(ToFileName(FChosen));
  FPrinter->setOutputFileName(FromFileName(FFile->FreshName()));
}

TPrintFile::~TPrintFile() {
  if (!FFile) return;
  FPrinter->setOutputFileName(FChosen);
  if (!FFailed) return;
  auto fresh = std::make_unique<QPrinter>(QPrinter::HighResolution);
  fresh->setOutputFormat(FPrinter->outputFormat());
  fresh->setOutputFileName(FChosen);
  fresh->setPageLayout(FPrinter->pageLayout());
  fresh->setResolution(FPrinter->resolution());
  fresh->setDocName(FPrinter->docName());
  FPrinter = std::move(fresh);
}

std::string TPrintFile::Commit() {
  if (!FFile) return {};
  // The PDF writer reports no write error: a complete file ends with %%EOF.
  char tail[16] = {};
  const int64_t size = FFile->Handle().Size();
  const int64_t n = FFile->Handle().ReadAt(tail, std::min<int64_t>(size, 15), std::max<int64_t>(size - 15, 0));
  FFailed = std::string_view(tail, static_cast<size_t>(n)).find("%%EOF") == std::string_view::npos;
  if (FFailed)
    throw EFileError("The print to " + ToFileName(FChosen) + " failed: the file could not be written completely");
  const std::string warning = FFile->Commit(FFile->ReplacesFile());
  return warning.empty() ? warning : NotYetSafeText("The print to " + ToFileName(FChosen) + " was written", warning);
}

}  // namespace byteloom
