#include "settings/JsonReader.h"

#include <charconv>
#include <cmath>
#include <unordered_set>

#include "settings/TextUtil.h"
#include "settings/Utf8Check.h"

namespace orvex {
namespace {


class Parser {
public:
    explicit Parser(std::string_view text) : m_text(text) {}

    JsonParse Run() {
        JsonParse result;
        JsonValue value;
        SkipBlanks();
        if (Value(value, 0)) {
            SkipBlanks();
            if (m_pos != m_text.size()) Fail("unexpected text after the end of the document");
        }
        if (m_error.empty())
            result.value = std::move(value);
        else
            result.error = std::move(m_error);
        return result;
    }

private:
    bool Fail(std::string_view what) {
        if (!m_error.empty()) return false;
        std::size_t line = 1, column = 1;
        for (std::size_t i = 0; i < m_pos && i < m_text.size(); ++i) {
            if (m_text[i] == '\n') {
                ++line;
                column = 1;
            } else if ((static_cast<unsigned char>(m_text[i]) & 0xC0) != 0x80) {
                ++column;
            }
        }
        m_error = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + std::string(what);
        return false;
    }
    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    void SkipBlanks() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) ++m_pos;
    }
    bool Literal(std::string_view word) {
        if (m_text.substr(m_pos, word.size()) != word) return Fail("expected a value");
        m_pos += word.size();
        return true;
    }

    bool Value(JsonValue& out, int depth) {
        if (AtEnd()) return Fail("the document ends where a value should be");
        switch (Peek()) {
            case '{': return Object(out, depth + 1);
            case '[': return Array(out, depth + 1);
            case '"': out.kind = JsonValue::Kind::String; return String(out.text);
            case 't': out.kind = JsonValue::Kind::Bool; out.boolean = true; return Literal("true");
            case 'f': out.kind = JsonValue::Kind::Bool; out.boolean = false; return Literal("false");
            case 'n': out.kind = JsonValue::Kind::Null; return Literal("null");
            default: return Number(out);
        }
    }

    bool Object(JsonValue& out, int depth) {
        if (depth > kJsonMaxDepth) return Fail("nested too deeply");
        out.kind = JsonValue::Kind::Object;
        ++m_pos;
        SkipBlanks();
        if (Peek() == '}') {
            ++m_pos;
            return true;
        }
        // A set, not a scan of the names so far: an object of a hundred
        // thousand names would otherwise take minutes to refuse.
        std::unordered_set<std::string> seen;
        for (;;) {
            SkipBlanks();
            if (Peek() != '"') return Fail("expected a name in double quotes");
            std::string name;
            const std::size_t nameAt = m_pos;
            if (!String(name)) return false;
            if (!seen.insert(name).second) {
                m_pos = nameAt;
                return Fail("the name \"" + name + "\" appears twice");
            }
            SkipBlanks();
            if (Peek() != ':') return Fail("expected ':' after a name");
            ++m_pos;
            SkipBlanks();
            JsonValue member;
            if (!Value(member, depth)) return false;
            out.names.push_back(std::move(name));
            out.items.push_back(std::move(member));
            SkipBlanks();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == '}') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or '}'");
        }
    }

    bool Array(JsonValue& out, int depth) {
        if (depth > kJsonMaxDepth) return Fail("nested too deeply");
        out.kind = JsonValue::Kind::Array;
        ++m_pos;
        SkipBlanks();
        if (Peek() == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            SkipBlanks();
            JsonValue item;
            if (!Value(item, depth)) return false;
            out.items.push_back(std::move(item));
            SkipBlanks();
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == ']') {
                ++m_pos;
                return true;
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool Hex4(unsigned& out) {
        out = 0;
        for (int i = 0; i < 4; ++i, ++m_pos) {
            const char c = Peek();
            unsigned digit;
            if (c >= '0' && c <= '9')
                digit = static_cast<unsigned>(c - '0');
            else if (c >= 'a' && c <= 'f')
                digit = static_cast<unsigned>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                digit = static_cast<unsigned>(c - 'A' + 10);
            else
                return Fail("expected four hexadecimal digits after \\u");
            out = out * 16 + digit;
        }
        return true;
    }

    static void AppendUtf8(std::string& out, unsigned cp) {
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

    bool Escape(std::string& out) {
        const char c = Peek();
        ++m_pos;
        switch (c) {
            case '"': out += '"'; return true;
            case '\\': out += '\\'; return true;
            case '/': out += '/'; return true;
            case 'b': out += '\b'; return true;
            case 'f': out += '\f'; return true;
            case 'n': out += '\n'; return true;
            case 'r': out += '\r'; return true;
            case 't': out += '\t'; return true;
            case 'u': break;
            default: --m_pos; return Fail("unknown escape in a string");
        }
        unsigned cp;
        if (!Hex4(cp)) return false;
        if (cp >= 0xDC00 && cp <= 0xDFFF) return Fail("a \\u escape holds half of a character");
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            unsigned low;
            if (m_text.substr(m_pos, 2) != "\\u") return Fail("a \\u escape holds half of a character");
            m_pos += 2;
            if (!Hex4(low)) return false;
            if (low < 0xDC00 || low > 0xDFFF) return Fail("a \\u escape holds half of a character");
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        }
        AppendUtf8(out, cp);
        return true;
    }

    bool String(std::string& out) {
        ++m_pos;  // the opening quote
        for (;;) {
            if (AtEnd()) return Fail("a string is not closed");
            const char c = Peek();
            if (c == '"') {
                ++m_pos;
                return true;
            }
            if (static_cast<unsigned char>(c) < 0x20) return Fail("a control character inside a string");
            if (c == '\\') {
                ++m_pos;
                if (!Escape(out)) return false;
                continue;
            }
            out += c;
            ++m_pos;
        }
    }

    bool Digits() {
        const std::size_t start = m_pos;
        while (Peek() >= '0' && Peek() <= '9') ++m_pos;
        return m_pos > start;
    }

    bool Number(JsonValue& out) {
        const std::size_t start = m_pos;
        if (Peek() == '-') ++m_pos;
        if (Peek() == '0')
            ++m_pos;
        else if (!Digits())
            return Fail("expected a value");
        if (Peek() == '.') {
            ++m_pos;
            if (!Digits()) return Fail("expected digits after the decimal point");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') ++m_pos;
            if (!Digits()) return Fail("expected digits in the exponent");
        }
        out.kind = JsonValue::Kind::Number;
        out.text = std::string(m_text.substr(start, m_pos - start));
        const char* first = m_text.data() + start;
        const auto [ptr, ec] = std::from_chars(first, m_text.data() + m_pos, out.number);
        if (ec == std::errc::result_out_of_range) {
            m_pos = start;
            return Fail("the number " + out.text + " is out of range");
        }
        if (ec != std::errc() || ptr != m_text.data() + m_pos || !std::isfinite(out.number)) {
            m_pos = start;
            return Fail("the number " + out.text + " cannot be read");
        }
        return true;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    std::string m_error;
};

}  // namespace

const JsonValue* JsonValue::Find(std::string_view name) const {
    if (kind != Kind::Object) return nullptr;
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return &items[i];
    return nullptr;
}

std::string JsonValue::Describe() const {
    constexpr std::size_t kShown = 40;
    switch (kind) {
        case Kind::Null: return "null";
        case Kind::Bool: return boolean ? "true" : "false";
        case Kind::Number: return text;
        case Kind::String: {
            if (text.size() <= kShown) return "\"" + text + "\"";
            std::size_t cut = kShown;  // never inside a character
            while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
            return "\"" + text.substr(0, cut) + "...\"";
        }
        case Kind::Array: return "an array";
        case Kind::Object: return "an object";
    }
    return {};
}

JsonParse ParseJson(std::string_view text) {
    if (const auto bad = FirstInvalidUtf8(text))
        return {std::nullopt, NotUtf8Message(*bad, "save it as UTF-8 and try again")};
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    return Parser(text).Run();
}

}  // namespace orvex
