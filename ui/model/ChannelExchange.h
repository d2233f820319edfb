#pragma once
// The channel table to and from CSV text, for the command line and the
// window's Import/Export Channels alike.
#include <string>
#include <string_view>

#include "ui/model/FormModel.h"

namespace orvex {

inline constexpr std::string_view kImportDuringTransfer =
    "Channels cannot be imported while the radio is being read or written.";

// The ten cells as the table shows them, as CSV.
std::string ExportChannelCsv(const FormModel& form);

struct ChannelImport {
    bool ok = false;
    std::string error;  // for the user, naming the row and the value
};

// Puts the channels of csv into the form's cells as one change of the form
// (the values a CSV does not carry stay as they are). Nothing changes when
// the text is refused or a transfer runs.
ChannelImport ImportChannelCsv(FormModel& form, std::string_view csv);

}  // namespace orvex
