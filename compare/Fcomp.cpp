#include "compare/Fcomp.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

#include <memory>

#include "compare/com_mete.h"
#include "control/documents.h"
#include "editor/dialogservice.h"
#include "editor/framelink.h"

namespace byteloom {

namespace {

template <typename W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  if (name) widget->setObjectName(QLatin1String(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QLabel* Label(QWidget* parent, const QString& caption, int left, int top, int width = 100) {
  return Place(new QLabel(caption, parent), nullptr, left, top, width, 17);
}

QLineEdit* Edit(QWidget* parent, const char* name, const QString& text, int left, int top, int width) {
  return Place(new QLineEdit(text, parent), name, left, top, width, 21);
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption, int left, int top, int width) {
  return Place(new QPushButton(caption, parent), name, left, top, width, 27);
}

// The progress of a long run: past ProgressDelay a modal progress dialog
// with Cancel; until then the windows are repainted but take no input.
// No window closes while the documents are being read.
class TRunProgress final : public QObject {
 public:
  explicit TRunProgress(QWidget* owner) : FOwner(owner) {
    FTimer.start();
    QCoreApplication::instance()->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Close || watched == FDialog.get()) return false;
    event->ignore();
    return true;
  }

  bool operator()(int64_t done, int64_t total) {
    // The windows are served about 25 times a second.
    if (FPumped && FTimer.elapsed() - FLastPump < 40) return !FDialog || !FDialog->wasCanceled();
    FPumped = true;
    FLastPump = FTimer.elapsed();
    if (!FDialog && FLastPump >= TFcompare::ProgressDelay) {
      FDialog = std::make_unique<QProgressDialog>(QStringLiteral("Please wait while im searching..."),
                                                  QStringLiteral("Abbrechen"), 0, 1000, FOwner);
      FDialog->setObjectName(QStringLiteral("CompareProgress"));
      FDialog->setWindowTitle(QStringLiteral("File Compare"));
      FDialog->setWindowModality(Qt::ApplicationModal);
      FDialog->setMinimumDuration(0);
      FDialog->show();
    }
    if (!FDialog) {
      QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
      return true;
    }
    FDialog->setValue(static_cast<int>(done * 1000 / total));
    QCoreApplication::processEvents();
    return !FDialog->wasCanceled();
  }

 private:
  QWidget* FOwner;
  QElapsedTimer FTimer;
  qint64 FLastPump = 0;
  bool FPumped = false;
  std::unique_ptr<QProgressDialog> FDialog;
};

}  // namespace

TFcompare::TFcompare(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Fcompare"));
  setWindowTitle(QStringLiteral("File Compare"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  // Modal to the frame only: the compare-o-meter beside it stays usable.
  setWindowModality(Qt::WindowModal);
  setFixedSize(526, 318);

  Label(this, QStringLiteral("File 1:"), 8, 12, 40);
  ComboBox1 = Place(new QComboBox(this), "ComboBox1", 56, 8, 300, 22);
  Label(this, QStringLiteral("Starting Offset:"), 368, 12);
  Edit1 = Edit(this, "Edit1", QStringLiteral("0"), 460, 8, 57);
  Label(this, QStringLiteral("File 2:"), 8, 42, 40);
  ComboBox2 = Place(new QComboBox(this), "ComboBox2", 56, 38, 300, 22);
  Label(this, QStringLiteral("Starting Offset:"), 368, 42);
  Edit2 = Edit(this, "Edit2", QStringLiteral("0"), 460, 38, 57);
  for (QComboBox* box : {ComboBox1, ComboBox2}) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setEditText(QStringLiteral("please choose"));
  }
  Button1 = Button(this, "Button1", QStringLiteral("Start from Cursor"), 400, 66, 117);

  Panel1 = Place(new QWidget(this), "Panel1", 8, 100, 510, 148);
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
  QLabel* heading = Label(Panel1, QStringLiteral("Here you can search for Values:"), 388, 12, 118);
  heading->setWordWrap(true);
  heading->setFixedHeight(32);
  heading->setStyleSheet(QStringLiteral("color: grey"));
  Label(Panel1, QStringLiteral("FValue 1"), 390, 54, 60);
  Edit3 = Edit(Panel1, "Edit3", QStringLiteral("2"), 454, 50, 44);
  Label(Panel1, QStringLiteral("FValue 2"), 390, 84, 60);
  Edit4 = Edit(Panel1, "Edit4", QStringLiteral("1"), 454, 80, 44);
  for (QLineEdit* edit : {Edit3, Edit4}) edit->setMaxLength(3);
  Edit3->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  BitBtn1 = Button(this, "BitBtn1", QStringLiteral("&Compare"), 150, 260, 100);
  BitBtn1->setDefault(true);
  BitBtn2 = Button(this, "BitBtn2", QStringLiteral("C&ancel"), 258, 260, 100);
  BitBtn4 = Button(this, "BitBtn4", QStringLiteral("Compare O'meter"), 366, 260, 120);
  Panel2 = Place(new QLabel(this), "Panel2", 0, 298, 526, 20);
  Panel2->setFrameShape(QFrame::Panel);
  Panel2->setFrameShadow(QFrame::Sunken);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  connect(BitBtn4, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn4Click(); }); });
}

void TFcompare::Connect(TFrameLink& frame, TDocumentList& documents, TCompareometer& meter) {
  FFrame = &frame;
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
  if (outcome.Compared && !outcome.Cancelled && FMeter) FMeter->DrawCompareMeter(FEngine.MeterBuckets);
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
    bool WaitCursor = false;
    ~TRestore() {
      if (WaitCursor) QApplication::restoreOverrideCursor();
      Form.Panel2->clear();
      Form.Panel1->setEnabled(true);
      Form.BitBtn1->setText(QStringLiteral("OK"));
      Form.FRunning = false;
    }
  } restore{*this};
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
    QApplication::setOverrideCursor(Qt::WaitCursor);
    restore.WaitCursor = true;
    Panel2->setText(QStringLiteral("Please wait while im searching..."));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  hooks.Scanned = [this, &restore] {
    QApplication::restoreOverrideCursor();
    restore.WaitCursor = false;
    Panel2->clear();
  };
  TRunProgress progress(MessageOwner());
  hooks.Progress = [&progress](int64_t done, int64_t total) { return progress(done, total); };
  const TCompareOutcome outcome = FEngine.Run(*FDocuments, fields, meter, hooks);
  if (outcome.Compared && FFrame) {
    FFrame->CompareAgain1->setEnabled(true);
    FFrame->ToolButton15->setEnabled(true);
    QApplication::beep();
  }
  return outcome;
}

}  // namespace byteloom
