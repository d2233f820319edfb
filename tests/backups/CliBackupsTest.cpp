// orvex-cli read keeps a backup in the user's data folder, and backups
// lists them; against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "engine/support/Processes.h"
#include "engine/support/Samples.h"
#include "settings/CodeTables.h"
#include "support/MiniJson.h"
#include "ui/model/ReadBackups.h"

namespace orvex {
namespace {

using namespace test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// One of our programs as the unprivileged user where the tests run as root,
// for whom a read-only folder is none; as this user otherwise.
bool StartAs(ChildProcess& child, const Unprivileged& user, std::vector<std::string> argv,
             const ChildProcess::Env& env = {}) {
    return child.Fork(
        [&]() -> int {
            for (const auto& [name, value] : env) ::setenv(name.c_str(), value.c_str(), 1);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            std::perror(args[0]);
            return 127;
        },
        &user);
}

TEST(CliBackups, ReadKeepsABackupInTheDataFolderAndBackupsListsIt) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    // RunCli points XDG_DATA_HOME at dir/data.
    const CliResult none = RunCli(dir, "none", {"backups"}, 10s);
    EXPECT_TRUE(none.exit.exited && none.exit.status == 0) << none.err;
    EXPECT_NE(none.out.find("No backups yet in " + dir.File("data") + "/orvex/backups"), std::string::npos) << none.out;

    const std::string link = dir.File("ttyRADIO");
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {}).empty());
    const CliResult read = RunCli(dir, "read", {"read", "--port", link, "-o", dir.File("read.kvx")});
    ASSERT_TRUE(read.exit.exited && read.exit.status == 0) << read.err;
    const std::string news = "Backup of the radio kept: " + dir.File("data") + "/orvex/backups/";
    const std::size_t at = read.err.find(news);
    ASSERT_NE(at, std::string::npos) << read.err;
    const std::string backup = read.err.substr(at + news.size(), read.err.find('\n', at) - at - news.size());
    const std::string path = dir.File("data") + "/orvex/backups/" + backup;
    EXPECT_EQ(ReadBytes(path), ReadBytes(dir.File("read.kvx")));

    const CliResult listed = RunCli(dir, "list", {"backups", "--json"}, 10s);
    ASSERT_TRUE(listed.exit.exited && listed.exit.status == 0) << listed.err;
    const auto json = Json::Parse(listed.out);
    ASSERT_TRUE(json.has_value()) << listed.out;
    ASSERT_EQ(json->Arr().size(), 1u) << listed.out;
    const Json& entry = json->Arr()[0];
    EXPECT_EQ(entry["file"].Str(), path);
    EXPECT_EQ(entry["band_plan"].Num(), kBandPlanSouthAfrica);
    std::vector<std::string> frequencies;
    for (const Json& f : entry["frequencies"].Arr()) frequencies.push_back(f.Str());
    EXPECT_EQ(frequencies, (std::vector<std::string>{"26.9650", "27.0050", "27.1250", "27.4050", "", "28.0000",
                                                     "29.6000", "26.0000", "30.0000", "27.2150"}));

    const CliResult table = RunCli(dir, "table", {"backups"}, 10s);
    EXPECT_TRUE(table.exit.exited && table.exit.status == 0) << table.err;
    EXPECT_NE(table.out.find(backup), std::string::npos) << table.out;
    EXPECT_NE(table.out.find("South Africa"), std::string::npos) << table.out;
}

TEST(CliBackups, ABackupThatCannotBeKeptLeavesReadSucceeding) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    fs::create_directories(dir.File("data/orvex"));
    WriteBytes(dir.File("data/orvex/backups"), Bytes(1, 0));
    const std::string link = dir.File("ttyRADIO");
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {}).empty());
    const CliResult read = RunCli(dir, "read", {"read", "--port", link, "-o", dir.File("read.kvx")});
    EXPECT_TRUE(read.exit.exited && read.exit.status == 0) << read.err;
    EXPECT_NE(read.err.find("No backup of the radio kept: " + dir.File("data") + "/orvex/backups: is a file"),
              std::string::npos)
        << read.err;
    EXPECT_EQ(ReadBytes(dir.File("read.kvx")).size(), 2048u);
}

// Write and Verify and clone program no radio whose settings they could not
// keep: they stop after the first read, naming the folder, the reason and
// the fix, exit 1, and the radio is never written.
TEST(CliBackups, WriteVerifyAndCloneWriteNoRadioWhoseBackupCannotBeKept) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    struct Case {
        const char* name;
        std::vector<std::string> command;
        bool readOnly;  // else a file stands where the folder should be
        const char* reason;
    };
    // Each command with one of the folder's faults: the refusal is the
    // same whatever the fault.
    const std::vector<Case> cases = {
        {"write --verify, a read-only folder", {"write", "--verify"}, true, "Permission denied"},
        {"clone, a file in the folder's place", {"clone", "--count", "2"}, false, "is a file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string folder = dir.File("data") + "/orvex/backups";
        fs::create_directories(c.readOnly ? folder : dir.File("data") + "/orvex");
        if (!c.readOnly) WriteBytes(folder, Bytes(1, 0));
        const std::string mine = SaveSample(dir, "mine.kvx", 0);
        const Unprivileged user;
        user.Own(dir.Path());
        if (c.readOnly) fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);

        const std::string link = dir.File("ttyRADIO"), log = dir.File("sim.log"), saved = dir.File("radio.json");
        ChildProcess sim;
        ASSERT_TRUE(StartAs(sim, user,
                            {BinDir() + "/sim/orvex-radio-sim", "--link", link, "--log", log, "--save-json", saved}));
        ASSERT_FALSE(sim.FirstLine(10'000).empty()) << sim.Stderr();
        std::vector<std::string> argv = {BinDir() + "/cli/orvex-cli"};
        argv.insert(argv.end(), c.command.begin(), c.command.end());
        argv.insert(argv.end(), {"--port", link, mine});
        ChildProcess cli;
        ASSERT_TRUE(StartAs(cli, user, argv, {{"XDG_DATA_HOME", dir.File("data")}, {"ORVEX_PORT_FILE", dir.File("ORVEX.CFG")}}));
        const Exit exit = cli.Finish(60'000);
        sim.Signal(SIGTERM);
        sim.Finish(5000);

        const std::string said = "stdout:\n" + cli.Stdout() + "stderr:\n" + cli.Stderr();
        EXPECT_TRUE(exit.exited && exit.status == 1) << said;
        for (const std::string& part : {std::string(kBackupNeeded), std::string(c.reason), std::string(kBackupFolderFixIntro) + folder})
            EXPECT_NE(cli.Stderr().find(part), std::string::npos) << part << "\n" << said;
        EXPECT_EQ(cli.Stdout().find("VERIFY OK"), std::string::npos) << said;
        EXPECT_EQ(cli.Stdout().find("Connect radio 2"), std::string::npos) << said;
        // The radio was read once and never written.
        const Bytes json = ReadBytes(saved);
        const auto radio = Json::Parse(std::string(json.begin(), json.end()));
        ASSERT_TRUE(radio.has_value()) << said;
        EXPECT_EQ((*radio)["writes"].Num(), 0);
        EXPECT_EQ((*radio)["reads"].Num(), 1);
        // A write would have begun with the device check and its direction.
        const Bytes logged = ReadBytes(log);
        std::istringstream lines(std::string(logged.begin(), logged.end()));
        std::string at, what, byte, received;
        while (lines >> at >> what >> byte)
            if (what == "RX") received += byte + " ";
        EXPECT_NE(received.find("11 44 "), std::string::npos) << received;
        EXPECT_EQ(received.find("11 22 "), std::string::npos) << received;
        if (c.readOnly) {
            EXPECT_TRUE(fs::is_empty(folder));
        }
    }
}

}  // namespace
}  // namespace orvex
