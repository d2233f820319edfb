// The line test and orvex-cli doctor against the simulator on a
// pseudo-terminal, with a radio, with a cable whose radio is off, and with
// nothing on the line.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "link/CRadioPort.h"
#include "link/ConnectionCheck.h"
#include "support/ChildProcess.h"
#include "support/MiniJson.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

using test::ToolPath;

class Doctor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(ToolPath("").empty()) << "ORVEX_BIN_DIR is not set"; }
    // The simulator with this cable, reachable through a link in dir.
    void StartSimulator(const std::string& cable) {
        sim = std::make_unique<test::ChildProcess>();
        ASSERT_TRUE(sim->Start({ToolPath("sim/orvex-radio-sim"), "--link", link, "--cable", cable}));
        ASSERT_FALSE(sim->FirstLine(10'000).empty()) << sim->Stderr();
    }
    void TearDown() override {
        if (!sim || !sim->Running()) return;
        sim->Signal(SIGTERM);
        EXPECT_EQ(sim->Wait(5000), 0);
    }
    LineTestResult LineTest() {
        EventLoop loop(EventLoop::Clock::Real);
        CRadioPort port;
        return RunLineTest(port, link, loop);
    }
    test::TempDir dir;
    const std::string link = dir.File("radio");
    std::unique_ptr<test::ChildProcess> sim;
};

TEST_F(Doctor, TheLineTestTellsTheRadioTheCableAndNothingApart) {
    StartSimulator("ok");
    LineTestResult r = LineTest();
    EXPECT_EQ(r.answer, LineAnswer::Radio);
    EXPECT_EQ(r.received, (std::vector<std::uint8_t>{0x11, 0x7F}));
    EXPECT_EQ(LineFinding(r).result, FindingResult::Ok);
    TearDown();

    StartSimulator("echo-only");
    r = LineTest();
    EXPECT_EQ(r.answer, LineAnswer::EchoOnly);
    EXPECT_EQ(r.received, (std::vector<std::uint8_t>{0x11}));
    EXPECT_NE(LineFinding(r).fix.find("Switch the radio on"), std::string::npos);
    TearDown();

    StartSimulator("none");
    r = LineTest();
    EXPECT_EQ(r.answer, LineAnswer::Silent);
    EXPECT_TRUE(r.received.empty());
    EXPECT_EQ(LineFinding(r).result, FindingResult::Problem);
}

TEST_F(Doctor, ThePortThatDoesNotOpenIsAProblemNotACrash) {
    test::WriteBytes(link, {});  // a plain file is no serial port
    const LineTestResult r = LineTest();
    EXPECT_EQ(r.answer, LineAnswer::NotTested);
    EXPECT_FALSE(r.openError.empty());
    EXPECT_EQ(LineFinding(r).result, FindingResult::Problem);
}

// orvex-cli doctor in a clean environment, so no port map of the machine
// running the tests leaks in.
test::Exit RunDoctor(const std::vector<std::string>& args, const test::TempDir& dir, std::string& out,
                     std::string& err) {
    test::ChildProcess cli;
    test::ChildProcess::Options clean;
    clean.without = {"ORVEX_PORT_", "ORVEX_TRACE"};
    std::vector<std::string> argv = {ToolPath("cli/orvex-cli"), "doctor"};
    argv.insert(argv.end(), args.begin(), args.end());
    const test::ChildProcess::Env env = {{"ORVEX_PORT_FILE", dir.File("ORVEX.CFG")},
                                         {"ORVEX_PORT_MAP", "COM4=" + dir.File("radio")},
                                         {"HOME", dir.Path().string()},
                                         {"XDG_CONFIG_HOME", dir.File("config")}};
    if (!cli.Start(argv, env, clean)) return {};
    const test::Exit e = cli.Finish(15'000);
    out = cli.Stdout();
    err = cli.Stderr();
    return e;
}

TEST_F(Doctor, TheCliSucceedsOnlyWhenTheRadioAnswers) {
    StartSimulator("ok");
    std::string out, err;
    test::Exit e = RunDoctor({"--port", link, "--json"}, dir, out, err);
    EXPECT_TRUE(e.exited);
    EXPECT_EQ(e.status, 0) << out << err;
    auto json = test::Json::Parse(out);
    ASSERT_TRUE(json) << "not JSON:\n" << out;
    EXPECT_EQ((*json)["device"].Str(), link);
    EXPECT_EQ((*json)["radio"].Str(), "answers");
    bool sawLine = false;
    for (const test::Json& f : (*json)["findings"].Arr()) {
        EXPECT_FALSE(f["check"].Str().empty());
        const std::string result = f["result"].Str();
        EXPECT_TRUE(result == "ok" || result == "problem" || result == "note") << result;
        EXPECT_FALSE(f["detail"].Str().empty());
        if (f["check"].Str() == "line") sawLine = result == "ok";
    }
    EXPECT_TRUE(sawLine) << out;

    // The COM name of the port map means the same device.
    e = RunDoctor({"--port", "COM4"}, dir, out, err);
    EXPECT_EQ(e.status, 0) << out << err;
    EXPECT_NE(out.find("ok       Line test at 9600 8N1: the radio answered"), std::string::npos) << out;
    TearDown();

    StartSimulator("echo-only");
    e = RunDoctor({"--port", link, "--json"}, dir, out, err);
    EXPECT_EQ(e.status, 1) << out << err;
    json = test::Json::Parse(out);
    ASSERT_TRUE(json) << "not JSON:\n" << out;
    EXPECT_EQ((*json)["radio"].Str(), "echo-only");
    TearDown();

    // A device that is not there: found before anything is opened.
    e = RunDoctor({"--port", dir.File("absent")}, dir, out, err);
    EXPECT_EQ(e.status, 1) << out << err;
    EXPECT_NE(out.find("PROBLEM  " + dir.File("absent") + " does not exist."), std::string::npos) << out;
    EXPECT_NE(out.find("fix: Plug the cable in"), std::string::npos) << out;

    EXPECT_EQ(RunDoctor({"--port"}, dir, out, err).status, 2);
    EXPECT_EQ(RunDoctor({"--bogus"}, dir, out, err).status, 2);
}

}  // namespace
}  // namespace orvex
