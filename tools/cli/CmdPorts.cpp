// ports and search: which device each COM number means, what it is and
// who holds it, and Auto Search.
#include <cstdio>
#include <string>
#include <vector>

#include "link/DeviceInfo.h"
#include "link/PortList.h"
#include "link/PortMap.h"
#include "link/PortSearch.h"
#include "link/PortSettingsFile.h"
#include "link/SerialDevices.h"
#include "tools/cli/CliJson.h"
#include "tools/cli/CliPlatform.h"
#include "tools/cli/CliSession.h"

namespace orvex::cli {
namespace {

class StatusPrinter : public IFormObserver {
public:
    explicit StatusPrinter(FormModel& form) : m_form(form) {}
    void OnFormChanged(unsigned changes) override {
        if (!(changes & kChangeStatus) || m_form.View().StatusText() == m_last) return;
        m_last = m_form.View().StatusText();
        std::fprintf(stderr, "%s\n", m_last.c_str());
    }

private:
    FormModel& m_form;
    std::string m_last;
};

}  // namespace

namespace {

void PrintTable(const std::vector<PortEntry>& entries) {
    std::printf("%-7s %-32s %s\n", "PORT", "DEVICE", "STATE");
    for (const PortEntry& e : entries) {
        std::string state = DeviceStateName(e.state);
        if (!e.holders.empty()) {
            state += " by";
            for (const DeviceHolder& h : e.holders) state += " " + HolderText(h);
        }
        std::printf("COM%-4d %-32s %s%s\n", e.com, e.device.c_str(), state.c_str(), e.remembered ? "  (remembered)" : "");
        // The details go on lines of their own, beneath their port, so the
        // port lines keep their three columns.
        const auto detail = [](const char* label, const std::string& value) {
            if (!value.empty()) std::printf("        %-13s %s\n", label, value.c_str());
        };
        detail("by-id", e.info.byId);
        detail("driver", e.info.driver);
        detail("usb id", UsbIdText(e.info));
        detail("manufacturer", e.info.manufacturer);
        detail("product", e.info.product);
        detail("serial", e.info.serial);
    }
}

void PrintJson(const std::vector<PortEntry>& entries) {
    const std::string array = JsonArray(entries, [](const PortEntry& e) {
        const std::string holders = JsonArray(e.holders, [](const DeviceHolder& h) {
            return "{\"pid\": " + std::to_string(h.pid) + ", \"name\": " + JsonStringOrNull(h.name) + "}";
        });
        return "{\"com\": " + std::to_string(e.com) + ", \"device\": " + JsonString(e.device) +
               ", \"byId\": " + JsonStringOrNull(e.info.byId) + ", \"driver\": " + JsonStringOrNull(e.info.driver) +
               ", \"vid\": " + JsonStringOrNull(e.info.vendorId) + ", \"pid\": " + JsonStringOrNull(e.info.productId) +
               ", \"manufacturer\": " + JsonStringOrNull(e.info.manufacturer) +
               ", \"product\": " + JsonStringOrNull(e.info.product) + ", \"serial\": " + JsonStringOrNull(e.info.serial) +
               ", \"state\": " + JsonString(DeviceStateName(e.state)) + ", \"holders\": " + holders +
               ", \"remembered\": " + (e.remembered ? "true" : "false") + "}";
    });
    std::printf("%s\n", array.c_str());
}

}  // namespace

int CmdPorts(const Args& args) {
    bool json = false;
    for (const std::string& arg : args) {
        if (arg == "--json") json = true;
        else return UsageError("ports takes only --json, not " + arg);
    }
    Problem mapProblem;
    const PortMap map = PortMap::FromSystem(&mapProblem);
    if (mapProblem != NoProblem()) std::fprintf(stderr, "orvex-cli: %s\n", mapProblem.Text().c_str());
    const int remembered = ReadPortSettings(PortSettingsPath()).index + 1;
    const std::vector<PortEntry> entries = ListPorts(map, remembered);
    if (json) {
        PrintJson(entries);
        return kExitOk;
    }
    PrintTable(entries);
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
    // With the fallback place too: a search never fails for a file it cannot write.
    CPortSearch& search = session.Search();
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
        [&] { return search.Settled() && !search.Active() && !session.Link().Activity().pausing; }, 24 * 3600 * 1000LL);
    const bool found = !stopped && search.PortIndex() > 0 && session.Link().Port().IsConnected();
    if (found)
        std::printf("COM%d\n", session.Link().ConfiguredPort() + 1);
    session.Form().RemoveObserver(&printer);
    interrupt.OnInterrupt(nullptr);
    return found ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
