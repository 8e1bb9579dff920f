// Engine benchmarks: queue latency, serial forwarding throughput, command
// to wire latency, and the read-out time against the protocol's own floor.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/EngineCore.h"
#include "engine/HeartBeat.h"
#include "engine/LinkTrace.h"
#include "engine/TelescopeControl.h"
#include "tests/support/TestController.h"

namespace vorlant::bench {
namespace {

using test::Bytes;

// Records when the engine thread made each report.
class StampListener : public TelescopeListener {
public:
    void onStatus(int) override { stamp(); }
    void onSettings(const ControllerSettings*, int) override { stamp(); }
    void onSupplyVoltage(int) override { stamp(); }
    std::atomic<uint64_t> lastNs{0};
    std::atomic<uint64_t> count{0};

private:
    void stamp() {
        lastNs.store(nowNs());
        count.fetch_add(1);
    }
};

// A port that answers like a controller and can emulate the line: replies
// become readable only after request and reply have crossed the wire at
// the given baud rate (10 bits per byte). baud 0: instant.
class BenchPort : public platform::SerialPort {
public:
    BenchPort(test::TestController controller, uint32_t baud)
        : controller_(std::move(controller)), baud_(baud) {}

    bool open(int, uint32_t) override { return true; }
    WriteResult write(const uint8_t* data, size_t count, uint32_t) override {
        const uint64_t t = nowNs();
        lastWriteNs.store(t);
        writes.fetch_add(1);
        Bytes reply = controller_.reply(Bytes(data, data + count));
        std::lock_guard<std::mutex> g(m_);
        const uint64_t line = baud_ ? (count + reply.size()) * 10ull * 1000000000ull / baud_ : 0;
        if (!reply.empty()) {
            pending_.push_back({t + line, std::move(reply)});
            cv_.notify_all();
        }
        return WriteResult::Done;
    }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        got = 0;
        std::unique_lock<std::mutex> g(m_);
        for (;;) {
            if (stop.isSet()) return ReadResult::Stopped;
            if (!pending_.empty() && pending_.front().dueNs <= nowNs()) {
                Bytes& b = pending_.front().bytes;
                while (got < capacity && !b.empty()) {
                    buffer[got++] = b.front();
                    b.erase(b.begin());
                }
                if (b.empty()) pending_.pop_front();
                return ReadResult::Data;
            }
            cv_.wait_for(g, std::chrono::microseconds(200));
        }
    }
    void close() override {}
    platform::PortError lastError() const override { return platform::PortError::None; }

    std::atomic<uint64_t> lastWriteNs{0};
    std::atomic<uint64_t> writes{0};

private:
    struct Pending {
        uint64_t dueNs;
        Bytes bytes;
    };
    test::TestController controller_;
    uint32_t baud_;
    std::mutex m_;
    std::condition_variable cv_;
    std::deque<Pending> pending_;
};

void spinUntil(const std::atomic<uint64_t>& counter, uint64_t target) {
    while (counter.load() < target) {
    }
}

// A command posted on this thread until the engine thread reports on it
// (a command without a connection answers status 12 at once).
void BM_QueueLatency(benchmark::State& state) {
    StampListener listener;
    TelescopeControl engine(&listener);
    std::vector<uint64_t> samples;
    for (auto _ : state) {
        for (int i = 0; i < 5000; ++i) {
            const uint64_t before = listener.count.load();
            const uint64_t t0 = nowNs();
            engine.noOpCommand();
            spinUntil(listener.count, before + 1);
            samples.push_back(listener.lastNs.load() - t0);
        }
        state.SetIterationTime(1e-9 * static_cast<double>(samples.back()));
    }
    reportLatency(state, samples);
}
BENCHMARK(BM_QueueLatency)->Iterations(1)->UseManualTime();

// Serial data forwarded through the queue and consumed by the engine
// thread (port closed, so the bytes are read, reassembled and dropped).
void BM_ForwardThroughput(benchmark::State& state) {
    StampListener listener;
    TelescopeControl engine(&listener);
    uint8_t chunk[128];
    for (size_t i = 0; i < sizeof chunk; ++i) chunk[i] = static_cast<uint8_t>(i);
    constexpr int kReads = 20000;
    double seconds = 0;
    for (auto _ : state) {
        const uint64_t t0 = nowNs();
        for (int i = 0; i < kReads; ++i) EngineAccess::core(engine).forwardSerialBytes(chunk, sizeof chunk);
        engine.drain(60000);
        seconds = 1e-9 * static_cast<double>(nowNs() - t0);
        state.SetIterationTime(seconds);
    }
    const double bytesPerSecond = kReads * 128.0 / seconds;
    state.counters["MB_per_s"] = bytesPerSecond / 1e6;
    state.counters["x_115200_line"] = bytesPerSecond / 11520.0;  // 10 bits per byte
}
BENCHMARK(BM_ForwardThroughput)->Iterations(1)->UseManualTime();

std::unique_ptr<TelescopeControl> connectedEngine(StampListener& listener, std::shared_ptr<BenchPort> port) {
    TelescopeControl::Options options;
    options.connectSettleMs = 0;
    options.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
    auto engine = std::make_unique<TelescopeControl>(&listener, options);
    engine->connect(3, 115200);
    for (int i = 0; i < 100 && listener.count.load() < 3; ++i) {  // statuses 1, 2 and the settings report
        engine->tick();
        engine->drain(5000);
        platform::sleepMs(1);
    }
    return engine;
}

// A command posted on this thread until its frame is handed to the port.
void BM_CommandToWire(benchmark::State& state) {
    StampListener listener;
    test::TestController controller;
    controller.firmware = 0x01000005;
    auto port = std::make_shared<BenchPort>(controller, 0);
    auto engine = connectedEngine(listener, port);
    if (listener.count.load() < 3) {
        state.SkipWithError("read-out did not complete");
        return;
    }
    std::vector<uint64_t> samples;
    for (auto _ : state) {
        for (int i = 0; i < 5000; ++i) {
            const uint64_t before = port->writes.load();
            const uint64_t t0 = nowNs();
            engine->setTracking(static_cast<uint8_t>(i & 1));
            spinUntil(port->writes, before + 1);
            samples.push_back(port->lastWriteNs.load() - t0);
        }
        state.SetIterationTime(1e-9 * static_cast<double>(samples.back()));
    }
    reportLatency(state, samples);
}
BENCHMARK(BM_CommandToWire)->Iterations(1)->UseManualTime();

// A controller that floods the line: every read hands out a full buffer at
// once (bytes that never start a reply, so the engine's parser skips them).
class FloodPort : public platform::SerialPort {
public:
    bool open(int, uint32_t) override { return true; }
    WriteResult write(const uint8_t*, size_t, uint32_t) override { return WriteResult::Done; }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        if (stop.isSet()) return ReadResult::Stopped;
        for (got = 0; got < capacity; ++got) buffer[got] = static_cast<uint8_t>(0x11 + got % 64);
        return ReadResult::Data;
    }
    void close() override {}
    platform::PortError lastError() const override { return platform::PortError::None; }
};

// How long a command posted on this (the window) thread waits while the
// serial reader keeps the queue full: the post returns once its message is
// in the queue.
void BM_CommandWaitUnderFlood(benchmark::State& state) {
    StampListener listener;
    TelescopeControl::Options options;
    options.connectSettleMs = 0;
    options.portFactory = []() -> std::shared_ptr<platform::SerialPort> {
        return std::make_shared<FloodPort>();
    };
    TelescopeControl engine(&listener, options);
    engine.connect(3, 115200);
    engine.drain(5000);
    platform::sleepMs(200);  // the queue is full by now
    std::vector<uint64_t> samples;
    for (auto _ : state) {
        for (int i = 0; i < 2000; ++i) {
            const uint64_t t0 = nowNs();
            engine.setTracking(static_cast<uint8_t>(i & 1));
            samples.push_back(nowNs() - t0);
            platform::sleepMs(1);
        }
        state.SetIterationTime(1e-9 * static_cast<double>(samples.back()));
    }
    reportLatency(state, samples);
}
BENCHMARK(BM_CommandWaitUnderFlood)->Iterations(1)->UseManualTime();

// Heartbeat adapter that remembers when each tick was posted.
class TickLog : public iHeartBeatListener {
public:
    explicit TickLog(iHeartBeatListener& target) : target_(target) {}
    void tick() override {
        {
            std::lock_guard<std::mutex> g(m_);
            ticks_.push_back(nowNs());
        }
        target_.tick();
    }
    // The time of the n-th tick posted after t (n from 1).
    uint64_t nthTickAfter(uint64_t t, int n) const {
        std::lock_guard<std::mutex> g(m_);
        for (uint64_t tick : ticks_)
            if (tick > t && --n == 0) return tick;
        return t;
    }

private:
    iHeartBeatListener& target_;
    mutable std::mutex m_;
    std::vector<uint64_t> ticks_;
};

// Connect -> settings report with a real heartbeat and the 500 ms settling
// wait, over an emulated line. The floor replays the protocol's own waits
// on the same tick times: the settling wait, each request and reply on the
// wire, and every pause ending at the second tick after its reply. A third
// argument of 1 traces the link into a file, to show what the trace costs.
void BM_ReadoutTime(benchmark::State& state) {
    const uint32_t baud = static_cast<uint32_t>(state.range(0));
    const bool class5 = state.range(1) == 5;
    const bool traced = state.range(2) == 1;
    const char* const tracePath = "bench_engine_trace.txt";
    test::TestController controller;
    controller.firmware = class5 ? 0x01000009 : 0x01000000;
    controller.shortParamLayout = !class5;
    std::vector<double> totals, overheads;
    for (auto _ : state) {
        StampListener listener;
        auto port = std::make_shared<BenchPort>(controller, baud);
        TelescopeControl::Options options;
        options.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
        std::string error;
        if (traced) options.trace = LinkTrace::open(tracePath, error);
        TelescopeControl engine(&listener, options);
        TickLog log(engine);
        HeartBeat beat;
        beat.setListener(&log);
        beat.start();
        // Connect mid-way between two ticks: the 500 ms wait would otherwise
        // end exactly on a tick, and a reply racing that tick measures the
        // race rather than the engine.
        platform::sleepMs(125);
        const uint64_t t0 = nowNs();
        engine.connect(3, baud);
        while (listener.count.load() < 3) platform::sleepMs(1);
        const uint64_t end = listener.lastNs.load();
        beat.clearListener();
        beat.stop();
        // Replay the floor.
        struct Step {
            uint8_t id;
            bool pauseAfter;
        };
        std::vector<Step> steps = {{1, true}, {3, true}, {2, true}, {20, true}, {21, false}};
        if (class5) steps.insert(steps.end(), {{61, false}, {100, false}});
        uint64_t t = t0 + 500000000ull;
        for (const Step& s : steps) {
            const Bytes request = {0xAA, 0x01, s.id};
            const size_t bytes = request.size() + controller.reply(request).size();
            t += bytes * 10ull * 1000000000ull / baud;
            if (s.pauseAfter) t = log.nthTickAfter(t, 2);
        }
        totals.push_back(1e-6 * static_cast<double>(end - t0));
        overheads.push_back(1e-6 * (static_cast<double>(end) - static_cast<double>(t)));
        state.SetIterationTime(1e-9 * static_cast<double>(end - t0));
    }
    if (traced) std::remove(tracePath);
    std::sort(overheads.begin(), overheads.end());
    state.counters["readout_ms"] = totals.empty() ? 0 : totals.back();
    state.counters["above_floor_ms_max"] = overheads.empty() ? 0 : overheads.back();
    state.counters["above_floor_ms_min"] = overheads.empty() ? 0 : overheads.front();
    state.counters["above_floor_ms_median"] = overheads.empty() ? 0 : overheads[overheads.size() / 2];
}
BENCHMARK(BM_ReadoutTime)
    ->Args({9600, 1, 0})
    ->Args({9600, 5, 0})
    ->Args({115200, 1, 0})
    ->Args({115200, 5, 0})
    ->Args({9600, 5, 1})
    ->Args({115200, 5, 1})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlant::bench

BENCHMARK_MAIN();
