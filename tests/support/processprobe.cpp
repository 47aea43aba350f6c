// SPDX-License-Identifier: GPL-3.0-or-later
// byteloom-processprobe PID [ADDRESS VALUE]: attaches to PID as Byteloom
// does and says what came of it, for the tests that run it as another user.
// First the line the process list shows for PID, then the attempt; with
// ADDRESS and VALUE it then writes VALUE (a u32) there.
//   listed: readable | listed: <the reason>
//   attached                     (exit 0), then "wrote N bytes"
//   refused: <the explanation>   (exit 3)
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/process.h"

int main(int argc, char** argv) {
  if (argc != 2 && argc != 4) {
    std::fprintf(stderr, "usage: byteloom-processprobe PID [ADDRESS VALUE]\n");
    return 2;
  }
  const int pid = std::atoi(argv[1]);
  for (const auto& info : byteloom::ListProcesses())
    if (info.Pid == pid) std::printf("listed: %s\n", info.Readable ? "readable" : info.Reason.c_str());
  try {
    const auto process = byteloom::TProcess::Attach(pid);
    std::printf("attached\n");
    if (argc == 4) {
      const auto value = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 0));
      std::printf("wrote %zu bytes\n", process.Write(std::strtoull(argv[2], nullptr, 0), &value, sizeof value));
    }
    return 0;
  } catch (const byteloom::EProcessError& e) {
    std::printf("refused: %s\n", e.what());
    return 3;
  }
}
