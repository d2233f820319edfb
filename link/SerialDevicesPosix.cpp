#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "link/SerialDevices.h"

namespace orvex {
namespace {

// ttyUSB10 after ttyUSB9: compare the name, then the number.
bool DeviceOrder(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
        return std::make_pair(s.substr(0, i), i < s.size() ? std::atol(s.c_str() + i) : -1L);
    };
    return split(a) < split(b);
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

std::vector<std::string> ScanSerialDevices(const std::string& devRoot) {
    // Cables first: USB-serial adapters and USB modems, then on-board ports.
    static const char* const kFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};
    std::vector<std::string> result;
    std::error_code ec;
    for (const char* family : kFamilies) {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(devRoot, ec)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(family, 0) != 0 || name.size() == std::char_traits<char>::length(family)) continue;
            if (!std::all_of(name.begin() + static_cast<long>(std::char_traits<char>::length(family)), name.end(),
                             [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                continue;
            found.push_back(entry.path().string());
        }
        std::sort(found.begin(), found.end(), DeviceOrder);
        result.insert(result.end(), found.begin(), found.end());
    }
    return result;
}

std::vector<std::string> NumberedSerialDevices() { return ScanSerialDevices("/dev"); }

std::string FixedComDevice(int) { return {}; }

// Devices some process holds open, from /proc.
struct DeviceStates::Snapshot {
    std::set<std::string> used;
};

DeviceStates::DeviceStates() : m_snapshot(std::make_unique<Snapshot>()) {
    DIR* proc = ::opendir("/proc");
    if (!proc) return;
    while (const dirent* p = ::readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9') continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds)) {
            char target[512];
            const std::string link = fdDir + "/" + f->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && target[0] == '/') m_snapshot->used.insert(std::string(target, static_cast<std::size_t>(n)));
        }
        ::closedir(fds);
    }
    ::closedir(proc);
}

DeviceStates::~DeviceStates() = default;

DeviceState DeviceStates::Of(const std::string& device) const {
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) return DeviceState::Missing;
    return m_snapshot->used.count(RealPath(device)) ? DeviceState::InUse : DeviceState::Present;
}

}  // namespace orvex
