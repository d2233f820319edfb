#pragma once
// The radio's side of the programming protocol, for the simulator. Fed the
// bytes the application sends; answers with what a radio would send.
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "settings/Problem.h"
#include "settings/RadioImage.h"
#include "settings/RadioSettings.h"

namespace orvex::sim {

struct RadioMemory {
    std::array<ChannelEntry, kChannelCount> records{};
    std::uint8_t bandPlan = 0;
    std::uint8_t emgChannel = 0;
    std::array<std::uint8_t, kChannelEnableCount> flags{};
    // Slot numbers of the last write, for inspection.
    std::array<std::uint8_t, kChannelCount> slotA{};
    std::array<std::uint8_t, kChannelCount> slotB{};
    std::array<std::uint16_t, kChannelCount> rxCode{};
    bool operator==(const RadioMemory&) const = default;
};

// A varied sample: South Africa, emergency channel 7, some channels empty.
RadioMemory SampleMemory();
// Another radio's memory: the sample with every used channel moved up by
// n times 10 kHz (wrapping inside the band); n = 0 is the sample itself.
RadioMemory SampleMemory(int n);

// Steps at which a fault can be placed.
enum class Step { None, CheckDevice, Direction, Ready, Record, Block, Closing };

struct Faults {
    bool silent = false;           // the cable echoes, the radio never answers
    long muteAfter = -1;           // stop answering after this many received bytes
    Step nakStep = Step::None;     // answer NAK instead, once
    int nakIndex = 0;              // record or block number for Record/Block
    int replyBlock = 0;            // write: reply to block N (11 = closing) with replyValue
    std::uint8_t replyValue = 0;
    int closingSize = static_cast<int>(kClosingBlockMinSize);
    int noiseEvery = 0;            // add a random byte after every N-th answer
    Step floodStep = Step::None;   // answer with a flood of kFloodSize bytes
    int floodIndex = 0;
    long hangupAfter = -1;         // close the line after this many received bytes
    int storeWrong = 0;            // write: channel N is kept with another frequency (0: none)
    int loseRow = 0;               // write: channel N is kept under no row number (0: none)
    unsigned seed = 1;
};

inline constexpr int kFloodSize = 48;
// A record the radio sends again after refusing a checksum comes as a burst
// of its own, after the application's burst gap.
inline constexpr int kResendDelayMs = 150;

// Bytes the radio sends after a pause counted from its previous answer.
struct Emission {
    int delayMs;
    std::vector<std::uint8_t> bytes;
};

// Parses one --fault argument ("nak=record:3", "closing=10", ...) into
// faults; a bad argument leaves the ones before it.
Outcome<void> ParseFault(const std::string& text, Faults& faults);

class SimRadio {
public:
    explicit SimRadio(RadioMemory memory, Faults faults = {});

    // One byte from the application; returns the radio's answer (possibly
    // empty). The cable's echo is not part of it.
    std::vector<Emission> Feed(std::uint8_t byte);

    // The line should close now (hang-up fault).
    bool HangUpDue() const { return m_faults.hangupAfter >= 0 && m_received >= m_faults.hangupAfter; }

    const RadioMemory& Memory() const { return m_memory; }
    int WritesCompleted() const { return m_writes; }
    int ReadsCompleted() const { return m_reads; }
    // True once after each completed write (the simulator saves then).
    bool TakeWriteCompleted();
    // The line to the application went (cable pulled, radio taken off):
    // whatever transfer was under way is over, and the radio waits for a
    // device check again. A write cut off leaves what it delivered in the
    // radio, as nothing undoes the blocks already sent; true for such a
    // write (the memory may have changed).
    bool LineDropped();

    // The frequency a radio with the store-wrong fault keeps instead of code.
    static std::uint16_t WrongFrequency(std::uint16_t code);

private:
    enum class State { Idle, Checked, ReadDirection, ReadReady, AwaitChecksum, AwaitAck, WriteDirection,
                       WriteBlocks, WriteFlags, AwaitFinalAck };

    std::vector<std::uint8_t> Answer(Step step, int index, std::vector<std::uint8_t> normal);
    std::vector<Emission> Reply(Step step, int index, std::vector<std::uint8_t> normal) {
        return {{0, Answer(step, index, std::move(normal))}};
    }
    // A handshake answer: moves to next unless the answer was a refusal.
    std::vector<Emission> Advance(State next, Step step, std::vector<std::uint8_t> normal);
    std::vector<std::uint8_t> RecordBytes(int r) const;
    std::vector<std::uint8_t> ClosingBlock() const;
    void StoreBlock(int channel, const std::vector<std::uint8_t>& block);
    std::vector<Emission> TakeRecordChecksum(std::uint8_t byte);
    std::vector<Emission> TakeRecordAck(std::uint8_t byte);
    std::vector<Emission> TakeBlockByte(std::uint8_t byte);
    std::vector<Emission> TakeFlagByte(std::uint8_t byte);

    RadioMemory m_memory;
    RadioMemory m_pending;  // what a write builds up until its final acknowledge or its cut-off
    Faults m_faults;
    State m_state = State::Idle;
    int m_record = 0;
    int m_block = 0;
    std::vector<std::uint8_t> m_collect;
    long m_received = 0;
    int m_answers = 0;
    bool m_nakDone = false;  // the NAK fault comes once per run
    bool m_refused = false;  // the last Answer was the NAK fault
    int m_writes = 0;
    int m_reads = 0;
    bool m_writeCompleted = false;
    std::mt19937 m_random;
};

}  // namespace orvex::sim
