#include "ui/ResourceScript.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace vorlant {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return std::string();
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Splits on commas outside double quotes.
std::vector<std::string> fields(const std::string& s) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted) {
            out.push_back(trim(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    out.push_back(trim(cur));
    return out;
}

std::string unquote(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

// A whole decimal number; false for anything else.
bool toInt(const std::string& s, int& value) {
    const char* end = s.data() + s.size();
    const std::from_chars_result r = std::from_chars(s.data(), end, value);
    return !s.empty() && r.ec == std::errc() && r.ptr == end;
}

// Reads fields[i] as a number and advances i.
bool next(const std::vector<std::string>& f, std::size_t& i, int& value) {
    if (i >= f.size()) return false;
    return toInt(f[i++], value);
}

bool parseControl(const std::string& line, ResourceControl& c) {
    std::istringstream in(line);
    in >> c.kind;
    std::string rest;
    std::getline(in, rest);
    const std::vector<std::string> f = fields(trim(rest));
    std::size_t i = 0;
    if (c.kind != "EDITTEXT" && c.kind != "COMBOBOX") {
        if (i >= f.size()) return false;
        c.caption = unquote(f[i++]);
    }
    if (!next(f, i, c.id)) return false;
    if (c.kind == "CONTROL") {
        if (i + 1 >= f.size()) return false;
        c.windowClass = unquote(f[i++]);
        c.style = f[i++];
    }
    if (!next(f, i, c.x) || !next(f, i, c.y) || !next(f, i, c.w) || !next(f, i, c.h)) return false;
    for (; i < f.size(); ++i) c.style += (c.style.empty() ? "" : " | ") + f[i];
    return true;
}

// Replaces the script's own style macros (#define NAME value) by their values.
std::string expand(std::string text, const std::map<std::string, std::string>& macros) {
    for (const auto& [name, value] : macros) {
        for (auto at = text.find(name); at != std::string::npos; at = text.find(name, at + value.size())) {
            text.replace(at, name.size(), value);
        }
    }
    return text;
}

}  // namespace

bool ResourceControl::hasStyle(const char* flag) const {
    // Whole words only: BS_RADIOBUTTON is not found in BS_AUTORADIOBUTTON.
    const std::string word(flag);
    for (auto at = style.find(word); at != std::string::npos; at = style.find(word, at + 1)) {
        const bool startOk = at == 0 || style[at - 1] == ' ' || style[at - 1] == '|';
        const auto end = at + word.size();
        const bool endOk = end == style.size() || style[end] == ' ' || style[end] == '|';
        if (startOk && endOk) return true;
    }
    return false;
}

const ResourceControl* ResourceTemplate::find(int id) const {
    for (const ResourceControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

ResourceTemplates parseResourceScript(const std::string& text) {
    ResourceTemplates templates;
    std::map<std::string, std::string> macros;
    ResourceTemplate* current = nullptr;
    bool inBody = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string t = trim(line);
        if (t.empty() || t.rfind("//", 0) == 0) continue;
        std::istringstream in(t);
        std::string first, second;
        in >> first >> second;
        if (first == "#define") {
            std::string value;
            std::getline(in, value);
            macros[second] = trim(value);
            continue;
        }
        if (second == "DIALOGEX") {
            int id = 0;
            std::string rest;
            std::getline(in, rest);
            const auto f = fields(trim(rest));
            ResourceTemplate frame;
            std::size_t i = 0;
            if (!toInt(first, id) || !next(f, i, frame.x) || !next(f, i, frame.y) || !next(f, i, frame.w) ||
                !next(f, i, frame.h)) {
                current = nullptr;
                continue;
            }
            current = &templates[id];
            *current = frame;
            inBody = false;
            continue;
        }
        if (current == nullptr) continue;
        if (first == "CAPTION") current->caption = unquote(trim(t.substr(7)));
        if (first == "STYLE") current->style = trim(expand(t.substr(5), macros));
        if (first == "BEGIN") {
            inBody = true;
        } else if (first == "END") {
            inBody = false;
            current = nullptr;
        } else if (inBody) {
            ResourceControl c;
            if (parseControl(expand(t, macros), c)) current->controls.push_back(std::move(c));
        }
    }
    return templates;
}

bool readResourceScript(const std::string& path, ResourceTemplates& out) {
    out.clear();
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    out = parseResourceScript(text.str());
    return true;
}

}  // namespace vorlant
