// Undo and redo of the user's changes to the form: each kind of change, the
// grouping of several calls, the bound, the saved state, and the history
// around transfers, Open, New and Restore Unsaved Edits.
#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "engine/support/EngineRig.h"
#include "engine/support/Samples.h"
#include "support/FormState.h"
#include "support/TempDir.h"
#include "ui/model/ChannelExchange.h"
#include "ui/model/FormTexts.h"
#include "ui/model/RecoveryKeeper.h"
#include "ui/model/RecoveryTexts.h"
#include "ui/model/UndoHistory.h"
#include "ui/model/VerifiedWrite.h"

namespace orvex {
namespace {

using test::SimRig;

// The form as the user sees it, less the status line and the progress bar.
std::string State(const FormModel& form) {
    std::string s = test::FormState(form);
    const std::size_t at = s.find("status=");
    return s.erase(at);  // the progress bar too
}

class UndoTest : public ::testing::Test {
protected:
    UndoTest() { form.StartUp(); }

    // A South Africa file with cells, three boxes and CH 07 chosen.
    std::string SouthAfricaFile() { return test::SaveSample(dir, "sa.kvx", kBandPlanSouthAfrica, {3, 7, 12}); }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    FormModel form{prompter};
};

TEST_F(UndoTest, EachKindOfChangeIsOneStepUndoneAndRedoneExactly) {
    struct Case {
        const char* name;
        std::function<void(FormModel&)> before;
        std::function<void(FormModel&)> change;
    };
    const Case cases[] = {
        {"cell edit", [](FormModel& f) { f.SetCellText(2, "27.0050"); },
         [](FormModel& f) { f.SetCellText(2, "28.1000"); }},
        {"band plan", [](FormModel& f) { test::FillForm(f, 1); }, [](FormModel& f) { f.OnModeSelect(kBandPlanSouthAfrica); }},
        {"channel box on", [](FormModel& f) { f.OnModeSelect(kBandPlanSouthAfrica); },
         [](FormModel& f) { f.ClickChannelBox(9); }},
        {"channel box off", [](FormModel& f) { test::FillForm(f, kBandPlanSouthAfrica, {4, 9}); },
         [](FormModel& f) { f.ClickChannelBox(4); }},
        {"emergency channel", [](FormModel& f) { test::FillForm(f, kBandPlanSouthAfrica, {4, 9, 20}); },
         [](FormModel& f) { f.SelectEmgItem(2); }},
        {"channel import", [](FormModel& f) { test::FillForm(f, 1); },
         [](FormModel& f) {
             ASSERT_TRUE(ImportChannelCsv(f, "Channel,Frequency\nP1,26.965\nP2,\nP3,\nP4,\nP5,\nP6,\nP7,\nP8,\nP9,\n"
                                             "P0,30\n").ok());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        form.New();
        c.before(form);
        const std::string before = State(form);
        c.change(form);
        const std::string after = State(form);
        ASSERT_NE(before, after);
        ASSERT_TRUE(form.History().CanUndo());
        ASSERT_TRUE(form.History().Undo());
        EXPECT_EQ(State(form), before);
        ASSERT_TRUE(form.History().Redo());
        EXPECT_EQ(State(form), after);
        EXPECT_FALSE(form.History().CanRedo());
    }
}

TEST_F(UndoTest, ABandPlanChangeClearsTheTableAndUndoBringsItAllBack) {
    ASSERT_TRUE(form.Open(SouthAfricaFile()));
    const std::string opened = State(form);
    form.OnModeSelect(0);
    EXPECT_EQ(CellText(form, 1), "");
    EXPECT_FALSE(ChannelFlag(form, 7));
    EXPECT_EQ(form.EmgList().Count(), 0);
    EXPECT_TRUE(HasUnsavedEdits(form));

    ASSERT_TRUE(form.History().Undo());
    EXPECT_EQ(State(form), opened);
    EXPECT_TRUE(form.View().SouthAfricaSetupEnabled());
    EXPECT_FALSE(HasUnsavedEdits(form));
    EXPECT_TRUE(form.History().CanUndo());  // the Open itself is the step before
    ASSERT_TRUE(form.History().Redo());
    EXPECT_EQ(CellText(form, 1), "");
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
    EXPECT_TRUE(HasUnsavedEdits(form));
}

TEST_F(UndoTest, OnlyChangesAreRecordedWithinTheBoundAndANewOneEndsTheRedo) {
    form.SetCellText(1, "");
    form.ClickChannelBox(3);  // the section is off for this plan
    form.SelectEmgItem(-1);
    { const FormModel::UserChange nothing(form); }
    EXPECT_FALSE(form.History().CanUndo());

    const int edits = static_cast<int>(kUndoStepLimit) + 5;
    for (int i = 1; i <= edits; ++i) form.SetCellText(1, std::to_string(i));
    ASSERT_TRUE(form.History().Undo());
    form.SetCellText(1, std::to_string(edits - 1));  // the table ends every edit, changed or not
    ASSERT_TRUE(form.History().Redo());
    ASSERT_TRUE(form.History().Undo());
    form.SetCellText(2, "27.1000");
    EXPECT_FALSE(form.History().Redo());
    int undone = 0;
    while (form.History().Undo()) ++undone;
    EXPECT_EQ(undone, static_cast<int>(kUndoStepLimit));
    EXPECT_EQ(CellText(form, 1), "5");
}

TEST_F(UndoTest, CallsInsideOneUserChangeAreOneStepWhateverTheNesting) {
    form.SetCellText(9, "26.5000");
    const std::string before = State(form);
    {
        const FormModel::UserChange paste(form);
        form.SetCellText(1, "27.0000");
        {
            const FormModel::UserChange inner(form);
            form.SetCellText(2, "27.1000");
        }
        EXPECT_FALSE(form.History().Undo());  // not in the middle of a change
        form.SetCellText(3, "27.2000");
    }
    ASSERT_TRUE(form.History().Undo());
    EXPECT_EQ(State(form), before);
}

TEST_F(UndoTest, UndoingBackToTheSavedStateLeavesNothingUnsaved) {
    form.SetCellText(1, "27.0000");
    const std::string saved = dir.File("saved.kvx");
    ASSERT_TRUE(Save(form, saved));
    form.SetCellText(1, "28.0000");
    EXPECT_TRUE(HasUnsavedEdits(form));
    ASSERT_TRUE(form.History().Undo());
    EXPECT_FALSE(HasUnsavedEdits(form));
    ASSERT_TRUE(form.History().Undo());  // Save keeps the history: before the save is unsaved now
    EXPECT_TRUE(HasUnsavedEdits(form));
    ASSERT_TRUE(form.History().Redo());
    EXPECT_FALSE(HasUnsavedEdits(form));
}

TEST_F(UndoTest, GoingBackPastASaveKeepsTheNameTheSaveGaveTheForm) {
    ASSERT_TRUE(form.Open(SouthAfricaFile()));
    ASSERT_NE(form.Caption(), texts::kCaption);
    form.SetCellText(1, "28.0000");
    ASSERT_TRUE(Save(form, dir.File("other.kvx")));
    form.SetCellText(2, "28.1000");
    ASSERT_TRUE(form.History().Undo());
    ASSERT_TRUE(form.History().Undo());
    EXPECT_EQ(form.Caption(), texts::kCaption);
    EXPECT_EQ(CellText(form, 1), test::kSampleChannels[0].text);
    EXPECT_TRUE(HasUnsavedEdits(form));
}

TEST_F(UndoTest, AFailedOpenIsNoStep) {
    form.SetCellText(1, "27.0000");
    const std::string broken = dir.File("broken.kvx");
    test::WriteBytes(broken, test::Bytes(100, 0));
    const std::string edited = State(form);
    EXPECT_FALSE(form.Open(broken));
    EXPECT_FALSE(form.Open(dir.File("missing.kvx")));
    EXPECT_EQ(State(form), edited);
    ASSERT_TRUE(form.History().Undo());
    EXPECT_FALSE(form.History().CanUndo());
}

TEST_F(UndoTest, NothingIsUndoneWhileATransferHasTheFormAndItsStoresAreNoSteps) {
    form.SetCellText(1, "27.0000");
    form.SetCellText(2, "27.1000");
    ASSERT_TRUE(form.History().Undo());
    form.OnModeSelect(kBandPlanSouthAfrica);
    form.ClickChannelBox(4);
    test::TransferStarts(form);
    const std::string locked = State(form);
    EXPECT_FALSE(form.History().CanUndo());
    EXPECT_FALSE(form.History().CanRedo());
    EXPECT_FALSE(form.History().Undo());
    EXPECT_FALSE(form.History().Redo());
    // The form's own controls change nothing either: no step to take back later.
    form.ClickChannelBox(5);
    form.SelectEmgItem(0);
    EXPECT_EQ(State(form), locked);
    test::TransferEnds(form);
    ASSERT_TRUE(form.History().Undo());  // the box ticked before the transfer, not after
    EXPECT_FALSE(ChannelFlag(form, 4));
    ASSERT_TRUE(form.History().Undo());
    ASSERT_TRUE(form.History().Undo());
    EXPECT_EQ(CellText(form, 1), "");

    // Nor while a write that has disabled the band section is opening the port.
    form.SetCellText(1, "27.0000");
    ASSERT_TRUE(test::LinkSide(form).MayWrite());
    EXPECT_FALSE(form.History().Undo());
    test::TransferEnds(form);
    EXPECT_TRUE(form.History().Undo());
}

// New, Open and a completed read replace the form without a question:
// each is one step that brings back the form exactly, saved or not, and
// unsaved edits they replaced are also kept for Restore Unsaved Edits.
TEST(UndoAroundTransfers, NewOpenAndAReadAreOneStepAndSetUnsavedEditsAside) {
    test::TempDir dir;
    const std::string file = test::SaveSample(dir, "sa.kvx", kBandPlanSouthAfrica, {3, 7, 12});
    struct Case {
        const char* name;
        bool edited;  // the form has unsaved edits when it is replaced
        std::function<bool(SimRig&)> replace;
    };
    const auto read = [](SimRig& rig) {
        rig.link->OnReadFromRadio();
        return rig.RunUntilSettled() && rig.link->Outcome() == TransferOutcome::Completed;
    };
    const Case cases[] = {
        {"New", true, [](SimRig& rig) { return rig.form.New(); }},
        {"Open", true, [&](SimRig& rig) { return rig.form.Open(file); }},
        {"read", true, read},
        {"read of a saved form", false, read},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(test::SampleRadio());
        RecoveryKeeper keeper(rig.form, rig.loop, dir.File(std::string("recovery-") + c.name), RecoverySession{"s.orvexrec"});
        test::FillForm(rig.form, 1);
        ASSERT_TRUE(Save(rig.form, dir.File("saved.kvx")));
        if (c.edited) rig.form.SetCellText(2, "28.1000");
        const std::string before = State(rig.form);
        ASSERT_TRUE(c.replace(rig));
        const std::string after = State(rig.form);
        ASSERT_NE(after, before);
        EXPECT_FALSE(HasUnsavedEdits(rig.form));
        EXPECT_EQ(keeper.Pending().has_value(), c.edited);
        if (c.edited && c.name != std::string("read")) {  // a read's news is its backup's
            EXPECT_EQ(rig.form.View().StatusText(), texts::kRecoveryReplacedKept);
        }

        ASSERT_TRUE(rig.form.History().Undo());
        EXPECT_EQ(State(rig.form), before);
        EXPECT_EQ(HasUnsavedEdits(rig.form), c.edited);
        EXPECT_FALSE(keeper.Pending());  // the form holds them again
        ASSERT_TRUE(rig.form.History().Redo());
        EXPECT_EQ(State(rig.form), after);
        EXPECT_FALSE(HasUnsavedEdits(rig.form));
        EXPECT_EQ(keeper.Pending().has_value(), c.edited);
        if (!c.edited) continue;
        // Also once the history is gone: the kept file brings the edits
        // back, and is then no longer offered, nor left behind once saved.
        ASSERT_TRUE(keeper.RestorePending());
        EXPECT_EQ(State(rig.form), before);
        EXPECT_FALSE(keeper.Pending());
        ASSERT_TRUE(Save(rig.form, dir.File("saved.kvx")));
        rig.loop.RunFor(RecoveryKeeper::kLatestMs);
        for (const auto& left : std::filesystem::directory_iterator(dir.File(std::string("recovery-") + c.name)))
            EXPECT_NE(left.path().extension(), ".orvexrec") << left.path();  // the session's lock stays
    }

    // A failed read leaves the form and its history as they were.
    SimRig silent(test::SampleRadio(), test::Fault("silent"));
    silent.form.SetCellText(1, "27.0000");
    silent.link->OnReadFromRadio();
    ASSERT_TRUE(silent.RunUntilSettled());
    ASSERT_NE(silent.link->Outcome(), TransferOutcome::Completed);
    ASSERT_TRUE(silent.form.History().Undo());
    EXPECT_EQ(CellText(silent.form, 1), "");
    EXPECT_FALSE(silent.form.History().CanUndo());
}

// Its reads give the form back as the user had it: they are no new start.
TEST(UndoAroundTransfers, WriteAndVerifyKeepsTheHistory) {
    SimRig rig(test::SampleRadio());
    test::FillForm(rig.form, 0);
    rig.form.SetCellText(5, "29.0000");
    VerifiedWrite verify(rig.form, *rig.link, nullptr);
    std::optional<VerifyResult> result;
    ASSERT_TRUE(verify.Start([&](const VerifyResult& r) { result = r; }));
    // Not between its steps either, when the table is the user's to see.
    ASSERT_TRUE(rig.loop.RunUntil([&] { return rig.radio.ReadsCompleted() == 1 && !rig.form.View().IsTableLocked(); }, 60000));
    EXPECT_FALSE(rig.form.History().CanUndo());
    ASSERT_TRUE(rig.loop.RunUntil([&] { return result.has_value(); }, 60000));
    ASSERT_EQ(result->status, VerifyResult::Status::Verified) << result->failure;
    ASSERT_TRUE(rig.form.History().Undo());
    EXPECT_EQ(CellText(rig.form, 5), test::kSampleChannels[4].text);
}

TEST(UndoAroundTransfers, RestoringUnsavedEditsIsOneStep) {
    test::TempDir dir;
    const std::string folder = dir.File("recovery");
    SimRig earlier;
    auto first = std::make_unique<RecoveryKeeper>(earlier.form, earlier.loop, folder, RecoverySession{"a.orvexrec"});
    earlier.form.SetCellText(4, "28.0000");
    earlier.loop.RunFor(RecoveryKeeper::kLatestMs);
    first.reset();

    SimRig later;
    RecoveryKeeper second(later.form, later.loop, folder, RecoverySession{"b.orvexrec"});
    const std::string own = State(later.form);
    ASSERT_TRUE(second.RestorePending());
    EXPECT_EQ(CellText(later.form, 4), "28.0000");
    ASSERT_TRUE(later.form.History().Undo());
    EXPECT_EQ(State(later.form), own);
    EXPECT_FALSE(HasUnsavedEdits(later.form));
}

}  // namespace
}  // namespace orvex
