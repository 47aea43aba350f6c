// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/progress.h"

#include <QApplication>
#include <QProgressDialog>

namespace byteloom {

namespace {
constexpr int kScale = 1000;
}  // namespace

TLongWork::TLongWork(QWidget* owner, QString label, bool cancellable)
    : FOwner(owner), FLabel(std::move(label)), FCancellable(cancellable) {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FTimer.start();
  ++FRunning;
}

TLongWork::~TLongWork() {
  if (--FRunning == 0) FStopAll = false;  // work begun later runs
  FDialog.reset();
  QApplication::restoreOverrideCursor();
}

bool TLongWork::Step(int64_t done, int64_t total) {
  FCancelled = FCancelled || FStopAll;
  if (FCancelled) return false;
  if (!FDialog && FTimer.elapsed() >= ShowAfterMs) {
    FDialog = std::make_unique<QProgressDialog>(FLabel, FCancellable ? QStringLiteral("Abbrechen") : QString(), 0,
                                                kScale, FOwner);
    FDialog->setObjectName(QStringLiteral("ProgressDialog"));
    FDialog->setWindowModality(Qt::WindowModal);
    FDialog->setMinimumDuration(0);
    FDialog->show();
  }
  if (FDialog) {
    FDialog->setValue(total > 0 ? static_cast<int>(done * kScale / total) : 0);
    // The label is laid out anew only when its text changes (steps come
    // many times a second).
    const std::string left = TimeLeftText(FTimer.elapsed(), done, total);
    if (left != FTimeLeft) {
      FTimeLeft = left;
      FDialog->setLabelText(left.empty() ? FLabel : FLabel + QLatin1Char('\n') + QString::fromStdString(left));
    }
    QApplication::processEvents();
    if (FDialog->wasCanceled() || FStopAll) FCancelled = true;
  }
  return !FCancelled;
}

}  // namespace byteloom
