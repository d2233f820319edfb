#include "link/DeviceInfo.h"

namespace orvex {
namespace {

// The length of the UTF-8 sequence at s[i], or 0 when none starts there.
std::size_t Utf8Length(const std::string& s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    std::size_t n = 0;
    unsigned min = 0;
    if (c >= 0xC2 && c <= 0xDF) n = 2, min = 0x80;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, min = 0x800;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, min = 0x10000;
    else return 0;
    if (i + n > s.size()) return 0;
    unsigned code = c & (0xFF >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and beyond U+10FFFF are not UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return n;
}

}  // namespace

std::string PrintableDeviceString(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size();) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t n = c >= 0x80 ? Utf8Length(raw, i) : 0) {
            out.append(raw, i, n);
            i += n;
        } else {
            // A device names itself: an escape sequence in its product
            // string must not reach the terminal.
            out += '?';
            ++i;
        }
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

}  // namespace orvex
