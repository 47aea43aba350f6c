// TPreferences: the preferences dialog. Its three check boxes are the live
// preference values for the whole run; OK stores the settings.
#pragma once

#include <QDialog>

#include <functional>

class QCheckBox;
class QPushButton;
class QTabWidget;

namespace byteloom {

class TPreferences : public QDialog {
 public:
  explicit TPreferences(QWidget* parent = nullptr);

  // Runs at OK, before the dialog closes: stores the settings.
  std::function<void()> OnSaveSettings;

  void BitBtn1Click();

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;  // "General"
  QWidget* TabSheet2 = nullptr;  // "Editor"
  QCheckBox* Load_Position_Info = nullptr;
  QCheckBox* Prg_Language_Notification = nullptr;
  QCheckBox* Show_Value_info = nullptr;
  QPushButton* BitBtn1 = nullptr;  // OK
  QPushButton* BitBtn2 = nullptr;  // Abbrechen

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace byteloom
