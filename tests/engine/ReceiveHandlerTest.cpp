// The receive handler driven burst by burst: echo removal, batch limits,
// unsolicited batches, rejections and the write's reply check.
#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"

namespace orvex {
namespace {

using namespace test;

// An ended transfer interprets nothing more: a device check answer that a
// running one would answer goes unanswered.
void ExpectNothingInterpreted(HandRig& rig) {
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_CHK_DEV_ACK});
    EXPECT_TRUE(rig.TakeWritten().empty());
}

// ---- Echo removal --------------------------------------------------------

TEST(Echo, TheEchoIsRemovedAndTheRadiosByteBehindItInterpreted) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_CHK_DEV});
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_SET_UPLOAD});
    // Neither the echo nor the answer is left over, and the new byte's echo
    // is expected: the next answer, behind that echo, is answered at once.
    rig.Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_UPLOAD_REQ});
}

TEST(Echo, AnEchoMatchesWhereverItStandsAndALateOneWaitsForItsBatch) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.Drain();
    rig.TakeWritten();
    // The radio's answer comes, the echo of 0x11 does not (yet).
    rig.Arrive({QM_PROTO_CHK_DEV_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_SET_DOWNLOAD});

    // The second echo arrives first: it is matched, the older sent byte
    // stays, and nothing is left to interpret.
    rig.Arrive({QM_PROTO_SET_DOWNLOAD});
    EXPECT_TRUE(rig.TakeWritten().empty());

    // The late echo is taken out of the next batch, in front of the answer.
    rig.Arrive({QM_PROTO_SET_DOWNLOAD_ACK, QM_PROTO_CHK_DEV});
    EXPECT_EQ(rig.TakeWritten(), Bytes{0});  // band plan 0
    // Left in front, it would stand before the radio's next answer.
    rig.Arrive({0, QM_PROTO_READY});
    EXPECT_EQ(rig.TakeWritten(), ExpectedBlock(1, 0, 0));
}

// Feeds the records from fromRecord on and the closing block.
void FinishRead(HandRig& rig, int fromRecord);

TEST(Echo, OneEchoConsumesOnlyOneEqualByte) {
    HandRig rig;
    rig.ReadThroughHandshake();
    // Record 1 of this radio starts with the same value as the 0xAA just
    // sent: the echo takes the first, the record keeps its own.
    Bytes record = Record(1, 10400);
    record[5] = QM_PROTO_ACK;
    rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, record));
    EXPECT_EQ(rig.TakeWritten(), Bytes{CalcChecksum(record.data(), 10)});
    rig.Arrive({CalcChecksum(record.data(), 10), QM_PROTO_ACK});
    FinishRead(rig, 2);
    const auto stored = rig.form.Settings().m_channels[0].ToBytes();
    EXPECT_EQ(Bytes(stored.begin(), stored.end()), record);
}

// ---- Batch limits --------------------------------------------------------

TEST(Batch, ThirtyNineBytesAreProcessed) {
    HandRig rig;
    rig.ReadThroughHandshake();
    Bytes burst = HandRig::Concat({QM_PROTO_ACK}, Record(1, 10400));
    burst.resize(39, 0x00);
    rig.Arrive(burst);
    EXPECT_EQ(rig.TakeWritten(), Bytes{CalcChecksum(Record(1, 10400).data(), 10)});
    rig.Arrive({CalcChecksum(Record(1, 10400).data(), 10), QM_PROTO_ACK});
    FinishRead(rig, 2);
    EXPECT_EQ(rig.form.Settings().m_channels[0].m_wFreq, 10400);
}

TEST(Batch, FortyBytesAreDroppedUnreadAndDoNotKeepTheWatchdogQuiet) {
    HandRig rig;
    rig.ReadThroughHandshake();
    const std::int64_t lastKick = rig.port->written.back().atMs;
    rig.loop.RunFor(1000);
    Bytes burst = HandRig::Concat({QM_PROTO_ACK}, Record(1, 10400));
    burst.resize(40, 0x00);
    rig.Arrive(burst);
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_EQ(rig.port->QueueSize(), 0);
    EXPECT_NE(rig.form.Settings().m_channels[0].m_wFreq, 10400);

    rig.loop.RunUntil([&] { return !rig.prompter.seen.empty(); }, 5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - lastKick, 2000);

    // Nothing of it is kept: the record sent again alone is answered as if
    // the large batch had never come.
    HandRig again;
    again.ReadThroughHandshake();
    again.Arrive(burst);
    again.Arrive(HandRig::Concat({QM_PROTO_ACK}, Record(1, 10400)));
    EXPECT_EQ(again.TakeWritten(), Bytes{CalcChecksum(Record(1, 10400).data(), 10)});
}

TEST(Batch, AnEmptyNotificationChangesNothing) {
    HandRig rig;
    rig.ReadThroughHandshake();
    rig.Arrive({});
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.TakeWritten().empty());
}

// ---- Unsolicited batches -------------------------------------------------

TEST(Unsolicited, ABatchAnsweringNothingReleasesTheTableAndTheWatchdogSpeaksLater) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.loop.RunFor(500);
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});  // the watchdog's wait starts again here
    const std::int64_t kick = rig.port->written.back().atMs;
    rig.TakeWritten();
    rig.loop.RunFor(300);
    rig.Arrive({QM_PROTO_SET_UPLOAD});  // echo only
    rig.loop.RunFor(300);
    rig.Arrive({QM_PROTO_SET_DOWNLOAD_ACK});  // later than the burst gap: answers nothing

    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.prompter.seen.empty());
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);

    // Nothing after it is interpreted.
    rig.Arrive({QM_PROTO_SET_DOWNLOAD_ACK});
    EXPECT_TRUE(rig.TakeWritten().empty());

    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - kick, 2000);
}

TEST(Unsolicited, ABatchWhileIdleOnlyEnablesTheForm) {
    HandRig rig;
    rig.port->OpenPort("hand0", kBaudRate, 0);
    ASSERT_TRUE(test::LinkSide(rig.form).MayWrite());  // as a write starting does
    rig.Arrive({0x42, 0x43});
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.prompter.seen.empty());
    EXPECT_TRUE(rig.TakeWritten().empty());
    rig.loop.RunFor(5000);
    EXPECT_TRUE(rig.prompter.seen.empty());
}

// ---- Read: rejections and records ---------------------------------------

TEST(ReadRejection, TheFirstAfterTheDirectionAckRestartsTheSecondAbandonsSilently) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    rig.Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_UPLOAD_REQ, QM_PROTO_NAK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_CHK_DEV});  // the read starts over
    EXPECT_TRUE(rig.form.View().IsTableLocked());

    rig.loop.RunFor(700);
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_NAK});
    const std::int64_t lastKick = rig.loop.NowMs();
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.prompter.seen.empty());
    ExpectNothingInterpreted(rig);

    rig.loop.RunFor(5000);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
    EXPECT_EQ(rig.prompter.seen[0].atMs - lastKick, 2000);
    EXPECT_FALSE(rig.link->Activity().watchdogRunning);
}

TEST(ReadRejection, ARefusedDeviceCheckOnlyCostsPatience) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_NAK});  // refuses the device check
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_CHK_DEV});
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    // Its patience is spent: a second refusal abandons the read.
    rig.Arrive({QM_PROTO_NAK});
    EXPECT_FALSE(rig.form.View().IsTableLocked());
}

// Runs a hand-fed read up to the checksum of record r.
void ReadUpToChecksum(HandRig& rig, int r) {
    rig.ReadThroughHandshake();
    for (int i = 1; i < r; ++i) rig.ReadRecord(SampleRecord(i));
    rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, SampleRecord(r)));
    rig.TakeWritten();
}

void FinishRead(HandRig& rig, int fromRecord) {
    for (int i = fromRecord; i <= kChannelCount; ++i) rig.ReadRecord(SampleRecord(i));
    rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, ClosingBlock()));
}

TEST(ReadRejection, ARefusedRecordIsTakenAgainWhenResent) {
    HandRig rig;
    ReadUpToChecksum(rig, 4);
    const std::uint8_t checksum = CalcChecksum(SampleRecord(4).data(), 10);
    rig.Arrive({checksum, QM_PROTO_NAK});
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    rig.loop.RunFor(150);
    rig.Arrive(SampleRecord(4));  // a burst of its own
    EXPECT_EQ(rig.TakeWritten(), Bytes{checksum});
    rig.Arrive({checksum, QM_PROTO_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_ACK});
    FinishRead(rig, 5);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(ReadRejection, ARefusalAtTheFrontOfTheResentRecordIsHandledFirst) {
    HandRig rig;
    ReadUpToChecksum(rig, 4);
    const std::uint8_t checksum = CalcChecksum(SampleRecord(4).data(), 10);
    // The checksum's echo, the refusal and the resent record in one burst.
    rig.Arrive(HandRig::Concat({checksum, QM_PROTO_NAK}, SampleRecord(4)));
    EXPECT_EQ(rig.TakeWritten(), Bytes{checksum});
    rig.Arrive({checksum, QM_PROTO_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_ACK});
    FinishRead(rig, 5);
    const auto stored = rig.form.Settings().m_channels[3].ToBytes();
    EXPECT_EQ(Bytes(stored.begin(), stored.end()), SampleRecord(4));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    for (int r = 1; r <= kChannelCount; ++r) EXPECT_EQ(CellText(rig.form, r), kSampleChannels[r - 1].text);
}

// What the watcher could not take in is news in the user's words, and the
// read goes on to its own end.
TEST(Batch, BytesLostToAFullQueueAreToldPlainlyAndTheReadGoesOn) {
    HandRig rig;
    rig.ReadThroughHandshake();
    ASSERT_NE(rig.port->listener, nullptr);
    rig.port->listener->OnPortQueueFull();
    rig.Drain();
    FinishRead(rig, 1);
    EXPECT_EQ(rig.prompter.Texts(),
              (std::vector<std::string>{std::string(texts::kQueueFull), std::string(texts::kUploadComplete)}));
    EXPECT_EQ(rig.prompter.Texts()[0].find("m_"), std::string::npos);
}

TEST(ReadRejection, RefusalsInFrontOfResentRecordsStillAbandonTheReadAtTheSecond) {
    HandRig rig;
    ReadUpToChecksum(rig, 4);
    const std::uint8_t checksum = CalcChecksum(SampleRecord(4).data(), 10);
    rig.Arrive(HandRig::Concat({checksum, QM_PROTO_NAK}, SampleRecord(4)));
    rig.Arrive(HandRig::Concat({checksum, QM_PROTO_NAK}, SampleRecord(4)));
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    ExpectNothingInterpreted(rig);
    rig.loop.RunFor(3000);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kTimeout)});
}

TEST(ReadRejection, TwoRefusalsOfOneRecordAbandonTheRead) {
    HandRig rig;
    ReadUpToChecksum(rig, 9);
    const std::uint8_t checksum = CalcChecksum(SampleRecord(9).data(), 10);
    rig.Arrive({checksum, QM_PROTO_NAK});
    rig.Arrive(SampleRecord(9));
    rig.Arrive({checksum, QM_PROTO_NAK});
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    ExpectNothingInterpreted(rig);
}

TEST(ReadRejection, RefusalsDuringTheTenthRecordAreIgnored) {
    HandRig rig;
    ReadUpToChecksum(rig, 10);
    const std::uint8_t checksum = CalcChecksum(SampleRecord(10).data(), 10);
    for (int attempt = 0; attempt < 3; ++attempt) {
        rig.Arrive({checksum, QM_PROTO_NAK});  // three in a row: none costs patience
        EXPECT_TRUE(rig.form.View().IsTableLocked());
        EXPECT_TRUE(rig.TakeWritten().empty());
        rig.Arrive(SampleRecord(10));
        EXPECT_EQ(rig.TakeWritten(), Bytes{checksum});
    }
    rig.Arrive({checksum, QM_PROTO_ACK});
    rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, ClosingBlock()));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(ReadRecords, ATenByteRecordIsTakenAndKeepsItsEleventhByte) {
    HandRig rig;
    ReadImage earlier;  // what the form held before the read
    earlier.records[0] = Record(1, 10400);
    earlier.records[0][10] = 0x5A;
    test::LinkSide(rig.form).ApplyReadImage(earlier);
    rig.ReadThroughHandshake();
    Bytes record = Record(1, 11200);
    record.pop_back();
    rig.Arrive(HandRig::Concat({QM_PROTO_ACK}, record));
    EXPECT_EQ(rig.TakeWritten(), Bytes{CalcChecksum(record.data(), 10)});
    rig.Arrive({CalcChecksum(record.data(), 10), QM_PROTO_ACK});
    FinishRead(rig, 2);
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    EXPECT_EQ(rig.form.Settings().m_channels[0].m_wFreq, 11200);
    EXPECT_EQ(rig.form.Settings().m_channels[0].m_tail[5], 0x5A);
}

TEST(ReadRecords, ARecordBeforeTheRadioIsReadyIsDroppedUnanswered) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    rig.Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_SET_DOWNLOAD_ACK});
    rig.TakeWritten();
    const auto before = rig.form.Settings().m_channels;
    // Ahead of the request's echo, so that the ready behind that echo still
    // answers something the link sent.
    rig.Arrive(Record(1, 11200));
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_EQ(rig.form.Settings().m_channels, before);
    // Nothing of it is left in front of the radio's ready.
    rig.Arrive({QM_PROTO_UPLOAD_REQ, QM_PROTO_READY});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_ACK});
}

TEST(ReadRecords, ReadyBeforeTheHandshakeEndsStaysPending) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_READY});  // ahead of the device check's echo
    EXPECT_TRUE(rig.TakeWritten().empty());
    // Still in front, it keeps the device check's answer behind it waiting.
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    EXPECT_TRUE(rig.TakeWritten().empty());
}

TEST(ReadRecords, OurOwnBytesComingBackTwiceAreConsumed) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    rig.TakeWritten();
    // A second copy of the device check (ahead of the echo of the byte sent
    // since) counts as a step and is taken out, so that it cannot sit in
    // front of every later byte.
    rig.Arrive({QM_PROTO_CHK_DEV});
    EXPECT_TRUE(rig.TakeWritten().empty());
    // Counted as the last handshake step, it lets the radio's ready start
    // the records at once; left in front, it would keep the ready waiting.
    rig.Arrive({QM_PROTO_SET_UPLOAD, QM_PROTO_READY});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_ACK});
}

TEST(ReadRecords, AnUnknownByteIsNotAnsweredAndStaysPending) {
    HandRig rig;
    rig.link->OnReadFromRadio();
    rig.Drain();
    rig.TakeWritten();
    rig.Arrive({0x42});  // ahead of the device check's echo
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    // Still in front, it keeps the device check's answer behind it waiting.
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    EXPECT_TRUE(rig.TakeWritten().empty());
}

// ---- Write: the reply to a block -----------------------------------------

Bytes Block(int c) { return ExpectedBlock(c, 0, 0); }

// Answers the block just sent and each one after it as the radio should,
// then gives the text the write ended with and its line naming the blocks
// the radio did not confirm.
std::string NotConfirmedAtTheEnd(HandRig& rig, Bytes sent) {
    for (; !sent.empty(); sent = rig.TakeWritten()) {
        Bytes answer = sent;  // the cable's echo
        if (sent.size() == kChannelBlockSize)
            answer.push_back(QM_PROTO_BLOCK_END);
        else if (sent != Bytes{QM_PROTO_ACK})  // the closing block; its acknowledge has no answer
            answer.push_back(QM_PROTO_CLOSING);
        rig.Arrive(answer);
    }
    rig.loop.RunUntil([&] { return rig.link->Activity().Settled(); }, 60000);
    if (rig.prompter.shown.empty()) return "nothing said";
    const UserMessage& end = rig.prompter.shown.back();
    const auto at = end.detail.find(texts::kNotConfirmedIntro);
    return end.text + ": " + (at == std::string::npos ? "" : end.detail.substr(at, end.detail.find('\n', at) - at));
}

TEST(WriteReply, TheExpectedAnswerPassesSilentlyAndTheNextBlockFollows) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.WriteThroughHandshake();
    EXPECT_EQ(rig.TakeWritten(), (HandRig::Concat({QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD, 0}, Block(1))));
    rig.Arrive(HandRig::Concat(Block(1), {QM_PROTO_BLOCK_END}));
    EXPECT_EQ(rig.TakeWritten(), Block(2));
    EXPECT_TRUE(rig.prompter.seen.empty());
}

// A wrong answer is noted against its block, once; the message waits for
// the write's end, so nothing is shown while the radio waits, and the next
// block's echo and answer are not taken for the old debt.
TEST(WriteReply, AWrongAnswerIsNotedAgainstItsBlockAndTheNextBlockStillSent) {
    const struct {
        const char* name;
        Bytes answer;
    } cases[] = {
        {"a stray last byte after a full answer", {QM_PROTO_BLOCK_END, 0x55}},
        {"another answer in place of the expected one", {0x55}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        HandRig rig;
        FillForm(rig.form, 0);
        rig.WriteThroughHandshake();
        rig.TakeWritten();
        rig.Arrive(HandRig::Concat(Block(1), c.answer));
        EXPECT_EQ(rig.TakeWritten(), Block(2));
        rig.Arrive(HandRig::Concat(Block(2), {QM_PROTO_BLOCK_END}));
        EXPECT_EQ(rig.TakeWritten(), Block(3));
        EXPECT_TRUE(rig.prompter.seen.empty());
        EXPECT_EQ(NotConfirmedAtTheEnd(rig, Block(3)),
                  std::string(texts::kChecksumError) + ": The radio did not confirm P1.");
    }
}

TEST(WriteReply, TheAnswerInABurstOfItsOwnAfterTheEchoIsStillTheAnswer) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.WriteThroughHandshake();
    rig.TakeWritten();
    rig.Arrive(Block(1));
    EXPECT_TRUE(rig.TakeWritten().empty());
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    rig.Arrive({QM_PROTO_BLOCK_END});
    EXPECT_EQ(rig.TakeWritten(), Block(2));
    EXPECT_TRUE(rig.prompter.seen.empty());
    // A wrong answer in a burst of its own is noted as well.
    rig.Arrive(Block(2));
    rig.Arrive({QM_PROTO_NAK});
    EXPECT_TRUE(rig.prompter.seen.empty());
    const Bytes next = rig.TakeWritten();
    EXPECT_EQ(next, Block(3));
    EXPECT_EQ(NotConfirmedAtTheEnd(rig, next),
              std::string(texts::kChecksumError) + ": The radio did not confirm P2.");
}

TEST(WriteHandshake, AnAcknowledgeBeforeTheRadioIsReadyIsIgnored) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.Drain();
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_ACK});  // ahead of the device check's echo
    EXPECT_TRUE(rig.TakeWritten().empty());
    // Dropped, it does not stand in front of the device check's answer.
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    EXPECT_EQ(rig.TakeWritten(), Bytes{QM_PROTO_SET_DOWNLOAD});
}

TEST(WriteHandshake, FiveOrMorePendingBytesAreNotActedOn) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.Drain();
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_CHK_DEV_ACK, 1, 2, 3, 4});  // ahead of the device check's echo
    EXPECT_TRUE(rig.TakeWritten().empty());
    // They stay pending: an answer arriving behind them is not acted on either.
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK});
    EXPECT_TRUE(rig.TakeWritten().empty());
}

TEST(WriteHandshake, ReadyBeforeTheDirectionIsAcceptedDoesNotStartTheBlocks) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.Drain();
    rig.TakeWritten();
    rig.Arrive({QM_PROTO_CHK_DEV, QM_PROTO_READY});
    EXPECT_TRUE(rig.TakeWritten().empty());
}

}  // namespace
}  // namespace orvex
