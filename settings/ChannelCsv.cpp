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

// The field separator the sheet was saved with, seen in its header row: of
// comma, semicolon and tab the one that splits it into a "Channel" and a
// "Frequency" name (so commas in a note's header name do not decide it),
// else the one found most often outside quotes (a comma on a tie or where
// there is none).
char HeaderSeparator(std::string_view text) {
    char best = ',';
    int bestCount = 0;
    for (const char separator : {',', ';', '\t'}) {
        int count = 0;
        bool quoted = false, channel = false, frequency = false;
        std::string name;
        const auto endName = [&] {
            channel = channel || EqualNoCase(Trim(name), kChannelHeader);
            frequency = frequency || EqualNoCase(Trim(name), kFrequencyHeader);
            name.clear();
        };
        for (const char c : text) {
            if (c == '"') quoted = !quoted;
            else if (!quoted && (c == '\n' || c == '\r')) break;
            else if (!quoted && c == separator) ++count, endName();
            else name += c;
        }
        endName();
        if (channel && frequency) return separator;
        if (count > bestCount) best = separator, bestCount = count;
    }
    return best;
}

// What a missing column's message adds: the separator the header row was
// split by, where it is not the comma the format is named after.
std::string SeparatorNamed(char separator) {
    if (separator == ';') return " (fields separated by ';')";
    if (separator == '\t') return " (fields separated by tabs)";
    return {};
}

// RFC 4180 records with this separator; false with a message for a quote
// left open or text after a closing quote.
bool SplitRecords(std::string_view text, char separator, std::vector<Record>& records, std::string& error) {
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
                while (i < text.size() && text[i] != separator && (text[i] == ' ' || text[i] == '\t')) ++i;
                if (i < text.size() && text[i] != separator && text[i] != '\n' && text[i] != '\r') {
                    error = "row " + std::to_string(row) + ": text after a closing quote";
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != separator && text[i] != '\n' && text[i] != '\r') field.text += text[i++];
            }
            record.push_back(std::move(field));
            if (i < text.size() && text[i] == separator) {
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
// A spreadsheet in a decimal-comma locale writes "27,125": quoted where
// commas separate the fields, as it is where semicolons or tabs do.
std::optional<std::string> CheckFrequency(const Field& field, bool commaIsDecimal, std::string& why) {
    std::string text = Trim(field.text);
    if ((field.quoted || commaIsDecimal) && std::count(text.begin(), text.end(), ',') == 1 &&
        text.find('.') == std::string::npos)
        std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return std::string{};
    const std::string shown = "\"" + field.text + "\"";
    if (!IsDigitsAndPoint(text)) {
        why = "frequency " + shown + " is not a number in MHz (write it as 27.1250, or leave it empty)";
        return std::nullopt;
    }
    const FrequencyCheck check = ValidateFrequencyText(text);
    if (check.accepted) return check.normalised;
    if (!IsInBand(ParseFrequencyText(text)))
        why = "frequency " + shown + " is outside " + FormatMHz(FREQ_MIN_MHZ) + " .. " + FormatMHz(FREQ_MAX_MHZ) + " MHz";
    else
        why = "frequency " + shown + std::string(kNotOnStep);
    return std::nullopt;
}

struct Columns {
    std::size_t channel = 0;
    std::size_t frequency = 0;
    std::size_t count = 0;  // of the header row
};

// The header row's "Channel" and "Frequency" columns; none, with a
// message, where one is named twice or missing.
std::optional<Columns> FindColumns(const Record& header, char separator, std::string& error) {
    std::optional<std::size_t> channelColumn, frequencyColumn;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Trim(header[c].text);
        for (auto [wanted, column] : {std::pair{kChannelHeader, &channelColumn}, std::pair{kFrequencyHeader, &frequencyColumn}}) {
            if (!EqualNoCase(name, wanted)) continue;
            if (*column) {
                error = "row 1: the column \"" + std::string(wanted) + "\" appears twice";
                return std::nullopt;
            }
            *column = c;
        }
    }
    for (auto [wanted, column] : {std::pair{kChannelHeader, channelColumn}, std::pair{kFrequencyHeader, frequencyColumn}}) {
        if (!column) {
            error = "row 1: the header row has no \"" + std::string(wanted) + "\" column" + SeparatorNamed(separator);
            return std::nullopt;
        }
    }
    return Columns{*channelColumn, *frequencyColumn, header.size()};
}

// What a row's message says where a decimal comma split its frequency,
// nothing where none did.
std::optional<std::string> SplitFrequency(const Record& record, const Columns& columns, bool commaSeparated) {
    // A spreadsheet may end a row with empty fields; anything more is,
    // in a comma sheet, a decimal comma that split the frequency.
    const bool splitBeyondHeader = std::any_of(record.begin() + std::min(record.size(), columns.count), record.end(),
                                               [](const Field& f) { return !Trim(f.text).empty(); });
    // The same split where another column follows the frequency: "27"
    // and "1250" would silently become 27.0000 and a note.
    const std::size_t next = columns.frequency + 1;
    const bool splitIntoNext = commaSeparated && next < record.size() && !record[columns.frequency].quoted &&
                               !record[next].quoted &&
                               !Trim(record[columns.frequency].text).empty() &&
                               Trim(record[columns.frequency].text).find('.') == std::string::npos &&
                               !Trim(record[next].text).empty() && IsDigitsAndPoint(Trim(record[next].text)) &&
                               Trim(record[next].text).find('.') == std::string::npos;
    if (!splitIntoNext && !splitBeyondHeader) return std::nullopt;
    const std::string found = splitIntoNext ? "the frequency is split in two (\"" + record[columns.frequency].text +
                                                  "\", \"" + record[next].text + "\")"
                                            : "more fields than the header has";
    const std::string advice =
        commaSeparated ? "; a decimal comma must be inside quotes (\"27,1250\"), or write a point (27.1250)" : "";
    return found + advice;
}

// Record r (the header being 0) into its channel's cell; false with a
// message in result where the row cannot be taken.
bool ReadRow(const Record& record, std::size_t r, const Columns& columns, bool commaSeparated,
             std::array<std::size_t, kChannelCount>& seenAt, ChannelCsvRead& result) {
    const std::string rowName = "row " + std::to_string(r + 1);
    if (const auto split = SplitFrequency(record, columns, commaSeparated)) {
        result.error = rowName + ": " + *split;
        return false;
    }
    if (record.size() <= std::max(columns.channel, columns.frequency)) {
        result.error = rowName + ": fewer fields than the header has";
        return false;
    }
    const std::string label = Trim(record[columns.channel].text);
    const int row = RowOfLabel(label);
    if (row == 0) {
        result.error = rowName + ": unknown channel \"" + label + "\"" + std::string(kChannelLabelsNamed);
        return false;
    }
    const std::string where = rowName + " (" + RowLabel(row) + ")";
    if (seenAt[row - 1] != 0) {
        result.error = where + ": channel " + RowLabel(row) + " is already in row " + std::to_string(seenAt[row - 1]);
        return false;
    }
    seenAt[row - 1] = r + 1;
    std::string why;
    const auto frequency = CheckFrequency(record[columns.frequency], !commaSeparated, why);
    if (!frequency) {
        result.error = where + ": " + why;
        return false;
    }
    result.cells[row - 1] = *frequency;
    return true;
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
    const char separator = HeaderSeparator(text);
    // Only where commas separate the fields can a decimal comma split one.
    const bool commaSeparated = separator == ',';
    std::vector<Record> records;
    if (!SplitRecords(text, separator, records, result.error)) return result;
    if (records.empty() || IsBlankRecord(records.front())) {
        result.error = "row 1: expected the header row \"Channel,Frequency\"";
        return result;
    }
    const std::optional<Columns> columns = FindColumns(records.front(), separator, result.error);
    if (!columns) return result;

    std::array<std::size_t, kChannelCount> seenAt{};  // the row each channel came in, 0 for none yet
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (IsBlankRecord(records[r])) continue;
        if (!ReadRow(records[r], r, *columns, commaSeparated, seenAt, result)) return result;
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
