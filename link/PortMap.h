#pragma once
// Which device each COM number means on this system. The application
// speaks of COM1..COM256; on Linux those are serial devices, USB-serial
// adapters (the usual programming cables) first, then on-board ports; on
// Windows COM n is the system's own "\\.\COMn". Overrides come first on both.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "link/PortSettingsFile.h"
#include "settings/Problem.h"

namespace orvex {

inline constexpr int kMaxComNumber = 256;

// "COM3" (any case) -> 3; nullopt for anything else.
std::optional<int> ParseComName(const std::string& text);

class PortMap {
public:
    // Overrides: "COM3=/dev/ttyUSB1,COM4=/tmp/radio" (from ORVEX_PORT_MAP
    // or the user's port map file). Refuses a malformed entry; the entries
    // before it still count.
    Outcome<void> AddOverrides(const std::string& list);

    // The map every front end uses: overrides from the environment variable
    // ORVEX_PORT_MAP, then the scanned devices for the numbers left free.
    // A malformed entry is named in overrideProblem, the map is made all the
    // same: a mistyped override must not leave the user without ports.
    // With the remembered port's settings, its cable gets the remembered
    // number again, whatever name the system gave it this time.
    static PortMap FromSystem(Problem* overrideProblem = nullptr, const PortSettingsRead* remembered = nullptr);

    // The devices present now, in COM order. A device keeps its number as
    // long as it stays present; one that has gone frees its number, and a
    // new one takes the lowest number nothing holds.
    void SetScanned(const std::vector<std::string>& devices);
    // Looks at the system's devices again (SetScanned with a fresh scan).
    void Refresh();
    // Number com is kept for the device matches picks whenever that device
    // comes (the remembered cable, whatever its name is this time), as long
    // as no other device holds the number by then.
    void Prefer(int comNumber, std::function<bool(const std::string& device)> matches);

    // The device for COM number n (1..256), or "" when none is assigned.
    std::string DeviceFor(int comNumber) const;
    // What "--port" may hold: a device path, or a COM name.
    std::string Resolve(const std::string& portText) const;
    // The COM numbers with a device behind them now, ascending: the ones a
    // search needs to probe.
    std::vector<int> PresentNumbers() const;

private:
    bool ClaimedByOverride(const std::string& device) const;

    std::map<int, std::string> m_overrides;
    std::map<int, std::string> m_assigned;  // numbers handed to scanned devices
    std::map<int, std::function<bool(const std::string&)>> m_preferred;
};

}  // namespace orvex
