// Two forms compared: the fields a user knows, then every other byte Save
// would store, each difference said once.
#include <gtest/gtest.h>

#include "support/KvxSample.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "ui/model/FormModel.h"
#include "ui/model/SettingsCompare.h"

namespace orvex {
namespace {

using test::Bytes;
using Lines = std::vector<std::string>;

constexpr std::array<const char*, kChannelCount> kCells = {"26.9650", "27.0050", "27.1250", "27.4050", "",
                                                           "28.0000", "29.6000", "26.0000", "30.0000", "27.2150"};

// A settings file image holding a South African table with every record
// numbered, so that opening it gives a form with known bytes.
Bytes SouthAfricaImage(std::uint8_t emg, std::initializer_list<int> flags) {
    Bytes b = test::BlankSettingsImage();
    b[167] = kBandPlanSouthAfrica;
    b[168] = emg;
    for (int n : flags) b[169 + n - 1] = 1;
    for (int r = 0; r < kChannelCount; ++r) test::PutRecord(b, r, static_cast<std::uint16_t>(10800 + r), 3, emg);
    return b;
}

class SettingsCompareTest : public ::testing::Test {
protected:
    SettingsCompareTest() {
        a.StartUp();
        b.StartUp();
    }
    // The same table on both forms, under the South African plan with
    // channels ticked as a user ticks them.
    void FillBoth(std::initializer_list<int> flags) {
        for (FormModel* f : {&a, &b}) {
            f->OnModeSelect(kBandPlanSouthAfrica);
            for (int row = 1; row <= kChannelCount; ++row) f->SetCellText(row, kCells[row - 1]);
            for (int n : flags) f->ClickChannelBox(n);
        }
    }
    void Open(FormModel& form, const std::string& name, const Bytes& image) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, image);
        ASSERT_TRUE(form.Open(path)) << prompter.LastText();
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    FormModel a{prompter}, b{prompter};
};

TEST_F(SettingsCompareTest, FormsHoldingTheSameSettingsAreTheSameHoweverACellIsWritten) {
    FillBoth({3, 5});
    b.SetCellText(3, "27.125");
    b.SetCellText(8, "26");
    const FormComparison c = CompareForms(a, b);
    EXPECT_TRUE(c.Same()) << ::testing::PrintToString(ComparisonLines(c));
    EXPECT_EQ(c.Count(), 0u);
    EXPECT_EQ(ComparisonReport(c, "a.kvx", "radio"), Lines{"a.kvx and radio hold the same settings."});
    const UserMessage told = CompareWithFileMessage(c, "radio.kvx");
    EXPECT_EQ(told.text, "The form and radio.kvx hold the same settings.");
    EXPECT_EQ(told.detail, "");
}

TEST_F(SettingsCompareTest, EachFieldIsNamedWithBothSidesValuesAndItsBytesAreNotCountedAgain) {
    FillBoth({3, 5});
    b.SetCellText(2, "");
    b.SetCellText(3, "26.99");
    b.ClickChannelBox(5);
    b.ClickChannelBox(23);
    b.SelectEmgItem(1);
    const FormComparison c = CompareForms(a, b);
    const Lines expected = {"P2: 27.0050 | (empty)", "P3: 27.1250 | 26.9900", "Emg Channel: CH 03 | CH 23",
                            "CH 05: on | off", "CH 23: off | on"};
    EXPECT_EQ(ComparisonLines(c), expected);
    ASSERT_EQ(c.fields.size(), 5u);
    EXPECT_EQ(c.fields[1].kind, SettingField::Row);
    EXPECT_EQ(c.fields[1].index, 3);
    EXPECT_EQ(c.fields[4].kind, SettingField::ChannelFlag);
    EXPECT_EQ(c.fields[4].index, 23);
    EXPECT_TRUE(c.bytesCompared);
    EXPECT_EQ(c.otherBytes, 0u);

    const UserMessage told = CompareWithFileMessage(c, "radio.kvx");
    EXPECT_EQ(told.text, "5 differences between the form and radio.kvx");
    EXPECT_EQ(told.detail, "the form | radio.kvx\n" + expected[0] + "\n" + expected[1] + "\n" + expected[2] + "\n" +
                               expected[3] + "\n" + expected[4]);
    EXPECT_EQ(ComparisonReport(c, "a.kvx", "b.kvx").front(), "a.kvx | b.kvx");

    // The other way round, the values swap sides.
    EXPECT_EQ(ComparisonLines(CompareForms(b, a)).front(), "P2: (empty) | 27.0050");
}

TEST_F(SettingsCompareTest, TheBandPlanIsNamedAndNoneIsShownAsNone) {
    a.OnModeSelect(0);
    b.OnModeSelect(kBandPlanSouthAfrica);
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)), Lines{"Band plan: Australian Marine | South Africa"});
    b.SelectModeEntry(7);  // beyond the list: none
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)), Lines{"Band plan: Australian Marine | (none)"});
}

TEST_F(SettingsCompareTest, OtherStoredBytesAreCountedWithTheFirstOffsetAndWhereItLies) {
    const Bytes image = SouthAfricaImage(7, {1, 7});
    Open(a, "a.kvx", image);
    Bytes other = image;
    other[163] = 9;        // alignment
    other[100] = 1;        // a byte Save never writes: not a stored setting
    Open(b, "b.kvx", other);
    FormComparison c = CompareForms(a, b);
    EXPECT_EQ(ComparisonLines(c), Lines{"Other stored bytes: 1 differs, at offset 163 (alignment)"});
    EXPECT_EQ(CompareWithFileMessage(c, "b.kvx").text, "1 difference between the form and b.kvx");

    other[256 + 11 * 4 + 6] = 2;  // a tail byte of record 5
    other[1815] ^= 0x01;          // the first tone
    Open(b, "b.kvx", other);
    c = CompareForms(a, b);
    EXPECT_EQ(c.otherBytes, 3u);
    EXPECT_EQ(c.firstOtherOffset, 163u);
    // The copy of the band plan a record carries is not the form's band plan.
    other = image;
    other[256 + 3] = 0;
    Open(b, "b.kvx", other);
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)),
              Lines{"Other stored bytes: 1 differs, at offset 259 (channel records)"});
}

// The list's blank entry and a list showing nothing both read as no
// channel, but Save stores 0 for one and 25 for the other: that byte is
// not lost, it counts among the others.
TEST_F(SettingsCompareTest, AFieldsByteThatDiffersUnderTheSameShownValueCountsAmongTheOthers) {
    const Bytes image = SouthAfricaImage(0, {});
    Open(a, "a.kvx", image);
    Open(b, "b.kvx", image);
    FormSnapshot nothingShown = b.Snapshot();
    nothingShown.emgSelection = -1;
    ASSERT_TRUE(b.Restore(nothingShown));
    ASSERT_EQ(a.EmgChannelForSave(), 0);
    ASSERT_EQ(b.EmgChannelForSave(), kEmgChannelNotFound);
    EXPECT_EQ(ComparisonLines(CompareForms(a, b)),
              Lines{"Other stored bytes: 1 differs, at offset 168 (emergency channel)"});
}

TEST_F(SettingsCompareTest, AFrequencySaveWouldRefuseIsShownAsTypedAndTheBytesAreNotCompared) {
    FillBoth({});
    a.SetCellText(4, "27.0001");
    const FormComparison c = CompareForms(a, b);
    EXPECT_FALSE(c.Same());
    EXPECT_FALSE(c.bytesCompared);
    EXPECT_EQ(c.Count(), 2u);
    EXPECT_EQ(ComparisonLines(c),
              (Lines{"P4: \"27.0001\" | 27.4050",
                     "Other stored bytes: not compared: a frequency above cannot be stored as it stands"}));
}

}  // namespace
}  // namespace orvex
