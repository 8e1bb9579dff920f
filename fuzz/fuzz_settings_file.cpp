// Feeds arbitrary text to the whole check that an import (`vorlantctl
// import`, the windows' "Import settings...") makes of a settings file
// before anything is sent: the file on its own, then against connected
// controllers of every class, then the engine commands that would carry
// the import out. Nothing may crash, and whatever the
// checks let through must be a value the controller's wire field can carry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "backup/ChangePlan.h"
#include "backup/SettingsFile.h"

namespace vorlant::backup {
namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

void planAgainst(const SettingsFile& file, const ControllerSettings& controller) {
    ControllerSettings target{};
    std::vector<FieldChange> changes;
    std::string error;
    if (!planImport(file, controller, target, changes, error)) {
        require(!error.empty());
        return;
    }
    for (const FieldChange& c : changes) {
        require(isWritable(*c.field));
        require(c.value >= c.field->writeMin && c.value <= c.field->writeMax);
        require(c.field->get(target) == c.value);
    }
    const std::vector<PlannedCommand> plan = planCommands(controller, target);
    require(changes.empty() || !plan.empty());
}

}  // namespace
}  // namespace vorlant::backup

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vorlant::backup;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SettingsFile file;
    std::string error;
    if (!parseSettingsFile(text, file, error)) {
        require(!error.empty());
        return 0;
    }
    // The file's own controller at every class, and one of the same family
    // whose settings are all still zero (every field the file sets changes).
    for (uint8_t versionClass = 1; versionClass <= 5; ++versionClass) {
        vorlant::ControllerSettings controller = file.values;
        controller.versionClass = versionClass;
        planAgainst(file, controller);
        vorlant::ControllerSettings blank{};
        blank.deviceFamily = file.values.deviceFamily;
        blank.versionClass = versionClass;
        planAgainst(file, blank);
    }
    return 0;
}
