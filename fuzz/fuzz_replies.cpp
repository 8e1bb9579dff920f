// Feeds arbitrary bytes into the reply parser and the decoder in every
// connection state and capability class. The engine thread stays idle in
// its queue read, so this thread may drive the engine directly.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/EngineCore.h"
#include "engine/TelescopeControl.h"

namespace vorlant {

namespace {

class NullListener : public TelescopeListener {
public:
    void onStatus(int) override {}
    void onSettings(const ControllerSettings* s, int) override { sink_ ^= s->raMaxRate; }
    void onSupplyVoltage(int v) override { sink_ ^= static_cast<uint32_t>(v); }
    uint32_t sink_ = 0;
};

// Accepts every frame; the harness never starts its reader.
class SinkPort : public platform::SerialPort {
public:
    bool open(int, uint32_t) override { return true; }
    WriteResult write(const uint8_t*, size_t count, uint32_t) override {
        written_ += count;
        return WriteResult::Done;
    }
    ReadResult read(uint8_t*, size_t, size_t& got, platform::Event& stop) override {
        got = 0;
        stop.wait(1000);
        return ReadResult::Stopped;
    }
    void close() override {}
    platform::PortError lastError() const override { return platform::PortError::None; }
    size_t written_ = 0;
};

}  // namespace

struct FuzzRun {
    static void run(TelescopeControl& control, const uint8_t* data, size_t size) {
        if (size < 3) return;
        EngineCore& e = EngineAccess::core(control);
        e.port_ = std::make_shared<SinkPort>();
        e.portOpen_ = true;
        e.linkUp_ = false;
        e.parser_.reset();
        e.state_ = data[0] % 22;  // every state, and one value beyond them
        e.settings_.versionClass = data[1] % 7;
        e.readoutKind_ = (data[2] & 1) ? 2 : 1;
        e.workingAdvanced_.changeMask = data[2] >> 1;
        data += 3;
        size -= 3;
        // Runs of at most 31 bytes, as the queue delivers them; a tick
        // between runs where the input says so.
        while (size > 0) {
            const size_t n = size < 31 ? size : 31;
            e.feedReplyBytes(data, n);
            if (data[0] & 0x80) e.heartbeatStep();
            data += n;
            size -= n;
        }
        e.port_.reset();
        e.portOpen_ = false;
    }
};

}  // namespace vorlant

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vorlant::NullListener listener;
    static vorlant::TelescopeControl engine(&listener);
    vorlant::FuzzRun::run(engine, data, size);
    return 0;
}
