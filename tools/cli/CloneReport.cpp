#include "tools/cli/CloneReport.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "files/FileStore.h"
#include "files/LocalTime.h"
#include "settings/ChannelCsv.h"

namespace orvex::cli {
namespace {

constexpr const char* kHeader = "time,radio,port,backup,result,differences";

std::string Reason(const std::string& path) {
    const int code = errno;
    return path + ": " + (code ? std::strerror(code) : "cannot be written");
}

bool EndsWithNewline(const std::filesystem::path& file, std::uintmax_t size) {
    std::ifstream in(file, std::ios::binary);
    char last = '\n';  // unreadable: nothing to join, and the append tells why
    if (in.seekg(static_cast<std::streamoff>(size - 1)) && in.get(last)) return last == '\n';
    return true;
}

}  // namespace

std::string ReportTime() { return ShownLocalTime(LocalTimeNow()); }

bool CloneReport::Open(const std::string& path, std::string& error) {
    m_path = path;
    const std::filesystem::path file = filestore::PathFromUtf8(path);
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        error = path + ": is a folder; name a file for the report";
        return false;
    }
    const auto size = std::filesystem::file_size(file, ec);
    const bool fresh = ec || size == 0;
    // A file cut short, or edited by hand, may end mid-row: the next row
    // must not be glued onto it.
    const bool openRow = !fresh && !EndsWithNewline(file, size);
    errno = 0;
    m_out.open(file, std::ios::binary | std::ios::app);
    if (!m_out) {
        error = Reason(path);
        return false;
    }
    if (openRow && !(m_out << "\n").flush()) {
        error = Reason(path);
        return false;
    }
    if (fresh && !(m_out << kHeader << "\n").flush()) {
        error = Reason(path);
        return false;
    }
    return true;
}

bool CloneReport::Append(const CloneRow& row, std::string& error) {
    errno = 0;
    m_out << CsvQuoted(row.time) << ',' << row.radio << ',' << CsvQuoted(row.port) << ',' << CsvQuoted(row.backup) << ','
          << CsvQuoted(row.result) << ',' << CsvQuoted(row.differences) << "\n";
    if (!m_out.flush()) {
        error = Reason(m_path);
        return false;
    }
    return true;
}

}  // namespace orvex::cli
