#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <memory>
#include <set>

#include "engine/support/EngineRig.h"
#include "support/FormState.h"
#include "support/TempDir.h"
#include "ui/model/FormTexts.h"
#include "ui/model/RecoveryFile.h"
#include "ui/model/RecoveryKeeper.h"
#include "ui/model/RecoveryTexts.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using test::SimRig;

// Every status line the form showed.
struct StatusLog : IFormObserver {
    explicit StatusLog(FormModel& form) : form(form) { form.AddObserver(this); }
    ~StatusLog() override { form.RemoveObserver(this); }
    void OnFormChanged(unsigned changes) override {
        if (changes & kChangeStatus) texts.push_back(form.View().StatusText());
    }
    int CountStartingWith(std::string_view prefix) const {
        int n = 0;
        for (const std::string& t : texts) n += t.starts_with(prefix);
        return n;
    }
    FormModel& form;
    std::vector<std::string> texts;
};

// Passes timers on to a loop and knows which of them are still due.
struct TimerLedger : IEventLoop {
    explicit TimerLedger(IEventLoop& loop) : loop(loop) {}
    void Post(Callback fn) override { loop.Post(std::move(fn)); }
    TimerId StartTimer(int ms, Callback fn) override {
        auto id = std::make_shared<TimerId>();
        *id = loop.StartTimer(ms, [this, id, fn = std::move(fn)] {
            due.erase(*id);
            fn();
        });
        due.insert(*id);
        return *id;
    }
    void CancelTimer(TimerId id) override {
        due.erase(id);
        loop.CancelTimer(id);
    }
    std::int64_t NowMs() const override { return loop.NowMs(); }
    IEventLoop& loop;
    std::set<TimerId> due;
};

std::string WithoutStatus(std::string state) {
    const std::size_t at = state.find("status=");
    return state.erase(at, state.find('\n', at) - at);
}

class RecoveryKeeperTest : public ::testing::Test {
protected:
    std::unique_ptr<RecoveryKeeper> Keeper(SimRig& rig, const std::string& name = "session-a.orvexrec") {
        return std::make_unique<RecoveryKeeper>(rig.form, rig.loop, folder, RecoverySession{name});
    }
    bool Kept(const RecoveryKeeper& k) const { return test::Exists(k.FilePath()); }

    test::TempDir dir;
    std::string folder = dir.File("recovery");
    SimRig rig;
};

TEST_F(RecoveryKeeperTest, KeepsABurstOfEditsWithinASecondOfItsFirst) {
    auto keeper = Keeper(rig);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            rig.loop.RunFor(300);
            EXPECT_FALSE(Kept(*keeper)) << "before edit " << i;
        }
        rig.form.SetCellText(1, "27.0" + std::to_string(i));
    }
    rig.loop.RunFor(100);
    ASSERT_TRUE(Kept(*keeper));  // one second after the burst began
    const recovery::Decoded kept = recovery::ReadFile(keeper->FilePath());
    ASSERT_TRUE(kept.ok) << kept.reason;
    EXPECT_TRUE(kept.state == rig.form.Snapshot());
}

TEST_F(RecoveryKeeperTest, FileGoesWhenTheFormMatchesASavedStateAgain) {
    auto keeper = Keeper(rig);
    const std::string saved = dir.File("saved.kvx");
    int edits = 0;
    auto edit = [&] {
        rig.form.SetCellText(2, "27." + std::to_string(++edits) + "000");
        rig.loop.RunFor(RecoveryKeeper::kLatestMs);
        return Kept(*keeper);
    };
    const std::vector<std::pair<const char*, std::function<void()>>> back = {
        {"typed back", [&] { rig.form.SetCellText(2, rig.form.Baseline().cells[1]); }},
        {"save", [&] { ASSERT_TRUE(Save(rig.form, saved)); }},
        {"new", [&] { rig.form.New(); }},
        {"open", [&] { ASSERT_TRUE(rig.form.Open(saved)); }},
        {"read", [&] {
             rig.link->OnReadFromRadio();
             ASSERT_TRUE(rig.RunUntilSettled());
         }},
        {"write", [&] {
             rig.link->OnWriteToRadio();
             ASSERT_TRUE(rig.RunUntilSettled());
         }},
    };
    for (const auto& [name, undo] : back) {
        ASSERT_TRUE(edit()) << name;
        undo();
        rig.loop.RunFor(RecoveryKeeper::kLatestMs);
        EXPECT_FALSE(HasUnsavedEdits(rig.form)) << name;
        EXPECT_FALSE(Kept(*keeper)) << name;
    }
}

TEST_F(RecoveryKeeperTest, NeverWritesWhileATransferRuns) {
    auto keeper = Keeper(rig);
    rig.form.SetCellText(3, "27.1000");
    rig.loop.RunFor(RecoveryKeeper::kLatestMs);
    const test::Bytes before = test::ReadBytes(keeper->FilePath());
    ASSERT_FALSE(before.empty());

    rig.link->OnReadFromRadio();
    bool sawLock = false;
    bool changedWhileLocked = false;
    rig.loop.RunUntil([&] {
        if (rig.form.View().IsTableLocked()) {
            sawLock = true;
            changedWhileLocked |= test::ReadBytes(keeper->FilePath()) != before;
        }
        return !rig.link->Activity().Busy() && !rig.link->Activity().watchdogRunning;
    }, 60000);
    EXPECT_TRUE(sawLock);
    EXPECT_FALSE(changedWhileLocked);
    rig.loop.RunFor(RecoveryKeeper::kLatestMs);
    EXPECT_FALSE(Kept(*keeper));  // the read is the saved state now
}

TEST_F(RecoveryKeeperTest, AnUnwritableFolderIsSaidOnceAndTriedAgainQuietly) {
    test::WriteBytes(folder, {'x'});  // a file where the folder should be
    StatusLog status(rig.form);
    auto keeper = Keeper(rig);
    for (int i = 0; i < 5; ++i) {
        rig.form.SetCellText(1 + i, "27.2000");
        rig.loop.RunFor(3 * RecoveryKeeper::kRetryMs);
    }
    EXPECT_EQ(status.CountStartingWith(texts::kRecoveryNotKept), 1);
    EXPECT_NE(status.texts.front().find(folder), std::string::npos) << status.texts.front();
    EXPECT_EQ(CellText(rig.form, 5), "27.2000");
    // Where a command's news gives way, the warning comes back.
    ASSERT_TRUE(rig.form.History().Undo());
    EXPECT_TRUE(rig.form.View().StatusText().starts_with(texts::kRecoveryNotKept)) << rig.form.View().StatusText();
    ASSERT_TRUE(rig.form.History().Redo());
    const int said = status.CountStartingWith(texts::kRecoveryNotKept);

    fs::remove(folder);
    rig.loop.RunFor(RecoveryKeeper::kRetryMs);
    EXPECT_TRUE(Kept(*keeper));
    EXPECT_EQ(status.CountStartingWith(texts::kRecoveryNotKept), said);
    ASSERT_TRUE(rig.form.History().Undo());
    EXPECT_EQ(rig.form.View().StatusText(), texts::kTotalRangeHint);
}

TEST_F(RecoveryKeeperTest, ClosingKeepsUnsavedEditsOnlyAndNeverAsks) {
    auto keeper = Keeper(rig);
    const std::string path = keeper->FilePath();
    rig.form.SetCellText(1, "27.3000");
    keeper.reset();  // before the debounce ran out
    EXPECT_TRUE(test::Exists(path));
    EXPECT_TRUE(rig.prompter.shown.empty());

    keeper = Keeper(rig);
    rig.form.SetCellText(1, rig.form.Baseline().cells[0]);
    keeper.reset();
    EXPECT_FALSE(test::Exists(path));
}

TEST_F(RecoveryKeeperTest, ClosingWithAFailingWriteLeavesNothingOnTheLoop) {
    test::WriteBytes(folder, {'x'});  // every write fails
    TimerLedger ledger(rig.loop);
    auto keeper = std::make_unique<RecoveryKeeper>(rig.form, ledger, folder, RecoverySession{"session-a.orvexrec"});
    rig.form.SetCellText(1, "27.3000");
    keeper.reset();  // the last keep fails too
    EXPECT_TRUE(ledger.due.empty()) << "a timer of the closed keeper would still run";
}

TEST_F(RecoveryKeeperTest, ANewSessionBringsBackTheEditsExactly) {
    auto first = Keeper(rig, "session-1.orvexrec");
    rig.form.OnModeSelect(kBandPlanSouthAfrica);
    for (int n : {1, 4, 17}) rig.form.ClickChannelBox(n);
    rig.form.SelectEmgItem(1);
    rig.form.SetCellText(6, "27.");
    rig.form.SetCellText(7, "");
    const std::string leftBehind = first->FilePath();
    const std::string expected = WithoutStatus(test::FormState(rig.form));
    first.reset();

    SimRig later;
    RecoveryKeeper second(later.form, later.loop, folder, RecoverySession{"session-2.orvexrec"});
    ASSERT_TRUE(second.Pending());
    EXPECT_EQ(second.Pending()->path, leftBehind);
    EXPECT_TRUE(second.AnnouncePending());
    EXPECT_FALSE(second.AnnouncePending());
    EXPECT_EQ(later.form.View().StatusText(), PendingRecoveryText(*second.Pending()));
    ASSERT_TRUE(later.form.New());  // as an Open from the command line would, right after start
    EXPECT_EQ(later.form.View().StatusText(), PendingRecoveryText(*second.Pending()));

    const test::Bytes pendingBytes = test::ReadBytes(leftBehind);
    later.form.SetCellText(1, "29.0000");  // edits of its own first
    const std::string own = WithoutStatus(test::FormState(later.form));
    later.loop.RunFor(RecoveryKeeper::kLatestMs);
    EXPECT_EQ(test::ReadBytes(leftBehind), pendingBytes);

    ASSERT_TRUE(second.RestorePending());
    EXPECT_EQ(WithoutStatus(test::FormState(later.form)), expected);
    EXPECT_FALSE(test::Exists(leftBehind));
    EXPECT_TRUE(later.prompter.shown.empty());
    const recovery::Decoded ours = recovery::ReadFile(second.FilePath());
    ASSERT_TRUE(ours.ok) << ours.reason;
    EXPECT_TRUE(ours.state == later.form.Snapshot());

    // The edits the restore replaced are offered next, and come back the same way.
    ASSERT_TRUE(second.Pending());
    EXPECT_EQ(later.form.View().StatusText(), texts::kRecoveryKeptAside);
    const std::string aside = second.Pending()->path;
    ASSERT_TRUE(second.RestorePending());
    EXPECT_EQ(WithoutStatus(test::FormState(later.form)), own);
    EXPECT_FALSE(test::Exists(aside));
    ASSERT_TRUE(second.Pending());
    EXPECT_TRUE(recovery::ReadFile(second.Pending()->path).state == ours.state);
    // Another session cannot take what this one set aside while it runs.
    SimRig third;
    EXPECT_FALSE(RecoveryKeeper(third.form, third.loop, folder, RecoverySession{"session-3.orvexrec"}).Pending());
}

TEST_F(RecoveryKeeperTest, OnlyReadableFilesAreOfferedTheRestNamedOnceAndLeftAlone) {
    fs::create_directories(folder);
    FormSnapshot older = rig.form.Snapshot();
    older.cells[0] = "26.9650";
    const std::string olderPath = (fs::path(folder) / "session-old.orvexrec").string();
    ASSERT_TRUE(recovery::WriteFile(olderPath, older).ok());
    fs::last_write_time(olderPath, fs::last_write_time(olderPath) - std::chrono::hours(1));
    const std::string damagedPath = (fs::path(folder) / "session-new.orvexrec").string();
    std::string damaged = recovery::Encode(older);
    damaged[damaged.find("26.9650")] = '3';
    test::WriteBytes(damagedPath, test::Bytes(damaged.begin(), damaged.end()));

    auto keeper = Keeper(rig);
    ASSERT_EQ(keeper->Pending()->path, olderPath);
    EXPECT_EQ(keeper->Unreadable(), std::vector<std::string>{damagedPath + ": damaged (checksum)"});
    ASSERT_TRUE(keeper->AnnouncePending());
    EXPECT_NE(rig.form.View().StatusText().find(PendingRecoveryText(*keeper->Pending())), std::string::npos);
    EXPECT_NE(rig.form.View().StatusText().find(damagedPath + ": damaged (checksum)"), std::string::npos);

    // Gone bad after the start: refused when asked for, and left as it is.
    const test::Bytes cut(damaged.begin(), damaged.begin() + 40);
    test::WriteBytes(olderPath, cut);
    fs::last_write_time(olderPath, fs::last_write_time(damagedPath) - std::chrono::hours(1));
    EXPECT_FALSE(keeper->RestorePending());
    ASSERT_EQ(rig.prompter.shown.size(), 1u);
    EXPECT_EQ(rig.prompter.shown[0].text, texts::kRecoveryRefused);
    EXPECT_EQ(rig.prompter.shown[0].detail, olderPath + ": cut short");
    EXPECT_EQ(rig.prompter.shown[0].icon, MsgIcon::Stop);
    EXPECT_FALSE(keeper->Pending());
    EXPECT_EQ(rig.form.View().StatusText(), texts::kTotalRangeHint);
    keeper.reset();
    EXPECT_EQ(test::ReadBytes(damagedPath), test::Bytes(damaged.begin(), damaged.end()));
    EXPECT_EQ(test::ReadBytes(olderPath), cut);

    // With nothing to offer, the unreadable file is still named once.
    SimRig later;
    RecoveryKeeper again(later.form, later.loop, folder, RecoverySession{"session-b.orvexrec"});
    EXPECT_FALSE(again.Pending());
    EXPECT_TRUE(again.AnnouncePending());
    EXPECT_EQ(later.form.View().StatusText(), std::string(texts::kRecoveryUnreadable) + damagedPath +
                                           ": damaged (checksum) (and 1 more)");
}

TEST_F(RecoveryKeeperTest, ARunningSessionsFileIsNeverTakenByAnother) {
    auto first = Keeper(rig, "session-a.orvexrec");
    rig.form.SetCellText(1, "26.5000");
    rig.loop.RunFor(RecoveryKeeper::kLatestMs);
    ASSERT_TRUE(Kept(*first));

    SimRig other;
    RecoveryKeeper second(other.form, other.loop, folder, RecoverySession{"session-b.orvexrec"});
    EXPECT_FALSE(second.Pending());
    EXPECT_TRUE(second.Unreadable().empty());
#ifndef _WIN32
    // Nor by another process (on Windows the lock's own tests start a second process).
    const pid_t child = fork();
    if (child == 0) {
        SimRig elsewhere;
        RecoveryKeeper third(elsewhere.form, elsewhere.loop, folder, RecoverySession{"session-c.orvexrec"});
        _exit(third.Pending() ? 1 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child was offered a live session's file";
#endif

    // Once it has ended, its edits are left behind for the next start.
    const std::string path = first->FilePath();
    first.reset();
    SimRig last;
    RecoveryKeeper fourth(last.form, last.loop, folder, RecoverySession{"session-d.orvexrec"});
    ASSERT_TRUE(fourth.Pending());
    EXPECT_EQ(fourth.Pending()->path, path);
    ASSERT_TRUE(fourth.RestorePending());
    EXPECT_EQ(std::vector<std::string>{fs::path(fourth.FilePath()).filename().string()},
              [&] {
                  last.loop.RunFor(RecoveryKeeper::kLatestMs);
                  std::vector<std::string> names;
                  for (const auto& e : fs::directory_iterator(folder))
                      if (e.path().extension() == ".orvexrec") names.push_back(e.path().filename().string());
                  return names;
              }());
}

}  // namespace
}  // namespace orvex
