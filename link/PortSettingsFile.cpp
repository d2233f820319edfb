#include "link/PortSettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "settings/Trace.h"

namespace orvex {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// "%d": leading blanks skipped, an optional sign, digits; the rest ignored.
bool ScanDecimal(const std::string& text, long& value) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digits = i;
    long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (v < 1000000) v = v * 10 + (text[i] - '0');
    if (i == digits) return false;
    value = negative ? -v : v;
    return true;
}

}  // namespace

std::string PortSettingsPath() {
    if (const char* env = std::getenv("ORVEX_PORT_FILE"); env && *env) return env;
#ifdef _WIN32
    return "C:\\ORVEX.CFG";
#else
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return base + "/orvex/ORVEX.CFG";
#endif
}

PortSettingsRead ReadPortSettings(const std::string& path) {
    PortSettingsRead r;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) {
            r.created = WritePortSettings(path, 0, &r.note);
        } else {
            r.note = path + ": " + std::strerror(errno);
        }
        Trace("Comport = %d\n", r.index);
        return r;
    }
    // Only the beginning matters; a huge or endless file is not read whole.
    char buffer[64];
    struct stat st {};
    ssize_t n = -1;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    long value = 0;
    if (n < 0) {
        r.note = path + ": not a readable file";
    } else if (!ScanDecimal(std::string(buffer, static_cast<std::size_t>(n)), value)) {
        r.note = path + ": holds no port number";
    } else if (value < 0 || value > kPortIndexMax) {
        r.note = path + ": port index " + std::to_string(value) + " is outside 0..255";
    } else {
        r.index = static_cast<int>(value);
    }
    Trace("Comport = %d\n", r.index);
    return r;
}

bool WritePortSettings(const std::string& path, int index, std::string* error) {
    std::error_code ec;
    const std::filesystem::path p(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    const std::string temp = path + ".new";
    FILE* f = std::fopen(temp.c_str(), "w");
    bool ok = f && std::fprintf(f, "%d\n", index) > 0;
    if (f) ok = (std::fflush(f) == 0) && (::fsync(fileno(f)) == 0) && ok;
    if (f && std::fclose(f) != 0) ok = false;
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        if (error) *error = path + ": " + (ec ? ec.message() : std::string(std::strerror(errno)));
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace orvex
