#pragma once
// The bytes that carry the settings to and from the radio.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/ProtocolBytes.h"
#include "settings/RadioSettings.h"

namespace orvex {

inline constexpr std::size_t kChannelBlockSize = 12;
inline constexpr std::size_t kClosingBlockMinSize = 24;  // byte 0 unused, 1..23 the flags

// One's complement of the 8-bit sum.
std::uint8_t CalcChecksum(const std::uint8_t* bytes, std::size_t length);
inline std::uint8_t CalcChecksum(std::span<const std::uint8_t> bytes) {
    return CalcChecksum(bytes.data(), bytes.size());
}

struct BlockFrequency {
    bool ok;
    std::uint8_t high;
    std::uint8_t low;
};

// Code of a channel block: (f + offset) * 400 from a cell's text. An empty
// cell gives FF FF. A value outside 26..30 MHz, or not on the 2.5 kHz step,
// is refused: sending it would program a frequency the user never chose.
BlockFrequency EncodeBlockFrequency(std::string_view text, double offsetMHz);

// Memory-slot numbers of channel 1..10 by band plan; another channel number
// leaves both as they were.
void ComputeSlots(int bandPlan, int channel, std::uint8_t& slotA, std::uint8_t& slotB);

struct ChannelBlockInput {
    std::uint8_t slotA;
    std::uint8_t slotB;
    BlockFrequency receive;
    BlockFrequency transmit;
    std::uint8_t emgChannel;
};
std::array<std::uint8_t, kChannelBlockSize> BuildChannelBlock(const ChannelBlockInput& in);

// What a received record means to the form.
struct DecodedRecord {
    int row;               // record byte 0; only 1..10 name a table row
    std::string cellText;  // "" for an empty channel
    std::uint8_t bandPlan;
    std::uint8_t emgChannel;
};
DecodedRecord DecodeRecord(const ChannelEntry& record);

// The 23 channel-enable flags of the radio's closing block, or nothing when
// the block is too short to hold them.
std::optional<std::array<int, kChannelEnableCount>> DecodeClosingBlock(std::span<const std::uint8_t> block);

}  // namespace orvex
