// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window over a running program's memory: opening it, reading
// the shown rows again four times a second, and the program's end.
#include <QTimer>

#include "document/processmemory.h"
#include "editor/fields.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/regionsform.h"
#include "ui/dialogservice.h"
#include "ui/qhexeditor.h"
#include "ui/uibuild.h"

namespace byteloom {

void Teditform::OpenProcess(TProcess process, std::unique_ptr<TChildProgram> child) {
  const int pid = process.Pid();
  const std::string caption = process.Name() + " (PID " + std::to_string(pid) + ")";
  // A program just started maps its libraries and heap first.
  auto memory = std::make_unique<TProcessMemory>(process, TProcessMemory::Settled(process, child ? 1000 : 0));
  Editor().OpenLive(std::move(memory), caption);
  if (child) child->Detach();  // it runs on when the window closes
  FChild = std::move(child);
  FEndedTold = false;
  SetDocumentName(QString::fromStdString(caption));
  if (!FLiveTimer) {
    FLiveTimer = new QTimer(this);
    connect(FLiveTimer, &QTimer::timeout, this, [this] { Guarded([this] { LiveTick(); }); });
  }
  FLiveTimer->start(250);
}

void Teditform::LiveTick() {
  THexEditor& ed = Editor();
  if (!ed.IsLive()) return FLiveTimer->stop();
  if (++FLiveTicks % 8 == 0) RefreshRegions();
  ed.RefreshLive();
  const auto& memory = static_cast<const TProcessMemory&>(*ed.Document().LiveSource());
  if (FEndedTold || (!memory.Ended() && memory.Process().Alive())) return;
  FEndedTold = true;
  FLiveTimer->stop();
  SetDocumentName(DocumentName() + QStringLiteral(" (ended)"));
  Dialogs().MessageDlg(this,
                       QStringLiteral("The program %1 has ended. The window shows what was last read of its memory; "
                                      "it can no longer be changed. Snapshots taken of it stay usable.")
                           .arg(DocumentName()),
                       TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
}

void Teditform::RefreshRegions() {
  THexEditor& ed = Editor();
  const auto& memory = static_cast<const TProcessMemory&>(*ed.Document().LiveSource());
  if (ed.CanUndo() || memory.Ended()) return;
  TRegionLayout now;
  try {
    now = TProcessMemory::Shown(memory.Process().Regions());
  } catch (const EProcessError&) {
    return;  // it has ended: the next tick says so
  }
  if (now.Same(memory.Layout())) return;
  // The fields follow their addresses; while one would be lost the window
  // stays as it is.
  std::vector<TField> fields = Fields();
  if (!PlaceFieldsAnew(fields, memory.Layout(), now)) return;
  const uint64_t caret = ed.AddressOf(ed.GetCursorPos());
  const std::string caption = ed.FileName();
  ed.OpenLive(std::make_unique<TProcessMemory>(memory.Process(), std::move(now)), caption);
  if (const auto pos = ed.PosOfAddress(caret)) ed.Seek(*pos, 0, true);
  Keeper().Follow(*ed.Document().LiveSource());
  if (!fields.empty()) {
    Fields() = std::move(fields);
    FieldsChanged();
  }
  if (FRegionsForm && FRegionsForm->isVisible())
    FRegionsForm->Fill(static_cast<const TProcessMemory&>(*ed.Document().LiveSource()).Layout());
}

void Teditform::Regions1Click() {
  if (!Editor().IsLive()) {
    Dialogs().MessageDlg(this,
                         QStringLiteral("Memory regions belong to a running program: open one with "
                                        "File > Open process... or File > Start program..."),
                         TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    return;
  }
  if (!FRegionsForm) FRegionsForm = new TRegionsForm(*this);
  FRegionsForm->ShowRegions();
}

void Teditform::TellChangedMeanwhile() {
  if (!Editor().TakeChangedMeanwhile()) return;
  Dialogs().MessageDlg(this,
                       QStringLiteral("The program had changed these bytes since the edit wrote them; "
                                      "they were written over anyway."),
                       TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
}

}  // namespace byteloom
