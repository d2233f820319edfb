#include "settings/RadioSettings.h"

#include <stdexcept>

namespace orvex {

std::array<std::uint8_t, ChannelEntry::kSize> ChannelEntry::ToBytes() const {
    std::array<std::uint8_t, kSize> b{};
    b[0] = m_nNumber;
    b[1] = static_cast<std::uint8_t>(m_wFreq >> 8);
    b[2] = static_cast<std::uint8_t>(m_wFreq & 0xFF);
    b[3] = m_nRadioBandPlan;
    b[4] = m_nRadioEmgChannel;
    for (std::size_t i = 0; i < m_tail.size(); ++i) b[5 + i] = m_tail[i];
    return b;
}

ChannelEntry ChannelEntry::FromBytes(std::span<const std::uint8_t, kSize> b) {
    ChannelEntry e;
    e.m_nNumber = b[0];
    e.m_wFreq = static_cast<std::uint16_t>((b[1] << 8) | b[2]);
    e.m_nRadioBandPlan = b[3];
    e.m_nRadioEmgChannel = b[4];
    for (std::size_t i = 0; i < e.m_tail.size(); ++i) e.m_tail[i] = b[5 + i];
    return e;
}

void RadioSettings::ResetToDefaults() {
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelEntry e;
        e.m_nNumber = static_cast<std::uint8_t>(i + 1);
        m_channels[i] = e;
    }
    m_optionBlock.fill(0);
    m_optionBlock[2] = 1;
    m_optionBlock[21] = 30;
    m_dToneAFreq = 569.1;
    m_dToneBFreq = 321.7;
    for (int i = 0; i < 4; ++i) Alignment(i) = kAlignmentSpecs[i].defaultValue;
}

unsigned int& RadioSettings::Alignment(int i) {
    switch (i) {
        case 0: return m_freqencyAdjust;
        case 1: return m_wfreqencyAdjust;
        case 2: return m_MaxPowerAdjust;
        case 3: return m_MinPowerAdjust;
    }
    throw std::out_of_range("alignment index");
}

int& RadioSettings::OptionSelection(int listIndex) {
    // Same order as OptionLists().
    int* fields[kOptionListCount] = {
        &m_nOpt1010, &m_nPowerSaveTime, &m_nTimeOutTime, &m_nPttResumeTime, &m_nOpt1008, &m_nOpt1009,
        &m_nOpt1019, &m_nOpt1020,       &m_nOpt1007,     &m_nOpt1021,       &m_nOpt1022, &m_nOpt1023,
        &m_nOpt1024, &m_nOpt1016,       &m_nOpt1026,     &m_nOpt1025,
    };
    if (listIndex < 0 || listIndex >= kOptionListCount) throw std::out_of_range("option list index");
    return *fields[listIndex];
}

void RadioSettings::SelectOption(int listIndex, int index) {
    OptionSelection(listIndex) = LimitSelection(index, OptionLists()[listIndex].entries.size());
}

int& RadioSettings::OptionFlag(int i) {
    switch (i) {
        case 0: return m_bMuteCallSound;
        case 1: return m_bSqtEnable;
        case 2: return m_bPowerBeepEnable;
        case 3: return m_bRxBltOn;
        case 4: return m_bMenuDisable;
        case 5: return m_bCtcssDcsCheck;
    }
    throw std::out_of_range("option flag index");
}

void RadioSettings::SetOptionFlagsToDefaults() {
    for (int i = 0; i < kOptionFlagCount; ++i) OptionFlag(i) = kOptionFlagDefaults[i];
}

void RadioSettings::ClearOptionFlags() {
    for (int i = 0; i < kOptionFlagCount; ++i) OptionFlag(i) = 0;
}

}  // namespace orvex
