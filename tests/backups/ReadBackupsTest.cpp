// A backup of every confirmed read, in virtual time against the simulated
// radio: the very file Save would write, and a read that never fails for
// want of a backup.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "engine/support/EngineRig.h"
#include "files/BackupStore.h"
#include "link/LinkTexts.h"
#include "support/TempDir.h"
#include "ui/model/ReadBackups.h"

namespace orvex {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct Kept {
    TempDir dir;
    BackupStore store{dir.File("backups"), [] { return LocalTime{2026, 12, 9, 23, 1, 2}; }};
    std::vector<std::string> news;
    ReadBackups::Report Report() {
        return [this](const std::string& n) { news.push_back(n); };
    }
};

std::size_t FilesIn(const std::string& folder) {
    std::error_code ec;
    if (!fs::exists(folder, ec)) return 0;
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(ReadBackups, EveryReadKeepsTheFileSaveWritesRightAfterIt) {
    Kept kept;
    SimRig rig;
    ReadBackups backups(rig.form, kept.store, kept.Report());
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    ASSERT_FALSE(backups.LastPath().empty()) << backups.LastProblem();
    EXPECT_EQ(kept.news, std::vector<std::string>{std::string(kBackupKeptNews) + backups.LastPath()});
    // The news comes before the completion message, which it does not replace.
    EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});

    const std::string saved = kept.dir.File("saved.kvx");
    ASSERT_TRUE(Save(rig.form, saved));
    EXPECT_EQ(ReadBytes(backups.LastPath()), ReadBytes(saved));

    // A second read, another backup beside the first.
    const std::string first = backups.LastPath();
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_NE(backups.LastPath(), first);
    EXPECT_EQ(FilesIn(kept.store.Folder()), 2u);
}

TEST(ReadBackups, WritesAbandonedReadsAndReadsTheFormDidNotTakeKeepNothing) {
    Kept kept;
    {
        sim::Faults mute;
        mute.muteAfter = 10;  // silent in the middle of the records
        SimRig rig(sim::SampleMemory(), mute);
        ReadBackups backups(rig.form, kept.store, kept.Report());
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Failed);
    }
    {
        SimRig rig;
        ReadBackups backups(rig.form, kept.store, kept.Report());
        rig.form.SelectModeEntry(0);
        rig.link->OnWriteToRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);

        // A command that takes the read's image for itself keeps its own.
        const FormSnapshot before = rig.form.Snapshot();
        rig.link->TakeReadsWith([](const ReadImage&) {});
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
        EXPECT_TRUE(backups.LastPath().empty());
        EXPECT_TRUE(rig.form.Snapshot() == before);
        EXPECT_TRUE(rig.form.Baseline() == before);

        rig.link->TakeReadsWith({});
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_FALSE(backups.LastPath().empty());
    }
    EXPECT_EQ(kept.news.size(), 1u);
    EXPECT_EQ(FilesIn(kept.store.Folder()), 1u);
}

TEST(ReadBackups, ABackupThatCannotBeWrittenLeavesTheReadWhole) {
    Kept kept;
    WriteBytes(kept.dir.File("backups"), Bytes(1, 0));  // a file where the folder belongs
    WholeFileWriter full = [](const std::string& path, std::span<const std::uint8_t>) {
        return filestore::Result{filestore::Status::WriteFailed, filestore::DescribeError(path, EFBIG)};
    };
    BackupStore onFullDisk(kept.dir.File("other"), [] { return LocalTime{}; }, full);
    for (BackupStore* store : {&kept.store, &onFullDisk}) {
        SCOPED_TRACE(store->Folder());
        kept.news.clear();
        SimRig rig;
        ReadBackups backups(rig.form, *store, kept.Report());
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
        EXPECT_EQ(rig.prompter.Texts(), std::vector<std::string>{std::string(texts::kUploadComplete)});
        EXPECT_EQ(CellText(rig.form, 1), "26.9650");
        EXPECT_TRUE(backups.LastPath().empty());
        ASSERT_EQ(kept.news.size(), 1u);
        EXPECT_EQ(kept.news[0], std::string(kBackupNotKeptNews) + backups.LastProblem());
        EXPECT_NE(backups.LastProblem().find(store->Folder()), std::string::npos) << backups.LastProblem();
    }
}

TEST(ReadBackups, StopsListeningWhenDestroyed) {
    Kept kept;
    SimRig rig;
    { ReadBackups backups(rig.form, kept.store, kept.Report()); }
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    EXPECT_TRUE(kept.news.empty());
}

}  // namespace
}  // namespace orvex
