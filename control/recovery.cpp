#include "control/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace byteloom {

namespace {

constexpr const char* kInfoMagic = "BYTELOOM-RECOVERY 1";

// Start time of a process in clock ticks since boot (field 22 of its stat), 0 if unknown.
uint64_t ProcessStartTime(int64_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  const auto close = line.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream rest(line.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22 && rest >> field; ++i)
    if (i == 22) return std::strtoull(field.c_str(), nullptr, 10);
  return 0;
}

// A regular file (not a link) owned by this user.
bool OwnFile(const std::string& path, struct stat* out = nullptr) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) return false;
  if (out) *out = st;
  return true;
}

bool IsWorkFileName(const std::string& name) {
  if (name.size() != 13 || name.compare(8, 5, ".BLWT") != 0) return false;
  for (int i = 0; i < 8; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(name[static_cast<size_t>(i)]))) return false;
  return true;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}


}  // namespace

std::string RecoveryInfoName(const std::string& workFile) { return workFile + ".info"; }

void WriteRecoveryInfo(const std::string& workFile, const std::string& fileName, bool changed) {
  std::ostringstream s;
  s << kInfoMagic << "\npid " << getpid() << "\nstart " << ProcessStartTime(getpid()) << "\nchanged "
    << (changed ? 1 : 0) << "\nfile " << fileName << "\n";
  // Not synced: it survives a crash of the program; after a power loss the
  // working copy, which is not synced either, may be gone as well.
  WriteFileAtomically(RecoveryInfoName(workFile), s.str(), false);
}

void RemoveRecoveryInfo(const std::string& workFile) {
  const std::string info = RecoveryInfoName(workFile);
  if (OwnFile(info)) unlink(info.c_str());
}

bool ReadRecoveryInfo(const std::string& infoFile, TRecoveryInfo& info) {
  struct stat st;
  if (!OwnFile(infoFile, &st) || st.st_size > 65536) return false;
  std::istringstream in(ReadText(infoFile));
  std::string line;
  if (!std::getline(in, line) || line != kInfoMagic) return false;
  info = TRecoveryInfo{};
  info.InfoFile = infoFile;
  info.WorkFile = infoFile.substr(0, infoFile.size() - 5);
  bool haveFile = false;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string key = line.substr(0, space), value = line.substr(space + 1);
    if (key == "pid") info.Pid = std::strtoll(value.c_str(), nullptr, 10);
    if (key == "start") info.StartTime = std::strtoull(value.c_str(), nullptr, 10);
    if (key == "changed") info.Changed = value == "1";
    if (key == "file") {
      info.FileName = value;
      haveFile = true;
    }
  }
  return haveFile && info.Pid > 0;
}

bool OwnerAlive(const TRecoveryInfo& info) {
  if (kill(static_cast<pid_t>(info.Pid), 0) != 0 && errno == ESRCH) return false;
  return ProcessStartTime(info.Pid) == info.StartTime;
}

std::vector<TRecoveryInfo> FindRecoverable(const std::string& tempDir) {
  std::vector<TRecoveryInfo> found;
  DIR* dir = opendir(tempDir.c_str());
  if (!dir) return found;
  std::vector<std::string> names;
  while (dirent* e = readdir(dir)) names.emplace_back(e->d_name);
  closedir(dir);
  for (const std::string& name : names) {
    if (name.size() != 18 || name.compare(13, 5, ".info") != 0 || !IsWorkFileName(name.substr(0, 13))) continue;
    TRecoveryInfo info;
    if (!ReadRecoveryInfo(tempDir + name, info) || OwnerAlive(info)) continue;
    if (!OwnFile(info.WorkFile)) {
      // The working copy is gone: only the sidecar is left over.
      unlink(info.InfoFile.c_str());
      continue;
    }
    if (info.Changed)
      found.push_back(info);
    else
      DiscardRecoverable(info);
  }
  return found;
}

void DiscardRecoverable(const TRecoveryInfo& info) {
  if (OwnFile(info.WorkFile)) unlink(info.WorkFile.c_str());
  if (OwnFile(info.InfoFile)) unlink(info.InfoFile.c_str());
}

std::string RecoverQuestion(const TRecoveryInfo& info) {
  return "Recover unsaved changes of " + info.FileName + "?";
}

}  // namespace byteloom
