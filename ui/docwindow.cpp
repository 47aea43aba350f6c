// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/docwindow.h"

#include "control/documents.h"
#include "control/hexeditor.h"

namespace byteloom {

void TDocumentWindow::RefreshCaption() {
  setWindowTitle(FDocumentName + QString::fromStdString(CaptionMarks(Editor().Modified(), FCaptionMark.toStdString())));
}

}  // namespace byteloom
