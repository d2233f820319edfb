#pragma once
// The port settings file: the remembered port's zero-based index in decimal
// and a line feed ("2\n" for COM3), read by every version. A second line may
// say which device that was, so that the number means the same cable after
// the devices were renumbered: "device=/dev/serial/by-id/..." or
// "serial=<USB serial number>". Readers that know no second line stop at
// the first.
#include <string>
#include <string_view>

namespace orvex {

inline constexpr int kPortIndexMax = 255;  // COM256

// Where the file lives: ORVEX_PORT_FILE if set; on Windows "C:\ORVEX.CFG";
// elsewhere $XDG_CONFIG_HOME/orvex/ORVEX.CFG (~/.config/orvex/ORVEX.CFG).
std::string PortSettingsPath();

struct PortSettingsRead {
    int index = 0;
    bool created = false;  // the file was missing and has been created with 0
    std::string note;      // why the stored value was not used, if it was not
    std::string identity;  // the remembered device's identity line, "" if none
};

// Reads the remembered port. A missing file is created holding 0; a file
// that cannot be read, is empty, holds no number or one outside 0..255
// gives 0 and is left as it is.
PortSettingsRead ReadPortSettings(const std::string& path);

// Writes index as "%d\n", then the identity line if there is one,
// replacing the file as a whole.
bool WritePortSettings(const std::string& path, int index, std::string* error = nullptr,
                       const std::string& identity = {});

// The identity lines the file may hold.
inline constexpr std::string_view kIdentityDevice = "device=";
inline constexpr std::string_view kIdentitySerial = "serial=";

}  // namespace orvex
