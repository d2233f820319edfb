// orvex-cli export and import as a user runs them: the files they write, the
// exit status, and that a refused input writes nothing.
#include <gtest/gtest.h>

#include "support/ChildProcess.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

using test::Bytes;

struct CliResult {
    int exitCode = -1;
    std::string out, err;
};

class ExchangeCliTest : public ::testing::Test {
protected:
    CliResult Cli(std::vector<std::string> args) {
        args.insert(args.begin(), test::ToolPath("cli/orvex-cli"));
        test::ChildProcess::Options files;
        files.stdoutFile = dir.File("stdout.txt");
        files.stderrFile = dir.File("stderr.txt");
        test::ChildProcess cli;
        EXPECT_TRUE(cli.Start(args, {}, files)) << args[0];
        const test::Exit exit = cli.Finish(60'000);
        CliResult run;
        if (exit.exited) run.exitCode = exit.status;
        const Bytes o = test::ReadBytes(files.stdoutFile), e = test::ReadBytes(files.stderrFile);
        run.out.assign(o.begin(), o.end());
        run.err.assign(e.begin(), e.end());
        return run;
    }
    std::string Put(const std::string& name, const std::string& text) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, Bytes(text.begin(), text.end()));
        return path;
    }
    std::string PutImage(const std::string& name) {
        Bytes b = test::BlankSettingsImage();
        b[167] = 3, b[168] = 7, b[169] = b[175] = 1;
        test::PutRecord(b, 0, 10850, 3, 7, {1, 2, 1, 3, 1, 1});
        for (int r = 1; r < 9; ++r) test::PutRecord(b, r, 0xFFFF, 3, 7);
        test::PutRecord(b, 9, 11990, 3, 7);
        test::PutDouble(b, 1815, 1234.5);
        const std::string path = dir.File(name);
        test::WriteBytes(path, b);
        return path;
    }
    Bytes Resaved(const std::string& in) {
        const std::string out = dir.File("resaved.kvx");
        std::filesystem::remove(out);
        EXPECT_EQ(Cli({"resave", in, out}).exitCode, 0);
        return test::ReadBytes(out);
    }
    test::TempDir dir;
};

TEST_F(ExchangeCliTest, ExportedFilesImportToWhatResaveWrites) {
    const std::string kvx = PutImage("radio.kvx");
    const CliResult show = Cli({"show", kvx, "--json"});
    const CliResult json = Cli({"export", kvx, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.out, show.out);
    ASSERT_EQ(Cli({"export", kvx, "-o", dir.File("radio.json")}).exitCode, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("radio.json")), Bytes(show.out.begin(), show.out.end()));
    ASSERT_EQ(Cli({"import", dir.File("radio.json"), "-o", dir.File("from-json.kvx")}).exitCode, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("from-json.kvx")), Resaved(kvx));

    const CliResult csv = Cli({"export", kvx});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_EQ(csv.out, "Channel,Frequency\nP1,27.1250\nP2,\nP3,\nP4,\nP5,\nP6,\nP7,\nP8,\nP9,\nP0,29.9750\n");
    ASSERT_EQ(Cli({"export", kvx, "--csv", "-o", dir.File("radio.csv")}).exitCode, 0);
    const CliResult imported = Cli({"import", dir.File("radio.csv"), "--base", kvx, "-o", dir.File("from-csv.kvx")});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_EQ(test::ReadBytes(dir.File("from-csv.kvx")), Resaved(kvx));
}

TEST_F(ExchangeCliTest, RefusedInputWritesNothing) {
    const std::string out = dir.File("out.kvx"), kept = Put("kept.kvx", "not touched");
    const std::string badCsv = Put("bad.csv", "Channel,Frequency\r\nP1,27.1263\r\n");
    for (const std::string& target : {out, kept}) {
        const CliResult run = Cli({"import", badCsv, "-o", target});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "orvex-cli: " + badCsv +
                               ": row 2 (P1): frequency \"27.1263\" is not on the 2.5 kHz step\nNothing was written.\n");
    }
    const CliResult json = Cli({"import", Put("bad.json", "{\"channels\": 5}"), "-o", out});
    EXPECT_EQ(json.exitCode, 1);
    EXPECT_NE(json.err.find("key \"channels\": expected an array of 10 channels, got 5"), std::string::npos) << json.err;
    const CliResult base = Cli({"import", dir.File("radio.csv"), "--base", dir.File("missing.kvx"), "-o", out});
    EXPECT_EQ(base.exitCode, 1);
    EXPECT_FALSE(test::Exists(out));
    EXPECT_EQ(test::ReadBytes(kept), Bytes({'n', 'o', 't', ' ', 't', 'o', 'u', 'c', 'h', 'e', 'd'}));
}

TEST_F(ExchangeCliTest, WrongUsageExitsTwo) {
    const std::string kvx = PutImage("radio.kvx"), csv = Put("in.csv", "");
    const std::string sheet = "Channel,Frequency\nP1,27.125\nP2,\nP3,\nP4,\nP5,\nP6,\nP7,\nP8,\nP9,\nP0,\n";
    const std::string self = Put("self.csv", sheet);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"import", csv},
             {"import", Put("in.txt", ""), "-o", dir.File("o.kvx")},
             {"import", csv, "-o"},
             {"import", csv, "--bogus", "-o", dir.File("o.kvx")},
             {"export"},
             {"export", kvx, "--csv", "--json"},
             {"export", kvx, kvx},
             {"export", kvx, "-o", kvx},
             {"import", self, "-o", self}}) {
        const CliResult run = Cli(args);
        EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args.size() << ": " << run.err;
    }
    EXPECT_FALSE(test::Exists(dir.File("o.kvx")));
    EXPECT_EQ(test::ReadBytes(kvx).size(), 2048u);
    EXPECT_EQ(test::ReadBytes(self), test::Bytes(sheet.begin(), sheet.end()));
    const CliResult help = Cli({"help"});
    EXPECT_NE(help.out.find("  export FILE [--csv | --json] [-o OUT]\n"), std::string::npos);
    EXPECT_NE(help.out.find("  import IN.csv|IN.json [--base FILE] -o OUT\n"), std::string::npos);
}

}  // namespace
}  // namespace orvex
