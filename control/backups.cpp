#include "control/backups.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/platform.h"

namespace byteloom {

namespace {

constexpr const char* kBackupAttr = "user.byteloom.backup-of";
constexpr size_t kMaxRecords = 500;

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The record lines "dev ino backup\tfile" of backups on file systems without
// extended attributes.
std::string RecordKey(const struct stat& st, const std::string& backup) {
  return std::to_string(st.st_dev) + " " + std::to_string(st.st_ino) + " " + AbsolutePath(backup) + "\t";
}

std::string FileAttrOwner(const std::string& backup, bool& supported) {
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
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string base = xdg && *xdg ? xdg : std::string(home ? home : "/tmp") + "/.config";
  return base + "/Velmora/Tarnwick-backups";
}

void SetBackupRecordFile(const std::string& path) { RecordFileSetting() = path; }

void MarkBackup(const std::string& backup, const std::string& file) {
  const std::string owner = AbsolutePath(file);
  int fd = open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  const bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  const bool attr = ok && fsetxattr(fd, kBackupAttr, owner.data(), owner.size(), 0) == 0;
  close(fd);
  if (!ok || attr) return;
  // No extended attributes here: a line in the record file, newest last.
  const std::string key = RecordKey(st, backup);
  const std::string record = BackupRecordFile();
  std::istringstream old(ReadText(record));
  std::vector<std::string> lines;
  for (std::string line; std::getline(old, line);)
    if (line.compare(0, key.size(), key) != 0 && line.find(" " + AbsolutePath(backup) + "\t") == std::string::npos)
      lines.push_back(line);
  lines.push_back(key + owner);
  if (lines.size() > kMaxRecords) lines.erase(lines.begin(), lines.end() - kMaxRecords);
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  try {
    std::error_code ec;
    std::filesystem::create_directories(record.substr(0, record.find_last_of('/')), ec);
    WriteFileAtomically(record, text);
  } catch (const EFileError&) {
    // Without the record, the next save asks before replacing this backup.
  }
}

bool IsBackupOf(const std::string& backup, const std::string& file) {
  struct stat st;
  if (lstat(backup.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  bool supported = false;
  const std::string owner = FileAttrOwner(backup, supported);
  if (!owner.empty()) return owner == AbsolutePath(file);
  if (supported) return false;
  const std::string wanted = RecordKey(st, backup) + AbsolutePath(file);
  std::istringstream in(ReadText(BackupRecordFile()));
  for (std::string line; std::getline(in, line);)
    if (line == wanted) return true;
  return false;
}

std::string BackupQuestion(const std::string& backup, const std::string& file) {
  return BaseName(backup) + " exists and is not a backup of " + BaseName(file) + ". Replace it?";
}

}  // namespace byteloom
