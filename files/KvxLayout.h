#pragma once
// The 2048-byte settings file: offsets and a small accessor over the bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

namespace orvex::kvx {

inline constexpr std::size_t kFileSize = 2048;

namespace Offset {
inline constexpr std::size_t header = 0;             // 32 bytes
inline constexpr std::size_t version = 32;           // 16 bytes
inline constexpr std::size_t identifier = 128;       // 16 bytes
inline constexpr std::size_t formatMajor = 144;      // 2
inline constexpr std::size_t formatMinor = 145;      // 0
inline constexpr std::size_t optionSelections = 146; // 16 bytes, OptionLists() order
inline constexpr std::size_t alignment = 162;        // 4 bytes
inline constexpr std::size_t optionFlags = 166;      // bit 0 first
inline constexpr std::size_t bandPlan = 167;
inline constexpr std::size_t emgChannel = 168;
inline constexpr std::size_t channelEnable = 169;    // 23 bytes
inline constexpr std::size_t channelRecords = 256;   // 10 x 11 bytes
inline constexpr std::size_t optionBlock = 1792;     // 23 bytes
inline constexpr std::size_t toneA = 1815;           // double, little-endian
inline constexpr std::size_t toneB = 1823;           // double, little-endian
inline constexpr std::size_t trailer = 2047;         // 0xFF
}  // namespace Offset

inline constexpr std::size_t kHeaderSize = 32;
inline constexpr std::size_t kVersionSize = 16;
inline constexpr std::string_view kHeaderText = "This is qm-210,620 data file.";
inline constexpr std::string_view kVersionText = "01.00.01.02";
inline constexpr std::array<std::uint8_t, 16> kIdentifier = {0x75, 0x2C, 0x8A, 0x3A, 0x11, 0xB6, 0x1D, 0x41,
                                                             0x8A, 0xF9, 0x27, 0x59, 0x34, 0x1C, 0xDF, 0x8E};
inline constexpr std::uint8_t kFormatMajor = 2;
inline constexpr std::uint8_t kFormatMinor = 0;
inline constexpr std::uint8_t kTrailer = 0xFF;

// The ranges Save writes; everything else of an existing file is kept.
struct Range {
    std::size_t offset;
    std::size_t size;
};
inline constexpr std::array<Range, 5> kWrittenRanges = {{
    {Offset::header, kHeaderSize + kVersionSize},
    {Offset::identifier, Offset::channelEnable + 23 - Offset::identifier},
    {Offset::channelRecords, 110},
    {Offset::optionBlock, Offset::toneB + 8 - Offset::optionBlock},
    {Offset::trailer, 1},
}};

// Bounds-checked view of a file image. Accessors name the byte order.
class KvxImage {
public:
    KvxImage() { m_bytes.fill(0); }

    std::span<std::uint8_t, kFileSize> bytes() { return m_bytes; }
    std::span<const std::uint8_t, kFileSize> bytes() const { return m_bytes; }

    std::uint8_t getUInt8(std::size_t offset) const { return m_bytes.at(offset); }
    void setUInt8(std::size_t offset, std::uint8_t value) { m_bytes.at(offset) = value; }

    double getDouble_le(std::size_t offset) const;
    void setDouble_le(std::size_t offset, double value);

    std::span<const std::uint8_t> slice(std::size_t offset, std::size_t size) const {
        return std::span<const std::uint8_t>(m_bytes).subspan(offset, size);
    }
    void setBytes(std::size_t offset, std::span<const std::uint8_t> data);
    void setText(std::size_t offset, std::size_t fieldSize, std::string_view text);

    // Bytes 128..145: the identifier, then 2, then 0.
    bool HasSettingsIdentifier() const;

private:
    std::array<std::uint8_t, kFileSize> m_bytes;
};

}  // namespace orvex::kvx
