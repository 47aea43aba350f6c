// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/endsignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/platform.h"

namespace byteloom {

namespace {

// The pipe's ends: read by the event loop, written by the handler.
int gPipe[2] = {-1, -1};

extern "C" void OnEndSignal(int signal) {
  const int saved = errno;
  const char number = static_cast<char>(signal);
  // A full pipe already holds a signal: nothing is lost by dropping this one.
  [[maybe_unused]] const ssize_t n = write(gPipe[1], &number, 1);
  errno = saved;
}

}  // namespace

int WatchEndSignals() {
  if (gPipe[0] >= 0) return gPipe[0];
  if (pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
    throw EFileError(std::string("The end signals cannot be watched: ") + std::strerror(errno), errno);
  struct sigaction action {};
  action.sa_handler = OnEndSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  return gPipe[0];
}

int TakeEndSignal() {
  int last = 0;
  char buffer[16];
  ssize_t n;
  while ((n = read(gPipe[0], buffer, sizeof buffer)) > 0) last = buffer[n - 1];
  return last;
}

}  // namespace byteloom
