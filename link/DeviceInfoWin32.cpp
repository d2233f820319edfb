#include "link/DeviceInfo.h"

namespace orvex {

// The adapter behind a COM name shows only through the SetupAPI device
// tree, a slow walk for a listing; the names are all Windows gives cheaply.
DeviceInfo ReadDeviceInfo(const std::string&, const std::string&) { return {}; }

}  // namespace orvex
