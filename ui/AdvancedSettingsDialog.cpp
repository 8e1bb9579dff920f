#include "ui/AdvancedSettingsDialog.h"

#include <cstddef>

#include "text/TextBuild.h"
#include "ui/EditNumber.h"
#include "ui/FieldControls.h"
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

// The angle reader takes any text as some angle; text without a single
// digit in the part it reads ("abc", "N", nothing) holds no number and
// changes nothing, rather than moving the site to 0.
bool holdsAngle(const std::string& text) {
    const std::size_t length = text.size() < kAngleTextMax ? text.size() : kAngleTextMax;
    for (std::size_t i = 0; i < length; ++i)
        if (text[i] >= '0' && text[i] <= '9') return true;
    return false;
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
    snapshot_ = settings_;
    shownLatitude_ = latitudeText(settings_.latitude);
    shownLongitude_ = longitudeText(settings_.longitude);
    shownHysteresis_ = std::to_string(settings_.flipHysteresis);
    controls.setText(AdvancedSettingsId::LatitudeEdit, shownLatitude_);
    controls.setText(AdvancedSettingsId::LongitudeEdit, shownLongitude_);
    // An unknown mount type (3 and up) ticks no choice, so it is kept
    // unless the user picks one.
    checkMountRadio(controls, settings_.mountType <= 2 ? kMountRadios[settings_.mountType] : 0);
    controls.setText(AdvancedSettingsId::HysteresisEdit, shownHysteresis_);
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

    // Each field is compared with what the dialog showed when it opened. An
    // edit whose text the user left as shown is unchanged, even where the
    // text cannot show the value exactly (an angle below a whole second).
    // An edit that holds no number is unchanged too and shows its value
    // again, as the main dialog's edits do.
    uint32_t mask = 0;
    const std::string latitudeEdit = controls.text(AdvancedSettingsId::LatitudeEdit);
    if (latitudeEdit != shownLatitude_) {
        if (!holdsAngle(latitudeEdit)) {
            controls.setText(AdvancedSettingsId::LatitudeEdit, shownLatitude_);
        } else {
            const int32_t latitude = readLatitude(latitudeEdit);
            if (latitude != snapshot_.latitude) {
                settings_.latitude = latitude;
                mask |= kChangeLatitude;
            }
        }
    }
    const std::string longitudeEdit = controls.text(AdvancedSettingsId::LongitudeEdit);
    if (longitudeEdit != shownLongitude_) {
        if (!holdsAngle(longitudeEdit)) {
            controls.setText(AdvancedSettingsId::LongitudeEdit, shownLongitude_);
        } else {
            const int32_t longitude = readLongitude(longitudeEdit);
            if (longitude != snapshot_.longitude) {
                settings_.longitude = longitude;
                mask |= kChangeLongitude;
            }
        }
    }
    int mountType = -1;  // no choice ticked: keep the controller's
    if (controls.isChecked(AdvancedSettingsId::MountAltAz)) {
        mountType = 2;
    } else if (controls.isChecked(AdvancedSettingsId::MountFork)) {
        mountType = 1;
    } else if (controls.isChecked(AdvancedSettingsId::MountGerman)) {
        mountType = 0;
    }
    if (mountType >= 0 && mountType != snapshot_.mountType) {
        settings_.mountType = static_cast<uint8_t>(mountType);
        mask |= kChangeMountType;
    }
    // No range is advised beyond the hint text, but the controller's field
    // is one byte: a larger number is held at 255 (and shown so) rather than
    // cut to its low byte. Unreadable text keeps the value.
    const std::string hysteresisEdit = controls.text(AdvancedSettingsId::HysteresisEdit);
    const SettingsField* hysteresisField =
        dialogField(FieldWriter::Advanced, AdvancedSettingsId::HysteresisEdit);
    if (hysteresisEdit != shownHysteresis_ && hysteresisField != nullptr) {
        int64_t hysteresis = 0;
        const EditReading reading = readEditClamped(hysteresisEdit, hysteresisField->writeMin,
                                                    hysteresisField->writeMax, &hysteresis);
        if (reading == EditReading::Clamped) {
            controls.setText(AdvancedSettingsId::HysteresisEdit, std::to_string(hysteresis));
        } else if (reading == EditReading::Unreadable) {
            controls.setText(AdvancedSettingsId::HysteresisEdit, shownHysteresis_);
            hysteresis = snapshot_.flipHysteresis;
        }
        if (hysteresis != snapshot_.flipHysteresis) {
            settings_.flipHysteresis = static_cast<uint8_t>(hysteresis);
            mask |= kChangeHysteresis;
        }
    }
    settings_.changeMask = mask;
    return kResultOk;
}

}  // namespace vorlant
