// SPDX-License-Identifier: GPL-3.0-or-later
// Crash recovery of unsaved edits. Every changed document has a journal in
// the private work folder (document/journal.h) whose owner holds a lock on
// it for as long as it lives. At start the journals whose owner is gone are
// found; those with changes are offered back, those without are removed,
// and anything unclear is left alone. Edits come back only when replaying
// them over the file gives the document as it was: over the file when it is
// still the one the journal pins, else over its private snapshot.
#pragma once

#include <string>
#include <vector>

#include "document/journal.h"

namespace byteloom {

struct TRecoveryInfo {
  std::string Folder;     // the work folder the journal is in
  TFoundJournal Journal;
  std::string FileName;   // the document's file, absolute ("Untitled" for a new document)
  bool Untitled = false;  // a new document that was never saved
  // Why the edits cannot come back as they were ("FILE was changed by
  // another program ..."); empty when they can.
  std::string Problem;
};

// The crashed sessions' documents with unsaved changes, in all private work
// folders.
std::vector<TRecoveryInfo> FindRecoverable();
// Removes a journal and its files (the user declined the recovery).
void DiscardRecoverable(const TRecoveryInfo& info);
// "Recover unsaved changes of FILE?"; where they cannot come back, why, and
// whether to discard them.
std::string RecoverQuestion(const TRecoveryInfo& info);

}  // namespace byteloom
