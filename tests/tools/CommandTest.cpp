// The commands end to end in-process: the real engine and session against
// the simulated controller behind a LoopbackPort, with fast ticks.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <grp.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "backup/SettingsFile.h"
#include "engine/SettingsFields.h"
#include "platform/SerialPort.h"
#include "tests/support/SimExpect.h"
#include "tools/simulator/LoopbackPort.h"
#include "tools/vorlantctl/Commands.h"

namespace vorlant::ctl {
using namespace backup;
namespace {

using sim::SimProfile;

// Forwards to a LoopbackPort but swallows the frames of one request id, as
// a controller would that takes a write and ignores it.
class DroppingPort : public platform::SerialPort {
public:
    DroppingPort(std::shared_ptr<sim::LoopbackPort> inner, uint8_t dropId)
        : inner_(std::move(inner)), drop_(dropId) {}
    bool open(int n, uint32_t baud) override { return inner_->open(n, baud); }
    WriteResult write(const uint8_t* data, size_t count, uint32_t timeoutMs) override {
        if (count >= 3 && data[2] == drop_) return WriteResult::Done;
        return inner_->write(data, count, timeoutMs);
    }
    ReadResult read(uint8_t* b, size_t c, size_t& got, platform::Event& stop) override {
        return inner_->read(b, c, got, stop);
    }
    void close() override { inner_->close(); }
    platform::PortError lastError() const override { return inner_->lastError(); }

private:
    std::shared_ptr<sim::LoopbackPort> inner_;
    uint8_t drop_;
};

struct Result {
    Outcome outcome;
    std::string out;
};

class Tool : public ::testing::Test {
protected:
    void useProfile(SimProfile profile, sim::SimOptions options = sim::SimOptions{}) {
        port = std::make_shared<sim::LoopbackPort>(profile, options);
        serial = port;
    }

    Session::Options options() const {
        Session::Options o;
        o.engine.connectSettleMs = 0;
        o.engine.readerStopWaitMs = 2000;
        std::shared_ptr<platform::SerialPort> p = serial;
        o.engine.portFactory = [p] { return p; };
        // Fast ticks: read-out pauses of 40 ms, a read-out time-out of 640 ms.
        o.tickMs = 20;
        return o;
    }

    Result run(std::vector<const char*> words, const Interaction& interaction = Interaction(),
               std::shared_ptr<Progress> progress = nullptr) {
        words.insert(words.begin(), "vorlantctl");
        words.push_back("--port");
        words.push_back("COM3");
        CliArgs args;
        std::string error;
        Result r;
        if (!parseCommandLine(static_cast<int>(words.size()), words.data(), true, args, error)) {
            r.outcome = Outcome::failure(kExitUsage, error);
            return r;
        }
        Session::Options o = options();
        o.progress = std::move(progress);
        r.outcome = runCommand(args, o, r.out, interaction);
        return r;
    }

    // Request ids that changed something, in order.
    std::vector<uint8_t> writes() const {
        std::vector<uint8_t> ids;
        for (const auto& frame : port->requestLog())
            if (frame.size() >= 3 && test::isWriteRequest(frame[2])) ids.push_back(frame[2]);
        return ids;
    }

    std::string tempFile(const char* name) const {
        return ::testing::TempDir() + "vorlantctl_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + name;
    }

    std::shared_ptr<sim::LoopbackPort> port;
    std::shared_ptr<platform::SerialPort> serial;
};

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

#define EXPECT_OUTCOME(result, wantCode, wantText)                                                         \
    do {                                                                                                   \
        EXPECT_EQ((result).outcome.code, (wantCode)) << (result).outcome.message;                          \
        EXPECT_NE((result).outcome.message.find(wantText), std::string::npos) << (result).outcome.message; \
    } while (0)

TEST_F(Tool, ReadoutOfEveryClassShowsTheSimulatorsValues) {
    for (SimProfile profile :
         {SimProfile::Class1, SimProfile::Class2, SimProfile::Class3, SimProfile::Class4, SimProfile::Class5,
          SimProfile::Class4Family3, SimProfile::Class5Family5, SimProfile::OldAccepted}) {
        SCOPED_TRACE(sim::profileName(profile));
        useProfile(profile);
        const Result r = run({"readout", "--json"});
        ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
        const nlohmann::json json = nlohmann::json::parse(r.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << r.out;
        const ControllerSettings want = test::expectedReadout(profile);
        size_t count = 0;
        const SettingsField* fields = settingsFields(count);
        ASSERT_EQ(json.size(), count + 1);
        EXPECT_EQ(json.value(kFormatKey, ""), kFormatMarker) << "the export form, for import";
        for (size_t i = 0; i < count; ++i) {
            const auto v = json.find(fields[i].name);
            ASSERT_NE(v, json.end()) << fields[i].name;
            EXPECT_EQ(*v, fields[i].get(want)) << fields[i].name;
        }
    }
}

// How the tool names the test's port: on Linux COM3 maps to a device and
// the tool says which.
#ifdef _WIN32
const char kCom3Label[] = "COM3";
#else
const char kCom3Label[] = "COM3 (/dev/ttyS2)";
#endif

TEST_F(Tool, ReadoutForPeople) {
    useProfile(SimProfile::Class4);
    const Result r = run({"readout"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "Brask hardware 0.5.1.4, firmware 1.0.0.4, port type 4, class 4");
    EXPECT_NE(r.out.find("\nraMaxSpeed       800\n"), std::string::npos) << r.out;
    // Units where the field has one.
    EXPECT_NE(r.out.find("\nraMaxCurrent     2500 mA\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nraGuideRate      11  (0.6875x sidereal)\n"), std::string::npos) << r.out;

    // On a terminal: the connect, every request of the read-out (class 4
    // stops after the parameter block) and the command's own step.
    std::string shown;
    auto progress = std::make_shared<Progress>(true, [&shown](const std::string& text) { shown += text; });
    ASSERT_TRUE(run({"voltage"}, Interaction(), progress).outcome.ok());
    const std::string connecting = std::string("connecting to ") + kCom3Label + " at 9600 baud";
    for (const char* text : {connecting.c_str(), "-> AA 01 15  ReadParameterBlock\n", "reading settings 5/7",
                             "\r\033[Kvoltage", "ReadSupplyVoltage\n"})
        EXPECT_NE(shown.find(text), std::string::npos) << text << " in " << shown;
}

TEST_F(Tool, ConnectFailuresByCategory) {
    struct Case {
        SimProfile profile;
        platform::PortError openError;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {SimProfile::TooOld, platform::PortError::None, kExitTooOld,
         "too old. Use Vorlant 1.0. (hardware 0.1.1.1"},
        {SimProfile::Foreign, platform::PortError::None, kExitUnsupported, "Incompatible device"},
        {SimProfile::Silent, platform::PortError::None, kExitTimeout, "Error: Cannot connect: Timeout error"},
        {SimProfile::Garbage, platform::PortError::None, kExitTimeout, "Timeout error"},
        {SimProfile::Vanish, platform::PortError::None, kExitLost, "the device was disconnected"},
        {SimProfile::Class5, platform::PortError::NotFound, kExitCannotOpen, "Cannot open port. COM3"},
        {SimProfile::Class5, platform::PortError::PermissionDenied, kExitCannotOpen, "permission denied"},
        {SimProfile::Class5, platform::PortError::Busy, kExitCannotOpen, "in use by another program"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(sim::profileName(c.profile));
        useProfile(c.profile);
        if (c.openError != platform::PortError::None) port->failOpenWith(c.openError);
        const Result r = run({"readout"});
        EXPECT_OUTCOME(r, c.code, c.message);
        EXPECT_TRUE(r.out.empty());
    }
}

#ifndef _WIN32
// The way in only where joining the device's group would grant it.
TEST_F(Tool, PermissionDeniedGivesTheGroupCommandOnlyForASerialGroup) {
    const std::string device = tempFile("device");
    std::fclose(std::fopen(device.c_str(), "w"));
    const group* dialout = getgrnam("dialout");
    ASSERT_NE(dialout, nullptr);
    if (chown(device.c_str(), static_cast<uid_t>(-1), dialout->gr_gid) != 0) {
        std::remove(device.c_str());
        GTEST_SKIP() << "giving a file to the dialout group needs root or membership";
    }
    platform::setPortDevice(3, device);
    useProfile(SimProfile::Class5);
    port->failOpenWith(platform::PortError::PermissionDenied);
    Result r = run({"readout"});
    EXPECT_OUTCOME(r, kExitCannotOpen,
                   "permission denied (the port belongs to the group dialout: join it with `sudo usermod -aG "
                   "dialout $USER`, then log in again)");
    ASSERT_EQ(chown(device.c_str(), static_cast<uid_t>(-1), 0), 0);  // root's alone
    port->failOpenWith(platform::PortError::PermissionDenied);
    r = run({"readout"});
    EXPECT_EQ(r.outcome.message, "Error: Cannot open port. COM3 (" + device + "): permission denied");
    platform::setPortDevice(3, "");
    std::remove(device.c_str());
}
#endif

// A connect on the open port is refused, and at once: it starts no read-out
// that could be waited for.
TEST_F(Tool, ConnectOnTheOpenPortIsRefusedAtOnce) {
    useProfile(SimProfile::Class5);
    Session::Options o = options();
    o.readoutTimeoutMs = 3000;
    Session session(o);
    ASSERT_TRUE(session.connect(3, 9600, "COM3").ok());
    const Outcome again = session.connect(3, 9600, "COM3");
    EXPECT_EQ(again.code, kExitGeneric);
    EXPECT_EQ(again.message, "Error: Already connected");
}

TEST_F(Tool, LosingTheDeviceMidSession) {
    sim::SimOptions o;
    o.vanishAfterRequests = 7;  // after a class-5 read-out
    useProfile(SimProfile::Vanish, o);
    const Result r = run({"voltage"});
    EXPECT_OUTCOME(r, kExitLost, "Connection closed (the device was disconnected)");
}

TEST_F(Tool, SetSendsOnlyTheNamedFields) {
    useProfile(SimProfile::Class5);
    const Result r = run({"set", "raAcceleration", "75", "raOvertone", "-9", "latitude", "S10:00:00",
                          "deIdleCurrent", "333", "deDecay", "1"});
    EXPECT_EQ(r.outcome.code, kExitUsage) << "an unknown field stops everything: " << r.outcome.message;
    EXPECT_EQ(port->openCalls(), 0u);

    const Result ok = run({"set", "raAcceleration", "75", "raOvertone", "-9", "latitude", "S10:00:00",
                           "deIdleCurrent", "333", "deRunDecay", "54"});
    ASSERT_TRUE(ok.outcome.ok()) << ok.outcome.message;
    sim::SimState want = sim::initialState(SimProfile::Class5);
    want.raAcceleration = 75;
    want.raOvertone = -9;
    want.latitude = -10 * 86400;
    want.deIdleCurrent = 333;
    EXPECT_TRUE(port->state() == want) << "the other axis of each pair keeps its value";
    EXPECT_NE(ok.out.find("raAcceleration: 70 -> 75\n"), std::string::npos) << ok.out;
    EXPECT_NE(ok.out.find("deRunDecay: 54 (unchanged)\n"), std::string::npos) << ok.out;
    // Current, acceleration, overtone, then the advanced settings' site.
    EXPECT_EQ(writes(), (std::vector<uint8_t>{51, 55, 59, 101}));
}

TEST_F(Tool, SetRefusalsSendNothing) {
    struct Case {
        SimProfile profile;
        std::vector<const char*> words;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {SimProfile::Class2,
         {"set", "raAcceleration", "5", "raOvertone", "5"},
         kExitGeneric,
         "raOvertone cannot be written on this controller (class 2"},
        {SimProfile::Class1,
         {"set", "deAcceleration", "5"},
         kExitGeneric,
         "deAcceleration cannot be written on this controller (class 1"},
        {SimProfile::Class4, {"set", "mountType", "2"}, kExitGeneric, "mountType cannot be written"},
        {SimProfile::Class5,
         {"set", "raGuideRate", "17"},
         kExitUsage,
         "raGuideRate: value 17 is out of range (1..16)"},
        {SimProfile::Class5, {"set", "raMaxCurrent", "100"}, kExitUsage, "raMaxCurrent is read-only"},
        {SimProfile::Class5, {"set", "raMaxSpeed", "1", "raMaxSpeed", "2"}, kExitUsage, "given twice"},
        {SimProfile::Class5,
         {"set", "raMaxSpeed", "fast"},
         kExitUsage,
         "raMaxSpeed: 'fast' is not an integer (0..65535)"},
        {SimProfile::Class5,
         {"set", "raAcceleration", "999"},
         kExitUsage,
         "raAcceleration: value 999 is out of range (0..255)"},
        {SimProfile::Class5,
         {"set", "latitude", "S90:00:01"},
         kExitUsage,
         "latitude: value S90:00:01 is out of range (-90:00:00..90:00:00)"},
        {SimProfile::Class5, {"move", "up", "32"}, kExitUsage, "POSITION: value 32 is out of range (0..31)"},
        {SimProfile::Class5, {"gear", "1", "-1"}, kExitUsage, "DE: value -1 is out of range (1..4294967295)"},
        // A ratio of 0 steps per revolution is no mount.
        {SimProfile::Class5, {"gear", "0", "0"}, kExitUsage, "RA: value 0 is out of range (1..4294967295)"},
        {SimProfile::Class5,
         {"set", "deGearRatio", "0"},
         kExitUsage,
         "deGearRatio: value 0 is out of range (1.."},
        {SimProfile::Class5,
         {"set", "raacceleration", "5"},
         kExitUsage,
         "unknown field 'raacceleration' (did you mean raAcceleration? readout --fields lists them)"},
        {SimProfile::Class5, {"set", "frobnicate", "5"}, kExitUsage, "unknown field 'frobnicate' (readout"},
        {SimProfile::Class5,
         {"location", "N91:00:00", "0"},
         kExitUsage,
         "LAT: value N91:00:00 is out of range (-90:00:00..90:00:00)"},
        {SimProfile::Class4, {"location", "N45:00:00", "E7"}, kExitGeneric, "latitude cannot be written"},
        {SimProfile::Class3, {"park"}, kExitGeneric, "does not support parking"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        useProfile(c.profile);
        const Result r = run(c.words);
        EXPECT_OUTCOME(r, c.code, c.message);
        EXPECT_TRUE(writes().empty());
    }
}

TEST_F(Tool, ExchangesAndTheirReplies) {
    useProfile(SimProfile::Class5);
    Result r = run({"voltage"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out, "12.34V\n");

    r = run({"gear", "2000000", "1500000"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(port->state().raGearRatio, 2000000u);
    EXPECT_EQ(port->state().deGearRatio, 1500000u);

    r = run({"store"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out, "Parameters stored...\n");
    EXPECT_EQ(port->inspect([](sim::SimController& c) { return c.storeCount(); }), 1u);

    r = run({"park"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out, "Park position set.\n");
    EXPECT_EQ(port->inspect([](sim::SimController& c) { return c.parkCount(); }), 1u);

    r = run({"location", "N48:08:00", "E11:34:00"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(port->state().latitude, 48 * 86400 + 8 * 1440);
    EXPECT_EQ(port->state().longitude, 11 * 86400 + 34 * 1440);
    EXPECT_EQ(port->inspect([](sim::SimController& c) { return c.lastLocationFlag(); }), 1u);
}

TEST_F(Tool, AnExchangeTheControllerLeavesUnansweredIsNoReply) {
    // The controller hangs after the class-5 read-out's seven requests; the
    // engine gives the exchange up (status 10), which is no refusal.
    for (const char* command : {"voltage", "store", "park"}) {
        sim::SimOptions mute;
        mute.muteAfterRequests = 7;
        useProfile(SimProfile::Class5, mute);
        SCOPED_TRACE(command);
        const Result r = run({command});
        EXPECT_OUTCOME(r, kExitLost, "no reply from the controller");
    }
}

TEST_F(Tool, ReloadDefaultsOnClassFourAndFive) {
    for (SimProfile profile : {SimProfile::Class4, SimProfile::Class5}) {
        SCOPED_TRACE(sim::profileName(profile));
        useProfile(profile);
        const Result r = run({"reload-defaults"});
        ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
        EXPECT_EQ(r.out, "Default settings reloaded\n");
        EXPECT_TRUE(port->state() == sim::factoryDefaults(profile));
    }
    // Asked on a terminal and refused: the port is not even opened.
    useProfile(SimProfile::Class5);
    Interaction refuse;
    std::string asked;
    refuse.confirm = [&asked](const std::string& question) {
        asked = question;
        return false;
    };
    const Result r = run({"reload-defaults"}, refuse);
    EXPECT_OUTCOME(r, kExitGeneric, "reload-defaults not confirmed; nothing was sent");
    EXPECT_EQ(asked, std::string("Reload the factory defaults on ") + kCom3Label +
                         "? They replace the current settings at once.");
    EXPECT_EQ(port->openCalls(), 0u);
}

TEST_F(Tool, MotionTrackingAndExposure) {
    useProfile(SimProfile::Class5);
    Result r = run({"move", "left", "31", "--keep-moving"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out, "Manual movement\n");
    sim::SimMotion m = port->inspect([](sim::SimController& c) { return c.motion(); });
    EXPECT_EQ(m.lastMoveAxis, 0x80);
    EXPECT_EQ(m.raSpeed, -800 * 12345) << "position 31 is the top speed, left is negative";

    r = run({"move", "up", "2", "--keep-moving"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    m = port->inspect([](sim::SimController& c) { return c.motion(); });
    EXPECT_EQ(m.deSpeed, -11717) << "position 2 is the sidereal rate";

    r = run({"stop", "down"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_EQ(r.out, "Ready\n");
    m = port->inspect([](sim::SimController& c) { return c.motion(); });
    EXPECT_EQ(m.lastStopMask, 0x40);
    EXPECT_EQ(m.deSpeed, 0);
    EXPECT_EQ(m.raSpeed, -800 * 12345);

    r = run({"stop"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    m = port->inspect([](sim::SimController& c) { return c.motion(); });
    EXPECT_EQ(m.lastStopMask, 0xC0);
    EXPECT_EQ(m.raSpeed, 0);

    ASSERT_TRUE(run({"tracking", "on"}).outcome.ok());
    EXPECT_TRUE(port->inspect([](sim::SimController& c) { return c.tracking(); }));
    ASSERT_TRUE(run({"exposure", "on"}).outcome.ok());
    EXPECT_TRUE(port->inspect([](sim::SimController& c) { return c.exp(); }));
    ASSERT_TRUE(run({"tracking", "off"}).outcome.ok());
    EXPECT_FALSE(port->inspect([](sim::SimController& c) { return c.tracking(); }));

    EXPECT_EQ(run({"move", "sideways", "2"}).outcome.code, kExitUsage);
    EXPECT_EQ(run({"move", "up", "32"}).outcome.code, kExitUsage);
}

TEST_F(Tool, ExportThenImportRestoresEveryField) {
    useProfile(SimProfile::Class5);
    const std::string file = tempFile("settings.json");
    Result r = run({"export", file.c_str()});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_NE(readText(file).find("\"format\": \"vorlantctl-settings-v1\""), std::string::npos);

    // One field of every writer changed, some pairs on one axis only.
    r = run({"set",      "raGearRatio",    "1000", "deMaxSpeed", "1",   "reverseLimits",
             "0",        "raTrackCurrent", "11",   "deRunDecay", "12",  "deAcceleration",
             "13",       "raDeceleration", "14",   "deOvertone", "-15", "raIncCurrentAt",
             "16",       "deGuideRate",    "1",    "mountType",  "2",   "longitude",
             "W1:00:00", "flipHysteresis", "17"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    ASSERT_FALSE(port->state() == sim::initialState(SimProfile::Class5));

    // A dry run, and an import refused at the question, show the plan and
    // send nothing; the import itself shows the same lines, as set does.
    const sim::SimState changed = port->state();
    const std::string plan = "mountType: 2 -> 1\nraGearRatio: 1000 -> 1728000\n";
    r = run({"import", file.c_str(), "--dry-run"});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_NE(r.out.find(plan), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("dry run: 13 fields would change; nothing was sent\n"), std::string::npos) << r.out;
    Interaction refuse;
    std::string asked;
    refuse.confirm = [&asked](const std::string& question) {
        asked = question;
        return false;
    };
    r = run({"import", file.c_str()}, refuse);
    EXPECT_OUTCOME(r, kExitGeneric, "import not confirmed; nothing was sent");
    EXPECT_EQ(asked.rfind(plan, 0), 0u) << asked;
    EXPECT_TRUE(port->state() == changed);

    r = run({"import", file.c_str()});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_TRUE(port->state() == sim::initialState(SimProfile::Class5));
    EXPECT_EQ(r.out.rfind(plan, 0), 0u) << r.out;
    EXPECT_NE(r.out.find("13 fields changed, read back and confirmed"), std::string::npos) << r.out;

    // Nothing differs any more: a second import sends nothing.
    port->inspect([](sim::SimController& c) {
        c.clearRequestLog();
        return 0;
    });
    r = run({"import", file.c_str()});
    ASSERT_TRUE(r.outcome.ok()) << r.outcome.message;
    EXPECT_TRUE(writes().empty());
    std::remove(file.c_str());
}

// diff: 0 when they match, 1 only when they differ (the fields on standard
// output), its other failures their own codes; it never writes.
TEST_F(Tool, DiffExitCodes) {
    useProfile(SimProfile::Class5);
    const std::string file = tempFile("settings.json");
    ASSERT_TRUE(run({"export", file.c_str()}).outcome.ok());
    const std::string exported = readText(file);
    const std::string corrupt = tempFile("corrupt.json");
    writeText(corrupt, exported.substr(0, exported.size() / 2));
    const std::string missing = tempFile("missing.json");

    Result r = run({"diff", file.c_str()});
    EXPECT_EQ(r.outcome.code, kExitOk) << r.outcome.message;
    EXPECT_NE(r.out.find("the controller matches"), std::string::npos) << r.out;

    ASSERT_TRUE(run({"set", "deOvertone", "-15", "latitude", "N10:00:00"}).outcome.ok());
    port->inspect([](sim::SimController& c) {
        c.clearRequestLog();
        return 0;
    });
    r = run({"diff", file.c_str()});
    EXPECT_EQ(r.outcome.code, kExitDiffers);
    EXPECT_TRUE(r.outcome.message.empty()) << r.outcome.message;
    EXPECT_NE(r.out.find("deOvertone  controller -15, file "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("latitude    controller 864000  (10:00:00), file -2926264  (-33:52:07)"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("2 fields differ from"), std::string::npos) << r.out;
    EXPECT_TRUE(writes().empty());

    struct Failure {
        const char* path;
        SimProfile profile;
        int code;
    };
    const std::string& c = corrupt;
    const std::string& m = missing;
    for (const Failure& f : {Failure{c.c_str(), SimProfile::Class5, kExitFile},
                             Failure{m.c_str(), SimProfile::Class5, kExitFile},
                             Failure{file.c_str(), SimProfile::Silent, kExitTimeout},
                             Failure{file.c_str(), SimProfile::TooOld, kExitTooOld}}) {
        SCOPED_TRACE(f.path);
        useProfile(f.profile);
        r = run({"diff", f.path});
        EXPECT_EQ(r.outcome.code, f.code) << r.outcome.message;
        EXPECT_FALSE(r.outcome.message.empty());
    }
    std::remove(file.c_str());
    std::remove(corrupt.c_str());
}

TEST_F(Tool, ImportRefusalsSendNothing) {
    useProfile(SimProfile::Class5);
    const std::string good = tempFile("good.json");
    ASSERT_TRUE(run({"export", good.c_str()}).outcome.ok());
    const std::string text = readText(good);
    ASSERT_TRUE(run({"set", "raAcceleration", "1"}).outcome.ok());
    port->inspect([](sim::SimController& c) {
        c.clearRequestLog();
        return 0;
    });

    struct Case {
        const char* what;
        std::string content;
        const char* message;
        bool connects;  // checked against the controller, or refused on its own
    };
    std::string foreign = text;
    foreign.replace(foreign.find("\"deviceFamily\": 1"), 17, "\"deviceFamily\": 5");
    std::string outOfRange = text;
    outOfRange.replace(outOfRange.find("\"deMaxSpeed\": 650"), 17, "\"deMaxSpeed\": 65536");
    std::string unknown = text;
    unknown.replace(unknown.find("\"raAuxByte\""), 11, "\"raAuxBite\"");
    const Case cases[] = {
        {"truncated", text.substr(0, text.size() / 2), "not valid JSON: line ", false},
        {"unknown field", unknown, "unknown field \"raAuxBite\"", false},
        {"foreign family", foreign, "field deviceFamily", true},
        {"out of range", outOfRange, "deMaxSpeed: value 65536 is out of range (0..65535)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = tempFile("bad.json");
        writeText(file, c.content);
        const uint32_t opens = port->openCalls();
        const Result r = run({"import", file.c_str()});
        EXPECT_OUTCOME(r, kExitFile, c.message);
        EXPECT_NE(r.outcome.message.find("nothing was sent"), std::string::npos) << r.outcome.message;
        EXPECT_EQ(port->openCalls() - opens, c.connects ? 1u : 0u);
        EXPECT_TRUE(writes().empty());
        std::remove(file.c_str());
    }
    EXPECT_EQ(port->state().raAcceleration, 1);

    const Result missing = run({"import", tempFile("missing.json").c_str()});
    EXPECT_OUTCOME(missing, kExitFile, "cannot open");
    std::remove(good.c_str());
}

TEST_F(Tool, ImportOfANewerClassFileNamesTheFieldTheControllerLacks) {
    useProfile(SimProfile::Class5);
    const std::string file = tempFile("class5.json");
    ASSERT_TRUE(run({"export", file.c_str()}).outcome.ok());
    useProfile(SimProfile::Class4);  // family 5: make the file's family match
    std::string text = readText(file);
    text.replace(text.find("\"deviceFamily\": 1"), 17, "\"deviceFamily\": 5");
    writeText(file, text);
    const Result r = run({"import", file.c_str()});
    EXPECT_OUTCOME(r, kExitFile, "flipHysteresis cannot be written on this controller (class 4");
    EXPECT_TRUE(writes().empty());
    std::remove(file.c_str());
}

TEST_F(Tool, ImportFailsWhenTheReadBackDiffers) {
    useProfile(SimProfile::Class5);
    const std::string file = tempFile("settings.json");
    ASSERT_TRUE(run({"export", file.c_str()}).outcome.ok());
    ASSERT_TRUE(run({"set", "raAcceleration", "1", "raIdleCurrent", "2"}).outcome.ok());
    serial = std::make_shared<DroppingPort>(port, uint8_t{55});  // acceleration writes never arrive
    const Result r = run({"import", file.c_str()});
    EXPECT_OUTCOME(r, kExitGeneric, "raAcceleration is 1, want 70");
    EXPECT_EQ(r.outcome.message.find("raIdleCurrent"), std::string::npos) << "the current was restored";
    EXPECT_EQ(port->state().raIdleCurrent, 300);
    std::remove(file.c_str());
}

}  // namespace
}  // namespace vorlant::ctl
