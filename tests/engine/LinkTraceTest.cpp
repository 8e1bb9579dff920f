// The link trace's bounds: its size limit and a write that fails.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "engine/ControllerSettings.h"
#include "engine/EngineCore.h"
#include "engine/LinkTrace.h"
#include "engine/TelescopeControl.h"

namespace vorlant {
namespace {

std::vector<std::string> linesOf(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(LinkTrace, StopsBeforeItsLimitWithALastLineThatSaysSo) {
    const std::string path = ::testing::TempDir() + "vorlant_trace_limit.txt";
    std::string error;
    constexpr uint64_t kLimit = 4096;
    std::shared_ptr<LinkTrace> trace = LinkTrace::open(path, error, kLimit);
    ASSERT_TRUE(trace) << error;
    for (int i = 0; i < 200; ++i) trace->status(ConnectionState::Ready, StatusCode::ManualMovement);
    trace.reset();
    const std::vector<std::string> lines = linesOf(path);
    ASSERT_GT(lines.size(), 2u);
    EXPECT_LT(lines.size(), 200u);
    EXPECT_EQ(lines.back(), "# trace cut: it reached its size limit of 4096 bytes");
    uint64_t size = 0;
    for (size_t i = 0; i + 1 < lines.size(); ++i) size += lines[i].size() + 1;
    EXPECT_LE(size, kLimit);
    EXPECT_GT(size, kLimit - 100);  // the lines before the cut all made it
    std::remove(path.c_str());
}

TEST(LinkTrace, AFailedWriteIsReportedOnceAndEndsTheTrace) {
#ifdef _WIN32
    GTEST_SKIP() << "the failing files are POSIX ones";
#else
    // A full disk at the start: not even the header goes, so no trace.
    std::string error;
    EXPECT_FALSE(LinkTrace::open("/dev/full", error));
    EXPECT_EQ(error, "cannot write the trace file '/dev/full': " + std::string(std::strerror(ENOSPC)));

    // The disk fills up later: a file size limit of the process makes the
    // writes past it fail (EFBIG once SIGXFSZ is ignored).
    const std::string path = ::testing::TempDir() + "vorlant_trace_full.txt";
    std::shared_ptr<LinkTrace> trace = LinkTrace::open(path, error);
    ASSERT_TRUE(trace) << error;
    std::vector<std::string> told;
    trace->setWriteErrorHandler([&told](const std::string& why) { told.push_back(why); });
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    void (*const oldHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = before;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 40; ++i) trace->status(ConnectionState::Ready, StatusCode::Ready);
    setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], trace->writeError());
    EXPECT_EQ(told[0], "writing the trace file '" + path + "' failed (" + std::strerror(EFBIG) +
                           "); the trace ends there");
    // The trace has ended: room again changes nothing (a later line would
    // pretend the trace were whole).
    for (int i = 0; i < 5; ++i) trace->status(ConnectionState::Ready, StatusCode::Ready);
    trace.reset();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    EXPECT_LE(static_cast<long long>(in.tellg()), 1024);
    EXPECT_EQ(told.size(), 1u);
    std::remove(path.c_str());
#endif
}

TEST(LinkTrace, LimitFromTheEnvironmentsText) {
    const struct {
        const char* text;
        bool ok;
        uint64_t bytes;
    } cases[] = {
        {nullptr, true, uint64_t{16} << 20},
        {"", true, uint64_t{16} << 20},
        {"1", true, uint64_t{1} << 20},
        {"4096", true, uint64_t{4096} << 20},
        {"0", false, 0},
        {"4097", false, 0},
        {"12 ", false, 0},
        {"-3", false, 0},
        {"lots", false, 0},
        {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t bytes = 0;
        std::string error;
        EXPECT_EQ(LinkTrace::limitFromText(c.text, bytes, error), c.ok) << (c.text ? c.text : "null");
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        } else {
            EXPECT_EQ(error.rfind("VORLANT_TRACE_LIMIT_MB is '", 0), 0u) << error;
        }
    }
}

}  // namespace
}  // namespace vorlant
