// What a command ended with: an exit code by category and, on failure, the
// one line the user sees on standard error.
#pragma once

#include <string>
#include <utility>

namespace vorlant::ctl {

// Process exit codes; `vorlantctl --help` lists them.
enum ExitCode : int {
    kExitOk = 0,
    kExitGeneric = 1,      // refused by the engine or the controller, other failures
    kExitUsage = 2,        // bad command line
    kExitCannotOpen = 3,   // the port could not be opened (not found, busy, permission)
    kExitTimeout = 4,      // the controller did not answer the read-out
    kExitTooOld = 5,       // controller too old for this program
    kExitUnsupported = 6,  // not a controller this program supports
    kExitLost = 7,         // connection lost, or no reply to a command
    kExitFile = 8,         // settings file unreadable, malformed or not applicable
    // diff: 1 says the controller and the file differ, so its other
    // failures that would be 1 are this.
    kExitDiffOther = 9,
    // Ctrl-C (SIGINT) and SIGTERM, as shells report a process they ended:
    // the command stopped at a safe point (a motion stopped, the port
    // closed).
    kExitInterrupted = 130,
    kExitTerminated = 143,
};

// diff's own meaning of 1.
constexpr int kExitDiffers = 1;

struct Outcome {
    int code = kExitOk;
    std::string message;

    bool ok() const { return code == kExitOk; }
    static Outcome success() { return Outcome{}; }
    static Outcome failure(int exitCode, std::string text) { return Outcome{exitCode, std::move(text)}; }
};

}  // namespace vorlant::ctl
