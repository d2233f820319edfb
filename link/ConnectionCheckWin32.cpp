// The connection check on Windows: the system tells nothing about a port's
// users or rights short of opening it, so the line test does the checking.
#include "link/ConnectionCheck.h"

namespace orvex {

CheckSources SourcesOfThisProcess() { return {}; }

std::vector<Finding> CheckDevice(const std::string& device, const CheckSources&) {
    if (device.empty())
        return {{"device", FindingResult::Problem, "No port is chosen.",
                 "Plug the cable in, then pick its port: orvex-cli ports lists them, "
                 "orvex-cli doctor --port COMn checks one."}};
    return {{"device", FindingResult::Note,
             "Windows tells whether " + device + " exists and is free only when it is opened: the line test below does.",
             ""}};
}

}  // namespace orvex
