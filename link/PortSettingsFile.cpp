#include "link/PortSettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "files/FileStore.h"
#include "files/UserFolders.h"
#include "settings/TextUtil.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

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

// The second line, if it is an identity this version understands; lines
// of other versions are passed over.
std::string IdentityLine(const std::string& text) {
    const auto first = text.find('\n');
    if (first == std::string::npos) return {};
    const auto end = text.find('\n', first + 1);
    if (end == std::string::npos) return {};  // cut off: not to be trusted
    std::string line = Trim(text.substr(first + 1, end - first - 1));
    for (const std::string_view key : {kIdentityDevice, kIdentitySerial})
        if (line.size() > key.size() && line.compare(0, key.size(), key) == 0) return line;
    return {};
}

}  // namespace

PortSettingsPlaces DefaultPortSettingsPlaces() {
    if (const char* env = std::getenv("ORVEX_PORT_FILE"); env && *env) return PortSettingsPlaces(env);
#ifdef _WIN32
    const std::string data = SystemUserFolders().DataFolder();
    return {"C:\\ORVEX.CFG", data.empty() ? std::string() : data + "\\ORVEX.CFG"};
#else
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.config";
    else
        base = "/tmp";
    return PortSettingsPlaces(base + "/orvex/ORVEX.CFG");
#endif
}

std::string PortSettingsPath() { return PortSettingsInUse(DefaultPortSettingsPlaces()); }

const PortSettingsFileSystem& RealPortSettingsFiles() {
    static const PortSettingsFileSystem files{
        [](const std::string& path) {
            std::error_code ec;
            return std::filesystem::exists(filestore::PathFromUtf8(path), ec);
        },
        [](const std::string& path) { return ReadPortSettings(path); },
        [](const std::string& path, int index, const std::string& identity) {
            return WritePortSettings(path, index, identity);
        },
    };
    return files;
}

std::string PortSettingsInUse(const PortSettingsPlaces& places, const PortSettingsFileSystem& files) {
    return !places.fallback.empty() && files.exists(places.fallback) ? places.fallback : places.primary;
}

PortSettingsRead ReadPortSettingsFrom(const PortSettingsPlaces& places, const PortSettingsFileSystem& files) {
    return files.read(PortSettingsInUse(places, files));
}

Outcome<RememberedPort> WritePortSettingsTo(const PortSettingsPlaces& places, int index, const std::string& identity,
                                            const PortSettingsFileSystem& files) {
    const std::string inUse = PortSettingsInUse(places, files);
    const Outcome<void> first = files.write(inUse, index, identity);
    if (first) return RememberedPort{inUse, false};
    if (inUse != places.primary || places.fallback.empty()) return first.problem();
    const Outcome<void> second = files.write(places.fallback, index, identity);
    if (second) return RememberedPort{places.fallback, true};
    return Problem{.what = first.problem().Text() + "; " + second.problem().Text()};
}

std::string MovedPortSettingsText(int comNumber, const PortSettingsPlaces& places) {
    return "COM" + std::to_string(comNumber) + " is remembered in " + places.fallback + " (" + places.primary +
           " cannot be written)";
}

PortSettingsRead ReadPortSettings(const std::string& path) {
    PortSettingsRead r;
    // Only the beginning matters; a huge or endless file is not read whole.
    std::vector<std::uint8_t> head;
    const filestore::Result read = filestore::ReadHead(path, 1024, head);
    long value = 0;
    if (read.status == filestore::Status::Missing) {
        const Outcome<void> made = WritePortSettings(path, 0);
        r.created = made.ok();
        r.note = made.problem().Text();
    } else if (!read.ok()) {
        r.note = read.problem().Text();
    } else if (!ScanDecimal(std::string(head.begin(), head.end()), value)) {
        r.note = path + ": holds no port number";
    } else if (value < 0 || value > kPortIndexMax) {
        r.note = path + ": port index " + std::to_string(value) + " is outside 0..255";
    } else {
        r.index = static_cast<int>(value);
        r.identity = IdentityLine(std::string(head.begin(), head.end()));
    }
    Trace("Comport = %d\n", r.index);
    return r;
}

Outcome<void> WritePortSettings(const std::string& path, int index, const std::string& identity) {
    std::error_code ec;
    const std::filesystem::path p = filestore::PathFromUtf8(path);
    if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
    char number[16];
    std::snprintf(number, sizeof number, "%d\n", index);
    std::string text = number;
    // An identity with a line break in it would become lines of its own.
    if (!identity.empty() && identity.find_first_of("\r\n") == std::string::npos) text += identity + "\n";
    return filestore::ReplaceWholeFile(
        path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace orvex
