// The transfer watchdog: a 2 s silence ends a transfer, any batch with
// something besides echo starts the 2 s again.
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"

namespace orvex {
namespace {

using namespace test;

sim::Faults Silent() {
    sim::Faults f;
    f.silent = true;
    return f;
}

class SilentRadio : public ::testing::TestWithParam<bool> {};

TEST_P(SilentRadio, TimesOut2sAfterTheDeviceCheckAndUnlocksOnlyAfterTheMessage) {
    SimRig rig(sim::SampleMemory(), Silent());
    FillForm(rig.form, 0);
    if (GetParam())
        rig.link->OnWriteToRadio();
    else
        rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    const auto writes = rig.Writes();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes.back().byte, QM_PROTO_CHK_DEV);

    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::None);
    EXPECT_EQ(rig.prompter.seen[0].atMs - writes.back().atMs, 2000);
    EXPECT_TRUE(rig.prompter.seen[0].tableLocked);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
    rig.loop.RunFor(10000);
    EXPECT_EQ(rig.prompter.seen.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Directions, SilentRadio, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Write" : "Read"; });

TEST(Watchdog, BatchesEvery1500msKeepItQuietAndTheNextSilenceEndsTheTransfer) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    const std::uint8_t chk1 = CalcChecksum(SampleRecord(1).data(), 10);
    const std::uint8_t chk2 = CalcChecksum(SampleRecord(2).data(), 10);
    const std::vector<Bytes> bursts = {
        {QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK},  {QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK},
        {QM_PROTO_UPLOAD_REQ, QM_PROTO_READY},     HandRig::Concat({QM_PROTO_ACK}, SampleRecord(1)),
        {chk1, QM_PROTO_ACK},                      HandRig::Concat({QM_PROTO_ACK}, SampleRecord(2)),
        {chk2, QM_PROTO_ACK},
    };
    std::int64_t lastKick = rig.port->written.back().atMs;
    for (const Bytes& burst : bursts) {
        rig.loop.RunFor(lastKick + 1500 - rig.loop.NowMs());
        lastKick = rig.loop.NowMs();
        rig.Arrive(burst);
        ASSERT_TRUE(rig.prompter.seen.empty()) << "at " << lastKick;
        ASSERT_TRUE(rig.form.View().IsTableLocked());
    }
    // Every batch was answered: the read asks for record 3.
    EXPECT_EQ(rig.TakeWritten(), (Bytes{QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ, QM_PROTO_ACK, chk1,
                                        QM_PROTO_ACK, chk2, QM_PROTO_ACK}));
    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - lastKick, 2000);
}

TEST(Watchdog, AnEchoOnlyBatchDoesNotKickIt) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    const std::int64_t started = rig.port->written.back().atMs;
    rig.loop.RunFor(1500);
    rig.Arrive({QM_PROTO_CHK_DEV});
    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - started, 2000);
}

TEST(Watchdog, ACompletedTransfersWatchdogHasEndedWhileTheCompletionMessageIsOpen) {
    SimRig rig(SampleRadio());
    bool runningDuringMessage = true;
    rig.prompter.onShow = [&](const UserMessage&) { runningDuringMessage = rig.link->Activity().watchdogRunning; };
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilShown(texts::kUploadComplete));
    EXPECT_FALSE(runningDuringMessage);
}

TEST(Watchdog, AnAbandonedTransfersWatchdogDoesNotSpeakIntoTheNextOne) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    rig.Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
    rig.Arrive({QM_PROTO_UPLOAD_REQ, QM_PROTO_NAK});
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_NAK});  // abandoned; its watchdog still runs
    ASSERT_FALSE(rig.form.View().IsTableLocked());
    rig.loop.RunFor(1000);

    rig.link->OnReadFromRadio();
    rig.Drain();
    const std::int64_t secondCheck = rig.port->written.back().atMs;
    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - secondCheck, 2000);
}

TEST(Watchdog, AStartingTransferEndsTheWatchdogOfAReleasedOne) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV});
    rig.Arrive({QM_PROTO_CHK_DEV_ACK});  // unsolicited: released, its watchdog still waiting
    ASSERT_FALSE(rig.form.View().IsTableLocked());
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.Drain();
    const std::int64_t check = rig.port->written.back().atMs;
    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - check, 2000);
}

}  // namespace
}  // namespace orvex
