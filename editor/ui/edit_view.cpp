// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's View menu, the Edit menu state and the value info
// panel, and the frame's buttons kept in step with the document.
#include <QAction>
#include <QMenu>

#include "control/bytesource.h"
#include "control/hexeditor.h"
#include "editor/ui/clipboard.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "editor/ui/valuepanel.h"
#include "editor/valueinfo.h"
#include "ui/qhexeditor.h"

namespace byteloom {

namespace {

void CheckByTag(const std::initializer_list<QAction*>& items, int tag) {
  for (QAction* item : items)
    if (item->data().toInt() == tag) item->setChecked(true);
}

}  // namespace

// ---------------------------------------------------------------------------
// Keeping the frame in step
// ---------------------------------------------------------------------------

void Teditform::EnableSaveIfModified() {
  RefreshCaption();
  if (Editor().Modified()) Frame().SetItemEnabled(TFrameItem::fiSave, true);
}

void Teditform::HexEditor1Click() { EnableSaveIfModified(); }

void Teditform::HexEditor1KeyUp() {
  EnableSaveIfModified();
  UpdateValueInfo();
  // A selection made with the keys enables Copy and Cut (and their keys) at once.
  Bearbeiten1Click();
}

void Teditform::HexEditor1MouseUp() {
  UpdateValueInfo();
  Bearbeiten1Click();
  EnableSaveIfModified();
}

void Teditform::UpdateValueInfo() {
  TEditorSource bytes(Editor());
  Value_Info_Panel->ShowAddresses(Editor().IsLive());
  try {
    ComputeValueInfo(bytes, CaretPlaceOf(Editor()), [this](TValueBox box, const std::string& text) {
      Value_Info_Panel->SetCaption(box, QString::fromStdString(text));
    });
    ComputeTypedValues(bytes, Editor().GetCursorPos(), [this](const TValueFormat& format, const std::string& text) {
      Value_Info_Panel->SetTypedValue(format, QString::fromStdString(text));
    });
  } catch (...) {
    // A failed read ends the refresh; the boxes not reached keep their captions.
  }
}

void Teditform::ShowValueInfo1Click() { Value_Info_Panel->setVisible(Value_Info_Panel->isHidden()); }

void Teditform::Preferences1Click() { Frame().RunCommand(TFrameCommand::fcPreferences); }

// ---------------------------------------------------------------------------
// Menu state
// ---------------------------------------------------------------------------

void Teditform::Bearbeiten1Click() {
  THexEditor& ed = Editor();
  TFrameLink& frame = Frame();
  const bool undo = ed.CanUndo();
  const bool selection = ed.SelCount() > 0;
  const bool document = ed.DataSize() > 0;
  const bool clipboard = Clipboard().CanPaste();

  Rckgngig1->setEnabled(undo);
  Rckgngig1->setText(QStringLiteral("Undo : ") + QString::fromStdString(ed.UndoDescription()));
  frame.SetItemEnabled(TFrameItem::fiUndo, undo);
  Undo1->setEnabled(undo);
  Wiederherstellen1->setEnabled(ed.CanRedo());
  Wiederherstellen1->setText(QStringLiteral("Redo : ") + QString::fromStdString(ed.RedoDescription()));
  Redo1->setEnabled(ed.CanRedo());
  Ausschneiden1->setEnabled(selection);
  Kopieren1->setEnabled(selection);
  Einfgen1->setEnabled(clipboard);
  DeleteNibble1->setEnabled(document);
  Goto1->setEnabled(document);
  Find1->setEnabled(document);
  FindNext1->setEnabled(document);
  frame.SetItemEnabled(TFrameItem::fiCut, selection);
  frame.SetItemEnabled(TFrameItem::fiCopy, selection);
  frame.SetItemEnabled(TFrameItem::fiPaste, clipboard);
  frame.SetItemEnabled(TFrameItem::fiPrint, document);
  frame.SetItemEnabled(TFrameItem::fiSearch, document);
  frame.SetItemEnabled(TFrameItem::fiSearchAgain, document);
  Cut1->setEnabled(selection);
  Copy1->setEnabled(selection);
  Paste1->setEnabled(clipboard);
  Goto2->setEnabled(document);
  Find2->setEnabled(document);
  BinaryEdit1->setEnabled(document);
  FindNext2->setEnabled(document);
  ShowValueInfo1->setChecked(!Value_Info_Panel->isHidden());
}

void Teditform::PopupMenu1Popup() { Bearbeiten1Click(); }

void Teditform::InsertNibble1Click() {
  THexEditor& ed = Editor();
  const bool highHalf = ed.IsCharFieldActive() || ed.Col() % 2 == 0;
  ed.InsertNibble(ed.GetCursorPos(), highHalf);
}

void Teditform::DeleteNibble1Click() {
  THexEditor& ed = Editor();
  const bool highHalf = ed.IsCharFieldActive() || ed.Col() % 2 == 0;
  ed.DeleteNibble(ed.GetCursorPos(), highHalf);
}

void Teditform::View1Click() {
  THexEditor& ed = Editor();
  CheckByTag({_16, _32, _64}, ed.BytesPerLine());
  CheckByTag({N1Byteperblock1, N2Bytesperblock1, N4Bytesperblock1}, ed.BytesPerColumn());
  CheckByTag({Hex1, Dec1, None1}, static_cast<int>(ed.OffsetDisplay()));
  CheckByTag({ANSI1, DOS8Bit1, ASCII7Bit1, Mac1, IBMEBCDICCP381}, static_cast<int>(ed.Translation()));
  Grid1->setChecked(ed.GridLineWidth() == 1);
  Showmarkers1->setChecked(ed.ShowMarkerColumn());
  SwapNibbles1->setChecked(ed.SwapNibbles());
  MaskWhiteSpaces1->setChecked(ed.MaskWhiteSpaces());
}

void Teditform::_16Click(QAction* item) { Editor().SetBytesPerLine(item->data().toInt()); }

void Teditform::N1Byteperblock1Click(QAction* item) { Editor().SetBytesPerColumn(item->data().toInt()); }

void Teditform::Hex1Click(QAction* item) {
  Editor().SetOffsetDisplay(static_cast<TOffsetDisplayStyle>(item->data().toInt()));
}

void Teditform::ANSI1Click(QAction* item) {
  Editor().SetTranslation(static_cast<TTranslationType>(item->data().toInt()));
}

void Teditform::Grid1Click() { Editor().SetGridLineWidth(1 - Editor().GridLineWidth()); }

void Teditform::Showmarkers1Click() { Editor().SetShowMarkerColumn(!Editor().ShowMarkerColumn()); }

void Teditform::SwapNibbles1Click() { Editor().SetSwapNibbles(!Editor().SwapNibbles()); }

void Teditform::MaskWhiteSpaces1Click() { Editor().SetMaskWhiteSpaces(!Editor().MaskWhiteSpaces()); }

}  // namespace byteloom

