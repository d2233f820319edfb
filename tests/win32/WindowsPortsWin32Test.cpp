// The Windows side of the ports: the window that hears WM_DEVICECHANGE,
// and the connection check over the system's own calls, on a COM port
// whose other end is the simulator (ORVEX_TEST_COM). Wine has no device
// tree of serial devices and lists no such port among its DOS names.
#include <windows.h>
#include <dbt.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "link/ConnectionCheck.h"
#include "link/PortMap.h"
#include "link/PortNotifierWin32.h"
#include "link/SerialDevices.h"

namespace orvex {
namespace {

// A port's news as the system sends it: the name runs on past the header.
class PortNews {
public:
    explicit PortNews(const wchar_t* name) {
        DEV_BROADCAST_PORT_W header{};
        header.dbcp_size = sizeof m_bytes;
        header.dbcp_devicetype = DBT_DEVTYP_PORT;
        std::memcpy(m_bytes, &header, offsetof(DEV_BROADCAST_PORT_W, dbcp_name));
        std::memcpy(m_bytes + offsetof(DEV_BROADCAST_PORT_W, dbcp_name), name, (std::wcslen(name) + 1) * sizeof(wchar_t));
    }
    const void* get() const { return m_bytes; }

private:
    alignas(DEV_BROADCAST_PORT_W) unsigned char m_bytes[sizeof(DEV_BROADCAST_PORT_W) + 32 * sizeof(wchar_t)]{};
};

TEST(Win32PortNotifier, EachPortThatComesOrGoesIsToldOnce) {
    std::set<int> present{1};
    std::vector<std::string> told;
    Win32PortNotifier notifier(
        [&](const DeviceEvent& e) { told.push_back((e.kind == DeviceEvent::Kind::Added ? "+" : "-") + e.device); },
        [&] { return present; });
    const Outcome<void> started = notifier.Start();
    ASSERT_TRUE(started) << started.problem();
    const HWND window = static_cast<HWND>(notifier.Window());
    DEV_BROADCAST_DEVICEINTERFACE_W iface{};
    iface.dbcc_size = sizeof iface;
    iface.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    const auto send = [&](WPARAM what, const void* news) {
        ::SendMessageW(window, WM_DEVICECHANGE, what, reinterpret_cast<LPARAM>(news));
    };

    const PortNews com3(L"COM3"), lpt1(L"LPT1");
    send(DBT_DEVICEARRIVAL, com3.get());
    present = {1, 3};
    send(DBT_DEVICEARRIVAL, &iface);  // the same cable's interface
    send(DBT_DEVICEARRIVAL, lpt1.get());
    send(DBT_DEVNODES_CHANGED, nullptr);
    present = {3, 12};
    send(DBT_DEVICEARRIVAL, &iface);  // ports told only by their interface
    send(DBT_DEVICEREMOVECOMPLETE, com3.get());
    present = {12};
    send(DBT_DEVICEREMOVECOMPLETE, &iface);
    EXPECT_EQ(told, (std::vector<std::string>{"+\\\\.\\COM3", "-\\\\.\\COM1", "+\\\\.\\COM12", "-\\\\.\\COM3"}));
}

Finding Of(const std::vector<Finding>& findings, const std::string& check) {
    for (const Finding& f : findings)
        if (f.check == check) return f;
    return Finding{"none", FindingResult::Note, "no " + check + " finding", ""};
}

TEST(WindowsPortsSystem, TheCheckOpensThePortToTellItExistsAndIsFree) {
    for (const WindowsPortNode& n : ReadWindowsDeviceTree())
        EXPECT_TRUE(ParseComName(n.portName) || IsFailedSerialAdapter(n)) << n.friendlyName;
    const char* test = std::getenv("ORVEX_TEST_COM");
    const auto com = ParseComName(test ? test : "");
    ASSERT_TRUE(com) << "ORVEX_TEST_COM names no COM port";
    const std::string port = "COM" + std::to_string(*com);
    const std::vector<Finding> found = CheckDevice(FixedComDevice(*com), SourcesOfThisProcess());
    EXPECT_EQ(Of(found, "device").detail, port + " exists.");
    EXPECT_EQ(Of(found, "holders").detail, "No other program holds " + port + ".");
    const HANDLE h = ::CreateFileA(FixedComDevice(*com).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(h, INVALID_HANDLE_VALUE) << "the check let go of it";
    ::CloseHandle(h);

    const std::vector<Finding> none = CheckDevice(FixedComDevice(250), SourcesOfThisProcess());
    EXPECT_EQ(Of(none, "device").detail, "COM250 does not exist.");
    EXPECT_EQ(Of(none, "holders").check, "none");
}

// Wine lets a serial port be opened twice; a file it does not. The refusal
// is the system error a port another program holds gives on Windows.
TEST(WindowsPortsSystem, ADeviceHeldOpenIsNamedAsSuch) {
    char folder[MAX_PATH] = {};
    ASSERT_NE(::GetTempPathA(MAX_PATH, folder), 0u);
    const std::string path = std::string(folder) + "orvex-held-port";
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const Finding f = Of(CheckDevice(path, SourcesOfThisProcess()), "holders");
    ::CloseHandle(held);
    EXPECT_EQ(f.detail, path + " cannot be opened: another program has it open.");
}

}  // namespace
}  // namespace orvex
