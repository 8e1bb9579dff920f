#include "tools/simulator/SimCommandLine.h"

#include <cstdio>

namespace vorlant::sim {

namespace {

// Decimal number within [0, max]; no sign, no trailing characters.
bool parseNumber(const std::string& text, uint32_t max, uint32_t& out) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > max) return false;
    out = static_cast<uint32_t>(value);
    return true;
}

}  // namespace

const char* simUsage() {
    return "usage: vorlant-sim [--profile NAME] [--delay-ms N] [--vanish-after N] [--mute-after N]\n"
           "                   [--log FILE|-] [--link PATH | --device PATH [--baud N]] [--once]\n"
           "  --vanish-after N  close the line instead of answering request N+1\n"
           "  --mute-after N    keep the line open but answer no request after the first N\n"
           "profiles: class1 class2 class3 class4 class5 class4-family3 class5-family5 too-old\n"
           "          old-accepted foreign silent garbage slow vanish\n";
}

bool parseSimCommandLine(int argc, const char* const* argv, SimCommandLine& out, std::string& error) {
    out = SimCommandLine{};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasValue = false;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= argc) {
                error = "option " + arg + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (!hasValue) return true;
            error = "option " + arg + " takes no value";
            return false;
        };

        uint32_t number = 0;
        if (arg == "--profile") {
            if (!takeValue()) return false;
            if (!parseProfile(value, out.profile)) {
                error = "unknown profile '" + value + "'";
                return false;
            }
        } else if (arg == "--delay-ms") {
            if (!takeValue()) return false;
            if (!parseNumber(value, 3600000, number)) {
                error = "bad --delay-ms value '" + value + "'";
                return false;
            }
            out.options.replyDelayMs = static_cast<int32_t>(number);
        } else if (arg == "--vanish-after") {
            if (!takeValue()) return false;
            if (!parseNumber(value, 1000000, number)) {
                error = "bad --vanish-after value '" + value + "'";
                return false;
            }
            out.options.vanishAfterRequests = static_cast<int32_t>(number);
        } else if (arg == "--mute-after") {
            if (!takeValue()) return false;
            if (!parseNumber(value, 1000000, number)) {
                error = "bad --mute-after value '" + value + "'";
                return false;
            }
            out.options.muteAfterRequests = static_cast<int32_t>(number);
        } else if (arg == "--baud") {
            if (!takeValue()) return false;
            if (!parseNumber(value, 4000000, number) || number == 0) {
                error = "bad --baud value '" + value + "'";
                return false;
            }
            out.baud = number;
        } else if (arg == "--log") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "empty --log path";
                return false;
            }
            out.logPath = value;
        } else if (arg == "--link") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "empty --link path";
                return false;
            }
            out.linkPath = value;
        } else if (arg == "--device") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "empty --device path";
                return false;
            }
            out.devicePath = value;
        } else if (arg == "--once") {
            if (!noValue()) return false;
            out.once = true;
        } else if (arg == "--help" || arg == "-h") {
            if (!noValue()) return false;
            out.help = true;
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }
    if (!out.linkPath.empty() && !out.devicePath.empty()) {
        error = "--link and --device exclude each other";
        return false;
    }
    return true;
}

namespace {

void appendStamp(std::string& line, uint64_t elapsedNs) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%5llu.%03llu]",
                  static_cast<unsigned long long>(elapsedNs / 1000000000u),
                  static_cast<unsigned long long>(elapsedNs / 1000000u % 1000u));
    line += stamp;
}

void appendHex(std::string& line, const uint8_t* bytes, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    for (size_t i = 0; i < count; ++i) {
        line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0F];
    }
}

}  // namespace

std::string formatRequestLine(uint64_t elapsedNs, const std::vector<uint8_t>& frame) {
    std::string line;
    appendStamp(line, elapsedNs);
    appendHex(line, frame.data(), frame.size());
    line += "  ";
    line += frame.size() >= 3 ? requestName(frame[2]) : "Unknown";
    return line;
}

std::string formatReplyLine(uint64_t elapsedNs, const uint8_t* bytes, size_t count) {
    std::string line;
    appendStamp(line, elapsedNs);
    line += "   ->";
    appendHex(line, bytes, count);
    return line;
}

}  // namespace vorlant::sim
