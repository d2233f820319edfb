#pragma once
// Settings file images built by hand, so that the reader and the writer are
// checked against the layout rather than against each other.
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "support/TempDir.h"

namespace orvex::test {

inline constexpr std::uint8_t kSampleIdentifier[16] = {0x75, 0x2C, 0x8A, 0x3A, 0x11, 0xB6, 0x1D, 0x41,
                                                       0x8A, 0xF9, 0x27, 0x59, 0x34, 0x1C, 0xDF, 0x8E};

// 2048 bytes that pass the identifier check and hold nothing else.
inline Bytes BlankSettingsImage(std::size_t size = 2048) {
    Bytes b(size < 2048 ? 2048 : size, 0);
    std::memcpy(b.data() + 128, kSampleIdentifier, 16);
    b[144] = 2;
    b[145] = 0;
    b.resize(size);
    return b;
}

inline void PutText(Bytes& b, std::size_t offset, std::string_view text) {
    std::memcpy(b.data() + offset, text.data(), text.size());
}

inline void PutDouble(Bytes& b, std::size_t offset, double value) {
    std::uint64_t raw;
    std::memcpy(&raw, &value, 8);
    for (int i = 0; i < 8; ++i, raw >>= 8) b[offset + i] = static_cast<std::uint8_t>(raw);
}

// Record r (0..9) of an image: number, frequency code high byte first, then
// band plan, emergency channel and the six tail bytes.
inline void PutRecord(Bytes& b, int r, std::uint16_t code, std::uint8_t plan, std::uint8_t emg,
                      std::initializer_list<std::uint8_t> tail = {0, 0, 0, 0, 0, 0}) {
    std::uint8_t* p = b.data() + 256 + 11 * r;
    p[0] = static_cast<std::uint8_t>(r + 1);
    p[1] = static_cast<std::uint8_t>(code >> 8);
    p[2] = static_cast<std::uint8_t>(code & 0xFF);
    p[3] = plan;
    p[4] = emg;
    std::size_t i = 5;
    for (std::uint8_t t : tail) p[i++] = t;
}

}  // namespace orvex::test
