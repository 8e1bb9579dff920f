// The dialog templates of the Windows resource script, read as data: the
// Windows program compiles the script itself, the Linux front builds its
// widgets from the same templates, and the tests check the script against
// the id constants of the dialog logic.
//
// Reads DIALOGEX templates with their frame, caption and style and each
// control line (keyword, caption, id, window class, styles, place and size
// in dialog units). The script's own `#define NAME value` style macros are
// expanded in control lines. Lines that do not parse are skipped: the
// reader never throws.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vorlant {

struct ResourceControl {
    std::string kind;         // LTEXT, PUSHBUTTON, CONTROL, ...
    std::string caption;      // empty for EDITTEXT/COMBOBOX
    std::string windowClass;  // CONTROL only
    std::string style;        // the styles, joined with " | "
    int id = 0;
    int x = 0, y = 0, w = 0, h = 0;

    bool hasStyle(const char* flag) const;
};

struct ResourceTemplate {
    int x = 0, y = 0, w = 0, h = 0;
    std::string caption;
    std::string style;
    std::vector<ResourceControl> controls;

    // The control with this id, or nullptr.
    const ResourceControl* find(int id) const;
};

// Template id -> template, in script order within each template.
using ResourceTemplates = std::map<int, ResourceTemplate>;

ResourceTemplates parseResourceScript(const std::string& text);
// False (and `out` empty) when the file cannot be read.
bool readResourceScript(const std::string& path, ResourceTemplates& out);

}  // namespace vorlant
