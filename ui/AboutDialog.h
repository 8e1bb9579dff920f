// The About box's behaviour (template 103), independent of the front.
//
// Portable part (here): the texts it shows, the web address, and what its
// commands do: Enter (1) and Exit/Escape (2) end it with 1; a single click
// on the link (control 105, notification code 0) asks the front to open the
// web address and keeps the box open; anything else, the link's
// double-click included, does nothing.
//
// The front's part: the link's underlined font, the bold 16-high title
// font (and releasing both when the box closes), the link's hot-light text
// colour on a transparent background, the hand cursor over the link
// (subclassing control 105), and opening the address in the shell
// (ShellExecuteW on Win32); failures to open it are ignored.
//
// Threads: the window thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "ui/DialogControls.h"

namespace vorlant {

class AboutDialog {
public:
    static constexpr int kStayOpen = -1;
    static constexpr int kResult = 1;  // the About box always ends with 1

    static constexpr const char* kTitle = "Vorlant 2.4";
    static constexpr const char* kDescription =
        "Configurator program for Kelvane Brask and Frell controllers.";
    // The build's own values (VORLANT_ABOUT_CREDIT and
    // VORLANT_ABOUT_WEB_ADDRESS in ui/CMakeLists.txt). The address is both
    // the link's text and what is opened.
    static const char* const kCredit;
    static const char* const kWebAddress;

    // `openAddress` is called with kWebAddress when the link is clicked;
    // it may be empty (then a click does nothing).
    explicit AboutDialog(std::function<void(const std::string&)> openAddress)
        : openAddress_(std::move(openAddress)) {}

    // Sets the texts of controls 101, 102, 104 and 105.
    void init(DialogControls& controls);
    int command(DialogControls& controls, int id, int notifyCode);

private:
    std::function<void(const std::string&)> openAddress_;
};

}  // namespace vorlant
