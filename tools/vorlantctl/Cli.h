// The command line: options, the subcommand and its arguments, the help
// texts, and the strict number and port parsing the commands share.
// Nothing here touches the controller; every error is a usage error.
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
    std::string helpText;  // with help: the text asked for (the tool's or one command's)
    bool version = false;  // --version: print the version, nothing else
    std::string command;   // "readout", "set", ...; on a usage error the command seen, if any
    std::vector<std::string> args;
    bool hasPort = false;
    PortSpec port;
    uint32_t baud = 9600;
    bool json = false;
    bool fields = false;    // readout --fields: the writable fields and their ranges, no port
    bool yes = false;       // reload-defaults, import: --yes, do not ask
    bool dryRun = false;    // import --dry-run: show the change plan, send nothing
    bool quiet = false;     // --quiet: no progress even on a terminal
    bool verbose = false;   // --verbose: progress with every request sent
    std::string tracePath;  // --trace FILE; empty: none asked for on the command line
    // scan: the devices --extra adds to the system's ports, in order.
    std::vector<PortSpec> extras;

    // move: --keep-moving (start the move and exit), and whether --seconds N
    // was given with its N as written (checked with the arguments).
    bool keepMoving = false;
    bool hasSeconds = false;
    std::string seconds;
};

// Parses argv[1..argc-1]. --port and --baud may come before or after the
// command, the command's own options (readout --json) after it; "--" ends
// the options, and a word such as "-5" or "-33:52:06" is an argument.
// Checks the command's arguments' count. False with a one-line message on
// a usage error. allowDevicePath: whether PORT may be a device path
// (POSIX) besides COM<n>. Every command needs a port but scan, which
// refuses --port (it tries every port; --extra DEVICE adds one), help and
// readout --fields. Without --port the port is portFromEnvironment (the
// value of VORLANT_PORT) when that is set and not empty.
bool parseCommandLine(int argc, const char* const* argv, bool allowDevicePath, CliArgs& out,
                      std::string& error, const char* portFromEnvironment = nullptr);

// "COM3" (any case, 1..256; any word starting with COM and without a '/' is
// taken as meant for this form), or with allowDevicePath any other
// non-empty word as a device path (absolute or relative), registered as
// port 1.
bool parsePort(const std::string& text, bool allowDevicePath, PortSpec& out, std::string& error);

enum class IntegerText { Ok, NotAnInteger, OutOfRange };

// Strict decimal integer: optional '-', digits only, within [min, max]. On
// anything but Ok, `out` is left alone.
IntegerText readInteger(const std::string& text, int64_t min, int64_t max, int64_t& out);

// The usage error for an argument readInteger refused, naming the argument
// and the allowed range: "POSITION: value 32 is out of range (0..31)".
std::string integerError(const std::string& name, const std::string& text, IntegerText result, int64_t min,
                         int64_t max);

// An angle for latitude (kind 1) or longitude (kind 2) in 1/86400 degree:
// "[N|S|E|W|-]D[:MM[:SS]]" (minutes and seconds below 60), or a plain
// integer taken as raw units. False when the text is neither.
bool parseAngleArgument(const std::string& text, int kind, int32_t& out);

// The usage line shown under a usage error: the command's own when
// `command` names one, else the tool's.
std::string usageLine(const std::string& command = std::string());

// The tool's help (the commands, the options, the exit codes), or with
// `command` that command's own.
std::string helpText(const std::string& command = std::string());

}  // namespace vorlant::ctl
