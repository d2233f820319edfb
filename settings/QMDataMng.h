#pragma once
// Frequency texts, codes and the checks every entered frequency passes.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/Problem.h"
#include "settings/RadioSettings.h"

namespace orvex {

inline constexpr float FREQ_MIN_MHZ = 26.0f;
inline constexpr float FREQ_MAX_MHZ = 30.0f;
inline constexpr double kStepKHz = 2.5;
inline constexpr double kReceiveOffsetMHz = 10.695;  // added to the receive code of a write
inline constexpr std::uint16_t kMinFrequencyCode = 10400;  // 26.0000 MHz
inline constexpr std::uint16_t kMaxFrequencyCode = 12000;  // 30.0000 MHz

// The ten frequency cells of the channel table, row 1 (P1) first.
using ChannelCells = std::array<std::string, kChannelCount>;

// Reads a cell text the way every reader of the table does: the leading
// decimal number, anything else (or nothing) reads as 0. Locale-independent.
double ParseFrequencyText(std::string_view text);

// "%.4f" of a value in MHz, or the empty text for 0.
std::string FormatMHz(double mhz);

// Cell text of a record code: empty for 0xFFFF, else code * 2.5 / 1000 as "%.4f".
std::string FrequencyTextFromCode(std::uint16_t code);

struct FrequencyCheck {
    bool accepted;
    std::string normalised;  // what the cell takes, accepted or not
};

// The check of an entered frequency (a frequency cell edited, a channel
// imported): on the step and in the band, or empty.
FrequencyCheck ValidateFrequencyText(std::string_view text);

// Why a cell cannot be stored as a record code.
enum class PackError {
    None,
    OffStep,     // not on the 2.5 kHz step
    OutOfRange,  // below 0 or too large for a 16-bit code
};

// Cell text to record code: 0xFFFF for an empty cell. Fails for a value not
// on the 2.5 kHz step and for one no record code can hold. A value outside
// the band is stored as it is; a write refuses it.
std::optional<std::uint16_t> FrequencyCodeFromText(std::string_view text, PackError* why = nullptr);

// The ten cells into bytes 0..2 of the ten records. Stops at the first cell
// that cannot be stored, naming its row label and its text; the records of
// earlier rows are already updated.
Outcome<void> PackChannelTable(RadioSettings& settings, const ChannelCells& cells);

// Inside 26.0000 .. 30.0000 MHz.
bool IsInBand(double mhz);

// The ten records into the cells, clamping bytes 5..10 in the records.
void UnpackChannelTable(RadioSettings& settings, ChannelCells& cells);

// The row label of channel row 1..10: "P1".."P9", "P0".
std::string RowLabel(int row);
// The row 1..10 a label names, in any letter case ("p3"); 0 for none.
int RowOfLabel(std::string_view label);
// Follows an unknown label in a message.
inline constexpr std::string_view kChannelLabelsNamed = " (the channels are P1 .. P9 and P0)";
// Follows a frequency a message quotes.
inline constexpr std::string_view kNotOnStep = " is not on the 2.5 kHz step";

// Only ASCII digits and at most one point, as the table's editor takes a
// frequency; "." alone is none.
bool IsDigitsAndPoint(std::string_view text);

}  // namespace orvex
