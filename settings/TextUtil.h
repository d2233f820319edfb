#pragma once
// Blanks as the C library's isspace sees them in the "C" locale, without
// its locale lookups or its trouble with bytes above 127.
#include <string>
#include <string_view>

namespace orvex {

constexpr bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// text without the spaces, tabs and carriage returns at either end. Line
// feeds stay: callers split lines first, and a CR is what a Windows line
// leaves behind.
inline std::string Trim(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\r";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return std::string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

// What text editors and spreadsheets put before UTF-8 text; readers skip it.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace orvex
