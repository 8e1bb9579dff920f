// The advanced settings dialog's behaviour (template 102), independent of
// the front: site position, mount type and meridian-flip hysteresis.
//
// Latitude and longitude are shown as "N 47:30:00" / "W 8:05:00" (hemisphere
// letter, one blank, degrees:minutes:seconds) and read back with the angle
// parser; text without a digit holds no angle and leaves the field as it
// was (so does hysteresis text that is no number). On
// Ok every value that differs from what the dialog showed when it opened is
// stored and its bit set in `changeMask`, which is always written (0 when
// nothing changed); an edit left as shown and an unticked mount type count
// as unchanged. Cancel leaves the record untouched.
//
// The front calls init() for WM_INITDIALOG and command() for every
// WM_COMMAND (id = low word of wParam, notifyCode = high word); a result
// other than -1 is the code to end the dialog with. The mount type radio
// buttons are not automatic: command() checks them itself. Threads: the
// window thread only.
#pragma once

#include <cstdint>
#include <string>

#include "engine/iTelescopeControl.h"
#include "ui/DialogControls.h"

namespace vorlant {

class AdvancedSettingsDialog {
public:
    static constexpr int kStayOpen = -1;
    static constexpr int kResultOk = 1;      // changed values and changeMask written
    static constexpr int kResultCancel = 0;  // the record is untouched

    explicit AdvancedSettingsDialog(AdvancedSettings& settings) : settings_(settings) {}

    void init(DialogControls& controls);
    int command(DialogControls& controls, int id, int notifyCode);

    // The edit texts for an angle: "N 47:30:00", "S 34:43:20", "E 8:05:00",
    // "W 8:05:00"; the remainder below one arc-second is dropped.
    static std::string latitudeText(int32_t latitude);
    static std::string longitudeText(int32_t longitude);
    // Reads an edit's text back (at most its first 30 characters).
    static int32_t readLatitude(const std::string& text);
    static int32_t readLongitude(const std::string& text);

private:
    AdvancedSettings& settings_;
    // What init() showed: the change mask is computed against it.
    AdvancedSettings snapshot_{};
    std::string shownLatitude_;
    std::string shownLongitude_;
    std::string shownHysteresis_;
};

}  // namespace vorlant
