// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/ui/Fcomp.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <memory>
#include <tuple>
#include <utility>

#include "compare/ui/com_mete.h"
#include "control/documents.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

namespace {

// The widest starting offsets shown whole: those below 256 TiB, in decimal and in hex.
constexpr const char* kWidestOffsets[] = {"281474976710655", "$FFFFFFFFFFFF"};

QComboBox* ComboBox(QWidget* parent, const char* name, int x, int y) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QLatin1String(name));
  box->setGeometry(x, y, 300, 22);
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->setEditText(QStringLiteral("please choose"));
  return box;
}

}  // namespace

TFcompare::TFcompare(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Fcompare"));
  setWindowTitle(QStringLiteral("File Compare"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  // Modal to the frame only: the compare-o-meter beside it stays usable.
  setWindowModality(Qt::WindowModal);
  setFixedSize(526, 318);

  // A row: the document's box, then its starting offset at the right edge,
  // the offset field as wide as its widest value; the box takes what is left.
  auto row = [this](const char* label, const char* combo, const char* offsetLabel, const char* edit, int y,
                    const QString& caption) {
    Label(this, label, caption, 8, y + 4, 40, 17);
    QLineEdit* field = Edit(this, edit, 460, y, 57, 21);
    for (const char* widest : kWidestOffsets) FitWidth(field, QLatin1String(widest));
    field->move(517 - field->width(), y);
    QLabel* title = Label(this, offsetLabel, QStringLiteral("Starting Offset:"), 368, y + 4, 92, 17);
    FitWidth(title, title->text());
    title->move(field->x() - title->width() - 2, y + 4);
    QComboBox* box = ComboBox(this, combo, 56, y);
    box->resize(std::min(300, title->x() - 8 - 56), box->height());
    return std::pair{box, field};
  };
  std::tie(ComboBox1, Edit1) = row("Label1", "ComboBox1", "Label2", "Edit1", 8, QStringLiteral("File 1:"));
  std::tie(ComboBox2, Edit2) = row("Label3", "ComboBox2", "Label4", "Edit2", 38, QStringLiteral("File 2:"));
  Button1 = Button(this, "Button1", QStringLiteral("Start from Cursor"), 400, 66, 117, 27);

  Panel1 = new QWidget(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 100, 510, 148);
  static const char* const kCaptions[8] = {
      "Value increase by \"FValue 1\"", "Value decrease by \"FValue 1\"", "Search for FValue1 and FValue2",
      "Value increase", "Value decrease", "Value decrease by 1", "Value increase by 1", "simple search"};
  // Left column: 4, 5, 7, 6; right column: 1, 2, 3, 8.
  static const int kColumn[8] = {1, 1, 1, 0, 0, 0, 0, 1}, kLine[8] = {0, 1, 2, 0, 1, 3, 2, 3};
  for (int k = 0; k < 8; ++k) {
    auto* radio = new QRadioButton(QLatin1String(kCaptions[k]), Panel1);
    radio->setObjectName(QStringLiteral("RadioButton%1").arg(k + 1));
    radio->setGeometry(8 + kColumn[k] * 152, 12 + kLine[k] * 30, kColumn[k] ? 225 : 145, 20);
    RadioButtons[static_cast<size_t>(k)] = radio;
  }
  RadioButtons[7]->setChecked(true);
  QLabel* heading = Label(Panel1, "Label5", QStringLiteral("Here you can search for Values:"), 388, 12, 118, 32);
  heading->setWordWrap(true);
  heading->setStyleSheet(QStringLiteral("color: grey"));
  Label(Panel1, "Label6", QStringLiteral("FValue 1"), 390, 54, 60, 17);
  Edit3 = Edit(Panel1, "Edit3", 454, 50, 44, 21);
  Label(Panel1, "Label7", QStringLiteral("FValue 2"), 390, 84, 60, 17);
  Edit4 = Edit(Panel1, "Edit4", 454, 80, 44, 21);
  for (QLineEdit* edit : {Edit1, Edit2}) edit->setText(QStringLiteral("0"));
  Edit3->setText(QStringLiteral("2"));
  Edit4->setText(QStringLiteral("1"));
  Edit3->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  for (QLineEdit* edit : {Edit3, Edit4}) {
    edit->setMaxLength(3);
    for (const char* widest : {"255", "$FF"}) FitWidth(edit, QLatin1String(widest));
  }

  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("&Compare"), 150, 260, 100, 27);
  BitBtn1->setDefault(true);
  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("C&ancel"), 258, 260, 100, 27);
  BitBtn4 = Button(this, "BitBtn4", QStringLiteral("Compare O'meter"), 366, 260, 120, 27);
  BitBtn5 = Button(this, "BitBtn5", QStringLiteral("Side by side"), 42, 260, 100, 27);
  Panel2 = Label(this, "Panel2", QString(), 0, 298, 526, 20);
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Sunken);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  connect(BitBtn4, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn4Click(); }); });
  connect(BitBtn5, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn5Click(); }); });
}

void TFcompare::Connect(std::function<void()> compared, TDocumentList& documents, TCompareometer& meter) {
  FCompared = std::move(compared);
  FDocuments = &documents;
  FMeter = &meter;
}

void TFcompare::ShowCompare() {
  FEngine.CompareAgainMode = false;
  Dialogs().ShowModal(*this);
}

void TFcompare::CompareAgain() {
  FEngine.CompareAgainMode = true;
  PrepareCompare();
  BitBtn1Click();
}

void TFcompare::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Guarded([this] { PrepareCompare(); });
}

void TFcompare::PrepareCompare() {
  unsetCursor();
  BitBtn1->setText(QStringLiteral("OK"));
  if (!FDocuments) return;
  if (FEngine.CompareAgainMode) {
    setWindowTitle(QStringLiteral("File Compare again..."));
    const auto [start1, start2] = FEngine.AgainOffsets(*FDocuments);
    Edit1->setText(QString::fromStdString(start1));
    Edit2->setText(QString::fromStdString(start2));
    return;
  }
  setWindowTitle(QStringLiteral("File Compare"));
  const std::vector<std::string> entries = FEngine.ListDocuments(*FDocuments);
  for (QComboBox* box : {ComboBox1, ComboBox2}) {
    box->clear();
    for (const std::string& entry : entries) box->addItem(QString::fromStdString(entry));
    box->setCurrentIndex(-1);
    box->setEditText(QStringLiteral("Please choose.."));
  }
  Edit1->setText(QStringLiteral("0"));
  Edit2->setText(Edit1->text());
}

void TFcompare::Button1Click() {
  if (!FDocuments) return;
  Edit1->setText(QString::fromStdString(TCompareEngine::CursorOffset(*FDocuments)));
  Edit2->setText(Edit1->text());
}

void TFcompare::BitBtn1Click() {
  RunCompare(false);
  if (isVisible()) accept();
}

void TFcompare::BitBtn4Click() {
  const TCompareOutcome outcome = RunCompare(true);
  if (outcome.Compared && !outcome.Cancelled && FMeter) FMeter->DrawCompareMeter(FEngine.MeterBuckets, this);
}

void TFcompare::BitBtn5Click() {
  if (!FDocuments) return;
  const std::optional<TPairChoice> pair = FEngine.ChoosePair(
      *FDocuments, {ComboBox1->currentText().toStdString(), ComboBox2->currentText().toStdString(), Edit1->text().toStdString(), Edit2->text().toStdString()},
      [this](const std::string& text) {
        Dialogs().MessageDlg(this, QString::fromStdString(text), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
      });
  if (!pair) return;
  accept();
  if (OnSideBySide) OnSideBySide(pair->Index1, pair->Index2, pair->Shift);
}

TCompareMode TFcompare::SelectedMode() const {
  for (size_t k = 0; k < RadioButtons.size(); ++k)
    if (RadioButtons[k]->isChecked()) return static_cast<TCompareMode>(k);
  return TCompareMode::cmSimple;
}

QWidget* TFcompare::MessageOwner() { return isVisible() ? this : parentWidget(); }

TCompareOutcome TFcompare::RunCompare(bool meter) {
  if (FRunning || !FDocuments) return {};
  // Whatever the path, the run leaves the dialog as it found it.
  struct TRestore {
    TFcompare& Form;
    std::unique_ptr<TLongWork> Work;  // wait cursor and progress while the pairs are read
    ~TRestore() {
      Work.reset();
      Form.Panel2->clear();
      Form.Panel1->setEnabled(true);
      Form.BitBtn1->setText(QStringLiteral("OK"));
      Form.FRunning = false;
    }
  } restore{*this, nullptr};
  FRunning = true;
  BitBtn1->setText(QStringLiteral("Searching..."));
  Panel1->setEnabled(false);

  const TCompareFields fields{ComboBox1->currentText().toStdString(), ComboBox2->currentText().toStdString(),
                              Edit1->text().toStdString(),         Edit2->text().toStdString(),
                              Edit3->text().toStdString(),         Edit4->text().toStdString(),
                              SelectedMode()};
  TCompareHooks hooks;
  hooks.Warning = [this](const std::string& text) {
    Dialogs().MessageDlg(MessageOwner(), QString::fromStdString(text), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
  };
  hooks.Scanning = [this, &restore] {
    Panel2->setText(QStringLiteral("Please wait while im searching..."));
    restore.Work = std::make_unique<TLongWork>(MessageOwner(), Panel2->text(), true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  hooks.Progress = [&restore](int64_t done, int64_t total) { return restore.Work->Step(done, total); };
  hooks.Scanned = [this, &restore] {
    restore.Work.reset();
    Panel2->clear();
  };
  const TCompareOutcome outcome = FEngine.Run(*FDocuments, fields, meter, hooks);
  if (outcome.Compared) {
    if (FCompared) FCompared();
    QApplication::beep();
  }
  return outcome;
}

}  // namespace byteloom
