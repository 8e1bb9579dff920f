// The engine queue: whole messages in per-writer order under many writers,
// prompt stops, and shutdown releasing a writer stuck on a full queue.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/ByteQueue.h"
#include "platform/Platform.h"
#include "platform/TestTiming.h"

namespace vorlant::platform {
namespace {

using test::elapsedMs;

// A name of this process's own (Win32 needs a pipe name; POSIX ignores it).
std::string queueName() {
    static std::atomic<int> serial{0};
    char name[96];
    std::snprintf(name, sizeof name, "\\\\.\\Pipe\\vorlant_test_%08X_%d", currentProcessId(),
                  serial.fetch_add(1));
    return name;
}

class ByteQueueTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(queue.open(queueName().c_str())); }

    // Reads exactly count bytes (in whatever pieces the queue delivers).
    bool readExactly(uint8_t* out, size_t count, uint32_t timeoutMs = 10000) {
        const uint64_t start = monotonicNs();
        size_t have = 0;
        while (have < count) {
            if (elapsedMs(start) > timeoutMs) return false;
            size_t got = 0;
            if (queue.read(out + have, count - have, got, stop) != ByteQueue::ReadResult::Data) return false;
            have += got;
        }
        return true;
    }

    ByteQueue queue;
    Event stop{Event::Reset::Manual};
};

// Message layout: writer id, sequence number (2 bytes), then a filler that
// depends on both, so a torn or mixed message is recognised.
constexpr size_t kMessageSize = 32;
constexpr int kWriters = 4;
constexpr int kMessagesPerWriter = 300;

void buildMessage(uint8_t* m, int writer, int seq) {
    m[0] = static_cast<uint8_t>(writer);
    m[1] = static_cast<uint8_t>(seq & 0xFF);
    m[2] = static_cast<uint8_t>(seq >> 8);
    for (size_t i = 3; i < kMessageSize; ++i) m[i] = static_cast<uint8_t>(writer * 31 + seq * 7 + i);
}

struct WriterShared {
    ByteQueue* queue;
    Lock writeLock;  // as the engine's write lock: one message at a time
    std::atomic<int> nextWriter{0};
    std::atomic<int> failures{0};
};

void writerEntry(void* p) {
    auto* s = static_cast<WriterShared*>(p);
    const int writer = s->nextWriter.fetch_add(1);
    uint8_t m[kMessageSize];
    for (int seq = 0; seq < kMessagesPerWriter; ++seq) {
        buildMessage(m, writer, seq);
        LockGuard guard(s->writeLock);
        if (!s->queue->write(m, sizeof m)) s->failures.fetch_add(1);
    }
}

TEST_F(ByteQueueTest, ManyWritersMessagesArriveWholeAndInPerWriterOrder) {
    WriterShared shared;
    shared.queue = &queue;
    Thread writers[kWriters];
    for (Thread& t : writers) ASSERT_TRUE(t.start(&writerEntry, &shared));

    // Read the way the engine does, 20 bytes at a time, and cut the stream
    // into 32-byte messages.
    std::vector<uint8_t> stream;
    const size_t total = kMessageSize * kWriters * kMessagesPerWriter;
    const uint64_t start = monotonicNs();
    while (stream.size() < total && elapsedMs(start) < 30000) {
        uint8_t buffer[20];
        size_t got = 0;
        ASSERT_EQ(queue.read(buffer, sizeof buffer, got, stop), ByteQueue::ReadResult::Data);
        ASSERT_LE(got, sizeof buffer);
        stream.insert(stream.end(), buffer, buffer + got);
    }
    for (Thread& t : writers) ASSERT_TRUE(t.join(10000));
    EXPECT_EQ(shared.failures.load(), 0);
    ASSERT_EQ(stream.size(), total);

    int nextSeq[kWriters] = {};
    for (size_t off = 0; off < total; off += kMessageSize) {
        const uint8_t* m = &stream[off];
        const int writer = m[0];
        ASSERT_LT(writer, kWriters) << "at offset " << off;
        const int seq = m[1] | (m[2] << 8);
        uint8_t expected[kMessageSize];
        buildMessage(expected, writer, seq);
        ASSERT_EQ(0, std::memcmp(m, expected, kMessageSize)) << "torn message at offset " << off;
        ASSERT_EQ(seq, nextSeq[writer]) << "writer " << writer << " out of order";
        ++nextSeq[writer];
    }
}

// One write far larger than any queue buffer: the writer blocks and resumes
// as the reader drains, and every byte arrives once, in order.
TEST_F(ByteQueueTest, LargeWriteArrivesInOrder) {
    struct Shared {
        ByteQueue* queue;
        std::vector<uint8_t> data;
        std::atomic<bool> ok{false};
    } shared;
    shared.queue = &queue;
    shared.data.resize(20000);
    for (size_t i = 0; i < shared.data.size(); ++i) shared.data[i] = static_cast<uint8_t>(i * 13 + (i >> 8));
    Thread writer;
    ASSERT_TRUE(writer.start(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            s->ok = s->queue->write(s->data.data(), s->data.size());
        },
        &shared));
    std::vector<uint8_t> got(shared.data.size());
    ASSERT_TRUE(readExactly(got.data(), got.size()));
    ASSERT_TRUE(writer.join(10000));
    EXPECT_TRUE(shared.ok.load());
    EXPECT_EQ(got, shared.data);
}

TEST_F(ByteQueueTest, StopWakesABlockedReaderPromptly) {
    struct Shared {
        ByteQueue* queue;
        Event* stop;
        std::atomic<int> result{-1};
        std::atomic<uint64_t> returnedNs{0};
    } shared{&queue, &stop};
    Thread reader;
    ASSERT_TRUE(reader.start(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            uint8_t buffer[20];
            size_t got = 0;
            s->result = static_cast<int>(s->queue->read(buffer, sizeof buffer, got, *s->stop));
            s->returnedNs = monotonicNs();
        },
        &shared));
    // Set the stop early in the reader's first wait step, so a reader that
    // only looks at the stop between steps would be late by most of a step.
    sleepMs(20);
    EXPECT_EQ(shared.result.load(), -1) << "read returned without data or stop";
    const uint64_t setNs = monotonicNs();
    stop.set();
    ASSERT_TRUE(reader.join(10000));
    EXPECT_EQ(shared.result.load(), static_cast<int>(ByteQueue::ReadResult::Stopped));
    // Far below the 300 ms wait step: the stop ends the wait itself.
    EXPECT_LT((shared.returnedNs.load() - setNs) / 1000000u, 100u);
}

TEST_F(ByteQueueTest, StopWinsOverWaitingDataWhichStaysQueued) {
    const uint8_t message[] = {0xA0, 0x00};
    ASSERT_TRUE(queue.write(message, sizeof message));
    stop.set();
    uint8_t buffer[20];
    size_t got = 99;
    EXPECT_EQ(queue.read(buffer, sizeof buffer, got, stop), ByteQueue::ReadResult::Stopped);
    EXPECT_EQ(got, 0u);
    stop.reset();
    uint8_t back[2] = {};
    ASSERT_TRUE(readExactly(back, sizeof back));
    EXPECT_EQ(back[0], 0xA0);
    EXPECT_EQ(back[1], 0x00);
}

TEST_F(ByteQueueTest, ShutdownReleasesAWriterBlockedOnAFullQueue) {
    struct Shared {
        ByteQueue* queue;
        std::atomic<int> written{0};
        std::atomic<bool> failed{false};
        std::atomic<bool> quit{false};
    } shared;
    shared.queue = &queue;
    Thread writer;
    ASSERT_TRUE(writer.start(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            uint8_t m[kMessageSize];
            for (int seq = 0; !s->quit.load(); ++seq) {
                buildMessage(m, 0, seq & 0xFFFF);
                if (!s->queue->write(m, sizeof m)) break;
                s->written.fetch_add(1);
            }
            s->failed = true;
        },
        &shared));
    // Nobody reads: the writer fills the queue and then blocks. Wait until
    // it has made no progress for a while.
    int last = -1;
    for (int quiet = 0; quiet < 10;) {
        sleepMs(20);
        const int now = shared.written.load();
        quiet = now == last ? quiet + 1 : 0;
        last = now;
        ASSERT_FALSE(shared.failed.load()) << "write failed on a healthy queue";
    }
    ASSERT_GT(last, 0);

    const uint64_t start = monotonicNs();
    queue.shutdown();
    const bool released = writer.join(5000);
    if (!released) {
        // Free the writer so the failure does not take the other tests
        // down with it: the queue is full, so these reads never block.
        shared.quit = true;
        uint8_t buffer[20];
        size_t got = 0;
        while (!writer.join(20)) queue.read(buffer, sizeof buffer, got, stop);
    }
    ASSERT_TRUE(released) << "shutdown left the writer blocked";
    EXPECT_LT(elapsedMs(start), 2000u);
    EXPECT_TRUE(shared.failed.load());

    // Later writes fail at once; the object itself stays usable.
    const uint8_t tick[] = {0xA0, 0x00};
    EXPECT_FALSE(queue.write(tick, sizeof tick));
    stop.set();
    uint8_t buffer[20];
    size_t got = 0;
    EXPECT_EQ(queue.read(buffer, sizeof buffer, got, stop), ByteQueue::ReadResult::Stopped);
    EXPECT_TRUE(queue.isOpen());
    queue.close();
    EXPECT_FALSE(queue.isOpen());
}

TEST(ByteQueueLifecycleTest, ClosedQueueRefusesWritesAndReportsStop) {
    ByteQueue queue;
    EXPECT_FALSE(queue.isOpen());
    const uint8_t tick[] = {0xA0, 0x00};
    EXPECT_FALSE(queue.write(tick, sizeof tick));
    queue.shutdown();  // harmless when not open
    Event stop(Event::Reset::Manual);
    stop.set();
    uint8_t buffer[4];
    size_t got = 0;
    EXPECT_EQ(queue.read(buffer, sizeof buffer, got, stop), ByteQueue::ReadResult::Stopped);

    ASSERT_TRUE(queue.open(queueName().c_str()));
    EXPECT_TRUE(queue.isOpen());
    queue.close();
    queue.close();  // twice is harmless
    EXPECT_FALSE(queue.isOpen());
    // A queue can be opened again after close.
    ASSERT_TRUE(queue.open(queueName().c_str()));
    EXPECT_TRUE(queue.write(tick, sizeof tick));
}

}  // namespace
}  // namespace vorlant::platform
