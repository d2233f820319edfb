#include "tools/cli/CloneReport.h"

#include <cerrno>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "files/FileStore.h"
#include "files/LocalTime.h"
#include "settings/ChannelCsv.h"

namespace orvex::cli {
namespace {

constexpr const char* kHeader = "time,radio,port,backup,result,differences";

Problem Reason(const std::string& path) {
    const int code = errno;
    return Problem{.where = path, .why = code ? std::strerror(code) : "cannot be written"};
}

bool EndsWithNewline(const std::filesystem::path& file, std::uintmax_t size) {
    std::ifstream in(file, std::ios::binary);
    char last = '\n';  // unreadable: nothing to join, and the append tells why
    if (in.seekg(static_cast<std::streamoff>(size - 1)) && in.get(last)) return last == '\n';
    return true;
}

// The whole file, or nothing when it cannot be read.
std::string ReadAll(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int RadioNumber(const std::string& field) {
    if (field.empty() || field.size() > 9 || field.find_first_not_of("0123456789") != std::string::npos) return 0;
    return std::stoi(field);
}

}  // namespace

std::string ReportTime() { return ShownLocalTime(LocalTimeNow()); }

int HighestRadio(std::string_view csv) {
    // Quoted fields may hold commas, quotes and line breaks of their own.
    int highest = 0, column = 0;
    bool quoted = false;
    std::string radio;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                ++i;
            else if (c == '"')
                quoted = false;
            if (column == 1 && quoted) radio += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            ++column;
        } else if (c == '\n') {
            highest = std::max(highest, RadioNumber(radio));
            radio.clear();
            column = 0;
        } else if (column == 1 && c != '\r') {
            radio += c;
        }
    }
    return std::max(highest, RadioNumber(radio));
}

Outcome<void> CloneReport::Open(const std::string& path) {
    m_path = path;
    const std::filesystem::path file = filestore::PathFromUtf8(path);
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return Problem{.what = "is a folder", .where = path, .fix = "name a file for the report",
                       .layout = Problem::Layout::FixAfter};
    const auto size = std::filesystem::file_size(file, ec);
    const bool fresh = ec || size == 0;
    // A file cut short, or edited by hand, may end mid-row: the next row
    // must not be glued onto it.
    const bool openRow = !fresh && !EndsWithNewline(file, size);
    m_lastRadio = fresh ? 0 : HighestRadio(ReadAll(file));
    errno = 0;
    m_out.open(file, std::ios::binary | std::ios::app);
    if (!m_out) return Reason(path);
    if (openRow && !(m_out << "\n").flush()) return Reason(path);
    if (fresh && !(m_out << kHeader << "\n").flush()) return Reason(path);
    return {};
}

Outcome<void> CloneReport::Append(const CloneRow& row) {
    errno = 0;
    m_out << CsvQuoted(row.time) << ',' << row.radio << ',' << CsvQuoted(row.port) << ',' << CsvQuoted(row.backup) << ','
          << CsvQuoted(row.result) << ',' << CsvQuoted(row.differences) << "\n";
    if (!m_out.flush()) return Reason(m_path);
    return {};
}

}  // namespace orvex::cli
