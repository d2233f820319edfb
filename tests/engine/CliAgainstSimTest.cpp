// orvex-cli against orvex-radio-sim over a pseudo-terminal, in real time:
// a round trip, and every fault the simulator can put on the line.
#include <gtest/gtest.h>

#include <future>

#include "engine/support/Processes.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompter.h"

namespace orvex {
namespace {

using namespace test;
using namespace std::chrono_literals;

Json Show(const TempDir& dir, const std::string& file) {
    const CliResult r = RunCli(dir, "show", {"show", file, "--json"}, 10s);
    EXPECT_TRUE(r.exit.exited && r.exit.status == 0) << r.err;
    const auto json = Json::Parse(r.out);
    EXPECT_TRUE(json.has_value()) << r.out;
    return json.value_or(Json{});
}

std::vector<std::string> Frequencies(const Json& shown) {
    std::vector<std::string> out;
    for (const Json& c : shown["channels"].Arr()) out.push_back(c["frequency"].Str());
    return out;
}

std::vector<int> EnabledChannels(const Json& json) {
    std::vector<int> out;
    const auto& flags = json["channel_enable"].Arr();
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i].Num() != 0) out.push_back(static_cast<int>(i) + 1);
    return out;
}

std::string Describe(const CliResult& r) {
    return "exit " + std::to_string(r.exit.status) + (r.exit.timedOut ? " (killed after its deadline)" : "") +
           (r.exit.signal ? " (signal " + std::to_string(r.exit.signal) + ")" : "") + " after " +
           std::to_string(r.took.count()) + " ms; stderr:\n" + r.err;
}

TEST(CliAgainstSim, ReadWriteAndReadAgainGiveBackWhatWasWritten) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string link = dir.File("ttyRADIO"), saved = dir.File("radio.json");
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {"--save-json", saved}).empty());

    // What the simulator holds from the start.
    const CliResult first = RunCli(dir, "read1", {"read", "--port", link, "-o", dir.File("first.kvx")});
    ASSERT_TRUE(first.exit.exited && first.exit.status == 0) << Describe(first);
    EXPECT_EQ(Occurrences(first.err, std::string(texts::kUploadComplete)), 1) << first.err;
    const Json before = Show(dir, dir.File("first.kvx"));
    EXPECT_EQ(Frequencies(before), (std::vector<std::string>{"26.9650", "27.0050", "27.1250", "27.4050", "",
                                                             "28.0000", "29.6000", "26.0000", "30.0000", "27.2150"}));
    EXPECT_EQ(before["band_plan"].Num(), kBandPlanSouthAfrica);
    EXPECT_EQ(before["emergency_channel"].Num(), 7);
    EXPECT_EQ(EnabledChannels(before), (std::vector<int>{1, 2, 3, 5, 7, 9, 11, 19, 23}));

    const std::vector<int> flags = {3, 5, 9, 23};
    const std::string mine = SaveSample(dir, "mine.kvx", kBandPlanSouthAfrica, flags);
    const CliResult write = RunCli(dir, "write", {"write", "--port", link, mine});
    ASSERT_TRUE(write.exit.exited && write.exit.status == 0) << Describe(write);
    EXPECT_EQ(Occurrences(write.err, std::string(texts::kDownloadComplete)), 1) << write.err;

    const CliResult again = RunCli(dir, "read2", {"read", "--port", link, "-o", dir.File("back.kvx")});
    ASSERT_TRUE(again.exit.exited && again.exit.status == 0) << Describe(again);
    const Json back = Show(dir, dir.File("back.kvx"));
    std::vector<std::string> expected;
    for (const SampleChannel& c : kSampleChannels) expected.push_back(c.text);
    EXPECT_EQ(Frequencies(back), expected);
    EXPECT_EQ(back["band_plan"].Num(), kBandPlanSouthAfrica);
    EXPECT_EQ(back["emergency_channel"].Num(), 3);  // the first ticked channel
    EXPECT_EQ(EnabledChannels(back), flags);

    const Exit stopped = sim.Stop();
    EXPECT_TRUE(stopped.exited && stopped.status == 0);
    const Bytes text = ReadBytes(saved);
    const auto radio = Json::Parse(std::string(text.begin(), text.end()));
    ASSERT_TRUE(radio.has_value());
    EXPECT_EQ((*radio)["writes"].Num(), 1);
    EXPECT_EQ((*radio)["reads"].Num(), 2);
    const auto& channels = (*radio)["channels"].Arr();
    ASSERT_EQ(channels.size(), static_cast<std::size_t>(kChannelCount));
    for (int c = 1; c <= kChannelCount; ++c) {
        const Bytes block = ExpectedBlock(c, kBandPlanSouthAfrica, 3);
        EXPECT_EQ(channels[c - 1]["slot_a"].Num(), block[1]) << "channel " << c;
        EXPECT_EQ(channels[c - 1]["slot_b"].Num(), block[2]) << "channel " << c;
        EXPECT_EQ(channels[c - 1]["rx_code"].Num(), (block[3] << 8) | block[4]) << "channel " << c;
    }
}

TEST(CliAgainstSim, ARadioStartedFromAFileIsReadBackAsThatFile) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string link = dir.File("ttyRADIO");
    const std::string mine = SaveSample(dir, "mine.kvx", 1);
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {"--memory", mine}).empty());
    const CliResult read = RunCli(dir, "read", {"read", "--port", link, "-o", dir.File("back.kvx")});
    ASSERT_TRUE(read.exit.exited && read.exit.status == 0) << Describe(read);
    const Json back = Show(dir, dir.File("back.kvx"));
    std::vector<std::string> expected;
    for (const SampleChannel& c : kSampleChannels) expected.push_back(c.text);
    EXPECT_EQ(Frequencies(back), expected);
    EXPECT_EQ(back["band_plan"].Num(), 1);
}

struct FaultCase {
    const char* name;
    const char* command;  // "read" or "write"
    std::vector<std::string> faults;
    int exitStatus;
    std::string message;     // shown exactly once
    std::string notShown{};  // must not appear
    std::string err{};       // all of stderr, where given: the text scripts match
};

const std::string kTimeout(texts::kTimeout);
const std::string kLost(texts::kPortLost);
const std::string kUpload(texts::kUploadComplete);
const std::string kDownload(texts::kDownloadComplete);
const std::string kPleaseAgain(texts::kPleaseAgain);
const std::string kChecksum(texts::kChecksumError);

std::vector<FaultCase> FaultCases() {
    return {
        {"silent read", "read", {"silent"}, 1, kTimeout},
        {"silent write", "write", {"silent"}, 1, kTimeout},
        {"read muted after the device check", "read", {"mute-after=1"}, 1, kTimeout},
        {"read muted after the first record", "read", {"mute-after=4"}, 1, kTimeout},
        {"read muted mid-way", "read", {"mute-after=13"}, 1, kTimeout},
        {"write muted before the first block's answer", "write", {"mute-after=3"}, 1, kTimeout},
        {"write muted mid-way", "write", {"mute-after=60"}, 1, kTimeout, "", kTimeout + "\n"},
        {"read, device check refused", "read", {"nak=chk"}, 1, kTimeout},
        {"write, device check refused", "write", {"nak=chk"}, 1, kPleaseAgain, kTimeout},
        {"read, record request refused once", "read", {"nak=ready"}, 0, kUpload, kTimeout},
        {"write, ready refused", "write", {"nak=ready"}, 1, kPleaseAgain, kTimeout},
        {"read, record 3 refused once", "read", {"nak=record:3"}, 0, kUpload, kTimeout},
        // The write runs to its end, but a wrong answer leaves the radio's
        // content in doubt: reported, and the command fails.
        {"write, block 2 answered 0x55", "write", {"reply=2:0x55"}, 1, kChecksum, kTimeout},
        {"read, closing block of 10 bytes", "read", {"closing=10"}, 1, kTimeout, kUpload},
        {"read, closing block of 30 bytes", "read", {"closing=30"}, 0, kUpload, kTimeout},
        {"read with noise", "read", {"noise=5"}, 0, kUpload, kTimeout},
        {"read flooded", "read", {"flood=ready"}, 1, kTimeout},
        {"write flooded", "write", {"flood=ready"}, 1, kTimeout},
        {"read, line drops", "read", {"hangup-after=6"}, 1, kLost, kTimeout},
        {"write, line drops", "write", {"hangup-after=30"}, 1, kLost, kTimeout, kLost + "\n  the device hung up\n"},
    };
}

struct FaultRun {
    std::string device;
    CliResult cli;
    Exit sim;
    bool saved = false;  // read: the output file exists
};

FaultRun RunFaultCase(const FaultCase& fc, int index) {
    TempDir dir;
    FaultRun run;
    const std::string link = dir.File("ttyRADIO");
    std::vector<std::string> args;
    for (const std::string& f : fc.faults) {
        args.push_back("--fault");
        args.push_back(f);
    }
    SimProcess sim;
    run.device = sim.Start(link, args);
    if (run.device.empty()) return run;
    const std::string out = dir.File("read.kvx");
    const std::vector<std::string> cli =
        std::string(fc.command) == "read"
            ? std::vector<std::string>{"read", "--port", link, "-o", out}
            : std::vector<std::string>{"write", "--port", link, SaveSample(dir, "w.kvx", 0)};
    run.cli = RunCli(dir, "case" + std::to_string(index), cli, 15s);
    run.saved = Exists(out);
    run.sim = sim.Stop();
    return run;
}

TEST(CliAgainstSim, EveryFaultEndsPromptlyWithItsMessageAndExitStatus) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    const std::vector<FaultCase> cases = FaultCases();
    // Independent lines, one simulator each: run them side by side.
    std::vector<std::future<FaultRun>> runs;
    for (std::size_t i = 0; i < cases.size(); ++i)
        runs.push_back(std::async(std::launch::async, RunFaultCase, std::cref(cases[i]), static_cast<int>(i)));

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const FaultCase& fc = cases[i];
        const FaultRun run = runs[i].get();
        SCOPED_TRACE(fc.name);
        ASSERT_FALSE(run.device.empty()) << "the simulator did not start";
        EXPECT_TRUE(run.cli.exit.exited) << Describe(run.cli);
        EXPECT_EQ(run.cli.exit.status, fc.exitStatus) << Describe(run.cli);
        EXPECT_EQ(Occurrences(run.cli.err, fc.message), 1) << Describe(run.cli);
        if (!fc.notShown.empty()) {
            EXPECT_EQ(Occurrences(run.cli.err, fc.notShown), 0) << Describe(run.cli);
        }
        if (!fc.err.empty()) {
            EXPECT_EQ(run.cli.err, fc.err);
        }
        if (std::string(fc.command) == "read") {
            EXPECT_EQ(run.saved, fc.exitStatus == 0);
        }
        EXPECT_FALSE(run.sim.timedOut) << "the simulator did not stop on SIGTERM";
        EXPECT_EQ(run.sim.signal, 0);
    }
}

// write --verify: "VERIFY OK" and exit 0 only when the radio gives back
// what was written; otherwise the rows or the failed step are named, and
// the backup of what the radio held is kept either way.
TEST(CliAgainstSim, WriteAndVerifyExitsZeroOnlyWhenTheRadioGaveBackWhatWasWritten) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    struct Case {
        const char* name;
        std::vector<std::string> simArgs;
        int exitStatus;
        std::string out;             // what stdout says
        std::vector<std::string> err;  // lines stderr must hold
    };
    const std::vector<Case> cases = {
        {"verified", {}, 0, "VERIFY OK\n", {"The radio gave back what was written."}},
        {"a radio that keeps P4 wrong", {"--fault", "store-wrong=4"}, 1, "",
         {"VERIFY FAILED", "P4: written 30.0000, read back 29.9900"}},
        {"a radio silent once the write began", {"--fault", "mute-after=30"}, 1, "",
         {std::string(texts::kTimeout), "Write and Verify stopped while writing to the radio (step 2 of 3)"}},
    };
    std::vector<std::future<std::pair<std::string, CliResult>>> runs;
    std::vector<std::unique_ptr<TempDir>> dirs;
    for (const Case& c : cases) {
        dirs.push_back(std::make_unique<TempDir>());
        runs.push_back(std::async(std::launch::async, [&c, &dir = *dirs.back()] {
            SimProcess sim;
            const std::string link = dir.File("ttyRADIO");
            if (sim.Start(link, c.simArgs).empty()) return std::make_pair(std::string("no simulator"), CliResult{});
            const std::string mine = SaveSample(dir, "mine.kvx", 0);
            return std::make_pair(std::string(), RunCli(dir, "verify", {"write", "--verify", "--port", link, mine}, 60s));
        }));
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const auto [problem, r] = runs[i].get();
        ASSERT_TRUE(problem.empty()) << problem;
        EXPECT_TRUE(r.exit.exited && r.exit.status == c.exitStatus) << Describe(r);
        EXPECT_EQ(r.out, c.out);
        for (const std::string& line : c.err) EXPECT_NE(r.err.find(line), std::string::npos) << line << "\n" << r.err;
        // The steps' own completion messages give way to the verdict.
        EXPECT_EQ(Occurrences(r.err, std::string(texts::kUploadComplete)), 0) << r.err;
        EXPECT_EQ(Occurrences(r.err, std::string(texts::kDownloadComplete)), 0) << r.err;
        // The first read was kept; the read-back was not.
        const CliResult list = RunCli(*dirs[i], "backups", {"backups", "--json"}, 10s);
        const auto json = Json::Parse(list.out);
        ASSERT_TRUE(json.has_value()) << list.out << list.err;
        EXPECT_EQ(json->Arr().size(), 1u) << list.out;
    }
}

}  // namespace
}  // namespace orvex
