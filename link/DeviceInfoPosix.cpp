#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <vector>

#include "link/DeviceInfo.h"

namespace orvex {
namespace fs = std::filesystem;
fs::path InRoot(const std::string& root, const std::string& path) {
    return fs::path(root) / fs::path(path).relative_path();
}

namespace {

// The first line of a sysfs attribute; "" when it is absent or unreadable,
// as attributes are on some devices.
std::string Attribute(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return {};
    std::string line(256, '\0');
    in.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(in.gcount()));
    line = line.substr(0, line.find('\n'));
    return PrintableDeviceString(line);
}

// A USB id as four lower-case hex digits; anything else is not one.
std::string UsbId(const std::string& value) {
    if (value.size() != 4 || !std::all_of(value.begin(), value.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c));
        }))
        return {};
    std::string out = value;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool Within(const fs::path& path, const fs::path& base) {
    const auto [b, p] = std::mismatch(base.begin(), base.end(), path.begin(), path.end());
    return b == base.end();
}

std::string StableName(const std::string& root, const std::string& target) {
    const std::string byIdDir = "/dev/serial/by-id";
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(InRoot(root, byIdDir), ec))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    // A link left behind by an unplugged adapter resolves to nothing and
    // so names nothing.
    for (const std::string& name : names)
        if (ResolveInRoot(root, byIdDir + "/" + name) == target) return byIdDir + "/" + name;
    return {};
}

// The tty's sysfs device leads up to the USB device it belongs to: the
// port (usb-serial drivers) or the interface (cdc_acm) lies beneath it.
void ReadSysfs(const std::string& root, const std::string& ttyName, DeviceInfo& info) {
    std::error_code ec;
    const fs::path device = InRoot(root, "/sys/class/tty/" + ttyName + "/device");
    const fs::path driver = fs::read_symlink(device / "driver", ec);
    if (!ec) info.driver = PrintableDeviceString(driver.filename().string());
    const fs::path sys = fs::canonical(InRoot(root, "/sys"), ec);
    if (ec) return;
    fs::path at = fs::canonical(device, ec);
    if (ec) return;
    for (int level = 0; level < 8 && Within(at, sys) && at != sys; ++level, at = at.parent_path()) {
        if (!fs::exists(at / "idVendor", ec)) continue;
        info.vendorId = UsbId(Attribute(at / "idVendor"));
        info.productId = UsbId(Attribute(at / "idProduct"));
        info.manufacturer = Attribute(at / "manufacturer");
        info.product = Attribute(at / "product");
        info.serial = Attribute(at / "serial");
        return;
    }
}

}  // namespace

std::string ResolveInRoot(const std::string& root, const std::string& device) {
    std::error_code ec;
    const fs::path base = fs::canonical(root, ec);
    if (ec) return {};
    const fs::path resolved = fs::canonical(InRoot(root, device), ec);
    if (ec || !Within(resolved, base)) return {};
    if (resolved == base) return "/";
    return "/" + resolved.lexically_relative(base).generic_string();
}

DeviceInfo ReadDeviceInfo(const std::string& device, const std::string& root) {
    DeviceInfo info;
    const std::string target = ResolveInRoot(root, device);
    if (target.empty() || target == "/") return info;
    info.byId = StableName(root, target);
    ReadSysfs(root, fs::path(target).filename().string(), info);
    return info;
}

}  // namespace orvex
