// The serial ports in the Windows device tree, through SetupAPI and the
// configuration manager, and the system's DOS device names.
#include <windows.h>
// clang-format off: the GUIDs are defined here, before the header declaring them.
#include <initguid.h>
#include <devguid.h>
// clang-format on
#include <cfgmgr32.h>
#include <setupapi.h>

#include <filesystem>

#include "files/FileStore.h"
#include "files/SystemError.h"
#include "link/PortMap.h"
#include "link/WindowsPorts.h"

namespace orvex {
namespace {

std::string Utf8(const std::wstring& wide) { return filestore::Utf8FromPath(std::filesystem::path(wide)); }

// A registry property of the device: its strings (one, or each of a
// multi-string), none when the device has no such property.
std::vector<std::string> Property(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    DWORD type = 0, size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    if (size == 0) return {};
    // Room for the terminators a stored value may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                             size, nullptr))
        return {};
    if (type != REG_SZ && type != REG_MULTI_SZ) return {};
    std::vector<std::string> strings;
    for (const wchar_t* p = buffer.data(); *p; p += std::wcslen(p) + 1) {
        strings.push_back(Utf8(p));
        if (type == REG_SZ) break;
    }
    return strings;
}

std::string FirstOf(std::vector<std::string> strings) { return strings.empty() ? std::string() : strings.front(); }

// The port name the Ports class keeps in the device's own registry key.
std::string PortName(HDEVINFO set, SP_DEVINFO_DATA& device) {
    const HKEY key = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) return {};
    wchar_t name[64] = {};
    DWORD type = 0, size = sizeof name - sizeof(wchar_t);
    const LONG read = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    ::RegCloseKey(key);
    return read == ERROR_SUCCESS && type == REG_SZ ? Utf8(name) : std::string();
}

WindowsPortNode NodeOf(HDEVINFO set, SP_DEVINFO_DATA& device) {
    WindowsPortNode node;
    node.friendlyName = FirstOf(Property(set, device, SPDRP_FRIENDLYNAME));
    node.description = FirstOf(Property(set, device, SPDRP_DEVICEDESC));
    node.hardwareIds = Property(set, device, SPDRP_HARDWAREID);
    node.manufacturer = FirstOf(Property(set, device, SPDRP_MFG));
    node.service = FirstOf(Property(set, device, SPDRP_SERVICE));
    ULONG status = 0, problem = 0;
    if (::CM_Get_DevNode_Status(&status, &problem, device.DevInst, 0) == CR_SUCCESS && (status & DN_HAS_PROBLEM)) {
        node.hasProblem = true;
        node.problemCode = problem;
    }
    return node;
}

template <class Visit>
void ForEachDevice(HDEVINFO set, Visit visit) {
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) visit(set, device);
    ::SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

std::vector<WindowsPortNode> ReadWindowsDeviceTree() {
    std::vector<WindowsPortNode> nodes;
    ForEachDevice(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT),
                  [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
                      WindowsPortNode node = NodeOf(set, device);
                      node.portName = PortName(set, device);
                      if (ParseComName(node.portName)) nodes.push_back(std::move(node));  // not the printer ports
                  });
    // An adapter without a driver is no port yet: it waits among the USB
    // devices of no class.
    ForEachDevice(::SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT),
                  [&](HDEVINFO set, SP_DEVINFO_DATA& device) {
                      if (::IsEqualGUID(device.ClassGuid, GUID_DEVCLASS_PORTS)) return;
                      WindowsPortNode node = NodeOf(set, device);
                      if (IsFailedSerialAdapter(node)) nodes.push_back(std::move(node));
                  });
    return nodes;
}

std::set<int> DosComNumbers() {
    std::vector<char> names(64 * 1024);
    for (;;) {
        const DWORD n = ::QueryDosDeviceA(nullptr, names.data(), static_cast<DWORD>(names.size()));
        if (n != 0) break;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() > 16 * 1024 * 1024) return {};
        names.resize(names.size() * 2);
    }
    std::set<int> found;
    for (const char* p = names.data(); *p; p += std::char_traits<char>::length(p) + 1)
        if (const auto com = ParseComName(p)) found.insert(*com);
    return found;
}

WindowsPortSystem ThisWindowsSystem() {
    WindowsPortSystem system;
    system.deviceTree = ReadWindowsDeviceTree;
    system.dosComNumbers = DosComNumbers;
    system.tryOpen = [](const std::string& device, std::string* text) -> unsigned long {
        // Without overlapped I/O and closed at once: nothing is sent, and the
        // line settings stay as the last program left them.
        const HANDLE h = ::CreateFileW(filestore::PathFromUtf8(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (text) *text = SystemErrorText(static_cast<int>(error));
        return error;
    };
    return system;
}

}  // namespace orvex
