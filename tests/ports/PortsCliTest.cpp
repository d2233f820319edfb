// orvex-cli ports and search in real time, against the simulator on a
// pseudo-terminal reached through a mapped COM number.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "tools/sim/SimRadio.h"
#include "ui/model/FormModel.h"

namespace orvex {
namespace {

using test::ToolPath;

// A tool of ours that learns nothing from the parent about where ports and
// the port settings file are.
class ChildProcess : public test::ChildProcess {
public:
    bool Start(std::vector<std::string> argv, const Env& env) {
        Options clean;
        clean.without = {"ORVEX_PORT_", "ORVEX_TRACE"};
        return test::ChildProcess::Start(std::move(argv), env, clean);
    }
};

std::string Text(const std::string& path) {
    const test::Bytes b = test::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

// Where the tools look for the port settings file and the home folder,
// inside the test's own folder.
ChildProcess::Env CliEnv(const test::TempDir& dir, const std::string& portMap) {
    return {{"ORVEX_PORT_FILE", dir.File("ORVEX.CFG")},
            {"ORVEX_PORT_MAP", portMap},
            {"HOME", dir.Path().string()},
            {"XDG_CONFIG_HOME", dir.File("config")},
            {"XDG_DATA_HOME", dir.File("data")}};
}

class PortsCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(ToolPath("").empty()) << "ORVEX_BIN_DIR is not set";
    }
    const std::string cli = ToolPath("cli/orvex-cli");
    const std::string simulator = ToolPath("sim/orvex-radio-sim");
};

TEST_F(PortsCli, SearchFindsTheSimulatorOnItsMappedNumberAndReadUsesIt) {
    test::TempDir dir;
    const std::string link = dir.File("radio");
    ChildProcess sim;
    ASSERT_TRUE(sim.Start({simulator, "--link", link}, {}));
    ASSERT_FALSE(sim.FirstLine(10'000).empty()) << sim.Stderr();

    const auto env = CliEnv(dir, "COM1=" + dir.File("absent") + ",COM2=" + link);
    {
        ChildProcess search;
        ASSERT_TRUE(search.Start({cli, "search"}, env));
        EXPECT_EQ(search.Wait(15'000), 0) << search.Stderr();
        EXPECT_EQ(search.Stdout(), "COM2\n");
        EXPECT_NE(search.Stderr().find("Successful connection!!"), std::string::npos) << search.Stderr();
        EXPECT_EQ(Text(dir.File("ORVEX.CFG")), "1\n");
    }
    {
        // Without --port, the port just remembered.
        const std::string out = dir.File("read.kvx");
        ChildProcess read;
        ASSERT_TRUE(read.Start({cli, "read", "-o", out}, env));
        ASSERT_EQ(read.Wait(20'000), 0) << read.Stderr();
        EXPECT_NE(read.Stderr().find("UPLOAD COMPLETE"), std::string::npos) << read.Stderr();

        test::ScriptedPrompter prompter;
        FormModel form(prompter);
        form.StartUp();
        ASSERT_TRUE(form.Open(out)) << prompter.LastText();
        const sim::RadioMemory radio = sim::SampleMemory();
        for (int i = 0; i < kChannelCount; ++i)
            EXPECT_EQ(form.Settings().m_channels[i].m_wFreq, radio.records[i].m_wFreq) << "channel " << i + 1;
        for (int n = 1; n <= kChannelEnableCount; ++n)
            EXPECT_EQ(ChannelFlag(form, n), radio.flags[n - 1] != 0) << "CH " << n;
    }
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(5000), 0);
}

TEST_F(PortsCli, CtrlCDuringTheSearchStopsItPromptly) {
    test::TempDir dir;
    // Every number is mapped, to files that are no serial devices: each
    // costs its tick, no device of this machine is touched, and the search
    // would take 51 s to fail.
    std::string map;
    for (int n = 1; n <= 256; ++n) {
        const std::string file = dir.File("not-a-port" + std::to_string(n));
        test::WriteBytes(file, {});
        map += "COM" + std::to_string(n) + "=" + file + ",";
    }
    test::WriteBytes(dir.File("ORVEX.CFG"), {'0', '\n'});

    ChildProcess search;
    ASSERT_TRUE(search.Start({cli, "search"}, CliEnv(dir, map)));
    ASSERT_TRUE(search.WaitForStderr("CHECKING : COM3 , 'AUTO STOP' Please Any Key \n", 10'000)) << search.Stderr();
    search.Signal(SIGINT);
    // Promptly means before the next few probes, not within some time: the
    // deadline only stops a search that ignored the signal.
    const int status = search.Wait(10'000);

    EXPECT_EQ(status, 1) << search.Stderr();
    EXPECT_NE(search.Stderr().find("Stop connecting!!"), std::string::npos) << search.Stderr();
    EXPECT_EQ(search.Stderr().find("CHECKING : COM6 "), std::string::npos) << "it went on probing: " << search.Stderr();
    EXPECT_EQ(search.Stdout(), "");
    EXPECT_EQ(Text(dir.File("ORVEX.CFG")), "0\n");
}

// The line of `ports` for COM n split into words ("" when it is missing).
std::vector<std::string> PortsLine(const std::string& output, int com) {
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (!w.empty() && w[0] == "COM" + std::to_string(com)) return w;
    }
    return {};
}

std::string SelfName() {
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm);
    return comm;
}

TEST_F(PortsCli, PortsListsTheMappedNumbersWithTheirState) {
    test::TempDir dir;
    const std::string present = dir.File("present"), missing = dir.File("missing"), busy = dir.File("busy");
    test::WriteBytes(present, {});
    test::WriteBytes(busy, {});
    const int held = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);  // this process has it open
    ASSERT_GE(held, 0);
    test::WriteBytes(dir.File("ORVEX.CFG"), {'6', '\n'});

    ChildProcess ports;
    ASSERT_TRUE(ports.Start({cli, "ports"},
                            CliEnv(dir, "COM3=" + present + ",COM7=" + missing + ",COM9=" + busy)));
    EXPECT_EQ(ports.Wait(10'000), 0) << ports.Stderr();
    ::close(held);
    const std::string& out = ports.Stdout();

    EXPECT_EQ(PortsLine(out, 3), (std::vector<std::string>{"COM3", present, "present"})) << out;
    EXPECT_EQ(PortsLine(out, 7), (std::vector<std::string>{"COM7", missing, "missing", "(remembered)"})) << out;
    // The holder is this test process, named as /proc names it.
    EXPECT_EQ(PortsLine(out, 9), (std::vector<std::string>{"COM9", busy, "in", "use", "by",
                                                            SelfName() + "[" + std::to_string(::getpid()) + "]"}))
        << out;
    EXPECT_NE(out.find(dir.File("ORVEX.CFG") + " (COM7)"), std::string::npos) << out;
    // A mapped device is listed once, under its own number.
    for (const std::string& device : {present, busy}) {
        std::size_t count = 0;
        for (std::size_t at = out.find(device + " "); at != std::string::npos; at = out.find(device + " ", at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << device << " in\n" << out;
    }
}

TEST_F(PortsCli, PortsJsonGivesEveryMappedNumberWithStableKeys) {
    test::TempDir dir;
    const std::string present = dir.File("present"), missing = dir.File("missing"), busy = dir.File("bu\"sy");
    test::WriteBytes(present, {});
    test::WriteBytes(busy, {});
    const int held = ::open(busy.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    test::WriteBytes(dir.File("ORVEX.CFG"), {'2', '\n'});

    ChildProcess ports;
    ASSERT_TRUE(ports.Start({cli, "ports", "--json"},
                            CliEnv(dir, "COM3=" + present + ",COM7=" + missing + ",COM9=" + busy)));
    EXPECT_EQ(ports.Wait(10'000), 0) << ports.Stderr();
    ::close(held);
    const auto json = test::Json::Parse(ports.Stdout());
    ASSERT_TRUE(json) << "not JSON:\n" << ports.Stdout();

    std::map<int, const test::Json*> byCom;
    for (const test::Json& port : json->Arr()) {
        std::set<std::string> keys;
        for (const auto& [key, value] : port.Obj()) keys.insert(key);
        EXPECT_EQ(keys, (std::set<std::string>{"com", "device", "byId", "driver", "vid", "pid", "manufacturer", "product",
                                               "serial", "state", "holders", "remembered"}));
        byCom[static_cast<int>(port["com"].Num())] = &port;
    }
    ASSERT_TRUE(byCom.count(3) && byCom.count(7) && byCom.count(9)) << ports.Stdout();
    const test::Json& com3 = *byCom[3];
    EXPECT_EQ(com3["device"].Str(), present);
    EXPECT_EQ(com3["state"].Str(), "present");
    EXPECT_TRUE(com3["holders"].Arr().empty());
    EXPECT_TRUE(std::get<bool>(com3["remembered"].v));
    // A plain file is no adapter: nothing about one is made up.
    for (const char* key : {"byId", "driver", "vid", "pid", "manufacturer", "product", "serial"})
        EXPECT_TRUE(com3[key].IsNull()) << key;

    EXPECT_EQ((*byCom[7])["state"].Str(), "missing");
    EXPECT_FALSE(std::get<bool>((*byCom[7])["remembered"].v));

    const test::Json& com9 = *byCom[9];
    EXPECT_EQ(com9["device"].Str(), busy);
    EXPECT_EQ(com9["state"].Str(), "in use");
    ASSERT_EQ(com9["holders"].Arr().size(), 1u) << ports.Stdout();
    EXPECT_EQ(com9["holders"][0]["pid"].Num(), ::getpid());
    EXPECT_EQ(com9["holders"][0]["name"].Str(), SelfName());
}

TEST_F(PortsCli, PortsRefusesAnUnknownOption) {
    test::TempDir dir;
    ChildProcess ports;
    ASSERT_TRUE(ports.Start({cli, "ports", "--jsn"}, CliEnv(dir, "")));
    EXPECT_EQ(ports.Wait(10'000), 2);
    EXPECT_EQ(ports.Stdout(), "");
    EXPECT_NE(ports.Stderr().find("--jsn"), std::string::npos) << ports.Stderr();
}

TEST_F(PortsCli, PortsNamesAMistypedMapEntry) {
    test::TempDir dir;
    const std::string present = dir.File("present");
    test::WriteBytes(present, {});
    ChildProcess ports;
    ASSERT_TRUE(ports.Start({cli, "ports"}, CliEnv(dir, "COM3=" + present + ",COM4:/dev/ttyUSB1")));
    ports.Wait(10'000);
    EXPECT_NE(ports.Stderr().find("COM4:/dev/ttyUSB1"), std::string::npos)
        << "a map entry that is dropped without a word: stderr was\n"
        << ports.Stderr();
    EXPECT_EQ(PortsLine(ports.Stdout(), 3), (std::vector<std::string>{"COM3", present, "present"}));
}

}  // namespace
}  // namespace orvex
