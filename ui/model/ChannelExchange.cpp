#include "ui/model/ChannelExchange.h"

#include <cstdint>
#include <vector>

#include "settings/ChannelCsv.h"

namespace orvex {

Outcome<std::string> ReadImportFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const filestore::Result read = filestore::ReadHead(path, kMaxImportBytes + 1, bytes);
    if (!read.ok()) {
        Problem problem = read.problem();
        problem.what = "cannot be read";
        problem.layout = Problem::Layout::ActionFirst;
        return problem;
    }
    if (bytes.size() > kMaxImportBytes)
        return Problem{.why = "is larger than " + std::to_string(kMaxImportBytes / 1024) + " KiB, too large for a channel list"};
    return std::string(bytes.begin(), bytes.end());
}

std::string ExportChannelCsv(const FormModel& form) { return WriteChannelCsv(form.Cells()); }

Outcome<void> ExportChannelCsvFile(const FormModel& form, const std::string& path) {
    const std::string text = ExportChannelCsv(form);
    return filestore::ReplaceWholeFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

Outcome<void> ImportChannelCsv(FormModel& form, std::string_view csv) {
    const Problem duringTransfer{.why = std::string(kImportDuringTransfer)};
    // Checked first so that a refusal never depends on how long reading took.
    if (form.View().IsTableLocked()) return duringTransfer;
    ChannelCsvRead read = ReadChannelCsv(csv);
    if (!read) return read.problem();
    const FormModel::UserChange change(form);  // one step Undo takes back
    FormSnapshot state = form.Snapshot();
    state.cells = std::move(read.value());
    if (!form.Restore(state)) return duringTransfer;
    return {};
}

}  // namespace orvex
