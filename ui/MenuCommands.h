// The commands both fronts add to the main window's menu: the Win32 front
// to the window's system menu, the Qt front to the window's context menu.
// Each front reads this table and hands a chosen id to
// DlgConfig::menuCommand; the dialog template stays as it is.
//
// Ids are multiples of 16 below 0xF000, as the system menu requires (it
// uses the low four bits itself).
#pragma once

namespace vorlant {

struct MenuCommandId {
    enum : int {
        FindController = 0x0010,
    };
};

struct MenuCommand {
    int id;
    const char* text;  // UTF-8, with the ellipsis of a command that asks more
};

// In menu order.
inline constexpr MenuCommand kMenuCommands[] = {
    {MenuCommandId::FindController, "Find controller..."},
};

}  // namespace vorlant
