// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/ui/hexexp.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "platform/filenames.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

THexExport::THexExport(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HexExport"));
  setWindowTitle(QStringLiteral("HexExport"));
  setFixedSize(360, 284);

  Label1 = Label(this, "Label1", QStringLiteral("HexExport"), 12, 6, 336, 34);
  QFont title = Label1->font();
  title.setPointSize(18);
  title.setBold(true);
  title.setItalic(true);
  Label1->setFont(title);
  // The range fields as wide as their widest value, at any font and scale.
  Label2 = Label(this, "Label2", QStringLiteral("Export from:"), 12, 50, 80, 21);
  Label3 = Label(this, "Label3", QStringLiteral("to:"), 12, 76, 80, 21);
  const int fieldsLeft = FieldsLeft({Label2, Label3}, 95);
  Edit1 = Edit(this, "Edit1", fieldsLeft, 50, 90, 21);
  Edit2 = Edit(this, "Edit2", fieldsLeft, 76, 90, 21);
  for (QLineEdit* field : {Edit1, Edit2}) FitWidth(field, kWidestRangeField);
  const int allLeft = std::max(200, Edit1->geometry().right() + 16);
  Button1 = Button(this, "Button1", QStringLiteral("Export All"), allLeft, 62, 100, 25);
  // What the fields cover, while they are typed; room for the longest message.
  RangeSize = Label(this, "RangeSize", QString(), 12, 102, 336, 16);
  FitWidth(RangeSize, FromAnsi(byteloom::RangeSize({kWidestRangeField, "0"}, 0x7FFFFFFF).Text));
  FRange = std::make_unique<TRangeEdits>(Edit1, Edit2, RangeSize);
  CheckBox1 = CheckBox(this, "CheckBox1", QStringLiteral("Space betwen the Values"), 12, 126, 200, 20);
  RadioButton1 = RadioButton(this, "RadioButton1", QStringLiteral("no line break"), 12, 150, 160, 20);
  RadioButton3 = RadioButton(this, "RadioButton3", QStringLiteral("40 Characters per line"), 12, 172, 160, 20);
  RadioButton2 = RadioButton(this, "RadioButton2", QStringLiteral("80 Characters per line"), 176, 172, 160, 20);
  CheckBox3 = CheckBox(this, "CheckBox3", QStringLiteral("Char 10 at the end of the line"), 12, 198, 336, 20);
  CheckBox4 = CheckBox(this, "CheckBox4", QStringLiteral("Char 13 at the end of the line"), 12, 220, 336, 20);
  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("OK"), 170, 248, 85, 28);
  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("Abbrechen"), 263, 248, 85, 28);
  for (QCheckBox* box : {CheckBox1, CheckBox3, CheckBox4}) box->setChecked(true);
  RadioButton3->setChecked(true);
  BitBtn1->setDefault(true);
  RadioButton2->hide();
  GrowToChildren(this, 12);

  const auto guard = [this](auto handler) { return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); }; };
  connect(Button1, &QPushButton::clicked, this, guard(&THexExport::Button1Click));
  connect(BitBtn1, &QPushButton::clicked, this, guard(&THexExport::BitBtn1Click));
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  for (QRadioButton* radio : {RadioButton1, RadioButton2, RadioButton3})
    connect(radio, &QRadioButton::clicked, this, guard(&THexExport::RadioButtonClick));
}

void THexExport::showEvent(QShowEvent* event) {
  Guarded([this] { FormShow(); });
  QDialog::showEvent(event);
}

TDumpStyle THexExport::Style() const {
  return ExportStyle(CheckBox1->isChecked(), CheckBox3->isChecked(), CheckBox4->isChecked());
}

void THexExport::FormShow() { FRange->ShowSelection(); }

void THexExport::Button1Click() { FRange->ShowAll(); }

void THexExport::RadioButtonClick() {
  CheckBox3->setChecked(!RadioButton1->isChecked());
  CheckBox4->setChecked(!RadioButton1->isChecked());
}

void THexExport::BitBtn1Click() {
  THexEditor* ed = FRange->ActiveEditor();
  if (!ed || !FSaveDialog) return;
  const TDumpRange range = DumpRange(FRange->Fields());
  if (!FSaveDialog->Execute(this)) return accept();
  const std::string target = ToFileName(FSaveDialog->FileName());
  const TSizeCheck size = CheckExportSize(range, Style(), FreeSpaceBytes(ExtractFilePath(target)));
  if (!AcceptLargeWork(this, size.Refused, size.Text)) return;
  TLongWork work(this, QStringLiteral("Exporting..."), true);
  const TExportOutcome done = ExportDump(*ed, range, Style(), target,
                                         [&work](int64_t d, int64_t total) { return work.Step(d, total); });
  ShowWarning(this, done.Warning);
  if (done) accept();
}

}  // namespace byteloom
