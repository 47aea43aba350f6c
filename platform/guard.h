// SPDX-License-Identifier: GPL-3.0-or-later
// The one guard of every command: it runs the command and hands the message
// of any exception the command lets out to the error sink (the windows
// install one that shows a message box), so that nothing ever escapes into
// the event loop.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace byteloom {

// The text shown for an exception: its message, or "Unknown error".
std::string ExceptionText(const std::exception_ptr& error);

// The warning of a file that was written and is in place, though a step
// after its publishing rename failed: done says what was written ("The
// export to F was written"), reason what failed.
std::string NotYetSafeText(const std::string& done, const std::string& reason);

// Where the messages of uncaught errors go; without a sink they are dropped.
// Returns the sink it replaces.
using TErrorSink = std::function<void(const std::string& message)>;
TErrorSink SetErrorSink(TErrorSink sink);
// Hands the error's text to the sink; never throws.
void ReportUncaught(const std::exception_ptr& error) noexcept;

// Runs a command; an exception it lets out is reported and ends the command.
template <typename F>
void Guarded(F&& command) noexcept {
  try {
    std::forward<F>(command)();
  } catch (...) {
    ReportUncaught(std::current_exception());
  }
}

}  // namespace byteloom
