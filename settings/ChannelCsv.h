#pragma once
// The channel table as CSV, for spreadsheets: a header row
// "Channel,Frequency", then one row per channel, P1 first.
#include <string>
#include <string_view>

#include "settings/Problem.h"
#include "settings/QMDataMng.h"

namespace orvex {

// The CSV text of these cells as the table shows them, lines ending in LF.
std::string WriteChannelCsv(const ChannelCells& cells);
// One field as CSV writes it: quoted, its quotes doubled, only where a
// comma, quote or line end inside would otherwise split it.
std::string CsvQuoted(std::string_view text);

// The cells, normalised as the table stores an entry ("27.1250"), P1 first;
// or what is wrong, where the row is.
using ChannelCsvRead = Outcome<ChannelCells>;

// Reads what WriteChannelCsv writes and what spreadsheets make of it: the
// fields are separated by commas, semicolons or tabs, whichever the header
// row uses; the columns are found by their header names (other columns are
// passed over); a UTF-8 byte-order mark, CRLF line ends and quoted fields
// are taken, and so is a decimal comma where semicolons or tabs separate
// the fields or, in a comma sheet, inside quotes. Every channel must have
// exactly one row; a frequency must be empty or one the table takes. Rows
// are numbered as a spreadsheet shows them, the header being row 1.
ChannelCsvRead ReadChannelCsv(std::string_view text);

}  // namespace orvex
