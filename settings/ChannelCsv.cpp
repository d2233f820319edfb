#include "settings/ChannelCsv.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "settings/TextUtil.h"
#include "settings/Utf8Check.h"

namespace orvex {
namespace {

constexpr std::string_view kChannelHeader = "Channel";
constexpr std::string_view kFrequencyHeader = "Frequency";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

struct Field {
    std::string text;
    bool quoted = false;
};
using Record = std::vector<Field>;

bool EqualNoCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}

// RFC 4180 records; false with a message for a quote left open or text
// after a closing quote.
bool SplitRecords(std::string_view text, std::vector<Record>& records, std::string& error) {
    std::size_t i = 0;
    while (i < text.size()) {
        Record record;
        for (;;) {
            Field field;
            if (i < text.size() && text[i] == '"') {
                field.quoted = true;
                const std::size_t row = records.size() + 1;
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        error = "row " + std::to_string(row) + ": a quoted field is not closed";
                        return false;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field.text += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    field.text += text[i++];
                }
                // Blanks may follow a closing quote; anything else is a stray quote.
                while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
                if (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
                    error = "row " + std::to_string(row) + ": text after a closing quote";
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\n' && text[i] != '\r') field.text += text[i++];
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
        records.push_back(std::move(record));
    }
    return true;
}

bool IsBlankRecord(const Record& record) {
    return std::all_of(record.begin(), record.end(), [](const Field& f) { return Trim(f.text).empty(); });
}

// The frequency text the table would take, or a message why not.
std::optional<std::string> CheckFrequency(const Field& field, std::string& why) {
    std::string text = Trim(field.text);
    // A spreadsheet in a decimal-comma locale quotes "27,125".
    if (field.quoted && std::count(text.begin(), text.end(), ',') == 1 && text.find('.') == std::string::npos)
        std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return std::string{};
    const std::string shown = "\"" + field.text + "\"";
    if (!IsDigitsAndPoint(text)) {
        why = "frequency " + shown + " is not a number in MHz (write it as 27.1250, or leave it empty)";
        return std::nullopt;
    }
    const FrequencyCheck check = ValidateFrequencyText(kFrequencyColumn, text);
    if (check.accepted) return check.normalised;
    if (!IsInBand(ParseFrequencyText(text)))
        why = "frequency " + shown + " is outside " + FormatMHz(FREQ_MIN_MHZ) + " .. " + FormatMHz(FREQ_MAX_MHZ) + " MHz";
    else
        why = "frequency " + shown + std::string(kNotOnStep);
    return std::nullopt;
}

}  // namespace

std::string CsvQuoted(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string WriteChannelCsv(const ChannelCells& cells) {
    std::string out = std::string(kChannelHeader) + "," + std::string(kFrequencyHeader) + "\n";
    for (int row = 1; row <= kChannelCount; ++row) out += RowLabel(row) + "," + CsvQuoted(cells[row - 1]) + "\n";
    return out;
}

ChannelCsvRead ReadChannelCsv(std::string_view text) {
    ChannelCsvRead result;
    if (const auto bad = FirstInvalidUtf8(text)) {
        result.error = NotUtf8Message(*bad, "save it from the spreadsheet as CSV UTF-8");
        return result;
    }
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::vector<Record> records;
    if (!SplitRecords(text, records, result.error)) return result;
    if (records.empty() || IsBlankRecord(records.front())) {
        result.error = "row 1: expected the header row \"Channel,Frequency\"";
        return result;
    }
    std::optional<std::size_t> channelColumn, frequencyColumn;
    const Record& header = records.front();
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Trim(header[c].text);
        for (auto [wanted, column] : {std::pair{kChannelHeader, &channelColumn}, std::pair{kFrequencyHeader, &frequencyColumn}}) {
            if (!EqualNoCase(name, wanted)) continue;
            if (*column) {
                result.error = "row 1: the column \"" + std::string(wanted) + "\" appears twice";
                return result;
            }
            *column = c;
        }
    }
    for (auto [wanted, column] : {std::pair{kChannelHeader, channelColumn}, std::pair{kFrequencyHeader, frequencyColumn}}) {
        if (!column) {
            result.error = "row 1: the header row has no \"" + std::string(wanted) + "\" column";
            return result;
        }
    }

    std::array<std::size_t, kChannelCount> seenAt{};  // the row each channel came in, 0 for none yet
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        if (IsBlankRecord(record)) continue;
        const std::string rowName = "row " + std::to_string(r + 1);
        // A spreadsheet may end a row with empty fields; anything more is a
        // decimal comma that split the frequency.
        const bool splitBeyondHeader = std::any_of(record.begin() + std::min(record.size(), header.size()), record.end(),
                                                   [](const Field& f) { return !Trim(f.text).empty(); });
        // The same split where another column follows the frequency: "27"
        // and "1250" would silently become 27.0000 and a note.
        const std::size_t next = *frequencyColumn + 1;
        const bool splitIntoNext = next < record.size() && !record[*frequencyColumn].quoted && !record[next].quoted &&
                                   !Trim(record[*frequencyColumn].text).empty() &&
                                   Trim(record[*frequencyColumn].text).find('.') == std::string::npos &&
                                   !Trim(record[next].text).empty() && IsDigitsAndPoint(Trim(record[next].text)) &&
                                   Trim(record[next].text).find('.') == std::string::npos;
        if (splitIntoNext || splitBeyondHeader) {
            const std::string found = splitIntoNext ? "the frequency is split in two (\"" + record[*frequencyColumn].text +
                                                          "\", \"" + record[next].text + "\")"
                                                    : "more fields than the header has";
            result.error = rowName + ": " + found +
                           "; a decimal comma must be inside quotes (\"27,1250\"), or write a point (27.1250)";
            return result;
        }
        if (record.size() <= std::max(*channelColumn, *frequencyColumn)) {
            result.error = rowName + ": fewer fields than the header has";
            return result;
        }
        const std::string label = Trim(record[*channelColumn].text);
        const int row = RowOfLabel(label);
        if (row == 0) {
            result.error = rowName + ": unknown channel \"" + label + "\"" + std::string(kChannelLabelsNamed);
            return result;
        }
        const std::string where = rowName + " (" + RowLabel(row) + ")";
        if (seenAt[row - 1] != 0) {
            result.error = where + ": channel " + RowLabel(row) + " is already in row " + std::to_string(seenAt[row - 1]);
            return result;
        }
        seenAt[row - 1] = r + 1;
        std::string why;
        const auto frequency = CheckFrequency(record[*frequencyColumn], why);
        if (!frequency) {
            result.error = where + ": " + why;
            return result;
        }
        result.cells[row - 1] = *frequency;
    }
    for (int row = 1; row <= kChannelCount; ++row) {
        if (seenAt[row - 1] == 0) {
            result.error = "no row for channel " + RowLabel(row) + " (each of P1 .. P9 and P0 needs one row)";
            return result;
        }
    }
    result.ok = true;
    return result;
}

}  // namespace orvex
