// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/ui/regionsform.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cstdio>

#include "control/hexeditor.h"
#include "document/processmemory.h"
#include "editor/ui/Editwin.h"
#include "platform/numconv.h"

namespace byteloom {
namespace {

QString Hex(uint64_t v) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
  return QString::fromLatin1(buf);
}

}  // namespace

TRegionsForm::TRegionsForm(Teditform& owner) : QWidget(&owner, Qt::Window), FOwner(owner) {
  setObjectName(QStringLiteral("RegionsForm"));
  setWindowTitle(QStringLiteral("Memory regions"));
  resize(820, 420);
  RegionView = new QTableWidget(0, 5, this);
  RegionView->setObjectName(QStringLiteral("RegionView"));
  RegionView->setHorizontalHeaderLabels(
      {QStringLiteral("Name"), QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Size"),
       QStringLiteral("Permissions")});
  RegionView->setSelectionBehavior(QAbstractItemView::SelectRows);
  RegionView->setSelectionMode(QAbstractItemView::SingleSelection);
  RegionView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  RegionView->verticalHeader()->hide();
  RegionView->verticalHeader()->setDefaultSectionSize(RegionView->fontMetrics().height() + 6);
  RegionView->horizontalHeader()->setStretchLastSection(true);
  connect(RegionView, &QTableWidget::cellClicked, this, [this](int row, int) { RegionClick(row); });
  connect(RegionView, &QTableWidget::cellActivated, this, [this](int row, int) { RegionClick(row); });
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(RegionView);
}

void TRegionsForm::Fill(const TRegionLayout& layout) {
  const std::vector<TRegion>& regions = layout.Regions();
  RegionView->setRowCount(static_cast<int>(regions.size()));
  for (size_t i = 0; i < regions.size(); ++i) {
    const TRegion& r = regions[i];
    const QString cells[] = {QString::fromStdString(r.Name.empty() ? "(anonymous)" : r.Name), Hex(r.Start),
                             Hex(r.End), QString::fromStdString(ByteCountText(static_cast<int64_t>(r.Size()))),
                             QString::fromStdString(r.Permissions())};
    for (int c = 0; c < 5; ++c) RegionView->setItem(static_cast<int>(i), c, new QTableWidgetItem(cells[c]));
  }
  RegionView->resizeColumnsToContents();
}

void TRegionsForm::ShowRegions() {
  THexEditor& ed = FOwner.Editor();
  const auto& layout = static_cast<const TProcessMemory&>(*ed.Document().LiveSource()).Layout();
  Fill(layout);
  if (layout.Size() > 0)
    RegionView->selectRow(static_cast<int>(layout.IndexAt(std::min<uint64_t>(ed.GetCursorPos(), layout.Size() - 1))));
  show();
  raise();
  activateWindow();
  RegionView->setFocus();
}

void TRegionsForm::RegionClick(int row) {
  THexEditor& ed = FOwner.Editor();
  if (!ed.IsLive() || row < 0) return;
  const auto& layout = static_cast<const TProcessMemory&>(*ed.Document().LiveSource()).Layout();
  if (static_cast<size_t>(row) >= layout.Regions().size()) return;
  // The region's first byte on the top row.
  const auto pos = static_cast<int64_t>(layout.RegionPos(static_cast<size_t>(row)));
  ed.Seek(pos, 0, true);
  ed.SetTopRow(pos / ed.BytesPerLine());
}

}  // namespace byteloom
