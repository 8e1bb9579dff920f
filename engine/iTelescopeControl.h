// The engine's command interface, as the user interface sees it.
//
// Thread rules:
//  - tick() is called by the heartbeat thread; every other operation by the
//    window thread (or any single caller thread of a tool). All of them only
//    post a message into the engine's queue and return at once; none waits
//    for the controller and none returns a result. Outcomes arrive later
//    through TelescopeListener on the engine thread.
//  - Never call these from inside a TelescopeListener callback: callbacks
//    run on the engine thread, the only thread that empties the queue, and
//    a full queue makes a caller wait for the engine (TelescopeControl
//    asserts this in debug builds).
#pragma once

#include <cstdint>

namespace vorlant {

class iHeartBeatListener {
public:
    virtual void tick() = 0;

protected:
    virtual ~iHeartBeatListener() = default;
};

// What the advanced-settings dialog edits; always copied whole.
struct AdvancedSettings {
    uint32_t changeMask;  // bit 0 latitude, 1 longitude, 2 mount type, 3 hysteresis
    uint8_t mountType;
    int32_t latitude;
    int32_t longitude;
    uint8_t flipHysteresis;
};

constexpr uint32_t kChangeLatitude = 1u << 0;
constexpr uint32_t kChangeLongitude = 1u << 1;
constexpr uint32_t kChangeMountType = 1u << 2;
constexpr uint32_t kChangeHysteresis = 1u << 3;

// Axis selectors of the settings commands; current and decay selectors add
// a channel in the low bits.
constexpr uint8_t kAxisRa = 0x80;
constexpr uint8_t kAxisDe = 0x40;
constexpr uint8_t kAxisBoth = 0xC0;
constexpr uint8_t kChannelIdle = 0;
constexpr uint8_t kChannelTrack = 1;
constexpr uint8_t kChannelRun = 2;

// Manual motion direction codes.
constexpr uint8_t kDirUp = 0;
constexpr uint8_t kDirDown = 1;
constexpr uint8_t kDirRight = 2;
constexpr uint8_t kDirLeft = 3;
constexpr uint8_t kDirBoth = 4;

class iTelescopeControl : public iHeartBeatListener {
public:
    // Port 1..256 (COM1..COM256); baud 9600 or 115200.
    virtual void connect(int port, uint32_t baud) = 0;
    virtual void disconnect() = 0;
    virtual void moveManual(uint8_t direction, uint8_t position) = 0;
    virtual void stopMotion(uint8_t direction) = 0;
    virtual void setTracking(uint8_t on) = 0;
    virtual void setExp(uint8_t on) = 0;
    virtual void noOpCommand() = 0;
    virtual void storeParameters() = 0;
    virtual void sendRequest11() = 0;
    virtual void reloadDefaults() = 0;
    virtual void setGearRatios(uint32_t ra, uint32_t de) = 0;
    virtual void setReverseFlags(uint8_t rotation, uint8_t guiding, uint8_t limits) = 0;
    virtual void setCurrent(uint8_t selector, uint16_t milliamps) = 0;
    virtual void setDecay(uint8_t selector, uint8_t decay) = 0;
    virtual void setMaxSpeeds(uint16_t ra, uint16_t de) = 0;
    virtual void setAccelerations(uint8_t ra, uint8_t de) = 0;
    virtual void setDecelerations(uint8_t ra, uint8_t de) = 0;
    virtual void setOvertone(uint8_t axis, uint8_t value) = 0;
    virtual void setIncCurrentAt(uint8_t axis, uint16_t first, uint16_t second) = 0;
    virtual void setGuideRates(uint8_t ra, uint8_t de) = 0;
    virtual void setLocation(int32_t first, int32_t second) = 0;
    virtual void applyAdvancedSettings(const AdvancedSettings& settings) = 0;
    virtual void measureSupplyVoltage() = 0;
    virtual void setParkPosition() = 0;
    virtual ~iTelescopeControl() = default;
};

}  // namespace vorlant
