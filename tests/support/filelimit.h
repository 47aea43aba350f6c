// SPDX-License-Identifier: GPL-3.0-or-later
// A file size limit for a scope: a write beyond it fails with EFBIG, as a
// write to a full disk fails, without needing a full disk.
#pragma once

#include <sys/resource.h>

#include <csignal>

namespace byteloom::test {

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit small = FOld;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~TFileSizeLimit() { setrlimit(RLIMIT_FSIZE, &FOld); }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

 private:
  rlimit FOld{};
};

}  // namespace byteloom::test
