// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/sandbox.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>

namespace byteloom::test {

int RunWithSmallDisk(const std::string& mountPoint, int sizeKiB, const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid < 0) return kSandboxUnsupported;
  if (pid == 0) {
    if (unshare(CLONE_NEWNS) != 0) _exit(kSandboxUnsupported);
    if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(kSandboxUnsupported);
    const std::string opts = "size=" + std::to_string(sizeKiB) + "k,mode=0777";
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, opts.c_str()) != 0) _exit(kSandboxUnsupported);
    int rc = 1;
    try {
      rc = body();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "sandbox body threw: %s\n", e.what());
      rc = 99;
    }
    std::fflush(nullptr);
    _exit(rc);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return kSandboxUnsupported;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 98;
}

bool SetImmutable(const std::string& path, bool on) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  int flags = 0;
  bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (ok) {
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  close(fd);
  return ok;
}

}  // namespace byteloom::test
