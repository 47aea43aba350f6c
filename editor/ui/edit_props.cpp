// SPDX-License-Identifier: GPL-3.0-or-later
// The editor window's Edit > Properties: the frame shows the facts of this
// document's file on disk.
#include "editor/ui/Editwin.h"
#include "editor/ui/framelink.h"

namespace byteloom {

void Teditform::Properties1Click() { Frame().RunCommand(TFrameCommand::fcFileProperties); }

}  // namespace byteloom
