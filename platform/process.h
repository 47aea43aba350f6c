// SPDX-License-Identifier: GPL-3.0-or-later
// Running programs: the processes the user may read, a process's mapped
// regions, reading and writing its memory without stopping it
// (process_vm_readv / process_vm_writev), programs started as children of
// ours, and why the kernel refuses when it does. Toolkit-free.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace byteloom {

// When process pid started, in clock ticks since boot (field 22 of its
// stat): tells a process from a later one that got the same id. 0 when it
// is gone or cannot be looked at.
uint64_t ProcessStartTime(int64_t pid);

// One line of /proc/PID/maps: [Start, End) with its permissions.
struct TRegion {
  uint64_t Start = 0, End = 0;
  bool Read = false, Write = false, Exec = false, Shared = false;
  uint64_t FileOffset = 0;
  std::string Name;  // the mapped file's path, "[heap]", "[stack]", ... or ""
  bool Deleted = false;  // the file was deleted (the kernel's " (deleted)", taken off Name)
  uint64_t Size() const { return End - Start; }
  // "rw-p" as the kernel writes it.
  std::string Permissions() const;
};

// Parses the text of a maps file; lines that do not parse are left out.
std::vector<TRegion> ParseMaps(const std::string& text);

// Why a process cannot be read, as a short reason for the process list
// ("another user's process", "only its parent may read it (Yama)", ...) and
// as the whole explanation with the ways out for a message.
struct TAccessRefusal {
  std::string Reason;
  std::string Explanation;
};
// The refusal behind err (EPERM, EACCES, ESRCH, ...) met reading pid, from
// the facts the kernel shows: the owner, Yama's ptrace_scope, whether the
// process made itself undumpable.
TAccessRefusal ExplainRefusal(int pid, int err);

struct TProcessInfo {
  int Pid = 0;
  std::string Name;         // /proc/PID/comm
  std::string CommandLine;  // the arguments, joined by spaces
  uint64_t MemoryBytes = 0; // the resident memory (VmRSS)
  uid_t Uid = 0;
  bool Readable = false;    // whether its memory may be read by us
  std::string Reason;       // why not, when not readable
};
// Every process but our own, in PID order. Readable is tried, not guessed:
// a one-byte read of a mapped address.
std::vector<TProcessInfo> ListProcesses();

// Raised when a process cannot be read or written, or has ended; the message
// says why (for a refusal, ExplainRefusal's explanation).
class EProcessError : public std::runtime_error {
 public:
  explicit EProcessError(const std::string& message, int err = 0) : std::runtime_error(message), FErrno(err) {}
  int Errno() const { return FErrno; }

 private:
  int FErrno;
};

// A process whose memory is read and written, by PID.
class TProcess {
 public:
  // Checks that pid's memory can be read (raises EProcessError with the
  // explanation when the kernel refuses, or when there is no such process).
  static TProcess Attach(int pid);
  int Pid() const { return FPid; }
  // Its regions as they are now; raises EProcessError once it has ended.
  std::vector<TRegion> Regions() const;
  // Reads up to count bytes at address: the count of bytes read, which is
  // short at the first page that is not mapped (0 there). Raises
  // EProcessError when the process has ended or reading is refused.
  size_t Read(uint64_t address, void* dest, size_t count) const;
  // Writes count bytes at address, all or none of a page at a time; the
  // count written (short at an unmapped or unwritable page). Raises as Read.
  size_t Write(uint64_t address, const void* src, size_t count) const;
  // Whether the process still runs (a zombie has ended).
  bool Alive() const;
  static bool Alive(int pid);
  // The name and the command line, for captions.
  std::string Name() const;

 private:
  explicit TProcess(int pid) : FPid(pid) {}
  int FPid;
};

// Descriptors that become a child's standard input and output (-1: ours).
struct TChildStreams {
  int In = -1, Out = -1;
};

// A program started as our child: the kernel lets a parent read its child
// even where only descendants may be read. It inherits our standard input,
// output and error unless streams say otherwise. The child is asked to end
// (SIGTERM, SIGKILL after two seconds) and reaped when this goes, unless it
// was detached.
class TChildProgram {
 public:
  // Starts program (looked up on PATH when it has no slash) with args.
  // Raises EProcessError with the reason when it cannot start (not found,
  // not executable).
  static TChildProgram Start(const std::string& program, const std::vector<std::string>& args,
                             const TChildStreams& streams = {});
  TChildProgram(TChildProgram&& o) noexcept : FPid(o.FPid), FReaped(o.FReaped), FStatus(o.FStatus) { o.FPid = 0; }
  TChildProgram& operator=(TChildProgram&& o) noexcept;
  ~TChildProgram();
  int Pid() const { return FPid; }
  // Whether it still runs; reaps it once it has ended.
  bool Running();
  // Its wait status once Running() has reaped it (as waitpid gives it).
  int ExitStatus() const { return FStatus; }
  // Lets it run on when this goes.
  void Detach() { FPid = 0; }

 private:
  explicit TChildProgram(int pid) : FPid(pid) {}
  void End() noexcept;
  int FPid = 0;
  bool FReaped = false;
  int FStatus = 0;
};

}  // namespace byteloom
