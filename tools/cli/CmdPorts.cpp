// ports and search: which device each COM number means, and Auto Search.
#include <cstdio>

#include "link/PortMap.h"
#include "link/PortSearch.h"
#include "link/PortSettingsFile.h"
#include "link/SerialDevices.h"
#include "tools/cli/CliPlatform.h"
#include "tools/cli/CliSession.h"

namespace orvex::cli {
namespace {

class StatusPrinter : public IFormObserver {
public:
    explicit StatusPrinter(FormModel& form) : m_form(form) {}
    void OnFormChanged(unsigned changes) override {
        if (!(changes & kChangeStatus) || m_form.StatusText() == m_last) return;
        m_last = m_form.StatusText();
        std::fprintf(stderr, "%s\n", m_last.c_str());
    }

private:
    FormModel& m_form;
    std::string m_last;
};

}  // namespace

int CmdPorts(const Args& args) {
    if (!args.empty()) return UsageError("ports takes no arguments");
    std::string mapError;
    const PortMap map = PortMap::FromSystem(&mapError);
    if (!mapError.empty()) std::fprintf(stderr, "orvex-cli: %s\n", mapError.c_str());
    const DeviceStates states;
    const int remembered = ReadPortSettings(PortSettingsPath()).index + 1;
    std::printf("%-7s %-32s %s\n", "PORT", "DEVICE", "STATE");
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const std::string device = map.DeviceFor(n);
        if (device.empty()) continue;
        const DeviceState state = states.Of(device);
        // Where every number has a fixed device (Windows), the absent ones
        // would only fill the list.
        if (state == DeviceState::Missing && device == FixedComDevice(n) && n != remembered) continue;
        std::printf("COM%-4d %-32s %s%s\n", n, device.c_str(),
                    state == DeviceState::Missing ? "missing" : state == DeviceState::InUse ? "in use" : "present",
                    n == remembered ? "  (remembered)" : "");
    }
    std::printf("\nPort settings file: %s (COM%d)\n", PortSettingsPath().c_str(), remembered);
#ifdef _WIN32
    std::printf("Override with ORVEX_PORT_MAP=\"COM3=\\\\.\\COM12\".\n");
#else
    std::printf("Override with ORVEX_PORT_MAP=\"COM3=/dev/ttyUSB1,COM4=/dev/ttyS0\".\n");
#endif
    return kExitOk;
}

int CmdSearch(const Args& args) {
    if (!args.empty()) return UsageError("search takes no arguments");
    InterruptHandler interrupt;
    CliSession session("");
    StatusPrinter printer(session.Form());
    session.Form().AddObserver(&printer);
    CPortSearch search(session.Form(), session.Link(), session.Loop(), PortSettingsPath());
    bool stopped = false;
    // Ctrl+C acts as Auto Stop, handed to the loop, where the search lives.
    interrupt.OnInterrupt([&] {
        session.Loop().Post([&] {
            if (!stopped) search.OnAutoStop();
            stopped = true;
        });
    });
    search.OnAutoSearch();
    session.Loop().RunUntil(
        [&] { return search.Settled() && !search.Active() && !session.Link().Pausing(); }, 24 * 3600 * 1000LL);
    const bool found = !stopped && search.PortIndex() > 0 && session.Link().Port().IsConnected();
    if (found)
        std::printf("COM%d\n", session.Link().ConfiguredPort() + 1);
    session.Form().RemoveObserver(&printer);
    interrupt.OnInterrupt(nullptr);
    return found ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
