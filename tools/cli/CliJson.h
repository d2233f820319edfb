#pragma once
// JSON output of the subcommands, written by hand: the documents are small
// and flat, and their key order is part of what scripts rely on.
#include <string>

namespace orvex::cli {

std::string JsonString(const std::string& s);
std::string JsonNumber(double value);
// JSON has no NaN or infinity: they are null.
std::string JsonFinite(double value);
// A string field that is null where there is nothing to say.
std::string JsonStringOrNull(const std::string& s);

template <typename Range, typename F>
std::string JsonArray(const Range& range, F&& each) {
    std::string out = "[";
    bool first = true;
    for (const auto& item : range) {
        if (!first) out += ", ";
        first = false;
        out += each(item);
    }
    return out + "]";
}

}  // namespace orvex::cli
