// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/ui/rangeedits.h"

#include <QLabel>
#include <QLineEdit>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "ui/dialogservice.h"
#include "ui/qtext.h"

namespace byteloom {

TRangeEdits::TRangeEdits(QLineEdit* from, QLineEdit* to, QLabel* sizeLine) : FFrom(from), FTo(to), FSizeLine(sizeLine) {
  FFrom->setText(QStringLiteral("0"));
  FTo->setText(QStringLiteral("0"));
  for (QLineEdit* field : {from, to}) {
    QObject::connect(field, &QLineEdit::editingFinished, field, [this] { Guarded([this] { Repair(); }); });
    if (FSizeLine) QObject::connect(field, &QLineEdit::textChanged, field, [this] { ShowSize(); });
  }
}

THexEditor* TRangeEdits::ActiveEditor() const {
  if (!FDocuments || FDocuments->ActiveDocument() < 0) return nullptr;
  return &FDocuments->DocumentEditor(FDocuments->ActiveDocument());
}

TRangeFields TRangeEdits::Fields() const { return {AnsiText(FFrom->text()), AnsiText(FTo->text())}; }

void TRangeEdits::SetFields(const TRangeFields& fields) {
  FFrom->setText(FromAnsi(fields.From));
  FTo->setText(FromAnsi(fields.To));
  ShowSize();
}

void TRangeEdits::ShowSelection() {
  if (THexEditor* ed = ActiveEditor()) SetFields(InitialRange(ed->SelStart(), ed->SelEnd(), ed->DataSize()));
}

void TRangeEdits::ShowAll() {
  if (THexEditor* ed = ActiveEditor()) SetFields(InitialRange(0, 0, ed->DataSize()));
}

void TRangeEdits::Repair() {
  THexEditor* ed = ActiveEditor();
  if (!ed) return;
  TRangeFields fields = Fields();
  RepairRange(fields, ed->DataSize());
  SetFields(fields);
}

void TRangeEdits::ShowSize() {
  if (!FSizeLine) return;
  THexEditor* ed = ActiveEditor();
  const TRangeSize size = RangeSize(Fields(), ed ? ed->DataSize() : 0);
  FSizeLine->setText(FromAnsi(size.Text));
  FSizeLine->setStyleSheet(size.Valid ? QString() : QStringLiteral("color: #c00000"));
}

}  // namespace byteloom
