#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <set>

#include "link/PortMap.h"
#include "link/SerialDevices.h"

namespace orvex {
namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

std::vector<std::string> NumberedSerialDevices() { return PortMap::ScanDevices("/dev"); }

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
