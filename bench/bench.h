// SPDX-License-Identifier: GPL-3.0-or-later
// A small registry of benchmarks: each one does one piece of work on a data
// file and reports its time; the runner adds the process's memory growth.
#pragma once

#include <functional>
#include <map>
#include <string>

namespace byteloom::bench {

struct TBenchContext {
  std::string DataFile;  // the shared data file (do not change it)
  std::string WorkDir;   // a folder of this run for copies
};

// Returns the seconds of the measured work.
using TBenchFn = std::function<double(const TBenchContext&)>;

std::map<std::string, TBenchFn>& Registry();

struct TRegister {
  TRegister(const std::string& name, TBenchFn fn) { Registry()[name] = std::move(fn); }
};

// Seconds since an arbitrary start, monotonic.
double Now();
// Copies a file (for benchmarks that change their document).
void CopyFileForBench(const std::string& from, const std::string& to);

}  // namespace byteloom::bench
