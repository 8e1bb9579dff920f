// Command line and log format of the vorlant-sim program; portable so the
// tests can check them in-process.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simulator/SimController.h"

namespace vorlant::sim {

struct SimCommandLine {
    SimProfile profile = SimProfile::Class5;
    SimOptions options;
    std::string linkPath;    // --link: symlink to the pty slave, removed at exit
    std::string devicePath;  // --device: serve this serial device instead of a pty
    uint32_t baud = 9600;    // --baud: line speed for --device
    std::string logPath;     // --log: file, or "-" for standard output; empty: no log
    bool once = false;       // --once: exit when the peer closes after a session
    bool help = false;       // --help
    bool version = false;    // --version
    std::string helpText;    // with help: the text to show
};

// Parses argv[1..argc-1]. False with a one-line message in error on a usage
// error (unknown option, missing or bad value with its allowed range,
// unknown profile).
bool parseSimCommandLine(int argc, const char* const* argv, SimCommandLine& out, std::string& error);

// One log line for a request frame: seconds since start, the bytes in hex
// and the request name, e.g. "[    1.250] AA 01 01  Identify".
std::string formatRequestLine(uint64_t elapsedNs, const std::vector<uint8_t>& frame);
// One log line for reply bytes handed to the line: "[    1.251]   -> 55 ...".
std::string formatReplyLine(uint64_t elapsedNs, const uint8_t* bytes, size_t count);

}  // namespace vorlant::sim
