#include "tools/vorlantctl/Cli.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <deque>
#include <memory>

#include "text/TextBuild.h"

namespace vorlant::ctl {

namespace {

struct CommandInfo {
    const char* name;
    const char* arguments;  // the synopsis after the name
    const char* summary;    // its line in the tool's help
    const char* about;      // the first lines of its own help
};

// In the order the tool's help lists them.
const CommandInfo kCommands[] = {
    {"readout", "[--json|--fields]", "show every settings field",
     "Reads the controller out and shows every settings field, the identification\n"
     "first; a value with a unit shows it (currents in mA, the site in degrees,\n"
     "guiding rates in multiples of the sidereal rate). --fields lists the fields\n"
     "`set` can change, with their ranges, and needs no controller."},
    {"set", "FIELD VALUE [FIELD VALUE...]", "change settings (field names as in readout)",
     "Changes settings. Each value is checked against the field's range and the\n"
     "connected controller's class before anything is sent; only the named fields\n"
     "change."},
    {"gear", "RA DE", "set both gear ratios (steps per revolution)",
     "Sets the gear ratios of both axes, in steps per revolution."},
    {"store", "", "store the settings permanently in the controller",
     "Makes the controller keep its current settings over a power cycle."},
    {"reload-defaults", "[--yes]", "reload the controller's factory defaults",
     "Reloads the controller's factory defaults (they are live at once) and reads them\n"
     "out. When standard input is a terminal it asks first."},
    {"voltage", "", "measure the supply voltage", "Measures the controller's supply voltage."},
    {"park", "", "make the current position the park position",
     "Makes the mount's current position its park position."},
    {"location", "LAT LON",
     "set the site: D:MM:SS with N/S/E/W or '-',\n"
     "or integers in 1/86400 degree",
     "Sets the site's latitude and longitude (class-5 controllers)."},
    {"move", "up|down|left|right POSITION [--seconds N|--keep-moving]",
     "move at slider position POSITION (0..31) until\nCtrl-C or N seconds, then stop",
     "Moves one axis at a slider position, as the program's motion slider does, until\n"
     "--seconds N have passed or Ctrl-C (SIGINT) or SIGTERM arrives; then it stops\n"
     "that axis and exits: 0 after --seconds, 130 on Ctrl-C, 143 on SIGTERM.\n"
     "Without --seconds it moves until Ctrl-C or SIGTERM. --keep-moving only starts\n"
     "the move and exits at once: the mount keeps moving until `vorlantctl stop`."},
    {"stop", "[up|down|left|right|all]", "stop one axis or both (default all)",
     "Stops manual motion. It reads only the controller's identification, so the\n"
     "stop goes out at once."},
    {"tracking", "on|off", "switch tracking", "Switches tracking on or off."},
    {"exposure", "on|off", "switch the exposure output", "Switches the exposure output on or off."},
    {"export", "FILE", "save every setting as JSON",
     "Reads the controller out and saves every setting to FILE as JSON, for `import`."},
    {"import", "FILE [--dry-run] [--yes]",
     "check FILE against the controller, send what\ndiffers, then read back and confirm",
     "Checks FILE (written by `export`) on its own and against the connected\n"
     "controller (same family, every value writable on its class and within its\n"
     "range); only then sends the settings that differ, reads everything back and\n"
     "confirms it. A file that does not fit is refused whole: nothing is sent.\n"
     "Each changed field is shown as \"field: old -> new\". When standard input is\n"
     "a terminal it shows the changes and asks before sending them."},
    {"diff", "FILE", "show the fields where the controller and FILE differ",
     "Reads the controller out and lists the fields where it and FILE (written by\n"
     "`export`) differ, with both values; sends nothing. Exits 0 when they match,\n"
     "1 when they differ, 9 for a failure that other commands report as 1."},
    {"scan", "[--extra DEVICE]...", "find the controller: try every serial port",
     "Tries every serial port the system lists, all at once, at 9600 and then\n"
     "115200 baud, asking only for the identification, port type and firmware (it\n"
     "never writes a setting), and prints one line per port: nothing answered,\n"
     "another device, a controller too old, or a controller with its capability\n"
     "class and device line. Ports in use by another program are skipped.\n"
     "Exit code 0 when a controller was found, 1 when none was."},
    {"help", "[COMMAND]", "show this help, or COMMAND's",
     "Shows the tool's help, or with COMMAND that command's."},
};

// Commands that open no port of the user's choosing.
bool takesNoPort(const std::string& command) {
    return command == "scan" || command == "help";
}

const CommandInfo* findCommand(const std::string& name) {
    for (const CommandInfo& c : kCommands)
        if (name == c.name) return &c;
    return nullptr;
}

constexpr const char* kConnection = "--port PORT [--baud 9600|115200]";

// "vorlantctl set FIELD VALUE [FIELD VALUE...] --port PORT [--baud 9600|115200]"
std::string synopsis(const std::string& command) {
    std::string text = "vorlantctl ";
    const CommandInfo* c = findCommand(command);
    if (!c) return text + "COMMAND [ARGS...] " + kConnection;
    text += c->name;
    if (*c->arguments) text += std::string(" ") + c->arguments;
    if (takesNoPort(c->name)) return text;
    return text + " " + kConnection;
}

constexpr const char* kAbout =
    "vorlantctl reads and changes the settings of a Brask controller on a serial port.\n"
    "Each command connects, reads the controller's settings, acts and disconnects.";

constexpr const char* kToolFooter =
    "Settings that are sent are live at once; `store` keeps them over a power cycle.\n"
    "`vorlantctl COMMAND --help` shows a command's own help.\n"
    "\n"
    "Environment:\n"
    "  VORLANT_PORT           the port when --port is not given\n"
    "  VORLANT_TRACE          trace the link into FILE, as --trace FILE does\n"
    "  VORLANT_TRACE_LIMIT_MB the most a trace may grow to, in MiB (1..4096, 16\n"
    "                         when not set)\n"
    "\n"
    "Exit codes:\n"
    "  0  success\n"
    "  1  refused by the controller or the engine, not confirmed, or another failure\n"
    "  2  usage error\n"
    "  3  the port cannot be opened (not found, no serial port, in use, permission)\n"
    "  4  time-out: the controller did not answer the read-out\n"
    "  5  the controller is too old for this program\n"
    "  6  not a supported controller\n"
    "  7  connection lost, or no reply to a command\n"
    "  8  settings file cannot be read or written, is malformed or does not fit\n"
    "  9  diff: another failure (for diff, 1 means the controller and the file differ)\n"
    "  130  interrupted (Ctrl-C): a move is stopped first, any other command ends\n"
    "       at a safe point; the port is closed\n"
    "  143  terminated (SIGTERM), as for 130\n"
    "scan: 0 a controller was found, 1 none was found, 2 usage error\n"
    "\n"
    "Environment:\n"
    "  VORLANT_TRACE  a file to trace the link into, when --trace is not given";

constexpr const char* kCommandFooter = "Exit codes: see vorlantctl --help.";

// The options that say how to reach the controller.
bool isConnectionOption(const CLI::Option& o) {
    return o.check_lname("port") || o.check_lname("baud") || o.check_lname("trace");
}

// Options and arguments, and the tool's list of commands with their
// arguments.
constexpr size_t kHelpColumn = 22;
constexpr size_t kCommandColumn = 36;

// The help layout: the description, the usage line, the arguments, the
// options (a command's help lists the connection options it needs too),
// and for the tool the commands with their arguments.
class HelpFormatter : public CLI::Formatter {
public:
    HelpFormatter() {
        column_width(kHelpColumn);
        label("Positionals", "Arguments");
    }

    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode mode) const override {
        std::string out = make_description(app);
        out += "\n" + make_usage(app, std::string());
        out += make_positionals(app);
        std::vector<const CLI::Option*> options;
        for (const CLI::App* a : {app, static_cast<const CLI::App*>(app->get_parent())}) {
            if (!a) continue;
            for (const CLI::Option* o : a->get_options()) {
                if (!o->nonpositional() || o == a->get_help_ptr()) continue;
                // A command's help lists the tool's options that apply to it.
                if (a != app && (app->get_name() == "help" || o->check_lname("version") ||
                                 (takesNoPort(app->get_name()) && isConnectionOption(*o))))
                    continue;
                options.push_back(o);
            }
        }
        options.push_back(app->get_help_ptr());
        out += make_group("Options", false, options);
        out += make_subcommands(app, mode);
        out += "\n" + make_footer(app);
        return out;
    }

    std::string make_description(const CLI::App* app) const override { return app->get_description() + "\n"; }

    std::string make_usage(const CLI::App* app, std::string) const override {
        std::string out = "Usage: " + synopsis(app->get_parent() ? app->get_name() : std::string()) + "\n";
        if (!app->get_parent()) out += "       vorlantctl COMMAND --help\n";
        return out;
    }

    std::string make_subcommand(const CLI::App* sub) const override {
        const CommandInfo* c = findCommand(sub->get_name());
        std::string name = sub->get_name();
        if (c && *c->arguments) name += std::string(" ") + c->arguments;
        std::stringstream out;
        CLI::detail::format_help(out, name, c ? c->summary : "", kCommandColumn);
        return out.str();
    }

    // An argument is shown by its name alone, an option by its value's
    // name (the descriptions say what excludes what).
    std::string make_option_opts(const CLI::Option* opt) const override {
        if (opt->get_positional() || opt->get_option_text().empty()) return std::string();
        return " " + opt->get_option_text();
    }
};

// The command line as CLI11 sees it; the words are collected afterwards.
struct Grammar {
    CLI::App app{kAbout, "vorlantctl"};
    std::string port;
    std::string baud;
    std::string trace;
    bool json = false;
    bool fields = false;
    bool yes = false;
    bool dryRun = false;
    bool version = false;
    bool quiet = false;
    bool verbose = false;
    bool keepMoving = false;
    std::string seconds;
    CLI::Option* secondsOption = nullptr;
    std::deque<std::string> words;  // storage the arguments are bound to
    std::vector<std::string> pairs;
    std::vector<std::string> extras;
    CLI::Option* portOption = nullptr;

    bool allowDevicePath_;

    explicit Grammar(bool allowDevicePath) : allowDevicePath_(allowDevicePath) {
        app.formatter(std::make_shared<HelpFormatter>());
        app.set_help_flag("-h,--help", "this help");
        app.require_subcommand(0, 1);
        app.fallthrough();
        app.footer(kToolFooter);
        portOption = app.add_option("-p,--port", port,
                                    allowDevicePath ? "the controller's port: COM1..COM256, or a device\n"
                                                      "path such as /dev/ttyUSB0 (COM<n> then means\n"
                                                      "/dev/ttyS<n-1>); default: $VORLANT_PORT"
                                                    : "the controller's port: COM1..COM256; default:\n"
                                                      "%VORLANT_PORT%")
                         ->option_text("PORT")
                         // Given twice, the later one counts, so a script can append to
                         // a default command line.
                         ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
                         ->check(CLI::Validator(
                             [allowDevicePath](std::string& text) {
                                 PortSpec spec;
                                 std::string error;
                                 return parsePort(text, allowDevicePath, spec, error) ? std::string() : error;
                             },
                             std::string()));
        app.add_option("-b,--baud", baud, "the line speed (default 9600)")
            ->option_text("9600|115200")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast)
            ->check(CLI::Validator(
                [](std::string& text) {
                    return text == "9600" || text == "115200"
                               ? std::string()
                               : "value '" + text + "' is not allowed (9600 or 115200)";
                },
                std::string()));
        app.add_option("--trace", trace,
                       "write every frame sent and received to FILE, one\n"
                       "line each (as VORLANT_TRACE=FILE does); - for\n"
                       "standard output")
            ->option_text("FILE")
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
        CLI::Option* quietOption = app.add_flag("-q,--quiet", quiet,
                                                "no progress (shown on standard error when it is a\n"
                                                "terminal: each step, and scan's ports as found)")
                                       ->disable_flag_override();
        app.add_flag("-v,--verbose", verbose, "progress with every request sent too (not with\n--quiet)")
            ->disable_flag_override()
            ->excludes(quietOption);
        app.add_flag("--version", version, "print the version and exit")->disable_flag_override();

        for (const CommandInfo& c : kCommands) {
            CLI::App* sub = app.add_subcommand(c.name, c.about);
            sub->group("Commands");
            sub->set_help_flag("-h,--help", "this help");
            sub->footer(kCommandFooter);
            addArguments(*sub, c.name);
        }
    }

    CLI::Option* word(CLI::App& sub, const char* name, const char* description) {
        words.emplace_back();
        return sub.add_option(name, words.back(), description);
    }

    void addYes(CLI::App& sub) {
        sub.add_flag("-y,--yes", yes, "do not ask for confirmation on a terminal")->disable_flag_override();
    }

    void addArguments(CLI::App& sub, const std::string& name) {
        if (name == "readout") {
            CLI::Option* jsonFlag =
                sub.add_flag("--json", json, "print one JSON object, the form `export` writes")
                    ->disable_flag_override();
            sub.add_flag("--fields", fields, "list the writable fields and their ranges\n(not with --json)")
                ->disable_flag_override()
                ->excludes(jsonFlag);
        } else if (name == "set") {
            sub.add_option("FIELD VALUE", pairs,
                           "a field's name as readout shows it (such as\n"
                           "raAcceleration) and its new value; latitude and\n"
                           "longitude also as angles, as for `location`");
        } else if (name == "gear") {
            word(sub, "RA", "right ascension, steps per revolution: 1..4294967295")->required();
            word(sub, "DE", "declination, steps per revolution: 1..4294967295")->required();
        } else if (name == "location") {
            word(sub, "LAT",
                 "latitude: [N|S|-]D[:MM[:SS]], such as N48:08:00 or\n"
                 "-33:52:06, or an integer in 1/86400 degree")
                ->required();
            word(sub, "LON",
                 "longitude: [E|W|-]D[:MM[:SS]], such as W151:12:33,\n"
                 "or an integer in 1/86400 degree")
                ->required();
        } else if (name == "move") {
            word(sub, "DIRECTION", "up, down (declination), left, right (right ascension)")->required();
            word(sub, "POSITION", "slider position 0..31: 0 the slowest, 31 the top speed")->required();
            secondsOption = sub.add_option("--seconds", seconds,
                                           "move for N whole seconds (1..3600), then stop;\n"
                                           "Ctrl-C or SIGTERM stops it sooner")
                                ->option_text("N");
            sub.add_flag("--keep-moving", keepMoving,
                         "start the move and exit, leaving the mount moving\n(not with --seconds)")
                ->disable_flag_override();
        } else if (name == "stop") {
            word(sub, "DIRECTION",
                 "up or down: declination; left or right: right\n"
                 "ascension; all (the default): both");
        } else if (name == "tracking" || name == "exposure") {
            word(sub, "STATE", "on or off")->required();
        } else if (name == "export") {
            word(sub, "FILE",
                 "the file to write (replaced if it exists, only once\n"
                 "it is written whole); - for standard output")
                ->required();
        } else if (name == "import" || name == "diff") {
            word(sub, "FILE", "a settings file written by export; - for standard\ninput")->required();
            if (name == "import") {
                sub.add_flag("--dry-run", dryRun, "show the changes and send nothing")
                    ->disable_flag_override();
                addYes(sub);
            }
        } else if (name == "reload-defaults") {
            addYes(sub);
        } else if (name == "help") {
            word(sub, "COMMAND", "the command whose help to show");
        } else if (name == "scan") {
            const bool paths = allowDevicePath_;
            sub.add_option("--extra", extras,
                           paths ? "also try DEVICE, a device path such as a simulator's\n"
                                   "pty, or COM<n> (repeatable)"
                                 : "also try COM<n>, which the system does not list\n"
                                   "(repeatable)")
                ->option_text("DEVICE")
                ->expected(1)
                ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
                ->check(CLI::Validator(
                    [paths](std::string& text) {
                        PortSpec spec;
                        std::string error;
                        return parsePort(text, paths, spec, error) ? std::string() : error;
                    },
                    std::string()));
        }
    }

    // The command given, if CLI11 got as far as it.
    const CLI::App* selected() const {
        const std::vector<CLI::App*> parsed = app.get_subcommands();
        return parsed.empty() ? nullptr : parsed.front();
    }
};

bool startsOption(const std::string& word) {
    return word.size() > 1 && word[0] == '-' && !(word[1] >= '0' && word[1] <= '9');
}

// A CLI11 error in the tool's words where its own says too little.
// `argv` tells a word after "--" (an argument) from an unknown option.
std::string describe(const CLI::ParseError& e, const Grammar& g, int argc, const char* const* argv) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const std::vector<std::string> extra = g.app.remaining(true);
        if (!extra.empty()) {
            const std::string& w = extra.front();
            bool afterMark = false;
            for (int i = 1; i < argc; ++i) {
                if (std::string(argv[i]) == "--") afterMark = true;
                if (w == argv[i]) break;
            }
            if (startsOption(w) && !afterMark) return "unknown option '" + w + "'";
            if (!g.selected()) return "unknown command '" + w + "' (vorlantctl --help lists the commands)";
            return "unexpected argument '" + w + "'";
        }
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
        // "--port: 1 required TEXT missing", "json was given a disallowed
        // flag override".
        const size_t colon = what.find(": ");
        if (colon != std::string::npos && what.size() > 8 &&
            what.compare(what.size() - 8, 8, " missing") == 0)
            return what.substr(0, colon) + " needs a value";
        const size_t flag = what.find(" was given a disallowed flag override");
        if (flag != std::string::npos) return "--" + what.substr(0, flag) + " takes no value";
    }
    return what;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string num(int64_t v) {
    return std::to_string(static_cast<long long>(v));
}

}  // namespace

IntegerText readInteger(const std::string& text, int64_t min, int64_t max, int64_t& out) {
    int64_t value = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result r = std::from_chars(text.data(), end, value);
    if (r.ptr != end || text.empty()) return IntegerText::NotAnInteger;
    if (r.ec == std::errc::result_out_of_range) {
        // Digits all through, only too many of them.
        return IntegerText::OutOfRange;
    }
    if (r.ec != std::errc()) return IntegerText::NotAnInteger;
    if (value < min || value > max) return IntegerText::OutOfRange;
    out = value;
    return IntegerText::Ok;
}

std::string integerError(const std::string& name, const std::string& text, IntegerText result, int64_t min,
                         int64_t max) {
    const std::string range = " (" + num(min) + ".." + num(max) + ")";
    if (result == IntegerText::OutOfRange) return name + ": value " + text + " is out of range" + range;
    return name + ": '" + text + "' is not an integer" + range;
}

bool parsePort(const std::string& text, bool allowDevicePath, PortSpec& out, std::string& error) {
    out = PortSpec{};
    out.label = text;
    const std::string want =
        allowDevicePath ? " (COM1..COM256, or a device path such as /dev/ttyUSB0)" : " (COM1..COM256)";
    // A word starting with "COM" and without a '/' names a port by number;
    // with device paths, any other word is a path, whether or not it holds
    // a '/' (opening it says what it is: no such port, not a serial port).
    const bool comForm = text.size() >= 3 && upper(text[0]) == 'C' && upper(text[1]) == 'O' &&
                         upper(text[2]) == 'M' && text.find('/') == std::string::npos;
    if (comForm) {
        int64_t n = 0;
        if (readInteger(text.substr(3), 1, 256, n) != IntegerText::Ok) {
            error = "'" + text + "' is not a port" + want;
            return false;
        }
        out.number = static_cast<int>(n);
        return true;
    }
    if (allowDevicePath && !text.empty()) {
        out.number = 1;
        out.devicePath = text;
        return true;
    }
    error = "'" + text + "' is not a port" + want;
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
        if (readInteger(text, INT32_MIN, INT32_MAX, raw) != IntegerText::Ok) return false;
        out = static_cast<int32_t>(raw);
        return true;
    }
    if (i < text.size() && text[i] == '-') {
        // "S-5" would say south twice; refuse rather than guess.
        if (letter) return false;
        ++i;
    }
    // Degrees (up to three digits), then up to two ":"-separated parts of
    // one or two digits, each below 60. Unsigned parts take no sign.
    for (size_t part = 0;; ++part) {
        const size_t colon = text.find(':', i);
        const size_t end = colon == std::string::npos ? text.size() : colon;
        if (end == i || end - i > (part == 0 ? 3u : 2u)) return false;
        unsigned value = 0;
        const std::from_chars_result r = std::from_chars(text.data() + i, text.data() + end, value);
        if (r.ec != std::errc() || r.ptr != text.data() + end) return false;
        if (part > 0 && value >= 60) return false;
        if (colon == std::string::npos) break;
        if (part == 2) return false;
        i = colon + 1;
    }
    int32_t angle = 0;
    parseAngle(text.c_str(), text.size() + 1, 0, &angle, kind);
    out = angle;
    return true;
}

bool parseCommandLine(int argc, const char* const* argv, bool allowDevicePath, CliArgs& out,
                      std::string& error, const char* portFromEnvironment) {
    out = CliArgs{};
    std::unique_ptr<Grammar> grammar;
    // CLI11 reports through exceptions; they end here, at its one call.
    try {
        grammar = std::make_unique<Grammar>(allowDevicePath);
        grammar->app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out.help = true;
        out.helpText = grammar->app.help();
        return true;
    } catch (const CLI::ParseError& e) {
        if (const CLI::App* sub = grammar->selected()) out.command = sub->get_name();
        error = describe(e, *grammar, argc, argv);
        return false;
    } catch (const CLI::Error& e) {
        // The grammar itself is wrong: a fault of this program.
        error = std::string("the command-line grammar is broken: ") + e.what();
        return false;
    }
    const Grammar& g = *grammar;
    if (g.version) {
        out.version = true;
        return true;
    }
    const CLI::App* sub = g.selected();
    if (!sub) {
        error = "no command given";
        return false;
    }
    out.command = sub->get_name();
    for (const CLI::Option* o : sub->get_options([](const CLI::Option* o) { return o->get_positional(); }))
        for (const std::string& word : o->results()) out.args.push_back(word);
    out.quiet = g.quiet;
    out.verbose = g.verbose;
    out.yes = g.yes;
    out.dryRun = g.dryRun;
    out.fields = g.fields;
    out.keepMoving = g.keepMoving;
    out.hasSeconds = g.secondsOption != nullptr && g.secondsOption->count() != 0;
    out.seconds = g.seconds;
    if (out.command == "help") {
        out.help = true;
        // The formatter itself: the app's help() would show the selected
        // command's, this one's.
        const auto formatter = g.app.get_formatter();
        if (out.args.empty()) {
            out.helpText = formatter->make_help(&g.app, std::string(), CLI::AppFormatMode::Normal);
            return true;
        }
        if (!findCommand(out.args[0]) || out.args[0] == "help") {
            error = "unknown command '" + out.args[0] + "' (vorlantctl --help lists the commands)";
            out.help = false;
            return false;
        }
        out.helpText = formatter->make_help(g.app.get_subcommand(out.args[0]), std::string(),
                                            CLI::AppFormatMode::Normal);
        return true;
    }
    // The field list needs no controller.
    if (out.command == "readout" && out.fields) return true;
    if (out.command == "set") {
        if (out.args.empty()) {
            error = "no FIELD VALUE given";
            return false;
        }
        if (out.args.size() % 2 != 0) {
            error = "no value for '" + out.args.back() + "' (set takes FIELD VALUE pairs)";
            return false;
        }
    }
    out.json = g.json;
    if (takesNoPort(out.command)) {
        if (g.portOption->count() != 0) {
            error = out.command + " tries every port; --port does not apply (--extra DEVICE adds one)";
            return false;
        }
        for (const std::string& text : g.extras) {
            PortSpec spec;
            std::string portError;
            parsePort(text, allowDevicePath, spec, portError);  // checked by the grammar
            out.extras.push_back(spec);
        }
        return true;
    }
    std::string portError;
    if (g.portOption->count() != 0) {
        out.hasPort = parsePort(g.port, allowDevicePath, out.port, portError);  // checked by the grammar
    } else if (portFromEnvironment != nullptr && *portFromEnvironment != '\0') {
        if (!parsePort(portFromEnvironment, allowDevicePath, out.port, portError)) {
            error = "VORLANT_PORT: " + portError;
            return false;
        }
        out.hasPort = true;
    } else {
        error = "--port PORT is required (or set VORLANT_PORT)";
        return false;
    }
    out.baud = g.baud == "115200" ? 115200u : 9600u;
    out.json = g.json;
    out.tracePath = g.trace;
    return out.hasPort;
}

std::string usageLine(const std::string& command) {
    const std::string more = findCommand(command) ? "vorlantctl " + command + " --help" : "vorlantctl --help";
    return "usage: " + synopsis(command) + "  (" + more + " for more)";
}

std::string helpText(const std::string& command) {
    std::vector<const char*> words = {"vorlantctl"};
    if (findCommand(command)) words.push_back(command.c_str());
    words.push_back("--help");
    CliArgs args;
    std::string error;
    parseCommandLine(static_cast<int>(words.size()), words.data(), true, args, error);
    return args.helpText;
}

}  // namespace vorlant::ctl
