// SPDX-License-Identifier: GPL-3.0-or-later
// Talking to the test game (tests/support/testgame.cpp) and other programs
// started as our children, through pipes on their standard input and output.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/process.h"

namespace byteloom::test {

// A program started with its standard input and output on pipes of ours.
class TTalk {
 public:
  TTalk(const std::string& program, const std::vector<std::string>& args) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    try {
      FChild.emplace(TChildProgram::Start(program, args, {in[0], out[1]}));
    } catch (...) {
      for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
      throw;
    }
    close(in[0]);
    close(out[1]);
    FIn = in[1];
    FOut = out[0];
  }
  ~TTalk() {
    FChild.reset();
    close(FIn);
    close(FOut);
  }
  int Pid() const { return FChild->Pid(); }
  TChildProgram& Child() { return *FChild; }
  // The next line it prints ("" once it has closed its output or after ten seconds).
  std::string Line() {
    for (;;) {
      if (const size_t end = FPending.find('\n'); end != std::string::npos) {
        std::string line = FPending.substr(0, end);
        FPending.erase(0, end + 1);
        return line;
      }
      pollfd p{FOut, POLLIN, 0};
      char buf[4096];
      const ssize_t n = poll(&p, 1, 10000) == 1 ? read(FOut, buf, sizeof buf) : 0;
      if (n <= 0) return std::exchange(FPending, {});
      FPending.append(buf, static_cast<size_t>(n));
    }
  }
  // All it prints until it closes its output.
  std::string Rest() {
    std::string all;
    for (char buf[4096];;) {
      pollfd p{FOut, POLLIN, 0};
      const ssize_t n = poll(&p, 1, 10000) == 1 ? read(FOut, buf, sizeof buf) : 0;
      if (n <= 0) return std::exchange(FPending, {}) + all;
      all.append(buf, static_cast<size_t>(n));
    }
  }
  std::string Ask(const std::string& command) {
    const std::string line = command + "\n";
    if (write(FIn, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return {};
    return Line();
  }
  // "where": the addresses by name.
  std::map<std::string, uint64_t> Where() {
    std::map<std::string, uint64_t> at;
    std::istringstream in(Ask("where"));
    for (std::string item; in >> item;)
      if (const size_t a = item.find('@'); a != std::string::npos) at[item.substr(0, a)] = std::stoull(item.substr(a + 1), nullptr, 16);
    return at;
  }

 private:
  std::optional<TChildProgram> FChild;
  int FIn = -1, FOut = -1;
  std::string FPending;
};

// The test game, once it said it is ready.
struct TGame : TTalk {
  explicit TGame(const std::string& program = BYTELOOM_TESTGAME, const std::vector<std::string>& args = {})
      : TTalk(program, args) {
    Ready = Line();
  }
  // Kills it and waits until it has ended (a zombie until reaped).
  void Kill() {
    kill(Pid(), SIGKILL);
    while (TProcess::Alive(Pid())) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::string Ready;
};

}  // namespace byteloom::test
