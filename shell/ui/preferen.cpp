// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/preferen.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <utility>

#include "ui/dialogservice.h"
#include "ui/qhexeditor.h"

namespace byteloom {

namespace {

// A check box with its caption left of the box.
QCheckBox* CheckBox(QWidget* page, const char* name, const char* caption, int top) {
  auto* box = new QCheckBox(QLatin1String(caption), page);
  box->setObjectName(QLatin1String(name));
  box->setLayoutDirection(Qt::RightToLeft);
  box->setChecked(true);
  box->setGeometry(16, top, 200, 20);
  return box;
}

}  // namespace

TPreferences::TPreferences(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Preferences"));
  setWindowTitle(QStringLiteral("Preferences"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(389, 297);

  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  PageControl1->setGeometry(8, 8, 377, 221);
  TabSheet1 = new QWidget;
  TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
  TabSheet2 = new QWidget;
  TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
  PageControl1->addTab(TabSheet1, QStringLiteral("General"));
  PageControl1->addTab(TabSheet2, QStringLiteral("Editor"));

  Load_Position_Info = CheckBox(TabSheet1, "Load_Position_Info", "Load Position Info", 16);
  Prg_Language_Notification = CheckBox(TabSheet2, "Prg_Language_Notification", "PRG-Language Notification", 16);
  Show_Value_info = CheckBox(TabSheet2, "Show_Value_info", "Show Value Info", 44);
  auto* label = new QLabel(QStringLiteral("Side by side: differences"), TabSheet2);
  label->setGeometry(16, 76, 170, 20);
  Difference_Color = new QPushButton(TabSheet2);
  Difference_Color->setObjectName(QStringLiteral("Difference_Color"));
  Difference_Color->setGeometry(190, 74, 60, 24);
  SetDifferenceColor(FValues.DifferenceColor);
  connect(Difference_Color, &QPushButton::clicked, this, [this] {
    const QColor picked = QColorDialog::getColor(HexEditorWidget::ToQColor(FValues.DifferenceColor), this);
    if (picked.isValid())
      SetDifferenceColor(static_cast<TColor>(picked.red() | picked.green() << 8 | picked.blue() << 16));
  });

  BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(200, 250, 85, 26);
  BitBtn1->setDefault(true);
  BitBtn2 = new QPushButton(QStringLiteral("Abbrechen"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(294, 250, 85, 26);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { Guarded([this] { BitBtn1Click(); }); });
  connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
  const std::pair<QCheckBox*, bool TPreferenceValues::*> boxes[] = {
      {Load_Position_Info, &TPreferenceValues::LoadPositionInfo},
      {Prg_Language_Notification, &TPreferenceValues::PrgLanguageNotification},
      {Show_Value_info, &TPreferenceValues::ShowValueInfo}};
  for (const auto& [box, value] : boxes)
    connect(box, &QCheckBox::toggled, this, [this, value](bool on) { FValues.*value = on; });
}

void TPreferences::SetValues(const TPreferenceValues& values) {
  FValues = values;
  Load_Position_Info->setChecked(values.LoadPositionInfo);
  Prg_Language_Notification->setChecked(values.PrgLanguageNotification);
  Show_Value_info->setChecked(values.ShowValueInfo);
  SetDifferenceColor(values.DifferenceColor);
}

void TPreferences::SetDifferenceColor(TColor color) {
  FValues.DifferenceColor = color & 0xFFFFFF;
  Difference_Color->setStyleSheet(
      QStringLiteral("background: %1").arg(HexEditorWidget::ToQColor(FValues.DifferenceColor).name()));
}

void TPreferences::showEvent(QShowEvent* event) {
  PageControl1->setCurrentIndex(0);
  QDialog::showEvent(event);
}

void TPreferences::BitBtn1Click() {
  // The dialog closes also when storing fails (the message has been shown).
  struct TCloser {
    TPreferences* Dialog;
    ~TCloser() { Dialog->accept(); }
  } closer{this};
  if (OnSaveSettings) OnSaveSettings();
}

}  // namespace byteloom
