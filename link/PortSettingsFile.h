#pragma once
// The port settings file: the remembered port's zero-based index in decimal
// and a line feed ("2\n" for COM3), read by every version. A second line may
// say which device that was, so that the number means the same cable after
// the devices were renumbered: "device=/dev/serial/by-id/..." or
// "serial=<USB serial number>". Readers that know no second line stop at
// the first.
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/Problem.h"

namespace orvex {

inline constexpr int kPortIndexMax = 255;  // COM256

// Where the file may be: the place every version reads, and a second one
// for when the first cannot be written (a standard Windows user may not
// create files at the root of C:). Once the second holds a file, it is the
// one read and written: the first may hold an older port by then.
struct PortSettingsPlaces {
    PortSettingsPlaces() = default;
    // One place and no second: a file named by the user or a test.
    PortSettingsPlaces(std::string only) : primary(std::move(only)) {}  // NOLINT(google-explicit-constructor)
    PortSettingsPlaces(std::string first, std::string second)
        : primary(std::move(first)), fallback(std::move(second)) {}
    std::string primary;
    std::string fallback;  // "" when there is none
};

// ORVEX_PORT_FILE alone if set; on Windows "C:\ORVEX.CFG", then
// %LOCALAPPDATA%\ORVEX\ORVEX.CFG; elsewhere $XDG_CONFIG_HOME/orvex/ORVEX.CFG
// (~/.config/orvex/ORVEX.CFG) alone.
PortSettingsPlaces DefaultPortSettingsPlaces();

// The file the default places mean now (see PortSettingsInUse).
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
Outcome<void> WritePortSettings(const std::string& path, int index, const std::string& identity = {});

// The file calls the two places are handled with; tests put their own in.
struct PortSettingsFileSystem {
    std::function<bool(const std::string& path)> exists;
    std::function<PortSettingsRead(const std::string& path)> read;
    std::function<Outcome<void>(const std::string& path, int index, const std::string& identity)> write;
};
const PortSettingsFileSystem& RealPortSettingsFiles();

// The second place once it holds a file, else the first.
std::string PortSettingsInUse(const PortSettingsPlaces& places,
                              const PortSettingsFileSystem& files = RealPortSettingsFiles());
// ReadPortSettings of the file in use: a missing first place is created
// holding 0 as ever; the second place is never made just for that.
PortSettingsRead ReadPortSettingsFrom(const PortSettingsPlaces& places,
                                      const PortSettingsFileSystem& files = RealPortSettingsFiles());

struct RememberedPort {
    std::string path;  // where the port went
    // The first place refused it, so it went to the second, which is read
    // from now on: the user is told so once, at this write.
    bool moved = false;
};
// Writes the port into the file in use; when that is the first place and it
// cannot be written, into the second. A failure names every place tried.
Outcome<RememberedPort> WritePortSettingsTo(const PortSettingsPlaces& places, int index,
                                            const std::string& identity = {},
                                            const PortSettingsFileSystem& files = RealPortSettingsFiles());

// What the status line says after a write that moved: "COM3 is remembered
// in <second place> (<first place> cannot be written)".
std::string MovedPortSettingsText(int comNumber, const PortSettingsPlaces& places);

// The identity lines the file may hold.
inline constexpr std::string_view kIdentityDevice = "device=";
inline constexpr std::string_view kIdentitySerial = "serial=";

}  // namespace orvex
