#include "tools/vorlantctl/Json.h"

#include <cstdio>

namespace vorlant::ctl {

const JsonValue* JsonValue::find(const std::string& key) const {
    for (const auto& member : members)
        if (member.first == key) return &member.second;
    return nullptr;
}

const char* jsonTypeName(JsonValue::Type type) {
    switch (type) {
        case JsonValue::Type::Null:
            return "null";
        case JsonValue::Type::Bool:
            return "a boolean";
        case JsonValue::Type::Integer:
            return "an integer";
        case JsonValue::Type::String:
            return "a string";
        case JsonValue::Type::Array:
            return "an array";
        case JsonValue::Type::Object:
            return "an object";
    }
    return "a value";
}

std::string JsonError::describe() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

namespace {

class Parser {
public:
    Parser(const std::string& text, JsonError& error) : text_(text), error_(error) {}

    bool document(JsonValue& out) {
        // A UTF-8 byte order mark, as some editors write, is not content.
        if (text_.compare(0, 3, "\xEF\xBB\xBF") == 0) pos_ = 3;
        skipBlanks();
        if (atEnd()) return fail("the document is empty");
        if (!value(out, 0)) return false;
        skipBlanks();
        if (!atEnd()) return fail("unexpected text after the end of the document");
        return true;
    }

private:
    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }

    bool fail(const std::string& message) { return failAt(pos_, message); }
    bool failAt(size_t at, const std::string& message) {
        size_t line = 1;
        size_t column = 1;
        for (size_t i = 0; i < at && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        error_.line = line;
        error_.column = column;
        error_.message = message;
        return false;
    }
    bool unexpected(const char* wanted) {
        if (atEnd()) return fail(std::string("unexpected end of input, expected ") + wanted);
        return fail(std::string("unexpected ") + describeChar(peek()) + ", expected " + wanted);
    }
    static std::string describeChar(char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        char buffer[16];
        if (u >= 0x20 && u < 0x7F)
            std::snprintf(buffer, sizeof buffer, "'%c'", c);
        else
            std::snprintf(buffer, sizeof buffer, "byte 0x%02X", u);
        return buffer;
    }

    void skipBlanks() {
        while (!atEnd()) {
            const char c = peek();
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return;
            ++pos_;
        }
    }

    bool value(JsonValue& out, size_t depth) {
        if (atEnd()) return unexpected("a value");
        const char c = peek();
        if (c == '{' || c == '[') {
            if (depth >= kJsonMaxDepth) return fail("nesting is too deep");
            return c == '{' ? object(out, depth) : array(out, depth);
        }
        if (c == '"') {
            out.type = JsonValue::Type::String;
            return string(out.text);
        }
        if (c == '-' || (c >= '0' && c <= '9')) return number(out);
        if (literal("true")) {
            out.type = JsonValue::Type::Bool;
            out.boolean = true;
            return true;
        }
        if (literal("false")) {
            out.type = JsonValue::Type::Bool;
            out.boolean = false;
            return true;
        }
        if (literal("null")) {
            out.type = JsonValue::Type::Null;
            return true;
        }
        return unexpected("a value");
    }

    bool literal(const char* word) {
        size_t n = 0;
        while (word[n] != '\0') ++n;
        if (text_.compare(pos_, n, word) != 0) return false;
        pos_ += n;
        return true;
    }

    bool object(JsonValue& out, size_t depth) {
        out.type = JsonValue::Type::Object;
        ++pos_;  // '{'
        skipBlanks();
        if (!atEnd() && peek() == '}') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            if (atEnd() || peek() != '"') return unexpected("a string key");
            const size_t keyAt = pos_;
            std::string key;
            if (!string(key)) return false;
            if (out.find(key)) return failAt(keyAt, "duplicate key \"" + key + "\"");
            skipBlanks();
            if (atEnd() || peek() != ':') return unexpected("':' after an object key");
            ++pos_;
            skipBlanks();
            JsonValue member;
            if (!value(member, depth + 1)) return false;
            out.members.emplace_back(std::move(key), std::move(member));
            skipBlanks();
            if (atEnd()) return unexpected("',' or '}'");
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == '}') {
                ++pos_;
                return true;
            }
            return unexpected("',' or '}'");
        }
    }

    bool array(JsonValue& out, size_t depth) {
        out.type = JsonValue::Type::Array;
        ++pos_;  // '['
        skipBlanks();
        if (!atEnd() && peek() == ']') {
            ++pos_;
            return true;
        }
        for (;;) {
            skipBlanks();
            JsonValue item;
            if (!value(item, depth + 1)) return false;
            out.items.push_back(std::move(item));
            skipBlanks();
            if (atEnd()) return unexpected("',' or ']'");
            if (peek() == ',') {
                ++pos_;
                continue;
            }
            if (peek() == ']') {
                ++pos_;
                return true;
            }
            return unexpected("',' or ']'");
        }
    }

    bool number(JsonValue& out) {
        const size_t start = pos_;
        bool negative = false;
        if (peek() == '-') {
            negative = true;
            ++pos_;
        }
        if (atEnd() || peek() < '0' || peek() > '9') return unexpected("a digit");
        if (peek() == '0' && pos_ + 1 < text_.size() && text_[pos_ + 1] >= '0' && text_[pos_ + 1] <= '9')
            return fail("leading zeros are not allowed");
        // Accumulate the magnitude as unsigned so INT64_MIN fits.
        const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
        uint64_t magnitude = 0;
        while (!atEnd() && peek() >= '0' && peek() <= '9') {
            const uint64_t digit = static_cast<uint64_t>(peek() - '0');
            if (magnitude > (limit - digit) / 10) return failAt(start, "integer out of range");
            magnitude = magnitude * 10 + digit;
            ++pos_;
        }
        if (!atEnd() && (peek() == '.' || peek() == 'e' || peek() == 'E'))
            return fail("only integers are allowed here");
        out.type = JsonValue::Type::Integer;
        if (negative)
            out.integer = magnitude == (uint64_t{1} << 63) ? INT64_MIN : -static_cast<int64_t>(magnitude);
        else
            out.integer = static_cast<int64_t>(magnitude);
        return true;
    }

    bool hex4(uint32_t& out) {
        out = 0;
        for (int i = 0; i < 4; ++i) {
            if (atEnd()) return unexpected("four hexadecimal digits");
            const char c = peek();
            uint32_t digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<uint32_t>(c - 'A' + 10);
            else
                return unexpected("four hexadecimal digits");
            out = out * 16 + digit;
            ++pos_;
        }
        return true;
    }

    static void appendUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool string(std::string& out) {
        const size_t start = pos_;
        ++pos_;  // opening quote
        out.clear();
        for (;;) {
            if (atEnd()) return failAt(start, "unterminated string");
            const char c = peek();
            if (c == '"') {
                ++pos_;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return fail("control character in a string");
            if (c != '\\') {
                out += c;
                ++pos_;
                continue;
            }
            const size_t escapeAt = pos_;
            ++pos_;
            if (atEnd()) return failAt(start, "unterminated string");
            const char e = peek();
            ++pos_;
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    uint32_t cp;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xDC00 && cp <= 0xDFFF)
                        return failAt(escapeAt, "unpaired surrogate in \\u escape");
                    if (cp >= 0xD800 && cp <= 0xDBFF) {
                        uint32_t low = 0;
                        if (text_.compare(pos_, 2, "\\u") != 0)
                            return failAt(escapeAt, "unpaired surrogate in \\u escape");
                        pos_ += 2;
                        if (!hex4(low)) return false;
                        if (low < 0xDC00 || low > 0xDFFF)
                            return failAt(escapeAt, "unpaired surrogate in \\u escape");
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    }
                    appendUtf8(out, cp);
                    break;
                }
                default:
                    return failAt(escapeAt, "invalid escape sequence");
            }
        }
    }

    const std::string& text_;
    JsonError& error_;
    size_t pos_ = 0;
};

}  // namespace

bool parseJson(const std::string& text, JsonValue& out, JsonError& error) {
    out = JsonValue{};
    error = JsonError{};
    Parser parser(text, error);
    if (parser.document(out)) return true;
    out = JsonValue{};
    return false;
}

void appendJsonString(std::string& out, const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    out += '"';
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (u < 0x20) {
                    out += "\\u00";
                    out += kHex[u >> 4];
                    out += kHex[u & 0x0F];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void JsonObjectWriter::addRaw(const std::string& key, const std::string& literal) {
    body_ += count_ == 0 ? "  " : ",\n  ";
    appendJsonString(body_, key);
    body_ += ": ";
    body_ += literal;
    ++count_;
}

void JsonObjectWriter::addInteger(const std::string& key, int64_t value) {
    addRaw(key, std::to_string(static_cast<long long>(value)));
}

void JsonObjectWriter::addString(const std::string& key, const std::string& value) {
    std::string literal;
    appendJsonString(literal, value);
    addRaw(key, literal);
}

void JsonObjectWriter::addBool(const std::string& key, bool value) {
    addRaw(key, value ? "true" : "false");
}

std::string JsonObjectWriter::finish() const {
    if (count_ == 0) return "{}\n";
    return "{\n" + body_ + "\n}\n";
}

}  // namespace vorlant::ctl
