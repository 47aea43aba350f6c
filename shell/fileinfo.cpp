// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/fileinfo.h"

#include <ctime>

#include "platform/filefacts.h"
#include "platform/filenames.h"
#include "shell/restore.h"

namespace byteloom {

std::string FormatFileTime(int64_t time) {
  const std::time_t t = static_cast<std::time_t>(time);
  std::tm local {};
  if (!localtime_r(&t, &local)) return "-";
  char text[128];
  const size_t n = std::strftime(text, sizeof text, "%x %a %H:%M", &local);
  return n ? std::string(text, n) : "-";
}

std::string BackupText(TBackupKind kind) {
  switch (kind) {
    case TBackupKind::bkBakTilde: return "Yes, a .bak~ is available";
    case TBackupKind::bkBak: return "Yes, a .bak is available";
    case TBackupKind::bkNone: break;
  }
  return "No, there\u00B4s no Backup available";
}

TFilePropertyTexts FilePropertyTexts(const std::string& name, const std::function<std::string(int64_t)>& formatTime) {
  TFilePropertyTexts texts;
  const TFileFacts facts = ReadFileFacts(name);
  if (!facts.Found) return texts;
  const std::string fileName = ExtractFileName(name);
  texts.Name = fileName;
  texts.DosName = fileName;
  texts.Type = ExtractFileExt(fileName) + " File";
  texts.Destination = ExtractFilePath(name);
  texts.Size = std::to_string(facts.Size) + " Bytes";
  if (facts.HasBirthTime) texts.Created = formatTime(facts.BirthTime);
  texts.LastChange = formatTime(facts.ModifyTime);
  texts.LastAccess = formatTime(facts.AccessTime);
  texts.Backup = BackupText(FindBackup(name).Kind);
  texts.WriteProtected = !facts.Writable;
  texts.Hidden = fileName.starts_with('.');
  return texts;
}

}  // namespace byteloom
