#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/ChildProcess.h"
#include "support/KvxSample.h"
#include "support/MiniJson.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "ui/model/FormModel.h"

namespace orvex {
namespace {

using test::Bytes;

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    // Runs orvex-cli with these arguments, without a shell in between.
    CliRun Cli(std::vector<std::string> args) {
        EXPECT_FALSE(test::BinDir().empty()) << "ORVEX_BIN_DIR is not set";
        const std::string program = test::ToolPath("cli/orvex-cli");
        args.insert(args.begin(), program);
        test::ChildProcess::Options files;
        files.stdoutFile = dir.File("stdout");
        files.stderrFile = dir.File("stderr");
        test::ChildProcess cli;
        CliRun run;
        EXPECT_TRUE(cli.Start(args, {}, files)) << program;
        const test::Exit exit = cli.Finish(60'000);
        EXPECT_FALSE(exit.timedOut) << program;
        if (exit.exited) run.exitCode = exit.status;
        const Bytes o = test::ReadBytes(files.stdoutFile), e = test::ReadBytes(files.stderrFile);
        run.out.assign(o.begin(), o.end());
        run.err.assign(e.begin(), e.end());
        std::filesystem::remove(files.stdoutFile);
        std::filesystem::remove(files.stderrFile);
        return run;
    }
    std::string Put(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, bytes);
        return path;
    }
    // What the form model itself saves after start-up, optionally after
    // opening a file first.
    Bytes FormSaved(const std::string& openFirst = {}) {
        test::ScriptedPrompter prompter;
        FormModel form(prompter);
        form.StartUp();
        if (!openFirst.empty()) {
            EXPECT_TRUE(form.Open(openFirst));
        }
        const std::string path = dir.File("form.kvx");
        EXPECT_TRUE(Save(form, path));
        const Bytes b = test::ReadBytes(path);
        std::filesystem::remove(path);
        return b;
    }
    // The files in the scratch folder, to see that nothing was written.
    std::vector<std::string> Listing() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.Path())) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }
    static Bytes SouthAfricaImage() {
        Bytes b = test::BlankSettingsImage();
        b[146] = 100, b[161] = 3;
        for (int i = 147; i < 161; ++i) b[i] = 255;
        b[162] = 10, b[163] = 20, b[164] = 30, b[165] = 40;
        b[166] = 0x3F, b[167] = 3, b[168] = 7;
        b[169] = b[175] = 1;
        test::PutRecord(b, 0, 10400, 3, 7, {1, 2, 1, 3, 1, 1});
        for (int r = 1; r < 10; ++r) test::PutRecord(b, r, 0xFFFF, 0xFF, 0xFF);
        b[1792 + 5] = 200;
        test::PutDouble(b, 1815, 1234.5);
        test::PutDouble(b, 1823, 321.7);
        return b;
    }

    test::TempDir dir;
};

TEST_F(CliTest, NewWritesWhatTheFormSavesAfterStartUp) {
    const std::string path = dir.File("new.kvx");
    const CliRun run = Cli({"new", path});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(test::ReadBytes(path), FormSaved());
}

TEST_F(CliTest, ResaveWritesWhatTheFormSavesAfterOpen) {
    const std::string in = Put("in.kvx", SouthAfricaImage());
    const std::string out = dir.File("out.kvx"), again = dir.File("again.kvx");
    CliRun run = Cli({"resave", in, out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Bytes saved = test::ReadBytes(out);
    EXPECT_EQ(saved, FormSaved(in));
    // Open clears the option flags, so only the first resave changes bytes.
    EXPECT_EQ(saved[166], 0);
    run = Cli({"resave", out, again});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::ReadBytes(again), saved);
    // In place: a file longer than 2048 bytes keeps its tail.
    Bytes longer = saved;
    longer.resize(3000, 0x77);
    const std::string big = Put("big.kvx", longer);
    ASSERT_EQ(Cli({"resave", big, big}).exitCode, 0);
    EXPECT_EQ(test::ReadBytes(big), longer);
}

TEST_F(CliTest, ShowJson) {
    const CliRun run = Cli({"show", Put("sa.kvx", SouthAfricaImage()), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto parsed = test::Json::Parse(run.out);
    ASSERT_TRUE(parsed) << run.out;
    const test::Json& j = *parsed;
    std::vector<std::string> keys;
    for (const auto& [key, value] : j.Obj()) keys.push_back(key);
    EXPECT_EQ(keys, (std::vector<std::string>{"alignment", "band_plan", "channel_enable", "channels",
                                              "emergency_channel", "option_block", "option_flags", "record_bytes",
                                              "selections", "tone_a_bits", "tone_a_hz", "tone_b_bits", "tone_b_hz"}));
    EXPECT_EQ(j["band_plan"].Num(), 3);
    EXPECT_EQ(j["emergency_channel"].Num(), 7);
    ASSERT_EQ(j["channel_enable"].Arr().size(), 23u);
    for (std::size_t i = 0; i < 23; ++i) EXPECT_EQ(j["channel_enable"][i].Num(), (i == 0 || i == 6) ? 1 : 0);
    ASSERT_EQ(j["channels"].Arr().size(), 10u);
    EXPECT_EQ(j["channels"][0]["label"].Str(), "P1");
    EXPECT_EQ(j["channels"][0]["frequency"].Str(), "26.0000");
    EXPECT_EQ(j["channels"][9]["label"].Str(), "P0");
    EXPECT_EQ(j["channels"][9]["frequency"].Str(), "");
    ASSERT_EQ(j["alignment"].Arr().size(), 4u);
    EXPECT_EQ(j["alignment"][3].Num(), 40);
    for (const test::Json& f : j["option_flags"].Arr()) EXPECT_EQ(f.Num(), 0);
    EXPECT_EQ(j["option_flags"].Arr().size(), 6u);
    EXPECT_EQ(j["selections"].Obj().size(), 16u);
    EXPECT_EQ(j["selections"]["1010"].Num(), 100);
    EXPECT_EQ(j["selections"]["1025"].Num(), 3);
    EXPECT_TRUE(j["selections"]["1017"].IsNull());
    ASSERT_EQ(j["option_block"].Arr().size(), 23u);
    EXPECT_EQ(j["option_block"][5].Num(), 200);
    EXPECT_EQ(j["tone_a_hz"].Num(), 1234.5);
    EXPECT_EQ(j["tone_b_hz"].Num(), 321.7);
}

// The tones are whatever the file holds; the output must stay JSON.
TEST_F(CliTest, ShowJsonOfUnnamedBandPlanAndNonFiniteTones) {
    Bytes b = SouthAfricaImage();
    b[167] = 9;
    test::PutDouble(b, 1815, std::nan(""));
    test::PutDouble(b, 1823, -HUGE_VAL);
    const CliRun run = Cli({"show", "--json", Put("odd.kvx", b)});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto parsed = test::Json::Parse(run.out);
    ASSERT_TRUE(parsed) << run.out;
    EXPECT_TRUE((*parsed)["band_plan"].IsNull());
    EXPECT_TRUE((*parsed)["tone_a_hz"].IsNull());
    EXPECT_TRUE((*parsed)["tone_b_hz"].IsNull());
}

TEST_F(CliTest, ShowTable) {
    const CliRun run = Cli({"show", Put("sa.kvx", SouthAfricaImage())});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("ORVEX Programmer Ver 1.1.2 - sa"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("South Africa"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("26.0000"), std::string::npos) << run.out;
}

TEST_F(CliTest, RefusalsExitOneAndWriteNothing) {
    const std::string bad = Put("short.kvx", test::BlankSettingsImage(2047));
    const auto before = Listing();
    CliRun run = Cli({"show", bad});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err.find("\"short.kvx\"는 잘못된 qmd파일입니다."), std::string::npos) << run.err;
    run = Cli({"resave", bad, dir.File("out.kvx")});
    EXPECT_EQ(run.exitCode, 1);
    run = Cli({"resave", dir.File("missing.kvx"), dir.File("out.kvx")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Can't read file."), std::string::npos) << run.err;
    run = Cli({"new", dir.File("no/folder.kvx")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Can't make file."), std::string::npos) << run.err;

    // A record outside the band (from another tool, or damaged) comes back
    // as it was: Save refuses only what it could not store faithfully.
    Bytes outOfBand = SouthAfricaImage();
    test::PutRecord(outOfBand, 4, 0x1000, 0, 0);
    const std::string in = Put("outofband.kvx", outOfBand);
    run = Cli({"resave", in, dir.File("out.kvx")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const Bytes out = test::ReadBytes(dir.File("out.kvx"));
    ASSERT_EQ(out.size(), 2048u);
    EXPECT_EQ(out[256 + 4 * 11 + 1], 0x10);
    EXPECT_EQ(out[256 + 4 * 11 + 2], 0x00);
    (void)before;
}

TEST_F(CliTest, WrongUsageExitsTwo) {
    const std::string good = Put("good.kvx", SouthAfricaImage());
    const std::vector<std::vector<std::string>> usages = {
        {},
        {"frobnicate"},
        {"new"},
        {"new", dir.File("a.kvx"), dir.File("b.kvx")},
        {"show"},
        {"show", "--json"},
        {"show", good, good},
        {"show", good, "--xml"},
        {"resave", good},
        {"resave", good, dir.File("a.kvx"), dir.File("b.kvx")},
    };
    const auto before = Listing();
    for (const auto& args : usages) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.exitCode, 2) << (args.empty() ? "(none)" : args[0]) << " with " << args.size() << " words";
        EXPECT_FALSE(run.err.empty());
    }
    EXPECT_EQ(Listing(), before);
    const CliRun help = Cli({"help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("resave"), std::string::npos);
}

}  // namespace
}  // namespace orvex
