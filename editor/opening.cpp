// SPDX-License-Identifier: GPL-3.0-or-later
#include "editor/opening.h"

#include "control/hexeditor.h"
#include "platform/guard.h"

namespace byteloom {

TOpenOutcome OpenDocumentFile(THexEditor& editor, const std::string& fileName) {
  TOpenOutcome outcome;
  try {
    outcome.Loaded = editor.LoadFromFile(fileName);
    outcome.Reason = editor.LastError();
  } catch (...) {
    outcome.Loaded = false;
    outcome.Reason = ExceptionText(std::current_exception());
  }
  outcome.ReadOnly = outcome.Loaded && editor.ReadOnly();
  if (outcome.Loaded) outcome.Reason.clear();
  return outcome;
}

}  // namespace byteloom
