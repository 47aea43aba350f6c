// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <set>
#include <utility>

#include "platform/platform.h"

namespace byteloom {

namespace {

// Symbolic links followed at most in a chain (as the kernel's MAXSYMLINKS).
constexpr int kMaxLinks = 40;

std::string ParentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string SizeText(int64_t bytes) {
  if (bytes >= (int64_t{1} << 20) && bytes % (int64_t{1} << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  return std::to_string(bytes) + " bytes";
}

int64_t Nanoseconds(const struct timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; }

struct TDescriptor {
  int Fd;
  ~TDescriptor() {
    if (Fd >= 0) close(Fd);
  }
};

struct TReports {
  std::mutex Lock;
  std::set<std::string> Reported;
  TStoreProblemSink Sink;
};

TReports& Reports() {
  static TReports reports;
  return reports;
}

}  // namespace

TStoreIdentity IdentityOf(const struct stat& st) {
  TStoreIdentity id;
  id.Dev = st.st_dev;
  id.Ino = st.st_ino;
  id.Size = st.st_size;
  id.MtimeNs = Nanoseconds(st.st_mtim);
  id.CtimeNs = Nanoseconds(st.st_ctim);
  return id;
}

bool Settled(const TStoreIdentity& id) {
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now) - id.CtimeNs > 1000000000;
}

std::string SettingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg) + "/Velmora";
  std::string home;
  if (const char* h = std::getenv("HOME"); h && *h) home = h;
  if (home.empty())
    if (const struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) home = pw->pw_dir;
  if (home.empty()) home = "/";
  return (home == "/" ? std::string() : home) + "/.config/Velmora";
}

std::string SettingsFile() { return SettingsFolder() + "/Tarnwick.ini"; }

TStoreTarget FindStore(const std::string& path) {
  TStoreTarget target;
  const uid_t me = geteuid();
  std::string current = path;
  for (int links = 0;; ++links) {
    struct stat st;
    if (lstat(current.c_str(), &st) != 0) {
      const int err = errno;
      if (err == ENOENT && links == 0) {
        target.Usable = true;
        target.File = path;
      } else if (err == ENOENT) {
        // Writing would create a file wherever the link points.
        target.Problem = "is a symbolic link to a missing file";
      } else {
        target.Problem = "cannot be looked at: " + ErrnoText(err);
      }
      return target;
    }
    if (S_ISLNK(st.st_mode)) {
      if (st.st_uid != me) {
        target.Problem = "is a symbolic link of another user";
        return target;
      }
      if (links == kMaxLinks) {
        target.Problem = "cannot be looked at: " + ErrnoText(ELOOP);
        return target;
      }
      std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
      ssize_t n;
      while ((n = readlink(current.c_str(), link.data(), link.size())) == static_cast<ssize_t>(link.size()))
        link.resize(link.size() * 2);
      if (n < 0) {
        target.Problem = "cannot be looked at: " + ErrnoText(errno);
        return target;
      }
      link.resize(static_cast<size_t>(n));
      current = !link.empty() && link[0] == '/' ? link : ParentOf(current) + "/" + link;
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      target.Problem = "is not a regular file";
      return target;
    }
    if (links > 0 && st.st_uid != me) {
      target.Problem = "is a symbolic link to a file of another user";
      return target;
    }
    target.Usable = target.Exists = true;
    target.File = current;
    return target;
  }
}

TStoreText ReadStore(const std::string& path, int64_t maxSize, const TStoreIdentity* known) {
  TStoreText result;
  const TStoreTarget target = FindStore(path);
  if (!target.Usable) {
    result.Problem = target.Problem;
    return result;
  }
  if (!target.Exists) {
    result.Usable = true;
    return result;
  }
  // No blocking on a FIFO or a device put there since the look, no link
  // followed, no controlling terminal taken.
  TDescriptor fd{open(target.File.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY)};
  if (fd.Fd < 0) {
    const int err = errno;
    if (err == ENOENT) {
      result.Usable = true;  // removed since the look: no store yet
    } else if (err == ELOOP) {
      result.Problem = "is not a regular file";
    } else {
      result.Problem = "cannot be read: " + ErrnoText(err);
    }
    return result;
  }
  struct stat st;
  if (fstat(fd.Fd, &st) != 0) {
    result.Problem = "cannot be read: " + ErrnoText(errno);
    return result;
  }
  if (!S_ISREG(st.st_mode)) {
    result.Problem = "is not a regular file";
    return result;
  }
  const std::string tooLarge = "is larger than " + SizeText(maxSize);
  if (st.st_size > maxSize) {
    result.Problem = tooLarge;
    return result;
  }
  result.Identity = IdentityOf(st);
  result.Usable = result.Exists = true;
  if (known && *known == result.Identity) {
    result.Unchanged = true;
    return result;
  }
  // At most one byte beyond the limit: a file growing meanwhile is refused.
  std::string text(static_cast<size_t>(st.st_size) + 1, '\0');
  size_t have = 0;
  for (;;) {
    if (have == text.size()) {
      if (static_cast<int64_t>(have) > maxSize) break;
      text.resize(std::min<size_t>(text.size() * 2, static_cast<size_t>(maxSize) + 1));
    }
    const ssize_t n = read(fd.Fd, text.data() + have, text.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = TStoreText{};
      result.Problem = "cannot be read: " + ErrnoText(errno);
      return result;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  if (static_cast<int64_t>(have) > maxSize) {
    result = TStoreText{};
    result.Problem = tooLarge;
    return result;
  }
  text.resize(have);
  result.Text = std::move(text);
  return result;
}

std::string WriteStore(const std::string& path, const std::string& text, bool durable) {
  const TStoreTarget target = FindStore(path);
  if (!target.Usable) throw EFileError(path + " " + target.Problem);
  if (!target.Exists) {
    std::error_code ec;
    std::filesystem::create_directories(ParentOf(target.File), ec);
  }
  // The name leads to a regular file (or none): the new file is renamed over
  // that name itself, never over whatever a link would lead to.
  return WriteFileAtomically(target.File, text, durable);
}

std::string SettingsStoreProblem() {
  const std::string file = SettingsFile();
  const TStoreText store = ReadStore(file, kMaxSettingsSize);
  if (store.Usable) return {};
  return "The settings file " + file + " " + store.Problem + "; settings are not read or kept.";
}

TStoreProblemSink SetStoreProblemSink(TStoreProblemSink sink) {
  TReports& reports = Reports();
  const std::lock_guard<std::mutex> lock(reports.Lock);
  return std::exchange(reports.Sink, std::move(sink));
}

bool FirstStoreReport(const std::string& message) {
  TReports& reports = Reports();
  const std::lock_guard<std::mutex> lock(reports.Lock);
  return reports.Reported.insert(message).second;
}

bool ReportStoreProblem(const std::string& message) {
  if (!FirstStoreReport(message)) return false;
  TStoreProblemSink sink;
  {
    TReports& reports = Reports();
    const std::lock_guard<std::mutex> lock(reports.Lock);
    sink = reports.Sink;
  }
  if (sink) {
    try {
      sink(message);
    } catch (...) {
      // Showing the message failed: the store is skipped all the same.
    }
  }
  return true;
}

std::string EscapeStoreText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') out += "\\\\";
    else if (c == '\t') out += "\\t";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string UnescapeStoreText(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    const char c = s[++i];
    out += c == 't' ? '\t' : c == 'n' ? '\n' : c;
  }
  return out;
}

}  // namespace byteloom
