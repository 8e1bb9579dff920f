// Turning wanted field values into engine commands: one command per writer,
// paired writers carrying both axes' values (the unchanged axis keeps the
// value of the read-out), in the order that makes each command count. Who
// sends them (the command-line tool, a window) waits for the exchanges.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ControllerSettings.h"
#include "engine/SettingsFields.h"
#include "engine/iTelescopeControl.h"

namespace vorlant::backup {

struct FieldChange {
    const SettingsField* field;
    int64_t value;
};

// One engine call.
struct PlannedCommand {
    FieldWriter writer = FieldWriter::None;
    uint8_t selector = 0;  // Current, Decay: axis + channel; Overtone, IncCurrentAt: axis
    uint32_t first = 0;    // RA value; rotation flags; the single value
    uint32_t second = 0;   // DE value; guiding flags; IncCurrentAt's aux value
    uint32_t third = 0;    // limit flags
    AdvancedSettings advanced{};
    std::string fields;  // the field names it writes, for messages

    // Whether the controller answers it (the others are confirmed by a
    // later exchange).
    bool isExchange() const { return writer == FieldWriter::GearRatios || writer == FieldWriter::Advanced; }
};

// Whether `value` may be written to `field` on a controller of this class;
// the message names the field.
bool checkWritable(const SettingsField& field, int64_t value, uint8_t versionClass, std::string& error);

// The commands that take the controller from `current` to `target`, for
// the writable fields that differ: gear ratios first, then the settings
// without reply, then the advanced settings.
std::vector<PlannedCommand> planCommands(const ControllerSettings& current, const ControllerSettings& target);

// A paired command with the values `s` holds: what a read-back shows of
// what the command wrote (the gear ratios after their re-read).
PlannedCommand readBack(const PlannedCommand& command, const ControllerSettings& s);

// Posts the engine call of one planned command; returns at once, as every
// engine operation does.
void postCommand(iTelescopeControl& engine, const PlannedCommand& command);

// The writable fields whose values differ between a and b, limited to
// those a controller of this class can write.
std::vector<const SettingsField*> differingWritableFields(const ControllerSettings& a,
                                                          const ControllerSettings& b, uint8_t versionClass);

}  // namespace vorlant::backup
