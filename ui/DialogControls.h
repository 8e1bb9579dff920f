// A dialog's controls as the dialog logic sees them, addressed by the
// control ids of its template. The dialog logic (what to show, enable and
// send) is plain C++ over this interface, so it is tested headless and
// shared by every front: the Win32 front maps it onto the real dialog
// items, a Linux front onto its own widgets, tests onto a map.
//
// Texts are UTF-8. Threads: the window thread only.
#pragma once

#include <string>

#include "engine/iTelescopeControl.h"
#include "ui/GearRatios.h"

namespace vorlant {

class DialogControls {
public:
    virtual void setText(int id, const std::string& text) = 0;
    virtual std::string text(int id) const = 0;
    virtual void enable(int id, bool enabled) = 0;
    virtual bool isEnabled(int id) const = 0;
    // Check boxes, including push-like ones (checked = shown pressed).
    virtual void setChecked(int id, bool checked) = 0;
    virtual bool isChecked(int id) const = 0;
    // Track bars: the control keeps any position within its range.
    virtual void setTrackRange(int id, int minimum, int maximum) = 0;
    virtual void setTrackPos(int id, int position) = 0;
    virtual int trackPos(int id) const = 0;
    // Drop-down list combo boxes.
    virtual void addComboItem(int id, const std::string& text) = 0;
    virtual void setComboSelection(int id, int index) = 0;
    virtual int comboSelection(int id) const = 0;
    // Bitmap push buttons: the bitmap resource to show.
    virtual void setBitmap(int id, int bitmapResource) = 0;

protected:
    virtual ~DialogControls() = default;
};

// What the main dialog asks of its front besides its own controls: the
// modal secondary dialogs. Each returns the dialog's end code (1 for Ok).
class DialogHost {
public:
    virtual int showGearRatioDialog(GearRatios& ratios) = 0;
    virtual int showAdvancedSettingsDialog(AdvancedSettings& settings) = 0;
    virtual void showAboutDialog() = 0;

protected:
    virtual ~DialogHost() = default;
};

}  // namespace vorlant
