#include <gtest/gtest.h>

#include "files/SessionLock.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

using filestore::IsSessionLockHeld;
using filestore::SessionLock;

// Two holders in one process must see each other, as two windows would.
TEST(RecoverySessionLock, HeldUntilItsHolderEndsThenGone) {
    test::TempDir dir;
    const std::string path = dir.File("session-a.lock");
    EXPECT_FALSE(IsSessionLockHeld(path));
    {
        const auto lock = SessionLock::Take(path);
        ASSERT_TRUE(lock);
        EXPECT_TRUE(IsSessionLockHeld(path));
        EXPECT_TRUE(IsSessionLockHeld(path)) << "probing must not take or drop the lock";
        EXPECT_FALSE(SessionLock::Take(path));
        EXPECT_FALSE(IsSessionLockHeld(dir.File("session-b.lock")));
    }
    EXPECT_FALSE(IsSessionLockHeld(path));
    EXPECT_FALSE(test::Exists(path));
    EXPECT_FALSE(SessionLock::Take(dir.File("no-such-folder/session-c.lock")));
}

}  // namespace
}  // namespace orvex
