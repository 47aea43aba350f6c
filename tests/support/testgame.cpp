// SPDX-License-Identifier: GPL-3.0-or-later
// byteloom-testgame [--control PATH]: a small "game" whose memory the tests
// and benchmarks of running programs read and change. Its gold (a u32),
// health (a float) and name (text) live on the heap; it also has a page it
// made read-only and a spare page it unmaps when told. It reads commands,
// one a line, from standard input or from PATH (a FIFO, or a file that is
// followed as it grows), and answers each on standard output:
//   print           gold=120 health=100.0 name=Ayla the Brave
//   gold N, earn N, health F, name TEXT   change a value, then print
//   drift N MS      adds N to the gold every MS milliseconds (0 stops)
//   where           gold@0x... health@0x... name@0x... ro@0x... spare@0x...
//   unmap           unmaps the spare page ("unmapped")
//   extra MIB       MIB more writable memory, touched, holding the u32
//                   values 0 ... 99 over and over ("extra@0x... mib=MIB")
//   undumpable      makes itself unreadable to programs of its own user
//                   (PR_SET_DUMPABLE 0: "undumpable")
//   quit            ends ("bye")
// It prints "ready pid=PID" once it reads commands.
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t kPage = 4096;
// The read-only page holds this text over and over.
constexpr char kReadOnlyText[] = "read-only page of the test game ";

struct TGame {
  uint32_t* Gold = new uint32_t(120);
  float* Health = new float(100.0f);
  char* Name = new char[256]();
  uint8_t* ReadOnly = nullptr;
  uint8_t* Spare = nullptr;
  int64_t DriftBy = 0, DriftMs = 0;
  std::chrono::steady_clock::time_point NextDrift;
};

void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void Print(const TGame& g) { Say("gold=%" PRIu32 " health=%.1f name=%s", *g.Gold, static_cast<double>(*g.Health), g.Name); }

void* MapPages(size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) {
    std::perror("mmap");
    std::exit(1);
  }
  return p;
}

// Runs one command line; false on quit.
bool Run(TGame& g, const std::string& line) {
  const size_t space = line.find(' ');
  const std::string verb = line.substr(0, space);
  const std::string arg = space == std::string::npos ? "" : line.substr(space + 1);
  if (verb == "print") {
    Print(g);
  } else if (verb == "gold" || verb == "earn") {
    const auto n = static_cast<uint32_t>(std::strtoul(arg.c_str(), nullptr, 0));
    *g.Gold = verb == "gold" ? n : *g.Gold + n;
    Print(g);
  } else if (verb == "health") {
    *g.Health = std::strtof(arg.c_str(), nullptr);
    Print(g);
  } else if (verb == "name") {
    std::snprintf(g.Name, 256, "%s", arg.c_str());
    Print(g);
  } else if (verb == "drift") {
    g.DriftBy = std::strtoll(arg.c_str(), nullptr, 0);
    const size_t ms = arg.find(' ');
    g.DriftMs = ms == std::string::npos ? 100 : std::max(1LL, std::strtoll(arg.c_str() + ms, nullptr, 0));
    g.NextDrift = std::chrono::steady_clock::now() + std::chrono::milliseconds(g.DriftMs);
    Say("drift=%" PRId64 " every=%" PRId64 "ms", g.DriftBy, g.DriftMs);
  } else if (verb == "where") {
    Say("gold@%p health@%p name@%p ro@%p spare@%p", static_cast<void*>(g.Gold), static_cast<void*>(g.Health),
        static_cast<void*>(g.Name), static_cast<void*>(g.ReadOnly), static_cast<void*>(g.Spare));
  } else if (verb == "unmap") {
    if (g.Spare) munmap(g.Spare, kPage);
    g.Spare = nullptr;
    Say("unmapped");
  } else if (verb == "extra") {
    const size_t mib = std::strtoul(arg.c_str(), nullptr, 0);
    const size_t count = mib << 18;  // u32 values
    auto* words = static_cast<uint32_t*>(MapPages(mib << 20));
    for (size_t i = 0; i < count; ++i) words[i] = static_cast<uint32_t>(i % 100);
    Say("extra@%p mib=%zu", static_cast<void*>(words), mib);
  } else if (verb == "undumpable") {
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    Say("undumpable");
  } else if (verb == "quit") {
    Say("bye");
    return false;
  } else if (!verb.empty()) {
    Say("unknown command: %s", verb.c_str());
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int in = 0;
  bool follow = false;  // a regular file: wait for more at its end
  if (argc == 3 && std::strcmp(argv[1], "--control") == 0) {
    struct stat st{};
    if (stat(argv[2], &st) != 0) {
      std::perror(argv[2]);
      return 2;
    }
    // A FIFO opened for reading and writing never meets its end, however
    // often the writers come and go.
    in = open(argv[2], (S_ISFIFO(st.st_mode) ? O_RDWR : O_RDONLY) | O_CLOEXEC);
    if (in < 0) {
      std::perror(argv[2]);
      return 2;
    }
    follow = S_ISREG(st.st_mode);
  } else if (argc != 1) {
    std::fprintf(stderr, "usage: byteloom-testgame [--control PATH]\n");
    return 2;
  }

  static TGame g;  // held to the end, so that nothing counts as leaked
  std::snprintf(g.Name, 256, "Ayla the Brave");
  g.ReadOnly = static_cast<uint8_t*>(MapPages(kPage));
  for (size_t i = 0; i < kPage; ++i) g.ReadOnly[i] = static_cast<uint8_t>(kReadOnlyText[i % (sizeof kReadOnlyText - 1)]);
  mprotect(g.ReadOnly, kPage, PROT_READ);
  g.Spare = static_cast<uint8_t*>(MapPages(kPage));
  std::memset(g.Spare, 0x5A, kPage);
  Say("ready pid=%d", static_cast<int>(getpid()));

  std::string pending;
  for (;;) {
    int timeout = follow ? 50 : -1;
    if (g.DriftBy != 0) {
      const auto now = std::chrono::steady_clock::now();
      if (now >= g.NextDrift) {
        *g.Gold += static_cast<uint32_t>(g.DriftBy);
        g.NextDrift = now + std::chrono::milliseconds(g.DriftMs);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(g.NextDrift - now).count();
      timeout = static_cast<int>(std::max<int64_t>(0, follow ? std::min<int64_t>(left, 50) : left));
    }
    pollfd p{in, POLLIN, 0};
    if (!follow && poll(&p, 1, timeout) == 0) continue;
    char buf[4096];
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (!follow) return 0;  // standard input closed: nobody is left to play
      poll(nullptr, 0, timeout);
      continue;
    }
    pending.append(buf, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!Run(g, line)) return 0;
    }
  }
}
