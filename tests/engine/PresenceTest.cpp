// Waiting for a radio to be plugged in and taken away, one probe a second,
// and the simulated line's radio swaps those waits rely on; virtual time.
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "link/RadioPresence.h"

namespace orvex {
namespace {

using namespace test;
using Finding = RadioPresence::Finding;

struct PresenceRig : SimRig {
    PresenceRig() : presence(*link, loop) {
        presence.SetObserver([this](const RadioPresence::Probe& p) { seen.push_back(p.finding); });
    }
    // Runs until the wait ends; the probe that ended it, or nothing by maxMs.
    std::optional<RadioPresence::Probe> Await(bool radio, std::int64_t maxMs = 60000) {
        std::optional<RadioPresence::Probe> got;
        auto done = [&](const RadioPresence::Probe& p) { got = p; };
        radio ? presence.AwaitRadio(done) : presence.AwaitDeparture(done);
        loop.RunUntil([&] { return got.has_value(); }, maxMs);
        return got;
    }
    // The answerless probes' loop times of opening.
    std::vector<std::int64_t> OpenGaps() const {
        std::vector<std::int64_t> gaps;
        for (std::size_t i = 1; i < port->openedAt.size(); ++i) gaps.push_back(port->openedAt[i] - port->openedAt[i - 1]);
        return gaps;
    }
    RadioPresence presence;
    std::vector<Finding> seen;
};

TEST(Presence, ProbesOnceASecondUntilARadioIsPluggedInAndLeavesThePortClosed) {
    PresenceRig rig;
    rig.port->RadioAway();
    sim::SimRadio next(sim::SampleMemory(1));
    rig.loop.StartTimer(3500, [&] { rig.port->ConnectRadio(next); });
    const auto found = rig.Await(true);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->finding, Finding::Answering);
    EXPECT_EQ(rig.seen, (std::vector<Finding>{Finding::Silent, Finding::Silent, Finding::Silent, Finding::Silent,
                                              Finding::Answering}));
    EXPECT_EQ(rig.OpenGaps(), (std::vector<std::int64_t>(4, RadioPresence::kProbeEveryMs)));
    EXPECT_FALSE(rig.port->IsConnected());
    EXPECT_FALSE(rig.presence.Waiting());
    // A probe is one device check: nothing of a transfer went out.
    for (const Written& w : rig.Writes())
        EXPECT_TRUE(w.byte == QM_PROTO_CHK_DEV || w.byte == QM_PROTO_SET_UPLOAD) << int(w.byte);
    EXPECT_TRUE(rig.prompter.seen.empty());
}

TEST(Presence, ARadioFoundByAProbeIsThenReadAsThatRadio) {
    // The probe's leftovers (its answer, the link's reply) must not spoil
    // the transfer that follows at once.
    PresenceRig rig;
    rig.port->RadioAway();
    sim::SimRadio next(SampleRadio());
    rig.loop.StartTimer(1500, [&] { rig.port->ConnectRadio(next); });
    ASSERT_TRUE(rig.Await(true));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed) << ::testing::PrintToString(rig.prompter.Texts());
    for (int row = 1; row <= kChannelCount; ++row)
        EXPECT_EQ(CellText(rig.form, row), kSampleChannels[row - 1].text);
}

TEST(Presence, DepartureIsASilentLineOrAPortThatNoLongerOpens) {
    {
        PresenceRig rig;
        rig.loop.StartTimer(2500, [&] { rig.port->RadioAway(); });
        const auto gone = rig.Await(false);
        ASSERT_TRUE(gone);
        EXPECT_EQ(gone->finding, Finding::Silent);
        EXPECT_EQ(rig.seen, (std::vector<Finding>{Finding::Answering, Finding::Answering, Finding::Answering,
                                                  Finding::Silent}));
    }
    {
        PresenceRig rig;
        rig.loop.StartTimer(1500, [&] { rig.port->Unplug(); });
        const auto gone = rig.Await(false);
        ASSERT_TRUE(gone);
        EXPECT_EQ(gone->finding, Finding::NoPort);
        EXPECT_NE(gone->detail.find("no such device"), std::string::npos) << gone->detail;
    }
}

TEST(Presence, WaitingForARadioOutlastsAPulledCableAndEndsWhenItIsBack) {
    PresenceRig rig;
    rig.port->Unplug();
    rig.loop.StartTimer(2200, [&] { rig.port->Plug(); });
    const auto found = rig.Await(true);
    ASSERT_TRUE(found);
    EXPECT_EQ(rig.seen, (std::vector<Finding>{Finding::NoPort, Finding::NoPort, Finding::NoPort, Finding::Answering}));
    EXPECT_EQ(rig.loop.NowMs() / 1000, 3);  // found by the probe at 3 s
}

TEST(Presence, CancelStopsTheProbesAndDoneIsNeverCalled) {
    PresenceRig rig;
    rig.port->RadioAway();
    bool called = false;
    rig.presence.AwaitRadio([&](const RadioPresence::Probe&) { called = true; });
    rig.loop.RunFor(1100);  // the second probe's answer is awaited now
    ASSERT_TRUE(rig.port->IsConnected());
    rig.presence.Cancel();
    const int opens = rig.port->Opens();
    sim::SimRadio next(sim::SampleMemory(2));
    rig.port->ConnectRadio(next);
    rig.loop.RunFor(5000);
    EXPECT_FALSE(called);
    EXPECT_EQ(rig.port->Opens(), opens);
    EXPECT_FALSE(rig.port->IsConnected());
    EXPECT_EQ(rig.link->Probes().ProbeListener(), nullptr);
}

TEST(Presence, ProbesWaitForARunningTransferAndKeepOutOfIt) {
    PresenceRig rig;
    rig.link->OnReadFromRadio();
    bool found = false;
    rig.presence.AwaitRadio([&](const RadioPresence::Probe&) { found = true; });
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    EXPECT_EQ(rig.port->Opens(), 1);  // no probe reopened the port under the read
    rig.loop.RunUntil([&] { return found; }, 5000);
    EXPECT_TRUE(found);
}

// The simulated radio that keeps one channel wrong: what a read-back shows.
TEST(SimLine, ARadioStoringOneChannelWrongShowsItOnTheReadBack) {
    sim::Faults faults;
    ASSERT_TRUE(sim::ParseFault("store-wrong=3", faults));
    SimRig rig(SampleRadio(), faults);
    FillForm(rig.form, kBandPlanSouthAfrica, {3, 5});
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed) << ::testing::PrintToString(rig.prompter.Texts());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    for (int row = 1; row <= kChannelCount; ++row) {
        if (row == 3)
            EXPECT_EQ(CellText(rig.form, row), "26.9650") << "row 3 was written empty";
        else
            EXPECT_EQ(CellText(rig.form, row), kSampleChannels[row - 1].text) << "row " << row;
    }
}

TEST(SimLine, AnotherRadioOnTheSameLineIsReadWithItsOwnMemory) {
    SimRig rig(SampleRadio());
    sim::SimRadio other(sim::SampleMemory(3));
    rig.port->ConnectRadio(other);
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    EXPECT_EQ(CellText(rig.form, 1), "26.9950");  // the built-in sample's 26.9650, 30 kHz up
    EXPECT_EQ(other.ReadsCompleted(), 1);
    EXPECT_EQ(rig.radio.ReadsCompleted(), 0);
}

}  // namespace
}  // namespace orvex
