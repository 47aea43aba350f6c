// SPDX-License-Identifier: GPL-3.0-or-later
// File > "Open process...": the running programs, searchable by name, PID
// or command line; those Byteloom may not read say why.
#pragma once

#include <QDialog>

#include <vector>

#include "platform/process.h"

class QLineEdit;
class QTableWidget;

namespace byteloom {

class TProcessDialog final : public QDialog {
 public:
  explicit TProcessDialog(QWidget* parent);
  // The PID of the row chosen, or 0.
  int ChosenPid() const;

 private:
  void Fill();
  QLineEdit* Filter;
  QTableWidget* ProcessList;
  std::vector<TProcessInfo> FProcesses;
};

}  // namespace byteloom
