#include <gtest/gtest.h>

#include <vector>

#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"

namespace orvex {
namespace {

std::uint8_t Checksum(std::vector<std::uint8_t> bytes) { return CalcChecksum(bytes); }

TEST(CalcChecksum, OnesComplementOfTheByteSum) {
    EXPECT_EQ(Checksum({0x01, 0x28, 0xA0, 0x03, 0x05, 0, 0, 0, 0, 0}), 0x2E);
    EXPECT_EQ(Checksum({'a', 'b', 'c'}), 0xD9);
    EXPECT_EQ(Checksum(std::vector<std::uint8_t>(10, 0)), 0xFF);
    EXPECT_EQ(Checksum({}), 0xFF);
    EXPECT_EQ(Checksum({0xFF}), 0x00);
    EXPECT_EQ(Checksum({0xFF, 0x01}), 0xFF);  // the sum wraps at 8 bits
    EXPECT_EQ(Checksum(std::vector<std::uint8_t>(300, 0xFF)), 0x2B);
}

struct BlockCase {
    const char* cell;
    std::uint8_t rxHigh, rxLow, txHigh, txLow;
};

TEST(EncodeBlockFrequency, ReceiveAndTransmitCodes) {
    const BlockCase cases[] = {
        {"26.0000", 0x39, 0x56, 0x28, 0xA0},
        {"30.0000", 0x3F, 0x96, 0x2E, 0xE0},
        {"27.0050", 0x3A, 0xE8, 0x2A, 0x32},  // 15080, not 15079
        {"", 0xFF, 0xFF, 0xFF, 0xFF},
        {"0", 0xFF, 0xFF, 0xFF, 0xFF},
    };
    for (const BlockCase& c : cases) {
        const BlockFrequency rx = EncodeBlockFrequency(c.cell, kReceiveOffsetMHz);
        const BlockFrequency tx = EncodeBlockFrequency(c.cell, 0.0);
        EXPECT_TRUE(rx.ok && tx.ok) << c.cell;
        EXPECT_EQ(rx.high, c.rxHigh) << c.cell;
        EXPECT_EQ(rx.low, c.rxLow) << c.cell;
        EXPECT_EQ(tx.high, c.txHigh) << c.cell;
        EXPECT_EQ(tx.low, c.txLow) << c.cell;
    }
}

// Sending any of these would program a frequency nobody chose.
TEST(EncodeBlockFrequency, RefusesOutOfBandAndOffStepCells) {
    for (const char* cell : {"25.9975", "30.0025", "27.0010", "27.001", "-27.0000", "inf"})
        for (double offset : {kReceiveOffsetMHz, 0.0}) EXPECT_FALSE(EncodeBlockFrequency(cell, offset).ok) << cell;
}

TEST(ComputeSlots, ByBandPlan) {
    const struct {
        int plan, channel;
        std::uint8_t a, b;
    } cases[] = {{0, 1, 1, 11},   {0, 10, 10, 20}, {1, 1, 21, 31},  {1, 10, 30, 40}, {2, 5, 45, 55},
                 {3, 10, 50, 60}, {4, 1, 41, 51},  {255, 1, 41, 51}};
    for (const auto& c : cases) {
        std::uint8_t a = 0, b = 0;
        ComputeSlots(c.plan, c.channel, a, b);
        EXPECT_EQ(a, c.a) << "plan " << c.plan << " channel " << c.channel;
        EXPECT_EQ(b, c.b) << "plan " << c.plan << " channel " << c.channel;
    }
    for (int channel : {0, 11, -1}) {
        std::uint8_t a = 7, b = 9;
        ComputeSlots(1, channel, a, b);
        EXPECT_EQ(a, 7);
        EXPECT_EQ(b, 9);
    }
}

TEST(BuildChannelBlock, ByteOrder) {
    const auto block = BuildChannelBlock({21, 31, {true, 0x39, 0x56}, {true, 0x28, 0xA0}, 12});
    EXPECT_EQ(block, (std::array<std::uint8_t, 12>{0xAA, 21, 31, 0x39, 0x56, 0x28, 0xA0, 0, 0, 0, 12, 0xCC}));
}

TEST(DecodeRecord, RowFrequencyBandPlanAndEmergencyChannel) {
    const std::array<std::uint8_t, 11> raw = {0x05, 0x2E, 0xE0, 0x03, 0x07, 1, 2, 3, 4, 5, 6};
    const DecodedRecord r = DecodeRecord(ChannelEntry::FromBytes(raw));
    EXPECT_EQ(r.row, 5);
    EXPECT_EQ(r.cellText, "30.0000");
    EXPECT_EQ(r.bandPlan, 3);
    EXPECT_EQ(r.emgChannel, 7);

    const std::array<std::uint8_t, 11> empty = {0x09, 0xFF, 0xFF, 0x00, 0x00, 0, 0, 0, 0, 0, 0};
    const DecodedRecord e = DecodeRecord(ChannelEntry::FromBytes(empty));
    EXPECT_EQ(e.row, 9);
    EXPECT_EQ(e.cellText, "");
}

TEST(DecodeClosingBlock, FlagsFromBytesOneToTwentyThree) {
    EXPECT_EQ(DecodeClosingBlock({}), std::nullopt);
    EXPECT_EQ(DecodeClosingBlock(std::vector<std::uint8_t>(23, 1)), std::nullopt);

    std::vector<std::uint8_t> block(30, 0);
    block[0] = 1;    // not a flag
    block[1] = 1;    // CH 01
    block[7] = 0x80; // CH 07: whatever the radio sends, a box holds 0 or 1
    block[23] = 1;   // CH 23
    block[24] = 1;   // past the flags
    const auto flags = DecodeClosingBlock(block);
    ASSERT_TRUE(flags);
    std::array<int, kChannelEnableCount> expected{};
    expected[0] = expected[6] = expected[22] = 1;
    EXPECT_EQ(*flags, expected);
    block.resize(24);
    EXPECT_EQ(DecodeClosingBlock(block), expected);
}

}  // namespace
}  // namespace orvex
