#pragma once
// Everything the application knows about one radio.
#include <array>
#include <cstdint>
#include <span>

#include "settings/CodeTables.h"

namespace orvex {

inline constexpr int kChannelCount = 10;  // P1 .. P9, P0
inline constexpr std::uint16_t kEmptyFrequencyCode = 0xFFFF;

// One 11-byte channel record, as the radio sends it and the file stores it.
struct ChannelEntry {
    static constexpr std::size_t kSize = 11;

    std::uint8_t m_nNumber = 0;
    std::uint16_t m_wFreq = kEmptyFrequencyCode;  // 2.5 kHz units
    std::uint8_t m_nRadioBandPlan = 0xFF;
    std::uint8_t m_nRadioEmgChannel = 0xFF;
    std::array<std::uint8_t, 6> m_tail{};

    // Record bytes 1 and 2 both 0xFF.
    bool IsEmpty() const { return m_wFreq == kEmptyFrequencyCode; }

    std::array<std::uint8_t, kSize> ToBytes() const;
    static ChannelEntry FromBytes(std::span<const std::uint8_t, kSize> bytes);

    bool operator==(const ChannelEntry&) const = default;
};

// Ranges and defaults of the four alignment values.
struct AlignmentSpec {
    unsigned int maximum;
    unsigned int defaultValue;
};
inline constexpr std::array<AlignmentSpec, 4> kAlignmentSpecs = {{{255, 82}, {255, 0}, {200, 140}, {200, 72}}};

inline constexpr int kOptionFlagCount = 6;
inline constexpr std::array<int, kOptionFlagCount> kOptionFlagDefaults = {0, 1, 1, 0, 0, 0};
inline constexpr std::size_t kOptionBlockSize = 23;

struct RadioSettings {
    // Live values.
    std::array<ChannelEntry, kChannelCount> m_channels{};
    std::uint8_t m_nBandPlan = 0;
    std::uint8_t m_nEmgChannel = 0;
    std::array<int, kChannelEnableCount> b_CHcheck{};  // b_CHcheck1 .. b_CHcheck23

    // Stored values: alignment.
    unsigned int m_freqencyAdjust = 82;
    unsigned int m_wfreqencyAdjust = 0;
    unsigned int m_MaxPowerAdjust = 140;
    unsigned int m_MinPowerAdjust = 72;

    // Stored values: selections of the hidden option lists (-1 = none).
    int m_nOpt1010 = 1;
    int m_nPowerSaveTime = -1;
    int m_nTimeOutTime = -1;
    int m_nPttResumeTime = -1;
    int m_nOpt1008 = -1;
    int m_nOpt1009 = -1;
    int m_nOpt1019 = -1;
    int m_nOpt1020 = -1;
    int m_nOpt1007 = -1;
    int m_nOpt1021 = -1;
    int m_nOpt1022 = -1;
    int m_nOpt1023 = -1;
    int m_nOpt1024 = -1;
    int m_nOpt1016 = -1;
    int m_nOpt1026 = 2;
    int m_nOpt1025 = 5;

    // Stored values: the six option flags, 0 or 1.
    int m_bMuteCallSound = 0;
    int m_bSqtEnable = 1;
    int m_bPowerBeepEnable = 1;
    int m_bRxBltOn = 0;
    int m_bMenuDisable = 0;
    int m_bCtcssDcsCheck = 0;

    std::array<std::uint8_t, kOptionBlockSize> m_optionBlock{};
    double m_dToneAFreq = 569.1;
    double m_dToneBFreq = 321.7;

    RadioSettings() { ResetToDefaults(); }

    // Records, option block, tones and alignment to their defaults. Band
    // plan, emergency channel, channel flags, option flags and selections
    // are left alone (the form decides about those).
    void ResetToDefaults();

    // Alignment value i (0..3, file order) by reference.
    unsigned int& Alignment(int i);
    unsigned int Alignment(int i) const { return const_cast<RadioSettings*>(this)->Alignment(i); }

    // Selection of option list i (position in OptionLists()).
    int& OptionSelection(int listIndex);
    int OptionSelection(int listIndex) const { return const_cast<RadioSettings*>(this)->OptionSelection(listIndex); }
    // Sets a selection as its list would: an index outside the list is "none".
    void SelectOption(int listIndex, int index);

    // Option flag i (0..5, bit order of the file byte).
    int& OptionFlag(int i);
    int OptionFlag(int i) const { return const_cast<RadioSettings*>(this)->OptionFlag(i); }
    void SetOptionFlagsToDefaults();
    void ClearOptionFlags();

    bool operator==(const RadioSettings&) const = default;
};

}  // namespace orvex
