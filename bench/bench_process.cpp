// SPDX-License-Identifier: GPL-3.0-or-later
// Snapshots of a running program: the test game with 1 GiB of writable
// memory more ("extra 1024", u32 values 0 ... 99 over and over).
//   process_snapshot  one snapshot of the game's writable memory into the
//                     work folder (peer, in the same run: the same regions
//                     copied from /proc/PID/mem with pread in pieces of
//                     4 MiB into a file beside it)
//   process_narrow    the hunt for the gold: a snapshot, the gold rises
//                     120 -> 135, a snapshot and "increased", the gold rises
//                     to 150, a snapshot and "equals 150"; the gold must be
//                     among the candidates (peer, in the same run and on the
//                     same game: scanmem driven through its commands,
//                     "snapshot", "+", "= 150", with its peak memory; it
//                     takes minutes, so only in bench/run's first round)
// Both print "peer=... peer_s=..." for bench/run; the times of the parts go
// to stderr.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench.h"
#include "compare/processsnap.h"
#include "compare/snapshots.h"
#include "platform/process.h"

namespace byteloom::bench {

namespace {

constexpr int kExtraMib = 1024;

// The game, told what to do through a FIFO and answering into a file, so
// that a peer tool's shell commands can play it too.
class TBenchGame {
 public:
  explicit TBenchGame(const TBenchContext& ctx) : FControl(ctx.WorkDir + "/game.ctl"), FOutput(ctx.WorkDir + "/game.out") {
    ::unlink(FControl.c_str());
    if (mkfifo(FControl.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + FControl);
    const int out = ::open(FOutput.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
    if (out < 0) throw std::runtime_error("cannot make " + FOutput);
    FChild.emplace(TChildProgram::Start(BYTELOOM_TESTGAME, {"--control", FControl}, {-1, out}));
    ::close(out);
    FWriter = ::open(FControl.c_str(), O_WRONLY | O_CLOEXEC);
    Await("ready pid=");
  }
  ~TBenchGame() {
    FChild.reset();
    ::close(FWriter);
    ::unlink(FControl.c_str());
    ::unlink(FOutput.c_str());
  }
  int Pid() const { return FChild->Pid(); }
  const std::string& Control() const { return FControl; }
  const std::string& Output() const { return FOutput; }
  // Sends a command and waits for the answer that begins with reply.
  std::string Ask(const std::string& command, const std::string& reply) {
    const std::string line = command + "\n";
    if (::write(FWriter, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
      throw std::runtime_error("the game does not listen");
    return Await(reply);
  }
  // Forgets what it answered so far (a peer tool waits for answers in the file).
  void ClearOutput() {
    if (::truncate(FOutput.c_str(), 0) != 0) throw std::runtime_error("cannot empty " + FOutput);
    FSeen = 0;
  }
  uint64_t Address(const std::string& name) {
    const std::string where = Ask("where", "gold@");
    const size_t at = where.find(name + "@");
    return std::stoull(where.substr(at + name.size() + 1), nullptr, 16);
  }

 private:
  // Waits for a line after those seen so far that begins with reply.
  std::string Await(const std::string& reply) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      std::ifstream in(FOutput);
      std::string line;
      for (size_t k = 0; std::getline(in, line); ++k) {
        if (k < FSeen || in.eof()) continue;  // an unfinished last line is read again
        FSeen = k + 1;
        if (line.rfind(reply, 0) == 0) return line;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    throw std::runtime_error("the game did not answer \"" + reply + "\"");
  }

  std::string FControl, FOutput;
  std::optional<TChildProgram> FChild;
  int FWriter = -1;
  size_t FSeen = 0;
};

// The game with its extra memory.
struct TBigGame : TBenchGame {
  explicit TBigGame(const TBenchContext& ctx) : TBenchGame(ctx) { Ask("extra " + std::to_string(kExtraMib), "extra@"); }
};

void PeerReport(const char* peer, double seconds, long peakKib = -1) {
  std::printf("peer=%s peer_s=%.6f ", peer, seconds);
  if (peakKib >= 0) std::printf("peer_rss_mib=%ld ", (peakKib + 1023) / 1024);
}

// The layout's bytes from /proc/PID/mem into a file, as a plain copy would.
double CopyProcMem(const TBenchContext& ctx, int pid, const TProcessLayout& layout) {
  const double t0 = Now();
  const int mem = ::open(("/proc/" + std::to_string(pid) + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
  const std::string name = ctx.WorkDir + "/procmem.bin";
  const int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (mem < 0 || out < 0) throw std::runtime_error("cannot open /proc/PID/mem or " + name);
  std::vector<uint8_t> piece(4 << 20);
  int64_t at = 0;
  for (const TRegion& r : layout.Regions())
    for (uint64_t a = r.Start; a < r.End;) {
      const auto n = static_cast<size_t>(std::min<uint64_t>(piece.size(), r.End - a));
      const ssize_t got = ::pread(mem, piece.data(), n, static_cast<off_t>(a));
      if (got <= 0) throw std::runtime_error("/proc/PID/mem could not be read");
      if (::pwrite(out, piece.data(), static_cast<size_t>(got), at) != got) throw std::runtime_error("cannot write " + name);
      a += static_cast<uint64_t>(got);
      at += got;
    }
  ::close(mem);
  ::close(out);
  const double seconds = Now() - t0;
  ::unlink(name.c_str());
  return seconds;
}

double TimeSnapshot(const TBenchContext& ctx) {
  TBigGame game(ctx);
  const TProcess process = TProcess::Attach(game.Pid());
  const TProcessLayout layout = TProcessLayout::Of(process);
  if (layout.Size() < int64_t{kExtraMib} << 20) throw std::runtime_error("the layout misses the game's memory");
  // How much of the time reading the memory alone takes (into one piece
  // over and over, so that no new memory is touched).
  double t = Now();
  std::vector<uint8_t> piece(4 << 20);
  for (int64_t pos = 0; pos < layout.Size(); pos += static_cast<int64_t>(piece.size()))
    layout.Read(process, pos, piece.data(), std::min<int64_t>(static_cast<int64_t>(piece.size()), layout.Size() - pos));
  const double reading = Now() - t;
  const double peer = CopyProcMem(ctx, game.Pid(), layout);
  const double t0 = Now();
  auto snapshot = TakeProcessSnapshot(process, layout);
  const double seconds = Now() - t0;
  if (!snapshot || snapshot->GoneBytes() != 0) throw std::runtime_error("the snapshot is not whole");
  std::fprintf(stderr, "process_snapshot: %.1f MiB in %.3f s (reading them alone %.3f s)\n",
               static_cast<double>(layout.Size()) / (1 << 20), seconds, reading);
  PeerReport("proc-mem-pread", peer);
  return seconds;
}

// scanmem on the same game: the same three looks, the game changed by shell
// commands in between. Its time and peak memory (from /usr/bin/time).
void RunScanmem(const TBenchContext& ctx, TBenchGame& game) {
  const std::string times = ctx.WorkDir + "/scanmem.time", log = ctx.WorkDir + "/scanmem.log";
  const auto earn = [&](int to) {
    return "shell echo earn 15 > " + game.Control() + "; until grep -q '^gold=" + std::to_string(to) + " ' " +
           game.Output() + "; do :; done";
  };
  const std::string commands = "option scan_data_type int32\nreset\nsnapshot\n" + earn(135) + "\n+\n" + earn(150) +
                               "\n= 150\nlist\nexit\n";
  const std::string script = ctx.WorkDir + "/scanmem.cmd";
  std::ofstream(script) << commands;
  const std::string run = "/usr/bin/time -o " + times + " -f %M scanmem -p " + std::to_string(game.Pid()) + " < " +
                          script + " > " + log + " 2>&1";
  const double t0 = Now();
  if (std::system(run.c_str()) != 0) throw std::runtime_error("scanmem failed: see " + log);
  const double seconds = Now() - t0;
  long peak = -1;
  std::ifstream(times) >> peak;
  // Its last count of matches, and the gold's address among its list.
  std::ifstream in(log);
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  const size_t count = text.rfind("we currently have ");
  char gold[32];
  std::snprintf(gold, sizeof gold, "%lx", static_cast<unsigned long>(game.Address("gold")));
  if (text.find(gold) == std::string::npos)
    throw std::runtime_error("scanmem did not find the gold: see " + log);
  std::fprintf(stderr, "process_narrow: scanmem %.3f s, peak %ld MiB, %s", seconds, peak / 1024,
               count == std::string::npos ? "\n" : text.substr(count, text.find('\n', count) - count + 1).c_str());
  PeerReport("scanmem-0.17", seconds, peak);
}

double TimeNarrow(const TBenchContext& ctx) {
  TBigGame game(ctx);
  const uint64_t goldAddress = game.Address("gold");
  const TProcess process = TProcess::Attach(game.Pid());
  const TStep increased = *MakeStep(TStepCondition::scIncreased, TValueType::vtU32, "", "").Step;
  const TStep equals = *MakeStep(TStepCondition::scEquals, TValueType::vtU32, "150", "").Step;
  std::vector<double> parts;
  const auto part = [&parts](double since) {
    parts.push_back(Now() - since);
    return Now();
  };

  double t0 = Now(), t = t0;
  const TProcessLayout layout = TProcessLayout::Of(process);
  TSnapshotSearch search;
  search.AddSource(TakeProcessSnapshot(process, layout), "120");
  t = part(t);
  search.Restart({TValueType::vtU32, TByteOrder::boLittle, false});
  game.Ask("earn 15", "gold=135");
  search.AddSource(TakeProcessSnapshot(process, layout), "135");
  t = part(t);
  search.RunStep(increased);
  t = part(t);
  game.Ask("earn 15", "gold=150");
  search.AddSource(TakeProcessSnapshot(process, layout), "150");
  t = part(t);
  search.RunStep(equals);
  part(t);
  const double seconds = Now() - t0;
  const int64_t gold = layout.OffsetOf(goldAddress).value_or(-1);
  if (!search.Candidates().Contains(gold)) throw std::runtime_error("the gold is not among the candidates");
  std::fprintf(stderr,
               "process_narrow: ours %.3f s (snapshots %.3f %.3f %.3f s, \"increased\" %.3f s, \"equals 150\" %.3f s, "
               "%lld candidates, %zu MiB held)\n",
               seconds, parts[0], parts[1], parts[3], parts[2], parts[4],
               static_cast<long long>(search.Candidates().Count()), search.MemoryBytes() >> 20);
  search = TSnapshotSearch();  // the snapshots' files go before the peer runs

  const char* round = std::getenv("BYTELOOM_BENCH_ROUND");
  if (round && std::string(round) != "1") return seconds;
  game.Ask("gold 120", "gold=120");
  game.ClearOutput();
  RunScanmem(ctx, game);
  return seconds;
}

TRegister processSnapshot("process_snapshot", TimeSnapshot);
TRegister processNarrow("process_narrow", TimeNarrow);

}  // namespace

}  // namespace byteloom::bench
