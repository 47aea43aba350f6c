// SPDX-License-Identifier: GPL-3.0-or-later
// byteloom_bench NAME DATAFILE WORKDIR: runs one benchmark and prints
// "ours_s=... rss_growth_mib=..." for bench/run.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/bench.h"
#include "platform/platform.h"

namespace byteloom::bench {

std::map<std::string, TBenchFn>& Registry() {
  static std::map<std::string, TBenchFn> r;
  return r;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void CopyFileForBench(const std::string& from, const std::string& to) { CopyFileDurably(from, to); }

}  // namespace byteloom::bench

namespace {

long CurrentRssKib() {
  std::ifstream f("/proc/self/statm");
  long pages = 0, resident = 0;
  f >> pages >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long PeakRssKib() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace byteloom::bench;
  if (argc == 2 && std::string(argv[1]) == "--list") {
    for (const auto& [name, fn] : Registry()) std::printf("%s\n", name.c_str());
    return 0;
  }
  if (argc != 4) {
    std::fprintf(stderr, "usage: byteloom_bench NAME DATAFILE WORKDIR | --list\n");
    return 2;
  }
  auto it = Registry().find(argv[1]);
  if (it == Registry().end()) {
    std::fprintf(stderr, "unknown benchmark %s\n", argv[1]);
    return 2;
  }
  const long before = CurrentRssKib();
  try {
    const double seconds = it->second(TBenchContext{argv[2], argv[3]});
    const long growth = PeakRssKib() - before;
    std::printf("ours_s=%.6f rss_growth_mib=%ld\n", seconds, (growth + 1023) / 1024);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s failed: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}
