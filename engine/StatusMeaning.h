// What a status code means to whoever follows the engine's reports: a
// window's transfer, the command-line tool, the scan's view of the window's
// own connection. One classification, so the fronts cannot disagree on
// what ends a read-out or fails a command; the table is in StatusText.cpp,
// one row per code beside its text.
#pragma once

#include <cstdint>

namespace vorlant {

struct StatusMeaning {
    enum : uint32_t {
        // A read-out under way ends with it, and no settings report follows.
        EndsReadout = 1u << 0,
        // The connect that drew it started nothing, because the port was
        // open already; a read-out under way goes on.
        RefusesConnect = 1u << 1,
        // The engine's port is closed after it.
        PortClosed = 1u << 2,
        // The engine's port is open after it.
        PortOpen = 1u << 3,
        // A command posted before it did not do its part: the engine
        // refused it (busy, not connected yet, not supported by this
        // controller), gave its exchange up, or lost the link.
        FailsCommand = 1u << 4,
    };
};

// The StatusMeaning bits of a status code; 0 for codes outside 0..23 and
// for the codes that only inform.
uint32_t statusMeaning(int code);

inline bool endsReadout(int code) {
    return (statusMeaning(code) & StatusMeaning::EndsReadout) != 0;
}
inline bool refusesConnect(int code) {
    return (statusMeaning(code) & StatusMeaning::RefusesConnect) != 0;
}
inline bool leavesPortClosed(int code) {
    return (statusMeaning(code) & StatusMeaning::PortClosed) != 0;
}
inline bool leavesPortOpen(int code) {
    return (statusMeaning(code) & StatusMeaning::PortOpen) != 0;
}
inline bool failsCommand(int code) {
    return (statusMeaning(code) & StatusMeaning::FailsCommand) != 0;
}

}  // namespace vorlant
