#include "link/PortMap.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "link/DeviceIdentity.h"
#include "link/SerialDevices.h"
#include "settings/TextUtil.h"

namespace orvex {

std::optional<int> ParseComName(const std::string& text) {
    if (text.size() < 4) return std::nullopt;
    for (int i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != "COM"[i]) return std::nullopt;
    int n = 0;
    for (std::size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])) || n > kMaxComNumber) return std::nullopt;
        n = n * 10 + (text[i] - '0');
    }
    if (n < 1 || n > kMaxComNumber) return std::nullopt;
    return n;
}

Outcome<void> PortMap::AddOverrides(const std::string& list) {
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t end = list.find_first_of(",;\n", at);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(at, end - at);
        at = end + 1;
        item = Trim(item);
        if (item.empty() || item[0] == '#') continue;
        const auto eq = item.find('=');
        // "COM3 = /dev/ttyUSB1": the blanks belong to neither side.
        const auto n = eq == std::string::npos ? std::nullopt : ParseComName(Trim(item.substr(0, eq)));
        const std::string device = eq == std::string::npos ? std::string{} : Trim(item.substr(eq + 1));
        if (!n || device.empty())
            return Problem{.what = "bad port map entry '" + item + "'", .fix = "expected COMn=/dev/device"};
        m_overrides[*n] = device;
    }
    return {};
}

PortMap PortMap::FromSystem(Problem* overrideProblem, const PortSettingsRead* remembered) {
    PortMap map;
    if (const char* env = std::getenv("ORVEX_PORT_MAP")) {
        const Outcome<void> added = map.AddOverrides(env);
        if (!added && overrideProblem) {
            *overrideProblem = added.problem();
            overrideProblem->where = "ORVEX_PORT_MAP";
        }
    }
    if (remembered && !remembered->identity.empty())
        map.Prefer(remembered->index + 1,
                   [identity = remembered->identity](const std::string& device) { return HasIdentity(device, identity); });
    map.Refresh();
    return map;
}

void PortMap::Refresh() { SetScanned(NumberedSerialDevices()); }

void PortMap::Prefer(int comNumber, std::function<bool(const std::string& device)> matches) {
    if (comNumber < 1 || comNumber > kMaxComNumber || !matches) return;
    m_preferred[comNumber] = std::move(matches);
}

bool PortMap::ClaimedByOverride(const std::string& device) const {
    for (const auto& [n, mapped] : m_overrides)
        if (mapped == device) return true;
    return false;
}

void PortMap::SetScanned(const std::vector<std::string>& devices) {
    std::erase_if(m_assigned, [&devices](const auto& entry) {
        return std::find(devices.begin(), devices.end(), entry.second) == devices.end();
    });
    const auto isAssigned = [this](const std::string& device) {
        return std::any_of(m_assigned.begin(), m_assigned.end(),
                           [&device](const auto& entry) { return entry.second == device; });
    };
    for (const auto& [com, matches] : m_preferred) {
        if (m_overrides.count(com) || m_assigned.count(com)) continue;
        for (const std::string& device : devices)
            if (!ClaimedByOverride(device) && !isAssigned(device) && matches(device)) {
                m_assigned[com] = device;
                break;
            }
    }
    int next = 1;
    for (const std::string& device : devices) {
        if (ClaimedByOverride(device) || isAssigned(device)) continue;
        while (next <= kMaxComNumber && (m_overrides.count(next) || m_assigned.count(next))) ++next;
        if (next > kMaxComNumber) return;
        m_assigned[next] = device;
    }
}

std::string PortMap::DeviceFor(int comNumber) const {
    if (comNumber < 1 || comNumber > kMaxComNumber) return {};
    if (const auto it = m_overrides.find(comNumber); it != m_overrides.end()) return it->second;
    if (std::string fixed = FixedComDevice(comNumber); !fixed.empty()) return fixed;
    const auto it = m_assigned.find(comNumber);
    return it == m_assigned.end() ? std::string{} : it->second;
}

std::vector<int> PortMap::PresentNumbers() const {
    const DeviceStates states;
    std::vector<int> present;
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const std::string device = DeviceFor(n);
        if (device.empty()) continue;
#ifdef _WIN32
        // Windows does not list every port it can open (a driver's, or one
        // made for a test); a port the user named is always worth a probe.
        if (m_overrides.count(n)) {
            present.push_back(n);
            continue;
        }
#endif
        if (states.Of(device) != DeviceState::Missing) present.push_back(n);
    }
    return present;
}

std::string PortMap::Resolve(const std::string& portText) const {
    if (const auto n = ParseComName(portText)) return DeviceFor(*n);
    return portText;
}

}  // namespace orvex
