// SPDX-License-Identifier: GPL-3.0-or-later
// The signals that end a session from outside (SIGTERM: kill, a shutdown;
// SIGHUP: a logout, a closed terminal) are caught and turned into a byte on
// a pipe. The event loop watches the pipe, so the program ends in its own
// time, never inside a signal handler.
#pragma once

namespace byteloom {

// Installs the handlers of SIGTERM and SIGHUP (the first call; later ones
// only return the descriptor): the descriptor that becomes readable when
// one of them arrives. Raises EFileError when the pipe cannot be made.
int WatchEndSignals();
// Takes what arrived off the pipe: the number of the last signal, or 0 when
// none came.
int TakeEndSignal();

}  // namespace byteloom
