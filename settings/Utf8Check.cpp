#include "settings/Utf8Check.h"

namespace orvex {

std::optional<std::size_t> FirstInvalidUtf8(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = byte(i);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
        if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            if (c == 0xE0) low = 0xA0;
            if (c == 0xED) high = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            if (c == 0xF0) low = 0x90;
            if (c == 0xF4) high = 0x8F;
        } else {
            return i;
        }
        if (i + 1 >= text.size() || byte(i + 1) < low || byte(i + 1) > high) return i;
        for (std::size_t k = 2; k < length; ++k)
            if (i + k >= text.size() || (byte(i + k) & 0xC0) != 0x80) return i;
        i += length;
    }
    return std::nullopt;
}

std::string NotUtf8Message(std::size_t offset, std::string_view howToSave) {
    return "the text is not UTF-8 (byte offset " + std::to_string(offset) + "); " + std::string(howToSave);
}

}  // namespace orvex
