#include "ui/model/ChannelExchange.h"

#include <cstdint>
#include <vector>

#include "settings/ChannelCsv.h"

namespace orvex {

ImportText ReadImportFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const filestore::Result read = filestore::ReadHead(path, kMaxImportBytes + 1, bytes);
    if (!read.ok()) return {false, {}, "cannot be read: " + read.detail};
    if (bytes.size() > kMaxImportBytes)
        return {false, {}, "is larger than " + std::to_string(kMaxImportBytes / 1024) + " KiB, too large for a channel list"};
    return {true, std::string(bytes.begin(), bytes.end()), {}};
}

std::string ExportChannelCsv(const FormModel& form) { return WriteChannelCsv(form.Cells()); }

filestore::Result ExportChannelCsvFile(const FormModel& form, const std::string& path) {
    const std::string text = ExportChannelCsv(form);
    return filestore::ReplaceWholeFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

ChannelImport ImportChannelCsv(FormModel& form, std::string_view csv) {
    // Checked first so that a refusal never depends on how long reading took.
    if (form.View().IsTableLocked()) return {false, std::string(kImportDuringTransfer)};
    ChannelCsvRead read = ReadChannelCsv(csv);
    if (!read.ok) return {false, std::move(read.error)};
    const FormModel::UserChange change(form);  // one step Undo takes back
    FormSnapshot state = form.Snapshot();
    state.cells = std::move(read.cells);
    if (!form.Restore(state)) return {false, std::string(kImportDuringTransfer)};
    return {true, {}};
}

}  // namespace orvex
