// SPDX-License-Identifier: GPL-3.0-or-later
// Teditform: printing and exporting the document (File > Print, File >
// Export > as Textfile), through the frame's shared dialogs.
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"
#include "ui/dialogservice.h"

namespace byteloom {

void Teditform::Print1Click() { Dialogs().ShowModal(Frame().PrintForm()); }

void Teditform::asTextfile1Click() { Dialogs().ShowModal(Frame().ExportForm()); }

}  // namespace byteloom
