// doctor: why the radio cannot be reached on a port, with the fix for each
// finding, ending in one device check on the line.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "link/CRadioPort.h"
#include "link/ConnectionCheck.h"
#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/CliJson.h"

namespace orvex::cli {
namespace {

const char* ResultName(FindingResult r) {
    return r == FindingResult::Ok ? "ok" : r == FindingResult::Problem ? "problem" : "note";
}

void PrintJson(const std::string& device, const std::vector<Finding>& findings, LineAnswer answer) {
    const std::string array = JsonArray(findings, [](const Finding& f) {
        return "{\"check\": " + JsonString(f.check) + ", \"result\": " + JsonString(ResultName(f.result)) +
               ", \"detail\": " + JsonString(f.detail) + ", \"fix\": " + JsonStringOrNull(f.fix) + "}";
    });
    std::printf("{\"device\": %s, \"findings\": %s, \"radio\": %s}\n", JsonStringOrNull(device).c_str(), array.c_str(),
                JsonString(LineAnswerName(answer)).c_str());
}

}  // namespace

int CmdDoctor(const Args& args) {
    bool json = false;
    std::string port;
    bool hasPort = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return UsageError("--port needs a device path or COMn");
            port = args[++i];
            hasPort = true;
        } else {
            return UsageError("doctor takes only --port DEV and --json, not " + args[i]);
        }
    }
    Problem mapProblem;
    const PortMap map = PortMap::FromSystem(&mapProblem);
    if (mapProblem != NoProblem()) std::fprintf(stderr, "orvex-cli: %s\n", mapProblem.Text().c_str());
    const std::string device =
        hasPort ? map.Resolve(port) : map.DeviceFor(ReadPortSettings(PortSettingsPath()).index + 1);

    std::vector<Finding> findings = CheckDevice(device, SourcesOfThisProcess());
    LineTestResult line;
    if (!DeviceIsMissing(findings)) {
        EventLoop loop(EventLoop::Clock::Real);
        CRadioPort radioPort;
        line = RunLineTest(radioPort, device, loop);
        findings.push_back(LineFinding(line));
    }
    if (json) {
        PrintJson(device, findings, line.answer);
    } else {
        std::printf("Checking %s\n\n%s", device.empty() ? "(no port)" : device.c_str(), FormatFindings(findings).c_str());
        std::printf("\n%s\n", line.answer == LineAnswer::Radio ? "The radio answers on this port."
                                                                : "The radio cannot be reached on this port yet.");
    }
    return line.answer == LineAnswer::Radio ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
