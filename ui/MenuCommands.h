// The commands both fronts add to the main window's menu (the Win32 front
// to the window's system menu, the Qt front to its "&Tools" menu), in menu
// order. Each front appends every entry of kMenuCommands and hands a
// chosen one to DlgConfig::menuCommand(id); the dialog template stays as
// it is.
//
// The ids are multiples of 16 below 0xF000: the system menu keeps the low
// four bits of a command for itself and uses 0xF000 and up.
#pragma once

namespace vorlant {

struct MenuCommandId {
    enum : int {
        FindController = 0x0010,
        ExportSettings = 0x0020,
        ImportSettings = 0x0030,
    };
};

struct MenuCommand {
    int id;
    const char* text;  // UTF-8, with the ellipsis of a command that asks more
};

inline constexpr MenuCommand kMenuCommands[] = {
    {MenuCommandId::FindController, "Find controller..."},
    {MenuCommandId::ExportSettings, "Export settings..."},
    {MenuCommandId::ImportSettings, "Import settings..."},
};

}  // namespace vorlant
