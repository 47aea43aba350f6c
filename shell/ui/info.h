// SPDX-License-Identifier: GPL-3.0-or-later
// TInfoform: the about box. The program icon, "ORVANTA" and "Byteloom", the
// version, the author, the terms of distribution and acknowledgements; OK
// hides it.
#pragma once

#include <QDialog>

class QLabel;
class QTextEdit;
class QPushButton;

namespace byteloom {

// The text block's lines: "Version: 1.2", an empty line, then ours.
QString InfoText();

class TInfoform : public QDialog {
 public:
  explicit TInfoform(QWidget* parent = nullptr);
  void BitBtn1Click();

  QWidget* Panel1 = nullptr;
  QLabel* ProgramIcon = nullptr;
  QLabel *ProductName = nullptr, *Version = nullptr;  // "ORVANTA", "Byteloom"
  QTextEdit* Memo1 = nullptr;
  QPushButton* BitBtn1 = nullptr;
};

}  // namespace byteloom
