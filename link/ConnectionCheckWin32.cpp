// The connection check on Windows: the plain checks over this system.
#include "link/ConnectionCheck.h"

namespace orvex {

CheckSources SourcesOfThisProcess() { return {}; }

std::vector<Finding> CheckDevice(const std::string& device, const CheckSources& sources) {
    return CheckWindowsPort(device, ThisWindowsSystem(), sources.picking);
}

}  // namespace orvex
