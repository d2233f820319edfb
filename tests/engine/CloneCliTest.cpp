// orvex-cli clone against orvex-radio-sim in real time: radios swapped on
// one cable through the simulator's control channel, a radio that keeps a
// channel wrong, a cable pulled in the middle, and Ctrl+C. The deadlines
// only stop a hang.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "engine/support/Processes.h"
#include "engine/support/Samples.h"
#include "settings/ProtocolBytes.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompter.h"
#include "tools/sim/SimMemoryFile.h"
#include "ui/model/ReadBackups.h"

namespace orvex {
namespace {

using namespace test;
namespace fs = std::filesystem;

constexpr int kStepMs = 60'000;  // any one step: far beyond what it takes

// The simulator with its control channel, its output followed.
class SwapSim {
public:
    bool Start(const TempDir& dir, const std::vector<std::string>& extra = {}) {
        link = dir.File("ttyRADIO");
        m_control = dir.File("control");
        std::vector<std::string> args = {BinDir() + "/sim/orvex-radio-sim", "--link", link, "--control", m_control};
        args.insert(args.end(), extra.begin(), extra.end());
        return m_child.Start(args) && !m_child.FirstLine(10'000).empty();
    }
    // Sends one control line and waits until the simulator has done it.
    bool Tell(const std::string& line, const std::string& said) {
        const int fd = ::open(m_control.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        const std::string text = line + "\n";
        const bool sent = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::close(fd);
        const std::size_t before = m_seen;
        const bool done = sent && m_child.WaitFor([&] { return m_child.Stdout().find(said, before) != std::string::npos; },
                                                  10'000);
        m_seen = m_child.Stdout().size();
        return done;
    }
    std::string link;

private:
    ChildProcess m_child;
    std::string m_control;
    std::size_t m_seen = 0;
};

// orvex-cli clone as a child the test talks to while it runs.
class CloneCli {
public:
    bool Start(const TempDir& dir, const std::string& dataHome, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {BinDir() + "/cli/orvex-cli", "clone"};
        argv.insert(argv.end(), args.begin(), args.end());
        return child.Start(argv, {{"ORVEX_PORT_FILE", dir.File("ORVEX.CFG")}, {"XDG_DATA_HOME", dataHome}});
    }
    bool Says(const std::string& text) { return child.WaitForStdout(text, kStepMs); }
    std::string Describe() const { return "stdout:\n" + child.Stdout() + "\nstderr:\n" + child.Stderr(); }
    ChildProcess child;
};

// The report's lines split into fields, quoted fields undone.
std::vector<std::vector<std::string>> ReadCsv(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    const std::string text(bytes.begin(), bytes.end());
    std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            rows.back().back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && c == ',') {
            rows.back().emplace_back();
        } else if (!quoted && c == '\n') {
            rows.emplace_back(1);
        } else {
            rows.back().back() += c;
        }
    }
    if (rows.back() == std::vector<std::string>(1)) rows.pop_back();
    return rows;
}

std::vector<std::string> Frequencies(const TempDir& dir, const std::string& file) {
    const CliResult r = RunCli(dir, "show", {"show", file, "--json"}, std::chrono::seconds(10));
    const auto json = Json::Parse(r.out);
    std::vector<std::string> out;
    if (!json) return out;
    for (const Json& c : (*json)["channels"].Arr()) out.push_back(c["frequency"].Str());
    return out;
}

const std::vector<std::string> kHeader = {"time", "radio", "port", "backup", "result", "differences"};

TEST(CloneCli, TwoRadiosOnOneCableAreEachBackedUpWrittenVerifiedAndReported) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string mine = SaveSample(dir, "mine.kvx", kBandPlanSouthAfrica, {3, 5, 9});
    const std::string other = dir.File("other.kvx");
    const Outcome<void> saved = sim::SaveMemoryKvx(other, sim::SampleMemory(5));
    ASSERT_TRUE(saved) << saved.problem();
    SwapSim sim;
    ASSERT_TRUE(sim.Start(dir));
    // A comma in the backup paths: the report must quote them.
    const std::string dataHome = dir.File("data, kept");
    const std::string report = dir.File("report.csv");

    CloneCli cli;
    ASSERT_TRUE(cli.Start(dir, dataHome, {mine, "--count", "2", "--report", report, "--port", sim.link}));
    ASSERT_TRUE(cli.Says("Radio 1: OK, disconnect it")) << cli.Describe();
    ASSERT_TRUE(sim.Tell("away", "radio away"));
    ASSERT_TRUE(cli.Says("Connect radio 2 of 2")) << cli.Describe();
    ASSERT_TRUE(sim.Tell("connect " + other, "radio connected"));
    const Exit exit = cli.child.Finish(kStepMs);
    ASSERT_TRUE(exit.exited) << cli.Describe();
    EXPECT_EQ(exit.status, 0) << cli.Describe();
    EXPECT_NE(cli.child.Stdout().find("Radio 2: OK, disconnect it"), std::string::npos) << cli.Describe();
    EXPECT_EQ(Occurrences(cli.child.Stdout(), "Connect radio"), 2);

    const auto rows = ReadCsv(report);
    ASSERT_EQ(rows.size(), 3u) << cli.Describe();
    EXPECT_EQ(rows[0], kHeader);
    std::vector<std::string> backups;
    for (int radio = 1; radio <= 2; ++radio) {
        const auto& row = rows[radio];
        ASSERT_EQ(row.size(), kHeader.size());
        EXPECT_EQ(row[1], std::to_string(radio));
        EXPECT_EQ(row[2], sim.link);
        EXPECT_EQ(row[4], "OK");
        EXPECT_EQ(row[5], "");
        EXPECT_EQ(row[3].rfind(dataHome, 0), 0u) << row[3];
        EXPECT_TRUE(fs::is_regular_file(row[3])) << row[3];
        backups.push_back(row[3]);
    }
    // Each backup is what that radio held before the write.
    EXPECT_EQ(Frequencies(dir, backups[0]),
              (std::vector<std::string>{"26.9650", "27.0050", "27.1250", "27.4050", "", "28.0000", "29.6000",
                                        "26.0000", "30.0000", "27.2150"}));
    EXPECT_EQ(Frequencies(dir, backups[1]), Frequencies(dir, other));
    EXPECT_NE(ReadBytes(backups[0]), ReadBytes(backups[1]));

    // A second batch adds to the report, without a second header, and its
    // radios go on from the report's last number.
    ASSERT_TRUE(sim.Tell("connect", "radio connected: sample"));
    CloneCli again;
    ASSERT_TRUE(again.Start(dir, dataHome, {mine, "--count", "1", "--report", report, "--port", sim.link}));
    EXPECT_EQ(again.child.Wait(kStepMs), 0) << again.Describe();
    EXPECT_NE(again.child.Stdout().find("Connect radio 3 (1 of 1)"), std::string::npos) << again.Describe();
    EXPECT_NE(again.child.Stdout().find("Radio 3: OK, disconnect it"), std::string::npos) << again.Describe();
    const auto more = ReadCsv(report);
    ASSERT_EQ(more.size(), 4u);
    EXPECT_EQ(more[3][1], "3");
    EXPECT_EQ(more[3][4], "OK");
}

TEST(CloneCli, ARadioThatKeepsAChannelWrongIsNamedWithItsRowAndFailsTheBatch) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string mine = SaveSample(dir, "mine.kvx", kBandPlanSouthAfrica, {3, 5, 9});
    SwapSim sim;
    ASSERT_TRUE(sim.Start(dir, {"--fault", "store-wrong=4"}));
    const std::string report = dir.File("report.csv");
    CloneCli cli;
    ASSERT_TRUE(cli.Start(dir, dir.File("data"), {mine, "--count", "1", "--report", report, "--port", sim.link}));
    const Exit exit = cli.child.Finish(kStepMs);
    ASSERT_TRUE(exit.exited) << cli.Describe();
    EXPECT_EQ(exit.status, 1) << cli.Describe();
    // Row 4 was written 30.0000, the top of the band: kept 10 kHz below.
    const std::string difference = "P4: written 30.0000, read back 29.9900";
    EXPECT_NE(cli.child.Stdout().find("Radio 1: DIFFERS (" + difference + "), disconnect it"), std::string::npos)
        << cli.Describe();
    const auto rows = ReadCsv(report);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][4], "DIFFERS");
    EXPECT_EQ(rows[1][5], difference);
}

// The cable is pulled once the write's blocks are going out, and plugged
// back into the same radio, half-written: it answers again and its read, the
// first step for radio 2, succeeds.
TEST(CloneCli, ACablePulledDuringAWriteFailsThatRadioAndTheBatchGoesOnWhenItIsBack) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string mine = SaveSample(dir, "mine.kvx", 1, {});
    const std::string log = dir.File("sim.log"), saved = dir.File("radio.json");
    SwapSim sim;
    ASSERT_TRUE(sim.Start(dir, {"--log", log, "--save-json", saved}));
    const std::string report = dir.File("report.csv");
    CloneCli cli;
    ASSERT_TRUE(cli.Start(dir, dir.File("data"), {mine, "--count", "2", "--report", report, "--port", sim.link}));
    // The write's handshake (its device check and direction first), then its
    // first three blocks of 12 bytes, as the radio's byte log has them.
    const auto blocksOut = [&] {
        const Bytes logged = ReadBytes(log);
        std::istringstream lines(std::string(logged.begin(), logged.end()));
        std::string at, what, byte;
        Bytes received;
        while (lines >> at >> what >> byte)
            if (what == "RX") received.push_back(static_cast<std::uint8_t>(std::stoi(byte, nullptr, 16)));
        const Bytes start = {QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD};
        const auto write = std::search(received.begin(), received.end(), start.begin(), start.end());
        return received.end() - write >= 3 + 3 * 12;
    };
    for (int waited = 0; !blocksOut() && waited < kStepMs; waited += 10) cli.child.WaitFor([] { return false; }, 10);
    ASSERT_TRUE(blocksOut()) << cli.Describe();
    ASSERT_TRUE(sim.Tell("unplug", "cable unplugged"));
    // What the cut-off write delivered is kept as the radio's memory.
    EXPECT_TRUE(Exists(saved));
    ASSERT_TRUE(cli.Says("Radio 1: FAILED (")) << cli.Describe();
    ASSERT_TRUE(cli.Says("Connect radio 2 of 2")) << cli.Describe();
    ASSERT_TRUE(cli.child.WaitForStderr("The cable is not there", kStepMs)) << cli.Describe();
    ASSERT_TRUE(sim.Tell("plug", "cable plugged"));
    const Exit exit = cli.child.Finish(kStepMs);
    ASSERT_TRUE(exit.exited) << cli.Describe();
    EXPECT_EQ(exit.status, 1) << cli.Describe();
    EXPECT_NE(cli.child.Stdout().find("Radio 2: OK, disconnect it"), std::string::npos) << cli.Describe();
    EXPECT_NE(cli.child.Stderr().find("The cable is back."), std::string::npos) << cli.Describe();
    const auto rows = ReadCsv(report);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][4], "FAILED");
    EXPECT_NE(rows[1][5].find("writing to the radio"), std::string::npos) << rows[1][5];
    EXPECT_EQ(rows[2][4], "OK");
}

TEST(CloneCli, CtrlCDuringAWriteFinishesThatRadioAndStartsNoOther) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string mine = SaveSample(dir, "mine.kvx", kBandPlanSouthAfrica, {3, 5, 9});
    SwapSim sim;
    ASSERT_TRUE(sim.Start(dir));
    CloneCli cli;
    ASSERT_TRUE(cli.Start(dir, dir.File("data"), {mine, "--port", sim.link}));
    ASSERT_TRUE(cli.child.WaitForStderr(std::string(kBackupKeptNews), kStepMs)) << cli.Describe();
    cli.child.Signal(SIGINT);
    const Exit exit = cli.child.Finish(kStepMs);
    ASSERT_TRUE(exit.exited) << cli.Describe();
    EXPECT_EQ(exit.status, 0) << cli.Describe();
    const std::string& out = cli.child.Stdout();
    EXPECT_NE(out.find("Stopping after radio 1 is done."), std::string::npos) << cli.Describe();
    EXPECT_NE(out.find("Radio 1: OK, disconnect it"), std::string::npos) << cli.Describe();
    EXPECT_EQ(out.find("Connect radio 2"), std::string::npos) << cli.Describe();
    EXPECT_NE(out.find("1 of 1 radio programmed and verified."), std::string::npos) << cli.Describe();
}

TEST(CloneCli, ABadFileOrReportEndsItBeforeAnyRadio) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const CliResult missing = RunCli(dir, "missing", {"clone", dir.File("nowhere.kvx"), "--port", dir.File("tty")});
    EXPECT_TRUE(missing.exit.exited && missing.exit.status == 1) << missing.err;
    EXPECT_NE(missing.err.find("nowhere.kvx"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out.find("Connect radio"), std::string::npos) << missing.out;

    const std::string mine = SaveSample(dir, "mine.kvx", 1, {});
    const CliResult folder = RunCli(dir, "folder", {"clone", mine, "--report", dir.Path().string(), "--port", "x"});
    EXPECT_TRUE(folder.exit.exited && folder.exit.status == 1) << folder.err;
    EXPECT_NE(folder.err.find("is a folder"), std::string::npos) << folder.err;
}

}  // namespace
}  // namespace orvex
