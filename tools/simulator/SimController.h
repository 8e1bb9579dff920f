// The controller's side of the wire protocol, for tests, benchmarks and the
// vorlant-sim program.
//
// Feed it the bytes the program writes (receive); it cuts them into request
// frames (0xAA, L, id, arguments), applies each request to its settings and
// queues the reply bytes, which the caller collects with takeOutput.
//
// Reply timing: every reply is stamped with a due time, the receive time
// plus the reply delay (0 except for the slow profile or an explicit
// SimOptions::replyDelayMs). takeDueOutput(nowNs, ...) hands out only bytes
// whose due time has come, in order; nextDueNs() says when the next ones
// become due. takeOutput() without a time ignores due times and hands out
// everything queued (convenient when timing does not matter). Times are any
// monotonic nanosecond count the caller chooses, as long as it is the same
// clock for receive and take.
//
// Not thread-safe: one caller at a time (LoopbackPort serialises access).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "tools/simulator/SimProfile.h"
#include "tools/simulator/SimState.h"

namespace vorlant::sim {

struct SimOptions {
    // Delay of every reply in milliseconds; negative: the profile's default
    // (1500 for slow, else 0). Applies to any profile when set.
    int32_t replyDelayMs = -1;
    // Number of requests answered at once before the delay applies: a
    // quick read-out, then slow exchanges (for testing what a program does
    // while a reply is outstanding). 0: every reply is delayed.
    int32_t delayAfterRequests = 0;
    // Number of requests the controller answers before it disappears: the
    // next complete request frame is taken in, logged, left unanswered and
    // the controller is gone from then on. Negative: the profile's default
    // (4 for vanish, so it vanishes when the parameter block is requested
    // during a read-out; never for the others); 0: never.
    int32_t vanishAfterRequests = -1;
    // Number of requests the controller answers before it hangs: the line
    // stays open and every later request frame is taken in and logged but
    // neither applied nor answered, so the program runs into its reply
    // time-out. Counted like vanishAfterRequests (every complete frame);
    // 0: never.
    int32_t muteAfterRequests = 0;
    // Seed of the garbage profile's byte generator (deterministic).
    uint32_t garbageSeed = 0x5EED1234u;
};

// What the manual-motion and stop requests did.
struct SimMotion {
    int32_t raSpeed = 0;  // signed controller speed units; 0 = standing
    int32_t deSpeed = 0;
    uint8_t lastMoveAxis = 0;
    int32_t lastMoveSpeed = 0;
    uint8_t lastStopMask = 0;
    uint32_t moveCount = 0;
    uint32_t stopCount = 0;
};

// Request name for logs ("Identify", "WriteCurrent", ...); "Unknown" for
// ids the program never sends.
const char* requestName(uint8_t id);

class SimController {
public:
    static constexpr uint64_t kNoOutput = UINT64_MAX;
    // Longest request frame the program can send: 0xAA, L = 21, 21 bytes.
    static constexpr size_t kMaxRequestLength = 21;

    explicit SimController(SimProfile profile, SimOptions options = SimOptions{});

    // Takes program bytes. Garbage before a 0xAA is skipped; a frame may be
    // split across calls. A length byte of 0 or above 21 is not a frame:
    // the start is dropped (a length byte of 0xAA starts a new frame).
    // After the controller vanished, nothing is taken in any more.
    void receive(const uint8_t* bytes, size_t count, uint64_t nowNs = 0);

    // All queued reply bytes regardless of due time.
    std::vector<uint8_t> takeOutput();
    size_t takeOutput(uint8_t* buffer, size_t capacity);
    // Only the bytes due at nowNs, in order.
    std::vector<uint8_t> takeDueOutput(uint64_t nowNs);
    size_t takeDueOutput(uint64_t nowNs, uint8_t* buffer, size_t capacity);
    // Queued bytes, due or not.
    size_t pendingBytes() const { return pendingBytes_; }
    bool hasOutput() const { return pendingBytes_ != 0; }
    // Due time of the oldest queued byte, or kNoOutput.
    uint64_t nextDueNs() const;
    // Drops queued reply bytes (a purge of the line).
    void discardOutput();

    // True once the vanish profile (or vanishAfterRequests) has made the
    // controller disappear.
    bool vanished() const { return vanished_; }
    // True once muteAfterRequests requests were taken in and the next one
    // went unanswered.
    bool muted() const { return muted_; }

    // Every complete request frame received, in order, whole (0xAA .. last
    // argument), including unknown and malformed ones.
    const std::vector<std::vector<uint8_t>>& requestLog() const { return log_; }
    void clearRequestLog() { log_.clear(); }

    SimState& state() { return current_; }
    const SimState& state() const { return current_; }
    // The set the last store request saved (the initial set before that).
    const SimState& storedState() const { return stored_; }

    const SimMotion& motion() const { return motion_; }
    bool tracking() const { return tracking_; }
    bool exp() const { return exp_; }
    uint8_t parkFlag() const { return parkFlag_; }
    uint32_t parkCount() const { return parkCount_; }
    uint32_t storeCount() const { return storeCount_; }
    uint32_t reloadCount() const { return reloadCount_; }
    uint32_t request11Count() const { return request11Count_; }
    // Flag byte of the last location write (0 plain, 1 advanced settings).
    uint8_t lastLocationFlag() const { return lastLocationFlag_; }
    // Requests with a known id but too few argument bytes: logged, not
    // applied, not answered.
    uint32_t malformedCount() const { return malformedCount_; }
    // Requests with an id the protocol does not define: logged, not answered.
    uint32_t unknownCount() const { return unknownCount_; }

    SimProfile profile() const { return profile_; }
    const ProfileTraits& traits() const { return traits_; }
    uint32_t replyDelayMs() const { return replyDelayMs_; }
    uint32_t vanishAfterRequests() const { return vanishAfter_; }
    uint32_t muteAfterRequests() const { return muteAfter_; }

private:
    struct Chunk {
        uint64_t dueNs;
        std::vector<uint8_t> bytes;
        size_t taken;
    };

    void handleFrame(uint64_t nowNs);
    // Applies one request; fills reply (empty: no reply).
    void apply(uint8_t id, const uint8_t* args, size_t argCount, std::vector<uint8_t>& reply);
    void appendGarbage(std::vector<uint8_t>& out);
    uint32_t nextRandom();
    void queue(std::vector<uint8_t> bytes, uint64_t nowNs);
    size_t take(uint64_t limitNs, uint8_t* buffer, size_t capacity);

    SimProfile profile_;
    const ProfileTraits& traits_;
    uint32_t replyDelayMs_;
    uint32_t delayAfter_;
    uint32_t vanishAfter_;
    uint32_t muteAfter_;
    uint32_t random_;

    SimState current_;
    SimState stored_;
    SimMotion motion_;
    bool tracking_ = false;
    bool exp_ = false;
    uint8_t parkFlag_ = 0;
    uint32_t parkCount_ = 0;
    uint32_t storeCount_ = 0;
    uint32_t reloadCount_ = 0;
    uint32_t request11Count_ = 0;
    uint8_t lastLocationFlag_ = 0;
    uint32_t malformedCount_ = 0;
    uint32_t unknownCount_ = 0;
    uint32_t requestCount_ = 0;
    bool vanished_ = false;
    bool muted_ = false;

    // Request frame parser.
    enum class ParseState { Hunt, Length, Body };
    ParseState parse_ = ParseState::Hunt;
    uint8_t frame_[kMaxRequestLength + 2] = {};
    size_t frameSize_ = 0;
    size_t frameExpected_ = 0;

    std::vector<std::vector<uint8_t>> log_;
    std::deque<Chunk> output_;
    size_t pendingBytes_ = 0;
};

}  // namespace vorlant::sim
