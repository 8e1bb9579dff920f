#include "tools/vorlantctl/ChangePlan.h"

#include "tools/vorlantctl/Session.h"

namespace vorlant::ctl {

bool checkWritable(const SettingsField& field, int64_t value, uint8_t versionClass, std::string& error) {
    const std::string name = field.name;
    if (!isWritable(field)) {
        error = name + " is read-only";
        return false;
    }
    if (versionClass < field.writeClass) {
        error = name + " cannot be written on this controller (class " + std::to_string(versionClass) +
                "; needs class " + std::to_string(field.writeClass) + " or newer)";
        // Class 1 reports no parameter block: a write there could neither
        // be shown beforehand nor confirmed, and the engine refuses the
        // paired ones (they would send the other axis a value never read).
        if (versionClass == 1 && field.readClass >= 2)
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
    switch (c.writer) {
        case FieldWriter::GearRatios:
            c.first = t.raGearRatio;
            c.second = t.deGearRatio;
            break;
        case FieldWriter::MaxSpeeds:
            c.first = t.raMaxSpeed;
            c.second = t.deMaxSpeed;
            break;
        case FieldWriter::ReverseFlags:
            c.first = t.reverseRotation;
            c.second = t.reverseGuiding;
            c.third = t.reverseLimits;
            break;
        case FieldWriter::Accelerations:
            c.first = t.raAcceleration;
            c.second = t.deAcceleration;
            break;
        case FieldWriter::Decelerations:
            c.first = t.raDeceleration;
            c.second = t.deDeceleration;
            break;
        case FieldWriter::GuideRates:
            c.first = t.raGuideRate;
            c.second = t.deGuideRate;
            break;
        case FieldWriter::Advanced:
            // The location step always sends both angles: the unchanged
            // one goes out with its read-out value.
            c.advanced.mountType = t.mountType;
            c.advanced.latitude = t.latitude;
            c.advanced.longitude = t.longitude;
            c.advanced.flipHysteresis = t.flipHysteresis;
            break;
        default:
            break;
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
                if (writer == FieldWriter::IncCurrentAt)
                    c.second = f.selector == kAxisRa ? target.raIncCurrentAux : target.deIncCurrentAux;
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

Outcome applyCommand(Session& session, const PlannedCommand& c) {
    using Expect = Session::Expect;
    const std::string what = "writing " + c.fields;
    const uint8_t first8 = static_cast<uint8_t>(c.first);
    const uint8_t second8 = static_cast<uint8_t>(c.second);
    switch (c.writer) {
        case FieldWriter::GearRatios: {
            Report r{};
            const Outcome o = session.run([&](TelescopeControl& e) { e.setGearRatios(c.first, c.second); },
                                          what, Expect::settings(SettingsReportKind::GearRatiosChanged), &r);
            if (!o.ok()) return o;
            if (r.settings.raGearRatio != c.first || r.settings.deGearRatio != c.second) {
                return Outcome::failure(kExitGeneric, what + ": the controller reports RA " +
                                                          std::to_string(r.settings.raGearRatio) + ", DE " +
                                                          std::to_string(r.settings.deGearRatio) +
                                                          " afterwards");
            }
            return o;
        }
        case FieldWriter::MaxSpeeds:
            return session.run(
                [&](TelescopeControl& e) {
                    e.setMaxSpeeds(static_cast<uint16_t>(c.first), static_cast<uint16_t>(c.second));
                },
                what, Expect::nothing());
        case FieldWriter::ReverseFlags:
            return session.run(
                [&](TelescopeControl& e) {
                    e.setReverseFlags(first8, second8, static_cast<uint8_t>(c.third));
                },
                what, Expect::nothing());
        case FieldWriter::Current:
            return session.run(
                [&](TelescopeControl& e) { e.setCurrent(c.selector, static_cast<uint16_t>(c.first)); }, what,
                Expect::nothing());
        case FieldWriter::Decay:
            return session.run([&](TelescopeControl& e) { e.setDecay(c.selector, first8); }, what,
                               Expect::nothing());
        case FieldWriter::Accelerations:
            return session.run([&](TelescopeControl& e) { e.setAccelerations(first8, second8); }, what,
                               Expect::nothing());
        case FieldWriter::Decelerations:
            return session.run([&](TelescopeControl& e) { e.setDecelerations(first8, second8); }, what,
                               Expect::nothing());
        case FieldWriter::Overtone:
            // The signed value travels as its byte.
            return session.run([&](TelescopeControl& e) { e.setOvertone(c.selector, first8); }, what,
                               Expect::nothing());
        case FieldWriter::IncCurrentAt:
            return session.run(
                [&](TelescopeControl& e) {
                    e.setIncCurrentAt(c.selector, static_cast<uint16_t>(c.first),
                                      static_cast<uint16_t>(c.second));
                },
                what, Expect::nothing());
        case FieldWriter::GuideRates:
            return session.run([&](TelescopeControl& e) { e.setGuideRates(first8, second8); }, what,
                               Expect::nothing());
        case FieldWriter::Advanced:
            return session.run([&](TelescopeControl& e) { e.applyAdvancedSettings(c.advanced); }, what,
                               Expect::status(StatusCode::SettingsDone));
        case FieldWriter::None:
            break;
    }
    return Outcome::failure(kExitGeneric, what + ": no command writes it");
}

Outcome applyPlan(Session& session, const std::vector<PlannedCommand>& plan) {
    for (const PlannedCommand& c : plan) {
        const Outcome o = applyCommand(session, c);
        if (!o.ok()) return o;
    }
    if (!plan.empty() && !plan.back().isExchange()) return session.barrier();
    return Outcome::success();
}

std::vector<const SettingsField*> differingWritableFields(const ControllerSettings& a,
                                                          const ControllerSettings& b, uint8_t versionClass) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    std::vector<const SettingsField*> out;
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (isWritable(f) && versionClass >= f.writeClass && f.get(a) != f.get(b)) out.push_back(&f);
    }
    return out;
}

}  // namespace vorlant::ctl
