// Teditform: the document's named fields and checksums (Tools > Fields, the
// context menu's "Add field here", Tools > Checksum of selection) and the
// checksums fixed before a save.
#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "editor/Editwin.h"
#include "editor/fieldsform.h"
#include "editor/keptmarks.h"
#include "editor/progress.h"
#include "editor/qtext.h"

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
  THexEditor& ed = Editor();
  const bool selected = ed.SelCount() > 0;
  const int32_t first = selected ? ed.SelMin() : 0, count = selected ? ed.SelCount() : ed.DataSize();
  std::vector<TChecksumKind> kinds;
  for (int k = 0; k < kChecksumKindCount; ++k) kinds.push_back(static_cast<TChecksumKind>(k));
  TEditorSource source(ed);
  std::optional<std::vector<std::vector<uint8_t>>> values;
  {
    TLongWork work(this, QStringLiteral("Computing the checksums..."), true);
    values = ComputeChecksums(source, first, count, kinds, [&work](int64_t done, int64_t total) { return work.Step(done, total); });
  }
  if (!values) return;  // cancelled
  const QString range = selected ? QStringLiteral("The selection %1 ... %2 (%L3 bytes)")
                                       .arg(QString::fromStdString(OffsetText(first)),
                                            QString::fromStdString(OffsetText(first + count - 1)))
                                       .arg(count)
                                 : QStringLiteral("The whole document (%L1 bytes)").arg(count);
  TChecksumDialog dialog(this, range, *values);
  Dialogs().ShowModal(dialog);
}

}  // namespace byteloom
