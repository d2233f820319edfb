// Write and Verify against the simulated cable and radio, in virtual time.
#include <gtest/gtest.h>

#include <optional>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "support/FormState.h"
#include "support/TempDir.h"
#include "ui/model/ReadBackups.h"
#include "ui/model/VerifiedWrite.h"
#include "ui/model/FormTexts.h"
#include "ui/model/VerifyTexts.h"

namespace orvex {
namespace {

using namespace test;

struct VerifyRig : SimRig {
    using SimRig::SimRig;

    // Runs Write and Verify to its end.
    VerifyResult Run(IReadKeeping* backups = nullptr) {
        VerifiedWrite verify(form, *link, backups);
        std::optional<VerifyResult> result;
        EXPECT_TRUE(verify.Start([&](const VerifyResult& r) { result = r; }));
        EXPECT_TRUE(loop.RunUntil([&] { return result.has_value(); }, 60000)) << "Write and Verify never ended";
        doneAtMs = loop.NowMs();
        return result.value_or(VerifyResult{});
    }
    // How long one plain command takes to settle on a fresh rig.
    static std::int64_t PlainCommandMs(bool write, int plan) {
        SimRig rig(SampleRadio());
        FillForm(rig.form, plan, plan == kBandPlanSouthAfrica ? std::vector<int>{3, 5} : std::vector<int>{});
        if (write)
            rig.link->OnWriteToRadio();
        else
            rig.link->OnReadFromRadio();
        EXPECT_TRUE(rig.loop.RunUntil([&] { return rig.link->Activity().Settled(); }, 60000));
        return rig.loop.NowMs();
    }
    std::int64_t doneAtMs = 0;
};

TEST(WriteAndVerify, WritesTheFormReadsItBackAndSaysVerifyOkOnly) {
    VerifyRig rig(SampleRadio());
    FillForm(rig.form, 0);
    const FormSnapshot before = rig.form.Snapshot();
    // The radio holds other settings: a read that reached the form would show.
    struct Watch : IFormObserver {
        const FormModel& form;
        FormSnapshot user;
        int otherwise = 0;
        Watch(const FormModel& f, FormSnapshot s) : form(f), user(std::move(s)) {}
        void OnFormChanged(unsigned) override { otherwise += form.Snapshot() != user; }
    } watch(rig.form, before);
    rig.form.AddObserver(&watch);
    const VerifyResult result = rig.Run();
    rig.form.RemoveObserver(&watch);
    EXPECT_EQ(watch.otherwise, 0) << "the form showed something else than the user's settings";
    EXPECT_EQ(result.status, VerifyResult::Status::Verified) << result.failure << FormatDifferences(result.differences);
    EXPECT_EQ(rig.radio.WritesCompleted(), 1);
    EXPECT_EQ(rig.radio.ReadsCompleted(), 2);
    EXPECT_EQ(rig.radio.Memory().bandPlan, 0);
    for (int i = 0; i < kChannelCount; ++i) EXPECT_EQ(rig.radio.Memory().records[i].m_wFreq, kSampleChannels[i].code);
    // The steps' completion messages give way to the one result, and the
    // form shows what the user had, now counted as written.
    EXPECT_TRUE(rig.prompter.seen.empty()) << rig.prompter.Texts().front();
    EXPECT_TRUE(rig.form.Snapshot() == before) << FormState(rig.form);
    EXPECT_FALSE(HasUnsavedEdits(rig.form));
    const UserMessage told = VerifyMessage(result);
    EXPECT_EQ(told.text, texts::kVerifyOk);
    EXPECT_EQ(told.icon, MsgIcon::None);
}

TEST(WriteAndVerify, SouthAfricaComparesTheEmergencyChannelAndFlagsToo) {
    VerifyRig rig(SampleRadio());
    FillForm(rig.form, kBandPlanSouthAfrica, {3, 5, 9, 23});
    rig.form.SelectEmgItem(2);  // CH 09
    const VerifyResult result = rig.Run();
    EXPECT_EQ(result.status, VerifyResult::Status::Verified) << result.failure << FormatDifferences(result.differences);
    EXPECT_EQ(rig.radio.Memory().emgChannel, 9);
    std::array<std::uint8_t, kChannelEnableCount> flags{};
    for (int n : {3, 5, 9, 23}) flags[n - 1] = 1;
    EXPECT_EQ(rig.radio.Memory().flags, flags);
}

// Between the steps the table is not locked, yet what the user does then
// would be written unasked, or compared as if it had been written.
TEST(WriteAndVerify, TheFormTakesNoChangeBetweenItsSteps) {
    VerifyRig rig(SampleRadio());
    FillForm(rig.form, kBandPlanSouthAfrica, {3, 5, 9, 23});
    rig.form.SelectEmgItem(2);
    VerifyRig untouched(SampleRadio());
    FillForm(untouched.form, kBandPlanSouthAfrica, {3, 5, 9, 23});
    untouched.form.SelectEmgItem(2);
    ASSERT_EQ(untouched.Run().status, VerifyResult::Status::Verified);
    VerifiedWrite verify(rig.form, *rig.link, nullptr);
    std::optional<VerifyResult> result;
    ASSERT_TRUE(verify.Start([&](const VerifyResult& r) { result = r; }));
    // Tried after the first step: what the form holds until then is what
    // the command writes.
    bool stepped = false;
    int tried = 0;
    ASSERT_TRUE(rig.loop.RunUntil(
        [&] {
            stepped = stepped || rig.form.View().IsTableLocked();
            // Once: a box clicked twice would look untouched.
            if (stepped && !tried && !result && !rig.form.View().IsTableLocked()) {
                ++tried;
                rig.form.SetCellText(1, "29.0000");
                rig.form.ClickChannelBox(3);
                rig.form.SelectEmgItem(0);
                rig.form.SelectModeEntry(1);
                rig.form.OnModeSelect(2);
                EXPECT_FALSE(rig.form.New());
                EXPECT_FALSE(rig.form.Restore(FormSnapshot{}));
            }
            return result.has_value();
        },
        60000));
    EXPECT_GT(tried, 0);
    EXPECT_EQ(result->status, VerifyResult::Status::Verified) << result->failure << FormatDifferences(result->differences);
    // It ends as one nobody touched, in the form and in the radio.
    EXPECT_EQ(FormState(rig.form), FormState(untouched.form));
    EXPECT_TRUE(rig.radio.Memory() == untouched.radio.Memory());
    // Once it has ended the form is the user's again.
    rig.form.SetCellText(1, "29.0000");
    EXPECT_EQ(rig.form.Cells()[0], "29.0000");
}

// The whole command costs no more than its three transfers one after the
// other: the steps follow each other without pauses of their own.
TEST(WriteAndVerify, TakesNoLongerThanAReadAWriteAndAReadInTurn) {
    for (int plan : {0, kBandPlanSouthAfrica}) {
        VerifyRig rig(SampleRadio());
        FillForm(rig.form, plan, plan == kBandPlanSouthAfrica ? std::vector<int>{3, 5} : std::vector<int>{});
        const VerifyResult result = rig.Run();
        ASSERT_EQ(result.status, VerifyResult::Status::Verified) << plan;
        const std::int64_t sum =
            2 * VerifyRig::PlainCommandMs(false, plan) + VerifyRig::PlainCommandMs(true, plan);
        EXPECT_LE(rig.doneAtMs, sum + 3 * 5) << "plan " << plan;
    }
}

TEST(WriteAndVerify, ARefusedWriteSendsNothingAndReadsNothing) {
    struct Case {
        const char* name;
        std::function<void(FormModel&)> prepare;
        std::string_view message;
    };
    const std::vector<Case> cases = {
        {"no band plan", [](FormModel& f) { FillForm(f, 0), f.SelectModeEntry(7); }, texts::kNoBandPlan},
        {"off-step cell", [](FormModel& f) { FillForm(f, 0), f.SetCellText(4, "27.0010"); }, texts::kFrequencyOutOfRange},
        {"South Africa without an emergency channel", [](FormModel& f) { FillForm(f, kBandPlanSouthAfrica); },
         texts::kEmgChannelCheck},
    };
    for (const Case& c : cases) {
        VerifyRig rig(SampleRadio());
        c.prepare(rig.form);
        const VerifyResult result = rig.Run();
        EXPECT_EQ(result.status, VerifyResult::Status::NotStarted) << c.name;
        EXPECT_TRUE(rig.WrittenBytes().empty()) << c.name;
        EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(c.message)}) << c.name;
        EXPECT_TRUE(VerifyMessage(result).text.empty()) << c.name;
    }
}

TEST(WriteAndVerify, AnUnfinishedEditIsAskedAboutOnceAndNoStopsEverything) {
    VerifyRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.form.View().BeginCellEdit();
    rig.prompter.answers = {MsgAnswer::No};
    const VerifyResult result = rig.Run();
    EXPECT_EQ(result.status, VerifyResult::Status::NotStarted);
    EXPECT_TRUE(rig.WrittenBytes().empty());
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kEditNotFinished)});
}

// Each failing step ends the command with its own message, names the step
// and leaves the form as the user had it.
TEST(WriteAndVerify, AFailedStepIsNamedWithItsOwnMessage) {
    struct Case {
        const char* fault;
        VerifyStep step;
        std::string_view message;
        int writes;
    };
    // The read takes 4 + 10 * 2 application bytes; a write's handshake 3 more.
    const std::vector<Case> cases = {
        {"silent", VerifyStep::ReadBefore, texts::kTimeout, 0},
        {"mute-after=30", VerifyStep::Write, texts::kTimeout, 0},
        {"hangup-after=30", VerifyStep::Write, texts::kPortLost, 0},
        {"reply=3:0x55", VerifyStep::Write, texts::kChecksumError, 1},
    };
    for (const Case& c : cases) {
        VerifyRig rig(SampleRadio(), Fault(c.fault));
        FillForm(rig.form, 0);
        const FormSnapshot before = rig.form.Snapshot();
        const VerifyResult result = rig.Run();
        EXPECT_EQ(result.status, VerifyResult::Status::Failed) << c.fault;
        EXPECT_EQ(result.step, c.step) << c.fault;
        ASSERT_FALSE(result.said.empty()) << c.fault;
        EXPECT_EQ(result.said.front().text, c.message) << c.fault;
        EXPECT_TRUE(rig.form.Snapshot() == before) << c.fault << FormState(rig.form);
        EXPECT_TRUE(HasUnsavedEdits(rig.form)) << c.fault;
        EXPECT_TRUE(rig.prompter.seen.empty()) << c.fault;  // held back for the one result
        const UserMessage told = VerifyMessage(result);
        EXPECT_EQ(told.text, c.message) << c.fault;
        EXPECT_EQ(told.icon, MsgIcon::Stop);
        EXPECT_NE(told.detail.find(StepName(c.step)), std::string::npos) << told.detail;
        // The step's own words on what it leaves; the plain write's advice
        // is not said a second time, and is back for the next plain write.
        EXPECT_EQ(told.detail.find(texts::kCutOffAdvice), std::string::npos) << told.detail;
        EXPECT_TRUE(rig.link->DoubtAdvice().recoveryAdvice);
        EXPECT_EQ(rig.radio.WritesCompleted(), c.writes) << c.fault;
    }
}

// What the write chose as the emergency channel goes with a verify that
// did not verify: a saved form is still saved, not changed by the command.
TEST(WriteAndVerify, ASavedFormStaysAsSavedWhenTheRadioDoesNotVerifyIt) {
    for (const char* fault : {"reply=3:0x55", "mute-after=60"}) {
        VerifyRig rig(SampleRadio(), Fault(fault));
        FillForm(rig.form, kBandPlanSouthAfrica, {3, 5, 9});
        rig.form.SelectEmgItem(1);  // the list's choice, not yet the value behind it
        TempDir dir;
        ASSERT_TRUE(Save(rig.form, dir.File("saved.kvx")));
        const FormSnapshot before = rig.form.Snapshot();
        EXPECT_NE(rig.Run().status, VerifyResult::Status::Verified) << fault;
        EXPECT_TRUE(rig.form.Snapshot() == before) << fault << FormState(rig.form);
        EXPECT_FALSE(HasUnsavedEdits(rig.form)) << fault;
    }
}

// A radio that keeps a channel wrongly: the verify names the row, with a
// stop icon; the first read is the one backup kept.
TEST(WriteAndVerify, ARowTheRadioKeptWronglyIsNamedAndOnlyTheFirstReadIsKept) {
    TempDir dir;
    BackupStore store(dir.File("backups"));
    VerifyRig rig(SampleRadio(), Fault("store-wrong=3"));
    std::vector<std::string> news;
    ReadBackups backups(rig.form, store, [&](const std::string& n) { news.push_back(n); });
    FillForm(rig.form, 0);
    rig.form.SetCellText(3, "27.0000");
    const VerifyResult result = rig.Run(&backups);
    ASSERT_EQ(result.status, VerifyResult::Status::Differs) << result.failure;
    ASSERT_EQ(result.differences.size(), 1u) << FormatDifferences(result.differences);
    EXPECT_EQ(result.differences[0].field, "P3");
    EXPECT_EQ(result.differences[0].written, "27.0000");
    const UserMessage told = VerifyMessage(result);
    EXPECT_EQ(told.icon, MsgIcon::Stop);
    EXPECT_EQ(told.text.rfind(texts::kVerifyDiffers, 0), 0u) << told.text;
    EXPECT_NE(told.text.find("P3: written 27.0000, read back "), std::string::npos) << told.text;

    const BackupListing kept = store.List();
    ASSERT_EQ(kept.value().size(), 1u);
    EXPECT_EQ(result.backupPath, kept.value()[0].path);
    EXPECT_EQ(kept.value()[0].bandPlan, kBandPlanSouthAfrica);  // what the radio held before
    EXPECT_NE(told.detail.find(result.backupPath), std::string::npos) << told.detail;
    EXPECT_EQ(news.size(), 1u);
}

// A record the radio gives back under no row leaves the form's cell as it
// was; the verify goes by the records, so the row is named all the same,
// and edits the radio did not keep stay unsaved.
TEST(WriteAndVerify, ARowTheRadioGaveBackUnderNoNumberIsNamed) {
    VerifyRig rig(SampleRadio(), Fault("lose-row=4"));
    FillForm(rig.form, 0);
    const VerifyResult result = rig.Run();
    ASSERT_EQ(result.status, VerifyResult::Status::Differs) << result.failure;
    EXPECT_EQ(FormatDifferences(result.differences), "P4: written 30.0000, read back (not read back)");
    EXPECT_TRUE(HasUnsavedEdits(rig.form));
}

// Right after a write its completion is still to come: the command waits
// for the link to settle instead of doing nothing.
TEST(WriteAndVerify, StartedWhileAWriteSettlesItWaitsAndRuns) {
    VerifyRig rig(SampleRadio());
    FillForm(rig.form, 0);
    rig.link->OnWriteToRadio();
    ASSERT_TRUE(rig.loop.RunUntil([&] { return !rig.form.View().IsTableLocked() && rig.link->Outcome() == TransferOutcome::Running; }, 60000));
    ASSERT_FALSE(rig.link->Activity().Settled());
    const VerifyResult result = rig.Run();
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kDownloadComplete)});
    EXPECT_EQ(result.status, VerifyResult::Status::Verified) << result.failure;
}

// Without a backup of what the radio holds nothing is written: the command
// stops after the first read, says where and why the backup failed and how
// to mend it, and leaves the form as the user had it.
TEST(WriteAndVerify, ARadioWhoseBackupCannotBeKeptIsNotWritten) {
    TempDir dir;
    const WholeFileWriter diskFull = [](const std::string& path, std::span<const std::uint8_t>) {
        return filestore::Result{filestore::Status::WriteFailed, {.where = path, .why = "No space left on device"}};
    };
    WriteBytes(dir.File("afile"), Bytes(1, 0));
    struct Case {
        const char* name;
        BackupStore store;
    };
    Case cases[] = {{"a full disk", BackupStore(dir.File("full"), LocalTimeNow, diskFull)},
                    {"a file in the folder's place", BackupStore(dir.File("afile"))}};
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        VerifyRig rig(SampleRadio());
        ReadBackups backups(rig.form, c.store, {});
        FillForm(rig.form, 0);
        const FormSnapshot before = rig.form.Snapshot();
        const VerifyResult result = rig.Run(&backups);
        EXPECT_EQ(result.status, VerifyResult::Status::Failed);
        EXPECT_EQ(result.step, VerifyStep::ReadBefore);
        EXPECT_TRUE(result.noBackup);
        EXPECT_EQ(rig.radio.ReadsCompleted(), 1);
        EXPECT_EQ(rig.radio.WritesCompleted(), 0);
        const Bytes sent = rig.WrittenBytes();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), QM_PROTO_SET_DOWNLOAD), 0) << "a write began";
        EXPECT_TRUE(rig.form.Snapshot() == before) << FormState(rig.form);
        EXPECT_TRUE(HasUnsavedEdits(rig.form));
        EXPECT_TRUE(rig.prompter.seen.empty());
        const UserMessage told = VerifyMessage(result);
        EXPECT_EQ(told.text, kBackupNeeded);
        EXPECT_EQ(told.icon, MsgIcon::Stop);
        for (const std::string& part : {std::string(texts::kStepReadBeforeLeaves), backups.LastProblem(),
                                        std::string(kBackupFolderFixIntro) + c.store.Folder()})
            EXPECT_NE(told.detail.find(part), std::string::npos) << part << "\n" << told.detail;
    }
}

TEST(CompareWritten, NamesEachRowAndFieldThatCameBackOtherwise) {
    FormSnapshot written;
    written.modeSel = kBandPlanSouthAfrica;
    written.cells = {"27.125", "", "26.9650", "", "", "", "", "", "", "28.0000"};
    written.emgItems = {"CH 03", "CH 05"};
    written.emgSelection = 1;
    written.settings.b_CHcheck[2] = written.settings.b_CHcheck[4] = 1;
    FormSnapshot back = written;
    back.cells[0] = "27.1250";  // the same frequency, written out in full
    back.settings.m_nEmgChannel = 5;
    EXPECT_TRUE(CompareWritten(written, back).empty());

    back.cells[2] = "26.9675";
    back.cells[1] = "27.0000";
    back.settings.m_nEmgChannel = 3;
    back.settings.b_CHcheck[22] = 1;
    EXPECT_EQ(FormatDifferences(CompareWritten(written, back)),
              "P2: written (empty), read back 27.0000\n"
              "P3: written 26.9650, read back 26.9675\n"
              "Emg Channel: written CH 05, read back CH 03\n"
              "CH 23: written off, read back on");

    // A radio on another plan keeps no emergency channel.
    back = written;
    back.modeSel = 0;
    back.settings.m_nEmgChannel = 0;
    EXPECT_EQ(FormatDifferences(CompareWritten(written, back)),
              "Band plan: written South Africa, read back Australian Marine\n"
              "Emg Channel: written CH 05, read back (none)");
    // Other plans have no emergency channel or flags to compare.
    written.modeSel = back.modeSel = 0;
    back.settings.b_CHcheck[22] = 1;
    EXPECT_TRUE(CompareWritten(written, back).empty());
}

}  // namespace
}  // namespace orvex
