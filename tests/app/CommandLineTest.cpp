#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "app/CommandLine.h"

namespace orvex {
namespace {

CommandLine Parse(std::initializer_list<const char*> args) {
    std::vector<const char*> argv{"orvex"};
    argv.insert(argv.end(), args);
    return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

using Files = std::vector<std::string>;

TEST(CommandLineTest, FilesAreTakenAsGivenAndDashesEndOptions) {
    EXPECT_EQ(Parse({}).request, Request::Run);
    const CommandLine line = Parse({"a.kvx", "-", "--", "-b.kvx", "--help", "--"});
    EXPECT_EQ(line.request, Request::Run);
    EXPECT_EQ(line.files, (Files{"a.kvx", "-", "-b.kvx", "--help", "--"}));
    // Not UTF-8: the bytes are kept for the file calls.
    EXPECT_EQ(Parse({"\xff\xfe.kvx"}).files, Files{"\xff\xfe.kvx"});
}

TEST(CommandLineTest, HelpAndVersionWinOverAWrongOptionAnywhere) {
    EXPECT_EQ(Parse({"a.kvx", "-h"}).request, Request::Help);
    EXPECT_EQ(Parse({"--frobnicate", "--version"}).request, Request::Version);
    EXPECT_EQ(Parse({"-v", "--help"}).request, Request::Version);
}

TEST(CommandLineTest, TheToolkitsOptionsPassWithTheirValues) {
    const CommandLine line = Parse({"-platform", "offscreen", "--style", "Fusion", "-reverse", "-stylesheet=x.qss",
                                    "-qmljsdebugger=port:1", "radio.kvx"});
    EXPECT_EQ(line.request, Request::Run);
    EXPECT_EQ(line.files, Files{"radio.kvx"});
}

TEST(CommandLineTest, AnythingElseIsTheFirstWrongOption) {
    for (const char* wrong : {"--frobnicate", "-x", "--platform-x", "-reverse=1x", "-=", "---"}) {
        const CommandLine line = Parse({"a.kvx", wrong, "--nope"});
        EXPECT_EQ(line.request, Request::Wrong) << wrong;
        EXPECT_EQ(line.wrong, wrong);
    }
}

}  // namespace
}  // namespace orvex
