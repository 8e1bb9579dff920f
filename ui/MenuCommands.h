// The commands both fronts add to the main window's menu (the Win32 front
// to the window's system menu, the Qt front to its "&Tools" menu), in menu
// order. Each front appends every entry of kMenuCommands and hands a
// chosen one to DlgConfig::menuCommand(id).
//
// The ids are multiples of 16 below 0xF000: the system menu keeps the low
// four bits of a command for itself and uses 0xF000 and up.
#pragma once

namespace vorlant {

namespace MenuId {
constexpr int ExportSettings = 0x0020;
constexpr int ImportSettings = 0x0030;
}  // namespace MenuId

struct MenuCommand {
    int id;
    const char* text;  // UTF-8
};

constexpr MenuCommand kMenuCommands[] = {
    {MenuId::ExportSettings, "Export settings..."},
    {MenuId::ImportSettings, "Import settings..."},
};

}  // namespace vorlant
