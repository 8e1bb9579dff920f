#include "tools/simulator/SimCommandLine.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cstdio>

namespace vorlant::sim {

namespace {

// A decimal count or duration within [min, max] (no sign, digits only),
// rewritten in plain decimal for CLI11 to store: its own conversion would
// take "010" as octal. The message names the range.
CLI::Validator decimalIn(uint32_t min, uint32_t max) {
    return CLI::Validator(
        [min, max](std::string& text) {
            uint32_t value = 0;
            const char* end = text.data() + text.size();
            const std::from_chars_result r = std::from_chars(text.data(), end, value);
            const std::string range = " (" + std::to_string(min) + ".." + std::to_string(max) + ")";
            if (text.empty() || r.ptr != end ||
                (r.ec != std::errc() && r.ec != std::errc::result_out_of_range))
                return "'" + text + "' is not a whole number" + range;
            if (r.ec == std::errc::result_out_of_range || value < min || value > max)
                return "value " + text + " is out of range" + range;
            text = std::to_string(value);
            return std::string();
        },
        std::string());
}

CLI::Validator nonEmptyPath() {
    return CLI::Validator(
        [](std::string& text) { return text.empty() ? std::string("the path is empty") : std::string(); },
        std::string());
}

std::string profileList() {
    std::string list;
    size_t count = 0;
    const SimProfile* profiles = allProfiles(count);
    for (size_t i = 0; i < count; ++i) {
        list += i == 0 ? "  " : (i % 7 == 0 ? "\n  " : " ");
        list += profileName(profiles[i]);
    }
    return list;
}

// The grammar, bound to `out` (the profile's name to `profile`).
void describe(CLI::App& app, SimCommandLine& out, std::string& profile) {
    app.description(
        "vorlant-sim: a simulated Brask controller on a pseudo-terminal (or a serial device).\n"
        "Prints \"PTY /dev/pts/N\" (or \"DEVICE path\") first, then serves requests until\n"
        "interrupted.\n");
    app.set_help_flag("-h,--help", "this help");
    app.get_formatter()->column_width(26);
    // An option given twice takes the later value, so a script can append
    // to a default command line.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.add_option("--profile", profile, "the controller to simulate (default class5; see\nthe list below)")
        ->option_text("NAME")
        ->check(CLI::Validator(
            [](std::string& text) {
                SimProfile known;
                return parseProfile(text, known) ? std::string() : "unknown profile '" + text + "'";
            },
            std::string()));
    app.add_option("--delay-ms", out.options.replyDelayMs, "wait N ms before each reply (0..3600000)")
        ->option_text("N")
        ->transform(decimalIn(0, 3600000));
    app.add_option("--delay-after", out.options.delayAfterRequests,
                   "answer the first N requests at once, delay only\nthe later ones (0..1000000)")
        ->option_text("N")
        ->transform(decimalIn(0, 1000000));
    app.add_option("--vanish-after", out.options.vanishAfterRequests,
                   "close the line instead of answering request N+1\n(0..1000000)")
        ->option_text("N")
        ->transform(decimalIn(0, 1000000));
    app.add_option("--mute-after", out.options.muteAfterRequests,
                   "keep the line open but answer no request after\nthe first N (0..1000000)")
        ->option_text("N")
        ->transform(decimalIn(0, 1000000));
    app.add_option("--log", out.logPath, "log every request and reply to FILE, or with - to\nstandard output")
        ->option_text("FILE|-")
        ->check(nonEmptyPath());
    CLI::Option* link = app.add_option("--link", out.linkPath,
                                       "a symbolic link to the pty, made at start and\nremoved at exit")
                            ->option_text("PATH")
                            ->check(nonEmptyPath());
    CLI::Option* device =
        app.add_option("--device", out.devicePath, "serve this serial device instead of a pty")
            ->option_text("PATH")
            ->check(nonEmptyPath());
    link->excludes(device);
    app.add_option("--baud", out.baud, "the line speed for --device (default 9600;\n1..4000000)")
        ->option_text("N")
        ->transform(decimalIn(1, 4000000));
    app.add_flag("--once", out.once, "exit when the peer closes the line after a session")
        ->disable_flag_override();
    app.add_flag("--version", out.version, "print the version and exit")->disable_flag_override();
    app.footer("Profiles:\n" + profileList());
}

}  // namespace

bool parseSimCommandLine(int argc, const char* const* argv, SimCommandLine& out, std::string& error) {
    out = SimCommandLine{};
    CLI::App app{"", "vorlant-sim"};
    std::string profile;
    // CLI11 reports through exceptions; they end here, at its one call.
    try {
        describe(app, out, profile);
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out.help = true;
        out.helpText = app.help();
        if (out.helpText.empty() || out.helpText.back() != '\n') out.helpText += '\n';
        return true;
    } catch (const CLI::ExtrasError&) {
        const std::vector<std::string> extra = app.remaining();
        const std::string word = extra.empty() ? std::string() : extra.front();
        error =
            word.rfind("-", 0) == 0 ? "unknown option '" + word + "'" : "unexpected argument '" + word + "'";
        return false;
    } catch (const CLI::ArgumentMismatch& e) {
        // "--log: 1 required TEXT missing", "once was given a disallowed
        // flag override": said plainly.
        error = e.what();
        const size_t colon = error.find(": ");
        const size_t flag = error.find(" was given a disallowed flag override");
        if (colon != std::string::npos && error.find(" required ") != std::string::npos &&
            error.find(" missing") != std::string::npos)
            error = error.substr(0, colon) + " needs a value";
        else if (flag != std::string::npos)
            error = "--" + error.substr(0, flag) + " takes no value";
        return false;
    } catch (const CLI::Error& e) {
        error = e.what();
        return false;
    }
    if (!profile.empty()) parseProfile(profile, out.profile);
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
