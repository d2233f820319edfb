#pragma once
// Text that came from outside (an imported file) is taken only as UTF-8.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvex {

// The offset of the first byte that does not belong to well-formed UTF-8
// (no overlong forms, no surrogates, nothing beyond U+10FFFF), or none.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text);

// Why such a text is refused, with the fix: "the text is not UTF-8 (byte
// offset 10); " followed by how to save it again.
std::string NotUtf8Message(std::size_t offset, std::string_view howToSave);

}  // namespace orvex
