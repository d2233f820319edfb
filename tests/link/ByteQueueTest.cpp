#include <gtest/gtest.h>

#include "link/ByteQueue.h"

namespace orvex {
namespace {

TEST(ByteQueue, HoldsAtMost8191BytesAndRefusesMoreWithoutLosingAny) {
    CByteQueue q;
    for (int i = 0; i < CByteQueue::kCapacity; ++i) ASSERT_TRUE(q.PutByte(static_cast<std::uint8_t>(i)));
    EXPECT_EQ(q.GetSize(), 8191);
    EXPECT_FALSE(q.PutByte(0xEE));
    EXPECT_EQ(q.GetSize(), 8191);

    std::uint8_t b = 0;
    ASSERT_TRUE(q.GetByte(b));
    EXPECT_EQ(b, 0);
    EXPECT_TRUE(q.PutByte(0xEE));  // room for exactly one
    EXPECT_FALSE(q.PutByte(0xEF));

    for (int i = 1; i < CByteQueue::kCapacity; ++i) {
        ASSERT_TRUE(q.GetByte(b));
        ASSERT_EQ(b, static_cast<std::uint8_t>(i));
    }
    ASSERT_TRUE(q.GetByte(b));
    EXPECT_EQ(b, 0xEE);
    EXPECT_EQ(q.GetSize(), 0);
}

TEST(ByteQueue, SizeAndOrderSurviveTheIndicesWrapping) {
    CByteQueue q;
    int put = 0, taken = 0;
    std::uint8_t next = 0, expected = 0;
    // The level rises by 500 a round, so the indices pass 8191 three times.
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 5500; ++i, ++put) ASSERT_TRUE(q.PutByte(next++));
        ASSERT_EQ(q.GetSize(), put - taken);
        for (int i = 0; i < 5000; ++i, ++taken) {
            std::uint8_t b = 0;
            ASSERT_TRUE(q.GetByte(b));
            ASSERT_EQ(b, expected++);
        }
        ASSERT_EQ(q.GetSize(), put - taken);
    }
}

TEST(ByteQueue, EmptyQueueLeavesTheOutputAloneAndClearEmptiesAWrappedQueue) {
    CByteQueue q;
    std::uint8_t b = 0x5A;
    EXPECT_FALSE(q.GetByte(b));
    EXPECT_EQ(b, 0x5A);

    for (int i = 0; i < 8000; ++i) q.PutByte(1);
    for (int i = 0; i < 8000; ++i) q.GetByte(b);
    for (int i = 0; i < 300; ++i) q.PutByte(2);  // across the end of the buffer
    q.Clear();
    EXPECT_EQ(q.GetSize(), 0);
    b = 0xA5;
    EXPECT_FALSE(q.GetByte(b));
    EXPECT_EQ(b, 0xA5);
    for (int i = 0; i < CByteQueue::kCapacity; ++i) ASSERT_TRUE(q.PutByte(3));
    EXPECT_FALSE(q.PutByte(3));
}

}  // namespace
}  // namespace orvex
