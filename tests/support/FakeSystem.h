#pragma once
// A made-up system tree under a scratch folder: /dev with its by-id links,
// sysfs up to the USB device, /proc, /etc and the udev rules, built by a
// test's own hands and handed to the code under test as its root.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/TempDir.h"

namespace orvex::test {

class FakeSystem {
public:
    const std::string& Root() const { return m_root; }

    void File(const std::string& path, const std::string& content = "") {
        const std::filesystem::path p = Inside(path);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    void Dir(const std::string& path) { std::filesystem::create_directories(Inside(path)); }
    void Link(const std::string& path, const std::string& target) {
        const std::filesystem::path p = Inside(path);
        std::filesystem::create_directories(p.parent_path());
        std::filesystem::create_symlink(target, p);
    }

    // A USB-serial adapter as the kernel shows it: the tty's device is the
    // port beneath the interface, beneath the USB device with the ids.
    void Adapter(const std::string& tty, const std::string& usbDevice, const std::string& driver) {
        const std::string port = Usb(usbDevice) + "/" + usbDevice + ":1.0/" + tty;
        Dir(port);
        if (!driver.empty()) Link(port + "/driver", "../../../../../../bus/usb-serial/drivers/" + driver);
        Link("/sys/class/tty/" + tty + "/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice + "/" +
                                                       usbDevice + ":1.0/" + tty);
        File("/dev/" + tty);
    }
    std::string Usb(const std::string& usbDevice) const { return "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbDevice; }

    long GroupOf(const std::string& path) const {
        struct stat st {};
        ::stat(Inside(path).c_str(), &st);
        return static_cast<long>(st.st_gid);
    }

private:
    std::filesystem::path Inside(const std::string& path) const {
        return m_dir.Path() / std::filesystem::path(path).relative_path();
    }

    TempDir m_dir;
    std::string m_root = m_dir.Path().string();
};

}  // namespace orvex::test
