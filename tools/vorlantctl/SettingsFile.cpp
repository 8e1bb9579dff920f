#include "tools/vorlantctl/SettingsFile.h"

#include "tools/vorlantctl/Json.h"

namespace vorlant::ctl {

namespace {

std::string num(int64_t v) {
    return std::to_string(static_cast<long long>(v));
}

// Fields the file must carry: without them nothing can be checked.
const char* const kRequired[] = {"deviceFamily", "versionClass"};

}  // namespace

std::string settingsToJson(const ControllerSettings& settings, bool withFormatMarker) {
    JsonObjectWriter writer;
    if (withFormatMarker) writer.addString(kFormatKey, kFormatMarker);
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) writer.addInteger(fields[i].name, fields[i].get(settings));
    return writer.finish();
}

bool parseSettingsFile(const std::string& text, SettingsFile& out, std::string& error) {
    out = SettingsFile{};
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    out.present.assign(count, false);

    JsonValue root;
    JsonError jsonError;
    if (!parseJson(text, root, jsonError)) {
        error = "not valid JSON: " + jsonError.describe();
        return false;
    }
    if (root.type != JsonValue::Type::Object) {
        error = "the file must hold one JSON object, not " + std::string(jsonTypeName(root.type));
        return false;
    }
    const JsonValue* marker = root.find(kFormatKey);
    if (!marker || marker->type != JsonValue::Type::String || marker->text != kFormatMarker) {
        error = std::string("not a settings file of this tool (\"") + kFormatKey + "\" must be \"" +
                kFormatMarker + "\")";
        return false;
    }
    for (const auto& member : root.members) {
        const std::string& key = member.first;
        if (key == kFormatKey) continue;
        const SettingsField* f = findField(key);
        if (!f) {
            error = "unknown field \"" + key + "\"";
            return false;
        }
        const JsonValue& v = member.second;
        if (v.type != JsonValue::Type::Integer) {
            error = "field " + key + ": expected an integer, found " + jsonTypeName(v.type);
            return false;
        }
        if (v.integer < f->typeMin || v.integer > f->typeMax) {
            error = "field " + key + ": value " + num(v.integer) + " is out of range (" + num(f->typeMin) +
                    ".." + num(f->typeMax) + ")";
            return false;
        }
        f->set(out.values, v.integer);
        out.present[static_cast<size_t>(f - fields)] = true;
    }
    for (const char* name : kRequired) {
        const SettingsField* f = findField(name);
        if (!out.present[static_cast<size_t>(f - fields)]) {
            error = std::string("field ") + name +
                    " is missing: the file does not say which controller it is from";
            return false;
        }
    }
    if (out.values.versionClass < 1 || out.values.versionClass > 5) {
        error = "field versionClass: value " + num(out.values.versionClass) + " is out of range (1..5)";
        return false;
    }
    return true;
}

bool planImport(const SettingsFile& file, const ControllerSettings& controller, ControllerSettings& target,
                std::vector<FieldChange>& changes, std::string& error) {
    target = controller;
    changes.clear();
    if (file.values.deviceFamily != controller.deviceFamily) {
        error = "field deviceFamily: the file is from a controller of family " +
                num(file.values.deviceFamily) + ", the connected one is of family " +
                num(controller.deviceFamily);
        return false;
    }
    const uint8_t fileClass = file.values.versionClass;
    const uint8_t controllerClass = controller.versionClass;
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (!file.present[i] || !isWritable(f)) continue;  // read-only fields are not applied
        const int64_t wanted = f.get(file.values);
        if (fileClass < f.readClass) {
            // The file's controller could not report this field; its value
            // is a placeholder, never a setting to apply.
            if (wanted != 0) {
                error = "field " + std::string(f.name) + ": set to " + num(wanted) + ", but a class-" +
                        num(fileClass) + " controller (as the file says) does not have it";
                return false;
            }
            continue;
        }
        const int64_t have = f.get(controller);
        if (wanted == have) continue;
        std::string why;
        if (!checkWritable(f, wanted, controllerClass, why)) {
            error =
                "field " + why + " (the file sets " + num(wanted) + ", the controller has " + num(have) + ")";
            return false;
        }
        f.set(target, wanted);
        changes.push_back(FieldChange{&f, wanted});
    }
    return true;
}

}  // namespace vorlant::ctl
