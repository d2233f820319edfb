// The connection check on Linux: the device node, its group and the user's
// groups, /proc for who holds it, and the udev rules of brltty and
// ModemManager, all read beneath a root folder.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/ConnectionCheck.h"
#include "link/DeviceInfo.h"
#include "link/SerialDevices.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

constexpr const char* kRuleFix =
    "install the cable rule that comes with ORVEX Programmer: sudo cp 60-orvex-cable.rules /etc/udev/rules.d/ "
    "&& sudo udevadm control --reload, then plug the cable in again";

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct GroupEntry {
    std::string name;
    long gid = -1;
    std::vector<std::string> members;
};

// The group with this id in root's /etc/group; a line that is not a group
// entry is passed over.
std::optional<GroupEntry> GroupById(const std::string& root, long gid) {
    std::ifstream in(InRoot(root, "/etc/group"));
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::stringstream ss(line);
        for (std::string field; std::getline(ss, field, ':');) fields.push_back(field);
        if (fields.size() < 3 || fields[0].empty()) continue;
        char* end = nullptr;
        const long id = std::strtol(fields[2].c_str(), &end, 10);
        if (fields[2].empty() || *end || id != gid) continue;
        GroupEntry g{fields[0], id, {}};
        if (fields.size() > 3) {
            std::stringstream members(fields[3]);
            for (std::string m; std::getline(members, m, ',');)
                if (!m.empty()) g.members.push_back(m);
        }
        return g;
    }
    return std::nullopt;
}

Finding PermissionFinding(const std::string& device, const fs::path& node, const CheckSources& s) {
    Finding f{"permission", FindingResult::Ok, "You may open " + device + " for reading and writing.", ""};
    const bool may = s.mayOpen ? *s.mayOpen : ::access(node.c_str(), R_OK | W_OK) == 0;
    if (may) return f;
    f.result = FindingResult::Problem;
    struct stat st {};
    const long gid = ::stat(node.c_str(), &st) == 0 ? static_cast<long>(st.st_gid) : -1;
    const std::optional<GroupEntry> group = GroupById(s.root, gid);
    const std::string user = s.userName.empty() ? "$USER" : s.userName;
    if (!group) {
        f.detail = "You may not open " + device + ", and its group is not in /etc/group.";
        f.fix = "Let the cable's device be opened by the logged-in user: " + std::string(kRuleFix) + ".";
        return f;
    }
    const bool member = std::find(group->members.begin(), group->members.end(), s.userName) != group->members.end();
    const bool inLogin = std::find(s.groupIds.begin(), s.groupIds.end(), group->gid) != s.groupIds.end();
    if (member && !inLogin) {
        f.detail = "You may not open " + device + ": you are a member of the group " + group->name +
                   " in /etc/group, but this login started before you became one.";
        f.fix = "Log out and log in again (or restart the computer), so the login takes up the group " + group->name + ".";
    } else if (!member && !inLogin) {
        f.detail = "You may not open " + device + ": it belongs to the group " + group->name + ", and " + user +
                   " is not a member.";
        f.fix = "sudo usermod -aG " + group->name + " " + user + ", then log out and log in again; or " + kRuleFix + ".";
    } else {
        f.detail = "You may not open " + device + ", though you are in its group " + group->name +
                   ": the device does not let its group read and write.";
        f.fix = "Let the cable's device be opened by the logged-in user: " + std::string(kRuleFix) + ".";
    }
    return f;
}

std::string FixForHolder(const DeviceHolder& h) {
    const std::string name = Lower(h.name);
    const std::string pid = std::to_string(h.pid);
    if (name == "modemmanager")
        return "ModemManager is probing the cable as a modem: wait a minute and try again, and " + std::string(kRuleFix) +
               " (or: sudo systemctl stop ModemManager).";
    if (name.rfind("brltty", 0) == 0)
        return "brltty took the cable for a braille display: sudo apt remove brltty, unless you use a braille display.";
    if (name == "orvex" || name == "orvex-cli")
        return "Another copy of ORVEX Programmer or orvex-cli has the port: close it (process " + pid + ").";
    static const char* const terminals[] = {"minicom", "screen", "picocom", "cu", "putty", "gtkterm",
                                           "moserial", "cutecom", "tio", "microcom", "socat"};
    for (const char* t : terminals)
        if (name == t) return "Quit the terminal program " + h.name + " (process " + pid + ").";
    return "Close " + (h.name.empty() ? std::string("the program") : h.name) + " (kill " + pid + ").";
}

// The udev rules files that may be in effect, from every folder udev reads.
std::vector<fs::path> RuleFiles(const std::string& root) {
    std::vector<fs::path> files;
    for (const char* dir : {"/usr/lib/udev/rules.d", "/lib/udev/rules.d", "/etc/udev/rules.d"}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(InRoot(root, dir), ec))
            if (e.path().extension() == ".rules") files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string WithoutLeadingZeros(const std::string& hex) {
    const std::size_t at = hex.find_first_not_of('0');
    return at == std::string::npos ? "0" : hex.substr(at);
}

// A rule line that names this adapter, by its USB attributes or by the
// PRODUCT key ("1a86/7523/*", hex without leading zeros).
bool LineNamesAdapter(const std::string& lowerLine, const std::string& vid, const std::string& pid) {
    if (lowerLine.find("idvendor}==\"" + vid + "\"") != std::string::npos &&
        lowerLine.find("idproduct}==\"" + pid + "\"") != std::string::npos)
        return true;
    return lowerLine.find("env{product}==\"" + WithoutLeadingZeros(vid) + "/" + WithoutLeadingZeros(pid) + "/") !=
           std::string::npos;
}

// The first rules file with a live line that names the adapter and, when
// given, also holds marker.
std::string RuleClaiming(const std::vector<fs::path>& files, const std::string& vid, const std::string& pid,
                         const std::string& marker) {
    for (const fs::path& file : files) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            const std::string lower = Lower(line);
            const std::size_t start = lower.find_first_not_of(" \t");
            if (start == std::string::npos || lower[start] == '#') continue;
            if (!marker.empty() && lower.find(marker) == std::string::npos) continue;
            if (LineNamesAdapter(lower, vid, pid)) return file.string();
        }
    }
    return {};
}

bool ProcessRuns(const std::string& root, const std::string& name) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(InRoot(root, "/proc"), ec)) {
        const std::string pid = e.path().filename().string();
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        std::string comm;
        std::getline(std::ifstream(e.path() / "comm"), comm);
        if (comm == name) return true;
    }
    return false;
}

std::string Shown(const std::string& root, const fs::path& file) {
    // Printed as the system sees it, not with the root folder in front.
    const std::string f = file.string();
    const std::string r = fs::path(root).string();
    if (r != "/" && f.rfind(r, 0) == 0) return f.substr(r.back() == '/' ? r.size() - 1 : r.size());
    return f;
}

}  // namespace

CheckSources SourcesOfThisProcess() {
    CheckSources s;
    if (const passwd* pw = ::getpwuid(::getuid())) s.userName = pw->pw_name;
    const int n = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(n, 0)));
    const int got = n > 0 ? ::getgroups(n, groups.data()) : 0;
    for (int i = 0; i < got; ++i) s.groupIds.push_back(static_cast<long>(groups[static_cast<std::size_t>(i)]));
    s.groupIds.push_back(static_cast<long>(::getegid()));
    s.selfPid = static_cast<long>(::getpid());
    return s;
}

constexpr std::string_view kCliPickDeviceFix =
    "Plug the cable in, then pick its port: orvex-cli ports lists them, orvex-cli doctor --port DEVICE checks one.";

std::vector<Finding> CheckDevice(const std::string& device, const CheckSources& s) {
    std::vector<Finding> findings;
    const fs::path node = InRoot(s.root, device);
    std::error_code ec;
    if (device.empty() || !fs::exists(node, ec))
        return {{"device", FindingResult::Problem, device.empty() ? "No port is chosen." : device + " does not exist.",
                 !s.picking.pickFix.empty() ? s.picking.pickFix : std::string(kCliPickDeviceFix)}};
    findings.push_back({"device", FindingResult::Ok, device + " exists.", ""});
    findings.push_back(PermissionFinding(device, node, s));

    const DeviceStates states(s.root);
    std::vector<DeviceHolder> holders = states.HoldersOf(device);
    std::erase_if(holders, [&](const DeviceHolder& h) { return h.pid == s.selfPid; });
    if (holders.empty()) findings.push_back({"holders", FindingResult::Ok, "No other program holds " + device + ".", ""});
    for (const DeviceHolder& h : holders)
        findings.push_back({"holders", FindingResult::Problem,
                            (h.name.empty() ? std::string("A program") : h.name) + " (pid " + std::to_string(h.pid) +
                                ") holds " + device + " open.",
                            FixForHolder(h)});

    const DeviceInfo info = ReadDeviceInfo(device, s.root);
    if (info.vendorId.empty() || info.productId.empty()) {
        findings.push_back({"adapter", FindingResult::Note,
                            device + " is not a USB adapter the system names, so brltty and ModemManager were not checked.",
                            ""});
        return findings;
    }
    const std::string vid = Lower(info.vendorId), pid = Lower(info.productId);
    const std::string id = vid + ":" + pid;
    const std::vector<fs::path> rules = RuleFiles(s.root);

    std::vector<fs::path> brlttyRules;
    for (const fs::path& r : rules)
        if (Lower(r.filename().string()).find("brltty") != std::string::npos) brlttyRules.push_back(r);
    const std::string brltty = RuleClaiming(brlttyRules, vid, pid, "");
    if (brltty.empty())
        findings.push_back({"brltty", FindingResult::Ok, "No brltty rule claims the adapter " + id + ".", ""});
    else
        findings.push_back({"brltty", FindingResult::Problem,
                            "brltty is installed, and its rule " + Shown(s.root, brltty) + " claims the adapter " + id +
                                ": it takes the cable for a braille display and holds it.",
                            "sudo apt remove brltty (unless you use a braille display), then plug the cable in again."});

    if (!ProcessRuns(s.root, "ModemManager")) {
        findings.push_back({"modemmanager", FindingResult::Ok, "ModemManager is not running.", ""});
    } else if (const std::string ignore = RuleClaiming(rules, vid, pid, "id_mm_device_ignore"); !ignore.empty()) {
        findings.push_back({"modemmanager", FindingResult::Ok,
                            "ModemManager runs, and " + Shown(s.root, ignore) + " tells it to leave " + id + " alone.", ""});
    } else {
        findings.push_back({"modemmanager", FindingResult::Problem,
                            "ModemManager runs, and no rule tells it to leave the adapter " + id +
                                " alone: it may probe the cable just when the programmer needs it.",
                            std::string(1, static_cast<char>(std::toupper(kRuleFix[0]))) + (kRuleFix + 1) + "."});
    }
    return findings;
}

}  // namespace orvex
