#include <gtest/gtest.h>

#include "settings/RadioSettings.h"

namespace orvex {
namespace {

// A band plan change resets through here, so it must leave alone what the
// form keeps for itself.
TEST(RadioSettings, ResetToDefaultsScope) {
    RadioSettings s;
    const std::array<std::uint8_t, 11> used = {9, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (ChannelEntry& e : s.m_channels) e = ChannelEntry::FromBytes(used);
    s.m_optionBlock.fill(0xEE);
    s.m_dToneAFreq = s.m_dToneBFreq = 1.0;
    for (int i = 0; i < 4; ++i) s.Alignment(i) = 7;
    s.m_nBandPlan = 3;
    s.m_nEmgChannel = 7;
    s.b_CHcheck.fill(1);
    s.ClearOptionFlags();
    for (int i = 0; i < kOptionListCount; ++i) s.OptionSelection(i) = 0;

    s.ResetToDefaults();

    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelEntry& e = s.m_channels[i];
        EXPECT_EQ(e.ToBytes(), (std::array<std::uint8_t, 11>{static_cast<std::uint8_t>(i + 1), 0xFF, 0xFF, 0xFF, 0xFF,
                                                             0, 0, 0, 0, 0, 0}));
    }
    std::array<std::uint8_t, kOptionBlockSize> block{};
    block[2] = 1;
    block[21] = 30;
    EXPECT_EQ(s.m_optionBlock, block);
    EXPECT_EQ(s.m_dToneAFreq, 569.1);
    EXPECT_EQ(s.m_dToneBFreq, 321.7);
    EXPECT_EQ(s.m_freqencyAdjust, 82u);
    EXPECT_EQ(s.m_wfreqencyAdjust, 0u);
    EXPECT_EQ(s.m_MaxPowerAdjust, 140u);
    EXPECT_EQ(s.m_MinPowerAdjust, 72u);

    EXPECT_EQ(s.m_nBandPlan, 3);
    EXPECT_EQ(s.m_nEmgChannel, 7);
    for (int f : s.b_CHcheck) EXPECT_EQ(f, 1);
    for (int i = 0; i < kOptionFlagCount; ++i) EXPECT_EQ(s.OptionFlag(i), 0);
    for (int i = 0; i < kOptionListCount; ++i) EXPECT_EQ(s.OptionSelection(i), 0);
}

}  // namespace
}  // namespace orvex
