// Connection Check beside its owner: the findings come back on the owner's
// loop, and an owner that goes first is never called.
#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "link/ConnectionCheckRun.h"
#include "link/support/PtyPair.h"

namespace orvex {
namespace {

TEST(ConnectionCheckRun, FindingsComeBackOnTheOwnersLoopAndNotAfterTheOwnerWent) {
    test::PtyPair silentLine;  // opens, and nobody answers: the test listens its whole time
    for (const bool ownerWaits : {true, false}) {
        EventLoop owner(EventLoop::Clock::Real);
        int calls = 0;
        std::thread::id calledOn;
        std::vector<Finding> got;
        auto run = std::make_unique<ConnectionCheckRun>(
            owner, silentLine.SlavePath(), SourcesOfThisProcess(), nullptr,
            [&](std::vector<Finding> findings, bool answers) {
                ++calls;
                calledOn = std::this_thread::get_id();
                got = std::move(findings);
                EXPECT_FALSE(answers);
            });
        if (!ownerWaits) {
            run.reset();  // waits for the line test, then drops its findings
            owner.RunFor(50);
            EXPECT_EQ(calls, 0);
            continue;
        }
        EXPECT_TRUE(owner.RunUntil([&] { return calls > 0; }, 5000));
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(calledOn, std::this_thread::get_id());
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got.back().check, "line");
        EXPECT_EQ(got.back().result, FindingResult::Problem) << got.back().detail;
    }
}

// The fixes name the front end's own way to the ports; with no device there
// is no line to test.
TEST(ConnectionCheckRun, FixesSendTheUserWhereTheFrontEndSays) {
    test::PtyPair silentLine;
    CheckSources sources = SourcesOfThisProcess();
    sources.picking = {"Pick it in the list.", "the list"};
    for (const std::string& device : {silentLine.SlavePath(), std::string("/dev/no-such-cable")}) {
        EventLoop owner(EventLoop::Clock::Real);
        std::optional<std::vector<Finding>> got;
        ConnectionCheckRun run(owner, device, sources, nullptr,
                               [&](std::vector<Finding> findings, bool) { got = std::move(findings); });
        ASSERT_TRUE(owner.RunUntil([&] { return got.has_value(); }, 5000)) << device;
        const Finding& last = got->back();
        if (device == silentLine.SlavePath()) {
            EXPECT_EQ(last.check, "line");
            EXPECT_NE(last.fix.find("(the list)"), std::string::npos) << last.fix;
        } else {
            EXPECT_EQ(last.check, "device");
            EXPECT_EQ(last.fix, "Pick it in the list.");
        }
    }
}

}  // namespace
}  // namespace orvex
