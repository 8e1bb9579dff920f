#include "backup/ChangePlan.h"

#include "engine/ClassRules.h"

namespace vorlant::backup {

bool checkWritable(const SettingsField& field, int64_t value, uint8_t versionClass, std::string& error) {
    const std::string name = field.name;
    if (!isWritable(field)) {
        error = name + " is read-only";
        return false;
    }
    if (!canWrite(field, versionClass)) {
        error = name + " cannot be written on this controller (class " + std::to_string(versionClass) +
                "; needs class " + std::to_string(field.writeClass) + " or newer)";
        // Class 1 reports no parameter block: a write there could neither
        // be shown beforehand nor confirmed, and the engine refuses the
        // paired ones (they would send the other axis a value never read).
        if (versionClass == ControllerClass::Basic && readsParameterBlock(field.readClass))
            error += ": a class-1 controller does not report its parameters";
        return false;
    }
    if (value < field.writeMin || value > field.writeMax) {
        error = name + ": value " + std::to_string(static_cast<long long>(value)) + " is out of range (" +
                std::to_string(static_cast<long long>(field.writeMin)) + ".." +
                std::to_string(static_cast<long long>(field.writeMax)) + ")";
        return false;
    }
    return true;
}

namespace {

bool perFieldWriter(FieldWriter w) {
    return w == FieldWriter::Current || w == FieldWriter::Decay || w == FieldWriter::Overtone ||
           w == FieldWriter::IncCurrentAt;
}

uint32_t u32(int64_t v) {
    return static_cast<uint32_t>(v);
}

void fillPaired(PlannedCommand& c, const ControllerSettings& t) {
    if (c.writer == FieldWriter::Advanced) {
        // The location step always sends both angles: the unchanged
        // one goes out with its read-out value.
        c.advanced.mountType = t.mountType;
        c.advanced.latitude = t.latitude;
        c.advanced.longitude = t.longitude;
        c.advanced.flipHysteresis = t.flipHysteresis;
        return;
    }
    // The values in the command's order: RA and DE by their axis bits, the
    // reverse flags by their numbers 0..2.
    const bool flags = c.writer == FieldWriter::ReverseFlags;
    const uint32_t selectors[] = {flags ? 0u : kAxisRa, flags ? 1u : kAxisDe, 2u};
    uint32_t* const values[] = {&c.first, &c.second, &c.third};
    for (size_t i = 0; i < (flags ? 3u : 2u); ++i) {
        const SettingsField* f = fieldWrittenBy(c.writer, selectors[i]);
        if (f != nullptr) *values[i] = u32(f->get(t));
    }
}

}  // namespace

std::vector<PlannedCommand> planCommands(const ControllerSettings& current,
                                         const ControllerSettings& target) {
    // Exchanges with a reply bracket the rest: the gear re-read first, the
    // advanced settings (whose "Settings done." also confirms every write
    // before it) last.
    static const FieldWriter kOrder[] = {
        FieldWriter::GearRatios,    FieldWriter::MaxSpeeds, FieldWriter::ReverseFlags,
        FieldWriter::Current,       FieldWriter::Decay,     FieldWriter::Accelerations,
        FieldWriter::Decelerations, FieldWriter::Overtone,  FieldWriter::IncCurrentAt,
        FieldWriter::GuideRates,    FieldWriter::Advanced,
    };
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    std::vector<PlannedCommand> plan;
    for (FieldWriter writer : kOrder) {
        PlannedCommand paired;
        paired.writer = writer;
        for (size_t i = 0; i < count; ++i) {
            const SettingsField& f = fields[i];
            if (f.writer != writer || f.get(current) == f.get(target)) continue;
            if (perFieldWriter(writer)) {
                PlannedCommand c;
                c.writer = writer;
                c.selector = static_cast<uint8_t>(f.selector);
                c.first = u32(f.get(target));
                if (const SettingsField* along = sentAlong(f)) c.second = u32(along->get(target));
                c.fields = f.name;
                plan.push_back(c);
                continue;
            }
            if (!paired.fields.empty()) paired.fields += ", ";
            paired.fields += f.name;
            if (writer == FieldWriter::Advanced) paired.advanced.changeMask |= f.selector;
        }
        if (!perFieldWriter(writer) && !paired.fields.empty()) {
            fillPaired(paired, target);
            plan.push_back(paired);
        }
    }
    return plan;
}

PlannedCommand readBack(const PlannedCommand& c, const ControllerSettings& s) {
    PlannedCommand shown = c;
    fillPaired(shown, s);
    return shown;
}

void postCommand(iTelescopeControl& e, const PlannedCommand& c) {
    const uint8_t first8 = static_cast<uint8_t>(c.first);
    const uint8_t second8 = static_cast<uint8_t>(c.second);
    switch (c.writer) {
        case FieldWriter::GearRatios:
            e.setGearRatios(c.first, c.second);
            return;
        case FieldWriter::MaxSpeeds:
            e.setMaxSpeeds(static_cast<uint16_t>(c.first), static_cast<uint16_t>(c.second));
            return;
        case FieldWriter::ReverseFlags:
            e.setReverseFlags(first8, second8, static_cast<uint8_t>(c.third));
            return;
        case FieldWriter::Current:
            e.setCurrent(c.selector, static_cast<uint16_t>(c.first));
            return;
        case FieldWriter::Decay:
            e.setDecay(c.selector, first8);
            return;
        case FieldWriter::Accelerations:
            e.setAccelerations(first8, second8);
            return;
        case FieldWriter::Decelerations:
            e.setDecelerations(first8, second8);
            return;
        case FieldWriter::Overtone:
            // The signed value travels as its byte.
            e.setOvertone(c.selector, first8);
            return;
        case FieldWriter::IncCurrentAt:
            e.setIncCurrentAt(c.selector, static_cast<uint16_t>(c.first), static_cast<uint16_t>(c.second));
            return;
        case FieldWriter::GuideRates:
            e.setGuideRates(first8, second8);
            return;
        case FieldWriter::Advanced:
            e.applyAdvancedSettings(c.advanced);
            return;
        case FieldWriter::None:
            return;
    }
}

std::vector<const SettingsField*> differingWritableFields(const ControllerSettings& a,
                                                          const ControllerSettings& b, uint8_t versionClass) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    std::vector<const SettingsField*> out;
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (canWrite(f, versionClass) && f.get(a) != f.get(b)) out.push_back(&f);
    }
    return out;
}

}  // namespace vorlant::backup
