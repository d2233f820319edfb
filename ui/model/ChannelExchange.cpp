#include "ui/model/ChannelExchange.h"

#include "settings/ChannelCsv.h"

namespace orvex {

std::string ExportChannelCsv(const FormModel& form) { return WriteChannelCsv(form.Cells()); }

ChannelImport ImportChannelCsv(FormModel& form, std::string_view csv) {
    // Checked first so that a refusal never depends on how long reading took.
    if (form.IsTableLocked()) return {false, std::string(kImportDuringTransfer)};
    ChannelCsvRead read = ReadChannelCsv(csv);
    if (!read.ok) return {false, std::move(read.error)};
    FormSnapshot state = form.Snapshot();
    state.cells = std::move(read.cells);
    if (!form.Restore(state)) return {false, std::string(kImportDuringTransfer)};
    return {true, {}};
}

}  // namespace orvex
