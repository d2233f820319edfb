#include "settings/RadioImage.h"

#include <cmath>

#include "settings/QMDataMng.h"

namespace orvex {

std::uint8_t CalcChecksum(const std::uint8_t* bytes, std::size_t length) {
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return static_cast<std::uint8_t>(~sum);
}

BlockFrequency EncodeBlockFrequency(std::string_view text, double offsetMHz) {
    // Range and step are judged on the cell value itself; the offset is an
    // exact multiple of the step.
    PackError why = PackError::None;
    const auto code = FrequencyCodeFromText(text, &why);
    if (!code) return {false, 0, 0};
    if (*code == kEmptyFrequencyCode) return {true, 0xFF, 0xFF};
    const double f = ParseFrequencyText(text);
    if (!IsInBand(f)) return {false, 0, 0};
    const long value = std::lround((f + offsetMHz) * 1000.0 / kStepKHz);
    return {true, static_cast<std::uint8_t>((value >> 8) & 0xFF), static_cast<std::uint8_t>(value & 0xFF)};
}

void ComputeSlots(int bandPlan, int channel, std::uint8_t& slotA, std::uint8_t& slotB) {
    if (channel < 1 || channel > kChannelCount) return;
    int base = 40;
    if (bandPlan == 0)
        base = 0;
    else if (bandPlan == 1)
        base = 20;
    slotA = static_cast<std::uint8_t>(base + channel);
    slotB = static_cast<std::uint8_t>(base + 10 + channel);
}

std::array<std::uint8_t, kChannelBlockSize> BuildChannelBlock(const ChannelBlockInput& in) {
    return {QM_PROTO_ACK,      in.slotA,         in.slotB, in.receive.high, in.receive.low, in.transmit.high,
            in.transmit.low,  0,                0,        0,               in.emgChannel,  QM_PROTO_BLOCK_END};
}

DecodedRecord DecodeRecord(const ChannelEntry& record) {
    return {record.m_nNumber, FrequencyTextFromCode(record.m_wFreq), record.m_nRadioBandPlan,
            record.m_nRadioEmgChannel};
}

std::optional<std::array<int, kChannelEnableCount>> DecodeClosingBlock(std::span<const std::uint8_t> block) {
    if (block.size() < kClosingBlockMinSize) return std::nullopt;
    std::array<int, kChannelEnableCount> flags{};
    for (int i = 0; i < kChannelEnableCount; ++i) flags[i] = block[1 + i] != 0 ? 1 : 0;  // a check box holds 0 or 1
    return flags;
}

}  // namespace orvex
