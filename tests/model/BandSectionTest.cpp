#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>

#include "support/KvxSample.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "ui/model/EmgChannelList.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

using Items = std::vector<std::string>;

TEST(EmgChannelList, SortedUpperCaseWithAStableSelection) {
    EmgChannelList list;
    list.Add("CH 07");
    list.Select(0);
    EXPECT_EQ(list.Add("ch 03"), 0);
    EXPECT_EQ(list.Add("     "), 0);
    EXPECT_EQ(list.Items(), (Items{"     ", "CH 03", "CH 07"}));
    EXPECT_EQ(list.ShownText(), "CH 07");  // inserting before it does not move the selection
    EXPECT_EQ(list.Add("CH 07"), 3);       // after an equal item
    EXPECT_EQ(list.DeleteExact("ch 07"), 2);  // both go; the second stood at 2 by then
    EXPECT_EQ(list.Items(), (Items{"     ", "CH 03"}));
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(list.DeleteExact("CH 99"), -1);
    list.Select(1);
    list.DeleteByPrefix("     ");
    EXPECT_EQ(list.ShownText(), "CH 03");
    list.Select(5);
    EXPECT_EQ(list.Selection(), -1);
    EXPECT_EQ(list.ShownText(), "");
}

class BandSectionTest : public ::testing::Test {
protected:
    BandSectionTest() { form.StartUp(); }

    // Opens a file with this band plan, emergency channel and enabled boxes.
    void OpenWith(std::uint8_t plan, std::uint8_t emg, std::initializer_list<int> enabled) {
        test::Bytes b = test::BlankSettingsImage();
        b[167] = plan;
        b[168] = emg;
        for (int n : enabled) b[168 + n] = 1;
        const std::string path = dir.File("plan.kvx");
        test::WriteBytes(path, b);
        ASSERT_TRUE(form.Open(path));
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    FormModel form{prompter};
};

TEST_F(BandSectionTest, StartUpState) {
    EXPECT_EQ(form.ModeSelection(), 0);
    EXPECT_EQ(form.EmgList().Count(), 0);
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(form.View().StatusText(), "TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz");
    EXPECT_EQ(form.View().Progress(), 0);
    EXPECT_EQ(form.Caption(), "ORVEX Programmer Ver 1.1.2");
    form.ClickChannelBox(1);  // the section is disabled
    EXPECT_FALSE(ChannelFlag(form, 1));
}

TEST_F(BandSectionTest, ModeSelectKeepsTheOptionFlags) {
    // Started, they hold their defaults, some of them set.
    std::array<int, kOptionFlagCount> before{};
    for (int i = 0; i < kOptionFlagCount; ++i) before[i] = form.Settings().OptionFlag(i);
    ASSERT_EQ(before, kOptionFlagDefaults);
    form.OnModeSelect(3);
    form.OnModeSelect(1);
    for (int i = 0; i < kOptionFlagCount; ++i) EXPECT_EQ(form.Settings().OptionFlag(i), before[i]) << "flag " << i;
}

TEST_F(BandSectionTest, ModeSelectClearsTheTableAndTheSection) {
    form.OnModeSelect(3);
    EXPECT_TRUE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(form.EmgList().Count(), 0);
    // A file's emergency channel and alignment, a ticked box and a cell.
    test::Bytes b = test::BlankSettingsImage();
    b[162] = 11;
    b[167] = 3;
    b[168] = 9;
    const std::string path = dir.File("hidden.kvx");
    test::WriteBytes(path, b);
    ASSERT_TRUE(form.Open(path));
    ASSERT_EQ(form.Settings().m_freqencyAdjust, 11u);
    form.ClickChannelBox(4);
    form.SetCellText(2, "27.0000");

    form.OnModeSelect(1);
    EXPECT_EQ(form.ModeSelection(), 1);
    EXPECT_EQ(form.Settings().m_nBandPlan, 1);
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(CellText(form, 2), "");
    EXPECT_FALSE(ChannelFlag(form, 4));
    EXPECT_EQ(form.EmgList().Count(), 0);
    EXPECT_EQ(form.Settings().m_freqencyAdjust, 82u);
    EXPECT_EQ(form.Settings().m_nEmgChannel, 9);
}

// A click on a box leaves the emergency channel the user has: only
// clearing that channel's own box moves it, and the status line says where.
TEST_F(BandSectionTest, AClickKeepsTheEmergencyChannelUnlessItsOwnBoxIsCleared) {
    const std::string hint(texts::kTotalRangeHint);
    const struct {
        int click;
        Items items;
        std::string shown, status;
    } steps[] = {
        {4, {"CH 01", "CH 04", "CH 07"}, "CH 07", hint},
        {4, {"CH 01", "CH 07"}, "CH 07", hint},
        {7, {"CH 01"}, "CH 01", "CH 07 is disabled: Emg Channel is now CH 01"},
        {7, {"CH 01", "CH 07"}, "CH 01", "CH 07 is disabled: Emg Channel is now CH 01"},
        {1, {"CH 07"}, "CH 07", "CH 01 is disabled: Emg Channel is now CH 07"},
        {7, {}, "", "CH 07 is disabled: Emg Channel is now none (enable a channel to choose one)"},
        {9, {"CH 09"}, "CH 09", "CH 07 is disabled: Emg Channel is now none (enable a channel to choose one)"},
    };
    OpenWith(3, 7, {1, 7});
    for (const auto& step : steps) {
        form.ClickChannelBox(step.click);
        EXPECT_EQ(form.EmgList().Items(), step.items) << "CH " << step.click;
        EXPECT_EQ(form.EmgList().ShownText(), step.shown) << "CH " << step.click;
        EXPECT_EQ(form.View().StatusText(), step.status) << "CH " << step.click;
    }
    EXPECT_EQ(test::LinkSide(form).TakeWriteImage().emgChannel, 9);

    // A blank emergency channel, as a file may hold it, stays blank.
    OpenWith(3, 0, {1, 7});
    form.ClickChannelBox(4);
    EXPECT_EQ(form.EmgList().ShownText(), "     ");
    form.ClickChannelBox(1);
    EXPECT_EQ(form.EmgList().ShownText(), "     ");
}

TEST_F(BandSectionTest, EmergencyChannelAfterOpen) {
    const struct {
        std::uint8_t plan, emg;
        Items items;
        std::string shown;
        int emgAfter, stored;
    } cases[] = {
        {3, 7, {"CH 01", "CH 07"}, "CH 07", 7, 7},
        {3, 0, {"     ", "CH 01", "CH 07"}, "     ", 0, 0},
        {3, 30, {"     ", "CH 01", "CH 07"}, "     ", 0, 0},
        {3, 24, {"     ", "CH 01", "CH 07"}, "     ", 0, 0},
        {3, 12, {"CH 01", "CH 07", "CH 12"}, "CH 01", 12, 1},  // its box is not enabled
    };
    for (const auto& c : cases) {
        OpenWith(c.plan, c.emg, {1, 7});
        EXPECT_TRUE(ChannelFlag(form, 1) && ChannelFlag(form, 7));
        EXPECT_TRUE(form.View().SouthAfricaSetupEnabled());
        EXPECT_EQ(form.EmgList().Items(), c.items) << "emg " << int(c.emg);
        EXPECT_EQ(form.EmgList().ShownText(), c.shown) << "emg " << int(c.emg);
        EXPECT_EQ(form.Settings().m_nEmgChannel, c.emgAfter) << "emg " << int(c.emg);
        EXPECT_EQ(EmgChannelForSave(form), c.stored) << "emg " << int(c.emg);
    }

    OpenWith(1, 25, {});
    EXPECT_EQ(form.Settings().m_nEmgChannel, 25);
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(form.EmgList().Count(), 0);
    EXPECT_EQ(EmgChannelForSave(form), 25);
}

TEST_F(BandSectionTest, WriteNeedsAnEmergencyChannelOnlyForSouthAfrica) {
    EXPECT_FALSE(form.WriteRefusal());
    form.OnModeSelect(3);
    EXPECT_FALSE(test::LinkSide(form).MayWrite());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, " Emg Channel check !");
    EXPECT_EQ(prompter.shown[0].icon, MsgIcon::None);
    EXPECT_TRUE(form.View().BandListEnabled());
    EXPECT_TRUE(form.View().SouthAfricaSetupEnabled());

    form.ClickChannelBox(12);
    EXPECT_FALSE(form.WriteRefusal());
    EXPECT_EQ(test::LinkSide(form).TakeWriteImage().emgChannel, 12);  // the channel the list shows
    EXPECT_EQ(form.Settings().m_nEmgChannel, 12);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

// The radio's band plan goes through Mode Select, so one it has no name for
// is stored as "none" straight away.
TEST_F(BandSectionTest, BandPlanOfAReceivedRecord) {
    auto read = [this](std::uint8_t plan, std::uint8_t emg) {
        ReadImage image;
        for (int ch = 1; ch <= kChannelCount; ++ch)
            image.records[ch - 1] = {static_cast<std::uint8_t>(ch), 0x2B, 0xC0, plan, emg, 0, 0, 0, 0, 0, 0};
        image.flags[6] = 1;  // CH 07
        test::LinkSide(form).ApplyReadImage(image);
    };
    read(3, 7);
    EXPECT_EQ(form.EmgList().ShownText(), "CH 07");
    EXPECT_EQ(CellText(form, 10), "28.0000");
    read(7, 3);
    EXPECT_EQ(form.ModeSelection(), -1);
    EXPECT_EQ(form.Settings().m_nBandPlan, 255);
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
}

}  // namespace
}  // namespace orvex
