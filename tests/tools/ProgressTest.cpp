// The terminal's status line: what each step, request and interjection
// writes, with and without --verbose.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/vorlantctl/Progress.h"

namespace vorlant::ctl {
namespace {

const std::string E = "\r\033[K";  // back to the line's start, erase it

TEST(Progress, StatusLineAndRequests) {
    const uint8_t identify[] = {0xAA, 0x01, 0x01};
    const uint8_t firmware[] = {0xAA, 0x01, 0x02};
    const uint8_t voltage[] = {0xAA, 0x01, 0x2B};
    struct Case {
        bool verbose;
        const char* want;
    };
    // Identify is the read-out's first request, firmware its third; the
    // voltage request belongs to no read-out and changes no step.
    const std::string quiet = E + "connecting to COM3 at 9600 baud" + E + "reading settings 1/7" + E +
                              "reading settings 3/7" + E + "line\n" + "reading settings 3/7" + E;
    const std::string verbose = E + "connecting to COM3 at 9600 baud" + E + "-> AA 01 01  Identify\n" +
                                "reading settings 1/7" + E + "-> AA 01 02  ReadFirmware\n" +
                                "reading settings 3/7" + E + "-> AA 01 2B  ReadSupplyVoltage\n" +
                                "reading settings 3/7" + E + "line\n" + "reading settings 3/7" + E;
    for (const Case& c : {Case{false, quiet.c_str()}, Case{true, verbose.c_str()}}) {
        std::string written;
        Progress p(c.verbose, [&written](const std::string& text) { written += text; });
        p.step("connecting to COM3 at 9600 baud");
        p.sent(identify, sizeof identify);
        p.sent(firmware, sizeof firmware);
        p.sent(voltage, sizeof voltage);
        p.interject([&written] { written += "line\n"; });
        p.clear();
        p.clear();  // nothing left to erase
        EXPECT_EQ(written, c.want) << "verbose " << c.verbose;
    }
}

}  // namespace
}  // namespace vorlant::ctl
