// The connection check on Windows, made of what the system told: the port's
// DOS name, its node in the device tree with the driver's state, and one
// attempt to open it. Plain code, so that every finding can be produced
// from a made-up system anywhere.
#include <algorithm>

#include "link/ConnectionCheck.h"

namespace orvex {
namespace {

// The system error codes of an open that another program's hold refuses,
// and of one that finds no device.
constexpr unsigned long kHeldErrors[] = {5 /* access denied */, 32 /* sharing violation */, 170 /* busy */};
constexpr unsigned long kGoneErrors[] = {2, 3, 55, 1167};  // file, path, device not found; not connected

constexpr const char* kCliPickPortFix =
    "Plug the cable in, then pick its port: orvex-cli ports lists them, orvex-cli doctor --port COMn checks one.";

bool OneOf(unsigned long code, const auto& codes) {
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

// "COM3 (USB-SERIAL CH340, USB ID 1a86:7523)"; "A serial adapter (...)"
// for one Windows gave no port.
std::string Who(const WindowsPortNode& node) {
    std::string about = ProductName(node);
    if (const std::string id = UsbIdPhrase(node); !id.empty()) about += (about.empty() ? "" : ", ") + id;
    const std::string name = node.portName.empty() ? "A serial adapter" : node.portName;
    return about.empty() ? name : name + " (" + about + ")";
}

Finding DriverFinding(const WindowsPortNode& node, FindingResult result) {
    Finding f{"driver", result, {}, {}};
    const std::string code = " (device problem code " + std::to_string(node.problemCode) + ").";
    const auto ids = UsbIdsOf(node);
    if (node.problemCode == kProblemFailedStart) {
        f.detail = Who(node) + " is plugged in, but its driver refused to start it" + code;
        f.fix = "Drivers refuse adapters whose chip is a copy of the genuine one: use a cable with a genuine chip, "
                "or install an older version of the adapter's driver (Device Manager: the port, Properties, Driver, "
                "Roll Back Driver).";
    } else if (node.problemCode == kProblemFailedInstall && ids && ids->productId == "0000") {
        // A driver of the genuine maker wrote this product id into copied chips.
        f.detail = Who(node) + " is plugged in, but it calls itself product 0000, so no driver takes it" + code;
        f.fix = "A driver has disabled this copy of the genuine chip: use a cable with a genuine chip.";
    } else if (node.problemCode == kProblemFailedInstall) {
        f.detail = Who(node) + " is plugged in, but no driver is installed for it" + code;
        f.fix = "Install the driver for the adapter" + (ids ? " with " + UsbIdPhrase(node) : std::string()) +
                " from its maker, then plug the cable in again.";
    } else {
        f.detail = Who(node) + " is plugged in, but Windows reports a problem with it" + code;
        f.fix = "Look at the device in Device Manager, then plug the cable in again.";
    }
    return f;
}

}  // namespace

std::vector<Finding> CheckWindowsPort(const std::string& device, const WindowsPortSystem& system,
                                      const PortPickingAdvice& picking) {
    const std::string pickFix = picking.pickFix.empty() ? kCliPickPortFix : picking.pickFix;
    if (device.empty()) return {{"device", FindingResult::Problem, "No port is chosen.", pickFix}};
    std::vector<Finding> findings;
    const std::vector<WindowsPortNode> nodes = system.deviceTree();
    const std::optional<int> com = ComNumberOfDevice(device);
    const WindowsPortNode* node = FindPortNode(nodes, device);
    const std::string port = com ? "COM" + std::to_string(*com) : device;
    const bool driverFails = node && node->hasProblem;
    // A port whose driver failed cannot be opened; any other is tried, as
    // not every port that opens is among the system's names (a driver's
    // own, Wine's).
    std::string text;
    const unsigned long error = driverFails ? 0 : system.tryOpen(device, &text);
    const bool listed = node || (com && system.dosComNumbers().count(*com));
    const bool exists = listed || !OneOf(error, kGoneErrors);
    if (!com) {
        findings.push_back({"device", FindingResult::Note,
                            device + " is no COM port: only opening it tells whether it exists.", ""});
    } else if (!exists) {
        findings.push_back({"device", FindingResult::Problem, port + " does not exist.", pickFix});
    } else {
        const std::string about = node ? Who(*node) : std::string();
        findings.push_back({"device", FindingResult::Ok, (about.empty() ? port : about) + " exists.", ""});
    }

    if (driverFails) findings.push_back(DriverFinding(*node, FindingResult::Problem));
    // A cable Windows could not set up elsewhere is likely the one meant
    // when the chosen port is not there.
    for (const WindowsPortNode& other : nodes)
        if (&other != node && other.hasProblem && (!other.portName.empty() || IsFailedSerialAdapter(other)))
            findings.push_back(DriverFinding(other, exists ? FindingResult::Note : FindingResult::Problem));
    if (!exists || driverFails) return findings;

    if (error == 0) {
        findings.push_back({"holders", FindingResult::Ok, "No other program holds " + port + ".", ""});
    } else if (OneOf(error, kHeldErrors)) {
        findings.push_back({"holders", FindingResult::Problem,
                            port + " cannot be opened: another program has it open.",
                            "Close the program that uses " + port +
                                " (a terminal program, another copy of ORVEX Programmer or orvex-cli), "
                                "then run the check again."});
    } else if (OneOf(error, kGoneErrors)) {
        findings.push_back({"holders", FindingResult::Problem, port + " went away when it was opened.",
                            "Plug the cable in again, then run the check again."});
    } else {
        findings.push_back({"holders", FindingResult::Problem,
                            port + " cannot be opened: " + (text.empty() ? "error " + std::to_string(error) : text) +
                                ".",
                            "Plug the cable in again, then run the check again."});
    }
    return findings;
}

}  // namespace orvex
