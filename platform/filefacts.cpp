// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/filefacts.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace byteloom {

TFileFacts ReadFileFacts(const std::string& path) {
  TFileFacts facts;
  struct statx st {};
  if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &st) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) facts.Errno = errno;
    return facts;
  }
  facts.Found = true;
  facts.IsDirectory = S_ISDIR(st.stx_mode);
  facts.Size = static_cast<int64_t>(st.stx_size);
  facts.HasBirthTime = (st.stx_mask & STATX_BTIME) != 0;
  facts.BirthTime = st.stx_btime.tv_sec;
  facts.ModifyTime = st.stx_mtime.tv_sec;
  facts.AccessTime = st.stx_atime.tv_sec;
  facts.Writable = faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
  return facts;
}

bool EntryExists(const std::string& path, int* err) {
  struct stat st {};
  const bool found = lstat(path.c_str(), &st) == 0;
  const int e = found || errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  if (err) *err = e;
  return found;
}

}  // namespace byteloom
