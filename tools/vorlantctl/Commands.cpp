#include "tools/vorlantctl/Commands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>

#include "backup/ChangePlan.h"
#include "backup/SettingsFile.h"
#include "engine/ClassRules.h"
#include "engine/ControllerProbe.h"
#include "engine/SettingsFields.h"
#include "platform/FileOpen.h"
#include "platform/Interrupt.h"
#include "platform/Platform.h"
#include "platform/SerialDevices.h"
#include "platform/SerialPort.h"
#include "text/TextBuild.h"
#include "text/VersionText.h"
#include "tools/vorlantctl/ApplyPlan.h"
#include "tools/vorlantctl/FieldNames.h"

namespace vorlant::ctl {

using namespace backup;

namespace {

using Expect = Session::Expect;

constexpr int64_t kU32Max = 0xFFFFFFFF;
constexpr int64_t kMaxSliderPosition = 31;
constexpr int64_t kMaxMoveSeconds = 3600;

Outcome usage(const std::string& text) {
    return Outcome::failure(kExitUsage, text);
}

std::string portLabel(const PortSpec& port) {
    std::string label = port.label;
#ifndef _WIN32
    // COM<n> maps to a device through the port table: say which.
    if (port.devicePath.empty()) label += " (" + platform::portDevice(port.number) + ")";
#endif
    return label;
}

std::string num(int64_t v) {
    return std::to_string(static_cast<long long>(v));
}

// A value as the user wrote it for a field: an integer within the range
// the field's writer allows, or for latitude and longitude also an angle.
// The error names the field (or the argument, `shownName`) and the range.
bool parseFieldValue(const SettingsField& f, const std::string& text, int64_t& value, std::string& error,
                     const char* shownName = nullptr) {
    const std::string name = shownName ? shownName : f.name;
    if (f.style == FieldStyle::Angle) {
        int32_t angle = 0;
        const int kind = std::strcmp(f.name, "latitude") == 0 ? kAngleKindLatitude : kAngleKindLongitude;
        if (!parseAngleArgument(text, kind, angle)) {
            error = name + ": '" + text + "' is not an angle (" +
                    (kind == kAngleKindLatitude ? "[N|S|-]" : "[E|W|-]") + "D:MM:SS or an integer)";
            return false;
        }
        if (angle < f.writeMin || angle > f.writeMax) {
            char low[32], high[32];
            appendAngle(low, sizeof low, 0, static_cast<int32_t>(f.writeMin));
            appendAngle(high, sizeof high, 0, static_cast<int32_t>(f.writeMax));
            error = name + ": value " + text + " is out of range (" + low + ".." + high + ")";
            return false;
        }
        value = angle;
        return true;
    }
    const int64_t min = commandLineMin(f);
    const IntegerText result = readInteger(text, min, f.writeMax, value);
    if (result == IntegerText::Ok) return true;
    error = integerError(name, text, result, min, f.writeMax);
    return false;
}

// "NAME: 1 -> 70", as set and import both report a change.
std::string changeLine(const SettingsField& f, int64_t before, int64_t after) {
    return std::string(f.name) + ": " + num(before) + " -> " + num(after) + "\n";
}

bool parseOnOff(const std::string& text, uint8_t& on) {
    if (text == "on") {
        on = 1;
        return true;
    }
    if (text == "off") {
        on = 0;
        return true;
    }
    return false;
}

// Manual-motion direction codes.
bool parseDirection(const std::string& text, uint8_t& code) {
    if (text == "up")
        code = kDirUp;
    else if (text == "down")
        code = kDirDown;
    else if (text == "left")
        code = kDirLeft;
    else if (text == "right")
        code = kDirRight;
    else
        return false;
    return true;
}

// Checks the changes against the connected controller, sends the ones
// that differ and reports each field on `out`.
Outcome applyChanges(Session& session, const std::vector<FieldChange>& changes, std::string& out) {
    const ControllerSettings current = session.settings();
    ControllerSettings target = current;
    for (const FieldChange& c : changes) {
        std::string error;
        if (!checkWritable(*c.field, c.value, current.versionClass, error))
            return Outcome::failure(kExitGeneric, error);
        c.field->set(target, c.value);
    }
    const Outcome o = applyPlan(session, planCommands(current, target));
    if (!o.ok()) return o;
    for (const FieldChange& c : changes) {
        const int64_t before = c.field->get(current);
        out += before == c.value ? std::string(c.field->name) + ": " + num(before) + " (unchanged)\n"
                                 : changeLine(*c.field, before, c.value);
    }
    return o;
}

Outcome commandImport(Session& session, const SettingsFile& file, const std::string& path, bool dryRun,
                      const Interaction& interaction, std::string& out) {
    ControllerSettings target{};
    std::vector<FieldChange> changes;
    std::string error;
    if (!planImport(file, session.settings(), target, changes, error))
        return Outcome::failure(kExitFile, path + ": " + error + "; nothing was sent");
    std::string lines;
    for (const FieldChange& c : changes)
        lines += changeLine(*c.field, c.field->get(session.settings()), c.value);
    const std::string count = std::to_string(changes.size()) + " field" + (changes.size() == 1 ? "" : "s");
    if (dryRun) {
        out += lines + "dry run: " + count + " would change; nothing was sent\n";
        return Outcome::success();
    }
    if (interaction.confirm && !changes.empty() &&
        !interaction.confirm(lines + "Send " + (changes.size() == 1 ? "this change" : "these changes") +
                             " from " + path + " to the controller?"))
        return Outcome::failure(kExitGeneric, "import not confirmed; nothing was sent");
    const Outcome sent = applyPlan(session, planCommands(session.settings(), target));
    if (!sent.ok()) return sent;

    // Read everything back from a fresh connection and compare.
    const Outcome again = session.reconnect();
    if (!again.ok()) return Outcome::failure(again.code, "reading back after the import: " + again.message);
    const std::vector<const SettingsField*> wrong =
        differingWritableFields(session.settings(), target, session.settings().versionClass);
    if (!wrong.empty()) {
        std::string text = "the controller does not hold the imported values:";
        for (const SettingsField* f : wrong)
            text += std::string(" ") + f->name + " is " + num(f->get(session.settings())) + ", want " +
                    num(f->get(target)) + ";";
        text.pop_back();
        return Outcome::failure(kExitGeneric, text);
    }
    out += lines + "imported " + path + ": " + count + " changed, read back and confirmed\n";
    return Outcome::success();
}

// Fields that both the file and the controller report: present in the
// file, and read by both its controller's class and the connected one's.
Outcome commandDiff(Session& session, const SettingsFile& file, const std::string& path, std::string& out) {
    const ControllerSettings& controller = session.settings();
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    std::vector<const SettingsField*> differing;
    size_t width = 0;
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (!file.present[i] || !readsField(f, file.values.versionClass) ||
            !readsField(f, controller.versionClass))
            continue;
        if (f.get(file.values) == f.get(controller)) continue;
        differing.push_back(&f);
        width = std::max(width, std::strlen(f.name));
    }
    for (const SettingsField* f : differing) {
        std::string line = f->name;
        line.append(width + 2 - line.size(), ' ');
        out += line + "controller " + describeValue(*f, f->get(controller)) + ", file " +
               describeValue(*f, f->get(file.values)) + "\n";
    }
    if (differing.empty()) {
        out += "the controller matches " + path + "\n";
        return Outcome::success();
    }
    out += std::to_string(differing.size()) + (differing.size() == 1 ? " field differs" : " fields differ") +
           " from " + path + "\n";
    return Outcome::failure(kExitDiffers, std::string());
}

Outcome commandLocation(Session& session, int32_t latitude, int32_t longitude, std::string& out) {
    const SettingsField* lat = findField("latitude");
    const SettingsField* lon = findField("longitude");
    std::string error;
    const uint8_t versionClass = session.settings().versionClass;
    if (!checkWritable(*lat, latitude, versionClass, error) ||
        !checkWritable(*lon, longitude, versionClass, error))
        return Outcome::failure(kExitGeneric, error);
    AdvancedSettings a{};
    a.changeMask = kChangeLatitude | kChangeLongitude;
    a.mountType = session.settings().mountType;
    a.latitude = latitude;
    a.longitude = longitude;
    a.flipHysteresis = session.settings().flipHysteresis;
    const Outcome o = session.run([&](TelescopeControl& e) { e.applyAdvancedSettings(a); }, "location",
                                  Expect::status(StatusCode::SettingsDone));
    if (!o.ok()) return o;
    out +=
        "latitude " + describeValue(*lat, latitude) + ", longitude " + describeValue(*lon, longitude) + "\n";
    out += std::string(statusTextAscii(StatusCode::SettingsDone)) + "\n";
    return o;
}

// A command without a reply, then the delivery barrier.
Outcome sendAndConfirm(Session& session, const std::function<void(TelescopeControl&)>& post,
                       const std::string& what, const char* done, std::string& out) {
    Outcome o = session.run(post, what, Expect::nothing());
    if (o.ok()) o = session.barrier();
    if (o.ok()) out += std::string(done) + "\n";
    return o;
}

// Everything checked before connecting, per command.
struct Prepared {
    std::vector<FieldChange> changes;  // set
    uint32_t gearRa = 0, gearDe = 0;   // gear
    int32_t latitude = 0, longitude = 0;
    uint8_t code = 0, position = 0;    // move, stop; tracking/exposure on flag
    uint32_t seconds = 0;              // move --seconds; 0: until Ctrl-C or SIGTERM
    SettingsFile file;                 // import, diff
    platform::FileReplacement output;  // export, unless to standard output
};

// "-" for a FILE: standard input for import and diff, standard output for
// export.
constexpr const char* kStandardStream = "-";

std::string fileName(const std::string& path) {
    return path == kStandardStream ? "standard input" : path;
}

// Moves, then (unless keepMoving) waits for the time or a Ctrl-C/SIGTERM
// and stops the same axis: the mount never keeps moving unasked.
Outcome commandMove(Session& session, const Prepared& p, bool keepMoving, std::string& out) {
    const uint8_t code = p.code, position = p.position;
    const uint64_t started = platform::monotonicNs();
    Outcome o = sendAndConfirm(
        session, [=](TelescopeControl& e) { e.moveManual(code, position); }, "move",
        statusTextAscii(StatusCode::ManualMovement), out);
    if (keepMoving) return o;
    if (!o.ok()) {
        // The move may have gone out even so: stop it if the link allows.
        session.run([=](TelescopeControl& e) { e.stopMotion(code); }, "stop", Expect::nothing());
        return o;
    }
    session.step(p.seconds != 0 ? "moving for " + std::to_string(p.seconds) + " s (Ctrl-C stops)"
                                : std::string("moving until Ctrl-C"));
    const uint64_t end = started + uint64_t{p.seconds} * 1000000000u;
    platform::Interrupt interrupt = platform::Interrupt::None;
    while (interrupt == platform::Interrupt::None) {
        uint32_t sliceMs = 1000;
        if (p.seconds != 0) {
            const uint64_t now = platform::monotonicNs();
            if (now >= end) break;
            const uint64_t leftMs = (end - now + 999999u) / 1000000u;
            if (leftMs < sliceMs) sliceMs = static_cast<uint32_t>(leftMs);
        }
        interrupt = platform::waitForInterrupt(sliceMs);
    }
    o = sendAndConfirm(
        session, [=](TelescopeControl& e) { e.stopMotion(code); }, "stop", statusTextAscii(StatusCode::Ready),
        out);
    if (!o.ok()) return o;
    if (interrupt == platform::Interrupt::Interrupt)
        return Outcome::failure(kExitInterrupted, "interrupted: the motion was stopped");
    if (interrupt == platform::Interrupt::Terminate)
        return Outcome::failure(kExitTerminated, "terminated: the motion was stopped");
    return o;
}

Outcome prepare(const CliArgs& args, Prepared& p) {
    const std::string& cmd = args.command;
    const std::vector<std::string>& a = args.args;
    if (cmd == "set") {
        for (size_t i = 0; i + 1 < a.size(); i += 2) {
            const SettingsField* f = findField(a[i]);
            if (!f) {
                const SettingsField* near = nearestField(a[i], true);
                return usage("unknown field '" + a[i] + "'" +
                             (near ? " (did you mean " + std::string(near->name) + "? " : " (") +
                             "readout --fields lists them)");
            }
            if (!isWritable(*f)) return usage(a[i] + " is read-only");
            for (const FieldChange& c : p.changes)
                if (c.field == f) return usage(a[i] + " is given twice");
            int64_t value = 0;
            std::string error;
            if (!parseFieldValue(*f, a[i + 1], value, error)) return usage(error);
            p.changes.push_back(FieldChange{f, value});
        }
    } else if (cmd == "gear") {
        int64_t ratio[2] = {0, 0};
        const char* const names[2] = {"RA", "DE"};
        for (size_t axis = 0; axis < 2; ++axis) {
            // A ratio of 0 steps per revolution is no mount.
            const IntegerText r = readInteger(a[axis], 1, kU32Max, ratio[axis]);
            if (r != IntegerText::Ok) return usage(integerError(names[axis], a[axis], r, 1, kU32Max));
        }
        p.gearRa = static_cast<uint32_t>(ratio[0]);
        p.gearDe = static_cast<uint32_t>(ratio[1]);
    } else if (cmd == "location") {
        // As `set latitude ...` checks them: the range too, before connecting.
        int64_t angle[2] = {0, 0};
        const char* const names[2] = {"LAT", "LON"};
        const char* const fields[2] = {"latitude", "longitude"};
        for (size_t i = 0; i < 2; ++i) {
            std::string error;
            if (!parseFieldValue(*findField(fields[i]), a[i], angle[i], error, names[i])) return usage(error);
        }
        p.latitude = static_cast<int32_t>(angle[0]);
        p.longitude = static_cast<int32_t>(angle[1]);
    } else if (cmd == "move") {
        int64_t position = 0;
        if (!parseDirection(a[0], p.code))
            return usage("DIRECTION: '" + a[0] + "' is not a direction (up, down, left or right)");
        const IntegerText r = readInteger(a[1], 0, kMaxSliderPosition, position);
        if (r != IntegerText::Ok) return usage(integerError("POSITION", a[1], r, 0, kMaxSliderPosition));
        p.position = static_cast<uint8_t>(position);
        if (args.hasSeconds && args.keepMoving)
            return usage("--seconds and --keep-moving exclude each other");
        if (args.hasSeconds) {
            int64_t seconds = 0;
            const IntegerText s = readInteger(args.seconds, 1, kMaxMoveSeconds, seconds);
            if (s != IntegerText::Ok)
                return usage(integerError("--seconds", args.seconds, s, 1, kMaxMoveSeconds));
            p.seconds = static_cast<uint32_t>(seconds);
        }
    } else if (cmd == "stop") {
        p.code = kDirBoth;
        if (!a.empty() && a[0] != "all" && !parseDirection(a[0], p.code))
            return usage("DIRECTION: '" + a[0] + "' is not a direction (up, down, left, right or all)");
    } else if (cmd == "tracking" || cmd == "exposure") {
        if (!parseOnOff(a[0], p.code)) return usage("STATE: '" + a[0] + "' is neither on nor off");
    } else if (cmd == "import" || cmd == "diff") {
        std::string text, error;
        const bool read = a[0] == kStandardStream ? readSettingsStream(stdin, fileName(a[0]), text, error)
                                                  : readSettingsText(a[0], text, error);
        if (!read) return Outcome::failure(kExitFile, error);
        // Nothing is ever sent before this check; only import would send.
        if (!parseSettingsFile(text, p.file, error))
            return Outcome::failure(
                kExitFile, fileName(a[0]) + ": " + error + (cmd == "import" ? "; nothing was sent" : ""));
    } else if (cmd == "export" && a[0] != kStandardStream) {
        // A place that cannot take the file is found before the read-out.
        std::string reason;
        if (!p.output.begin(a[0], reason))
            return Outcome::failure(kExitFile, "cannot write " + a[0] + ": " + reason);
    }
    return Outcome::success();
}

Outcome act(const CliArgs& args, Prepared& p, Session& session, const Interaction& interaction,
            std::string& out) {
    const std::string& cmd = args.command;
    if (cmd == "readout") {
        // The export form: what it prints, import takes.
        out += args.json ? settingsToJson(session.settings(), true) : formatReadout(session.settings());
        return Outcome::success();
    }
    if (cmd == "export") {
        const std::string json = settingsToJson(session.settings(), true);
        if (args.args[0] == kStandardStream) {
            out += json;  // the settings alone: no report line mixed in
            return Outcome::success();
        }
        std::string reason;
        if (!p.output.commit(json, reason))
            return Outcome::failure(
                kExitFile, "cannot write " + args.args[0] + ": " + reason + " (the file is unchanged)");
        out += "exported the settings to " + args.args[0] + "\n";
        return Outcome::success();
    }
    if (cmd == "set") return applyChanges(session, p.changes, out);
    if (cmd == "import")
        return commandImport(session, p.file, fileName(args.args[0]), args.dryRun, interaction, out);
    if (cmd == "diff") return commandDiff(session, p.file, fileName(args.args[0]), out);
    if (cmd == "location") return commandLocation(session, p.latitude, p.longitude, out);
    if (cmd == "gear") {
        const uint32_t ra = p.gearRa, de = p.gearDe;
        PlannedCommand c;
        c.writer = FieldWriter::GearRatios;
        c.first = ra;
        c.second = de;
        c.fields = "gear ratios";
        const Outcome o = applyCommand(session, c);
        if (o.ok()) out += "gear ratios: RA " + std::to_string(ra) + ", DE " + std::to_string(de) + "\n";
        return o;
    }
    if (cmd == "store") {
        const Outcome o = session.run([](TelescopeControl& e) { e.storeParameters(); }, "store",
                                      Expect::status(StatusCode::ParametersStored));
        if (o.ok()) out += std::string(statusTextAscii(StatusCode::ParametersStored)) + "\n";
        return o;
    }
    if (cmd == "reload-defaults") {
        // The ack, then a read-out of gear and parameter blocks (and, on
        // class 5, flip block and site) with its pauses.
        const Outcome o = session.run([](TelescopeControl& e) { e.reloadDefaults(); }, "reload-defaults",
                                      Expect::settings(0, 30000));
        if (o.ok()) out += std::string(statusTextAscii(StatusCode::DefaultsReloaded)) + "\n";
        return o;
    }
    if (cmd == "voltage") {
        Report r{};
        const Outcome o = session.run([](TelescopeControl& e) { e.measureSupplyVoltage(); }, "voltage",
                                      Expect::voltage(), &r);
        if (o.ok()) out += formatVoltage(r.value) + "\n";
        return o;
    }
    if (cmd == "park") {
        const Outcome o = session.run([](TelescopeControl& e) { e.setParkPosition(); }, "park",
                                      Expect::status(StatusCode::ParkPositionSet));
        if (o.ok()) out += std::string(statusTextAscii(StatusCode::ParkPositionSet)) + "\n";
        return o;
    }
    if (cmd == "move") return commandMove(session, p, args.keepMoving, out);
    if (cmd == "stop") {
        const uint8_t code = p.code;
        return sendAndConfirm(
            session, [=](TelescopeControl& e) { e.stopMotion(code); }, "stop",
            statusTextAscii(StatusCode::Ready), out);
    }
    if (cmd == "tracking") {
        const uint8_t on = p.code;
        return sendAndConfirm(
            session, [=](TelescopeControl& e) { e.setTracking(on); }, "tracking",
            on ? "tracking on" : "tracking off", out);
    }
    if (cmd == "exposure") {
        const uint8_t on = p.code;
        return sendAndConfirm(
            session, [=](TelescopeControl& e) { e.setExp(on); }, "exposure",
            on ? "exposure on" : "exposure off", out);
    }
    return usage("unknown command '" + cmd + "'");
}

}  // namespace

std::string formatVoltage(int centivolts) {
    char text[32];
    std::snprintf(text, sizeof text, "%2d.%02dV", centivolts / 100, centivolts % 100);
    return text;
}

std::string formatReadout(const ControllerSettings& s) {
    std::string out = "Brask hardware " + dottedVersion(s.hardwareVersion) + ", firmware " +
                      dottedVersion(s.firmwareVersion) + ", port type " + std::to_string(s.portType) +
                      ", class " + std::to_string(s.versionClass) + "\n";
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    size_t width = 0;
    for (size_t i = 0; i < count; ++i) width = std::max(width, std::strlen(fields[i].name));
    for (size_t i = 0; i < count; ++i) {
        std::string line = fields[i].name;
        line.append(width + 2 - line.size(), ' ');
        line += describeValue(fields[i], fields[i].get(s));
        out += line + "\n";
    }
    return out;
}

namespace {

// Every port the system offers and those --extra adds, each once. Windows
// names ports by number; POSIX by device path, which the scan numbers.
std::vector<ProbeTarget> scanTargets(const std::vector<PortSpec>& extras) {
#ifdef _WIN32
    std::vector<ProbeTarget> targets;
    for (const PortSpec& p : extras)
        targets.push_back(ProbeTarget{p.number, "COM" + std::to_string(p.number), true});
    for (const ProbeTarget& t : comPortTargets()) {
        const bool known = std::any_of(targets.begin(), targets.end(),
                                       [&t](const ProbeTarget& e) { return e.portNumber == t.portNumber; });
        if (!known) targets.push_back(t);
    }
    return targets;
#else
    std::vector<std::string> paths;
    std::vector<std::string> nodes;
    const auto add = [&](const std::string& path) {
        const std::string node = platform::describeSerialDevice(path).node;
        if (std::find(nodes.begin(), nodes.end(), node) != nodes.end()) return;
        nodes.push_back(node);
        paths.push_back(path);
    };
    for (const PortSpec& p : extras)
        add(p.devicePath.empty() ? platform::portDevice(p.number) : p.devicePath);
    for (const platform::SerialDevice& d : platform::discoverSerialDevices()) add(d.path);
    return devicePathTargets(paths);
#endif
}

Outcome runScan(const CliArgs& args, const Interaction& interaction, std::string& out) {
    const std::vector<ProbeTarget> targets = scanTargets(args.extras);
    // Shown as each probe ends: the ports' labels told so (one call at a
    // time, and none once the scan has returned).
    std::vector<std::string> shown;
    ProbeReportListener onReport;
    if (interaction.scanLine) {
        onReport = [&](const ProbeReport& r) {
            shown.push_back(r.target.label);
            interaction.scanLine(describeProbe(r));
        };
    }
    const std::vector<ProbeReport> reports = scanPorts(
        targets, [] { return platform::createSerialPort(); }, ProbeTimings(), onReport);
    for (const ProbeReport& r : reports) {
        // A probe that overran was not told: it is said at the end.
        if (std::find(shown.begin(), shown.end(), r.target.label) != shown.end()) continue;
        const std::string line = describeProbe(r);
        if (interaction.scanLine)
            interaction.scanLine(line);
        else
            out += line + "\n";
    }
    if (reports.empty()) out += "no serial port found\n";
    if (firstController(reports) == nullptr) return Outcome::failure(kExitGeneric, "no controller found");
    return Outcome::success();
}

Outcome runOnce(const CliArgs& args, const Session::Options& options, const Interaction& interaction,
                std::string& out) {
    Prepared prepared;
    const Outcome ready = prepare(args, prepared);
    if (!ready.ok()) return ready;
    if (args.command == "reload-defaults" && interaction.confirm &&
        !interaction.confirm("Reload the factory defaults on " + portLabel(args.port) +
                             "? They replace the current settings at once."))
        return Outcome::failure(kExitGeneric, "reload-defaults not confirmed; nothing was sent");

    if (!args.port.devicePath.empty()) platform::setPortDevice(args.port.number, args.port.devicePath);
    // Stop, tracking and exposure need nothing from the read-out: they
    // connect with the identification alone, so they act at once.
    Session::Options sessionOptions = options;
    if (args.command == "stop" || args.command == "tracking" || args.command == "exposure")
        sessionOptions.engine.identifyOnly = true;
    Session session(sessionOptions);
    const Outcome connected = session.connect(args.port.number, args.baud, portLabel(args.port));
    if (!connected.ok()) return connected;
    const Outcome done = act(args, prepared, session, interaction, out);
    session.disconnect();
    return done;
}

}  // namespace

Outcome runCommand(const CliArgs& args, const Session::Options& options, std::string& out,
                   const Interaction& interaction) {
    if (args.command == "scan") return runScan(args, interaction, out);
    if (args.command == "readout" && args.fields) {
        out += formatFieldList();
        return Outcome::success();
    }
    Outcome o = runOnce(args, options, interaction, out);
    // For diff, 1 only ever means "they differ" (its message is empty).
    if (args.command == "diff" && o.code == kExitGeneric && !o.message.empty()) o.code = kExitDiffOther;
    return o;
}

}  // namespace vorlant::ctl
