// A small JSON reader and writer for the tool's settings files.
//
// The reader accepts one JSON document: objects, arrays, strings, integers,
// true, false and null. Numbers must be integers that fit in 64 bits
// (fractions and exponents are refused: no settings value has them), and a
// key may appear only once per object. On malformed input it reports the
// 1-based line and column (in bytes) of the offending character. Nesting is
// limited so a hostile file cannot exhaust the stack.
//
// The writer produces flat objects with one member per line, the form the
// settings files are written in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vorlant::ctl {

struct JsonValue {
    enum class Type { Null, Bool, Integer, String, Array, Object };
    Type type = Type::Null;
    bool boolean = false;
    int64_t integer = 0;
    std::string text;
    std::vector<JsonValue> items;                            // Array
    std::vector<std::pair<std::string, JsonValue>> members;  // Object, in file order

    // The member with this key, or nullptr (objects only).
    const JsonValue* find(const std::string& key) const;
};

const char* jsonTypeName(JsonValue::Type type);

struct JsonError {
    size_t line = 0;    // 1-based
    size_t column = 0;  // 1-based, in bytes
    std::string message;

    // "line 3, column 14: expected ':' after an object key"
    std::string describe() const;
};

constexpr size_t kJsonMaxDepth = 64;

bool parseJson(const std::string& text, JsonValue& out, JsonError& error);

// Appends a JSON string literal (quotes and escapes included).
void appendJsonString(std::string& out, const std::string& text);

// Builds a flat object:
//   JsonObjectWriter w; w.addInteger("a", 1); w.addString("b", "x"); std::string s = w.finish();
class JsonObjectWriter {
public:
    void addInteger(const std::string& key, int64_t value);
    void addString(const std::string& key, const std::string& value);
    void addBool(const std::string& key, bool value);
    // The whole object, "{\n  ...\n}\n".
    std::string finish() const;

private:
    void addRaw(const std::string& key, const std::string& literal);
    std::string body_;
    size_t count_ = 0;
};

}  // namespace vorlant::ctl
