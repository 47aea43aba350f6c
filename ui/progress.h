// SPDX-License-Identifier: GPL-3.0-or-later
// Long work in the user interface: the wait cursor from the start and, once
// the work has taken about half a second, a progress dialog. The core's
// engines report (done, total) through Step; the dialog's Cancel is offered
// where the work can stop.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/progress.h"

class QProgressDialog;
class QWidget;

namespace byteloom {

class TLongWork {
 public:
  TLongWork(QWidget* owner, QString label, bool cancellable);
  ~TLongWork();
  TLongWork(const TLongWork&) = delete;
  TLongWork& operator=(const TLongWork&) = delete;

  // Reports progress; false once the user has cancelled. The dialog shows
  // how much time is left at the pace so far.
  bool Step(int64_t done, int64_t total);
  // Step as the engines take it.
  TProgress Progress() {
    return [this](int64_t done, int64_t total) { return Step(done, total); };
  }
  bool Cancelled() const { return FCancelled; }

  // How long the work runs before the dialog shows (tests shorten it).
  static inline qint64 ShowAfterMs = 500;
  // How much long work is under way in the program.
  static int Running() { return FRunning; }
  // Every long work under way stops at its next step, as if cancelled (the
  // session is ending); work begun once none is left runs again.
  static void StopAll() { FStopAll = true; }

 private:
  QWidget* FOwner;
  QString FLabel;
  bool FCancellable;
  bool FCancelled = false;
  QElapsedTimer FTimer;
  std::string FTimeLeft;  // shown under the label
  std::unique_ptr<QProgressDialog> FDialog;
  static inline int FRunning = 0;
  static inline bool FStopAll = false;
};

}  // namespace byteloom
