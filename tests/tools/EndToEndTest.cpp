// The real vorlantctl program against the real vorlant-sim on a pseudo
// terminal: exit codes, messages and values as a user or script sees them.
// POSIX only.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "backup/SettingsFile.h"
#include "engine/SettingsFields.h"
#include "tests/support/SimExpect.h"

extern char** environ;

namespace vorlant::sim {
// Test names and failure messages show the profile's name.
inline void PrintTo(SimProfile profile, std::ostream* out) {
    *out << profileName(profile);
}
}  // namespace vorlant::sim

namespace vorlant::ctl {
using namespace backup;
namespace {

using Clock = std::chrono::steady_clock;

// Standard input from `in`, or /dev/null when it is -1.
pid_t spawn(std::vector<std::string> args, int out, int err, int in = -1) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in < 0)
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, in, 0);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// vorlant-sim with a profile; serves its pty until destroyed.
class Simulator {
public:
    explicit Simulator(const std::string& profile, std::vector<std::string> extra = {}) {
        int pipeFds[2];
        if (pipe(pipeFds) != 0) return;
        std::vector<std::string> args = {VORLANT_SIM_PATH, "--profile", profile};
        args.insert(args.end(), extra.begin(), extra.end());
        const int devNull = ::open("/dev/null", O_WRONLY);
        pid_ = spawn(args, pipeFds[1], devNull);
        ::close(devNull);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        // First line: "PTY /dev/pts/N".
        std::string line;
        const auto end = Clock::now() + std::chrono::seconds(5);
        while (pid_ > 0 && Clock::now() < end) {
            pollfd p{out_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            char c;
            if (::read(out_, &c, 1) != 1) break;
            if (c == '\n') break;
            line += c;
        }
        if (line.rfind("PTY ", 0) == 0) pty_ = line.substr(4);
    }
    ~Simulator() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            int status = 0;
            for (int i = 0; i < 200 && waitpid(pid_, &status, WNOHANG) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
        if (out_ >= 0) ::close(out_);
    }
    const std::string& pty() const { return pty_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pty_;
};

struct ToolRun {
    int code = -1;
    std::string out;
    std::string err;
    double seconds = 0;
};

// A started vorlantctl; finish() collects its output and exit code.
class Tool {
public:
    // `input`: a file for standard input to read (else /dev/null).
    explicit Tool(std::vector<std::string> args, const char* program = VORLANTCTL_PATH,
                  const std::string& input = std::string()) {
        args.insert(args.begin(), program);
        int o[2], e[2];
        if (pipe(o) != 0 || pipe(e) != 0) return;
        start_ = Clock::now();
        const int in = input.empty() ? -1 : ::open(input.c_str(), O_RDONLY);
        pid_ = spawn(args, o[1], e[1], in);
        if (in >= 0) ::close(in);
        ::close(o[1]);
        ::close(e[1]);
        out_ = o[0];
        err_ = e[0];
    }
    ~Tool() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) ::close(out_);
        if (err_ >= 0) ::close(err_);
    }

    void signal(int number) { kill(pid_, number); }

    ToolRun finish(int timeoutMs = 30000) {
        ToolRun r;
        const auto end = start_ + std::chrono::milliseconds(timeoutMs);
        bool outOpen = true, errOpen = true;
        while ((outOpen || errOpen) && Clock::now() < end) {
            pollfd p[2] = {{outOpen ? out_ : -1, POLLIN, 0}, {errOpen ? err_ : -1, POLLIN, 0}};
            if (poll(p, 2, 50) <= 0) continue;
            char buffer[4096];
            if (outOpen && (p[0].revents & (POLLIN | POLLHUP))) {
                const ssize_t n = ::read(out_, buffer, sizeof buffer);
                if (n > 0)
                    r.out.append(buffer, static_cast<size_t>(n));
                else
                    outOpen = false;
            }
            if (errOpen && (p[1].revents & (POLLIN | POLLHUP))) {
                const ssize_t n = ::read(err_, buffer, sizeof buffer);
                if (n > 0)
                    r.err.append(buffer, static_cast<size_t>(n));
                else
                    errOpen = false;
            }
        }
        if (outOpen || errOpen) return r;  // time-out; the destructor kills it
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        return r;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    Clock::time_point start_;
};

ToolRun runTool(std::vector<std::string> args) {
    return Tool(std::move(args)).finish();
}

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "vorlantctl_e2e_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The request names in a simulator log ("[    1.250] AA 01 01  Identify").
std::vector<std::string> loggedRequests(const std::string& logPath) {
    std::vector<std::string> names;
    std::istringstream lines(readText(logPath));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t bracket = line.find("] AA ");
        if (bracket == std::string::npos) continue;
        names.push_back(line.substr(line.rfind(' ') + 1));
    }
    return names;
}

bool isReadRequest(const std::string& name) {
    for (const char* read : {"Identify", "ReadPortType", "ReadFirmware", "ReadGearBlock",
                             "ReadParameterBlock", "ReadFlipBlock", "ReadLocation", "ReadSupplyVoltage"})
        if (name == read) return true;
    return false;
}

void expectReadoutOf(sim::SimProfile profile, const std::string& json) {
    const nlohmann::json v = nlohmann::json::parse(json, nullptr, false);
    ASSERT_TRUE(v.is_object()) << json;
    const ControllerSettings want = test::expectedReadout(profile);
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    ASSERT_EQ(v.size(), count + 1) << "every field and the format marker";
    for (size_t i = 0; i < count; ++i) {
        const auto field = v.find(fields[i].name);
        ASSERT_NE(field, v.end()) << fields[i].name;
        EXPECT_EQ(*field, fields[i].get(want)) << fields[i].name;
    }
}

class ReadoutOfClass : public ::testing::TestWithParam<sim::SimProfile> {};

TEST_P(ReadoutOfClass, ShowsTheSimulatorsValues) {
    Simulator sim(sim::profileName(GetParam()));
    ASSERT_FALSE(sim.pty().empty());
    const ToolRun r = runTool({"readout", "--json", "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    expectReadoutOf(GetParam(), r.out);
}

INSTANTIATE_TEST_SUITE_P(Profiles, ReadoutOfClass,
                         ::testing::Values(sim::SimProfile::Class1, sim::SimProfile::Class2,
                                           sim::SimProfile::Class3, sim::SimProfile::Class4,
                                           sim::SimProfile::Class5, sim::SimProfile::Class4Family3,
                                           sim::SimProfile::Class5Family5),
                         [](const ::testing::TestParamInfo<sim::SimProfile>& param) {
                             std::string name = sim::profileName(param.param);
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

TEST(EndToEnd, UsageErrorsAndHelpAsTheUserSeesThem) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* out;  // the start of standard output
        std::string err;  // standard error, whole
    };
    const std::string moveHelp = runTool({"move", "--help"}).out;
    const std::string moveUsage =
        "usage: vorlantctl move up|down|left|right POSITION [--seconds N|--keep-moving] --port PORT [--baud "
        "9600|115200]  (vorlantctl move --help for more)\n";
    const Case cases[] = {
        {{"--version"}, 0, "vorlantctl 2.4\n", ""},
        {{"help", "move"}, 0, moveHelp.c_str(), ""},
        {{"gear", "0", "0", "-p", "COM1"},
         2,
         "",
         "vorlantctl: RA: value 0 is out of range (1..4294967295)\n"
         "usage: vorlantctl gear RA DE --port PORT [--baud 9600|115200]  (vorlantctl gear --help for "
         "more)\n"},
        {{"set", "raacceleration", "1", "-p", "COM1"},
         2,
         "",
         "vorlantctl: unknown field 'raacceleration' (did you mean raAcceleration? readout --fields lists "
         "them)\n"
         "usage: vorlantctl set FIELD VALUE [FIELD VALUE...] --port PORT [--baud 9600|115200]  "
         "(vorlantctl set --help for more)\n"},
        {{"readout", "--fields"}, 0, "mountType        0..2 ", ""},
        {{"set", "raAcceleration", "999", "--port", "COM1"},
         2,
         "",
         "vorlantctl: raAcceleration: value 999 is out of range (0..255)\n"
         "usage: vorlantctl set FIELD VALUE [FIELD VALUE...] --port PORT [--baud 9600|115200]  "
         "(vorlantctl set --help for more)\n"},
        {{"--port", "COM1", "frobnicate"},
         2,
         "",
         "vorlantctl: unknown command 'frobnicate' (vorlantctl --help lists the commands)\n"
         "usage: vorlantctl COMMAND [ARGS...] --port PORT [--baud 9600|115200]  (vorlantctl --help for "
         "more)\n"},
        {{"--help"}, 0, "vorlantctl reads and changes the settings", ""},
        {{"move", "--help"}, 0, "Moves one axis", ""},
        {{"move", "up", "10", "--seconds", "2", "--keep-moving", "-p", "COM1"},
         2,
         "",
         "vorlantctl: --seconds and --keep-moving exclude each other\n" + moveUsage},
        {{"move", "up", "10", "--seconds", "0", "-p", "COM1"},
         2,
         "",
         "vorlantctl: --seconds: value 0 is out of range (1..3600)\n" + moveUsage},
        {{"move", "up", "10", "--seconds", "1.5", "-p", "COM1"},
         2,
         "",
         "vorlantctl: --seconds: '1.5' is not an integer (1..3600)\n" + moveUsage},
        {{"scan", "--port", "COM1"},
         2,
         "",
         "vorlantctl: scan tries every port; --port does not apply (--extra DEVICE adds one)\n"
         "usage: vorlantctl scan [--extra DEVICE]...  (vorlantctl scan --help for more)\n"},
        {{"scan", "--extra", "COM999"},
         2,
         "",
         "vorlantctl: --extra: 'COM999' is not a port (COM1..COM256, or a device path such as /dev/ttyUSB0)\n"
         "usage: vorlantctl scan [--extra DEVICE]...  (vorlantctl scan --help for more)\n"},
    };
    for (const Case& c : cases) {
        const ToolRun r = runTool(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0];
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
    }
    const ToolRun sim = Tool({"--version"}, VORLANT_SIM_PATH).finish();
    EXPECT_EQ(sim.code, 0);
    EXPECT_EQ(sim.out, "vorlant-sim 2.4\n");
}

// vorlantctl with standard input and standard error on a terminal (a
// pseudo terminal the test holds), standard output on a pipe; `typed` is
// what the person types. The terminal's text comes back in `err`.
ToolRun runOnTerminal(std::vector<std::string> args, const std::string& typed) {
    ToolRun r;
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return r;
    const int terminal = ::open(ptsname(master), O_RDWR | O_NOCTTY);
    int o[2];
    if (terminal < 0 || pipe(o) != 0) return r;
    args.insert(args.begin(), VORLANTCTL_PATH);
    const pid_t pid = spawn(args, o[1], terminal, terminal);
    ::close(o[1]);
    ::close(terminal);
    if (!typed.empty() && ::write(master, typed.data(), typed.size()) < 0) return r;
    const auto end = Clock::now() + std::chrono::seconds(30);
    bool outOpen = true;
    int status = 0;
    bool exited = false;
    while (Clock::now() < end && !(exited && !outOpen)) {
        pollfd p[2] = {{master, POLLIN, 0}, {outOpen ? o[0] : -1, POLLIN, 0}};
        poll(p, 2, 50);
        char buffer[4096];
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) r.err.append(buffer, static_cast<size_t>(n));
        }
        if (outOpen && (p[1].revents & (POLLIN | POLLHUP))) {
            const ssize_t n = ::read(o[0], buffer, sizeof buffer);
            if (n > 0)
                r.out.append(buffer, static_cast<size_t>(n));
            else
                outOpen = false;
        }
        if (!exited && waitpid(pid, &status, WNOHANG) == pid) exited = true;
    }
    if (!exited) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    ::close(o[0]);
    ::close(master);
    r.code = exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

TEST(EndToEnd, APersonAtATerminalSeesProgressAndIsAsked) {
    const std::string log = tempPath("sim.log");
    Simulator sim("class5", {"--log", log});
    ASSERT_FALSE(sim.pty().empty());
    ::setenv("VORLANT_PORT", sim.pty().c_str(), 1);

    // The steps on the terminal, the listing alone on standard output (a
    // pipe gets no progress: the other tests see an empty standard error).
    ToolRun r = runOnTerminal({"readout"}, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("connecting to " + sim.pty() + " at 9600 baud"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("reading settings 7/7"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.rfind("Brask hardware", 0), 0u) << r.out;
    EXPECT_EQ(runOnTerminal({"readout", "--quiet"}, "").err, "");

    // Asked before reload-defaults; "n" leaves the controller alone.
    const size_t before = loggedRequests(log).size();
    r = runOnTerminal({"reload-defaults"}, "n\n");
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.err.find("Reload the factory defaults on " + sim.pty() + "? "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("reload-defaults not confirmed; nothing was sent"), std::string::npos) << r.err;
    EXPECT_EQ(loggedRequests(log).size(), before) << "the port was not even opened";
    r = runOnTerminal({"reload-defaults", "--yes", "-q"}, "");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    ::unsetenv("VORLANT_PORT");
    std::remove(log.c_str());
}

TEST(EndToEnd, RejectedControllers) {
    struct Case {
        const char* profile;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {"too-old", 5,
         "vorlantctl: Error: The connected Brask is too old. Use Vorlant 1.0. (hardware 0.1.1.1"},
        {"foreign", 6, "vorlantctl: Error: Cannot connect: Incompatible device"},
    };
    // stop reads only the identification, and refuses them alike.
    for (const Case& c : cases) {
        for (const char* command : {"readout", "stop"}) {
            const std::string log = tempPath("sim.log");
            Simulator sim(c.profile, {"--log", log});
            const ToolRun r = runTool({command, "--port", sim.pty()});
            EXPECT_EQ(r.code, c.code) << c.profile << " " << command << ": " << r.err;
            EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << r.err;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
            EXPECT_TRUE(r.out.empty()) << r.out;
            for (const std::string& name : loggedRequests(log)) EXPECT_TRUE(isReadRequest(name)) << name;
            std::remove(log.c_str());
        }
    }
}

TEST(EndToEnd, NoValidReplyTimesOut) {
    // Both cost the engine's full read-out time-out (32 ticks): run them
    // side by side.
    Simulator silent("silent");
    Simulator garbage("garbage");
    Tool a({"readout", "--port", silent.pty()});
    Tool b({"readout", "--port", garbage.pty(), "--baud", "115200"});
    const char* const otherRate[] = {"115200", "9600"};
    int i = 0;
    for (ToolRun r : {a.finish(), b.finish()}) {
        EXPECT_EQ(r.code, 4) << r.err;
        EXPECT_NE(r.err.find("Error: Cannot connect: Timeout error"), std::string::npos) << r.err;
        // What to try next: the other rate, power and cable, the scan.
        EXPECT_NE(r.err.find(std::string("; try --baud ") + otherRate[i++] +
                             ", check the controller's power and cable, or run `vorlantctl scan`\n"),
                  std::string::npos)
            << r.err;
        EXPECT_GT(r.seconds, 7.0);
        EXPECT_LT(r.seconds, 20.0);
    }
}

TEST(EndToEnd, DeviceVanishingMidSession) {
    Simulator sim("vanish", {"--vanish-after", "7"});  // gone right after a class-5 read-out
    const ToolRun r = runTool({"voltage", "--port", sim.pty()});
    EXPECT_EQ(r.code, 7) << r.err;
    EXPECT_NE(r.err.find("the device was disconnected"), std::string::npos) << r.err;
}

TEST(EndToEnd, ExportSetImportRoundTrip) {
    Simulator sim("class5");
    const std::string file = tempPath("settings.json");
    ToolRun r = runTool({"export", file, "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;

    r = runTool({"set",      "raGearRatio",    "999", "deMaxSpeed",   "2",      "reverseRotation",
                 "2",        "raRunCurrent",   "900", "deTrackDecay", "7",      "raAcceleration",
                 "1",        "deDeceleration", "2",   "raOvertone",   "100",    "deIncCurrentAt",
                 "3",        "raGuideRate",    "16",  "mountType",    "0",      "latitude",
                 "N1:02:03", "flipHysteresis", "9",   "--port",       sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("raOvertone: -7 -> 100\n"), std::string::npos) << r.out;

    // diff: 1 for "they differ", said on standard output only.
    r = runTool({"diff", file, "--port", sim.pty()});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("14 fields differ from "), std::string::npos) << r.out;

    r = runTool({"import", file, "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("13 fields changed, read back and confirmed"), std::string::npos) << r.out;

    r = runTool({"readout", "--json", "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    expectReadoutOf(sim::SimProfile::Class5, r.out);
    r = runTool({"diff", file, "--port", sim.pty()});
    EXPECT_EQ(r.code, 0) << r.err;
    std::remove(file.c_str());
}

// The frames in a simulator log, in order: "-> AA 01 01" for a request
// ("[    1.250] AA 01 01  Identify"), "<- 55 ..." for reply bytes
// ("[    1.251]   -> 55 ...").
std::vector<std::string> simulatorFrames(const std::string& logPath) {
    std::vector<std::string> frames;
    std::istringstream lines(readText(logPath));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t at = line.find("] ");
        if (at == std::string::npos) continue;
        const std::string rest = line.substr(at + 2);
        if (rest.rfind("AA ", 0) == 0) frames.push_back("-> " + rest.substr(0, rest.find("  ")));
        if (rest.rfind("  -> ", 0) == 0) frames.push_back("<- " + rest.substr(5));
    }
    return frames;
}

// A trace line: "[    0.503118] AwaitIdent       -> AA 01 01  Identify".
struct TraceLine {
    std::string state;
    std::string event;    // "-> AA 01 01", "<- 55 ...", or "=>" for a report alone
    std::string reports;  // what follows "=> "
};

std::vector<TraceLine> traceLines(const std::string& path) {
    std::vector<TraceLine> out;
    std::istringstream lines(readText(path));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("#", 0) == 0) continue;
        const size_t at = line.find("] ");
        if (line.rfind("[", 0) != 0 || at == std::string::npos || line.size() < at + 19) {
            ADD_FAILURE() << "not a trace line: " << line;
            continue;
        }
        TraceLine t;
        t.state = line.substr(at + 2, 16);
        t.state.erase(t.state.find_last_not_of(' ') + 1);
        std::string rest = line.substr(at + 19);
        const size_t arrow = rest.find("=> ");
        if (arrow != std::string::npos) t.reports = rest.substr(arrow + 3);
        t.event = arrow == 0 ? "=>" : rest.substr(0, rest.find("  "));
        out.push_back(t);
    }
    return out;
}

TEST(EndToEnd, TraceOfAReadOutMatchesTheSimulatorsLog) {
    const std::string log = tempPath("sim.log");
    const std::string trace = tempPath("trace.txt");
    {
        Simulator sim("class5", {"--log", log});
        const ToolRun r = runTool({"--trace", trace, "readout", "--port", sim.pty()});
        ASSERT_EQ(r.code, 0) << r.err;
    }  // the simulator has logged everything once it is gone
    const std::vector<std::string> logged = simulatorFrames(log);
    const std::vector<TraceLine> lines = traceLines(trace);
    std::vector<TraceLine> frames;
    for (const TraceLine& t : lines)
        if (t.event != "=>") frames.push_back(t);
    ASSERT_EQ(logged.size(), 14u) << "seven requests and their replies";
    ASSERT_EQ(frames.size(), logged.size()) << readText(trace);
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].event, logged[i]) << "line " << i;
        // Each reply is interpreted in the state its request was sent in.
        if (i % 2 == 1) {
            EXPECT_EQ(frames[i].state, frames[i - 1].state) << "line " << i;
        }
    }
    EXPECT_EQ(frames.front().state, "AwaitIdent");
    EXPECT_EQ(frames.back().state, "AwaitLocation");
    EXPECT_EQ(frames.back().reports, "settings ReadoutComplete");
    // The reports around the frames: opening, connecting, and the close.
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].reports, "status 1 Opening port, please wait...");
    EXPECT_EQ(lines[1].reports, "status 2 Connecting...");
    EXPECT_EQ(lines.back().reports, "status 4 Connection closed");

    // VORLANT_TRACE does the same; a file that cannot be opened stops the
    // tool before it connects.
    ::setenv("VORLANT_TRACE", "/nonexistent-dir/trace.txt", 1);
    const ToolRun bad = runTool({"readout", "--port", "/dev/null"});
    ::unsetenv("VORLANT_TRACE");
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(
        bad.err,
        "vorlantctl: cannot open the trace file '/nonexistent-dir/trace.txt': No such file or directory\n");
    // Nor does a limit that cannot be read.
    ::setenv("VORLANT_TRACE_LIMIT_MB", "lots", 1);
    const ToolRun unbounded = runTool({"readout", "--port", "/dev/null", "--trace", trace.c_str()});
    ::unsetenv("VORLANT_TRACE_LIMIT_MB");
    EXPECT_EQ(unbounded.code, 1);
    EXPECT_EQ(unbounded.err,
              "vorlantctl: VORLANT_TRACE_LIMIT_MB is 'lots': a whole number of MiB from 1 to 4096\n");
    std::remove(log.c_str());
    std::remove(trace.c_str());
}

// When each frame went out, in seconds since the trace started: "-> AA 03
// 21" for a stop ("[    0.503118] Ready  -> AA 03 21 00 C0  Stop").
std::vector<std::pair<double, std::string>> sentFrames(const std::string& path) {
    std::vector<std::pair<double, std::string>> out;
    std::istringstream lines(readText(path));
    std::string line;
    while (std::getline(lines, line)) {
        const size_t arrow = line.find("-> AA ");
        if (line.rfind("[", 0) != 0 || arrow == std::string::npos) continue;
        out.emplace_back(std::atof(line.c_str() + 1),
                         line.substr(arrow + 3, line.find("  ", arrow) - arrow - 3));
    }
    return out;
}

// The time of the first frame starting with `prefix` ("AA 03 21"), -1 if none.
double sentAt(const std::vector<std::pair<double, std::string>>& frames, const std::string& prefix) {
    for (const auto& f : frames)
        if (f.second.rfind(prefix, 0) == 0) return f.first;
    return -1;
}

constexpr const char* kMoveFrame = "AA 07 23";

TEST(EndToEnd, StopGoesOutAtOnceAndAMoveIsAlwaysStopped) {
    Simulator sim("class5");
    ASSERT_FALSE(sim.pty().empty());
    const std::string trace = tempPath("trace.txt");

    // stop: the identification, the stop, the delivery barrier; no read-out.
    ToolRun r = runTool({"--trace", trace, "stop", "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    auto frames = sentFrames(trace);
    ASSERT_EQ(frames.size(), 3u) << readText(trace);
    EXPECT_EQ(frames[0].second, "AA 01 01");
    EXPECT_EQ(frames[1].second, "AA 03 21 00 C0");
    EXPECT_LT(frames[1].first, 1.0) << "the stop within 1 s of the start";
    std::printf("stop frame on the wire %.3f s after the start\n", frames[1].first);

    // move --seconds 2: the stop of that axis 2 s after the move.
    r = runTool({"--trace", trace, "move", "up", "10", "--seconds", "2", "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "Manual movement\nReady\n");
    frames = sentFrames(trace);
    const double moved = sentAt(frames, kMoveFrame), stopped = sentAt(frames, "AA 03 21 00 40");
    ASSERT_GT(moved, 0) << readText(trace);
    ASSERT_GT(stopped, 0) << readText(trace);
    EXPECT_NEAR(stopped - moved, 2.0, 0.3);
    std::printf("move --seconds 2: stop %.3f s after the move\n", stopped - moved);

    // Ctrl-C and SIGTERM during a move: the stop, then 130 or 143.
    const struct {
        int signal;
        int code;
    } signals[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& s : signals) {
        std::remove(trace.c_str());
        Tool tool({"--trace", trace, "move", "left", "3", "--port", sim.pty()});
        const auto end = Clock::now() + std::chrono::seconds(10);
        while (sentAt(sentFrames(trace), kMoveFrame) < 0 && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        tool.signal(s.signal);
        r = tool.finish();
        EXPECT_EQ(r.code, s.code) << r.err;
        frames = sentFrames(trace);
        EXPECT_GT(sentAt(frames, "AA 03 21 00 80"), sentAt(frames, kMoveFrame)) << readText(trace);
        EXPECT_NE(r.err.find("the motion was stopped"), std::string::npos) << r.err;
    }
    std::remove(trace.c_str());
}

TEST(EndToEnd, RefusedFilesSendNothing) {
    const std::string log = tempPath("sim.log");
    Simulator sim("class5", {"--log", log});

    // Malformed: refused before the port is even opened.
    const std::string corrupt = tempPath("corrupt.json");
    std::ofstream(corrupt) << "{\"format\": \"vorlantctl-settings-v1\",\n  \"raMaxSpeed\": 8OO\n}\n";
    ToolRun r = runTool({"import", corrupt, "--port", sim.pty()});
    EXPECT_EQ(r.code, 8) << r.err;
    EXPECT_NE(r.err.find("line 2, column 18"), std::string::npos) << r.err;
    EXPECT_TRUE(loggedRequests(log).empty());

    // From a controller of another family: checked against the read-out,
    // then refused.
    ControllerSettings other = test::expectedReadout(sim::SimProfile::Class5);
    other.deviceFamily = 5;
    other.raAcceleration = 1;
    const std::string foreign = tempPath("foreign.json");
    std::ofstream(foreign) << settingsToJson(other, true);
    r = runTool({"import", foreign, "--port", sim.pty()});
    EXPECT_EQ(r.code, 8) << r.err;
    EXPECT_NE(r.err.find("deviceFamily"), std::string::npos) << r.err;
    const std::vector<std::string> requests = loggedRequests(log);
    EXPECT_FALSE(requests.empty()) << "the read-out ran";
    for (const std::string& name : requests) EXPECT_TRUE(isReadRequest(name)) << name;
    std::remove(corrupt.c_str());
    std::remove(foreign.c_str());
    std::remove(log.c_str());
}

// Bad paths, bad arguments and file errors, each with its exit code and
// its message, as the user gets them; none of the refusals before the
// read-out costs the controller a request. Runs in a folder of its own, so
// that paths without "./" are relative ones.
TEST(EndToEnd, BadPathsArgumentsAndFilesEachSayWhatIsWrong) {
    const std::string log = tempPath("sim.log");
    Simulator sim("class5", {"--log", log});
    ASSERT_FALSE(sim.pty().empty());
    const std::string dir = tempPath("files");
    ASSERT_EQ(::system(("rm -rf '" + dir + "' && mkdir -p '" + dir + "/adir'").c_str()), 0);
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    std::ofstream("regular.txt") << "not json\n";
    std::ofstream("old.json") << "the old backup\n";

    // readout --json writes what import takes ("-": standard input).
    ToolRun r = runTool({"readout", "--json", "--port", sim.pty()});
    ASSERT_EQ(r.code, 0) << r.err;
    std::ofstream("good.json") << r.out;
    r = Tool({"import", "-", "--port", sim.pty()}, VORLANTCTL_PATH, "good.json").finish();
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("imported standard input: 0 fields changed"), std::string::npos) << r.out;

    const std::string usageLocation =
        "usage: vorlantctl location LAT LON --port PORT [--baud 9600|115200]  (vorlantctl location --help "
        "for "
        "more)\n";
    const std::string json =
        "regular.txt: not valid JSON: line 1, column 2: syntax error while parsing value - "
        "invalid literal; last read: 'no'";
    struct Case {
        std::vector<std::string> args;  // "SIM": the simulator's pty
        int code;
        std::string err;  // standard error, whole
        bool connects;    // whether the controller is asked anything
        rlim_t fileSizeLimit = RLIM_INFINITY;
    };
    const Case cases[] = {
        {{"readout", "--port", "/dev/null"},
         3,
         "Error: Cannot open port. /dev/null: not a serial port\n",
         false},
        {{"readout", "--port", "regular.txt"},
         3,
         "Error: Cannot open port. regular.txt: not a serial port\n",
         false},
        {{"readout", "--port", "adir"}, 3, "Error: Cannot open port. adir: not a serial port\n", false},
        {{"readout", "--port", "no-such-tty"},
         3,
         "Error: Cannot open port. no-such-tty: no such port\n",
         false},
        {{"location", "91:00:00", "E11:34:00", "--port", "SIM"},
         2,
         "LAT: value 91:00:00 is out of range (-90:00:00..90:00:00)\n" + usageLocation,
         false},
        {{"location", "N48:08:00", "E11:75", "--port", "SIM"},
         2,
         "LON: 'E11:75' is not an angle ([E|W|-]D:MM:SS or an integer)\n" + usageLocation,
         false},
        {{"import", "adir", "--port", "SIM"}, 8, "cannot read adir: Is a directory\n", false},
        {{"import", "none.json", "--port", "SIM"},
         8,
         "cannot open none.json: No such file or directory\n",
         false},
        {{"import", "regular.txt", "--port", "SIM"}, 8, json + "; nothing was sent\n", false},
        {{"diff", "regular.txt", "--port", "SIM"}, 8, json + "\n", false},
        {{"export", "adir", "--port", "SIM"}, 8, "cannot write adir: Is a directory\n", false},
        {{"export", "no-dir/x.json", "--port", "SIM"},
         8,
         "cannot write no-dir/x.json: No such file or directory\n",
         false},
        {{"export", "old.json", "--port", "SIM"},
         8,
         "cannot write old.json: File too large (the file is unchanged)\n",
         true,
         100},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        for (std::string& a : args)
            if (a == "SIM") a = sim.pty();
        SCOPED_TRACE(args[0] + " " + args[1]);
        // A full disk, for the export: the limit and an ignored SIGXFSZ
        // pass on to the program.
        rlimit unlimited{};
        getrlimit(RLIMIT_FSIZE, &unlimited);
        rlimit limited = unlimited;
        limited.rlim_cur = c.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
        Tool tool(args);
        setrlimit(RLIMIT_FSIZE, &unlimited);
        signal(SIGXFSZ, previousHandler);
        const size_t mark = loggedRequests(log).size();
        const ToolRun run = tool.finish();
        EXPECT_EQ(run.code, c.code) << run.err;
        EXPECT_EQ(run.err, "vorlantctl: " + c.err);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(loggedRequests(log).size() > mark, c.connects);
    }
    EXPECT_EQ(readText("old.json"), "the old backup\n");

    // "-": standard output, for the settings alone and for the trace.
    r = runTool({"export", "-", "--port", sim.pty()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, readText("good.json"));
    // A good export replaces the file and leaves no temporary one behind.
    r = runTool({"--trace", "-", "export", "old.json", "--port", sim.pty()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("# Vorlant link trace", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("-> AA 01 01  Identify"), std::string::npos) << r.out;
    EXPECT_EQ(readText("old.json"), readText("good.json"));
    EXPECT_EQ(::system("test $(ls -A | wc -l) -eq 4"), 0) << "adir, regular.txt, old.json, good.json only";

    ASSERT_EQ(chdir(previous), 0);
    ::system(("rm -rf '" + dir + "'").c_str());
    std::remove(log.c_str());
}

// A pseudo terminal whose far end is held open and never answers.
class SilentPty {
public:
    SilentPty() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const char* name = ptsname(master_);
        if (name != nullptr) path_ = name;
    }
    ~SilentPty() {
        if (master_ >= 0) ::close(master_);
    }
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    std::string path_;
};

TEST(EndToEnd, ScanFindsBothSimulatorsAndSkipsTheSilentLinesAtOnce) {
    struct Port {
        const char* profile;  // nullptr: the silent pty
        const char* line;     // what follows "<path>: " on the port's line
    };
    const Port ports[] = {
        {"class5", "controller, class 5, at 9600 baud (HW:0.1.1.5 | FW:1.0.0.9 | Port type:4)"},
        {"class2", "controller, class 2, at 9600 baud (HW:0.1.1.2 | FW:1.0.0.1 | Port type:"},
        {nullptr, "nothing answered"},
        {nullptr, "nothing answered"},
    };
    std::vector<std::unique_ptr<Simulator>> sims;
    std::vector<std::string> logs;
    std::vector<std::unique_ptr<SilentPty>> silent;
    std::vector<std::string> paths;
    std::vector<std::string> args = {"scan"};
    for (const Port& p : ports) {
        if (p.profile == nullptr) {
            silent.push_back(std::make_unique<SilentPty>());
            paths.push_back(silent.back()->path());
        } else {
            logs.push_back(tempPath(std::string(p.profile) + ".log"));
            sims.push_back(
                std::make_unique<Simulator>(p.profile, std::vector<std::string>{"--log", logs.back()}));
            paths.push_back(sims.back()->pty());
        }
        ASSERT_FALSE(paths.back().empty()) << (p.profile ? p.profile : "silent pty");
        args.push_back("--extra");
        args.push_back(paths.back());
    }

    const ToolRun r = runTool(args);
    EXPECT_EQ(r.code, 0) << r.err;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string start = paths[i] + ": " + ports[i].line;
        EXPECT_NE(r.out.find(start), std::string::npos) << r.out;
    }
    // Each silent line waits out 2 x (0.5 s settling + 2 s reply wait), so
    // one port after another would take 10 s or more; probed at the same
    // time, the whole scan takes little longer than one of them.
    EXPECT_LT(r.seconds, 7.5) << r.out;
    std::printf("scan of %zu ports took %.2f s\n", paths.size(), r.seconds);
    // Only the identification, port type and firmware requests: the scan
    // writes no setting.
    for (const std::string& log : logs) {
        const std::vector<std::string> requests = loggedRequests(log);
        EXPECT_EQ(requests, (std::vector<std::string>{"Identify", "ReadPortType", "ReadFirmware"})) << log;
        std::remove(log.c_str());
    }
}

TEST(EndToEnd, CtrlCDuringAReadOutEndsItAtOnce) {
    SilentPty silent;
    ASSERT_FALSE(silent.path().empty());
    Tool tool({"readout", "--port", silent.path()});
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    tool.signal(SIGINT);
    const ToolRun r = tool.finish();
    EXPECT_EQ(r.code, 130) << r.err;
    EXPECT_LT(r.seconds, 3.0) << "not the 8 s read-out time-out";
    EXPECT_NE(r.err.find("interrupted while connecting"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vorlant::ctl
