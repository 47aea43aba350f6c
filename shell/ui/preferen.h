// SPDX-License-Identifier: GPL-3.0-or-later
// TPreferences: the preferences dialog. It shows the preference values of
// the run, and a click on a check box changes them at once (Cancel keeps the
// change for the run); OK also stores the settings.
#pragma once

#include <QDialog>

#include <functional>

#include "control/hexeditor.h"

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace byteloom {

// The preference values of the run.
struct TPreferenceValues {
  bool LoadPositionInfo = true;
  bool PrgLanguageNotification = true;
  bool ShowValueInfo = true;
  // The background of the bytes that differ in a locked pair (0x00BBGGRR).
  TColor DifferenceColor = TColors::kDefaultDifference;
};

class TPreferences : public QDialog {
 public:
  explicit TPreferences(QWidget* parent = nullptr);

  const TPreferenceValues& Values() const { return FValues; }
  // New values, shown by the check boxes.
  void SetValues(const TPreferenceValues& values);

  // Runs at OK, before the dialog closes: stores the settings.
  std::function<void()> OnSaveSettings;

  void BitBtn1Click();
  // The difference colour, shown by its button (which picks another).
  void SetDifferenceColor(TColor color);

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "General"
  QWidget* TabSheet2 = nullptr;  // "Editor"
  QCheckBox* Load_Position_Info = nullptr;
  QCheckBox* Prg_Language_Notification = nullptr;
  QCheckBox* Show_Value_info = nullptr;
  QPushButton* Difference_Color = nullptr;
  QPushButton* BitBtn1 = nullptr;  // OK
  QPushButton* BitBtn2 = nullptr;  // Abbrechen

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  TPreferenceValues FValues;
};

}  // namespace byteloom
