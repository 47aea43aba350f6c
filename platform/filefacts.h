// SPDX-License-Identifier: GPL-3.0-or-later
// What the file system says about a file: size, times (creation time where
// the file system keeps it), whether the user may write it; and whether a
// directory entry of any kind has a name.
#pragma once

#include <cstdint>
#include <string>

namespace byteloom {

struct TFileFacts {
  bool Found = false;  // false: no such file (or it could not be examined, see Errno)
  int Errno = 0;       // why it could not be examined; 0 when found or simply missing
  bool IsDirectory = false;
  int64_t Size = 0;
  bool HasBirthTime = false;  // the file system records creation times
  int64_t BirthTime = 0;      // seconds since the epoch
  int64_t ModifyTime = 0;
  int64_t AccessTime = 0;
  bool Writable = false;  // this user may open it for writing
};

// The facts of path (a symbolic link is followed).
TFileFacts ReadFileFacts(const std::string& path);

// Whether a directory entry of any kind (file, folder, link, even a dangling
// one) has this name. err receives 0, or the reason the name could not be
// looked up (anything but "no such file").
bool EntryExists(const std::string& path, int* err = nullptr);

}  // namespace byteloom
