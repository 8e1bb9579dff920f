// Every time limit of the engine and of the controller scan, in one place,
// each with the reason for its value. Waits are bounded everywhere: no
// thread of the engine or of a scan waits for ever on a device, a driver or
// another thread.
#pragma once

#include <cstdint>

namespace vorlant {

// ---- The connection's pace (heartbeat ticks) -------------------------------

// The heartbeat's period. The connection counts time in ticks, so every
// limit below that is given in ticks is a multiple of this.
constexpr uint32_t kTickMs = 250;
// How many ticks an awaited reply may take before the exchange is given up
// (8 s): well beyond the slowest controller's answer (about 1.5 s), because
// ticks that queued up while the engine slept or wrote are counted as they
// come out of the queue, so after a stall the count runs ahead of the clock.
constexpr int kReplyTimeoutTicks = 32;
// Ticks between one read-out reply and the next request, so the controller
// is never asked again the moment it has answered: two ticks make the pause
// 250 to 500 ms, depending on where between two ticks the reply arrived.
constexpr int kPauseTicks = 2;

// ---- The serial link ---------------------------------------------------------

// The wait after opening the port, before the first request: a controller
// may restart when its port opens, and answers only once it has.
constexpr uint32_t kConnectSettleMs = 500;
// How long one whole-frame write may take: a frame of at most 32 bytes
// leaves within about 35 ms even at 9600 baud, so a write that takes a
// second is stuck (a driver that hangs, a line held by flow control). It is
// given up without a report; the reply time-out then tells a controller
// that does not answer.
constexpr uint32_t kSerialWriteWaitMs = 1000;
// The pause after a transient line error before the reader reads again, so
// a line that keeps failing never makes it spin.
constexpr uint32_t kSerialReadErrorWaitMs = 200;
// How long closing the port waits for the serial reader: a reader sees its
// stop within one read step (200 ms in both backends), so ten seconds mean
// a driver whose read ignores it.
constexpr uint32_t kReaderStopWaitMs = 10000;
// A reader that has signalled its end only has to return: how long its
// join may take after that.
constexpr uint32_t kReaderExitMs = 1000;

// ---- Shutdown ----------------------------------------------------------------

// How long the destructor waits for the engine thread (and a drain for the
// engine to reach its marker): the engine thread may be in a closing port's
// wait (kReaderStopWaitMs) or a listener call, so twice that.
constexpr uint32_t kEngineStopWaitMs = 20000;
// How long stopping the heartbeat waits for its thread: a tick only writes
// two bytes into the queue, which a busy engine empties within its own
// bound, so the same bound as the engine's.
constexpr uint32_t kHeartBeatStopWaitMs = 20000;

// ---- Finding the controller (the scan) ---------------------------------------

// After opening a probed port, as before a connection's first request.
constexpr uint32_t kProbeSettleMs = kConnectSettleMs;
// How long each probe reply may take: a slow controller answers after about
// 1.5 s.
constexpr uint32_t kProbeReplyWaitMs = 2000;
// A probe's reader sees its stop within one read step (200 ms in both
// backends).
constexpr uint32_t kProbeReaderJoinMs = 1000;
// The pause after a probe's read error: short, because a probe's whole
// exchange must fit its bound.
constexpr uint32_t kProbeReadErrorPauseMs = 20;
// Allowed beyond the sum of a probe's waits before a scan gives up on it
// (thread start-up and port open on a loaded machine).
constexpr uint32_t kScanMarginMs = 2000;
// How long the window's search waits for its scan thread once the scan has
// handed over its results: the thread only returns then.
constexpr uint32_t kSearchJoinMs = 1000;

}  // namespace vorlant
