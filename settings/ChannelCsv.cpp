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

std::string RowName(std::size_t row) { return "row " + std::to_string(row); }

// RFC 4180 records with this separator; the problem for a quote left open
// or text after a closing quote.
Outcome<std::vector<Record>> SplitRecords(std::string_view text, char separator) {
    std::vector<Record> records;
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
                        return Problem{.where = RowName(row), .why = "a quoted field is not closed"};
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
                    return Problem{.where = RowName(row), .why = "text after a closing quote"};
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
    return records;
}

bool IsBlankRecord(const Record& record) {
    return std::all_of(record.begin(), record.end(), [](const Field& f) { return Trim(f.text).empty(); });
}

// The frequency text the table would take, or why not (the row left for
// the caller to name).
// A spreadsheet in a decimal-comma locale writes "27,125": quoted where
// commas separate the fields, as it is where semicolons or tabs do.
Outcome<std::string> CheckFrequency(const Field& field, bool commaIsDecimal) {
    std::string text = Trim(field.text);
    if ((field.quoted || commaIsDecimal) && std::count(text.begin(), text.end(), ',') == 1 &&
        text.find('.') == std::string::npos)
        std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty()) return std::string{};
    const std::string shown = "\"" + field.text + "\"";
    if (!IsDigitsAndPoint(text))
        return Problem{.why = "frequency " + shown + " is not a number in MHz", .fix = "write it as 27.1250, or leave it empty"};
    const FrequencyCheck check = ValidateFrequencyText(text);
    if (check.accepted) return check.normalised;
    if (!IsInBand(ParseFrequencyText(text)))
        return Problem{.why = "frequency " + shown + " is outside " + FormatMHz(FREQ_MIN_MHZ) + " .. " + FormatMHz(FREQ_MAX_MHZ) + " MHz"};
    return Problem{.why = "frequency " + shown + std::string(kNotOnStep)};
}

struct Columns {
    std::size_t channel = 0;
    std::size_t frequency = 0;
    std::size_t count = 0;  // of the header row
};

// The header row's "Channel" and "Frequency" columns; the problem where
// one is named twice or missing.
Outcome<Columns> FindColumns(const Record& header, char separator) {
    std::optional<std::size_t> channelColumn, frequencyColumn;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Trim(header[c].text);
        for (auto [wanted, column] : {std::pair{kChannelHeader, &channelColumn}, std::pair{kFrequencyHeader, &frequencyColumn}}) {
            if (!EqualNoCase(name, wanted)) continue;
            if (*column) return Problem{.where = RowName(1), .why = "the column \"" + std::string(wanted) + "\" appears twice"};
            *column = c;
        }
    }
    for (auto [wanted, column] : {std::pair{kChannelHeader, channelColumn}, std::pair{kFrequencyHeader, frequencyColumn}}) {
        if (!column)
            return Problem{.where = RowName(1),
                           .why = "the header row has no \"" + std::string(wanted) + "\" column" + SeparatorNamed(separator)};
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

// Record r (the header being 0) into its channel's cell; the problem where
// the row cannot be taken.
Outcome<void> ReadRow(const Record& record, std::size_t r, const Columns& columns, bool commaSeparated,
                      std::array<std::size_t, kChannelCount>& seenAt, ChannelCells& cells) {
    const std::string rowName = RowName(r + 1);
    if (const auto split = SplitFrequency(record, columns, commaSeparated)) return Problem{.where = rowName, .why = *split};
    if (record.size() <= std::max(columns.channel, columns.frequency))
        return Problem{.where = rowName, .why = "fewer fields than the header has"};
    const std::string label = Trim(record[columns.channel].text);
    const int row = RowOfLabel(label);
    if (row == 0) return Problem{.where = rowName, .why = "unknown channel \"" + label + "\"" + std::string(kChannelLabelsNamed)};
    const std::string where = rowName + " (" + RowLabel(row) + ")";
    if (seenAt[row - 1] != 0)
        return Problem{.where = where, .why = "channel " + RowLabel(row) + " is already in row " + std::to_string(seenAt[row - 1])};
    seenAt[row - 1] = r + 1;
    Outcome<std::string> frequency = CheckFrequency(record[columns.frequency], !commaSeparated);
    if (!frequency) {
        Problem problem = frequency.problem();
        problem.where = where;
        return problem;
    }
    cells[row - 1] = std::move(frequency.value());
    return {};
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
    if (const auto bad = FirstInvalidUtf8(text))
        return Problem{.why = NotUtf8Message(*bad, "save it from the spreadsheet as CSV UTF-8")};
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    const char separator = HeaderSeparator(text);
    // Only where commas separate the fields can a decimal comma split one.
    const bool commaSeparated = separator == ',';
    const Outcome<std::vector<Record>> split = SplitRecords(text, separator);
    if (!split) return split.problem();
    const std::vector<Record>& records = split.value();
    if (records.empty() || IsBlankRecord(records.front()))
        return Problem{.where = RowName(1), .why = "expected the header row \"Channel,Frequency\""};
    const Outcome<Columns> columns = FindColumns(records.front(), separator);
    if (!columns) return columns.problem();

    ChannelCells cells;
    std::array<std::size_t, kChannelCount> seenAt{};  // the row each channel came in, 0 for none yet
    for (std::size_t r = 1; r < records.size(); ++r) {
        if (IsBlankRecord(records[r])) continue;
        if (Outcome<void> row = ReadRow(records[r], r, columns.value(), commaSeparated, seenAt, cells); !row)
            return row.problem();
    }
    for (int row = 1; row <= kChannelCount; ++row) {
        if (seenAt[row - 1] == 0)
            return Problem{.why = "no row for channel " + RowLabel(row), .fix = "each of P1 .. P9 and P0 needs one row"};
    }
    return cells;
}

}  // namespace orvex
