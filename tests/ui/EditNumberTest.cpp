#include <gtest/gtest.h>

#include <string>

#include "ui/EditNumber.h"

namespace vorlant {
namespace {

struct Case {
    const char* text;
    bool ok;
    int64_t value;
};

TEST(EditNumber, UnsignedReadsLikeTheDialogManager) {
    const Case cases[] = {
        {"0", true, 0},    {"600", true, 600},       {"  42", true, 42},
        {"\t7", true, 7},  {"007", true, 7},         {"4294967295", true, 4294967295},
        {"", false, 0},    {"   ", false, 0},        {"42 ", false, 0},
        {"12a", false, 0}, {"a12", false, 0},        {"-5", false, 0},
        {"+5", false, 0},  {"4294967296", false, 0}, {"99999999999999999999999999", false, 0},
        {"1.5", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t v = 123;
        EXPECT_EQ(readEditUnsigned(c.text, &v), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(v, c.value) << '"' << c.text << '"';
        EXPECT_EQ(editUnsigned(c.text), c.value) << '"' << c.text << '"';
    }
}

TEST(EditNumber, SignedReadsLikeTheDialogManager) {
    const Case cases[] = {
        {"-20", true, -20},
        {" -5", true, -5},
        {"-0", true, 0},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483648LL},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"-", false, 0},
        {"- 5", false, 0},
        {"--5", false, 0},
        {"5-", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        int32_t v = 123;
        EXPECT_EQ(readEditSigned(c.text, &v), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(v, c.value) << '"' << c.text << '"';
        EXPECT_EQ(editSigned(c.text), c.value) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace vorlant
