// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a file in an editor window: the file is loaded into the window's
// control, and the outcome says what the window tells the user about it,
// once: that the file opens read-only, or why it does not open at all.
#pragma once

#include <string>

namespace byteloom {

class THexEditor;

struct TOpenOutcome {
  bool Loaded = false;
  // Loaded, but it cannot be written: "Fehler bei Dateizugriff".
  bool ReadOnly = false;
  // Why it did not load (the control's reason, or an error's message); the
  // control then holds no document.
  std::string Reason;
};

TOpenOutcome OpenDocumentFile(THexEditor& editor, const std::string& fileName);

}  // namespace byteloom
