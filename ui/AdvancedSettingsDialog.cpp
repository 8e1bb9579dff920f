#include "ui/AdvancedSettingsDialog.h"

#include <cstddef>

#include "app/TextBuild.h"
#include "ui/EditNumber.h"
#include "ui/SecondaryDialogIds.h"

namespace vorlant {

namespace {

// Both angle texts fit easily: "S 24855:08:08" is the longest.
constexpr std::size_t kAngleBufferSize = 32;
// The most characters of an edit that are read, as a 32-byte read would.
constexpr std::size_t kAngleTextMax = 30;

constexpr int kMountRadios[] = {AdvancedSettingsId::MountGerman, AdvancedSettingsId::MountFork,
                                AdvancedSettingsId::MountAltAz};

std::string angleText(int32_t angle, char positiveLetter, char negativeLetter) {
    char buffer[kAngleBufferSize];
    if (angle < 0) {
        // appendAngle writes the sign itself from the magnitude in unsigned
        // arithmetic, so even INT32_MIN is shown; the sign's place then
        // becomes the blank after the letter.
        buffer[0] = negativeLetter;
        appendAngle(buffer, sizeof buffer, 1, angle);
        buffer[1] = ' ';
    } else {
        buffer[0] = positiveLetter;
        buffer[1] = ' ';
        appendAngle(buffer, sizeof buffer, 2, angle);
    }
    return std::string(buffer);
}

int32_t readAngle(const std::string& text, int kind) {
    char buffer[kAngleBufferSize];
    const std::size_t length = text.size() < kAngleTextMax ? text.size() : kAngleTextMax;
    text.copy(buffer, length);
    buffer[length] = '\0';
    int32_t angle = 0;
    parseAngle(buffer, sizeof buffer, 0, &angle, kind);
    return angle;
}

void checkMountRadio(DialogControls& controls, int checkedId) {
    for (int id : kMountRadios) controls.setChecked(id, id == checkedId);
}

}  // namespace

std::string AdvancedSettingsDialog::latitudeText(int32_t latitude) {
    return angleText(latitude, 'N', 'S');
}

std::string AdvancedSettingsDialog::longitudeText(int32_t longitude) {
    return angleText(longitude, 'E', 'W');
}

int32_t AdvancedSettingsDialog::readLatitude(const std::string& text) {
    return readAngle(text, kAngleKindLatitude);
}

int32_t AdvancedSettingsDialog::readLongitude(const std::string& text) {
    return readAngle(text, kAngleKindLongitude);
}

void AdvancedSettingsDialog::init(DialogControls& controls) {
    controls.setText(AdvancedSettingsId::LatitudeEdit, latitudeText(settings_.latitude));
    controls.setText(AdvancedSettingsId::LongitudeEdit, longitudeText(settings_.longitude));
    // Unknown mount types (3 and up) show as the last choice.
    const int mount = settings_.mountType < 2 ? settings_.mountType : 2;
    checkMountRadio(controls, kMountRadios[mount]);
    controls.setText(AdvancedSettingsId::HysteresisEdit, std::to_string(settings_.flipHysteresis));
}

int AdvancedSettingsDialog::command(DialogControls& controls, int id, int /*notifyCode*/) {
    switch (id) {
        case AdvancedSettingsId::MountGerman:
        case AdvancedSettingsId::MountFork:
        case AdvancedSettingsId::MountAltAz:
            checkMountRadio(controls, id);
            return kStayOpen;
        case AdvancedSettingsId::Cancel:
            return kResultCancel;
        case AdvancedSettingsId::Ok:
            break;
        default:
            return kStayOpen;
    }

    uint32_t mask = 0;
    const int32_t latitude = readLatitude(controls.text(AdvancedSettingsId::LatitudeEdit));
    if (latitude != settings_.latitude) {
        settings_.latitude = latitude;
        mask |= kChangeLatitude;
    }
    const int32_t longitude = readLongitude(controls.text(AdvancedSettingsId::LongitudeEdit));
    if (longitude != settings_.longitude) {
        settings_.longitude = longitude;
        mask |= kChangeLongitude;
    }
    uint8_t mountType = 0;
    if (controls.isChecked(AdvancedSettingsId::MountAltAz)) {
        mountType = 2;
    } else if (controls.isChecked(AdvancedSettingsId::MountFork)) {
        mountType = 1;
    }
    if (mountType != settings_.mountType) {
        settings_.mountType = mountType;
        mask |= kChangeMountType;
    }
    // No range is enforced; unreadable text gives 0. The whole number is
    // compared and its low byte kept, as the controller's field is one byte
    // wide (266 over a stored 10 marks a change and stores 10 again).
    const uint32_t hysteresis = editUnsigned(controls.text(AdvancedSettingsId::HysteresisEdit));
    if (hysteresis != settings_.flipHysteresis) {
        settings_.flipHysteresis = static_cast<uint8_t>(hysteresis & 0xFF);
        mask |= kChangeHysteresis;
    }
    settings_.changeMask = mask;
    return kResultOk;
}

}  // namespace vorlant
