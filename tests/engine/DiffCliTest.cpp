// orvex-cli diff: two settings files, or a file and the radio (the
// simulator on a pseudo-terminal), compared; exit 0 when the same, 1 when
// different, 2 when a side could not be had.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/support/Processes.h"
#include "engine/support/Samples.h"
#include "link/LinkTexts.h"
#include "support/MiniJson.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

using namespace test;
using namespace std::chrono_literals;

std::string Describe(const CliResult& r) {
    return "exit " + std::to_string(r.exit.status) + "\nstdout:\n" + r.out + "stderr:\n" + r.err;
}

bool ExitedWith(const CliResult& r, int status) { return r.exit.exited && r.exit.status == status; }

// A file holding what path holds with row's cell changed, as the form
// saves it.
std::string WithCell(const TempDir& dir, const std::string& path, const std::string& name, int row,
                     const std::string& cell) {
    ScriptedPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(path)) throw std::runtime_error(path + ": " + prompter.LastText());
    form.SetCellText(row, cell);
    const std::string out = dir.File(name);
    if (!Save(form, out)) throw std::runtime_error(out + ": " + prompter.LastText());
    return out;
}

std::size_t FilesIn(const std::string& folder) {
    std::error_code ec;
    std::size_t n = 0;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
        ++n;
    return n;
}

TEST(DiffCli, TwoFilesAreTheSameOrEachDifferenceIsPrinted) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string a = SaveSample(dir, "a.kvx", kBandPlanSouthAfrica, {3, 5});
    const std::string b = SaveSample(dir, "b.kvx", kBandPlanSouthAfrica, {3, 5});
    CliResult r = RunCli(dir, "same", {"diff", a, b});
    EXPECT_TRUE(ExitedWith(r, 0)) << Describe(r);
    EXPECT_EQ(r.out, a + " and " + b + " hold the same settings.\n");
    EXPECT_EQ(r.err, "");

    const std::string c = WithCell(dir, SaveSample(dir, "c.kvx", kBandPlanSouthAfrica, {3, 23}), "c.kvx", 3, "26.99");
    r = RunCli(dir, "differ", {"diff", a, c});
    EXPECT_TRUE(ExitedWith(r, 1)) << Describe(r);
    EXPECT_EQ(r.out, a + " | " + c + "\nP3: (empty) | 26.9900\nCH 05: on | off\nCH 23: off | on\n");

    r = RunCli(dir, "json", {"diff", "--json", a, c});
    EXPECT_TRUE(ExitedWith(r, 1)) << Describe(r);
    const auto json = Json::Parse(r.out);
    ASSERT_TRUE(json.has_value()) << r.out;
    EXPECT_EQ((*json)["a"].Str(), a);
    EXPECT_EQ((*json)["b"].Str(), c);
    EXPECT_FALSE(std::get<bool>((*json)["same"].v));
    const Json::Array& differences = (*json)["differences"].Arr();
    ASSERT_EQ(differences.size(), 3u) << r.out;
    EXPECT_EQ(differences[0]["field"].Str() + differences[0]["a"].Str() + differences[0]["b"].Str(),
              "P3(empty)26.9900");
    EXPECT_TRUE((*json)["other_bytes"].IsNull()) << r.out;

}

// Wrong usage and a side that cannot be opened end with status 2, the
// reason on stderr and nothing on stdout.
TEST(DiffCli, BadInputEndsWithStatusTwoAndSaysWhy) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string a = SaveSample(dir, "a.kvx", 0);
    const std::string missing = dir.File("missing.kvx");
    const std::string notes = dir.File("notes.kvx");
    std::ofstream(notes) << std::string(2048, 'x');
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"no sides", {"diff"}, "diff needs two settings"},
        {"one side", {"diff", a}, "diff needs two settings"},
        {"three sides", {"diff", a, a, a}, "not " + a},
        {"an unknown option", {"diff", a, "--all", a}, "not --all"},
        {"--port without a device", {"diff", "radio", a, "--port"}, "--port needs a device path"},
        {"--port with no radio side", {"diff", a, a, "--port", "/dev/ttyUSB0"}, "neither side is the word radio"},
        {"a missing file", {"diff", a, missing}, std::string(texts::kCantReadFile) + "\n  " + missing},
        {"not a settings file", {"diff", notes, a}, "notes.kvx"},
        // The file is refused before the radio is tried: no port is opened.
        {"a missing file beside the radio", {"diff", "radio", missing, "--port", dir.File("nothing")},
         std::string(texts::kCantReadFile)},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        const CliResult r = RunCli(dir, "case" + std::to_string(i), c.args);
        EXPECT_TRUE(ExitedWith(r, 2)) << Describe(r);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.says), std::string::npos) << Describe(r);
        EXPECT_EQ(r.err.find(std::string(texts::kCantOpenPort)), std::string::npos) << Describe(r);
    }
}

TEST(DiffCli, TheRadioIsReadAndComparedAsTheFormHoldsIt) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string link = dir.File("ttyRADIO");
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {}).empty());
    const std::string read = dir.File("read.kvx");
    CliResult r = RunCli(dir, "read", {"read", "--port", link, "-o", read});
    ASSERT_TRUE(ExitedWith(r, 0)) << Describe(r);

    r = RunCli(dir, "same", {"diff", "radio", read, "--port", link});
    EXPECT_TRUE(ExitedWith(r, 0)) << Describe(r);
    EXPECT_EQ(r.out, "radio and " + read + " hold the same settings.\n");

    const std::string changed = WithCell(dir, read, "changed.kvx", 3, "26.9900");
    r = RunCli(dir, "differ", {"diff", "--port", link, changed, "radio"});
    EXPECT_TRUE(ExitedWith(r, 1)) << Describe(r);
    EXPECT_EQ(r.out, changed + " | radio\nP3: 26.9900 | 27.1250\n");
    // Like every completed read, the diff's reads are kept.
    EXPECT_EQ(FilesIn(dir.File("data/orvex/backups")), 3u);
}

// A radio that does not answer: the link's own message, status 2, nothing
// printed or kept.
TEST(DiffCli, ARadioThatDoesNotAnswerGivesTheLinksMessageAndWritesNothing) {
    ASSERT_FALSE(BinDir().empty()) << "ORVEX_BIN_DIR is not set";
    TempDir dir;
    const std::string link = dir.File("ttyRADIO");
    const std::string a = SaveSample(dir, "a.kvx", 0);
    SimProcess sim;
    ASSERT_FALSE(sim.Start(link, {"--fault", "silent"}).empty());
    const CliResult r = RunCli(dir, "silent", {"diff", a, "radio", "--port", link}, 15s);
    EXPECT_TRUE(ExitedWith(r, 2)) << Describe(r);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Occurrences(r.err, std::string(texts::kTimeout)), 1) << Describe(r);
    EXPECT_EQ(FilesIn(dir.File("data/orvex/backups")), 0u);

    const CliResult none = RunCli(dir, "no-port", {"diff", a, "radio", "--port", dir.File("nothing")}, 15s);
    EXPECT_TRUE(ExitedWith(none, 2)) << Describe(none);
    EXPECT_EQ(none.out, "");
    EXPECT_NE(none.err.find(std::string(texts::kCantOpenPort)), std::string::npos) << Describe(none);
}

}  // namespace
}  // namespace orvex
