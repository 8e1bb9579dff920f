#include "tools/vorlantctl/Cli.h"

#include "app/text/TextBuild.h"

namespace vorlant::ctl {

namespace {

struct CommandShape {
    const char* name;
    size_t minArgs;
    size_t maxArgs;  // SIZE_MAX: any number
    const char* synopsis;
};

constexpr size_t kMany = SIZE_MAX;

const CommandShape kCommands[] = {
    {"readout", 0, 0, "readout [--json]"},
    {"set", 2, kMany, "set FIELD VALUE [FIELD VALUE...]"},
    {"gear", 2, 2, "gear RA DE"},
    {"store", 0, 0, "store"},
    {"reload-defaults", 0, 0, "reload-defaults"},
    {"voltage", 0, 0, "voltage"},
    {"park", 0, 0, "park"},
    {"location", 2, 2, "location LAT LON"},
    {"move", 2, 2, "move up|down|left|right SPEED-POSITION"},
    {"stop", 0, 1, "stop [up|down|left|right|all]"},
    {"tracking", 1, 1, "tracking on|off"},
    {"exposure", 1, 1, "exposure on|off"},
    {"export", 1, 1, "export FILE"},
    {"import", 1, 1, "import FILE"},
};

const CommandShape* findCommand(const std::string& name) {
    for (const CommandShape& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool parseInteger(const std::string& text, int64_t min, int64_t max, int64_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size()) return false;
    // Magnitudes beyond 19 digits cannot be in any range the tool uses;
    // stopping there also keeps the accumulation from overflowing.
    if (text.size() - i > 19) return false;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return false;
        magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
    }
    if (magnitude > (uint64_t{1} << 62)) return false;
    const int64_t value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    if (value < min || value > max) return false;
    out = value;
    return true;
}

bool parsePort(const std::string& text, bool allowDevicePath, PortSpec& out, std::string& error) {
    out = PortSpec{};
    out.label = text;
    if (text.size() > 3 && upper(text[0]) == 'C' && upper(text[1]) == 'O' && upper(text[2]) == 'M') {
        int64_t n = 0;
        const std::string digits = text.substr(3);
        if (digits.empty() || digits[0] == '-' || !parseInteger(digits, 1, 256, n)) {
            error = "bad port '" + text + "': want COM1 to COM256";
            return false;
        }
        out.number = static_cast<int>(n);
        return true;
    }
    if (allowDevicePath && text.find('/') != std::string::npos) {
        out.number = 1;
        out.devicePath = text;
        return true;
    }
    error = allowDevicePath ? "bad port '" + text + "': want COM<n> or a device path such as /dev/ttyUSB0"
                            : "bad port '" + text + "': want COM1 to COM256";
    return false;
}

bool parseAngleArgument(const std::string& text, int kind, int32_t& out) {
    if (text.empty()) return false;
    size_t i = 0;
    bool letter = false;
    const char first = upper(text[0]);
    if ((kind == kAngleKindLatitude && (first == 'N' || first == 'S')) ||
        (kind == kAngleKindLongitude && (first == 'E' || first == 'W'))) {
        letter = true;
        ++i;
        while (i < text.size() && text[i] == ' ') ++i;
    }
    if (!letter && text.find(':') == std::string::npos) {
        // A plain number: raw units of 1/86400 degree.
        int64_t raw = 0;
        if (!parseInteger(text, INT32_MIN, INT32_MAX, raw)) return false;
        out = static_cast<int32_t>(raw);
        return true;
    }
    if (i < text.size() && text[i] == '-') {
        // "S-5" would say south twice; refuse rather than guess.
        if (letter) return false;
        ++i;
    }
    // Degrees (up to three digits), then up to two ":"-separated parts of
    // one or two digits, each below 60.
    for (size_t part = 0;; ++part) {
        const size_t start = i;
        int value = 0;
        while (i < text.size() && isDigit(text[i])) value = value * 10 + (text[i++] - '0');
        const size_t digits = i - start;
        if (digits == 0 || digits > (part == 0 ? 3u : 2u)) return false;
        if (part > 0 && value >= 60) return false;
        if (i == text.size()) break;
        if (text[i] != ':' || part == 2) return false;
        ++i;
    }
    int32_t angle = 0;
    parseAngle(text.c_str(), text.size() + 1, 0, &angle, kind);
    out = angle;
    return true;
}

bool parseCommandLine(int argc, const char* const* argv, bool allowDevicePath, CliArgs& out,
                      std::string& error) {
    out = CliArgs{};
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string word = argv[i];
        if (!optionsEnded && word == "--") {
            optionsEnded = true;
            continue;
        }
        const bool isOption = !optionsEnded && (word.rfind("--", 0) == 0 || word == "-h");
        if (!isOption) {
            if (out.command.empty())
                out.command = word;
            else
                out.args.push_back(word);
            continue;
        }
        std::string value;
        bool hasValue = false;
        const size_t eq = word.find('=');
        if (eq != std::string::npos) {
            value = word.substr(eq + 1);
            word.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) {
                error = "option " + word + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (word == "--help" || word == "-h") {
            out.help = true;
        } else if (word == "--json") {
            if (hasValue) {
                error = "option --json takes no value";
                return false;
            }
            out.json = true;
        } else if (word == "--port") {
            if (!takeValue()) return false;
            if (!parsePort(value, allowDevicePath, out.port, error)) return false;
            out.hasPort = true;
        } else if (word == "--baud") {
            if (!takeValue()) return false;
            if (value != "9600" && value != "115200") {
                error = "bad --baud value '" + value + "': want 9600 or 115200";
                return false;
            }
            out.baud = value == "9600" ? 9600u : 115200u;
        } else {
            error = "unknown option '" + word + "'";
            return false;
        }
    }
    if (out.help) return true;
    if (out.command.empty()) {
        error = "no command given";
        return false;
    }
    const CommandShape* shape = findCommand(out.command);
    if (!shape) {
        error = "unknown command '" + out.command + "'";
        return false;
    }
    if (out.args.size() < shape->minArgs || out.args.size() > shape->maxArgs ||
        (out.command == "set" && out.args.size() % 2 != 0)) {
        error = std::string("wrong number of arguments; usage: vorlantctl --port PORT ") + shape->synopsis;
        return false;
    }
    if (out.json && out.command != "readout") {
        error = "--json applies to readout only";
        return false;
    }
    if (!out.hasPort) {
        error = "--port PORT is required";
        return false;
    }
    return true;
}

const char* usageLine() {
    return "usage: vorlantctl --port PORT [--baud 9600|115200] COMMAND [ARGS...]  (vorlantctl --help for "
           "more)";
}

const char* helpText() {
    return "usage: vorlantctl --port PORT [--baud 9600|115200] COMMAND [ARGS...]\n"
           "\n"
           "Each command connects, reads the controller's settings, acts and disconnects.\n"
           "PORT is COM1..COM256; on Linux also a device path such as /dev/ttyUSB0\n"
           "(COM<n> then means /dev/ttyS<n-1>).\n"
           "\n"
           "commands:\n"
           "  readout [--json]                 show every settings field\n"
           "  set FIELD VALUE [FIELD VALUE...]  change settings (field names as in readout)\n"
           "  gear RA DE                       set both gear ratios (steps per revolution)\n"
           "  store                            store the settings permanently in the controller\n"
           "  reload-defaults                  reload the controller's factory defaults\n"
           "  voltage                          measure the supply voltage\n"
           "  park                             make the current position the park position\n"
           "  location LAT LON                 set the site: D:MM:SS with N/S/E/W or '-',\n"
           "                                   or integers in 1/86400 degree\n"
           "  move up|down|left|right POS      start moving at slider position POS (0..31)\n"
           "  stop [up|down|left|right|all]    stop one axis or both (default all)\n"
           "  tracking on|off                  switch tracking\n"
           "  exposure on|off                  switch the exposure output\n"
           "  export FILE                      save every setting as JSON\n"
           "  import FILE                      check FILE against the controller, send what\n"
           "                                   differs, then read back and confirm\n"
           "\n"
           "Settings that are sent are live at once; `store` keeps them over a power cycle.\n"
           "\n"
           "exit codes:\n"
           "  0  success\n"
           "  1  refused by the controller or the engine, or another failure\n"
           "  2  usage error\n"
           "  3  the port cannot be opened (not found, in use, permission)\n"
           "  4  time-out: the controller did not answer the read-out\n"
           "  5  the controller is too old for this program\n"
           "  6  not a supported controller\n"
           "  7  connection lost, or no reply to a command\n"
           "  8  settings file cannot be read or written, is malformed or does not fit\n";
}

}  // namespace vorlant::ctl
