#include "tools/vorlantctl/FieldNames.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/ClassRules.h"
#include "text/TextBuild.h"

namespace vorlant::ctl {

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Letters inserted, removed or replaced to turn a into b, case ignored.
size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t replace = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, replace});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string angleText(int64_t value) {
    char text[32];
    appendAngle(text, sizeof text, 0, static_cast<int32_t>(value));
    return text;
}

const char* unitOf(const SettingsField& f) {
    // The tool's list has always said "rate" where the window says "speed".
    if (f.style == FieldStyle::GuideRate) return "1/16 of the sidereal rate";
    return f.unit;
}

}  // namespace

int64_t commandLineMin(const SettingsField& f) {
    return f.writer == FieldWriter::GearRatios ? std::max<int64_t>(1, f.writeMin) : f.writeMin;
}

std::string formatFieldList() {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    struct Row {
        std::string name, range, unit;
        int writeClass;
    };
    std::vector<Row> rows;
    size_t nameWidth = 0, rangeWidth = 0, unitWidth = 0;
    for (size_t i = 0; i < count; ++i) {
        const SettingsField& f = fields[i];
        if (!isWritable(f)) continue;
        Row r{f.name,
              std::to_string(static_cast<long long>(commandLineMin(f))) + ".." +
                  std::to_string(static_cast<long long>(f.writeMax)),
              unitOf(f), f.writeClass};
        if (f.style == FieldStyle::Angle)
            r.unit += " (" + angleText(f.writeMin) + ".." + angleText(f.writeMax) + ")";
        nameWidth = std::max(nameWidth, r.name.size());
        rangeWidth = std::max(rangeWidth, r.range.size());
        unitWidth = std::max(unitWidth, r.unit.size());
        rows.push_back(r);
    }
    std::string out;
    for (const Row& r : rows) {
        std::string line = r.name;
        line.append(nameWidth + 2 - line.size(), ' ');
        line += r.range;
        line.append(nameWidth + 2 + rangeWidth + 2 - line.size(), ' ');
        line += r.unit;
        line.append(nameWidth + 2 + rangeWidth + 2 + unitWidth + 2 - line.size(), ' ');
        line += "class " + std::to_string(r.writeClass) + (isNewestClass(r.writeClass) ? "" : " and later");
        out += line + "\n";
    }
    return out;
}

const SettingsField* nearestField(const std::string& name, bool writableOnly) {
    size_t count = 0;
    const SettingsField* fields = settingsFields(count);
    const SettingsField* best = nullptr;
    size_t bestDistance = 0;
    for (size_t i = 0; i < count; ++i) {
        if (writableOnly && !isWritable(fields[i])) continue;
        const size_t d = editDistance(name, fields[i].name);
        if (!best || d < bestDistance) {
            best = &fields[i];
            bestDistance = d;
        }
    }
    // A third of the name may be wrong: enough for a slip of the fingers,
    // not so much that any word finds a field.
    if (!best || bestDistance > std::max<size_t>(1, name.size() / 3)) return nullptr;
    return best;
}

}  // namespace vorlant::ctl
