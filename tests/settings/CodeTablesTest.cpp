#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "settings/CodeTables.h"
#include "settings/RadioSettings.h"

namespace orvex {
namespace {

TEST(EmgChannelFromText, ExactMatchAmongTheFirstTwentyFiveNames) {
    EXPECT_EQ(EmgChannelFromText("     "), 0);
    EXPECT_EQ(EmgChannelFromText("CH 01"), 1);
    EXPECT_EQ(EmgChannelFromText("CH 23"), 23);
    EXPECT_EQ(EmgChannelFromText("CH 24"), 24);
    // 25 is both the last name and "not found".
    EXPECT_EQ(EmgChannelFromText("CH 25"), 25);
    for (const char* unknown : {"", "    ", "      ", "ch 01", "CH 1", "CH 01 ", " CH 01", "CH 26", "CH 00"})
        EXPECT_EQ(EmgChannelFromText(unknown), kEmgChannelNotFound) << '"' << unknown << '"';
}

TEST(EmgChannelNames, BoxCaptionsAreTheListTexts) {
    for (int n = 1; n <= 25; ++n) {
        char expected[8];
        std::snprintf(expected, sizeof expected, "CH %02d", n);
        EXPECT_EQ(EMG_CHANNEL_NAMES[n], expected);
        EXPECT_EQ(EmgChannelFromText(EMG_CHANNEL_NAMES[n]), n);
        if (n <= kChannelEnableCount) {
            EXPECT_EQ(ChannelCaption(n), expected);
        }
    }
    EXPECT_EQ(ChannelCaption(0), "");
    EXPECT_EQ(ChannelCaption(24), "");
    EXPECT_EQ(BAND_PLAN_NAMES[kBandPlanSouthAfrica], "South Africa");
}

// The list order is the order of the selection bytes in a settings file.
TEST(OptionLists, FileOrderAndLengths) {
    const std::pair<int, std::size_t> expected[kOptionListCount] = {
        {1010, 128}, {1004, 6}, {1018, 0}, {1017, 0}, {1008, 6}, {1009, 6},  {1019, 6}, {1020, 0},
        {1007, 10},  {1021, 10}, {1022, 6}, {1023, 6}, {1024, 10}, {1016, 6}, {1026, 9}, {1025, 9},
    };
    for (int i = 0; i < kOptionListCount; ++i) {
        EXPECT_EQ(OptionLists()[i].controlId, expected[i].first) << "position " << i;
        EXPECT_EQ(OptionLists()[i].entries.size(), expected[i].second) << "control " << expected[i].first;
        EXPECT_EQ(OptionListIndex(expected[i].first), i);
    }
    EXPECT_EQ(OptionListIndex(1005), -1);
}

TEST(OptionLists, Entries) {
    auto entry = [](int control, std::size_t i) { return OptionLists()[OptionListIndex(control)].entries[i]; };
    EXPECT_EQ(entry(1010, 0), "1 CH");
    EXPECT_EQ(entry(1010, 127), "128 CH");
    EXPECT_EQ(entry(1022, 2), "2");
    EXPECT_EQ(entry(1004, 2), "6");
    EXPECT_EQ(entry(1007, 4), "10 ");
    EXPECT_EQ(entry(1021, 9), "60 ");
    EXPECT_EQ(entry(1024, 9), "700 mSec");
    EXPECT_EQ(entry(1025, 5), "10 Sec");
    EXPECT_EQ(entry(1026, 2), "3 Sec");
}

TEST(LimitSelection, OnlyExistingEntriesCanBeSelected) {
    EXPECT_EQ(LimitSelection(0, 6), 0);
    EXPECT_EQ(LimitSelection(5, 6), 5);
    EXPECT_EQ(LimitSelection(6, 6), -1);
    EXPECT_EQ(LimitSelection(-1, 6), -1);
    EXPECT_EQ(LimitSelection(-2, 6), -1);
    EXPECT_EQ(LimitSelection(0, 0), -1);
    EXPECT_EQ(LimitSelection(127, 128), 127);
    EXPECT_EQ(LimitSelection(255, 128), -1);

    RadioSettings s;
    s.SelectOption(OptionListIndex(1025), 8);
    EXPECT_EQ(s.m_nOpt1025, 8);
    s.SelectOption(OptionListIndex(1025), 9);
    EXPECT_EQ(s.m_nOpt1025, -1);
    s.SelectOption(OptionListIndex(1017), 0);
    EXPECT_EQ(s.m_nPttResumeTime, -1);
}

}  // namespace
}  // namespace orvex
