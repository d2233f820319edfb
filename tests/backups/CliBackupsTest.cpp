// orvex-cli read keeps a backup in the user's data folder, and backups
// lists them; against the simulator on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/support/Processes.h"
#include "settings/CodeTables.h"
#include "support/MiniJson.h"

namespace orvex {
namespace {

using namespace test;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

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

}  // namespace
}  // namespace orvex
