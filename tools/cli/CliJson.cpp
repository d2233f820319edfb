#include "tools/cli/CliJson.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace orvex::cli {

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (const unsigned char c : s) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value) {
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : "null";
}

std::string JsonFinite(double value) { return std::isfinite(value) ? JsonNumber(value) : "null"; }

std::string JsonStringOrNull(const std::string& s) { return s.empty() ? "null" : JsonString(s); }

}  // namespace orvex::cli
