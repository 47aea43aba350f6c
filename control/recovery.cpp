// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/recovery.h"

#include "platform/platform.h"

namespace byteloom {

std::vector<TRecoveryInfo> FindRecoverable() {
  std::vector<TRecoveryInfo> found;
  for (const std::string& folder : ExistingWorkFolders()) {
    try {
      const TFileHandle dir = OpenWorkFolderAt(folder);
      for (TFoundJournal& journal : FindJournals(dir.Fd())) {
        TRecoveryInfo info;
        info.Folder = folder;
        const TJournalHeader& header = journal.Contents.Header;
        info.Untitled = header.Untitled;
        info.FileName = header.Untitled ? "Untitled" : header.FileName;
        if (!header.Untitled) {
          const TJournalSource source = OpenJournalSource(dir.Fd(), header);
          if (!source.File.IsOpen())
            info.Problem = IdentityChangeText(header.FileName, source.Change) +
                           " Its unsaved changes from a session that ended unexpectedly cannot be put back over it.";
        }
        info.Journal = std::move(journal);
        found.push_back(std::move(info));
      }
    } catch (const EFileError&) {
      // A folder that cannot be read now is left for another start.
    }
  }
  return found;
}

void DiscardRecoverable(const TRecoveryInfo& info) {
  try {
    const TFileHandle dir = OpenWorkFolderAt(info.Folder);
    DiscardJournal(dir.Fd(), info.Journal);
  } catch (const EFileError&) {
  }
}

std::string RecoverQuestion(const TRecoveryInfo& info) {
  if (!info.Problem.empty()) return info.Problem + "\nDiscard them?";
  std::string text = "Recover unsaved changes of " + info.FileName + "?";
  if (info.Journal.Contents.Tail != TJournalTail::jtWhole)
    text += "\nThe last change was cut off when the session ended and does not come back.";
  return text;
}

}  // namespace byteloom
