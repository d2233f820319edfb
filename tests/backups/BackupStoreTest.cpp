// The backup folder: names that sort by time and never overwrite, the
// newest kept, other files left alone, and every failure told with its
// reason rather than thrown or lost.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "files/BackupStore.h"
#include "files/UserFolders.h"
#include "support/ChildProcess.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvex {
namespace {

using namespace test;
namespace fs = std::filesystem;

#ifdef _WIN32
const std::string kSep = "\\";
constexpr int kDiskFull = ERROR_DISK_FULL;  // a GetLastError() code there
#else
const std::string kSep = "/";
constexpr int kDiskFull = ENOSPC;
#endif

LocalTime At(int hour, int minute, int second) { return {2026, 12, 9, hour, minute, second}; }

// A clock that stays where the test puts it.
struct FakeClock {
    LocalTime now = At(22, 55, 7);
    LocalClock Fn() {
        return [this] { return now; };
    }
};

kvx::KvxValues Values(std::uint16_t firstCode, std::uint8_t plan) {
    kvx::KvxValues v{};
    for (auto& r : v.records) r.m_wFreq = 0xFFFF;
    v.records[0].m_wFreq = firstCode;
    v.bandPlan = plan;
    return v;
}

std::string Name(const std::string& path) { return fs::path(path).filename().string(); }

TEST(BackupStore, NamesByLocalTimeAndNeverOverwritesWithinASecond) {
    TempDir dir;
    FakeClock clock;
    BackupStore store(dir.File("data/orvex/backups"), clock.Fn());  // parents are made too
    const Outcome<std::string> a = store.Keep(Values(10786, 0));
    const Outcome<std::string> b = store.Keep(Values(10800, 1));
    const Outcome<std::string> c = store.Keep(Values(10820, 2));
    ASSERT_TRUE(a.ok() && b.ok() && c.ok()) << a.problem() << b.problem() << c.problem();
    EXPECT_EQ(Name(a.value()), "2026-12-09_22-55-07.kvx");
    EXPECT_EQ(Name(b.value()), "2026-12-09_22-55-07_2.kvx");
    EXPECT_EQ(Name(c.value()), "2026-12-09_22-55-07_3.kvx");
    // Each holds the image of its own values, nothing else.
    const kvx::KvxImage image = kvx::EncodeKvx(Values(10800, 1));
    EXPECT_EQ(ReadBytes(b.value()), Bytes(image.bytes().begin(), image.bytes().end()));
    // No temporary file stays beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(store.Folder()), fs::directory_iterator()), 3);
}

TEST(BackupStore, AnotherProgramKeepingOneInTheSameSecondCostsNeitherBackup) {
    TempDir dir;
    FakeClock clock;
    BackupStore other(dir.File("backups"), clock.Fn());
    Outcome<std::string> theirs = Problem{};
    // The other program's backup lands while ours is still being written.
    WholeFileWriter racing = [&](const std::string& path, std::span<const std::uint8_t> bytes) {
        theirs = other.Keep(Values(12000, 4));
        return filestore::ReplaceWholeFile(path, bytes);
    };
    BackupStore mine(dir.File("backups"), clock.Fn(), racing);
    const Outcome<std::string> ours = mine.Keep(Values(10786, 0));
    ASSERT_TRUE(ours.ok() && theirs.ok()) << ours.problem() << theirs.problem();
    EXPECT_EQ(Name(theirs.value()), "2026-12-09_22-55-07.kvx");
    EXPECT_EQ(Name(ours.value()), "2026-12-09_22-55-07_2.kvx");
    const kvx::KvxImage a = kvx::EncodeKvx(Values(12000, 4)), b = kvx::EncodeKvx(Values(10786, 0));
    EXPECT_EQ(ReadBytes(theirs.value()), Bytes(a.bytes().begin(), a.bytes().end()));
    EXPECT_EQ(ReadBytes(ours.value()), Bytes(b.bytes().begin(), b.bytes().end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(mine.Folder()), fs::directory_iterator()), 2);
}

TEST(BackupStore, ListsNewestFirstWithABrokenFileNamedNotDropped) {
    TempDir dir;
    FakeClock clock;
    BackupStore store(dir.File("backups"), clock.Fn());
    EXPECT_TRUE(store.List().value().empty());  // no folder yet: nothing, and no problem
    EXPECT_TRUE(store.List().ok());
    clock.now = At(9, 0, 0);
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(store.Keep(Values(10400 + 4 * i, 3)).ok());  // up to _10
    clock.now = At(10, 0, 0);
    ASSERT_TRUE(store.Keep(Values(12000, 4)).ok());
    WriteBytes(dir.File("backups/2026-12-09_09-30-00.kvx"), Bytes(100, 0x41));  // cut short
    WriteBytes(dir.File("backups/notes.txt"), Bytes(3, 0x41));

    const BackupListing listing = store.List();
    ASSERT_TRUE(listing.ok()) << listing.problem();
    ASSERT_EQ(listing.value().size(), 12u);
    EXPECT_EQ(listing.value()[0].time, "2026-12-09 10:00:00");
    EXPECT_EQ(listing.value()[0].bandPlanName, "New Guinea Marine");
    EXPECT_EQ(listing.value()[0].frequencies[0], "30.0000");
    EXPECT_EQ(listing.value()[0].frequencies[1], "");
    EXPECT_EQ(listing.value()[1].name, "2026-12-09_09-30-00.kvx");
    EXPECT_TRUE(listing.value()[1].problem.has_value());
    // _10 is newer than _9 and _2, though it sorts before them as text.
    EXPECT_EQ(listing.value()[2].name, "2026-12-09_09-00-00_10.kvx");
    EXPECT_EQ(listing.value()[2].frequencies[0], "26.0900");
    EXPECT_EQ(listing.value()[3].name, "2026-12-09_09-00-00_9.kvx");
    EXPECT_EQ(listing.value()[11].name, "2026-12-09_09-00-00.kvx");
    EXPECT_EQ(listing.value()[11].bandPlan, 3);
    EXPECT_EQ(listing.value()[11].frequencies[0], "26.0000");
}

TEST(BackupStore, KeepsTheNewestAndLeavesOtherFilesAlone) {
    TempDir dir;
    FakeClock clock;
    BackupStore store(dir.File("backups"), clock.Fn());
    fs::create_directories(store.Folder());
    // Older backups than the one to come, laid down directly: a day's worth
    // of seconds is plenty of distinct names.
    const std::size_t existing = kBackupsKept + 2;
    for (std::size_t i = 0; i < existing; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "2026-12-08_%02zu-%02zu-%02zu.kvx", i / 3600, (i / 60) % 60, i % 60);
        WriteBytes(dir.File("backups/" + std::string(name)), Bytes(2048, 0));
    }
    for (const char* foreign : {"mine.kvx", "2026-12-08_00-00-00.kvx.bak", "2026-12-08_00-00-00_1.kvx",
                                "2026-12-08_00-00-00_02.kvx", "2026-12-08_0a-00-00.kvx"})
        WriteBytes(dir.File(std::string("backups/") + foreign), Bytes(1, 0));

    const Outcome<std::string> kept = store.Keep(Values(10786, 0));
    ASSERT_TRUE(kept.ok()) << kept.problem();
    const BackupListing listing = store.List();
    ASSERT_EQ(listing.value().size(), kBackupsKept);
    EXPECT_EQ(listing.value().front().path, kept.value());
    // The three oldest went.
    EXPECT_EQ(listing.value().back().name, "2026-12-08_00-00-03.kvx");
    for (const char* gone : {"2026-12-08_00-00-00.kvx", "2026-12-08_00-00-01.kvx", "2026-12-08_00-00-02.kvx"})
        EXPECT_FALSE(Exists(dir.File(std::string("backups/") + gone))) << gone;
    for (const char* foreign : {"mine.kvx", "2026-12-08_00-00-00.kvx.bak", "2026-12-08_00-00-00_1.kvx",
                                "2026-12-08_00-00-00_02.kvx", "2026-12-08_0a-00-00.kvx"})
        EXPECT_TRUE(Exists(dir.File(std::string("backups/") + foreign))) << foreign;
}

Bytes ImageOf(const kvx::KvxValues& values) {
    const kvx::KvxImage image = kvx::EncodeKvx(values);
    return Bytes(image.bytes().begin(), image.bytes().end());
}

void Age(const std::string& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(3));
}

TEST(BackupStore, EveryNewNameIsFlushedWithTheFolderBeforeTheBackupIsReported) {
    TempDir dir;
    FakeClock clock;
    std::vector<std::vector<std::string>> seen;  // the folder's names at each flush
    FolderSync sync = [&](const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        seen.push_back(names);
    };
    BackupStore store(dir.File("backups"), clock.Fn(), filestore::ReplaceWholeFile, sync);
    ASSERT_TRUE(store.Keep(Values(10786, 0)).ok());
    ASSERT_TRUE(store.Keep(Values(10800, 0)).ok());
    // Flushed once the passing name was gone, not before the backup had its own.
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], std::vector<std::string>{"2026-12-09_22-55-07.kvx"});
    EXPECT_EQ(seen[1], (std::vector<std::string>{"2026-12-09_22-55-07.kvx", "2026-12-09_22-55-07_2.kvx"}));
}

TEST(BackupStore, WhatADeadProgramLeftIsPublishedOrTidiedAndWhatIsInUseStays) {
    TempDir dir;
    FakeClock clock;
    BackupStore store(dir.File("backups"), clock.Fn());
    fs::create_directories(store.Folder());
    const auto in = [&](const std::string& name) { return dir.File("backups/" + name); };
    // Complete, but its program died before naming it (or the power went
    // before the new name reached the disk).
    const std::string lost = in(".pending-2026-12-09_20-00-00-0123456789abcdef.kvx");
    WriteBytes(lost, ImageOf(Values(12000, 4)));
    // Named, but the passing name had not gone yet.
    const std::string named = in("2026-12-09_21-00-00.kvx");
    const std::string twin = in(".pending-2026-12-09_21-00-00-00000000ffffffff.kvx");
    WriteBytes(named, ImageOf(Values(10800, 1)));
    fs::create_hard_link(named, twin);
    // Half-written by the safe writer on either platform.
    const std::string halfPosix = in("..pending-2026-12-09_20-10-00-0123456789abcdef.kvx.Ab12Cd");
    const std::string halfWin = in("..pending-2026-12-09_20-10-00-0123456789abcdef.kvx.4242-171.tmp");
    WriteBytes(halfPosix, Bytes(10, 0));
    WriteBytes(halfWin, Bytes(10, 0));
    // Still being written or named by a running program.
    const std::string busy = in(".pending-2026-12-09_22-55-07-fedcba9876543210.kvx");
    const std::string busyHalf = in("..pending-2026-12-09_22-55-07-fedcba9876543210.kvx.Zz9876");
    WriteBytes(busy, Bytes(100, 0));
    WriteBytes(busyHalf, Bytes(100, 0));
    const std::string foreign = in(".pending-notes.kvx");
    WriteBytes(foreign, Bytes(1, 0));
    for (const std::string& old : {lost, named, halfPosix, halfWin, foreign}) Age(old);

    ASSERT_TRUE(store.Keep(Values(10786, 0)).ok());
    for (const std::string& gone : {lost, twin, halfPosix, halfWin}) EXPECT_FALSE(Exists(gone)) << gone;
    for (const std::string& kept : {busy, busyHalf, foreign}) EXPECT_TRUE(Exists(kept)) << kept;
    EXPECT_EQ(ReadBytes(in("2026-12-09_20-00-00.kvx")), ImageOf(Values(12000, 4)));
    EXPECT_EQ(ReadBytes(named), ImageOf(Values(10800, 1)));
    const BackupListing listing = store.List();
    ASSERT_EQ(listing.value().size(), 3u);  // the new one, the named one once, the lost one
    EXPECT_EQ(listing.value()[1].name, "2026-12-09_21-00-00.kvx");
    EXPECT_EQ(listing.value()[2].name, "2026-12-09_20-00-00.kvx");
}

TEST(BackupStore, NamesStopAtTheLastOneTheListingReads) {
    using detail::BackupName;
    using detail::kMaxSequence;
    const std::string stamp = "2026-12-09_22-55-07";
    std::string parsedStamp;
    for (const int sequence : {1, 2, 10, kMaxSequence}) {
        int parsed = 0;
        const std::string name = BackupName(stamp, sequence);
        EXPECT_TRUE(detail::ParseBackupName(name, parsedStamp, parsed)) << name;
        EXPECT_EQ(parsed, sequence);
        EXPECT_EQ(parsedStamp, stamp);
    }
    EXPECT_EQ(BackupName(stamp, kMaxSequence + 1), "");
    int parsed = 0;
    EXPECT_FALSE(detail::ParseBackupName(stamp + "_" + std::to_string(kMaxSequence + 1) + ".kvx", parsedStamp, parsed));
}

#ifndef _WIN32
TEST(BackupStore, ANameThatCannotBeLookedAtFailsWithItsReasonInsteadOfSearchingOn) {
    TempDir dir;
    const std::string folder = dir.File("backups");
    fs::create_directories(folder);
    const Unprivileged user;
    user.Own(dir.Path());
    // Once the backup is written, the folder can no longer be searched: every
    // name in it is then neither free nor taken.
    WholeFileWriter locking = [&](const std::string& path, std::span<const std::uint8_t> bytes) {
        const filestore::Result r = filestore::ReplaceWholeFile(path, bytes);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
        return r;
    };
    // Unprivileged, as root searches any folder; in a child, as a search
    // that never ends must not hang the suite.
    const std::string seen = RunUnprivileged([&] {
        FakeClock clock;
        const Outcome<std::string> r = BackupStore(folder, clock.Fn(), locking).Keep(Values(10786, 0));
        std::printf("%d|%s\n", r.ok() ? 1 : 0, (r.ok() ? "" : r.problem().Text().c_str()));
        return 0;
    });
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    EXPECT_EQ(seen, "0|" + folder + "/2026-12-09_22-55-07.kvx: Permission denied\nexit 0") << seen;
}
#endif

TEST(BackupStore, AClockSetBackNeverCostsTheNewestBackup) {
    TempDir dir;
    FakeClock clock;
    BackupStore store(dir.File("backups"), clock.Fn());
    fs::create_directories(store.Folder());
    for (std::size_t i = 0; i < kBackupsKept; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "2026-12-10_%02zu-%02zu-%02zu.kvx", i / 3600, (i / 60) % 60, i % 60);
        WriteBytes(dir.File("backups/" + std::string(name)), Bytes(2048, 0));
    }
    const Outcome<std::string> kept = store.Keep(Values(10786, 0));  // a day earlier than all of them
    ASSERT_TRUE(kept.ok()) << kept.problem();
    EXPECT_TRUE(Exists(kept.value()));
}

TEST(BackupStore, FailuresSayWhyWithTheFolderAndTheFix) {
    TempDir dir;
    FakeClock clock;
    {
        WriteBytes(dir.File("afile"), Bytes(1, 0));
        BackupStore store(dir.File("afile"), clock.Fn());
        const Outcome<std::string> r = store.Keep(Values(10786, 0));
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.problem().Text().find(dir.File("afile") + ": is a file, not a folder"), std::string::npos) << r.problem();
        EXPECT_NE(r.problem().Text().find("move or rename"), std::string::npos) << r.problem();
        BackupStore below(dir.File("afile/backups"), clock.Fn());  // a parent that is a file
        const Outcome<std::string> r2 = below.Keep(Values(10786, 0));
        EXPECT_FALSE(r2.ok());
        EXPECT_NE(r2.problem().Text().find(dir.File("afile/backups")), std::string::npos) << r2.problem();
    }
    {
        // The disk fills while the backup is written.
        WholeFileWriter full = [](const std::string& path, std::span<const std::uint8_t>) {
            return filestore::Result{filestore::Status::WriteFailed, filestore::DescribeError(path, kDiskFull)};
        };
        BackupStore store(dir.File("full"), clock.Fn(), full);
        const Outcome<std::string> r = store.Keep(Values(10786, 0));
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.problem().Text().find(dir.File("full") + kSep + "2026-12-09_22-55-07.kvx"), std::string::npos) << r.problem();
        EXPECT_NE(r.problem().Text().find("the disk is full: free some space"), std::string::npos) << r.problem();
    }
    EXPECT_FALSE(BackupStore("", clock.Fn()).Keep(Values(10786, 0)).ok());
}

#ifndef _WIN32
TEST(BackupStore, AReadOnlyFolderIsRefusedAndLeftAsItWas) {
    TempDir dir;
    const std::string folder = dir.File("backups");
    fs::create_directories(folder);
    const Unprivileged user;
    user.Own(dir.Path());
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
    const std::string seen = RunUnprivileged([&] {
        FakeClock clock;
        const Outcome<std::string> r = BackupStore(folder, clock.Fn()).Keep(Values(10786, 0));
        std::printf("%d|%s\n", r.ok() ? 1 : 0, (r.ok() ? "" : r.problem().Text().c_str()));
        return 0;
    });
    EXPECT_EQ(seen.rfind("0|" + folder + "/2026-12-09_22-55-07.kvx: Permission denied", 0), 0u) << seen;
    EXPECT_NE(seen.find("permissions"), std::string::npos) << seen;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 0);
}
#endif

TEST(UserFolders, DataFolderFollowsTheXdgRules) {
    using detail::PosixDataFolder;
    EXPECT_EQ(PosixDataFolder("/x/data", "/home/u"), "/x/data/orvex");
    EXPECT_EQ(PosixDataFolder("", "/home/u"), "/home/u/.local/share/orvex");
    EXPECT_EQ(PosixDataFolder("relative/data", "/home/u"), "/home/u/.local/share/orvex");
    EXPECT_EQ(PosixDataFolder("", ""), "");

    struct Fixed : IUserFolders {
        std::string DataFolder() const override { return "/d/orvex"; }
    } fixed;
    EXPECT_EQ(BackupFolder(fixed), "/d/orvex" + kSep + "backups");
    EXPECT_EQ(RecoveryFolder(fixed), "/d/orvex" + kSep + "recovery");
}

}  // namespace
}  // namespace orvex
