// SPDX-License-Identifier: GPL-3.0-or-later
// Running programs, read from /proc and through process_vm_readv /
// process_vm_writev.
#include "platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/platform.h"

extern char** environ;

namespace byteloom {

namespace {

constexpr uint64_t kPage = 4096;
// At most this many pieces per system call (IOV_MAX).
constexpr size_t kMaxPieces = 1024;

std::string ProcPath(int pid, const char* file) { return "/proc/" + std::to_string(pid) + "/" + file; }

// The whole of a small /proc file; false with errno set when it cannot be read.
bool ReadProcFile(const std::string& path, std::string& text) {
  text.clear();
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[16384];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      close(fd);
      errno = err;
      return false;
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

// The value after "key:" in a status file ("" when missing).
std::string StatusField(const std::string& status, const std::string& key) {
  const std::string head = key + ":";
  for (size_t at = 0; at < status.size();) {
    size_t end = status.find('\n', at);
    if (end == std::string::npos) end = status.size();
    if (status.compare(at, head.size(), head) == 0) {
      size_t from = at + head.size();
      while (from < end && (status[from] == ' ' || status[from] == '\t')) ++from;
      return status.substr(from, end - from);
    }
    at = end + 1;
  }
  return {};
}

std::string Comm(int pid) {
  std::string text;
  if (!ReadProcFile(ProcPath(pid, "comm"), text)) return {};
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string CommandLine(int pid) {
  std::string text;
  if (!ReadProcFile(ProcPath(pid, "cmdline"), text)) return {};
  while (!text.empty() && text.back() == '\0') text.pop_back();
  std::replace(text.begin(), text.end(), '\0', ' ');
  return text;
}

// The fields of /proc/PID/stat after the name: [0] is the state.
std::vector<std::string> StatFields(int pid) {
  std::string text;
  if (!ReadProcFile(ProcPath(pid, "stat"), text)) return {};
  const size_t close = text.rfind(')');  // the name may hold spaces and parentheses
  if (close == std::string::npos) return {};
  std::istringstream in(text.substr(close + 1));
  std::vector<std::string> fields;
  for (std::string f; in >> f;) fields.push_back(f);
  return fields;
}

// The real, effective and saved user ("Uid") or group ("Gid") ids of a
// process (empty when unknown).
std::vector<unsigned long> Ids(int pid, const char* which) {
  std::string status;
  std::vector<unsigned long> ids;
  if (!ReadProcFile(ProcPath(pid, "status"), status)) return ids;
  std::istringstream in(StatusField(status, which));
  for (unsigned long id; ids.size() < 3 && in >> id;) ids.push_back(id);
  return ids;
}

bool HasPtraceCapability() {
  std::string status;
  if (!ReadProcFile("/proc/self/status", status)) return false;
  const unsigned long long caps = std::strtoull(StatusField(status, "CapEff").c_str(), nullptr, 16);
  return (caps >> 19) & 1;  // CAP_SYS_PTRACE
}

// Yama's ptrace_scope, or -1 where the kernel has no Yama.
int YamaScope() {
  std::string text;
  if (!ReadProcFile("/proc/sys/kernel/yama/ptrace_scope", text)) return -1;
  return std::atoi(text.c_str());
}

bool IsOurDescendant(int pid) {
  const int self = getpid();
  for (int p = pid, steps = 0; p > 1 && steps < 4096; ++steps) {
    const auto fields = StatFields(p);
    if (fields.size() < 2) return false;
    p = std::atoi(fields[1].c_str());
    if (p == self) return true;
  }
  return false;
}

// Where Byteloom's program lies, for the setcap command.
std::string OurProgram() {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) {
    const std::string exe(path, static_cast<size_t>(n));
    if (exe.size() >= 9 && exe.compare(exe.size() - 9, 9, "/byteloom") == 0) return exe;
  }
  return "/usr/bin/byteloom";
}

std::string Describe(int pid) {
  const std::string name = Comm(pid);
  return (name.empty() ? "the process" : "\"" + name + "\"") + " (PID " + std::to_string(pid) + ")";
}

std::string EndedText(int pid) { return "The program " + Describe(pid) + " has ended."; }

[[noreturn]] void Refuse(int pid, int err) {
  if (err == ESRCH) throw EProcessError(EndedText(pid), err);
  throw EProcessError(ExplainRefusal(pid, err).Explanation, err);
}

// Moves count bytes between our buffer and the process at address, a page
// per piece so that a short count is exact; the bytes moved.
size_t Transfer(int pid, uint64_t address, void* local, size_t count, bool write) {
  auto* bytes = static_cast<uint8_t*>(local);
  size_t done = 0;
  iovec here[kMaxPieces], there[kMaxPieces];
  while (done < count) {
    size_t pieces = 0, asked = 0;
    for (uint64_t at = address + done; pieces < kMaxPieces && done + asked < count; ++pieces) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(kPage - at % kPage, count - done - asked));
      there[pieces] = {reinterpret_cast<void*>(at), n};
      here[pieces] = {bytes + done + asked, n};
      asked += n;
      at += n;
    }
    const ssize_t n = write ? process_vm_writev(pid, here, pieces, there, pieces, 0)
                            : process_vm_readv(pid, here, pieces, there, pieces, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      if (err == EFAULT) return done;  // an unmapped (or, writing, unwritable) page
      if (err == ESRCH || err == EPERM || err == EACCES) Refuse(pid, err);
      throw EProcessError(std::string("Cannot ") + (write ? "write" : "read") + " the memory of " + Describe(pid) +
                              ": " + ErrnoText(err),
                          err);
    }
    done += static_cast<size_t>(n);
    if (static_cast<size_t>(n) < asked) return done;
  }
  return done;
}

std::vector<TRegion> RegionsOf(int pid) {
  std::string text;
  if (!ReadProcFile(ProcPath(pid, "maps"), text)) {
    const int err = errno;
    Refuse(pid, err == ENOENT ? ESRCH : err);
  }
  return ParseMaps(text);
}

bool ParseHex(const std::string& text, size_t& at, uint64_t& value) {
  const size_t start = at;
  value = 0;
  for (; at < text.size() && std::isxdigit(static_cast<unsigned char>(text[at])); ++at) {
    if (at - start >= 16) return false;
    const char c = text[at];
    value = value * 16 + static_cast<uint64_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
  }
  return at > start;
}

bool Skip(const std::string& text, size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

bool SkipSpaces(const std::string& text, size_t& at) {
  const size_t start = at;
  while (at < text.size() && text[at] == ' ') ++at;
  return at > start;
}

std::optional<TRegion> ParseMapsLine(const std::string& line) {
  TRegion r;
  size_t at = 0;
  uint64_t major, minor, inode;
  if (!ParseHex(line, at, r.Start) || !Skip(line, at, '-') || !ParseHex(line, at, r.End) || r.End <= r.Start ||
      !SkipSpaces(line, at) || at + 4 > line.size())
    return std::nullopt;
  const std::string perms = line.substr(at, 4);
  if ((perms[0] != 'r' && perms[0] != '-') || (perms[1] != 'w' && perms[1] != '-') ||
      (perms[2] != 'x' && perms[2] != '-') || (perms[3] != 'p' && perms[3] != 's'))
    return std::nullopt;
  r.Read = perms[0] == 'r';
  r.Write = perms[1] == 'w';
  r.Exec = perms[2] == 'x';
  r.Shared = perms[3] == 's';
  at += 4;
  if (!SkipSpaces(line, at) || !ParseHex(line, at, r.FileOffset) || !SkipSpaces(line, at) ||
      !ParseHex(line, at, major) || !Skip(line, at, ':') || !ParseHex(line, at, minor) || !SkipSpaces(line, at))
    return std::nullopt;
  const size_t inodeStart = at;
  while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at]))) ++at;
  if (at == inodeStart || (at < line.size() && line[at] != ' ')) return std::nullopt;
  inode = std::strtoull(line.c_str() + inodeStart, nullptr, 10);
  (void)inode;
  SkipSpaces(line, at);
  r.Name = line.substr(at);  // the rest, spaces and all
  static const std::string kDeleted = " (deleted)";
  if (r.Name.size() > kDeleted.size() && r.Name.compare(r.Name.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    r.Name.resize(r.Name.size() - kDeleted.size());
    r.Deleted = true;
  }
  return r;
}

}  // namespace

std::string TRegion::Permissions() const {
  return std::string{Read ? 'r' : '-', Write ? 'w' : '-', Exec ? 'x' : '-', Shared ? 's' : 'p'};
}

std::vector<TRegion> ParseMaps(const std::string& text) {
  std::vector<TRegion> regions;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    if (auto r = ParseMapsLine(text.substr(at, end - at))) regions.push_back(std::move(*r));
    at = end + 1;
  }
  return regions;
}

TAccessRefusal ExplainRefusal(int pid, int err) {
  struct stat st{};
  if (err == ESRCH || (stat(ProcPath(pid, "").c_str(), &st) != 0 && errno == ENOENT))
    return {"it has ended", EndedText(pid)};
  const std::string who = Describe(pid);
  // The kernel lets a program read another only when our real user and
  // group are all of the other's user and group ids.
  const auto owner = Ids(pid, "Uid"), group = Ids(pid, "Gid");
  const auto differ = [](const std::vector<unsigned long>& ids, unsigned long ours) {
    return ids.empty() || std::any_of(ids.begin(), ids.end(), [ours](unsigned long id) { return id != ours; });
  };
  const uid_t us = getuid();
  const bool privileged = HasPtraceCapability();
  const int yama = YamaScope();
  const bool otherUser = !privileged && (differ(owner, us) || differ(group, getgid()));
  // A process that made itself undumpable has the files in /proc/PID owned
  // by root (the folder keeps its owner).
  const bool undumpable = !privileged && !otherUser && us != 0 && stat(ProcPath(pid, "status").c_str(), &st) == 0 && st.st_uid == 0;

  TAccessRefusal refusal;
  std::string cause;
  bool yamaWayOut = yama == 1 || yama == 2;
  if (otherUser) {
    refusal.Reason = "another user's process";
    const bool oneOwner = !owner.empty() && !differ(owner, owner[0]) && !group.empty() && !differ(group, group[0]);
    if (oneOwner && owner[0] != us)
      cause = who + " belongs to another user (user id " + std::to_string(owner[0]) +
              "), and the kernel lets only that user read its memory.";
    else if (oneOwner)
      cause = who + " runs in another user's group (group id " + std::to_string(group[0]) +
              "), and the kernel lets only programs of that user and group read its memory.";
    else
      cause = who + " runs with another user's rights (a set-user-ID or set-group-ID program), and the kernel "
              "lets only that user read its memory.";
    yamaWayOut = false;
  } else if (undumpable) {
    refusal.Reason = "it made itself unreadable";
    cause = who + " has made itself unreadable (it is not dumpable: a program that asks for it, or one started "
            "with rights it did not have before), so the kernel lets nobody but root read its memory.";
    yamaWayOut = false;
  } else if (yama == 1 && !IsOurDescendant(pid)) {
    refusal.Reason = "only its parent may read it (Yama)";
    cause = "The kernel's Yama setting (kernel.yama.ptrace_scope = 1) lets a program read only the memory of "
            "programs it started itself, and Byteloom did not start " + who + ".";
  } else if (yama == 2) {
    refusal.Reason = "only with cap_sys_ptrace (Yama)";
    cause = "The kernel's Yama setting (kernel.yama.ptrace_scope = 2) lets only programs with the cap_sys_ptrace "
            "capability read another program's memory, even one of your own.";
  } else if (yama == 3) {
    refusal.Reason = "nobody may read it (Yama)";
    cause = "The kernel's Yama setting (kernel.yama.ptrace_scope = 3) lets no program read another program's "
            "memory, and it cannot be lowered until the next boot.";
  } else {
    refusal.Reason = "the kernel refuses (" + ErrnoText(err) + ")";
    cause = "The kernel refused to let Byteloom read the memory of " + who + " (" + ErrnoText(err) +
            "); a security module such as AppArmor or SELinux may forbid it.";
  }

  std::string text = "Byteloom cannot read the memory of " + who + ".\n\n" + cause + "\n\nWays out:\n";
  if (yama != 3) {
    text += otherUser ? "- Start the program from Byteloom (File > Start program...), as your own user, or run "
                        "Byteloom as the user who owns it (not as root).\n"
                      : "- Start the program from Byteloom (File > Start program...): Byteloom may always read the "
                        "programs it started itself.\n";
  }
  if (yamaWayOut)
    text += "- Allow reading the programs of your own user until the next boot: sudo sysctl kernel.yama.ptrace_scope=0\n";
  if (yama != 3) {
    const std::string program = OurProgram();
    text += "- Give Byteloom the cap_sys_ptrace capability: sudo setcap cap_sys_ptrace+ep " + program +
            "\n  Beware: cap_sys_ptrace lets the program read and write the memory of every process on the machine, "
            "including other users' and root's, for everyone who runs it. Take it back with: sudo setcap -r " +
            program + "\n";
  }
  text += "\nDo not run Byteloom as root: it needs no root rights, and its windows are not made to run with them.";
  refusal.Explanation = text;
  return refusal;
}

std::vector<TProcessInfo> ListProcesses() {
  std::vector<TProcessInfo> list;
  DIR* dir = opendir("/proc");
  if (!dir) return list;
  const int self = getpid();
  while (dirent* e = readdir(dir)) {
    char* end = nullptr;
    const long pid = std::strtol(e->d_name, &end, 10);
    if (*end != '\0' || pid <= 0 || pid == self) continue;
    const auto fields = StatFields(static_cast<int>(pid));
    // Kernel threads (PF_KTHREAD) have no memory of their own.
    if (fields.size() < 7 || (std::strtoull(fields[6].c_str(), nullptr, 10) & 0x00200000u)) continue;
    TProcessInfo info;
    info.Pid = static_cast<int>(pid);
    info.Name = Comm(info.Pid);
    info.CommandLine = CommandLine(info.Pid);
    std::string status;
    if (ReadProcFile(ProcPath(info.Pid, "status"), status)) {
      info.MemoryBytes = std::strtoull(StatusField(status, "VmRSS").c_str(), nullptr, 10) * 1024;
      info.Uid = static_cast<uid_t>(std::strtoul(StatusField(status, "Uid").c_str(), nullptr, 10));
    }
    int err = 0;
    try {
      const auto regions = RegionsOf(info.Pid);
      const auto readable = std::find_if(regions.begin(), regions.end(), [](const TRegion& r) { return r.Read; });
      uint8_t byte;
      if (readable == regions.end()) err = ESRCH;
      else if (Transfer(info.Pid, readable->Start, &byte, 1, false) == 1) info.Readable = true;
      else err = EFAULT;
    } catch (const EProcessError& e) {
      err = e.Errno();
    }
    if (err == ESRCH && !TProcess::Alive(info.Pid)) continue;  // ended meanwhile
    if (!info.Readable) info.Reason = err == EFAULT ? "its memory cannot be read" : ExplainRefusal(info.Pid, err).Reason;
    list.push_back(std::move(info));
  }
  closedir(dir);
  std::sort(list.begin(), list.end(), [](const TProcessInfo& a, const TProcessInfo& b) { return a.Pid < b.Pid; });
  return list;
}

// ---------------------------------------------------------------------------
// TProcess
// ---------------------------------------------------------------------------

TProcess TProcess::Attach(int pid) {
  struct stat st{};
  if (pid <= 0 || stat(ProcPath(pid, "").c_str(), &st) != 0)
    throw EProcessError("There is no process with PID " + std::to_string(pid) + " (it may have ended).", ESRCH);
  TProcess process(pid);
  if (!process.Alive()) throw EProcessError(EndedText(pid), ESRCH);
  const auto regions = RegionsOf(pid);
  const auto readable = std::find_if(regions.begin(), regions.end(), [](const TRegion& r) { return r.Read; });
  if (readable == regions.end()) throw EProcessError(Describe(pid) + " has no memory that could be read.", EFAULT);
  uint8_t byte;
  if (process.Read(readable->Start, &byte, 1) != 1) {
    // The region may have gone just now; a refusal has raised already.
    if (!process.Alive()) throw EProcessError(EndedText(pid), ESRCH);
  }
  return process;
}

std::vector<TRegion> TProcess::Regions() const {
  if (!Alive()) throw EProcessError(EndedText(FPid), ESRCH);
  return RegionsOf(FPid);
}

size_t TProcess::Read(uint64_t address, void* dest, size_t count) const {
  return Transfer(FPid, address, dest, count, false);
}

size_t TProcess::Write(uint64_t address, const void* src, size_t count) const {
  return Transfer(FPid, address, const_cast<void*>(src), count, true);
}

bool TProcess::Alive(int pid) {
  if (kill(pid, 0) != 0 && errno != EPERM) return false;
  const auto fields = StatFields(pid);
  return !fields.empty() && fields[0] != "Z" && fields[0] != "X" && fields[0] != "x";
}

bool TProcess::Alive() const { return Alive(FPid); }

std::string TProcess::Name() const {
  const std::string name = Comm(FPid), line = CommandLine(FPid);
  if (line.empty()) return name;
  return name + ": " + line;
}

// ---------------------------------------------------------------------------
// TChildProgram
// ---------------------------------------------------------------------------

TChildProgram TChildProgram::Start(const std::string& program, const std::vector<std::string>& args,
                                   const TChildStreams& streams) {
  if (program.empty()) throw EProcessError("No program was given to start.", ENOENT);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  if (streams.In >= 0) posix_spawn_file_actions_adddup2(&actions, streams.In, 0);
  if (streams.Out >= 0) posix_spawn_file_actions_adddup2(&actions, streams.Out, 1);
  // The child starts with no signal blocked and the usual actions, whatever ours are.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  pid_t pid = 0;
  // glibc reports a failing exec (not found, not executable) as the result.
  const int err = posix_spawnp(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (err != 0) {
    std::string why;
    switch (err) {
      case ENOENT: why = program.find('/') == std::string::npos ? "there is no such program on the PATH" : "there is no such file"; break;
      case EACCES: why = "it is not executable (" + ErrnoText(err) + ")"; break;
      case ENOEXEC: why = "it is not a program this system can run"; break;
      default: why = ErrnoText(err);
    }
    throw EProcessError("Cannot start " + program + ": " + why + ".", err);
  }
  return TChildProgram(pid);
}

TChildProgram& TChildProgram::operator=(TChildProgram&& o) noexcept {
  if (this != &o) {
    End();
    FPid = o.FPid;
    FReaped = o.FReaped;
    FStatus = o.FStatus;
    o.FPid = 0;
  }
  return *this;
}

TChildProgram::~TChildProgram() { End(); }

void TChildProgram::End() noexcept {
  if (FPid <= 0 || FReaped) return;
  kill(FPid, SIGTERM);
  // A program that does not end on SIGTERM within two seconds is killed.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    const pid_t r = waitpid(FPid, &FStatus, WNOHANG);
    if (r == FPid || (r < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(FPid, SIGKILL);
      while (waitpid(FPid, &FStatus, 0) < 0 && errno == EINTR) {
      }
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  FReaped = true;
}

bool TChildProgram::Running() {
  if (FPid <= 0 || FReaped) return false;
  const pid_t r = waitpid(FPid, &FStatus, WNOHANG);
  if (r == 0) return true;
  if (r == FPid || errno == ECHILD) FReaped = true;
  return !FReaped;
}

uint64_t ProcessStartTime(int64_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  const size_t name = line.rfind(')');  // the name in parentheses may hold anything
  if (name == std::string::npos) return 0;
  std::istringstream fields(line.substr(name + 1));
  std::string field;
  for (int k = 3; k <= 22 && fields >> field; ++k)
    if (k == 22) return std::strtoull(field.c_str(), nullptr, 10);
  return 0;
}

}  // namespace byteloom
