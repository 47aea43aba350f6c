// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/backups.h"
#include "platform/filenames.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "platform/platform.h"
#include "platform/store.h"

namespace byteloom {

namespace {

constexpr const char* kBackupAttr = "user.byteloom.backup-of";
constexpr size_t kMaxRecords = 500;

// The record file holds at most kMaxRecords lines of two paths each.
constexpr int64_t kMaxRecordSize = int64_t{8} << 20;

// The record lines "dev ino size mtime ctime backup\tfile" of backups on file
// systems without extended attributes (times in nanoseconds). A deleted
// backup's inode number can be given to a new file, the user's own file of
// that name; its size and times tell it apart (the change time cannot be
// set back, and a new file gets a new one). Lines of the earlier form
// "dev ino backup\tfile" never match: such a backup is asked about once.
std::string RecordKey(const struct stat& st, const std::string& backup) {
  const TStoreIdentity id = IdentityOf(st);
  return std::to_string(id.Dev) + " " + std::to_string(id.Ino) + " " + std::to_string(id.Size) + " " +
         std::to_string(id.MtimeNs) + " " + std::to_string(id.CtimeNs) + " " + AbsolutePath(backup) + "\t";
}

bool& AttributesUsed() {
  static bool used = true;
  return used;
}

// The record file's text; empty (and reported once) when it cannot be used.
bool ReadRecords(std::string& text) {
  const std::string record = BackupRecordFile();
  TStoreText store = ReadStore(record, kMaxRecordSize);
  if (!store.Usable) {
    ReportStoreProblem("The record of backups " + record + " " + store.Problem +
                       "; backups are not recorded in it, and saving asks before replacing a backup.");
    return false;
  }
  text = std::move(store.Text);
  return true;
}

std::string FileAttrOwner(const std::string& backup, bool& supported) {
  if (!AttributesUsed()) {
    supported = false;
    return {};
  }
  char buf[4096];
  const ssize_t n = lgetxattr(backup.c_str(), kBackupAttr, buf, sizeof buf);
  supported = n >= 0 || errno == ENODATA;
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string& RecordFileSetting() {
  static std::string path;
  return path;
}

}  // namespace

// ---------------------------------------------------------------------------
// Backup owners
// ---------------------------------------------------------------------------

std::string BackupRecordFile() {
  if (!RecordFileSetting().empty()) return RecordFileSetting();
  return SettingsFolder() + "/Tarnwick-backups";
}

void SetBackupRecordFile(const std::string& path) { RecordFileSetting() = path; }

void UseBackupAttributes(bool use) { AttributesUsed() = use; }

void MarkBackup(const std::string& backup, const std::string& file) {
  const std::string owner = AbsolutePath(file);
  int fd = open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const bool attr =
      ok && AttributesUsed() && fsetxattr(fd, kBackupAttr, owner.data(), owner.size(), 0) == 0;
  close(fd);
  if (!ok || attr) return;
  // No extended attributes here: a line in the record file, newest last.
  // (The status was taken before the failed attempt, which changes nothing.)
  const std::string key = RecordKey(st, backup);
  const std::string inode = std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " ";
  const std::string name = " " + AbsolutePath(backup) + "\t";
  std::string text;
  // A record that cannot be read is not replaced by one that lost its lines.
  if (!ReadRecords(text)) return;
  std::istringstream old(text);
  std::vector<std::string> lines;
  // Lines of the same name or of the same inode are of earlier backups.
  for (std::string line; std::getline(old, line);)
    if (!line.empty() && line.compare(0, inode.size(), inode) != 0 && line.find(name) == std::string::npos)
      lines.push_back(line);
  lines.push_back(key + owner);
  if (lines.size() > kMaxRecords) lines.erase(lines.begin(), lines.end() - kMaxRecords);
  text.clear();
  for (const auto& line : lines) text += line + "\n";
  try {
    WriteStore(BackupRecordFile(), text, true);
  } catch (const EFileError&) {
    // Without the record, the next save asks before replacing this backup.
  }
}

std::string RecordedOwner(const std::string& backup) {
  struct stat st;
  if (lstat(backup.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
  bool supported = false;
  const std::string owner = FileAttrOwner(backup, supported);
  if (!owner.empty() || supported) return owner;
  std::string text;
  if (!ReadRecords(text)) return {};
  const std::string key = RecordKey(st, backup);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.size() > key.size() && line.compare(0, key.size(), key) == 0) return line.substr(key.size());
  return {};
}

bool IsBackupOf(const std::string& backup, const std::string& file) {
  const std::string owner = RecordedOwner(backup);
  return !owner.empty() && owner == AbsolutePath(file);
}

std::string BackupQuestion(const std::string& backup, const std::string& file) {
  return ExtractFileName(backup) + " exists and is not a backup of " + ExtractFileName(file) + ". Replace it?";
}

}  // namespace byteloom
