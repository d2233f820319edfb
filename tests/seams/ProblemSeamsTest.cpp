// What users read when a file, an import or a port fails: each text names
// what failed, where, the system's reason and the fix, and is the same
// text the pieces of the problem are rendered into.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "files/BackupStore.h"
#include "files/SystemError.h"
#include "link/CRadioPort.h"
#include "support/TempDir.h"
#include "ui/model/ChannelExchange.h"

namespace orvex {
namespace {

struct Seen {
    std::string name;
    Problem problem;
    std::string text;  // exactly what the user is shown
};

void ExpectNamesEverything(const Seen& seen, const Problem& expected) {
    SCOPED_TRACE(seen.name);
    EXPECT_EQ(seen.problem, expected);
    EXPECT_EQ(seen.problem.Text(), seen.text);
}

TEST(ProblemSeams, AFailingDiskWriteNamesTheBackupTheReasonAndTheFix) {
    test::TempDir dir;
    const std::string folder = dir.File("backups");
    const auto failWith = [](int code) {
        return [code](const std::string& path, std::span<const std::uint8_t>) {
            return filestore::Result{filestore::Status::WriteFailed, filestore::DescribeError(path, code)};
        };
    };
    const auto at = [] { return LocalTime{2026, 12, 9, 22, 55, 7}; };
    const std::string backup = (dir.Path() / "backups" / "2026-12-09_22-55-07.kvx").string();
    const struct {
        int code;
        std::string fix;
    } cases[] = {
        {ENOSPC, "the disk is full: free some space on it, for example by deleting old backups in " + folder},
        {EACCES, "check the file's and its folder's permissions"},
        {EIO, ""},
    };
    for (const auto& c : cases) {
        const Outcome<std::string> kept = BackupStore(folder, at, failWith(c.code)).Keep(kvx::KvxValues{});
        ASSERT_FALSE(kept.ok());
        const std::string shown = backup + ": " + SystemErrorText(c.code) + (c.fix.empty() ? "" : " (" + c.fix + ")");
        ExpectNamesEverything({std::strerror(c.code), kept.problem(), shown},
                              {.where = backup, .why = SystemErrorText(c.code), .fix = c.fix});
    }
}

TEST(ProblemSeams, AnUnreadableImportFileSaysCannotBeReadWhereAndWhy) {
    test::TempDir dir;
    const std::string missing = dir.File("gone.csv");
    const std::string folder = dir.Path().string();
    const Problem::Layout lead = Problem::Layout::ActionFirst;
    const struct {
        std::string path;
        std::string text;
        Problem problem;
    } cases[] = {
        {missing, "cannot be read: " + missing + ": " + SystemErrorText(ENOENT),
         {.what = "cannot be read", .where = missing, .why = SystemErrorText(ENOENT), .layout = lead}},
        {folder, "cannot be read: " + folder + ": is a directory",
         {.what = "cannot be read", .where = folder, .why = "is a directory", .layout = lead}},
    };
    for (const auto& c : cases) {
        const Outcome<std::string> read = ReadImportFile(c.path);
        ASSERT_FALSE(read.ok()) << c.path;
        ExpectNamesEverything({c.path, read.problem(), c.text}, c.problem);
    }
}

TEST(ProblemSeams, APortThatCannotBeOpenedNamesTheDeviceAndWhatToDo) {
    test::TempDir dir;
    const std::string missing = dir.File("ttyMISSING");
    const struct {
        std::string name;
        std::string text;
        Problem problem;
    } cases[] = {
        {missing, missing + ": no such device (is the cable plugged in?)",
         {.where = missing, .why = "no such device", .fix = "is the cable plugged in?"}},
        {"", "no device is mapped to this port (see 'orvex-cli ports')",
         {.why = "no device is mapped to this port", .fix = "see 'orvex-cli ports'"}},
    };
    for (const auto& c : cases) {
        CRadioPort port;
        ASSERT_FALSE(port.OpenPort(c.name, 9600, 0));
        ExpectNamesEverything({c.name, port.LastError(), c.text}, c.problem);
    }
}

}  // namespace
}  // namespace orvex
