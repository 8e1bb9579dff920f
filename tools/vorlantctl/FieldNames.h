// The settings fields as the command line names them: the range a value
// given on the command line may take, the list `readout --fields` prints,
// and the nearest name for a misspelt one.
#pragma once

#include <cstdint>
#include <string>

#include "engine/SettingsFields.h"

namespace vorlant::ctl {

// The smallest value `set` and `gear` accept for a field: its writer's,
// except that a gear ratio of 0 steps per revolution describes no mount.
int64_t commandLineMin(const SettingsField& field);

// Every writable field, one line each: its name, its range (angles also in
// D:MM:SS), its unit where it has one and the first class that can write it.
std::string formatFieldList();

// The field whose name is nearest to `name` (letter case ignored, then the
// fewest letters inserted, removed or replaced), among the writable ones
// when writableOnly; null when none is close enough to be meant.
const SettingsField* nearestField(const std::string& name, bool writableOnly);

}  // namespace vorlant::ctl
