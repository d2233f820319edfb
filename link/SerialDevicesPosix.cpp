#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "link/DeviceInfo.h"
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

// Who holds which device open, from /proc. Processes come and go while it
// is read: one that vanishes, or whose fd folder is not ours to read, is
// passed over.
struct DeviceStates::Snapshot {
    std::string root;
    std::map<std::string, std::vector<DeviceHolder>> holders;  // by link target
};

namespace {

std::string ProcessName(const std::string& procDir) {
    std::ifstream in(procDir + "/comm", std::ios::binary);
    std::string name;
    if (!in || !std::getline(in, name)) return {};
    return PrintableDeviceString(name);
}

}  // namespace

DeviceStates::DeviceStates() : DeviceStates("/") {}

DeviceStates::DeviceStates(const std::string& root) : m_snapshot(std::make_unique<Snapshot>()) {
    m_snapshot->root = root;
    const std::string procRoot = (std::filesystem::path(root) / "proc").string();
    DIR* proc = ::opendir(procRoot.c_str());
    if (!proc) return;
    while (const dirent* p = ::readdir(proc)) {
        const std::string pidName = p->d_name;
        if (pidName.empty() || pidName.size() > 9 ||
            !std::all_of(pidName.begin(), pidName.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const std::string procDir = procRoot + "/" + pidName;
        const std::string fdDir = procDir + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;
        std::set<std::string> held;
        while (const dirent* f = ::readdir(fds)) {
            char target[PATH_MAX];
            const std::string link = fdDir + "/" + f->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && target[0] == '/') held.insert(std::string(target, static_cast<std::size_t>(n)));
        }
        ::closedir(fds);
        if (held.empty()) continue;
        const DeviceHolder holder{std::atol(pidName.c_str()), ProcessName(procDir)};
        for (const std::string& target : held) m_snapshot->holders[target].push_back(holder);
    }
    ::closedir(proc);
    for (auto& [target, holders] : m_snapshot->holders)
        std::sort(holders.begin(), holders.end(),
                  [](const DeviceHolder& a, const DeviceHolder& b) { return a.pid < b.pid; });
}

DeviceStates::~DeviceStates() = default;

std::vector<DeviceHolder> DeviceStates::HoldersOf(const std::string& device) const {
    const std::string resolved = ResolveInRoot(m_snapshot->root, device);
    if (resolved.empty()) return {};
    const auto found = m_snapshot->holders.find(resolved);
    return found == m_snapshot->holders.end() ? std::vector<DeviceHolder>{} : found->second;
}

DeviceState DeviceStates::Of(const std::string& device) const {
    struct stat st {};
    const std::string path = (std::filesystem::path(m_snapshot->root) / std::filesystem::path(device).relative_path()).string();
    if (::stat(path.c_str(), &st) != 0) return DeviceState::Missing;
    return HoldersOf(device).empty() ? DeviceState::Present : DeviceState::InUse;
}

}  // namespace orvex
