#pragma once
// A strict, small JSON reader for documents a user hands in: it refuses
// with a message naming the place, and never trusts the input's shape.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    double number = 0;
    std::string text;  // a string's value, or a number as it was written
    std::vector<JsonValue> items;    // an array's items, or an object's values
    std::vector<std::string> names;  // an object's names, unique, in document order beside items

    const JsonValue* Find(std::string_view name) const;
    // The value for a message: a string quoted, a number as written, else
    // its kind ("an array").
    std::string Describe() const;
};

struct JsonParse {
    std::optional<JsonValue> value;
    std::string error;  // "line 3, column 7: ..." when there is no value
};

// Nesting deeper than this is refused rather than followed.
inline constexpr int kJsonMaxDepth = 64;

// One JSON value with nothing but blanks around it (a UTF-8 byte-order mark
// in front is passed over). Text that is not UTF-8 is refused with the
// offset of its first bad byte; so are duplicate names in an object.
JsonParse ParseJson(std::string_view text);

}  // namespace orvex
