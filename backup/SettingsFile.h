// The settings file of `export` and `import`: a JSON object with a format
// marker and every field of the settings record under its own name.
//
// Import is checked in two stages, both before anything is sent: the file
// on its own (syntax, marker, known fields, integer values that fit their
// record fields, identification present), then against the connected
// controller (same device family; every field the file would change must
// be writable on that controller's class and within its wire range).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "backup/ChangePlan.h"
#include "engine/ControllerSettings.h"

namespace vorlant::backup {

constexpr const char* kFormatKey = "format";
constexpr const char* kFormatMarker = "vorlantctl-settings-v1";

// Every record field as a JSON object, in record order; with the format
// marker first when asked (export and readout --json do, so that import
// takes what either printed).
std::string settingsToJson(const ControllerSettings& settings, bool withFormatMarker);

struct SettingsFile {
    ControllerSettings values{};
    std::vector<bool> present;  // by settingsFields() index
};

// A settings file's text (at most 1 MiB), and writing one: the new text
// replaces the file whole or, on a failure, not at all. False with a
// one-line message naming the file and the system's reason.
bool readSettingsText(const std::string& path, std::string& text, std::string& error);
bool writeSettingsText(const std::string& path, const std::string& text, std::string& error);
// The same read from an open stream (standard input); `name` names it in
// messages.
bool readSettingsStream(std::FILE* file, const std::string& name, std::string& text, std::string& error);

// Stage one. The error names the field, or gives line and column for a
// JSON syntax error.
bool parseSettingsFile(const std::string& text, SettingsFile& out, std::string& error);

// Stage two: the target record (the controller's read-out with the file's
// writable values in) and the fields that change. Fields that the file's
// own controller class does not report are not applied (an export holds
// zeros there), and must be 0 in the file.
bool planImport(const SettingsFile& file, const ControllerSettings& controller, ControllerSettings& target,
                std::vector<FieldChange>& changes, std::string& error);

}  // namespace vorlant::backup
