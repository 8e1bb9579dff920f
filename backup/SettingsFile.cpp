#include "backup/SettingsFile.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <set>

#include "engine/ClassRules.h"
#include "platform/FileOpen.h"

namespace vorlant::backup {

namespace {

// Files are read into the library's plain objects (a search tree: a file
// with very many members costs no more than its size); the export is
// written from an ordered one, so it lists the fields in record order.
using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

constexpr size_t kMaxFileBytes = 1u << 20;  // a settings file is about 2 KB

std::string num(int64_t v) {
    return std::to_string(static_cast<long long>(v));
}

// Fields the file must carry: without them nothing can be checked.
const char* const kRequired[] = {"deviceFamily", "versionClass"};

const char* typeName(const Json& v) {
    switch (v.type()) {
        case Json::value_t::null:
            return "null";
        case Json::value_t::boolean:
            return "a boolean";
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
            return "an integer";
        case Json::value_t::number_float:
            return "a number with a fraction or an exponent";
        case Json::value_t::string:
            return "a string";
        case Json::value_t::array:
            return "an array";
        case Json::value_t::object:
            return "an object";
        default:
            return "a value";
    }
}

// A settings file holds one flat object; this deep is plainly not one.
constexpr size_t kMaxDepth = 64;

// A first pass of the library's parser over the text, events only: where
// and why the text is not JSON, nesting too deep to be worth building, and
// the top object's member names in file order (the object the library
// builds keeps only the last of two equal names, and its own order).
class Survey : public nlohmann::json_sax<Json> {
public:
    std::string syntaxError;
    bool tooDeep = false;
    std::vector<std::string> names;
    std::string duplicate;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return enter(); }
    bool end_object() override { return leave(); }
    bool start_array(std::size_t) override { return enter(); }
    bool end_array() override { return leave(); }

    bool key(string_t& name) override {
        if (depth_ == 1) {
            if (!seen_.insert(name).second && duplicate.empty()) duplicate = name;
            names.push_back(name);
        }
        return true;
    }

    // The library says "[json.exception.parse_error.101] parse error at
    // line 2, column 18: syntax error while parsing object - invalid
    // literal; last read: '8O'; expected '}'": keep it from "line", with a
    // long last token cut to its end so the message stays one short line.
    bool parse_error(std::size_t, const std::string& lastToken,
                     const nlohmann::detail::exception& e) override {
        syntaxError = e.what();
        const size_t line = syntaxError.find("line ");
        if (line != std::string::npos) syntaxError.erase(0, line);
        constexpr size_t kShownToken = 32;
        const size_t at = syntaxError.find(lastToken);
        if (lastToken.size() > kShownToken && at != std::string::npos) {
            size_t keep = lastToken.size() - kShownToken;
            while (keep < lastToken.size() && (static_cast<unsigned char>(lastToken[keep]) & 0xC0) == 0x80)
                ++keep;  // not inside a UTF-8 sequence
            syntaxError.replace(at, lastToken.size(), "..." + lastToken.substr(keep));
        }
        return false;
    }

private:
    bool enter() {
        if (++depth_ <= kMaxDepth) return true;
        tooDeep = true;
        return false;  // stops the parser
    }
    bool leave() {
        --depth_;
        return true;
    }

    size_t depth_ = 0;
    std::set<std::string> seen_;
};

// A member's value as an integer; false with the reason (field named).
bool integerValue(const std::string& key, const Json& v, const SettingsField& f, int64_t& out,
                  std::string& error) {
    const std::string range = " is out of range (" + num(f.typeMin) + ".." + num(f.typeMax) + ")";
    if (v.is_number_unsigned()) {
        const uint64_t u = v.get<uint64_t>();
        if (u > static_cast<uint64_t>(INT64_MAX)) {
            error = "field " + key + ": value " + std::to_string(u) + range;
            return false;
        }
        out = static_cast<int64_t>(u);
    } else if (v.is_number_integer()) {
        out = v.get<int64_t>();
    } else if (v.is_number_float()) {
        // An integer too large for 64 bits is read as a floating-point
        // number: it is out of range, not a fraction.
        const double d = v.get<double>();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) >= 9.2e18)
            error = "field " + key + ": value " + v.dump() + range;
        else
            error = "field " + key + ": expected an integer, found " + v.dump();
        return false;
    } else {
        error = "field " + key + ": expected an integer, found " + typeName(v);
        return false;
    }
    if (out < f.typeMin || out > f.typeMax) {
        error = "field " + key + ": value " + num(out) + range;
        return false;
    }
    return true;
}

}  // namespace

bool readSettingsText(const std::string& path, std::string& text, std::string& error) {
    std::FILE* f = platform::openFile(path, "rb");
    if (!f) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool read = readSettingsStream(f, path, text, error);
    std::fclose(f);
    return read;
}

bool readSettingsStream(std::FILE* f, const std::string& name, std::string& text, std::string& error) {
    text.clear();
    char buffer[4096];
    size_t n;
    errno = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        text.append(buffer, n);
        if (text.size() > kMaxFileBytes) {
            error = name + " is too large for a settings file";
            return false;
        }
    }
    if (std::ferror(f) != 0) {
        // A directory opens for reading on some systems; reading it says so.
        error = "cannot read " + name + ": " + std::strerror(errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool writeSettingsText(const std::string& path, const std::string& text, std::string& error) {
    platform::FileReplacement file;
    std::string reason;
    if (!file.begin(path, reason)) {
        error = "cannot write " + path + ": " + reason;
        return false;
    }
    if (!file.commit(text, reason)) {
        error = "cannot write " + path + ": " + reason + " (the file is unchanged)";
        return false;
    }
    return true;
}

std::string settingsToJson(const ControllerSettings& settings, bool withFormatMarker) {
    OrderedJson object = OrderedJson::object();
    if (withFormatMarker) object[kFormatKey] = kFormatMarker;
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    for (size_t i = 0; i < count; ++i) object[fields[i].name] = fields[i].get(settings);
    // Every name and value is ASCII; "replace" only rules out the throw.
    return object.dump(2, ' ', false, OrderedJson::error_handler_t::replace) + "\n";
}

bool parseSettingsFile(const std::string& text, SettingsFile& out, std::string& error) {
    out = SettingsFile{};
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    out.present.assign(count, false);

    Survey survey;
    if (!Json::sax_parse(text, &survey)) {
        error = survey.tooDeep
                    ? "not a settings file: nested more than " + std::to_string(kMaxDepth) + " levels deep"
                    : "not valid JSON: " + survey.syntaxError;
        return false;
    }
    if (!survey.duplicate.empty()) {
        error = "not valid JSON: duplicate key \"" + survey.duplicate + "\"";
        return false;
    }
    const Json root = Json::parse(text, nullptr, false);
    if (root.is_discarded()) {  // the survey above read the same text
        error = "not valid JSON";
        return false;
    }
    if (!root.is_object()) {
        error = "the file must hold one JSON object, not " + std::string(typeName(root));
        return false;
    }
    const auto marker = root.find(kFormatKey);
    if (marker == root.end() || !marker->is_string() || *marker != kFormatMarker) {
        error = std::string("not a settings file of this tool (\"") + kFormatKey + "\" must be \"" +
                kFormatMarker + "\")";
        return false;
    }
    for (const std::string& key : survey.names) {
        if (key == kFormatKey) continue;
        const SettingsField* f = findField(key);
        if (!f) {
            error = "unknown field \"" + key + "\"";
            return false;
        }
        const auto member = root.find(key);
        if (member == root.end()) continue;  // cannot happen: the survey saw this object
        int64_t value = 0;
        if (!integerValue(key, *member, *f, value, error)) return false;
        f->set(out.values, value);
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
    if (!isAcceptedClass(out.values.versionClass)) {
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

}  // namespace vorlant::backup
