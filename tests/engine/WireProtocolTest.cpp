#include <gtest/gtest.h>

#include <vector>

#include "engine/ManualMotion.h"
#include "engine/WireProtocol.h"

namespace vorlant {
namespace {

using Bytes = std::vector<uint8_t>;
Bytes bytes(const Frame& f) {
    return Bytes(f.bytes, f.bytes + f.size);
}

TEST(WireProtocol, BuildersComposeTheDocumentedFrames) {
    struct Case {
        Frame frame;
        Bytes expected;
    };
    const Case cases[] = {
        {buildRequest(2), {0xAA, 0x01, 0x02}},
        {buildRequest(33, 0, 0xC0), {0xAA, 0x03, 0x21, 0x00, 0xC0}},
        {buildRequestU16(43, 0), {0xAA, 0x03, 0x2B, 0x00, 0x00}},
        {buildRequestBBU32U32(26, 1, 0xC0, 172800, 164000),
         {0xAA, 0x0B, 0x1A, 0x01, 0xC0, 0x00, 0xA3, 0x02, 0x00, 0xA0, 0x80, 0x02, 0x00}},
        {buildRequestBBU16(51, 0, 0x81, 600), {0xAA, 0x05, 0x33, 0x00, 0x81, 0x58, 0x02}},
        {buildRequestBBU16U16(60, 0, 0x80, 0x1234, 0xABCD),
         {0xAA, 0x07, 0x3C, 0x00, 0x80, 0x34, 0x12, 0xCD, 0xAB}},
        {buildRequestBU32U32(101, 1, 0xFFFFFFFF, 2),
         {0xAA, 0x0A, 0x65, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}},
        {buildRequestBBU32(35, 0, 0x80, 0xFFFFFFE0u), {0xAA, 0x07, 0x23, 0x00, 0x80, 0xE0, 0xFF, 0xFF, 0xFF}},
        {buildRequest(62, 1, 1, 5, 6, 7), {0xAA, 0x06, 0x3E, 1, 1, 5, 6, 7}},
    };
    for (const Case& c : cases) EXPECT_EQ(bytes(c.frame), c.expected);
}

TEST(WireProtocol, GeneralBuilderRefusesMoreThanTwentyArguments) {
    uint8_t args[21] = {};
    EXPECT_EQ(buildRequestN(7, args, 20).size, 23);
    EXPECT_EQ(buildRequestN(7, args, 21).size, 0);
}

TEST(WireProtocol, SignedConversionsCoverTheWholeRange) {
    EXPECT_EQ(toSigned32(0x80000000u), INT32_MIN);
    EXPECT_EQ(toSigned32(0xFFFFFFFFu), -1);
    EXPECT_EQ(toSigned32(0x7FFFFFFFu), INT32_MAX);
    EXPECT_EQ(toSigned8(0x80), -128);
    EXPECT_EQ(toSigned8(0xFF), -1);
    EXPECT_EQ(toSigned8(0x7F), 127);
}

}  // namespace
}  // namespace vorlant
