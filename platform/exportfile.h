// SPDX-License-Identifier: GPL-3.0-or-later
// The writer of every export: a new file beside the target, written in large
// pieces and renamed over the target once complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace byteloom {

class TFileHandle;

// What an export came to: Done is false when it was cancelled (the target
// untouched). Warning is set when the new file is in place but a step after
// its publishing rename failed: the export stands, it may only not be safe
// on disk yet.
struct TExportOutcome {
  bool Done = false;
  std::string Warning;
  explicit operator bool() const { return Done; }
};

// The writer of every export: text is gathered in a buffer and written in
// large pieces to a new file beside the target, which is renamed over the
// target once the body has returned true. A body that returns false
// (cancelled) leaves the target untouched. A failed write raises EFileError
// "The export to <target> failed: <reason>"; an existing target is then left
// as it was.
class TExportSink {
 public:
  // Room for at least kExportRoom characters.
  static constexpr size_t kExportRoom = 256;
  char* Room() { return FText.data() + FUsed; }
  // The text now ends at end; true when a piece went to the file.
  bool Put(char* end);
  void Append(const std::string& text);

 private:
  friend TExportOutcome WriteExport(const std::string&, int64_t, const std::function<bool(TExportSink&)>&);
  explicit TExportSink(TFileHandle& handle);
  void Flush();
  TFileHandle& FHandle;
  std::vector<char> FText;
  size_t FUsed = 0;
  int64_t FWritten = 0;
};
// reserve: the expected length, claimed first so that a full disk shows
// before the work (0: unknown). A file that replaces an earlier one is synced
// to the disk before the rename, so that even a crash leaves the old file or
// the whole new one; a new name is renamed unsynced (a crash can then lose
// only the export itself, never bytes that were there before).
TExportOutcome WriteExport(const std::string& target, int64_t reserve, const std::function<bool(TExportSink&)>& body);

}  // namespace byteloom
