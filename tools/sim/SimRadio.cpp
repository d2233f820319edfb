#include "tools/sim/SimRadio.h"

#include <cstdlib>

#include "settings/ProtocolBytes.h"
#include "settings/QMDataMng.h"

namespace orvex::sim {
namespace {

constexpr double kSampleMHz[kChannelCount] = {26.965, 27.005, 27.125, 27.405, 0, 28.0, 29.6, 26.0, 30.0, 27.215};

bool ParseStep(const std::string& text, Step& step, int& index) {
    const auto colon = text.find(':');
    const std::string name = text.substr(0, colon);
    index = colon == std::string::npos ? 0 : std::atoi(text.c_str() + colon + 1);
    if (name == "chk") step = Step::CheckDevice;
    else if (name == "dir") step = Step::Direction;
    else if (name == "ready") step = Step::Ready;
    else if (name == "record") step = Step::Record;
    else if (name == "block") step = Step::Block;
    else if (name == "closing") step = Step::Closing;
    else return false;
    return (step != Step::Record && step != Step::Block) || (index >= 1 && index <= kChannelCount);
}

}  // namespace

RadioMemory SampleMemory() {
    RadioMemory m;
    m.bandPlan = kBandPlanSouthAfrica;
    m.emgChannel = 7;
    for (int i = 0; i < kChannelCount; ++i) {
        ChannelEntry& r = m.records[i];
        r.m_nNumber = static_cast<std::uint8_t>(i + 1);
        r.m_wFreq = kSampleMHz[i] == 0 ? kEmptyFrequencyCode
                                       : static_cast<std::uint16_t>(kSampleMHz[i] * 1000.0 / kStepKHz + 0.5);
    }
    for (int n : {1, 2, 3, 5, 7, 9, 11, 19, 23}) m.flags[n - 1] = 1;
    return m;
}

RadioMemory SampleMemory(int n) {
    RadioMemory m = SampleMemory();
    constexpr int kSpan = kMaxFrequencyCode - kMinFrequencyCode + 1;
    for (ChannelEntry& r : m.records) {
        if (r.IsEmpty()) continue;
        const int moved = (r.m_wFreq - kMinFrequencyCode + 4 * n) % kSpan;
        r.m_wFreq = static_cast<std::uint16_t>(kMinFrequencyCode + (moved + kSpan) % kSpan);
    }
    return m;
}

std::uint16_t SimRadio::WrongFrequency(std::uint16_t code) {
    // 10 kHz off, inside the band, so the read-back shows a plausible but
    // different channel rather than an unreadable one.
    if (code < kMinFrequencyCode || code > kMaxFrequencyCode) return kMinFrequencyCode + 386;  // 26.9650
    return static_cast<std::uint16_t>(code + 4 <= kMaxFrequencyCode ? code + 4 : code - 4);
}

Outcome<void> ParseFault(const std::string& text, Faults& f) {
    const auto eq = text.find('=');
    const std::string kind = text.substr(0, eq);
    const std::string arg = eq == std::string::npos ? std::string{} : text.substr(eq + 1);
    auto number = [&](long& out) {
        char* end = nullptr;
        out = std::strtol(arg.c_str(), &end, 0);
        return !arg.empty() && *end == '\0' && out >= 0;
    };
    long n = 0;
    if (kind == "silent") {
        f.silent = true;
    } else if (kind == "mute-after" && number(n)) {
        f.muteAfter = n;
    } else if (kind == "hangup-after" && number(n)) {
        f.hangupAfter = n;
    } else if (kind == "closing" && number(n) && n <= 4096) {
        f.closingSize = static_cast<int>(n);
    } else if (kind == "noise" && number(n) && n > 0) {
        f.noiseEvery = static_cast<int>(n);
    } else if (kind == "store-wrong" && number(n) && n >= 1 && n <= kChannelCount) {
        f.storeWrong = static_cast<int>(n);
    } else if (kind == "lose-row" && number(n) && n >= 1 && n <= kChannelCount) {
        f.loseRow = static_cast<int>(n);
    } else if (kind == "seed" && number(n)) {
        f.seed = static_cast<unsigned>(n);
    } else if (kind == "nak" && ParseStep(arg, f.nakStep, f.nakIndex)) {
    } else if (kind == "flood" && ParseStep(arg, f.floodStep, f.floodIndex)) {
    } else if (kind == "reply") {
        const auto colon = arg.find(':');
        if (colon == std::string::npos) return Problem{.what = "reply takes BLOCK:BYTE, for example reply=3:0x55"};
        f.replyBlock = std::atoi(arg.substr(0, colon).c_str());
        if (f.replyBlock < 1 || f.replyBlock > kChannelCount + 1)
            return Problem{.where = "reply", .why = "block 1..10, or 11 for the closing byte"};
        char* end = nullptr;
        const long value = std::strtol(arg.c_str() + colon + 1, &end, 0);
        if (arg[colon + 1] == '\0' || *end != '\0' || value < 0 || value > 0xFF)
            return Problem{.where = "reply", .why = "the byte must be 0..255, for example reply=3:0x55"};
        f.replyValue = static_cast<std::uint8_t>(value);
    } else {
        return Problem{.what = "unknown fault '" + text + "'"};
    }
    return {};
}

SimRadio::SimRadio(RadioMemory memory, Faults faults)
    : m_memory(memory), m_pending(memory), m_faults(faults), m_random(faults.seed) {}

bool SimRadio::TakeWriteCompleted() {
    const bool was = m_writeCompleted;
    m_writeCompleted = false;
    return was;
}

bool SimRadio::LineDropped() {
    const bool writing =
        m_state == State::WriteBlocks || m_state == State::WriteFlags || m_state == State::AwaitFinalAck;
    m_state = State::Idle;
    m_collect.clear();
    if (!writing) return false;
    m_memory = m_pending;
    return true;
}

std::vector<std::uint8_t> SimRadio::Answer(Step step, int index, std::vector<std::uint8_t> normal) {
    const bool indexed = step == Step::Record || step == Step::Block;
    m_refused = false;
    // A refused record checksum is answered where the checksum arrives.
    if (step != Step::Record && m_faults.nakStep == step && !m_nakDone && (!indexed || m_faults.nakIndex == index)) {
        m_nakDone = true;
        m_refused = true;
        normal = {QM_PROTO_NAK};
    } else if (m_faults.floodStep == step && (!indexed || m_faults.floodIndex == index)) {
        normal.assign(kFloodSize, 0x55);
    }
    ++m_answers;
    if (m_faults.noiseEvery > 0 && m_answers % m_faults.noiseEvery == 0)
        normal.push_back(static_cast<std::uint8_t>(m_random() & 0xFF));
    return normal;
}

std::vector<Emission> SimRadio::Advance(State next, Step step, std::vector<std::uint8_t> normal) {
    std::vector<std::uint8_t> answer = Answer(step, 0, std::move(normal));
    // Having refused, the radio waits for a new device check; taking the
    // next byte as data would leave it stuck in the middle of a transfer.
    m_state = m_refused ? State::Idle : next;
    return {{0, std::move(answer)}};
}

std::vector<std::uint8_t> SimRadio::RecordBytes(int r) const {
    ChannelEntry e = m_memory.records[r - 1];
    e.m_nRadioBandPlan = m_memory.bandPlan;
    e.m_nRadioEmgChannel = m_memory.emgChannel;
    const auto b = e.ToBytes();
    return {b.begin(), b.end()};
}

std::vector<std::uint8_t> SimRadio::ClosingBlock() const {
    std::vector<std::uint8_t> block(static_cast<std::size_t>(m_faults.closingSize), 0);
    for (int i = 0; i < kChannelEnableCount && i + 1 < m_faults.closingSize; ++i) block[1 + i] = m_memory.flags[i];
    return block;
}

void SimRadio::StoreBlock(int channel, const std::vector<std::uint8_t>& b) {
    const int i = channel - 1;
    ChannelEntry& r = m_pending.records[i];
    r.m_nNumber = static_cast<std::uint8_t>(channel);
    r.m_wFreq = static_cast<std::uint16_t>((b[5] << 8) | b[6]);
    m_pending.rxCode[i] = static_cast<std::uint16_t>((b[3] << 8) | b[4]);
    m_pending.slotA[i] = b[1];
    m_pending.slotB[i] = b[2];
    m_pending.emgChannel = b[10];
    if (channel == m_faults.storeWrong) r.m_wFreq = WrongFrequency(r.m_wFreq);
    if (channel == m_faults.loseRow) r.m_nNumber = 0;
}

std::vector<Emission> SimRadio::TakeRecordChecksum(std::uint8_t byte) {
    const auto record = RecordBytes(m_record);
    const bool refuse = m_faults.nakStep == Step::Record && m_faults.nakIndex == m_record && !m_nakDone;
    if (byte != CalcChecksum(record.data(), 10) || refuse) {
        if (refuse) m_nakDone = true;
        return {{0, {QM_PROTO_NAK}}, {kResendDelayMs, record}};
    }
    m_state = State::AwaitAck;
    return {{0, {QM_PROTO_ACK}}};
}

std::vector<Emission> SimRadio::TakeRecordAck(std::uint8_t byte) {
    if (byte != QM_PROTO_ACK) return {};
    if (m_record < kChannelCount) {
        ++m_record;
        m_state = State::AwaitChecksum;
        return Reply(Step::Record, m_record, RecordBytes(m_record));
    }
    m_state = State::Idle;
    ++m_reads;
    return Reply(Step::Closing, 0, ClosingBlock());
}

std::vector<Emission> SimRadio::TakeBlockByte(std::uint8_t byte) {
    m_collect.push_back(byte);
    if (m_collect.size() == 1 && byte != QM_PROTO_ACK) {
        m_collect.clear();  // not the start of a block
        return {};
    }
    if (m_collect.size() < kChannelBlockSize) return {};
    const int channel = m_block++;
    if (m_collect.back() == QM_PROTO_BLOCK_END) StoreBlock(channel, m_collect);
    m_collect.clear();
    if (m_block > kChannelCount) m_state = State::WriteFlags;
    const std::uint8_t reply = m_faults.replyBlock == channel ? m_faults.replyValue : QM_PROTO_BLOCK_END;
    return Reply(Step::Block, channel, {reply});
}

std::vector<Emission> SimRadio::TakeFlagByte(std::uint8_t byte) {
    m_collect.push_back(byte);
    const std::size_t needed = m_pending.bandPlan == kBandPlanSouthAfrica ? kChannelEnableCount + 1 : 1;
    if (m_collect.size() < needed) return {};
    if (needed > 1)
        for (int i = 0; i < kChannelEnableCount; ++i) m_pending.flags[i] = m_collect[i] ? 1 : 0;
    m_collect.clear();
    m_state = State::AwaitFinalAck;
    const std::uint8_t reply = m_faults.replyBlock == kChannelCount + 1 ? m_faults.replyValue : QM_PROTO_CLOSING;
    return Reply(Step::Closing, 0, {reply});
}

std::vector<Emission> SimRadio::Feed(std::uint8_t byte) {
    ++m_received;
    if (m_faults.silent || (m_faults.muteAfter >= 0 && m_received > m_faults.muteAfter)) return {};

    // A device check starts over wherever the radio is not taking data.
    const bool takingData = m_state == State::AwaitChecksum || m_state == State::WriteDirection ||
                            m_state == State::WriteBlocks || m_state == State::WriteFlags;
    if (byte == QM_PROTO_CHK_DEV && !takingData) m_state = State::Idle;

    switch (m_state) {
        case State::Idle:
            if (byte != QM_PROTO_CHK_DEV) return {};
            return Advance(State::Checked, Step::CheckDevice, {QM_PROTO_CHK_DEV_ACK});
        case State::Checked:
            if (byte == QM_PROTO_SET_UPLOAD)
                return Advance(State::ReadDirection, Step::Direction, {QM_PROTO_SET_DOWNLOAD_ACK});
            if (byte == QM_PROTO_SET_DOWNLOAD)
                return Advance(State::WriteDirection, Step::Direction, {QM_PROTO_SET_DOWNLOAD_ACK});
            return {};
        case State::ReadDirection:
            if (byte != QM_PROTO_UPLOAD_REQ) return {};
            return Advance(State::ReadReady, Step::Ready, {QM_PROTO_READY});
        case State::ReadReady:
            if (byte != QM_PROTO_ACK) return {};
            m_record = 1;
            m_state = State::AwaitChecksum;
            return Reply(Step::Record, 1, RecordBytes(1));
        case State::AwaitChecksum: return TakeRecordChecksum(byte);
        case State::AwaitAck: return TakeRecordAck(byte);
        case State::WriteDirection:
            m_pending = m_memory;
            m_pending.bandPlan = byte;
            m_block = 1;
            m_collect.clear();
            return Advance(State::WriteBlocks, Step::Ready, {QM_PROTO_READY});
        case State::WriteBlocks: return TakeBlockByte(byte);
        case State::WriteFlags: return TakeFlagByte(byte);
        case State::AwaitFinalAck:
            if (byte != QM_PROTO_ACK) return {};
            m_memory = m_pending;
            ++m_writes;
            m_writeCompleted = true;
            m_state = State::Idle;
            return {};
    }
    return {};
}

}  // namespace orvex::sim
