// The simulator program's command line and log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/simulator/SimCommandLine.h"

namespace vorlant::sim {
namespace {

bool parse(std::vector<const char*> args, SimCommandLine& out, std::string& error) {
    args.insert(args.begin(), "vorlant-sim");
    return parseSimCommandLine(static_cast<int>(args.size()), args.data(), out, error);
}

TEST(SimCommandLineTest, DefaultsAndEveryOption) {
    SimCommandLine cl;
    std::string error;
    ASSERT_TRUE(parse({}, cl, error));
    EXPECT_EQ(cl.profile, SimProfile::Class5);
    EXPECT_LT(cl.options.replyDelayMs, 0);
    EXPECT_EQ(cl.options.muteAfterRequests, 0);
    EXPECT_FALSE(cl.once);

    ASSERT_TRUE(parse({"--profile", "slow", "--delay-ms", "250", "--delay-after", "7", "--vanish-after=3",
                       "--mute-after", "8", "--log", "-", "--once", "--link", "/tmp/x"},
                      cl, error))
        << error;
    EXPECT_EQ(cl.profile, SimProfile::Slow);
    EXPECT_EQ(cl.options.replyDelayMs, 250);
    EXPECT_EQ(cl.options.delayAfterRequests, 7);
    EXPECT_EQ(cl.options.vanishAfterRequests, 3);
    EXPECT_EQ(cl.options.muteAfterRequests, 8);
    EXPECT_EQ(cl.logPath, "-");
    EXPECT_TRUE(cl.once);
    EXPECT_EQ(cl.linkPath, "/tmp/x");

    ASSERT_TRUE(
        parse({"--device", "/dev/ttyUSB0", "--baud", "115200", "--profile=class4-family3"}, cl, error));
    EXPECT_EQ(cl.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(cl.baud, 115200u);
    EXPECT_EQ(cl.profile, SimProfile::Class4Family3);
}

TEST(SimCommandLineTest, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<const char*> args;
        const char* message;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--profile"}, "--profile needs a value"},
        {{"--profile", "class0"}, "unknown profile 'class0'"},
        {{"--delay-ms", "-1"}, "--delay-ms: '-1' is not a whole number (0..3600000)"},
        {{"--delay-ms", "1x"}, "'1x' is not a whole number"},
        {{"--delay-ms", "3600001"}, "--delay-ms: value 3600001 is out of range (0..3600000)"},
        {{"--vanish-after", "99999999999"}, "value 99999999999 is out of range (0..1000000)"},
        {{"--vanish-after", ""}, "--vanish-after"},
        {{"--baud", "0"}, "--baud: value 0 is out of range (1..4000000)"},
        {{"--once=yes"}, "--once takes no value"},
        {{"--link", "/tmp/a", "--device", "/dev/ttyS0"}, "--link excludes --device"},
        {{"positional"}, "unexpected argument 'positional'"},
        {{"--mute-after", "-1"}, "--mute-after"},
    };
    for (const Case& c : cases) {
        SimCommandLine cl;
        std::string error;
        EXPECT_FALSE(parse(c.args, cl, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << "got: " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(SimCommandLineTest, NumbersAreDecimalAndTheLaterOptionWins) {
    SimCommandLine cl;
    std::string error;
    ASSERT_TRUE(parse({"--delay-ms", "010", "--baud", "9600", "--baud", "115200"}, cl, error)) << error;
    EXPECT_EQ(cl.options.replyDelayMs, 10) << "not octal";
    EXPECT_EQ(cl.baud, 115200u);
}

TEST(SimCommandLineTest, HelpNamesEveryProfile) {
    SimCommandLine cl;
    std::string error;
    ASSERT_TRUE(parse({"--help"}, cl, error));
    ASSERT_TRUE(cl.help);
    size_t count = 0;
    const SimProfile* profiles = allProfiles(count);
    for (size_t i = 0; i < count; ++i)
        EXPECT_NE(cl.helpText.find(std::string(" ") + profileName(profiles[i])), std::string::npos)
            << profileName(profiles[i]);
    EXPECT_NE(cl.helpText.find("--mute-after N"), std::string::npos) << cl.helpText;
}

TEST(SimCommandLineTest, LogLines) {
    EXPECT_EQ(formatRequestLine(1250000000ull, {0xAA, 0x01, 0x01}), "[    1.250] AA 01 01  Identify");
    EXPECT_EQ(formatRequestLine(0, {0xAA, 0x05, 0x33, 0x00, 0x81, 0x58, 0x02}),
              "[    0.000] AA 05 33 00 81 58 02  WriteCurrent");
    EXPECT_EQ(formatRequestLine(0, {0xAA, 0x01, 0x63}), "[    0.000] AA 01 63  Unknown");
    const uint8_t reply[] = {0x55, 0x01, 0x0D};
    EXPECT_EQ(formatReplyLine(61005000000ull, reply, sizeof reply), "[   61.005]   -> 55 01 0D");
}

}  // namespace
}  // namespace vorlant::sim
