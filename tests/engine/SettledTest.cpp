// What a command that runs transfers of its own gets from the link: word
// that the last transfer has said all it will, and the records of its reads.
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"

namespace orvex {
namespace {

using namespace test;

struct SettleCase {
    const char* name;
    std::function<void(HandRig&)> start;  // the command, up to where fn is asked for
    std::function<void(HandRig&)> rest;   // then what the radio or the user does
    bool notYet;                          // fn has not run when rest returns
    std::vector<std::string> said;
};

TEST(WhenSettled, RunsOnceFromTheLoopAfterTheLastMessageOfTheCommand) {
    const auto read = [](HandRig& rig) { rig.ReadThroughHandshake(); };
    const std::vector<SettleCase> cases = {
        {"a read that completes", read,
         [](HandRig& rig) {
             for (int r = 1; r <= kChannelCount; ++r) rig.ReadRecord(SampleRecord(r));
             rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, ClosingBlock()));
         },
         false, {std::string(texts::kUploadComplete)}},
        {"a read the radio falls silent in", read, [](HandRig&) {}, true, {std::string(texts::kTimeout)}},
        // The form is the user's again at once; the watchdog speaks 2 s later.
        {"a read the radio refuses twice",
         [](HandRig& rig) {
             rig.link->OnReadFromRadio();
             rig.Drain();
         },
         [](HandRig& rig) {
             rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_NAK});
             rig.Arrive({QM_PROTO_NAK});
             ASSERT_FALSE(rig.form.View().IsTableLocked());
         },
         true, {std::string(texts::kTimeout)}},
        {"a write the user stops",
         [](HandRig& rig) {
             FillForm(rig.form, 0);
             rig.WriteThroughHandshake();
         },
         [](HandRig& rig) { rig.link->StopTransfer(); }, true, {}},
    };
    for (const SettleCase& c : cases) {
        SCOPED_TRACE(c.name);
        HandRig rig;
        c.start(rig);
        int runs = 0;
        std::size_t saidBefore = 0;
        bool settledThen = false;
        rig.link->WhenSettled([&] {
            ++runs;
            saidBefore = rig.prompter.seen.size();
            settledThen = rig.link->Activity().Settled();
        });
        c.rest(rig);
        if (c.notYet) {
            EXPECT_EQ(runs, 0);
        }
        ASSERT_TRUE(rig.loop.RunUntil([&] { return runs > 0; }, 60000));
        rig.loop.RunFor(10000);  // anything still to come would come now
        EXPECT_EQ(runs, 1);
        EXPECT_TRUE(settledThen);
        EXPECT_EQ(rig.prompter.Texts(), c.said);
        EXPECT_EQ(saidBefore, rig.prompter.seen.size());

        // Settled already: soon, and still from the loop.
        bool again = false;
        rig.link->WhenSettled([&] { again = true; });
        EXPECT_FALSE(again);
        rig.loop.RunFor(0);
        EXPECT_TRUE(again);
    }
}

TEST(TakeReadsWith, AReadGoesToTheTakerWhileTheFormOnlyLocksAndUnlocks) {
    SimRig rig(SampleRadio());
    FillForm(rig.form, 0);
    const FormSnapshot before = rig.form.Snapshot();
    std::vector<ReadImage> taken;
    rig.link->TakeReadsWith([&](const ReadImage& image) { taken.push_back(image); });
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.form.View().Progress() > 0; }, 60000));
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(taken.size(), 1u);
    for (int r = 1; r <= kChannelCount; ++r) EXPECT_EQ(taken[0].records[r - 1], SampleRecord(r)) << "record " << r;
    for (int n = 1; n <= kChannelEnableCount; ++n)
        EXPECT_EQ(taken[0].flags[n - 1], std::count(kSampleFlags.begin(), kSampleFlags.end(), n)) << "flag " << n;
    EXPECT_TRUE(rig.form.Snapshot() == before);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});

    // Given back, the next read fills the form again.
    rig.link->TakeReadsWith({});
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(taken.size(), 1u);
    for (int r = 1; r <= kChannelCount; ++r) EXPECT_EQ(CellText(rig.form, r), kSampleChannels[r - 1].text);
}

}  // namespace
}  // namespace orvex
