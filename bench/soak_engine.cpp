// Soak run: the engine against the simulated controller for a given time,
// accelerated (a tick every 10 ms instead of 250 ms), cycle after cycle:
// connect and read out (the capability class changes from cycle to cycle),
// thousands of commands with checkpoints that prove each still arrives, a
// burst of garbage on the line, a controller that floods bytes while the
// window thread keeps posting, the controller vanishing and coming back,
// disconnect; every tenth cycle a fresh engine. After each cycle, with no
// connection open, it samples resident memory, open handles and threads:
// they must stay flat.
//
//   soak_engine [--seconds N] [--report-every S]      (defaults 60, 10)
//
// Prints a sample line every S seconds and a summary; exits non-zero when
// a check failed or a resource grew.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/TelescopeControl.h"
#include "platform/Platform.h"
#include "tools/simulator/SimController.h"

namespace vorlant::soak {
namespace {

uint64_t nowNs() {
    return platform::monotonicNs();
}
double msSince(uint64_t t0) {
    return static_cast<double>(nowNs() - t0) / 1e6;
}

// A deterministic byte source (no 0x55 unless asked: bytes before a reply
// start are skipped by the engine, so such a burst must cost nothing).
class Noise {
public:
    uint8_t next(bool anyByte) {
        for (;;) {
            state_ = state_ * 1664525u + 1013904223u;
            const uint8_t b = static_cast<uint8_t>(state_ >> 24);
            if (anyByte || b != 0x55) return b;
        }
    }

private:
    uint32_t state_ = 0x12345678u;
};

// The line to the simulated controller, with the faults of a real one.
class SoakPort : public platform::SerialPort {
public:
    bool open(int, uint32_t) override {
        std::lock_guard<std::mutex> g(m_);
        if (unplugged_) {
            error_ = platform::PortError::NotFound;
            return false;
        }
        controller_ = std::make_unique<sim::SimController>(profile_);
        open_ = true;
        error_ = platform::PortError::None;
        return true;
    }
    WriteResult write(const uint8_t* data, size_t count, uint32_t) override {
        std::lock_guard<std::mutex> g(m_);
        if (unplugged_) return WriteResult::Gone;
        if (!open_) return WriteResult::Failed;
        controller_->receive(data, count);
        cv_.notify_all();
        return WriteResult::Done;
    }
    ReadResult read(uint8_t* buffer, size_t capacity, size_t& got, platform::Event& stop) override {
        got = 0;
        std::unique_lock<std::mutex> g(m_);
        for (;;) {
            if (stop.isSet()) return ReadResult::Stopped;
            if (unplugged_) {
                error_ = platform::PortError::Gone;
                return ReadResult::Gone;
            }
            if (flood_) {
                while (got < capacity) buffer[got++] = noise_.next(true);
                return ReadResult::Data;
            }
            while (got < capacity && !garbage_.empty()) {
                buffer[got++] = garbage_.front();
                garbage_.pop_front();
            }
            if (got == 0 && open_) got = controller_->takeOutput(buffer, capacity);
            if (got > 0) return ReadResult::Data;
            // Writes and faults wake it at once; the time-out only bounds
            // how late a stop is seen.
            cv_.wait_for(g, std::chrono::milliseconds(5));
        }
    }
    void close() override {
        std::lock_guard<std::mutex> g(m_);
        open_ = false;
        garbage_.clear();
    }
    platform::PortError lastError() const override {
        std::lock_guard<std::mutex> g(m_);
        return error_;
    }

    void setProfile(sim::SimProfile p) {
        std::lock_guard<std::mutex> g(m_);
        profile_ = p;
    }
    void garbage(size_t bytes) {
        std::lock_guard<std::mutex> g(m_);
        for (size_t i = 0; i < bytes; ++i) garbage_.push_back(noise_.next(false));
        cv_.notify_all();
    }
    void flood(bool on) {
        std::lock_guard<std::mutex> g(m_);
        flood_ = on;
        cv_.notify_all();
    }
    void unplug(bool gone) {
        std::lock_guard<std::mutex> g(m_);
        unplugged_ = gone;
        cv_.notify_all();
    }
    uint8_t raAcceleration() const {
        std::lock_guard<std::mutex> g(m_);
        return controller_ ? controller_->state().raAcceleration : 0;
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    sim::SimProfile profile_ = sim::SimProfile::Class5;
    std::unique_ptr<sim::SimController> controller_;
    std::deque<uint8_t> garbage_;
    Noise noise_;
    bool open_ = false, flood_ = false, unplugged_ = false;
    platform::PortError error_ = platform::PortError::None;
};

// Counts what the engine reports; waits for a report with a deadline.
class Listener : public TelescopeListener {
public:
    void onStatus(int code) override { add(statuses_, code); }
    void onSettings(const ControllerSettings* s, int kind) override {
        versionClass_ = s->versionClass;
        add(settings_, kind);
    }
    void onSupplyVoltage(int) override { add(voltages_, 1); }

    struct Mark {
        size_t statuses, settings, voltages;
    };
    Mark mark() {
        std::lock_guard<std::mutex> g(m_);
        return {statuses_.size(), settings_.size(), voltages_.size()};
    }
    // Wait until such a report arrived after the mark.
    bool waitStatus(const Mark& since, int code, uint32_t ms) { return waitStatus(since, code, code, ms); }
    bool waitStatus(const Mark& since, int code, int orCode, uint32_t ms) {
        return waitFor(ms, [&] {
            for (size_t i = since.statuses; i < statuses_.size(); ++i)
                if (statuses_[i] == code || statuses_[i] == orCode) return true;
            return false;
        });
    }
    bool waitSettings(const Mark& since, uint32_t ms) {
        return waitFor(ms, [&] { return settings_.size() > since.settings; });
    }
    bool waitVoltage(const Mark& since, uint32_t ms) {
        return waitFor(ms, [&] { return voltages_.size() > since.voltages; });
    }
    // A voltage report, or status `code`, after the mark; whichever came.
    enum class Answer { None, Voltage, Status };
    Answer waitVoltageOrStatus(const Mark& since, int code, uint32_t ms) {
        Answer got = Answer::None;
        waitFor(ms, [&] {
            if (voltages_.size() > since.voltages) got = Answer::Voltage;
            for (size_t i = since.statuses; got == Answer::None && i < statuses_.size(); ++i)
                if (statuses_[i] == code) got = Answer::Status;
            return got != Answer::None;
        });
        return got;
    }
    int versionClass() const { return versionClass_; }
    // Keeps the record lists short: only what a mark can still refer to.
    void forget() {
        std::lock_guard<std::mutex> g(m_);
        statuses_.clear();
        settings_.clear();
        voltages_.clear();
    }

private:
    void add(std::vector<int>& list, int value) {
        std::lock_guard<std::mutex> g(m_);
        list.push_back(value);
        cv_.notify_all();
    }
    template <class Pred>
    bool waitFor(uint32_t ms, Pred pred) {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::milliseconds(ms), pred);
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<int> statuses_, settings_, voltages_;
    std::atomic<int> versionClass_{0};
};

struct Sample {
    double atSeconds;
    platform::ProcessUsage usage;
};

class Soak {
public:
    explicit Soak(double seconds, double reportEvery) : seconds_(seconds), reportEvery_(reportEvery) {}

    int run() {
        start_ = nowNs();
        port_ = std::make_shared<SoakPort>();
        std::thread ticker([this] { tickLoop(); });
        double nextReport = 0;
        uint32_t cycle = 0;
        while (msSince(start_) < seconds_ * 1000.0) {
            if (cycle % 10 == 0) freshEngine();
            runCycle(cycle++);
            Sample s{msSince(start_) / 1000.0, {}};
            if (!platform::processUsage(s.usage)) fail("the process's resource use could not be read");
            record(s);
            if (s.atSeconds >= nextReport) {
                print("sample", s);
                nextReport += reportEvery_;
            }
        }
        {
            std::lock_guard<std::mutex> g(engineLock_);
            engine_.reset();
        }
        stopTicks_ = true;
        ticker.join();
        return summary(cycle);
    }

private:
    void fail(const std::string& what) {
        ++failures_;
        if (failures_ <= 20) std::printf("FAIL at %.1f s: %s\n", msSince(start_) / 1000.0, what.c_str());
    }

    void freshEngine() {
        TelescopeControl::Options options;
        options.connectSettleMs = 20;
        options.readerStopWaitMs = 2000;
        std::shared_ptr<SoakPort> port = port_;
        options.portFactory = [port]() -> std::shared_ptr<platform::SerialPort> { return port; };
        std::lock_guard<std::mutex> g(engineLock_);
        engine_.reset();
        engine_ = std::make_unique<TelescopeControl>(&listener_, options);
        ++engines_;
    }

    void tickLoop() {
        while (!stopTicks_) {
            {
                std::lock_guard<std::mutex> g(engineLock_);
                if (engine_) engine_->tick();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

    TelescopeControl& engine() { return *engine_; }

    bool connectAndRead(const char* when) {
        const Listener::Mark m = listener_.mark();
        engine().connect(3, 115200);
        if (!listener_.waitSettings(m, 10000)) {
            fail(std::string("no settings report after the connect ") + when);
            return false;
        }
        ++readouts_;
        return true;
    }

    // The voltage is asked for once any exchange still running (a gear
    // write and its re-read, the advanced job) has ended: the engine
    // refuses it with status 10 until then, and the request is repeated.
    bool checkpoint(const char* after) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < until) {
            const Listener::Mark m = listener_.mark();
            engine().measureSupplyVoltage();
            if (listener_.waitVoltageOrStatus(m, 10, 5000) == Listener::Answer::Voltage) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        fail(std::string("no voltage reply after ") + after);
        return false;
    }

    void commands(uint32_t count) {
        const int versionClass = listener_.versionClass();
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t v = static_cast<uint8_t>(i);
            switch (i % 12) {
                case 0:
                    engine().setTracking(v & 1);
                    break;
                case 1:
                    engine().setAccelerations(v, static_cast<uint8_t>(v + 1));
                    break;
                case 2:
                    engine().setCurrent(static_cast<uint8_t>(kAxisRa | kChannelRun),
                                        static_cast<uint16_t>(100 + i % 900));
                    break;
                case 3:
                    engine().moveManual(static_cast<uint8_t>(i % 4), static_cast<uint8_t>(i % 32));
                    break;
                case 4:
                    engine().stopMotion(kDirBoth);
                    break;
                case 5:
                    engine().setDecay(static_cast<uint8_t>(kAxisDe | kChannelIdle), v & 3);
                    break;
                case 6:
                    engine().setGuideRates(static_cast<uint8_t>(1 + i % 16), 8);
                    break;
                case 7:
                    engine().setExp(v & 1);
                    break;
                case 8:
                    engine().setMaxSpeeds(static_cast<uint16_t>(100 + i % 500), 300);
                    break;
                case 9:
                    engine().setOvertone(kAxisRa, v);
                    break;
                case 10:
                    engine().noOpCommand();
                    break;
                default:
                    // An exchange now and then, answered before the next one.
                    if (i % 96 == 11)
                        engine().setGearRatios(172800, 164000);
                    else if (i % 96 == 23 && versionClass == 5)
                        engine().applyAdvancedSettings({12, 1, 0, 0, 5});
                    else
                        engine().sendRequest11();
                    break;
            }
            commandsPosted_++;
            if (i % 100 == 99) {
                engine().drain(5000);
                checkpoint("a run of commands");
            }
        }
        // The last setting written is the one the controller holds.
        if (versionClass >= 2) {
            const uint8_t want = static_cast<uint8_t>(17 + count % 200);
            engine().setAccelerations(want, 3);
            engine().drain(5000);
            checkpoint("the acceleration write");  // its reply comes after the write was taken in
            if (port_->raAcceleration() != want) fail("the controller did not get the last acceleration");
        }
    }

    void flood() {
        // The controller floods; the window thread keeps posting and each
        // post may wait for room in the queue.
        port_->flood(true);
        for (int i = 0; i < 100; ++i) {
            const uint64_t t0 = nowNs();
            engine().setTracking(static_cast<uint8_t>(i & 1));
            const double waited = msSince(t0);
            floodMaxWaitMs_ = std::max(floodMaxWaitMs_, waited);
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        port_->flood(false);
        ++floods_;
    }

    void runCycle(uint32_t cycle) {
        static const sim::SimProfile profiles[] = {sim::SimProfile::Class5, sim::SimProfile::Class4,
                                                   sim::SimProfile::Class3, sim::SimProfile::Class2,
                                                   sim::SimProfile::Class1, sim::SimProfile::Class5Family5};
        port_->setProfile(profiles[cycle % 6]);
        listener_.forget();
        if (!connectAndRead("of the cycle")) {
            disconnect();
            return;
        }
        commands(500);
        port_->garbage(4096);
        ++garbageBursts_;
        checkpoint("a burst of garbage");
        flood();
        if (cycle % 3 == 2) {
            // The controller vanishes mid-session and comes back.
            const Listener::Mark m = listener_.mark();
            port_->unplug(true);
            if (!listener_.waitStatus(m, StatusCode::ConnectionClosed, 5000))
                fail("a vanished controller was not noticed");
            else if (engine().lastPortError() != platform::PortError::Gone)
                fail("a vanished controller was not reported as gone");
            port_->unplug(false);
            ++vanishes_;
            if (!connectAndRead("after the controller came back")) {
                disconnect();
                return;
            }
        }
        disconnect();
    }

    void disconnect() {
        const Listener::Mark m = listener_.mark();
        engine().disconnect();
        // Closed, or already closed by a failure before.
        if (!listener_.waitStatus(m, StatusCode::ConnectionClosed, StatusCode::NotConnectedYet, 5000))
            fail("no answer to the disconnect");
        engine().drain(5000);
    }

    // Keeps only what the summary needs, so the soak's own bookkeeping
    // does not grow with the run. The first tenth of the run warms up
    // allocator pools and caches: flatness is judged from its end on.
    void record(const Sample& s) {
        if (sampleCount_++ == 0) firstSample_ = s;
        last_ = s;
        if (!warmedUp_ && s.atSeconds >= seconds_ / 10) {
            warmedUp_ = true;
            warm_ = s;
            max_ = s.usage;
        }
        if (warmedUp_) {
            max_.residentBytes = std::max(max_.residentBytes, s.usage.residentBytes);
            max_.handles = std::max(max_.handles, s.usage.handles);
            max_.threads = std::max(max_.threads, s.usage.threads);
        }
    }

    void print(const char* what, const Sample& s) {
        std::printf("%s t=%7.1fs cycles=%llu rss=%.2fMB handles=%u threads=%u\n", what, s.atSeconds,
                    static_cast<unsigned long long>(sampleCount_),
                    static_cast<double>(s.usage.residentBytes) / 1048576.0, s.usage.handles, s.usage.threads);
        std::fflush(stdout);
    }

    int summary(uint32_t cycles) {
        if (sampleCount_ == 0) {
            std::printf("soak: not a single cycle ran\n");
            return 1;
        }
        if (!warmedUp_) {
            warm_ = last_;
            max_ = last_.usage;
        }
        const Sample& first = warm_;
        const Sample& last = last_;
        const platform::ProcessUsage& max = max_;
        const auto mb = [](uint64_t b) { return static_cast<double>(b) / 1048576.0; };
        std::printf(
            "soak: %.0f s, %u cycles, %u engines, %u read-outs, %llu commands, %u garbage bursts, "
            "%u floods, %u vanishings\n",
            msSince(start_) / 1000.0, cycles, engines_, readouts_,
            static_cast<unsigned long long>(commandsPosted_), garbageBursts_, floods_, vanishes_);
        std::printf("soak: resident memory MB  start %.2f  end %.2f  max %.2f (first sample %.2f)\n",
                    mb(first.usage.residentBytes), mb(last.usage.residentBytes), mb(max.residentBytes),
                    mb(firstSample_.usage.residentBytes));
        std::printf("soak: open handles        start %u  end %u  max %u\n", first.usage.handles,
                    last.usage.handles, max.handles);
        std::printf("soak: threads             start %u  end %u  max %u\n", first.usage.threads,
                    last.usage.threads, max.threads);
        std::printf("soak: longest wait of a command posted during a flood: %.2f ms\n", floodMaxWaitMs_);
        bool flat = true;
        if (last.usage.handles > first.usage.handles || last.usage.threads > first.usage.threads)
            flat = false;
        // Memory: a few MB of slack for the allocator, nothing that grows
        // with the number of cycles.
        if (last.usage.residentBytes > first.usage.residentBytes + 8u * 1048576u) flat = false;
        if (!flat) std::printf("soak: FAILED: resource use grew\n");
        if (failures_ > 0) std::printf("soak: FAILED: %u checks failed\n", failures_);
        const bool ok = flat && failures_ == 0;
        std::printf("soak: %s\n", ok ? "PASSED" : "FAILED");
        return ok ? 0 : 1;
    }

    const double seconds_, reportEvery_;
    uint64_t start_ = 0;
    std::shared_ptr<SoakPort> port_;
    Listener listener_;
    std::mutex engineLock_;
    std::unique_ptr<TelescopeControl> engine_;
    std::atomic<bool> stopTicks_{false};
    uint64_t sampleCount_ = 0;
    bool warmedUp_ = false;
    Sample firstSample_{}, warm_{}, last_{};
    platform::ProcessUsage max_{};
    uint32_t failures_ = 0, engines_ = 0, readouts_ = 0, garbageBursts_ = 0, floods_ = 0, vanishes_ = 0;
    uint64_t commandsPosted_ = 0;
    double floodMaxWaitMs_ = 0;
};

}  // namespace
}  // namespace vorlant::soak

int main(int argc, char** argv) {
    double seconds = 60, reportEvery = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::atof(argv[i + 1]);
        else if (std::strcmp(argv[i], "--report-every") == 0)
            reportEvery = std::atof(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: soak_engine [--seconds N] [--report-every S]\n");
            return 2;
        }
    }
    if (seconds <= 0 || reportEvery <= 0) {
        std::fprintf(stderr, "soak_engine: times must be positive\n");
        return 2;
    }
    vorlant::soak::Soak soak(seconds, reportEvery);
    return soak.run();
}
