// Two forms compared: the fields a user knows, then every other byte Save
// would store, each difference said once.
#include <gtest/gtest.h>

#include "support/KvxSample.h"
#include "support/ScriptedPrompter.h"
#include "ui/model/SettingsCompare.h"

namespace orvex {
namespace {

using test::Bytes;
using Lines = std::vector<std::string>;

constexpr const char* kCells[] = {"27.0050", "27.0100", "27.0150"};

class SettingsCompareTest : public ::testing::Test {
protected:
    SettingsCompareTest() {
        for (FormModel* f : {&a, &b}) {
            f->StartUp();
            f->OnModeSelect(kBandPlanSouthAfrica);
            for (int row = 1; row <= 3; ++row) f->SetCellText(row, kCells[row - 1]);
            for (int n : {3, 5}) f->ClickChannelBox(n);
        }
    }
    // Opens a South African file with emergency channel emg and no flags,
    // changed at offset by set.
    void Open(FormModel& form, std::uint8_t emg, std::size_t offset = 0, std::uint8_t set = 0) {
        Bytes image = test::BlankSettingsImage();
        image[167] = kBandPlanSouthAfrica;
        image[168] = emg;
        for (int r = 0; r < kChannelCount; ++r) test::PutRecord(image, r, 10800, 3, emg);
        if (offset) image[offset] = set;
        test::WriteBytes(dir.File("f.kvx"), image);
        ASSERT_TRUE(form.Open(dir.File("f.kvx"))) << prompter.LastText();
    }
    test::TempDir dir;
    test::ScriptedPrompter prompter;
    FormModel a{prompter}, b{prompter};
};

TEST_F(SettingsCompareTest, EachFieldIsNamedOnceWithBothValuesAndTheSameFrequencyWrittenOtherwiseIsTheSame) {
    b.SetCellText(1, "27.005");
    EXPECT_TRUE(CompareForms(a, b).Same());
    EXPECT_EQ(CompareWithFileMessage(CompareForms(a, b), "r.kvx").text, "The form and r.kvx hold the same settings.");

    b.SetCellText(2, "");
    b.ClickChannelBox(5);
    b.ClickChannelBox(23);
    b.SelectEmgItem(1);
    const FormComparison c = CompareForms(a, b);
    const Lines expected = {"P2: 27.0100 | (empty)", "Emg Channel: CH 03 | CH 23", "CH 05: on | off",
                            "CH 23: off | on"};
    EXPECT_EQ(ComparisonLines(c), expected);  // the fields' own bytes are not counted again
    const UserMessage told = CompareWithFileMessage(c, "r.kvx");
    EXPECT_EQ(told.text, "4 differences between the form and r.kvx");
    EXPECT_EQ(told.detail.substr(0, told.detail.find('\n')), "the form | r.kvx");
    EXPECT_EQ(ComparisonLines(CompareForms(b, a)).front(), "P2: (empty) | 27.0100");

    b.SelectModeEntry(7);  // beyond the list: none
    EXPECT_EQ(ComparisonLines(CompareForms(a, b))[1], "Band plan: South Africa | (none)");
}

TEST_F(SettingsCompareTest, OtherStoredBytesAreCountedWithTheFirstOffsetAndWhereItLies) {
    Open(a, 7);
    Open(b, 7, 100, 1);  // a byte Save never writes
    EXPECT_TRUE(CompareForms(a, b).Same());
    Open(b, 7, 259, 0);  // the band plan copy of record 1, not the form's band plan
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)),
              Lines{"Other stored bytes: 1 differs, at offset 259 (channel records)"});
    EXPECT_EQ(CompareWithFileMessage(CompareForms(a, b), "b.kvx").text, "1 difference between the form and b.kvx");
    Open(a, 7, 1815, 1);
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)),
              Lines{"Other stored bytes: 2 differ, the first at offset 259 (channel records)"});
}

// The list's blank entry and a list showing nothing both read as no
// channel, but Save stores 0 for one and 25 for the other: that byte counts
// among the others rather than being lost.
TEST_F(SettingsCompareTest, AFieldsByteThatDiffersUnderTheSameShownValueCountsAmongTheOthers) {
    Open(a, 0);
    Open(b, 0);
    FormSnapshot nothingShown = b.Snapshot();
    nothingShown.emgSelection = -1;
    ASSERT_TRUE(b.Restore(nothingShown));
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)),
              Lines{"Other stored bytes: 1 differs, at offset 168 (emergency channel)"});
}

TEST_F(SettingsCompareTest, AFrequencySaveWouldRefuseIsShownAsTypedAndTheBytesAreNotCompared) {
    a.SetCellText(4, "27.0001");
    const FormComparison c = CompareForms(a, b);
    EXPECT_EQ(c.Count(), 2u);
    EXPECT_EQ(ComparisonLines(c),
              (Lines{"P4: \"27.0001\" | (empty)",
                     "Other stored bytes: not compared: a frequency above cannot be stored as it stands"}));
}

}  // namespace
}  // namespace orvex
