// SPDX-License-Identifier: GPL-3.0-or-later
#include "control/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace byteloom {

namespace {

constexpr const char* kInfoMagic = "BYTELOOM-RECOVERY 2";
// Two slots of this size; a path of 4,095 bytes, every byte escaped, fits one.
constexpr int64_t kSlotSize = 16384;

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

uint64_t CheckSum(const char* data, size_t size) {
  uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (size_t i = 0; i < size; ++i) h = (h ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
  return h;
}

std::string SumLine(const std::string& body) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "sum %016llx\n", static_cast<unsigned long long>(CheckSum(body.data(), body.size())));
  return buf;
}

// One slot: its record when it is whole, with its sequence number.
bool ParseSlot(const std::string& slot, TRecoveryInfo& info, uint64_t& seq) {
  const size_t sum = slot.find("\nsum ");
  if (sum == std::string::npos || slot.compare(0, std::strlen(kInfoMagic) + 1, std::string(kInfoMagic) + "\n") != 0)
    return false;
  const std::string body = slot.substr(0, sum + 1);
  const size_t end = slot.find('\n', sum + 1);
  if (end == std::string::npos || slot.substr(sum + 1, end - sum) != SumLine(body)) return false;
  std::istringstream in(body);
  std::string line;
  std::getline(in, line);
  bool haveFile = false;
  while (std::getline(in, line)) {
    const auto space = line.find(' ');
    const std::string key = line.substr(0, space), value = space == std::string::npos ? "" : line.substr(space + 1);
    if (key == "seq") seq = std::strtoull(value.c_str(), nullptr, 10);
    if (key == "boot") info.BootId = value;
    if (key == "pidns") info.PidSpace = value;
    if (key == "pid") info.Pid = std::strtoll(value.c_str(), nullptr, 10);
    if (key == "start") info.StartTime = std::strtoull(value.c_str(), nullptr, 10);
    if (key == "changed") info.Changed = value == "1";
    if (key == "untitled") info.Untitled = value == "1";
    if (key == "intent") info.Intent = DecodeName(value);
    if (key == "file") {
      info.FileName = DecodeName(value);
      haveFile = true;
    }
  }
  return haveFile && info.Pid > 0;
}

}  // namespace

std::string EncodeName(const std::string& name) {
  std::string out;
  for (unsigned char c : name) {
    if (c > ' ' && c < 0x7F && c != '%') {
      out += static_cast<char>(c);
    } else {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string DecodeName(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string RecoveryInfoName(const std::string& workFile) { return workFile + ".info"; }

void TRecoverySidecar::Open(const std::string& workFile) {
  const std::string name = RecoveryInfoName(workFile);
  try {
    FFile = TTempFile::CreateNamed(name);
  } catch (const EFileError& e) {
    // The working copy's name was free, so a sidecar of that name is a
    // leftover whose working copy is gone.
    if (e.Errno() != EEXIST) throw;
    struct stat st;
    if (lstat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) throw;
    unlink(name.c_str());
    FFile = TTempFile::CreateNamed(name);
  }
  FFile.Handle().Reserve(2 * kSlotSize);
  TakeOwnerLock(FFile.Handle().Fd(), name);
  FSeq = 0;
}

void TRecoverySidecar::Write(const std::string& fileName, bool untitled, bool changed, const std::string& intent) {
  if (!IsOpen()) return;
  std::ostringstream s;
  const TOwnerStamp self = SelfStamp();
  s << kInfoMagic << "\nseq " << FSeq + 1 << "\nboot " << self.BootId << "\npidns " << self.PidSpace << "\npid "
    << self.Pid << "\nstart " << self.StartTime << "\nchanged " << (changed ? 1 : 0) << "\nuntitled "
    << (untitled ? 1 : 0) << "\n";
  if (!intent.empty()) s << "intent " << EncodeName(intent) << "\n";
  s << "file " << EncodeName(untitled ? fileName : AbsolutePath(fileName)) << "\n";
  std::string text = s.str();
  text += SumLine(text);
  if (static_cast<int64_t>(text.size()) >= kSlotSize) throw EFileError("The file name is too long for the recovery record");
  // Not synced: it is there for a crash of the program; after a power loss
  // the working copy, which is not synced either, may be gone as well.
  FFile.Handle().WriteAt(text.data(), static_cast<int64_t>(text.size()), ((FSeq + 1) % 2) * kSlotSize);
  ++FSeq;
}

void TRecoverySidecar::Abandon() {
  if (!IsOpen()) return;
  // A second descriptor keeps the lock's open file until the process ends.
  if (dup(FFile.Handle().Fd()) < 0) return;
  FFile.Release();
}

void WriteRecoveryInfo(const std::string& workFile, const std::string& fileName, bool changed,
                       const std::string& intent) {
  TRecoverySidecar sidecar;
  sidecar.Open(workFile);
  sidecar.Write(fileName, fileName == "Untitled", changed, intent);
  sidecar.Write(fileName, fileName == "Untitled", changed, intent);  // both slots
  sidecar.Abandon();
}

bool ReadRecoveryInfo(const std::string& infoFile, TRecoveryInfo& info) {
  struct stat st;
  if (!OwnFile(infoFile, &st) || st.st_size > 4 * kSlotSize) return false;
  const std::string text = ReadText(infoFile);
  bool found = false;
  uint64_t best = 0;
  for (int64_t at = 0; at < 2 * kSlotSize && at < static_cast<int64_t>(text.size()); at += kSlotSize) {
    TRecoveryInfo slot;
    uint64_t seq = 0;
    if (!ParseSlot(text.substr(static_cast<size_t>(at), kSlotSize), slot, seq) || (found && seq <= best)) continue;
    info = slot;
    best = seq;
    found = true;
  }
  info.InfoFile = infoFile;
  info.WorkFile = infoFile.substr(0, infoFile.size() - 5);
  return found;
}

TOwnerState OwnerState(const TRecoveryInfo& info) {
  const int fd = open(info.InfoFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  const TOwnerState state = OwnerStateOf({info.Pid, info.StartTime, info.BootId, info.PidSpace}, fd, errno);
  if (fd >= 0) close(fd);
  return state;
}

std::vector<TRecoveryInfo> FindRecoverable() {
  std::vector<TRecoveryInfo> found;
  for (const std::string& folder : ExistingWorkFolders()) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) continue;
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) names.emplace_back(e->d_name);
    closedir(dir);
    for (const std::string& name : names) {
      if (name.size() != 18 || name.compare(13, 5, ".info") != 0 || !IsWorkFileName(name.substr(0, 13))) continue;
      TRecoveryInfo info;
      // A sidecar that cannot be read whole is kept with its working copy.
      if (!ReadRecoveryInfo(folder + name, info) || OwnerState(info) != TOwnerState::osGone) continue;
      struct stat st;
      if (lstat(info.WorkFile.c_str(), &st) != 0) {
        // Only a working copy that is gone leaves its sidecar without use.
        if (errno == ENOENT) unlink(info.InfoFile.c_str());
        continue;
      }
      if (!S_ISREG(st.st_mode) || st.st_uid != geteuid()) continue;
      if (info.Changed || !info.Intent.empty())
        found.push_back(info);
      else
        DiscardRecoverable(info);
    }
  }
  return found;
}

void DiscardRecoverable(const TRecoveryInfo& info) {
  // The working copy first: a sidecar left alone is cleared at the next start.
  if (OwnFile(info.WorkFile)) unlink(info.WorkFile.c_str());
  if (OwnFile(info.InfoFile)) unlink(info.InfoFile.c_str());
}

std::string RecoverQuestion(const TRecoveryInfo& info) {
  std::string text = "Recover unsaved changes of " + info.FileName + "?";
  if (!info.Intent.empty())
    text += "\nThe last change may be incomplete (" + info.Intent +
            " was under way): check the bytes from that offset on before you save.";
  return text;
}

}  // namespace byteloom
