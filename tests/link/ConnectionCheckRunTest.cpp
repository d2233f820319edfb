// Connection Check beside its owner: the findings come back on the owner's
// loop, and an owner that goes first is never called.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace orvex
