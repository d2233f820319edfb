// Write to Radio against the simulated cable and radio, in virtual time.
#include <gtest/gtest.h>

#include <cctype>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"

namespace orvex {
namespace {

using namespace test;

// Boxes ticked for a South Africa write; the emergency list then shows the
// first of them.
const std::vector<int> kTicked = {3, 5, 9, 23};
constexpr std::uint8_t kTickedEmg = 3;

struct PlanCase {
    int plan;
    std::vector<int> flags;
    std::uint8_t emg;
};

class WritePlans : public ::testing::TestWithParam<PlanCase> {};

TEST_P(WritePlans, WritesEveryByteInOrder) {
    const PlanCase& p = GetParam();
    SimRig rig;
    FillForm(rig.form, p.plan, p.flags);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.WrittenBytes(), BytesOf(ExpectedWrite(p.plan, p.emg, p.flags)));
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

TEST_P(WritePlans, KeepsThePauseOfEachByte) {
    const PlanCase& p = GetParam();
    SimRig rig(sim::SampleMemory(), {}, TightLine());
    FillForm(rig.form, p.plan, p.flags);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    const auto expected = ExpectedWrite(p.plan, p.emg, p.flags);
    const auto writes = rig.Writes();
    ASSERT_EQ(writes.size(), expected.size());
    for (std::size_t i = 1; i < writes.size(); ++i)
        EXPECT_EQ(writes[i].atMs - writes[i - 1].atMs, expected[i - 1].pauseMs) << "after byte " << i - 1;
}

TEST_P(WritePlans, TheRadioEndsUpHoldingTheTable) {
    const PlanCase& p = GetParam();
    SimRig rig;
    FillForm(rig.form, p.plan, p.flags);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.radio.WritesCompleted(), 1);
    const sim::RadioMemory& m = rig.radio.Memory();
    EXPECT_EQ(m.bandPlan, p.plan);
    EXPECT_EQ(m.emgChannel, p.emg);
    for (int c = 1; c <= kChannelCount; ++c) {
        const Bytes block = ExpectedBlock(c, p.plan, p.emg);
        EXPECT_EQ(m.records[c - 1].m_wFreq, kSampleChannels[c - 1].code) << "channel " << c;
        EXPECT_EQ(m.slotA[c - 1], block[1]) << "channel " << c;
        EXPECT_EQ(m.slotB[c - 1], block[2]) << "channel " << c;
    }
    if (p.plan == kBandPlanSouthAfrica) {
        for (int n = 1; n <= kChannelEnableCount; ++n)
            EXPECT_EQ(m.flags[n - 1] != 0, std::find(p.flags.begin(), p.flags.end(), n) != p.flags.end()) << "CH " << n;
    }
}

TEST_P(WritePlans, EndsWithOneCompletionMessage303msAfterTheFinalAcknowledge) {
    const PlanCase& p = GetParam();
    SimRig rig;
    FillForm(rig.form, p.plan, p.flags);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(10000);

    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kDownloadComplete)});
    // The final acknowledge keeps its own 3 ms, then the 300 ms wait.
    EXPECT_EQ(rig.prompter.seen[0].atMs - rig.Writes().back().atMs, 303);
    EXPECT_FALSE(rig.prompter.seen[0].tableLocked);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_EQ(rig.form.View().SouthAfricaSetupEnabled(), p.plan == kBandPlanSouthAfrica);
    EXPECT_FALSE(rig.link->Activity().watchdogRunning);
}

INSTANTIATE_TEST_SUITE_P(Plans, WritePlans,
                         ::testing::Values(PlanCase{0, {}, 0}, PlanCase{1, {}, 0}, PlanCase{3, kTicked, kTickedEmg}),
                         [](const auto& info) { return "BandPlan" + std::to_string(info.param.plan); });

TEST(Write, OpensThePortAtOnceAndSendsTheCheck100msLater) {
    SimRig rig;
    FillForm(rig.form, 0);
    rig.loop.RunFor(1000);
    const std::int64_t start = rig.loop.NowMs();
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.port->openedAt.size(), 1u);
    EXPECT_EQ(rig.port->openedAt[0], start);
    EXPECT_EQ(rig.Writes().front().atMs - start, 100);
}

TEST(Write, DisablesTheBandSectionWhileRunning) {
    SimRig rig;
    FillForm(rig.form, kBandPlanSouthAfrica, kTicked);
    rig.link->OnWriteToRadio();
    rig.RunUntilBlocksWritten(4);
    EXPECT_TRUE(rig.form.View().IsTableLocked());
    EXPECT_FALSE(rig.form.View().BandListEnabled());
    EXPECT_FALSE(rig.form.View().SouthAfricaSetupEnabled());
}

// A write stopped midway (Auto Stop, a closed window) gives the whole form
// back: the band section and Undo too, not only the table.
TEST(Write, AWriteStoppedMidwayGivesTheWholeFormBack) {
    SimRig rig;
    FillForm(rig.form, kBandPlanSouthAfrica, kTicked);
    rig.link->OnWriteToRadio();
    rig.RunUntilBlocksWritten(4);
    ASSERT_FALSE(rig.form.View().BandListEnabled());
    rig.link->StopTransfer();
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.form.View().SouthAfricaSetupEnabled());
    EXPECT_TRUE(rig.form.History().CanUndo());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
}

TEST(Write, TheBandPlanSentIsTheOneModeSelectShowsWhenTheRadioAsks) {
    SimRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    // Someone changes the selection behind the disabled list before 0x6F.
    rig.loop.RunUntil([&] { return rig.WrittenBytes().size() == 2; }, 5000);
    rig.form.SelectModeEntry(4);
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.WrittenBytes()[2], 4);
    EXPECT_EQ(rig.WrittenBytes()[4], 41);  // slots follow the plan just sent
}

TEST(Write, AnEmptyTableWritesEmptyCodesAndCompletes) {
    SimRig rig;
    rig.form.OnModeSelect(0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    const Bytes w = rig.WrittenBytes();
    for (int c = 0; c < kChannelCount; ++c)
        EXPECT_EQ(Bytes(w.begin() + 3 + 12 * c + 3, w.begin() + 3 + 12 * c + 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

class OutOfBandCell : public ::testing::TestWithParam<const char*> {};

TEST_P(OutOfBandCell, InRowFourStopsTheWriteAfterThreeBlocks) {
    SimRig rig;
    FillForm(rig.form, 0);
    rig.form.SetCellText(4, GetParam());
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(10000);

    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kFrequencyOutOfRange)});
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::Stop);
    EXPECT_TRUE(rig.prompter.seen[0].tableLocked);  // the write ends once the message is read
    const Bytes all = BytesOf(ExpectedWrite(0, 0));
    EXPECT_EQ(rig.WrittenBytes(), Bytes(all.begin(), all.begin() + 3 + 3 * 12));
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_FALSE(rig.link->Activity().watchdogRunning);
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
    EXPECT_EQ(rig.radio.WritesCompleted(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cells, OutOfBandCell, ::testing::Values("30.0025", "25.9975", "27.0010"),
                         [](const auto& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return "MHz" + name;
                         });

TEST(Write, SouthAfricaWithAnEmptyEmergencyListSendsNothing) {
    SimRig rig;
    FillForm(rig.form, kBandPlanSouthAfrica);  // no box ticked
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{" Emg Channel check !"});
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::None);
    EXPECT_TRUE(rig.port->openedAt.empty());
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.form.View().SouthAfricaSetupEnabled());
}

class HandshakeRefusal : public ::testing::TestWithParam<const char*> {};

TEST_P(HandshakeRefusal, SaysPleaseAgainOnceAndNoTimeoutFollows) {
    SimRig rig(sim::SampleMemory(), Fault(GetParam()));
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilShown(texts::kPleaseAgain));
    const std::size_t written = rig.WrittenBytes().size();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(10000);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kPleaseAgain)});
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::Stop);
    EXPECT_EQ(rig.WrittenBytes().size(), written);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
}

INSTANTIATE_TEST_SUITE_P(Steps, HandshakeRefusal, ::testing::Values("nak=chk", "nak=dir", "nak=ready"),
                         [](const auto& info) { return std::string(info.param).substr(4); });

// Wrong answers are noted wherever they stand and the write goes on to its
// end; then one message names what the radio did not confirm. A log that
// never waits is told each wrong answer as it comes, as it always was.
struct WrongAnswerCase {
    const char* fault;
    std::string notConfirmed;  // "" where each is told at once
};

class WrongAnswer : public ::testing::TestWithParam<WrongAnswerCase> {};

TEST_P(WrongAnswer, TheWriteGoesOnToItsEndAndOneMessageNamesTheBlocks) {
    const WrongAnswerCase& c = GetParam();
    SimRig rig(sim::SampleMemory(), Fault(c.fault));
    if (c.notConfirmed.empty()) rig.link->SetDoubtAdvice({.wrongAnswers = WrongAnswerReport::EachAtOnce});
    FillForm(rig.form, kBandPlanSouthAfrica, kTicked);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.WrittenBytes(), BytesOf(ExpectedWrite(kBandPlanSouthAfrica, kTickedEmg, kTicked)));
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::CompletedWithErrors);
    ASSERT_FALSE(rig.prompter.seen.empty());
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::Stop);
    if (c.notConfirmed.empty()) {
        EXPECT_EQ(rig.prompter.Texts(), (std::vector<std::string>{std::string(texts::kChecksumError),
                                                                  std::string(texts::kDownloadComplete)}));
        return;
    }
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kChecksumError)});
    EXPECT_FALSE(rig.prompter.seen[0].tableLocked);
    EXPECT_EQ(rig.prompter.shown[0].detail, std::string(texts::kNotConfirmedIntro) + c.notConfirmed + ".\n" +
                                                std::string(texts::kPartlyWritten));
}

INSTANTIATE_TEST_SUITE_P(Answers, WrongAnswer,
                         ::testing::Values(WrongAnswerCase{"reply=2:0x55", "P2"},
                                           WrongAnswerCase{"reply=11:0x55", "the closing block"},
                                           WrongAnswerCase{"reply=10:0xFF", "P0"},
                                           // every fifth answer has a stray byte behind it
                                           WrongAnswerCase{"noise=5", "P2 and P7"},
                                           WrongAnswerCase{"reply=2:0x55", ""}),
                         [](const auto& info) {
                             std::string name = std::string(info.param.fault) + (info.param.notConfirmed.empty() ? "_each" : "");
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

TEST(Write, ARadioRefusingEveryBlockGetsTheWholeWriteAndOneMessageNamingAllOfThem) {
    HandRig rig;
    FillForm(rig.form, 0);
    rig.WriteThroughHandshake();
    for (int c = 1; c <= kChannelCount; ++c) rig.Arrive(HandRig::Concat(ExpectedBlock(c, 0, 0), {0x55}));
    rig.Arrive({QM_PROTO_CLOSING, 0x55});
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.port->WrittenBytes(), BytesOf(ExpectedWrite(0, 0)));
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kChecksumError)});
    EXPECT_EQ(rig.prompter.shown[0].detail.substr(0, rig.prompter.shown[0].detail.find('\n')),
              std::string(texts::kNotConfirmedIntro) + "P1, P2, P3, P4, P5, P6, P7, P8, P9, P0 and the closing block.");
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::CompletedWithErrors);
}

// A box of a running transfer is read as long as the user likes: the
// watchdog never ends the transfer under it nor covers it with its own.
TEST(Write, NoBoxOfTheWriteIsCoveredByTheWatchdogHoweverLongItStaysOpen) {
    struct Case {
        const char* name;
        const char* fault;
        bool eachAtOnce;
        const char* cell4;  // "" leaves the sample
        std::vector<std::string_view> shown;
    };
    const std::vector<Case> cases = {
        {"a wrong answer", "reply=3:0x55", false, "", {texts::kChecksumError}},
        {"a wrong answer told at once", "reply=3:0x55", true, "", {texts::kChecksumError, texts::kDownloadComplete}},
        {"a cell out of range", "", false, "30.0025", {texts::kFrequencyOutOfRange}},
    };
    for (const Case& c : cases) {
        SimRig rig(sim::SampleMemory(), *c.fault ? Fault(c.fault) : sim::Faults{});
        rig.link->SetDoubtAdvice(
            {.wrongAnswers = c.eachAtOnce ? WrongAnswerReport::EachAtOnce : WrongAnswerReport::Summary});
        FillForm(rig.form, 0);
        if (*c.cell4) rig.form.SetCellText(4, c.cell4);
        rig.prompter.onShow = [&](const UserMessage&) { rig.loop.RunFor(3000); };
        rig.link->OnWriteToRadio();
        ASSERT_TRUE(rig.RunUntilSettled()) << c.name;
        rig.loop.RunFor(5000);
        EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>(c.shown.begin(), c.shown.end())) << c.name;
        EXPECT_FALSE(rig.form.View().IsTableLocked()) << c.name;
    }
}

TEST(Write, ALineLostBeforeTheCompletionMessageLeavesTheWriteUnconfirmed) {
    // 125 bytes: the handshake, ten blocks, the closing byte and the final
    // acknowledge; the line drops in the pause before "DOWNLOAD COMPLETE".
    SimRig rig(sim::SampleMemory(), Fault("hangup-after=125"));
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.WrittenBytes(), BytesOf(ExpectedWrite(0, 0)));
    EXPECT_EQ(rig.prompter.Count(texts::kDownloadComplete), 0);
    EXPECT_NE(rig.link->Outcome(), TransferOutcome::Completed);
}

// A write cut off once a block has gone out says that the radio may hold
// part of it and how to get back, naming the last read's backup; one cut
// off before any block says nothing more.
TEST(Write, ACutOffWriteSaysWhatItLeavesOnlyOnceABlockHasGoneOut) {
    struct Case {
        const char* fault;
        std::string_view message;
        bool leavesPart;
        bool backup;
        const char* reply = "";  // a wrong answer to P2, told with the cut-off
    };
    // The handshake is 3 bytes, each block 12.
    const std::vector<Case> cases = {
        {"hangup-after=30", texts::kPortLost, true, true},  // the cable pulled in block 3
        {"hangup-after=30", texts::kPortLost, true, false},
        {"mute-after=15", texts::kTimeout, true, true},     // silent after block 1
        {"mute-after=2", texts::kTimeout, false, true},     // silent before the first block
        {"hangup-after=2", texts::kPortLost, false, true},
        // pulled in the pause before the closing message, the table unlocked
        {"hangup-after=125", texts::kPortLost, true, true, "reply=2:0x55"},
    };
    const std::string backup = "/data/orvex/backups/2026-03-01_14-05-09.kvx";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fault) + " " + c.reply + (c.backup ? " with a backup" : ""));
        sim::Faults faults = Fault(c.fault);
        const Outcome<void> replying = *c.reply ? sim::ParseFault(c.reply, faults) : Outcome<void>{};
        ASSERT_TRUE(replying) << replying.problem();
        SimRig rig(sim::SampleMemory(), faults);
        if (c.backup) rig.link->SetDoubtAdvice({.lastBackup = [&] { return backup; }});
        FillForm(rig.form, 0);
        rig.link->OnWriteToRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        rig.loop.RunFor(5000);
        ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(c.message)});
        const std::string& detail = rig.prompter.shown[0].detail;
        EXPECT_EQ(detail.find(texts::kCutOffAdvice) != std::string::npos, c.leavesPart) << detail;
        EXPECT_EQ(detail.find(std::string(texts::kLastBackupIntro) + backup) != std::string::npos,
                  c.leavesPart && c.backup)
            << detail;
        EXPECT_EQ(detail.find(std::string(texts::kNotConfirmedIntro) + "P2.") != std::string::npos, *c.reply != 0)
            << detail;
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
    }
}

// The table unlocks before the completion message; what is typed then was
// not written, so it stays an unsaved edit.
TEST(Write, AnEditMadeBeforeTheWriteIsConfirmedStaysUnsaved) {
    SimRig rig(sim::SampleMemory());
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.InFinalPause(); }, 60000));
    ASSERT_EQ(rig.prompter.Count(texts::kDownloadComplete), 0);
    rig.form.SetCellText(1, "27.5000");
    ASSERT_TRUE(rig.RunUntilShown(texts::kDownloadComplete));
    EXPECT_TRUE(HasUnsavedEdits(rig.form));
    rig.form.SetCellText(1, kSampleChannels[0].text);
    EXPECT_FALSE(HasUnsavedEdits(rig.form)) << "the table as written counts as saved";
}

TEST(Write, ARadioThatHangsUpEndsTheWriteAtOnce) {
    SimRig rig(sim::SampleMemory(), Fault("hangup-after=30"));
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.WrittenBytes().size(), 30u);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kPortLost)});
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
}

}  // namespace
}  // namespace orvex
