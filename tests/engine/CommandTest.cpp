// Read and Write as commands: refused while a transfer runs, the question
// about an unfinished edit, and opening the port.
#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"
#include "ui/model/RadioSession.h"

namespace orvex {
namespace {

using namespace test;

TEST(Commands, ReadAndWriteDuringARunningReadDoNothing) {
    SimRig rig(SampleRadio());
    rig.link->OnReadFromRadio();
    rig.link->OnReadFromRadio();  // still in its start pauses
    rig.link->OnWriteToRadio();
    rig.loop.RunUntil([&] { return rig.form.View().Progress() >= 5; }, 60000);
    rig.link->OnReadFromRadio();
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.WrittenBytes(), ExpectedReadBytes());
    EXPECT_EQ(rig.port->openedAt.size(), 1u);
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(Commands, ReadAndWriteDuringARunningWriteDoNothing) {
    SimRig rig;
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.link->OnWriteToRadio();
    rig.RunUntilBlocksWritten(4);
    rig.link->OnReadFromRadio();
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.WrittenBytes(), BytesOf(ExpectedWrite(0, 0)));
    EXPECT_EQ(rig.port->openedAt.size(), 1u);
}

TEST(Commands, ACommandDuringTheWaitBeforeTheCompletionMessageRunsAfterIt) {
    // The link pauses before "DOWNLOAD COMPLETE"; a command given then is
    // handled once the message has been dismissed.
    SimRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    rig.loop.RunUntil([&] { return rig.InFinalPause(); }, 60000);
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilShown(texts::kDownloadComplete));
    const std::int64_t shown = rig.prompter.seen.back().atMs;
    EXPECT_EQ(rig.port->openedAt.size(), 1u);
    ASSERT_TRUE(rig.RunUntilShown(texts::kUploadComplete));
    ASSERT_EQ(rig.port->openedAt.size(), 2u);
    EXPECT_EQ(rig.port->openedAt[1] - shown, 200);
    EXPECT_EQ(rig.prompter.Count(texts::kTimeout), 0);
}

// ---- The session's gate: file commands wait for the link's pauses ---------

// A session over the simulated radio, as the window has one.
struct SessionRig {
    explicit SessionRig(sim::RadioMemory memory = sim::SampleMemory()) : radio(memory, {}) {
        prompter.Attach(loop, form);
        form.StartUp();
        SessionOptions options;
        options.prompter = &prompter;
        options.loop = &loop;
        options.makePort = [this](IEventLoop& l) {
            auto owned = std::make_unique<TimedSimPort>(l, radio, sim::SimLinePort::Options{});
            port = owned.get();
            return owned;
        };
        options.resolver = [](int) { return std::string("sim0"); };
        options.portSettings = PortSettingsPlaces(dir.File("port.ini"));
        session = std::make_unique<RadioSession>(form, std::move(options));
        session->SetEditEnder([this] { ++editsEnded; });
    }
    CRadioLink& Link() { return session->Link(); }
    bool RunUntilSettled() { return loop.RunUntil([this] { return Link().Activity().Settled(); }, 60000); }
    bool RunUntilShown(std::string_view text) {
        return loop.RunUntil([&] { return prompter.Count(text) > 0; }, 60000);
    }

    TempDir dir;
    EventLoop loop{EventLoop::Clock::Virtual};
    TimedPrompter prompter;
    FormModel form{prompter};
    sim::SimRadio radio;
    TimedSimPort* port = nullptr;
    std::unique_ptr<RadioSession> session;
    int editsEnded = 0;
};

TEST(SessionGate, NewDuringTheStartOfAReadIsRefusedOnceTheReadHasLockedTheTable) {
    SessionRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.Link().OnReadFromRadio();
    rig.loop.RunFor(50);  // inside the pause before the port opens
    EXPECT_FALSE(rig.session->MayTakeDrop()) << "a drop now would be lost to the read";
    rig.session->Run(Command::New, [&] { rig.form.New(); });
    EXPECT_EQ(CellText(rig.form, 1), kSampleChannels[0].text) << "New acted before the read began";
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
    for (int row = 1; row <= kChannelCount; ++row) EXPECT_EQ(CellText(rig.form, row), kSampleChannels[row - 1].text);
    EXPECT_EQ(rig.editsEnded, 0);
}

TEST(SessionGate, OpenDuringTheWaitBeforeTheCompletionMessageRunsAfterItWithTheEditEnded) {
    SessionRig rig;
    const std::string path = rig.dir.File("other.kvx");
    WriteBytes(path, BlankSettingsImage());
    FillForm(rig.form, 0);
    rig.Link().OnWriteToRadio();
    rig.loop.RunUntil([&] { return !rig.form.View().IsTableLocked() && rig.Link().Outcome() == TransferOutcome::Running; }, 60000);
    ASSERT_TRUE(rig.Link().Activity().pausing);
    EXPECT_TRUE(rig.session->MayTakeDrop());
    bool opened = false;
    bool openedBeforeTheMessage = false;
    rig.prompter.onShow = [&](const UserMessage&) { openedBeforeTheMessage = opened; };
    rig.session->Run(Command::Open, [&] { opened = rig.form.Open(path); });
    EXPECT_FALSE(opened);
    ASSERT_TRUE(rig.RunUntilShown(texts::kDownloadComplete));
    ASSERT_TRUE(rig.loop.RunUntil([&] { return opened; }, 1000));
    EXPECT_FALSE(openedBeforeTheMessage);
    EXPECT_EQ(rig.editsEnded, 1);
    EXPECT_EQ(rig.Link().Outcome(), TransferOutcome::Completed);
}

// What each kind of command is told while nothing runs, while a read holds
// the form and between the steps of Write and Verify.
TEST(SessionGate, WhatMayRunWhile) {
    enum class While { Idle, Reading, Verifying };
    struct Case {
        Command command;
        Refusal idle, reading, verifying;
    };
    constexpr Refusal N = Refusal::None, T = Refusal::Transfer, V = Refusal::Verify;
    const Case cases[] = {
        {Command::New, N, T, V},          {Command::Save, N, T, V},
        {Command::ImportChannels, N, T, V}, {Command::WriteAndVerify, N, T, V},
        {Command::Read, N, N, V},         {Command::PortList, N, N, V},
        {Command::ConnectionCheck, N, T, V}, {Command::Edit, N, N, V},
        {Command::Copy, N, N, N},         {Command::AutoStop, N, N, N},
        {Command::Exit, N, N, N},
    };
    for (While when : {While::Idle, While::Reading, While::Verifying}) {
        SessionRig rig;
        FillForm(rig.form, 0);
        if (when == While::Reading) rig.Link().OnReadFromRadio();
        if (when == While::Verifying) {
            ASSERT_TRUE(rig.session->StartWriteAndVerify([](const VerifyResult&) {}));
        }
        rig.loop.RunUntil([&] { return rig.form.View().IsTableLocked(); }, when == While::Idle ? 0 : 5000);
        for (const Case& c : cases) {
            const Refusal expected = when == While::Idle ? c.idle : when == While::Reading ? c.reading : c.verifying;
            const GateVerdict verdict = rig.session->MayRun(c.command);
            // In one of the read's pauses a file command is told to wait;
            // it is refused once the pause is over (see below).
            const bool waits = expected == Refusal::Transfer && verdict.afterPause && !verdict.Refused();
            EXPECT_TRUE(verdict.refusal == expected || waits)
                << "command " << static_cast<int>(c.command) << " while " << static_cast<int>(when);
        }
        int runs = 0;
        rig.session->Run(Command::New, [&] { ++runs; });
        ASSERT_TRUE(rig.loop.RunUntil(
            [&] { return !rig.session->VerifyRunning() && rig.Link().Activity().Settled(); }, 60000));
        EXPECT_EQ(runs, when == While::Idle ? 1 : 0) << "while " << static_cast<int>(when);
    }
}

// ---- A write needs a band plan ---------------------------------------------

TEST(Commands, WriteWithNoBandPlanSelectedSendsNothingAndSaysWhy) {
    SimRig rig;
    FillForm(rig.form, 0);
    rig.form.SelectModeEntry(7);  // a file or radio named a plan beyond the list
    ASSERT_EQ(rig.form.ModeSelection(), -1);
    rig.form.View().EndCellEdit();
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_TRUE(rig.port->openedAt.empty());
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kNoBandPlan)});
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::Stop);
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_NE(rig.link->Outcome(), TransferOutcome::Completed);
    // Once a plan is chosen the same table is written.
    rig.form.SelectModeEntry(0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

class EditPending : public ::testing::TestWithParam<bool> {
protected:
    void Start(SimRig& rig) {
        if (GetParam())
            rig.link->OnWriteToRadio();
        else
            rig.link->OnReadFromRadio();
    }
};

TEST_P(EditPending, AnsweringNoStartsNothingAndTheNextCommandGoesAheadUnasked) {
    SimRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.form.View().BeginCellEdit();
    Start(rig);
    rig.RunUntilSettled();
    ASSERT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kEditNotFinished)});
    EXPECT_EQ(rig.prompter.seen[0].buttons, MsgButtons::YesNo);
    EXPECT_FALSE(rig.form.View().EditPending());
    EXPECT_TRUE(rig.port->openedAt.empty());
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_TRUE(rig.form.View().BandListEnabled());

    Start(rig);
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Count(texts::kEditNotFinished), 1);
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

TEST_P(EditPending, AnsweringYesGoesAhead) {
    SimRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.form.View().BeginCellEdit();
    rig.prompter.answers.push_back(MsgAnswer::Yes);
    Start(rig);
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.prompter.Count(texts::kEditNotFinished), 1);
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

INSTANTIATE_TEST_SUITE_P(Commands, EditPending, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Write" : "Read"; });

TEST(OpenPort, AFirstOpenShowsThePortInTheStatusBar) {
    SimRig rig(SampleRadio());
    rig.link->SetConfiguredPort(9);
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.form.View().PortPaneText(), std::string(24, ' ') + "ComPort:10");
}

TEST(OpenPort, ReadWhenTheSecondAttemptOpensGoesAheadAfterTheRetryPause) {
    SimRig rig(SampleRadio());
    rig.port->RefuseOpen("sim0");
    rig.port->FailOpens(1);
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.port->openedAt, (std::vector<std::int64_t>{200, 700}));
    EXPECT_EQ(rig.Writes().front().atMs, 800);
    EXPECT_EQ(rig.form.View().PortPaneText(), std::string(24, ' ') + "ComPort:1");
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
}

TEST(OpenPort, ReadWhenNeitherAttemptOpensSaysSoOnceAndStartsNothing) {
    SimRig rig(SampleRadio());
    test::LinkSide(rig.form).OnTransferEvent({TransferEvent::Kind::PortShown, TransferDirection::Idle, 0, "before"});
    rig.port->RefuseOpen("sim0");
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.port->openedAt, (std::vector<std::int64_t>{200, 700}));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kCantOpenPort)});
    EXPECT_EQ(rig.prompter.seen[0].atMs, 700);
    EXPECT_EQ(rig.prompter.seen[0].icon, MsgIcon::Stop);
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_FALSE(rig.form.View().IsTableLocked());
    EXPECT_EQ(rig.form.View().PortPaneText(), "before");
    EXPECT_FALSE(rig.link->Activity().Busy());
}

TEST(OpenPort, WriteWhenNeitherAttemptOpensEnablesTheFormAgain) {
    SimRig rig;
    FillForm(rig.form, kBandPlanSouthAfrica, {4});
    rig.port->RefuseOpen("sim0");
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.port->openedAt, (std::vector<std::int64_t>{0, 500}));
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kCantOpenPort)});
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_TRUE(rig.form.View().BandListEnabled());
    EXPECT_TRUE(rig.form.View().SouthAfricaSetupEnabled());
    // And the next attempt, with the cable back, works.
    rig.port->FailOpens(0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
}

}  // namespace
}  // namespace orvex
