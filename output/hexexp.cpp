#include "output/hexexp.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "control/documents.h"
#include "control/hexeditor.h"
#include "editor/dialogservice.h"
#include "editor/progress.h"
#include "editor/qtext.h"
#include "editor/uibuild.h"

namespace byteloom {

using namespace uibuild;

THexExport::THexExport(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("HexExport"));
  setWindowTitle(QStringLiteral("HexExport"));
  setFixedSize(360, 264);

  Label1 = Label(this, "Label1", QStringLiteral("HexExport"), 12, 6, 336, 34);
  QFont title = Label1->font();
  title.setPointSize(18);
  title.setBold(true);
  title.setItalic(true);
  Label1->setFont(title);
  Label2 = Label(this, "Label2", QStringLiteral("Export from:"), 12, 50, 80, 21);
  Edit1 = Edit(this, "Edit1", 95, 50, 90, 21);
  Label3 = Label(this, "Label3", QStringLiteral("to:"), 12, 76, 80, 21);
  Edit2 = Edit(this, "Edit2", 95, 76, 90, 21);
  Button1 = Button(this, "Button1", QStringLiteral("Export All"), 200, 62, 100, 25);
  FRange = std::make_unique<TRangeEdits>(Edit1, Edit2);
  CheckBox1 = CheckBox(this, "CheckBox1", QStringLiteral("Space betwen the Values"), 12, 106, 200, 20);
  RadioButton1 = RadioButton(this, "RadioButton1", QStringLiteral("no line break"), 12, 130, 160, 20);
  RadioButton3 = RadioButton(this, "RadioButton3", QStringLiteral("40 Characters per line"), 12, 152, 160, 20);
  RadioButton2 = RadioButton(this, "RadioButton2", QStringLiteral("80 Characters per line"), 176, 152, 160, 20);
  CheckBox3 = CheckBox(this, "CheckBox3", QStringLiteral("Char 10 at the end of the line"), 12, 178, 336, 20);
  CheckBox4 = CheckBox(this, "CheckBox4", QStringLiteral("Char 13 at the end of the line"), 12, 200, 336, 20);
  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("OK"), 170, 228, 85, 28);
  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("Abbrechen"), 263, 228, 85, 28);
  for (QCheckBox* box : {CheckBox1, CheckBox3, CheckBox4}) box->setChecked(true);
  RadioButton3->setChecked(true);
  RadioButton2->hide();
  BitBtn1->setDefault(true);

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
  TLongWork work(this, QStringLiteral("Exporting..."), true);
  const TExportOutcome done = ExportDump(*ed, range, Style(), ToFileName(FSaveDialog->FileName()),
                                         [&work](int64_t d, int64_t total) { return work.Step(d, total); });
  ShowWarning(this, done.Warning);
  if (done) accept();
}

}  // namespace byteloom
