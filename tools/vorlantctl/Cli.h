// The command line: options, the subcommand and its arguments, and the
// strict number and port parsing the commands share. Nothing here touches
// the controller; every error is a usage error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlant::ctl {

struct PortSpec {
    int number = 0;          // 1..256, the engine's port number
    std::string devicePath;  // POSIX: the device registered under `number`; empty for COM<n>
    std::string label;       // as the user wrote it, for messages
};

struct CliArgs {
    bool help = false;
    std::string command;  // "readout", "set", ...
    std::vector<std::string> args;
    bool hasPort = false;
    PortSpec port;
    uint32_t baud = 9600;
    bool json = false;
};

// Parses argv[1..argc-1]. Options (--port, --baud, --json, --help) may come
// before or after the command; "--" ends the options, and a word starting
// with a single '-' is an argument (a negative number or angle). Checks the
// command's argument count. False with a one-line message on a usage error.
// allowDevicePath: whether PORT may be a device path (POSIX) besides COM<n>.
bool parseCommandLine(int argc, const char* const* argv, bool allowDevicePath, CliArgs& out,
                      std::string& error);

// "COM3" (any case, 1..256), or with allowDevicePath an absolute or
// relative path containing '/', registered as port 1.
bool parsePort(const std::string& text, bool allowDevicePath, PortSpec& out, std::string& error);

// Strict decimal integer: optional '-', digits only, within [min, max].
bool parseInteger(const std::string& text, int64_t min, int64_t max, int64_t& out);

// An angle for latitude (kind 1) or longitude (kind 2) in 1/86400 degree:
// "[N|S|E|W|-]D[:MM[:SS]]" (minutes and seconds below 60), or a plain
// integer taken as raw units. False when the text is neither.
bool parseAngleArgument(const std::string& text, int kind, int32_t& out);

const char* usageLine();
const char* helpText();

}  // namespace vorlant::ctl
