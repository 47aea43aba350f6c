// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/exportfile.h"

#include <algorithm>
#include <cstring>

#include "platform/guard.h"
#include "platform/platform.h"

namespace byteloom {

namespace {

// The export is written in pieces of about this size.
constexpr size_t kWritePiece = size_t{1} << 20;

}  // namespace

TExportSink::TExportSink(TFileHandle& handle) : FHandle(handle), FText(kWritePiece + kExportRoom) {}

bool TExportSink::Put(char* end) {
  FUsed = static_cast<size_t>(end - FText.data());
  if (FUsed < kWritePiece) return false;
  Flush();
  return true;
}

void TExportSink::Append(const std::string& text) {
  for (size_t done = 0; done < text.size();) {
    const size_t n = std::min(text.size() - done, kExportRoom);
    std::memcpy(Room(), text.data() + done, n);
    Put(Room() + n);
    done += n;
  }
}

void TExportSink::Flush() {
  FHandle.WriteAt(FText.data(), static_cast<int64_t>(FUsed), FWritten);
  FWritten += static_cast<int64_t>(FUsed);
  FUsed = 0;
}

TExportOutcome WriteExport(const std::string& target, int64_t reserve, const std::function<bool(TExportSink&)>& body) {
  try {
    TFileReplacement out(target);
    if (reserve > 0) out.Handle().Reserve(reserve);
    TExportSink sink(out.Handle());
    if (!body(sink)) return {};
    sink.Flush();
    out.Handle().SetSize(sink.FWritten);
    const std::string warning = out.Commit(out.ReplacesFile());
    return {true, warning.empty() ? warning : NotYetSafeText("The export to " + target + " was written", warning)};
  } catch (const EFileError& e) {
    const std::string reason = e.Errno() != 0 ? ErrnoText(e.Errno()) : std::string(e.what());
    throw EFileError("The export to " + target + " failed: " + reason, e.Errno());
  }
}

}  // namespace byteloom
