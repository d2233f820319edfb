#pragma once
// Two settings side by side: each field the user knows (the ten channel
// rows, the band plan, the emergency channel, the 23 channel flags) that the
// sides hold differently, with both values as the form shows them, and a
// count of the other bytes a save of each would store differently. Compare
// with File, orvex-cli diff and Write and Verify all read their differences
// from here.
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/CodeTables.h"
#include "settings/QMDataMng.h"
#include "settings/UserMessage.h"
#include "ui/model/FormModel.h"

namespace orvex {

enum class SettingField { Row, BandPlan, EmgChannel, ChannelFlag };

// One field the two sides hold differently.
struct SettingDifference {
    SettingField kind;
    int index;          // the row 1..10, the channel 1..23; 0 for the others
    std::string field;  // "P3", "Band plan", "Emg Channel", "CH 07"
    std::string first;
    std::string second;
};

// One side of a field comparison, as the field values are taken.
struct ComparedFields {
    const ChannelCells& cells;
    int modeSel;     // -1 for none
    int emgChannel;  // 1..23; anything else is none
    const std::array<int, kChannelEnableCount>& flags;
};

// The fields that differ, rows first, then the band plan, the emergency
// channel and the flags (these two only when withEmgAndFlags). A cell
// reading as the same frequency is the same ("27.125", "27.1250").
std::vector<SettingDifference> CompareFields(const ComparedFields& first, const ComparedFields& second,
                                             bool withEmgAndFlags);

// The emergency channel as users read it: "CH 07", or "(none)".
std::string EmgChannelShown(int channel);

struct FormComparison {
    std::vector<SettingDifference> fields;
    // Whether the stored bytes could be compared: not when a side holds a
    // frequency Save would refuse (its row is among the fields then).
    bool bytesCompared = true;
    // Stored bytes that differ beyond those of the fields listed.
    std::size_t otherBytes = 0;
    std::size_t firstOtherOffset = 0;

    bool Same() const { return fields.empty() && bytesCompared && otherBytes == 0; }
    // One for each field, and one for the other bytes.
    std::size_t Count() const { return fields.size() + (bytesCompared && otherBytes == 0 ? 0 : 1); }
};

// Two forms as they hold their settings now, and the bytes Save would
// write for each.
FormComparison CompareForms(const FormModel& first, const FormModel& second);

// One line each: "P3: 27.0000 | 26.9900", then the other bytes'
// "Other stored bytes: 3 differ, the first at offset 1815 (tones)".
std::vector<std::string> ComparisonLines(const FormComparison& comparison);
// The line about the other bytes; none when there is nothing to say.
std::optional<std::string> OtherBytesLine(const FormComparison& comparison);

// The comparison to print: a header line naming both sides ("a.kvx |
// radio") and the lines above, or one line saying both hold the same
// settings.
std::vector<std::string> ComparisonReport(const FormComparison& comparison, const std::string& firstName,
                                          const std::string& secondName);

// The form against a file, as Compare with File tells it: "3 differences
// between the form and radio.kvx" with a header line naming both sides and
// a line per difference below, or that both hold the same settings.
UserMessage CompareWithFileMessage(const FormComparison& comparison, const std::string& fileName);

}  // namespace orvex
