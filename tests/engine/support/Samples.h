#pragma once
// Channel tables and radio memories with their expected bytes written out,
// so that the link is checked against numbers, not against the codec.
#include <array>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/ProtocolBytes.h"
#include "settings/RadioImage.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "tools/sim/SimRadio.h"
#include "ui/model/FormModel.h"

namespace orvex::test {

using Bytes = std::vector<std::uint8_t>;

struct SampleChannel {
    const char* text;    // the cell
    std::uint16_t code;  // MHz * 400, 0xFFFF for an empty cell
};

// Both band edges, an empty row, and two codes whose low byte is 0xAA or
// 0xCC: echo matching goes by value and must still pair every byte.
inline constexpr std::array<SampleChannel, kChannelCount> kSampleChannels = {{
    {"26.0000", 10400},
    {"27.0050", 10802},
    {"", 0xFFFF},
    {"30.0000", 12000},
    {"27.4050", 10962},
    {"28.0000", 11200},
    {"29.6000", 11840},
    {"26.9650", 10786},
    {"26.7500", 10700},  // 0x29CC
    {"26.6650", 10666},  // 0x29AA
}};

// 10.695 MHz in 2.5 kHz steps: the receive code's offset.
inline constexpr std::uint16_t kReceiveOffsetSteps = 4278;

inline std::uint8_t Hi(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
inline std::uint8_t Lo(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

// What the radio holds before a read: South Africa, emergency channel 7,
// five channels enabled, a record with a non-zero tail.
inline constexpr std::uint8_t kSampleEmg = 7;
inline constexpr std::initializer_list<int> kSampleFlags = {1, 2, 7, 12, 23};
inline constexpr std::array<std::uint8_t, 6> kSampleTail = {1, 2, 3, 4, 5, 6};

inline sim::RadioMemory SampleRadio() {
    sim::RadioMemory m;
    m.bandPlan = kBandPlanSouthAfrica;
    m.emgChannel = kSampleEmg;
    for (int i = 0; i < kChannelCount; ++i) {
        m.records[i].m_nNumber = static_cast<std::uint8_t>(i + 1);
        m.records[i].m_wFreq = kSampleChannels[i].code;
        m.records[i].m_tail = {};
    }
    m.records[1].m_tail = kSampleTail;
    for (int n : kSampleFlags) m.flags[n - 1] = 1;
    return m;
}

// Record r (1..10) as the radio sends it: bytes 3 and 4 carry the radio's
// band plan and emergency channel.
inline Bytes SampleRecord(int r) {
    const SampleChannel& c = kSampleChannels[r - 1];
    Bytes b = {static_cast<std::uint8_t>(r), Hi(c.code), Lo(c.code), kBandPlanSouthAfrica, kSampleEmg, 0, 0, 0, 0, 0, 0};
    if (r == 2) std::copy(kSampleTail.begin(), kSampleTail.end(), b.begin() + 5);
    return b;
}

// The closing block: byte 0 unused, then the 23 flags.
inline Bytes ClosingBlock(std::size_t size = kClosingBlockMinSize) {
    Bytes b(size, 0);
    for (int n : kSampleFlags) b[n] = 1;
    return b;
}

// Everything the application writes in a read that goes as planned.
inline Bytes ExpectedReadBytes() {
    Bytes b = {QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD, QM_PROTO_UPLOAD_REQ, QM_PROTO_ACK};
    for (int r = 1; r <= kChannelCount; ++r) {
        const Bytes record = SampleRecord(r);
        b.push_back(CalcChecksum(record.data(), 10));
        b.push_back(QM_PROTO_ACK);
    }
    return b;
}

// The block of channel c for the sample table.
inline Bytes ExpectedBlock(int c, int bandPlan, std::uint8_t emg) {
    const std::uint16_t tx = kSampleChannels[c - 1].code;
    const std::uint16_t rx = tx == 0xFFFF ? tx : static_cast<std::uint16_t>(tx + kReceiveOffsetSteps);
    const int base = bandPlan == 0 ? 0 : bandPlan == 1 ? 20 : 40;
    return {QM_PROTO_ACK, static_cast<std::uint8_t>(base + c), static_cast<std::uint8_t>(base + 10 + c),
            Hi(rx),       Lo(rx),
            Hi(tx),       Lo(tx),
            0,            0,
            0,            emg,
            QM_PROTO_BLOCK_END};
}

// One written byte and the pause the link must keep after it.
struct Paced {
    std::uint8_t byte;
    int pauseMs;
};

inline std::vector<Paced> ExpectedWrite(int bandPlan, std::uint8_t emg, const std::vector<int>& flags = {}) {
    std::vector<Paced> out = {{QM_PROTO_CHK_DEV, 3}, {QM_PROTO_SET_DOWNLOAD, 3}, {static_cast<std::uint8_t>(bandPlan), 3}};
    for (int c = 1; c <= kChannelCount; ++c)
        for (std::uint8_t b : ExpectedBlock(c, bandPlan, emg)) out.push_back({b, 10});
    if (bandPlan == kBandPlanSouthAfrica) {
        for (int n = 1; n <= kChannelEnableCount; ++n) {
            const bool on = std::find(flags.begin(), flags.end(), n) != flags.end();
            out.push_back({static_cast<std::uint8_t>(on ? 1 : 0), 50});
        }
    }
    out.push_back({QM_PROTO_CLOSING, 50});
    out.push_back({QM_PROTO_ACK, 3});
    return out;
}

inline Bytes BytesOf(const std::vector<Paced>& paced) {
    Bytes b;
    for (const Paced& p : paced) b.push_back(p.byte);
    return b;
}

// The sample table in the form, under band plan plan; for South Africa
// the given channels are ticked as a user would tick them.
inline void FillForm(FormModel& form, int plan, const std::vector<int>& flags = {}) {
    form.OnModeSelect(plan);
    for (int row = 1; row <= kChannelCount; ++row) form.SetCellText(row, kSampleChannels[row - 1].text);
    for (int n : flags) form.ClickChannelBox(n);
}

// The simulator's faults from their command-line text; a text it refuses
// is a broken test.
inline sim::Faults Fault(const std::string& text) {
    sim::Faults f;
    if (const Outcome<void> parsed = sim::ParseFault(text, f); !parsed)
        throw std::invalid_argument(text + ": " + parsed.problem().Text());
    return f;
}

// A settings file holding the sample table, as the form would save it.
inline std::string SaveSample(const TempDir& dir, const std::string& name, int plan, const std::vector<int>& flags = {}) {
    ScriptedPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    FillForm(form, plan, flags);
    const std::string path = dir.File(name);
    if (!Save(form, path)) throw std::runtime_error(path + ": " + prompter.LastText());
    return path;
}

}  // namespace orvex::test
