#include "settings/QMDataMng.h"

#include <algorithm>

#include <charconv>
#include <cmath>
#include <cstdio>

#include "settings/TextUtil.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

constexpr double kOnStepTolerance = 0.00001;
constexpr double kIntegerNudge = 0.0000001;

// True when x lies on a whole number within the tolerance the radio's
// conversions have always used.
bool IsWholeNumber(double x) {
    const double i = std::floor(x + kIntegerNudge);
    return std::fabs(x - i) <= kOnStepTolerance;
}

}  // namespace

bool IsInBand(double f) { return !(f < FREQ_MIN_MHZ || f > FREQ_MAX_MHZ); }

double ParseFrequencyText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && text[i] == '+') {
        ++i;
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) return 0.0;
    }
    double value = 0.0;
    const char* begin = text.data() + i;
    const auto [ptr, ec] = std::from_chars(begin, text.data() + text.size(), value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // Too small to represent reads as 0, too large as +-infinity (out of band).
        for (const char* p = begin; p + 1 < ptr; ++p)
            if ((*p == 'e' || *p == 'E') && p[1] == '-') return 0.0;
        return (begin[0] == '-') ? -HUGE_VAL : HUGE_VAL;
    }
    if (ec != std::errc() || std::isnan(value)) return 0.0;
    return value;
}

std::string FormatMHz(double mhz) {
    if (mhz == 0.0) return {};
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, mhz, std::chars_format::fixed, 4);
    if (ec != std::errc()) return {};
    return std::string(buffer, ptr);
}

std::string FrequencyTextFromCode(std::uint16_t code) {
    if (code == kEmptyFrequencyCode) return {};
    char buffer[32];
    const auto [ptr, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, code * kStepKHz / 1000.0, std::chars_format::fixed, 4);
    return ec == std::errc() ? std::string(buffer, ptr) : std::string{};
}

FrequencyCheck ValidateFrequencyText(std::string_view text) {
    double f = ParseFrequencyText(text);
    bool accepted = true;
    if (!IsInBand(f)) {
        accepted = std::fabs(f) <= kOnStepTolerance;
        f = 0.0;
    } else {
        const double c = (f + kReceiveOffsetMHz) * 1000.0 / kStepKHz;
        Trace("FREQUENCY = %.4f", f);
        if (!IsWholeNumber(c)) {
            accepted = false;
            f = FREQ_MIN_MHZ;
        }
    }
    return {accepted, FormatMHz(f)};
}

std::optional<std::uint16_t> FrequencyCodeFromText(std::string_view text, PackError* why) {
    const double f = ParseFrequencyText(text);
    if (f == 0.0) return kEmptyFrequencyCode;
    const double e = f * 1000.0 / kStepKHz;
    PackError error = PackError::None;
    if (!IsWholeNumber(e))
        error = PackError::OffStep;
    else if (e < 0 || e + kOnStepTolerance >= kEmptyFrequencyCode)
        error = PackError::OutOfRange;
    if (error != PackError::None) {
        if (why) *why = error;
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(e + kOnStepTolerance);
}

Outcome<void> PackChannelTable(RadioSettings& settings, const ChannelCells& cells) {
    for (int row = 1; row <= kChannelCount; ++row) {
        PackError why = PackError::None;
        const auto code = FrequencyCodeFromText(cells[row - 1], &why);
        if (!code)
            return Problem{.what = "\"" + cells[row - 1] + "\"" +
                                   (why == PackError::OffStep ? std::string(kNotOnStep)
                                                              : std::string(" cannot be stored as a frequency")),
                           .where = RowLabel(row)};
        ChannelEntry& record = settings.m_channels[row - 1];
        record.m_nNumber = static_cast<std::uint8_t>(row);
        record.m_wFreq = *code;
    }
    return {};
}

void UnpackChannelTable(RadioSettings& settings, ChannelCells& cells) {
    for (int row = 1; row <= kChannelCount; ++row) {
        ChannelEntry& r = settings.m_channels[row - 1];
        cells[row - 1] = FrequencyTextFromCode(r.m_wFreq);
        // Bytes 5..10 beyond what the radio can mean are cleared for good.
        static constexpr std::uint8_t kTailMax[6] = {154, 154, 1, 3, 1, 1};
        for (int i = 0; i < 6; ++i)
            if (r.m_tail[i] > kTailMax[i]) r.m_tail[i] = 0;
    }
}

std::string RowLabel(int row) {
    char label[16];
    std::snprintf(label, sizeof label, "P%d", row == kChannelCount ? 0 : row);
    return label;
}

int RowOfLabel(std::string_view label) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (int row = 1; row <= kChannelCount; ++row) {
        const std::string name = RowLabel(row);
        if (label.size() == name.size() &&
            std::equal(label.begin(), label.end(), name.begin(), [&](char a, char b) { return lower(a) == lower(b); }))
            return row;
    }
    return 0;
}

bool IsDigitsAndPoint(std::string_view text) {
    return text != "." && std::count(text.begin(), text.end(), '.') <= 1 &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

}  // namespace orvex
