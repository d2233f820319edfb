#pragma once
// What the system knows about a serial device beyond its name: the stable
// name udev gives it, the driver behind it, the USB adapter it belongs to
// and whether it works. A field the system does not tell is "".
#include <filesystem>
#include <string>

namespace orvex {

struct DeviceInfo {
    std::string byId;          // e.g. /dev/serial/by-id/usb-...-if00-port0
    std::string driver;        // ftdi_sio, ch341, pl2303, cp210x, cdc_acm, ...
    std::string vendorId;      // USB idVendor, four hex digits
    std::string productId;     // USB idProduct
    std::string manufacturer;  // the adapter's own strings, made printable
    std::string product;
    std::string serial;
    std::string problem;       // what the system says is wrong with it (Windows)
};

// The device's information as the system under root shows it (Linux: the
// /dev/serial/by-id links and sysfs; Windows: the device tree, root
// ignored, no by-id name or serial); nothing for a device that is gone.
DeviceInfo ReadDeviceInfo(const std::string& device, const std::string& root = "/");

// A string from a device made fit to print: control characters and bytes
// that are not UTF-8 become '?', trailing white space goes.
std::string PrintableDeviceString(const std::string& raw);

#ifndef _WIN32
// path ("/sys/...", "/proc/...") as seen inside root, the system's root
// or a test's fake of it.
std::filesystem::path InRoot(const std::string& root, const std::string& path);

// The name a device path finally stands for inside root, links followed
// and written as seen from root ("/dev/ttyUSB0"); "" when it leads nowhere
// or out of root.
std::string ResolveInRoot(const std::string& root, const std::string& device);
#endif

}  // namespace orvex
