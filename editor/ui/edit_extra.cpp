// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: Find All, Copy as, Paste hex text, and the exports in the
// formats other tools read (File > Export).
#include <QAction>
#include <QMenu>

#include "control/byteformats.h"
#include "control/hexeditor.h"
#include "editor/clipdata.h"
#include "editor/ui/clipboard.h"
#include "editor/ui/Editwin.h"
#include "editor/ui/findallform.h"
#include "editor/ui/framelink.h"
#include "platform/filenames.h"
#include "platform/platform.h"
#include "ui/dialogservice.h"
#include "ui/progress.h"
#include "ui/qtext.h"
#include "ui/uibuild.h"

namespace byteloom {

using namespace uibuild;

void Teditform::FindAllItems(QMenu* edit) {
  OnClick(Item(edit, "FindAll1", QStringLiteral("Find All...")), [this] { FindAll1Click(); });
}

void Teditform::CopyAsItems(QMenu* edit) {
  QMenu* copyAs = SubMenu(edit, "CopyAs1", QStringLiteral("Copy as"));
  const std::pair<const char*, TByteFormat> kinds[] = {{"Hex text", TByteFormat::bfHexText},
                                                       {"C array", TByteFormat::bfCArray},
                                                       {"Python bytes", TByteFormat::bfPython},
                                                       {"Base64", TByteFormat::bfBase64}};
  for (const auto& [caption, format] : kinds)
    OnClick(Item(copyAs, "CopyAsItem", QString::fromLatin1(caption)), [this, f = format] { CopyAsClick(f); });
  connect(copyAs, &QMenu::aboutToShow, this, [this, copyAs] {
    for (QAction* a : copyAs->actions()) a->setEnabled(Editor().SelCount() > 0);
  });
  OnClick(Item(edit, "PasteHexText1", QStringLiteral("Paste hex text")), [this] { PasteHexText1Click(); });
}

void Teditform::ExportFormatItems(QMenu* exportMenu) {
  const std::pair<const char*, TByteFormat> kinds[] = {{"as xxd dump", TByteFormat::bfXxd},
                                                       {"as Intel HEX", TByteFormat::bfIntelHex},
                                                       {"as Motorola S-record", TByteFormat::bfSRecord},
                                                       {"as Base64", TByteFormat::bfBase64},
                                                       {"as C array", TByteFormat::bfCArray}};
  for (const auto& [caption, format] : kinds)
    OnClick(Item(exportMenu, "ExportAsItem", QString::fromLatin1(caption)), [this, f = format] { ExportAsClick(f); });
}

void Teditform::FindAll1Click() {
  auto* form = findChild<TFindAllForm*>();
  if (!form) form = new TFindAllForm(Editor(), Frame().Bookmarks(), this);
  form->show();
  form->raise();
  form->activateWindow();
}

void Teditform::CopyAsClick(TByteFormat format) {
  const TClipRange range = ClipRange(Editor());
  if (range.Count == 0) return;
  std::vector<uint8_t> bytes(static_cast<size_t>(range.Count));
  ReadClipRange(Editor(), range, bytes.data());
  Clipboard().PutText(QString::fromStdString(FormatBytes(format, bytes.data(), bytes.size(), range.First)));
}

void Teditform::PasteHexText1Click() {
  const THexParse parsed = ParseHexText(Clipboard().Text().toStdString());
  if (!parsed.Error.empty()) {
    Dialogs().MessageDlg(this, QStringLiteral("The clipboard holds no hex text: %1.").arg(QString::fromStdString(parsed.Error)),
                         TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  if (!parsed.Bytes.empty()) PasteBytes(Editor(), parsed.Bytes.data(), parsed.Bytes.size());
  EnableSaveIfModified();
  Bearbeiten1Click();
}

void Teditform::ExportAsClick(TByteFormat format) {
  THexEditor& ed = Editor();
  // The selection, or the whole document.
  int64_t from = 0, to = ed.DataSize() - 1;
  if (ed.SelCount() > 0) {
    from = std::min(ed.SelStart(), ed.SelEnd());
    to = std::max(ed.SelStart(), ed.SelEnd());
  }
  TFileDialog& dialog = Frame().SaveDialog();
  if (!dialog.Execute(this)) return;
  const std::string target = ToFileName(dialog.FileName());
  const TSizeCheck size =
      CheckTextSize(FormattedTextSize(format, from, to, ed.DataSize()), FreeSpaceBytes(ExtractFilePath(target)));
  if (!AcceptLargeWork(this, size.Refused, size.Text)) return;
  TLongWork work(this, QStringLiteral("Exporting..."), true);
  ShowWarning(this, ExportFormatted(ed, format, from, to, target,
                                    work.Progress())
                        .Warning);
}

}  // namespace byteloom
