#pragma once
// Just enough JSON to read what orvex-cli prints, and strict enough that
// output a real JSON reader would reject (nan, a trailing comma, a repeated
// key) fails here too.
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace orvex::test {

struct Json {
    using Array = std::vector<Json>;
    using Object = std::map<std::string, Json>;
    std::variant<std::nullptr_t, bool, double, std::string, std::shared_ptr<Array>, std::shared_ptr<Object>> v;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(v); }
    double Num() const { return std::get<double>(v); }
    const std::string& Str() const { return std::get<std::string>(v); }
    const Array& Arr() const { return *std::get<std::shared_ptr<Array>>(v); }
    const Object& Obj() const { return *std::get<std::shared_ptr<Object>>(v); }
    const Json& operator[](const std::string& key) const { return Obj().at(key); }
    const Json& operator[](std::size_t i) const { return Arr().at(i); }

    // The value of the whole text, or nothing if it is not one JSON value.
    static std::optional<Json> Parse(std::string_view text) {
        std::size_t at = 0;
        Json value;
        if (!Value(text, at, value)) return std::nullopt;
        Skip(text, at);
        if (at != text.size()) return std::nullopt;
        return value;
    }

private:
    static void Skip(std::string_view t, std::size_t& at) {
        while (at < t.size() && std::string_view(" \t\r\n").find(t[at]) != std::string_view::npos) ++at;
    }
    static bool Eat(std::string_view t, std::size_t& at, std::string_view word) {
        Skip(t, at);
        if (t.substr(at, word.size()) != word) return false;
        at += word.size();
        return true;
    }
    static bool String(std::string_view t, std::size_t& at, std::string& out) {
        if (!Eat(t, at, "\"")) return false;
        for (; at < t.size() && t[at] != '"'; ++at) {
            if (static_cast<unsigned char>(t[at]) < 0x20) return false;
            if (t[at] != '\\') {
                out += t[at];
            } else if (at + 1 < t.size() && t[at + 1] == 'u' && at + 6 <= t.size()) {
                out += static_cast<char>(std::strtol(std::string(t.substr(at + 2, 4)).c_str(), nullptr, 16));
                at += 5;
            } else {
                constexpr std::string_view kEscapes = "\"\\/nt";
                const std::size_t k = at + 1 < t.size() ? kEscapes.find(t[++at]) : std::string_view::npos;
                if (k == std::string_view::npos) return false;
                out += "\"\\/\n\t"[k];
            }
        }
        return Eat(t, at, "\"");
    }
    template <typename Item>
    static bool List(std::string_view t, std::size_t& at, std::string_view close, Item&& item) {
        if (Eat(t, at, close)) return true;
        do
            if (!item()) return false;
        while (Eat(t, at, ","));
        return Eat(t, at, close);
    }
    static bool Value(std::string_view t, std::size_t& at, Json& out) {
        if (Eat(t, at, "{")) {
            auto obj = std::make_shared<Object>();
            out.v = obj;
            return List(t, at, "}", [&] {
                std::string key;
                Json item;
                return String(t, at, key) && Eat(t, at, ":") && Value(t, at, item) && obj->emplace(key, item).second;
            });
        }
        if (Eat(t, at, "[")) {
            auto arr = std::make_shared<Array>();
            out.v = arr;
            return List(t, at, "]", [&] { return Value(t, at, arr->emplace_back()); });
        }
        if (Eat(t, at, "null")) return out.v = nullptr, true;
        if (Eat(t, at, "true")) return out.v = true, true;
        if (Eat(t, at, "false")) return out.v = false, true;
        if (at < t.size() && t[at] == '"') {
            std::string s;
            return String(t, at, s) && (out.v = s, true);
        }
        const std::size_t start = at;
        while (at < t.size() && std::string_view("-+.eE0123456789").find(t[at]) != std::string_view::npos) ++at;
        const std::string number(t.substr(start, at - start));
        char* end = nullptr;
        out.v = std::strtod(number.c_str(), &end);
        return !number.empty() && end == number.c_str() + number.size();
    }
};

}  // namespace orvex::test
