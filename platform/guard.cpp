// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/guard.h"

#include <utility>

namespace byteloom {

namespace {

TErrorSink& Sink() {
  static TErrorSink sink;
  return sink;
}

}  // namespace

std::string ExceptionText(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

std::string NotYetSafeText(const std::string& done, const std::string& reason) {
  return done + ", but it may not be safe on disk yet: " + reason + ".";
}

TErrorSink SetErrorSink(TErrorSink sink) { return std::exchange(Sink(), std::move(sink)); }

void ReportUncaught(const std::exception_ptr& error) noexcept {
  try {
    if (Sink()) Sink()(ExceptionText(error));
  } catch (...) {
    // Showing the message failed as well: the command ends silently.
  }
}

}  // namespace byteloom
