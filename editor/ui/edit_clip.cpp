// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's Undo, Cut, Copy and Paste. The clipboard carries the
// exact bytes (and a text for other programs); Paste prefers the bytes.
#include <QAction>
#include <QByteArray>

#include "control/hexeditor.h"
#include "editor/clipdata.h"
#include "editor/ui/clipboard.h"
#include "editor/ui/Editwin.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"

namespace byteloom {

namespace {

// The selected bytes in document order, read straight into the clipboard's buffer.
QByteArray SelectedBytes(THexEditor& ed) {
  const TClipRange range = ClipRange(ed);
  QByteArray bytes(range.Count, Qt::Uninitialized);
  ReadClipRange(ed, range, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

}  // namespace

bool Teditform::EditItemEnabled(QAction* item) {
  Bearbeiten1Click();
  return item->isEnabled();
}

void Teditform::Rckgngig1Click() {
  if (Editor().CanUndo()) Editor().Undo();
  TellChangedMeanwhile();
  EnableSaveIfModified();
  Bearbeiten1Click();
}

void Teditform::Wiederherstellen1Click() {
  if (Editor().CanRedo()) Editor().Redo();
  TellChangedMeanwhile();
  EnableSaveIfModified();
  Bearbeiten1Click();
}

// Whether the selection fits the clipboard (the user is told when not).
bool Teditform::SelectionFitsClipboard() {
  return AcceptLargeWork(this, true, ClipboardRefusal(ClipRange(Editor()).Count, PhysicalMemoryBytes()));
}

void Teditform::Kopieren1Click() {
  if (EditItemEnabled(Kopieren1) && SelectionFitsClipboard()) Clipboard().PutBytes(SelectedBytes(Editor()));
}

void Teditform::Ausschneiden1Click() {
  if (EditItemEnabled(Ausschneiden1) && SelectionFitsClipboard()) {
    Clipboard().PutBytes(SelectedBytes(Editor()));
    Editor().DeleteSelection();
  }
  EnableSaveIfModified();
  Bearbeiten1Click();
}

void Teditform::Einfgen1Click() {
  if (EditItemEnabled(Einfgen1)) {
    const QByteArray bytes = Clipboard().PasteBytes();
    PasteBytes(Editor(), reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size()));
  }
  EnableSaveIfModified();
  Bearbeiten1Click();
}

}  // namespace byteloom
