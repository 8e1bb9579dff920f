#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/vorlantctl/Cli.h"

namespace vorlant::ctl {
namespace {

bool parse(std::vector<const char*> words, CliArgs& out, std::string& error, bool allowPath = true,
           const char* portFromEnvironment = nullptr) {
    words.insert(words.begin(), "vorlantctl");
    return parseCommandLine(static_cast<int>(words.size()), words.data(), allowPath, out, error,
                            portFromEnvironment);
}

TEST(CommandLine, AcceptsOptionsAnywhere) {
    CliArgs a;
    std::string error;
    ASSERT_TRUE(parse({"readout", "--port", "COM3", "--json"}, a, error)) << error;
    EXPECT_EQ(a.command, "readout");
    EXPECT_EQ(a.port.number, 3);
    EXPECT_TRUE(a.port.devicePath.empty());
    EXPECT_TRUE(a.json);
    EXPECT_EQ(a.baud, 9600u);

    ASSERT_TRUE(parse(
        {"--baud=115200", "--port=/dev/pts/7", "set", "raOvertone", "-5", "latitude", "-33:52:06"}, a, error))
        << error;
    EXPECT_EQ(a.baud, 115200u);
    EXPECT_EQ(a.port.devicePath, "/dev/pts/7");
    EXPECT_EQ(a.port.number, 1);
    EXPECT_EQ(a.args, (std::vector<std::string>{"raOvertone", "-5", "latitude", "-33:52:06"}));

    // After "--" even a word that looks like an option is an argument.
    ASSERT_TRUE(parse({"--port", "COM1", "export", "--", "--odd-name.json"}, a, error)) << error;
    EXPECT_EQ(a.args, (std::vector<std::string>{"--odd-name.json"}));

    ASSERT_TRUE(parse({"--help"}, a, error));
    EXPECT_TRUE(a.help);
}

TEST(CommandLine, UsageErrors) {
    struct Case {
        std::vector<const char*> words;
        const char* message;
        const char* command;  // the command the usage line is for
    };
    const Case cases[] = {
        {{}, "no command", ""},
        {{"--port", "COM1"}, "no command", ""},
        {{"readout"}, "--port PORT is required", "readout"},
        {{"frobnicate", "--port", "COM1"}, "unknown command 'frobnicate'", ""},
        {{"readout", "--port"}, "--port", "readout"},
        {{"readout", "--port", "COM0"}, "--port: 'COM0' is not a port (COM1..COM256", "readout"},
        {{"readout", "--port", "COM257"}, "'COM257' is not a port", "readout"},
        {{"readout", "--port", "COMx"}, "'COMx' is not a port", "readout"},
        {{"readout", "--port", "COM1", "--baud", "19200"},
         "--baud: value '19200' is not allowed (9600 or 115200)",
         "readout"},
        {{"readout", "--port", "COM1", "--loud"}, "unknown option '--loud'", "readout"},
        {{"--loud", "readout", "--port", "COM1"}, "unknown option '--loud'", "readout"},
        {{"readout", "-p", "COM1", "--quiet", "-v"}, "excludes", "readout"},
        {{"readout", "--fields", "--json"}, "excludes", "readout"},
        {{"store", "--port", "COM1", "--yes"}, "unknown option '--yes'", "store"},
        {{"diff", "f", "--port", "COM1", "--dry-run"}, "unknown option '--dry-run'", "diff"},
        {{"help", "frobnicate"}, "unknown command 'frobnicate'", "help"},
        {{"readout", "--port", "COM1", "extra"}, "unexpected argument 'extra'", "readout"},
        {{"set", "--port", "COM1"}, "no FIELD VALUE given", "set"},
        {{"set", "--port", "COM1", "raMaxSpeed"}, "no value for 'raMaxSpeed'", "set"},
        {{"set", "--port", "COM1", "raMaxSpeed", "1", "deMaxSpeed"}, "no value for 'deMaxSpeed'", "set"},
        {{"gear", "--port", "COM1", "1"}, "DE is required", "gear"},
        {{"gear", "1", "2", "3", "--port", "COM1"}, "unexpected argument '3'", "gear"},
        {{"stop", "--port", "COM1", "up", "down"}, "unexpected argument 'down'", "stop"},
        {{"voltage", "--port", "COM1", "--json"}, "unknown option '--json'", "voltage"},
        {{"readout", "--port", "COM1", "--json=yes"}, "json", "readout"},
    };
    for (const Case& c : cases) {
        CliArgs a;
        std::string error;
        EXPECT_FALSE(parse(c.words, a, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(a.command, c.command) << c.message;
    }
    EXPECT_EQ(
        usageLine("gear"),
        "usage: vorlantctl gear RA DE --port PORT [--baud 9600|115200]  (vorlantctl gear --help for more)");
    EXPECT_EQ(usageLine(""),
              "usage: vorlantctl COMMAND [ARGS...] --port PORT [--baud 9600|115200]  "
              "(vorlantctl --help for more)");
}

TEST(CommandLine, ConventionsOfSerialTools) {
    struct Case {
        std::vector<const char*> words;
        const char* environment;  // VORLANT_PORT
        const char* error;        // empty: accepted
        int port;                 // with a port: its number
        uint32_t baud;
    };
    const Case cases[] = {
        {{"readout", "-p", "COM4", "-b", "115200"}, nullptr, "", 4, 115200},
        {{"voltage"}, "COM5", "", 5, 9600},
        {{"voltage", "--port", "COM6"}, "COM5", "", 6, 9600},  // the command line wins
        {{"voltage"}, "", "--port PORT is required (or set VORLANT_PORT)", 0, 0},
        {{"voltage"}, "COM0", "VORLANT_PORT: 'COM0' is not a port", 0, 0},
        {{"scan"}, "COM5", "", 0, 0},                  // scan tries every port whatever the default
        {{"readout", "--fields"}, nullptr, "", 0, 0},  // the field list needs no controller
    };
    for (const Case& c : cases) {
        CliArgs a;
        std::string error;
        SCOPED_TRACE(c.words[0]);
        EXPECT_EQ(parse(c.words, a, error, true, c.environment), *c.error == '\0') << error;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        if (*c.error == '\0' && c.port != 0) {
            EXPECT_EQ(a.port.number, c.port);
            EXPECT_EQ(a.baud, c.baud);
        }
    }

    // The flags reach the command.
    CliArgs a;
    std::string error;
    ASSERT_TRUE(parse({"import", "f.json", "--dry-run", "-y", "-q", "-p", "COM1"}, a, error)) << error;
    EXPECT_TRUE(a.dryRun && a.yes && a.quiet && !a.verbose);
    ASSERT_TRUE(parse({"--version"}, a, error)) << error;
    EXPECT_TRUE(a.version);

    // `help [COMMAND]` is --help said another way.
    ASSERT_TRUE(parse({"help"}, a, error)) << error;
    EXPECT_EQ(a.helpText, helpText());
    ASSERT_TRUE(parse({"help", "import"}, a, error)) << error;
    EXPECT_EQ(a.helpText, helpText("import"));
}

TEST(CommandLine, PortForms) {
    struct Case {
        const char* text;
        bool allowPath;
        bool ok;
        int number;
        const char* path;
    };
    const Case cases[] = {
        {"COM1", false, true, 1, ""},
        {"com256", false, true, 256, ""},
        {"Com12", true, true, 12, ""},
        {"COM0", true, false, 0, ""},
        {"COM257", true, false, 0, ""},
        {"COM-1", true, false, 0, ""},
        {"COM", true, false, 0, ""},
        {"COM3x", true, false, 0, ""},
        {"/dev/ttyUSB0", true, true, 1, "/dev/ttyUSB0"},
        {"./link", true, true, 1, "./link"},
        {"link", true, true, 1, "link"},  // a path with or without "./"
        {"link", false, false, 0, ""},
        {"/dev/ttyUSB0", false, false, 0, ""},  // Windows: COM<n> only
        {"", true, false, 0, ""},
    };
    for (const Case& c : cases) {
        PortSpec p;
        std::string error;
        EXPECT_EQ(parsePort(c.text, c.allowPath, p, error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_FALSE(error.empty());
            continue;
        }
        EXPECT_EQ(p.number, c.number) << c.text;
        EXPECT_EQ(p.devicePath, c.path) << c.text;
        EXPECT_EQ(p.label, c.text);
    }
}

TEST(CommandLine, StrictIntegers) {
    using R = IntegerText;
    struct Case {
        const char* text;
        int64_t min, max;
        R result;
        int64_t value;
    };
    const Case cases[] = {
        {"0", 0, 10, R::Ok, 0},
        {"10", 0, 10, R::Ok, 10},
        {"11", 0, 10, R::OutOfRange, 0},
        {"-128", -128, 127, R::Ok, -128},
        {"-129", -128, 127, R::OutOfRange, 0},
        {"4294967295", 0, 4294967295, R::Ok, 4294967295},
        {"4294967296", 0, 4294967295, R::OutOfRange, 0},
        {"007", 0, 10, R::Ok, 7},
        {"", 0, 10, R::NotAnInteger, 0},
        {"-", -5, 5, R::NotAnInteger, 0},
        {"+1", 0, 10, R::NotAnInteger, 0},
        {" 1", 0, 10, R::NotAnInteger, 0},
        {"1 ", 0, 10, R::NotAnInteger, 0},
        {"0x10", 0, 100, R::NotAnInteger, 0},
        {"1.0", 0, 10, R::NotAnInteger, 0},
        {"99999999999999999999999", 0, INT64_MAX, R::OutOfRange, 0},  // never wraps
        {"-9223372036854775809", INT64_MIN, 0, R::OutOfRange, 0},
    };
    for (const Case& c : cases) {
        int64_t v = -999;
        EXPECT_EQ(readInteger(c.text, c.min, c.max, v), c.result) << c.text;
        if (c.result == R::Ok) {
            EXPECT_EQ(v, c.value) << c.text;
        } else {
            EXPECT_EQ(v, -999) << "a refused number leaves the output alone: " << c.text;
        }
    }
    EXPECT_EQ(integerError("POSITION", "32", R::OutOfRange, 0, 31),
              "POSITION: value 32 is out of range (0..31)");
    EXPECT_EQ(integerError("RA", "x1", R::NotAnInteger, 0, 9), "RA: 'x1' is not an integer (0..9)");
}

TEST(CommandLine, Angles) {
    constexpr int32_t D = 86400, M = 1440, S = 24;
    struct Case {
        const char* text;
        int kind;  // 1 latitude, 2 longitude
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"48:08:00", 1, true, 48 * D + 8 * M},
        {"N48:08:00", 1, true, 48 * D + 8 * M},
        {"n48:8", 1, true, 48 * D + 8 * M},
        {"S33:52:06", 1, true, -(33 * D + 52 * M + 6 * S)},
        {"S 33:52:06", 1, true, -(33 * D + 52 * M + 6 * S)},
        {"-33:52:06", 1, true, -(33 * D + 52 * M + 6 * S)},
        {"-0:30", 1, true, -30 * M},
        {"W151:12:33", 2, true, -(151 * D + 12 * M + 33 * S)},
        {"E7", 2, true, 7 * D},
        {"48", 1, true, 48},  // plain integers are raw units
        {"-2926264", 1, true, -2926264},
        {"N-5", 1, false, 0},     // south twice
        {"E48:00", 1, false, 0},  // E is not a latitude hemisphere
        {"N48:00", 2, false, 0},
        {"48:60", 1, false, 0},
        {"48:00:60", 1, false, 0},
        {"48:1:2:3", 1, false, 0},
        {"1234:00", 2, false, 0},
        {"48:", 1, false, 0},
        {":30", 1, false, 0},
        {"48.5", 1, false, 0},
        {"48:00:05.5", 1, false, 0},
        {"N", 1, false, 0},
        {"", 1, false, 0},
        {"2147483648", 1, false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 12345;
        EXPECT_EQ(parseAngleArgument(c.text, c.kind, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(CommandLine, HelpListsTheExitCodes) {
    const std::string help = helpText();
    for (const char* code : {"0  success", "2  usage", "3  the port", "4  time-out",
                             "5  the controller is too old", "6  not a supported", "7  connection lost",
                             "8  settings file", "130  interrupted (Ctrl-C)", "143  terminated"})
        EXPECT_NE(help.find(code), std::string::npos) << code;
}

TEST(CommandLine, EveryCommandHasItsOwnHelp) {
    const std::string tool = helpText();
    for (const char* command : {"readout", "set", "gear", "store", "reload-defaults", "voltage", "park",
                                "location", "move", "stop", "tracking", "exposure", "export", "import"}) {
        EXPECT_NE(tool.find(std::string("\n  ") + command), std::string::npos) << "listed: " << command;
        // Asked for before or after the other words, with or without a port.
        CliArgs a;
        std::string error;
        ASSERT_TRUE(parse({command, "--help", "--port", "COM1"}, a, error)) << command << ": " << error;
        ASSERT_TRUE(a.help);
        const std::string& help = a.helpText;
        EXPECT_EQ(help, helpText(command));
        EXPECT_NE(help.find("Usage: vorlantctl " + std::string(command)), std::string::npos) << help;
        EXPECT_NE(help.find("--port PORT"), std::string::npos) << "the connection options: " << help;
        EXPECT_EQ(help.find("Exit codes:\n"), std::string::npos) << "the tool's help has them: " << help;
        EXPECT_NE(help, tool);
    }
    CliArgs a;
    std::string error;
    ASSERT_TRUE(parse({"-h"}, a, error));
    EXPECT_EQ(a.helpText, tool);
}

}  // namespace
}  // namespace vorlant::ctl
