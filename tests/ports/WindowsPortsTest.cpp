// Windows ports as users have them, from made-up device trees: the USB ids
// and names the port list shows, the news of ports coming and going, and
// the connection check's findings. Plain code: it runs on every platform.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ConnectionCheck.h"
#include "link/DeviceEvents.h"
#include "link/WindowsPorts.h"

namespace orvex {
namespace {

WindowsPortNode Node(std::string port, std::string friendly, std::string id, unsigned long problem = 0) {
    WindowsPortNode n;
    n.portName = std::move(port);
    n.friendlyName = std::move(friendly);
    n.hardwareIds = {"ROOT\\NOTHING", std::move(id)};
    n.hasProblem = problem != 0;
    n.problemCode = problem;
    return n;
}

const WindowsPortNode kCh340 = Node("COM3", "USB-SERIAL CH340 (COM3)", "USB\\VID_1A86&PID_7523&REV_0254");

TEST(WindowsPorts, WhatTheTreeTellsBecomesThePortListsRow) {
    const struct {
        const char* friendly;
        const char* id;
        unsigned long problem;
        const char* row;  // product|usb id|problem
    } cases[] = {
        {"USB-SERIAL CH340 (COM3)", "USB\\VID_1A86&PID_7523&REV_0254", 0, "USB-SERIAL CH340|1a86:7523|"},
        {"USB Serial Port (COM4)", "FTDIBUS\\VID_0403+PID_6001+A5XK3RJTA\\0000", 0, "USB Serial Port|0403:6001|"},
        {"Communications Port", "ACPI\\PNP0501", 0, "Communications Port|:|"},
        {"Gadget (COMX)", "usb\\vid_1a86&pid_75231", 0, "Gadget (COMX)|:|"},
        {"Evil\x1b[2J (COM3)", "USB\\XVID_1A86&PID_7523", 0, "Evil?[2J|:|"},
        {"Prolific USB-to-Serial Comm Port (COM6)", "USB\\VID_067B&PID_2303", 10,
         "Prolific USB-to-Serial Comm Port|067b:2303|driver did not start it (code 10)"},
        {"", "USB\\VID_1A86&PID_7523", 28, "|1a86:7523|no driver installed (code 28)"},
        {"X (COM7)", "", 22, "X|:|not working (code 22)"},
    };
    for (const auto& c : cases) {
        const DeviceInfo info = DeviceInfoOf(Node("COM3", c.friendly, c.id, c.problem));
        EXPECT_EQ(info.product + "|" + info.vendorId + ":" + info.productId + "|" + info.problem, c.row) << c.friendly;
    }
    WindowsPortNode n = kCh340;
    n.friendlyName.clear();
    n.description = "USB-SERIAL CH340";
    n.service = "CH341SER_A64";
    EXPECT_EQ(DeviceInfoOf(n).product + "|" + DeviceInfoOf(n).driver, "USB-SERIAL CH340|CH341SER_A64");

    const std::vector<WindowsPortNode> tree{Node("COM1", "", "ACPI\\PNP0501"), kCh340};
    EXPECT_EQ(FindPortNode(tree, "\\\\.\\COM3"), &tree[1]);
    EXPECT_EQ(FindPortNode(tree, "com1"), &tree[0]);
    EXPECT_EQ(FindPortNode(tree, "\\\\.\\COM30"), nullptr);
    // Only the cable makers' adapters that failed stand without a port.
    EXPECT_TRUE(IsFailedSerialAdapter(Node("", "", "USB\\VID_0403&PID_0000", 28)));
    EXPECT_FALSE(IsFailedSerialAdapter(Node("", "", "USB\\VID_1A86&PID_7523")));
    EXPECT_FALSE(IsFailedSerialAdapter(Node("", "", "USB\\VID_046D&PID_C52B", 28)));
}

TEST(WindowsPorts, APortToldOfTwiceIsOneChange) {
    PortPresenceTracker tracker({1});
    EXPECT_TRUE(tracker.Named(true, 3));
    EXPECT_FALSE(tracker.Named(true, 3));
    const auto changes = tracker.Rescanned({3, 4, 7});
    EXPECT_EQ(changes.added, (std::vector<int>{4, 7}));
    EXPECT_EQ(changes.removed, (std::vector<int>{1}));
    EXPECT_TRUE(tracker.Named(false, 4));
    EXPECT_FALSE(tracker.Named(false, 1));
}

TEST(DeviceEvents, TheNewsNamesThePortAndWhatIsBehindIt) {
    using K = DeviceEvent::Kind;
    const struct {
        K kind;
        const char* device;
        int com;
        const char* product;
        const char* news;
    } cases[] = {
        {K::Added, "/dev/ttyUSB0", 1, "FT232R USB UART", "COM1: FT232R USB UART (ttyUSB0) connected"},
        {K::Added, "/dev/ttyUSB1", 2, "", "COM2: ttyUSB1 connected"},
        {K::Removed, "/dev/ttyUSB0", 1, "", "COM1: ttyUSB0 disconnected"},
        {K::Added, "\\\\.\\COM3", 3, "USB-SERIAL CH340", "COM3: USB-SERIAL CH340 connected"},
        {K::Added, "\\\\.\\COM3", 3, "", "COM3 connected"},
        {K::Removed, "\\\\.\\COM3", 3, "USB-SERIAL CH340", "COM3 disconnected"},
        {K::Added, "\\\\.\\COM12", 2, "USB Serial Port", "COM2: USB Serial Port (COM12) connected"},
    };
    for (const auto& c : cases) EXPECT_EQ(DeviceEventNews(DeviceEvent{c.kind, c.device}, c.com, c.product), c.news);
}

// "check:result ..." of the findings, and the first problem's words.
std::string Summary(const std::vector<Finding>& findings) {
    std::string out, problem;
    for (const Finding& f : findings) {
        out += f.check + ":" + (f.result == FindingResult::Ok ? "ok " : f.result == FindingResult::Problem ? "PROBLEM " : "note ");
        if (f.result == FindingResult::Problem && problem.empty()) problem = f.detail + " / " + f.fix;
        EXPECT_EQ(f.fix.empty(), f.result == FindingResult::Ok) << f.detail;
    }
    return out + "| " + problem;
}

TEST(WindowsConnectionCheck, FindingsFollowThePortTheDriverAndTheHolder) {
    const WindowsPortNode refused = Node("COM3", "USB-SERIAL CH340 (COM3)", "USB\\VID_1A86&PID_7523", 10);
    const WindowsPortNode noDriver = Node("", "", "USB\\VID_1A86&PID_7523", 28);
    const WindowsPortNode erased = Node("", "FT232R USB UART", "USB\\VID_0403&PID_0000", 28);
    const std::string pick = "COM3 does not exist. / Plug the cable in, then pick its port: orvex-cli ports lists "
                             "them, orvex-cli doctor --port COMn checks one.";
    const std::string held = "COM3 cannot be opened: another program has it open. / Close the program that uses "
                             "COM3 (a terminal program, another copy of ORVEX Programmer or orvex-cli), then run the "
                             "check again.";
    const struct {
        const char* name;
        std::vector<WindowsPortNode> tree;
        std::set<int> dosNames;
        unsigned long openError;  // what opening COM3 gives
        std::string summary;
    } cases[] = {
        {"a working cable", {kCh340}, {3}, 0, "device:ok holders:ok | "},
        {"a port no list shows that opens (Wine)", {}, {}, 0, "device:ok holders:ok | "},
        {"no such port", {}, {1}, 2, "device:PROBLEM | " + pick},
        {"held: access denied", {kCh340}, {3}, 5, "device:ok holders:PROBLEM | " + held},
        {"held: sharing violation (Wine)", {kCh340}, {3}, 32, "device:ok holders:PROBLEM | " + held},
        {"another failure", {kCh340}, {3}, 31, "device:ok holders:PROBLEM | COM3 cannot be opened: The system's "
         "words. / Plug the cable in again, then run the check again."},
        {"the driver refused the chip", {refused}, {}, 0,
         "device:ok driver:PROBLEM | COM3 (USB-SERIAL CH340, USB ID 1a86:7523) is plugged in, but its driver refused "
         "to start it (device problem code 10). / Drivers refuse adapters whose chip is a copy of the genuine one: use "
         "a cable with a genuine chip, or install an older version of the adapter's driver (Device Manager: the port, "
         "Properties, Driver, Roll Back Driver)."},
        {"no port: a cable without its driver", {noDriver}, {1}, 2, "device:PROBLEM driver:PROBLEM | " + pick},
        {"the chosen port works, a cable elsewhere does not", {kCh340, erased}, {3}, 0,
         "device:ok driver:note holders:ok | "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int opened = 0;
        const WindowsPortSystem system{[&] { return c.tree; }, [&] { return c.dosNames; },
                                       [&](const std::string& device, std::string* text) {
                                           EXPECT_EQ(device, "\\\\.\\COM3");
                                           ++opened;
                                           *text = "The system's words";
                                           return c.openError;
                                       }};
        EXPECT_EQ(Summary(CheckWindowsPort("\\\\.\\COM3", system)), c.summary);
        // A port whose driver failed is not opened; any other once.
        EXPECT_EQ(opened, c.tree.size() && c.tree[0].hasProblem && !c.tree[0].portName.empty() ? 0 : 1);
    }
    // The fixes for a cable without a driver, and for one whose product id
    // a driver erased.
    const WindowsPortSystem none{[&] { return std::vector<WindowsPortNode>{noDriver, erased}; },
                                 [] { return std::set<int>{}; }, [](const std::string&, std::string*) { return 2ul; }};
    const std::vector<Finding> findings = CheckWindowsPort("\\\\.\\COM3", none);
    ASSERT_EQ(findings.size(), 3u);
    // A front end that lists the ports itself says so.
    EXPECT_EQ(CheckWindowsPort("\\\\.\\COM3", none, {"Pick it in the list.", "the list"})[0].fix,
              "Pick it in the list.");
    EXPECT_EQ(findings[1].detail, "A serial adapter (USB ID 1a86:7523) is plugged in, but no driver is installed for "
                                  "it (device problem code 28).");
    EXPECT_EQ(findings[1].fix, "Install the driver for the adapter with USB ID 1a86:7523 from its maker, then plug "
                               "the cable in again.");
    EXPECT_EQ(findings[2].fix, "A driver has disabled this copy of the genuine chip: use a cable with a genuine chip.");
    EXPECT_EQ(CheckWindowsPort("", none).at(0).detail, "No port is chosen.");
}

}  // namespace
}  // namespace orvex
