// Ctrl-C and termination requests for a command-line tool, so that it can
// end at a safe point (a motion stopped, the port closed) instead of dying
// wherever the request found it.
//
// POSIX: SIGINT and SIGTERM. Windows: the console's Ctrl-C and Ctrl-Break
// (Interrupt), closing the console, logging off and shutting down
// (Terminate; the system allows a few seconds after these).
//
// The handlers only record the request (async-signal-safe); the tool polls
// or waits for it. Threads: catchInterrupts() once, from the main thread;
// the rest from any thread.
#pragma once

#include <cstdint>

namespace vorlant::platform {

enum class Interrupt { None, Interrupt, Terminate };

// Installs the handlers; from then on the requests no longer end the
// process. False when they could not be installed.
bool catchInterrupts();

// The first request received since catchInterrupts(), None if none.
Interrupt pendingInterrupt();

// Waits up to timeoutMs for a request; returns the first one received
// (at once when one is already pending), or None on time-out.
Interrupt waitForInterrupt(uint32_t timeoutMs);

}  // namespace vorlant::platform
