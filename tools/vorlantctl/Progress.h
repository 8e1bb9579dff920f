// Progress for a person watching a terminal: one status line that each
// step replaces ("connecting to /dev/ttyUSB0 at 9600 baud", "reading
// settings 3/7", "writing gear ratios"), and when verbose every request
// sent as a line of its own above it. The tool makes one only when
// standard error is a terminal and --quiet is not given, so a pipe or a
// file never sees any of it.
//
// Threads: any; the engine thread reports the requests, the tool's thread
// the steps, scan's workers their lines. One lock orders the writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/SerialPort.h"

namespace vorlant::ctl {

class Progress {
public:
    // write: puts text on the terminal (standard error) as it is.
    using Write = std::function<void(const std::string& text)>;
    Progress(bool verbose, Write write);

    // Replaces the status line.
    void step(const std::string& text);
    // A request frame written to the port: during a read-out its step,
    // when verbose its bytes and name too.
    void sent(const uint8_t* frame, size_t count);
    // Erases the status line, so what follows starts on a clean line.
    void clear();
    // Runs `write` (output of its own on the same terminal) with the status
    // line out of the way, and shows the line again after it.
    void interject(const std::function<void()>& write);

private:
    void show(const std::string& text);  // caller holds mutex_

    const bool verbose_;
    const Write write_;
    std::mutex mutex_;
    std::string status_;  // the status line shown, empty when none
};

// A serial port that tells `progress` of every frame written through it.
std::shared_ptr<platform::SerialPort> reportingPort(std::shared_ptr<platform::SerialPort> port,
                                                    std::shared_ptr<Progress> progress);

}  // namespace vorlant::ctl
