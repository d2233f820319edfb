#pragma once
// The channel table to and from CSV text, for the command line and the
// window's Import/Export Channels alike.
#include <cstddef>
#include <string>
#include <string_view>

#include "files/FileStore.h"
#include "settings/Problem.h"
#include "ui/model/FormModel.h"

namespace orvex {

inline constexpr std::string_view kImportDuringTransfer =
    "Channels cannot be imported while the radio is being read or written.";

// Far more than any channel list or settings document; a larger input is
// not one of ours.
inline constexpr std::size_t kMaxImportBytes = 1 << 20;

// The whole text of a file to import, or why there is none; the front
// ends put the file's name before the problem's text.
Outcome<std::string> ReadImportFile(const std::string& path);

// The ten cells as the table shows them, as CSV.
std::string ExportChannelCsv(const FormModel& form);
// The same written to path, replacing it whole or not at all.
Outcome<void> ExportChannelCsvFile(const FormModel& form, const std::string& path);

// Puts the channels of csv into the form's cells as one change of the form,
// one step Undo takes back (the values a CSV does not carry stay as they are). Nothing changes when
// the text is refused or a transfer runs; the problem names the row and the value.
Outcome<void> ImportChannelCsv(FormModel& form, std::string_view csv);

}  // namespace orvex
