// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ui/processdlg.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace byteloom {

TProcessDialog::TProcessDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ProcessDialog"));
  setWindowTitle(QStringLiteral("Open process"));
  Filter = new QLineEdit(this);
  Filter->setObjectName(QStringLiteral("Filter"));
  Filter->setPlaceholderText(QStringLiteral("Name, PID or command line"));
  ProcessList = new QTableWidget(0, 4, this);
  ProcessList->setObjectName(QStringLiteral("ProcessList"));
  ProcessList->setHorizontalHeaderLabels(
      {QStringLiteral("PID"), QStringLiteral("Name"), QStringLiteral("Memory"), QStringLiteral("Command line")});
  ProcessList->setSelectionBehavior(QAbstractItemView::SelectRows);
  ProcessList->setSelectionMode(QAbstractItemView::SingleSelection);
  ProcessList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ProcessList->verticalHeader()->hide();
  ProcessList->horizontalHeader()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Open | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("&Find:"), this));
  layout->addWidget(Filter);
  layout->addWidget(ProcessList);
  layout->addWidget(buttons);
  resize(720, 440);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(ProcessList, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  connect(Filter, &QLineEdit::textChanged, this, [this] { Fill(); });
  FProcesses = ListProcesses();
  Fill();
}

void TProcessDialog::Fill() {
  const QString filter = Filter->text().trimmed();
  ProcessList->setSortingEnabled(false);
  ProcessList->setRowCount(0);
  for (const TProcessInfo& p : FProcesses) {
    const QString name = QString::fromStdString(p.Name), line = QString::fromStdString(p.CommandLine);
    if (!filter.isEmpty() && !name.contains(filter, Qt::CaseInsensitive) && !line.contains(filter, Qt::CaseInsensitive) &&
        QString::number(p.Pid) != filter)
      continue;
    const int row = ProcessList->rowCount();
    ProcessList->insertRow(row);
    auto* pid = new QTableWidgetItem;
    pid->setData(Qt::DisplayRole, p.Pid);
    ProcessList->setItem(row, 0, pid);
    ProcessList->setItem(row, 1, new QTableWidgetItem(name));
    auto* memory = new QTableWidgetItem(QStringLiteral("%1 MiB").arg(static_cast<double>(p.MemoryBytes) / (1 << 20), 0, 'f', 1));
    memory->setData(Qt::UserRole, static_cast<qulonglong>(p.MemoryBytes));
    ProcessList->setItem(row, 2, memory);
    ProcessList->setItem(row, 3,
                         new QTableWidgetItem(p.Readable ? line : QStringLiteral("(cannot be read: %1) %2")
                                                                      .arg(QString::fromStdString(p.Reason), line)));
    if (!p.Readable)
      for (int c = 0; c < 4; ++c) ProcessList->item(row, c)->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
  }
  ProcessList->setSortingEnabled(true);
  ProcessList->resizeColumnsToContents();
  if (ProcessList->rowCount() > 0) ProcessList->selectRow(0);
}

int TProcessDialog::ChosenPid() const {
  const int row = ProcessList->currentRow();
  return row < 0 ? 0 : ProcessList->item(row, 0)->data(Qt::DisplayRole).toInt();
}

}  // namespace byteloom
