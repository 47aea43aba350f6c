// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: the document's named fields and checksums (Tools > Fields, the
// context menu's "Add field here", Tools > Checksum of selection) and the
// checksums fixed before a save.
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
  if (FFieldsForm && FFieldsForm->isVisible()) FFieldsForm->Refresh();
}

void Teditform::Fields1Click() { FieldsForm().ShowFields(); }

void Teditform::AddFieldHere1Click() {
  THexEditor& ed = Editor();
  FieldsForm().ShowFields();
  FieldsForm().AddAndEdit(ed.SelCount() > 0 ? FieldAt(ed.SelMin(), ed.SelCount()) : FieldAt(ed.GetCursorPos(), 0));
}

void Teditform::AddField(int32_t offset, const TValueFormat& format) {
  TField field = FieldAt(offset, 0);
  field.Type = format.Type;
  field.Order = format.Order;
  FieldsForm().ShowFields();
  FieldsForm().AddAndEdit(field);
}

bool Teditform::FixChecksumsForSave(const std::string& fileName) {
  TFixOutcome outcome;
  {
    TLongWork work(this, QStringLiteral("Fixing the checksums..."), true);
    outcome = FixOnSave(Editor(), FFields, [&work](int64_t done, int64_t total) { return work.Step(done, total); });
  }
  if (outcome.Fixed > 0) EnableSaveIfModified();
  if (outcome.Error.empty()) return true;
  ShowErrorBox(QStringLiteral("Cannot save file\r\n") + FromFileName(fileName) + QStringLiteral("\r\n") +
               QString::fromStdString(outcome.Error));
  return false;
}

void Teditform::ChecksumOfSelection1Click() {
  const TChecksumRange range = ChecksumRange(Editor());
  TEditorSource source(Editor());
  std::optional<std::vector<std::vector<uint8_t>>> values;
  {
    TLongWork work(this, QStringLiteral("Computing the checksums..."), true);
    values = ComputeChecksums(source, range.First, range.Count, AllChecksumKinds(),
                              [&work](int64_t done, int64_t total) { return work.Step(done, total); });
  }
  if (!values) return;  // cancelled
  TChecksumDialog dialog(this, QString::fromStdString(range.Text), *values);
  Dialogs().ShowModal(dialog);
}

}  // namespace byteloom
