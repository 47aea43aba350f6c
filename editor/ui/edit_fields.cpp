// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: the document's named fields and checksums (Tools > Fields, the
// context menu's "Add field here", Tools > Checksum of selection) and the
// checksums fixed before a save.
#include <QTimer>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "editor/keptmarks.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/fieldsform.h"
#include "ui/progress.h"
#include "ui/qtext.h"

namespace byteloom {

TFieldsForm& Teditform::FieldsForm() {
  if (!FFieldsForm) FFieldsForm = new TFieldsForm(*this);
  return *FFieldsForm;
}

void Teditform::FieldsChanged() {
  KeepFields(KeptBookmarkKey(Editor()), FFields);
  KeepFieldHolds(FKeeper, FFields);
  if (FFieldsForm && FFieldsForm->isVisible()) FFieldsForm->Refresh();
}

void Teditform::ToggleKeep(const TField& field) {
  if (FieldHeld(FKeeper, field)) {
    FKeeper.Release(field.Offset, FieldWidth(field));
  } else if (const std::string error = FEndedTold ? "The program has ended" : HoldField(FKeeper, Editor(), field);
             !error.empty()) {
    Dialogs().MessageDlg(this, QString::fromStdString(error), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  if (!FKeepTimer) {
    FKeepTimer = new QTimer(this);
    connect(FKeepTimer, &QTimer::timeout, this, [this] { Guarded([this] { KeepTick(); }); });
  }
  if (FKeeper.Empty()) FKeepTimer->stop();
  else if (!FKeepTimer->isActive()) FKeepTimer->start(100);
  if (FFieldsForm && FFieldsForm->isVisible()) FFieldsForm->Refresh();
}

void Teditform::KeepTick() {
  THexEditor& ed = Editor();
  TKeepTick tick;
  if (!ed.IsLive() || FEndedTold) {
    // The window said so when the program ended.
    FKeeper.ReleaseAll();
  } else {
    tick = FKeeper.Tick(*ed.Document().LiveSource());
  }
  if (FKeeper.Empty()) FKeepTimer->stop();
  if (tick.Released.empty() && !FKeeper.Empty()) return;
  if (FFieldsForm && FFieldsForm->isVisible()) FFieldsForm->Refresh();
  if (const std::string told = ReleasedText(tick, ed, FFields); !told.empty())
    Dialogs().MessageDlg(this, QString::fromStdString(told), TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
}

void Teditform::Fields1Click() { FieldsForm().ShowFields(); }

void Teditform::AddFieldHere1Click() {
  THexEditor& ed = Editor();
  FieldsForm().ShowFields();
  FieldsForm().AddAndEdit(ed.SelCount() > 0 ? FieldAt(ed.SelMin(), ed.SelCount()) : FieldAt(ed.GetCursorPos(), 0));
}

void Teditform::AddField(int64_t offset, const TValueFormat& format) {
  TField field = FieldAt(offset, 0);
  field.Type = format.Type;
  field.Order = format.Order;
  FieldsForm().ShowFields();
  FieldsForm().AddAndEdit(field);
}

bool Teditform::FixChecksumsForSave(const std::string& fileName) {
  // Saving a copy of a running program's memory writes nothing into it.
  if (Editor().IsLive()) return true;
  TFixOutcome outcome;
  {
    TLongWork work(this, QStringLiteral("Fixing the checksums..."), true);
    outcome = FixOnSave(Editor(), FFields, work.Progress());
  }
  if (outcome.Fixed > 0) EnableSaveIfModified();
  if (outcome.Error.empty()) return true;
  ShowErrorBox(QStringLiteral("Cannot save file\r\n") + FromFileName(fileName) + QStringLiteral("\r\n") +
               QString::fromStdString(outcome.Error));
  return false;
}

void Teditform::ChecksumOfSelection1Click() {
  // Every algorithm in one pass over range; nothing when cancelled.
  const auto compute = [this](const TChecksumRange& range) {
    TEditorSource source(Editor());
    TLongWork work(this, QStringLiteral("Computing the checksums..."), true);
    return ComputeChecksums(source, range.First, range.Count, AllChecksumKinds(),
                            work.Progress());
  };
  const TChecksumRange range = ChecksumRange(Editor());
  const auto values = compute(range);
  if (!values) return;
  TChecksumDialog dialog(this, range, *values);
  dialog.OnCompute = [&](const std::string& from, const std::string& to, const std::string& length) {
    const TChecksumRange typed = ChecksumRange(from, to, length, Editor().DataSize());
    ShowWarning(&dialog, typed.Error);
    if (const auto again = typed.Error.empty() ? compute(typed) : std::nullopt) dialog.SetValues(typed, *again);
  };
  Dialogs().ShowModal(dialog);
}

}  // namespace byteloom
