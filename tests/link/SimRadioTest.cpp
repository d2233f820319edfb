#include <gtest/gtest.h>

#include <initializer_list>

#include "link/EventLoop.h"
#include "settings/ProtocolBytes.h"
#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"
#include "tools/sim/SimControl.h"
#include "tools/sim/SimLinePort.h"
#include "tools/sim/SimRadio.h"

namespace orvex::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The application's burst gap: a pause longer than this starts a new batch.
constexpr int kAppBurstGapMs = 80;

Bytes Feed(SimRadio& radio, const Bytes& bytes) {
    Bytes out;
    for (std::uint8_t b : bytes)
        for (const Emission& e : radio.Feed(b)) out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    return out;
}

Faults FaultsFrom(std::initializer_list<const char*> args) {
    Faults f;
    for (const char* a : args) EXPECT_TRUE(ParseFault(a, f)) << a << ": " << ParseFault(a, f).problem();
    return f;
}

// A whole read; returns the radio's last answer, the closing block.
Bytes ReadToTheEnd(SimRadio& radio) {
    Feed(radio, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ});
    Bytes answer = Feed(radio, {QM_PROTO_ACK});
    for (int r = 1; r <= kChannelCount && answer.size() == ChannelEntry::kSize; ++r) {
        Feed(radio, {CalcChecksum(answer.data(), 10)});
        answer = Feed(radio, {QM_PROTO_ACK});
    }
    return answer;
}

std::uint16_t TxCode(int channel) { return static_cast<std::uint16_t>(10400 + 40 * channel); }  // 26.1, 26.2 .. MHz
std::uint16_t RxCode(int channel) { return static_cast<std::uint16_t>(TxCode(channel) + 4278); }  // + 10.695 MHz

struct WriteReplies {
    Bytes handshake, blocks, closing;
};

// The block a write sends for channel c.
Bytes Block(std::uint8_t plan, int c, std::uint8_t emg) {
    std::uint8_t a = 0, b = 0;
    ComputeSlots(plan, c, a, b);
    const std::uint16_t rx = RxCode(c), tx = TxCode(c);
    return {QM_PROTO_ACK, a, b, std::uint8_t(rx >> 8), std::uint8_t(rx), std::uint8_t(tx >> 8),
            std::uint8_t(tx), 0, 0, 0, emg, QM_PROTO_BLOCK_END};
}

// A write up to, not including, the final acknowledge.
WriteReplies WriteAllBlocks(SimRadio& radio, std::uint8_t plan, const Bytes& flags, std::uint8_t emg) {
    WriteReplies r;
    r.handshake = Feed(radio, {QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD, plan});
    for (int c = 1; c <= kChannelCount; ++c) {
        for (std::uint8_t byte : Block(plan, c, emg)) {
            const Bytes reply = Feed(radio, {byte});
            r.blocks.insert(r.blocks.end(), reply.begin(), reply.end());
        }
    }
    if (plan == kBandPlanSouthAfrica)
        for (std::uint8_t f : flags) r.closing = Feed(radio, {f});
    const Bytes closing = Feed(radio, {QM_PROTO_CLOSING});
    r.closing.insert(r.closing.end(), closing.begin(), closing.end());
    return r;
}

TEST(SimRadioRead, HandshakeTenRecordsAndTheClosingBlock) {
    const RadioMemory memory = SampleMemory();
    SimRadio radio(memory);
    EXPECT_EQ(Feed(radio, {QM_PROTO_CHK_DEV}), Bytes{QM_PROTO_CHK_DEV_ACK});
    EXPECT_EQ(Feed(radio, {QM_PROTO_SET_UPLOAD}), Bytes{QM_PROTO_SET_DOWNLOAD_ACK});
    EXPECT_EQ(Feed(radio, {QM_PROTO_UPLOAD_REQ}), Bytes{QM_PROTO_READY});
    Bytes answer = Feed(radio, {QM_PROTO_ACK});
    for (int r = 1; r <= kChannelCount; ++r) {
        SCOPED_TRACE(r);
        ASSERT_EQ(answer.size(), 11u);
        EXPECT_EQ(answer[0], r);
        EXPECT_EQ((answer[1] << 8) | answer[2], memory.records[r - 1].m_wFreq);
        EXPECT_EQ(answer[3], kBandPlanSouthAfrica);
        EXPECT_EQ(answer[4], 7);
        EXPECT_EQ(Feed(radio, {CalcChecksum(answer.data(), 10)}), Bytes{QM_PROTO_ACK});
        answer = Feed(radio, {QM_PROTO_ACK});
    }
    ASSERT_EQ(answer.size(), kClosingBlockMinSize);
    EXPECT_EQ(answer[0], 0);
    EXPECT_EQ(Bytes(answer.begin() + 1, answer.end()), Bytes(memory.flags.begin(), memory.flags.end()));
    EXPECT_EQ(radio.ReadsCompleted(), 1);
}

TEST(SimRadioRead, WrongChecksumIsRefusedAndTheRecordComesAgainInABurstOfItsOwn) {
    SimRadio radio(SampleMemory());
    Feed(radio, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ});
    const Bytes record = Feed(radio, {QM_PROTO_ACK});
    ASSERT_EQ(record.size(), 11u);
    const std::uint8_t sum = CalcChecksum(record.data(), 10);

    const std::vector<Emission> refusal = radio.Feed(static_cast<std::uint8_t>(sum ^ 0x01));
    ASSERT_EQ(refusal.size(), 2u);
    EXPECT_EQ(refusal[0].bytes, Bytes{QM_PROTO_NAK});
    EXPECT_EQ(refusal[1].bytes, record);
    EXPECT_GT(refusal[1].delayMs, kAppBurstGapMs);

    EXPECT_EQ(Feed(radio, {sum}), Bytes{QM_PROTO_ACK});
    const Bytes next = Feed(radio, {QM_PROTO_ACK});
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next[0], 2);
}

TEST(SimRadioWrite, BlocksAreAcknowledgedAndKeptOnlyOnTheFinalAcknowledge) {
    for (std::uint8_t plan : {std::uint8_t{0}, std::uint8_t{kBandPlanSouthAfrica}}) {
        SCOPED_TRACE(int(plan));
        const RadioMemory before = SampleMemory();
        SimRadio radio(before);
        Bytes flags(kChannelEnableCount);
        for (int i = 0; i < kChannelEnableCount; ++i) flags[i] = i % 3 == 0;
        const WriteReplies replies = WriteAllBlocks(radio, plan, flags, 12);
        EXPECT_EQ(replies.handshake, (Bytes{QM_PROTO_CHK_DEV_ACK, QM_PROTO_SET_DOWNLOAD_ACK, QM_PROTO_READY}));
        EXPECT_EQ(replies.blocks, Bytes(kChannelCount, QM_PROTO_BLOCK_END));
        EXPECT_EQ(replies.closing, Bytes{QM_PROTO_CLOSING});

        EXPECT_EQ(radio.WritesCompleted(), 0);
        EXPECT_EQ(radio.Memory().bandPlan, before.bandPlan);
        EXPECT_EQ(radio.Memory().records[0].m_wFreq, before.records[0].m_wFreq);

        EXPECT_TRUE(Feed(radio, {QM_PROTO_ACK}).empty());
        EXPECT_TRUE(radio.TakeWriteCompleted());
        EXPECT_FALSE(radio.TakeWriteCompleted());
        const RadioMemory& m = radio.Memory();
        EXPECT_EQ(m.bandPlan, plan);
        EXPECT_EQ(m.emgChannel, 12);
        for (int c = 1; c <= kChannelCount; ++c) {
            std::uint8_t a = 0, b = 0;
            ComputeSlots(plan, c, a, b);
            EXPECT_EQ(m.records[c - 1].m_nNumber, c);
            EXPECT_EQ(m.records[c - 1].m_wFreq, TxCode(c));
            EXPECT_EQ(m.rxCode[c - 1], RxCode(c));
            EXPECT_EQ(m.slotA[c - 1], a);
            EXPECT_EQ(m.slotB[c - 1], b);
        }
        const Bytes kept(m.flags.begin(), m.flags.end());
        EXPECT_EQ(kept, plan == kBandPlanSouthAfrica ? flags : Bytes(before.flags.begin(), before.flags.end()));

        // What was written is what the next read reports.
        const Bytes closing = ReadToTheEnd(radio);
        ASSERT_EQ(closing.size(), kClosingBlockMinSize);
        EXPECT_EQ(Bytes(closing.begin() + 1, closing.end()), kept);
    }
}

// A transfer cut off where the line goes: the radio gives it up and answers
// the next device check, and a write leaves what it delivered (its band plan
// and whole blocks) over what the radio held, as nothing undoes them.
TEST(SimRadioCutOff, AfterTheLineDropsTheRadioAnswersAgainAndHoldsWhatTheWriteDelivered) {
    const RadioMemory before = SampleMemory();
    const Bytes flags(kChannelEnableCount, 1);
    // blocks: whole blocks written before the cut (none for the read), then
    // partOfNext bytes of the next; all of them leaves the closing block
    // sent too, under another band plan, awaiting the final acknowledge.
    const struct {
        const char* where;
        bool write;
        int blocks, partOfNext;
    } cases[] = {
        {"a read awaiting a record's checksum", false, 0, 0},
        {"a write between blocks 3 and 4", true, 3, 0},
        {"a write inside block 4", true, 3, 5},
        {"a write awaiting its final acknowledge", true, kChannelCount, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        SimRadio radio(before);
        const bool whole = c.blocks == kChannelCount;
        const std::uint8_t plan = !c.write ? before.bandPlan : whole ? kBandPlanSouthAfrica : 0;
        if (!c.write) {
            Feed(radio, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ, QM_PROTO_ACK});
        } else if (whole) {
            WriteAllBlocks(radio, plan, flags, 12);
        } else {
            Feed(radio, {QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD, plan});
            for (int ch = 1; ch <= c.blocks; ++ch) Feed(radio, Block(plan, ch, 12));
            const Bytes next = Block(plan, c.blocks + 1, 12);
            Feed(radio, Bytes(next.begin(), next.begin() + c.partOfNext));
        }
        EXPECT_EQ(radio.LineDropped(), c.write);
        EXPECT_EQ(Feed(radio, {QM_PROTO_CHK_DEV}), Bytes{QM_PROTO_CHK_DEV_ACK});
        EXPECT_EQ(ReadToTheEnd(radio).size(), kClosingBlockMinSize);
        EXPECT_EQ(radio.ReadsCompleted(), 1);
        EXPECT_EQ(radio.WritesCompleted(), 0);
        EXPECT_FALSE(radio.TakeWriteCompleted());
        const RadioMemory& m = radio.Memory();
        EXPECT_EQ(m.bandPlan, plan);
        for (int ch = 1; ch <= kChannelCount; ++ch)
            EXPECT_EQ(m.records[ch - 1].m_wFreq, ch <= c.blocks ? TxCode(ch) : before.records[ch - 1].m_wFreq)
                << "channel " << ch;
        EXPECT_EQ(Bytes(m.flags.begin(), m.flags.end()), whole ? flags : Bytes(before.flags.begin(), before.flags.end()));
    }
}

// The same on the simulated line, through the cable's own unplug and plug.
TEST(SimRadioCutOff, ACablePulledDuringAWriteAndPluggedInAgainFindsTheRadioAnswering) {
    EventLoop loop{EventLoop::Clock::Virtual};
    SimRadio radio(SampleMemory());
    SimLinePort port(loop, radio);
    auto send = [&](const Bytes& bytes) {
        port.WriteComm(bytes.data(), static_cast<int>(bytes.size()));
        loop.RunFor(500);
        return port.WithQueue([](CByteQueue& q) {
            Bytes got;
            for (std::uint8_t b = 0; q.GetByte(b);) got.push_back(b);
            return got;
        });
    };
    ASSERT_TRUE(port.OpenPort("sim0", kBaudRate, 0));
    send({QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD, 0});
    const Bytes block = Block(0, 1, 12);
    send(Bytes(block.begin(), block.begin() + 5));
    port.Unplug();
    loop.RunFor(1000);
    port.Plug();
    ASSERT_TRUE(port.OpenPort("sim0", kBaudRate, 0)) << port.LastError();
    EXPECT_EQ(send({QM_PROTO_CHK_DEV}), (Bytes{QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV_ACK}));
}

TEST(SimRadioFaults, ArgumentsAreParsedOrRefusedWithAReason) {
    Faults f;
    for (const char* good : {"silent", "mute-after=5", "hangup-after=0x10", "closing=10", "noise=3", "seed=9",
                             "nak=chk", "nak=record:3", "flood=ready", "reply=3:0x55", "reply=11:0", "store-wrong=10"})
        EXPECT_TRUE(ParseFault(good, f)) << good << ": " << ParseFault(good, f).problem();
    EXPECT_TRUE(f.silent);
    EXPECT_EQ(f.muteAfter, 5);
    EXPECT_EQ(f.hangupAfter, 16);
    EXPECT_EQ(f.closingSize, 10);
    EXPECT_EQ(f.nakStep, Step::Record);
    EXPECT_EQ(f.nakIndex, 3);
    EXPECT_EQ(f.floodStep, Step::Ready);
    EXPECT_EQ(f.replyBlock, 11);
    EXPECT_EQ(f.replyValue, 0);
    EXPECT_EQ(f.storeWrong, 10);

    for (const char* bad : {"", "bogus", "mute-after", "mute-after=-1", "mute-after=5x", "closing=4097", "noise=0",
                            "nak=record:0", "nak=record:11", "nak=nowhere", "reply=3", "reply=0:1", "reply=12:1",
                            "reply=3:zz", "reply=3:0x155", "store-wrong=0", "store-wrong=11", "store-wrong"}) {
        const Outcome<void> parsed = ParseFault(bad, f);
        EXPECT_FALSE(parsed) << bad;
        EXPECT_FALSE(parsed.problem().Text().empty()) << bad;
    }
}

TEST(SimRadioFaults, SilenceAndMuting) {
    SimRadio silent(SampleMemory(), FaultsFrom({"silent"}));
    EXPECT_TRUE(Feed(silent, {QM_PROTO_CHK_DEV, QM_PROTO_CHK_DEV}).empty());

    SimRadio muted(SampleMemory(), FaultsFrom({"mute-after=2"}));
    EXPECT_EQ(Feed(muted, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD}),
              (Bytes{QM_PROTO_CHK_DEV_ACK, QM_PROTO_SET_DOWNLOAD_ACK}));
    EXPECT_TRUE(Feed(muted, {QM_PROTO_UPLOAD_REQ, QM_PROTO_CHK_DEV}).empty());

    SimRadio line(SampleMemory(), FaultsFrom({"hangup-after=3"}));
    Feed(line, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD});
    EXPECT_FALSE(line.HangUpDue());
    Feed(line, {QM_PROTO_UPLOAD_REQ});
    EXPECT_TRUE(line.HangUpDue());
}

// A refusal is a one-off: the application's retry must be able to get
// through, or the recovery it exercises never succeeds.
TEST(SimRadioFaults, RefusalComesOnceAndTheNextDeviceCheckIsAnswered) {
    SimRadio chk(SampleMemory(), FaultsFrom({"nak=chk"}));
    EXPECT_EQ(Feed(chk, {QM_PROTO_CHK_DEV}), Bytes{QM_PROTO_NAK});
    EXPECT_EQ(Feed(chk, {QM_PROTO_CHK_DEV}), Bytes{QM_PROTO_CHK_DEV_ACK});

    SimRadio dir(SampleMemory(), FaultsFrom({"nak=dir"}));
    EXPECT_EQ(Feed(dir, {QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD}), (Bytes{QM_PROTO_CHK_DEV_ACK, QM_PROTO_NAK}));
    EXPECT_EQ(Feed(dir, {QM_PROTO_CHK_DEV, QM_PROTO_SET_DOWNLOAD, 0}),
              (Bytes{QM_PROTO_CHK_DEV_ACK, QM_PROTO_SET_DOWNLOAD_ACK, QM_PROTO_READY}));

    SimRadio ready(SampleMemory(), FaultsFrom({"nak=ready"}));
    EXPECT_EQ(Feed(ready, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ}),
              (Bytes{QM_PROTO_CHK_DEV_ACK, QM_PROTO_SET_DOWNLOAD_ACK, QM_PROTO_NAK}));
    EXPECT_EQ(ReadToTheEnd(ready).size(), kClosingBlockMinSize);
}

TEST(SimRadioFaults, ShortClosingBlockFloodAndAWrongBlockReply) {
    SimRadio shortBlock(SampleMemory(), FaultsFrom({"closing=10"}));
    const Bytes closing = ReadToTheEnd(shortBlock);
    ASSERT_EQ(closing.size(), 10u);
    const RadioMemory sample = SampleMemory();
    EXPECT_EQ(Bytes(closing.begin() + 1, closing.end()), Bytes(sample.flags.begin(), sample.flags.begin() + 9));

    SimRadio flood(SampleMemory(), FaultsFrom({"flood=ready"}));
    EXPECT_EQ(Feed(flood, {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD}).size(), 2u);
    EXPECT_EQ(Feed(flood, {QM_PROTO_UPLOAD_REQ}), Bytes(kFloodSize, 0x55));

    SimRadio reply(SampleMemory(), FaultsFrom({"reply=3:0x55"}));
    const WriteReplies replies = WriteAllBlocks(reply, 0, {}, 0);
    Bytes expected(kChannelCount, QM_PROTO_BLOCK_END);
    expected[2] = 0x55;
    EXPECT_EQ(replies.blocks, expected);
    Feed(reply, {QM_PROTO_ACK});
    EXPECT_EQ(reply.WritesCompleted(), 1);
}

TEST(SimRadioSwap, EachBuiltInRadioHoldsOtherFrequenciesInsideTheBand) {
    EXPECT_EQ(SampleMemory(0).records, SampleMemory().records);
    for (int n : {1, 2, 400, 401}) {
        const RadioMemory m = SampleMemory(n);
        EXPECT_NE(m.records, SampleMemory(n - 1).records) << n;
        for (const ChannelEntry& r : m.records) {
            if (r.IsEmpty()) continue;
            EXPECT_GE(r.m_wFreq, kMinFrequencyCode) << n;
            EXPECT_LE(r.m_wFreq, kMaxFrequencyCode) << n;
        }
    }
    // A wrong channel is still a frequency of the band, and never the one written.
    for (std::uint16_t code : {kMinFrequencyCode, kMaxFrequencyCode, kEmptyFrequencyCode, std::uint16_t{0}}) {
        const std::uint16_t wrong = SimRadio::WrongFrequency(code);
        EXPECT_NE(wrong, code);
        EXPECT_GE(wrong, kMinFrequencyCode);
        EXPECT_LE(wrong, kMaxFrequencyCode);
    }
}

TEST(SimRadioSwap, ControlLinesAreParsedOrRefusedWithAReason) {
    const auto parse = [](const char* line) {
        const Outcome<ControlCommand> c = ParseControl(line);
        EXPECT_TRUE(c) << line << ": " << c.problem();
        return c ? c.value() : ControlCommand{};
    };
    EXPECT_EQ(parse("  away\r").kind, ControlCommand::Kind::Away);
    EXPECT_EQ(parse("connect").kind, ControlCommand::Kind::Connect);
    EXPECT_EQ(parse("connect").file, "");
    EXPECT_EQ(parse("connect  /tmp/my radio.kvx ").file, "/tmp/my radio.kvx");
    EXPECT_EQ(parse("unplug").kind, ControlCommand::Kind::Unplug);
    EXPECT_EQ(parse("plug").kind, ControlCommand::Kind::Plug);
    for (const char* bad : {"", "connected", "away now", "plug in", "AWAY"}) {
        const Outcome<ControlCommand> c = ParseControl(bad);
        EXPECT_FALSE(c) << bad;
        EXPECT_FALSE(c.problem().Text().empty()) << bad;
    }
}

}  // namespace
}  // namespace orvex::sim
