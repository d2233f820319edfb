// Read from Radio against the simulated cable and radio, in virtual time.
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

using namespace test;

TEST(Read, WritesTheHandshakeThenAChecksumAndAnAcknowledgePerRecord) {
    SimRig rig(SampleRadio());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.WrittenBytes(), ExpectedReadBytes());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

TEST(Read, KeepsOneMillisecondAfterEveryByte) {
    // On a line without delays each byte's answer is already waiting, so
    // the next byte goes out exactly when the pause after this one ends.
    SimRig rig(SampleRadio(), {}, TightLine());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    const auto writes = rig.Writes();
    ASSERT_EQ(writes.size(), ExpectedReadBytes().size());
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_EQ(writes[i].atMs - writes[i - 1].atMs, 1) << "after byte " << i - 1;
}

TEST(Read, OpensThePort200msAfterTheCommandAndSendsTheCheck100msLater) {
    SimRig rig(SampleRadio());
    rig.loop.RunFor(1000);
    const std::int64_t start = rig.loop.NowMs();
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.port->openedAt.size(), 1u);
    EXPECT_EQ(rig.port->openedAt[0] - start, 200);
    EXPECT_EQ(rig.Writes().front().atMs - start, 300);
    EXPECT_EQ(rig.Writes().front().byte, QM_PROTO_CHK_DEV);
}

TEST(Read, ShowsTheRadioInTheFormAndEndsUnlockedWithOneCompletionMessage) {
    SimRig rig(SampleRadio());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(10000);  // a watchdog that outlived the read would speak now

    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    EXPECT_FALSE(rig.prompter.seen[0].tableLocked);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_FALSE(rig.link->Activity().watchdogRunning);

    for (int row = 1; row <= kChannelCount; ++row)
        EXPECT_EQ(CellText(rig.form, row), kSampleChannels[row - 1].text) << "row " << row;
    for (int r = 1; r <= kChannelCount; ++r) {
        const auto stored = rig.form.Settings().m_channels[r - 1].ToBytes();
        EXPECT_EQ(Bytes(stored.begin(), stored.end()), SampleRecord(r)) << "record " << r;
    }
    EXPECT_EQ(rig.form.ModeSelection(), kBandPlanSouthAfrica);
    EXPECT_EQ(rig.form.Settings().m_nBandPlan, kBandPlanSouthAfrica);
    EXPECT_EQ(rig.form.Settings().m_nEmgChannel, kSampleEmg);
    EXPECT_TRUE(rig.form.View().SouthAfricaSetupEnabled());
    for (int n = 1; n <= kChannelEnableCount; ++n) {
        const bool on = std::find(kSampleFlags.begin(), kSampleFlags.end(), n) != kSampleFlags.end();
        EXPECT_EQ(ChannelFlag(rig.form, n), on) << "CH " << n;
    }
    EXPECT_EQ(rig.form.EmgList().Items(), (std::vector<std::string>{"CH 01", "CH 02", "CH 07", "CH 12", "CH 23"}));
    EXPECT_EQ(rig.form.EmgList().ShownText(), "CH 07");
    EXPECT_EQ(rig.form.View().Progress(), kChannelCount);
}

TEST(Read, ABandPlanChosenDuringTheReadLeavesTheRecordsAsTheRadioSentThem) {
    SimRig rig(SampleRadio());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.form.View().Progress() >= 5; }, 60000));
    ASSERT_EQ(rig.form.ModeSelection(), 0);
    rig.form.OnModeSelect(2);
    EXPECT_EQ(rig.form.ModeSelection(), 0) << "the list must keep the plan in use";
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    for (int r = 1; r <= kChannelCount; ++r) {
        const auto stored = rig.form.Settings().m_channels[r - 1].ToBytes();
        EXPECT_EQ(Bytes(stored.begin(), stored.end()), SampleRecord(r)) << "record " << r;
        EXPECT_EQ(CellText(rig.form, r), kSampleChannels[r - 1].text) << "row " << r;
    }
    EXPECT_EQ(rig.form.ModeSelection(), kBandPlanSouthAfrica);
}

TEST(Read, TheLastRecordDecidesBandPlanAndEmergencyChannel) {
    sim::RadioMemory m = SampleRadio();
    m.bandPlan = 1;  // every record reports "Australian Land CB"
    m.emgChannel = 4;
    SimRig rig(m);
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.form.ModeSelection(), 1);
    EXPECT_EQ(rig.form.Settings().m_nEmgChannel, 4);
    EXPECT_FALSE(rig.form.View().SouthAfricaSetupEnabled());
}

TEST(Read, ARefusedChecksumIsAnsweredAgainWhenTheRadioResendsTheRecord) {
    SimRig rig(SampleRadio(), Fault("nak=record:3"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);

    Bytes expected = ExpectedReadBytes();
    const std::size_t checksum3 = 4 + 2 * 2;  // handshake, then two bytes per record
    expected.insert(expected.begin() + checksum3 + 1, expected[checksum3]);
    EXPECT_EQ(rig.WrittenBytes(), expected);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    EXPECT_EQ(CellText(rig.form, 3), kSampleChannels[2].text);
}

TEST(Read, ARefusalOfTheTenthRecordIsIgnoredAndTheResentRecordTaken) {
    SimRig rig(SampleRadio(), Fault("nak=record:10"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(Read, ARefusalOfTheRecordRequestStartsTheReadOverAndItCompletes) {
    SimRig rig(SampleRadio(), Fault("nak=ready"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());

    Bytes expected = {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ};
    const Bytes full = ExpectedReadBytes();
    expected.insert(expected.end(), full.begin(), full.end());
    EXPECT_EQ(rig.WrittenBytes(), expected);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(Read, AClosingBlockOfExactly24BytesCompletesTheRead) {
    SimRig rig(SampleRadio(), Fault("closing=24"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    EXPECT_TRUE(ChannelFlag(rig.form, 23));
}

TEST(Read, AClosingBlockTooShortForTheFlagsIsNotAppliedAndTheWatchdogReports) {
    SimRig rig(SampleRadio(), Fault("closing=23"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    // The cells only change when a read completes.
    for (int row = 1; row <= kChannelCount; ++row) EXPECT_EQ(CellText(rig.form, row), "") << "row " << row;
    EXPECT_FALSE(ChannelFlag(rig.form, 1));
}

// What a read brings is applied only once it has all come: one cut off
// leaves the form, and what Save writes of it, as they were.
TEST(Read, ACutOffReadLeavesTheFormAndWhatSaveWritesAsTheyWere) {
    for (const char* fault : {"mute-after=15", "closing=23", "hangup-after=12"}) {
        SimRig rig(SampleRadio(), Fault(fault));
        FillForm(rig.form, 1);
        TempDir dir;
        ASSERT_TRUE(Save(rig.form, dir.File("before.kvx")));
        const FormSnapshot before = rig.form.Snapshot();
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled()) << fault;
        rig.loop.RunFor(3000);
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed) << fault;
        EXPECT_TRUE(rig.form.Snapshot() == before) << fault;
        ASSERT_TRUE(Save(rig.form, dir.File("after.kvx")));
        EXPECT_EQ(ReadBytes(dir.File("after.kvx")), ReadBytes(dir.File("before.kvx"))) << fault;
    }
}

TEST(Read, ALongerClosingBlockIsAcceptedAndItsTailIgnored) {
    SimRig rig(SampleRadio(), Fault("closing=30"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

TEST(Read, ARadioThatHangsUpEndsTheReadAtOnce) {
    SimRig rig(SampleRadio(), Fault("hangup-after=6"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    const std::int64_t lastWrite = rig.Writes().back().atMs;
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kPortLost)});
    EXPECT_LE(rig.prompter.seen[0].atMs - lastWrite, 1);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_FALSE(rig.port->IsConnected());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
}

TEST(Read, AFloodOfAnswersIsDroppedAndTheWatchdogReports) {
    SimRig rig(SampleRadio(), Fault("flood=ready"));
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.WrittenBytes(), (Bytes{QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ}));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    // Dropped unread: the flood must not be left in the queue either.
    EXPECT_EQ(rig.port->WithQueue([](CByteQueue& q) { return q.GetSize(); }), 0);
}

TEST(Read, ThenWriteThenReadGivesBackWhatWasWritten) {
    SimRig rig(SampleRadio());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());

    rig.form.OnModeSelect(2);
    const char* cells[kChannelCount] = {"29.9975", "", "26.0025", "27.5000", "", "", "28.1250", "", "", "30.0000"};
    for (int row = 1; row <= kChannelCount; ++row) rig.form.SetCellText(row, cells[row - 1]);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);

    rig.form.OnModeSelect(0);  // forget everything before reading it back
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    for (int row = 1; row <= kChannelCount; ++row) EXPECT_EQ(CellText(rig.form, row), cells[row - 1]) << "row " << row;
    EXPECT_EQ(rig.form.ModeSelection(), 2);
    EXPECT_EQ(rig.port->openedAt.size(), 3u);
}

}  // namespace
}  // namespace orvex
