// What a controller of each capability class reads out and accepts. The
// class (`versionClass`, 0 to 5) comes from the device family and the
// firmware version; every rule that depends on it is one predicate here, so
// the decoder, the commands, the change plan and the windows agree.
#pragma once

#include <cstdint>

#include "engine/SettingsFields.h"

namespace vorlant {

// The first class of each step in what a controller can do.
namespace ControllerClass {
enum : uint8_t {
    Unread = 0,       // the firmware reply has not been read yet
    Basic = 1,        // identification and gear block only
    ShortLayout = 2,  // the short parameter layout
    FullLayout = 3,   // the full layout: limit reversal, overtone, current increase, guide rates
    Park = 4,         // the park-position command
    FlipAndSite = 5,  // meridian-flip block, site, the advanced settings
};
}  // namespace ControllerClass

// The class of every accepted controller, after its firmware reply: 1 to
// the newest (a settings file with any other class is no read-out).
inline bool isAcceptedClass(int cls) {
    return cls >= ControllerClass::Basic && cls <= ControllerClass::FlipAndSite;
}

// No controller has a class above this one: "class 5 and later" would
// promise a controller that does not exist.
inline bool isNewestClass(int cls) {
    return cls >= ControllerClass::FlipAndSite;
}

// Every accepted controller reports its gear block; before the firmware
// reply there is no class and nothing of it is known.
inline bool readsGearBlock(int cls) {
    return cls >= ControllerClass::Basic;
}

// The parameter block is decoded from class 2 on; a class-1 read-out
// leaves it at zero.
inline bool readsParameterBlock(int cls) {
    return cls >= ControllerClass::ShortLayout;
}

// Class 2 sends the short layout (no limit reversal, guide rates, overtone
// or current increase) ...
inline bool readsShortLayout(int cls) {
    return cls == ControllerClass::ShortLayout;
}

// ... and class 3 on the full one.
inline bool readsFullLayout(int cls) {
    return cls >= ControllerClass::FullLayout;
}

// Only class 5 has the meridian-flip block and the site; its read-out goes
// on with them after the parameter block.
inline bool readsFlipAndSite(int cls) {
    return cls >= ControllerClass::FlipAndSite;
}

// A paired write (both axes, or all three reverse flags, in one request)
// sends the other axis's value too: safe only where the read-out decoded
// it, else the controller would get a 0 the program never read.
inline bool canWritePairs(int cls) {
    return readsParameterBlock(cls);
}

// The overtone and current-increase commands exist from the full layout on;
// older controllers do not know them.
inline bool hasOvertoneAndIncCurrent(int cls) {
    return readsFullLayout(cls);
}

// Park positions from class 4 on (older ones are told "parking unsupported").
inline bool canPark(int cls) {
    return cls >= ControllerClass::Park;
}

// The advanced settings (site, mount type, flip hysteresis) are read and
// written from class 5 on.
inline bool hasAdvancedSettings(int cls) {
    return readsFlipAndSite(cls);
}

// A field is known once a read-out of its class filled it.
inline bool readsField(const SettingsField& field, int cls) {
    return cls >= field.readClass;
}

// A field can be written when it has a writer and the class allows that
// writer: the program could otherwise neither show the old value nor
// confirm the new one.
inline bool canWrite(const SettingsField& field, int cls) {
    return isWritable(field) && cls >= field.writeClass;
}

}  // namespace vorlant
