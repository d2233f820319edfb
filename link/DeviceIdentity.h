#pragma once
// Which cable a COM number means, across re-plugging and reboots: a device
// is known by its stable by-id name, else by its USB serial number. Where
// the system tells neither (Windows, an on-board port) there is none, and
// the number alone counts.
#include <string>

namespace orvex {

// The identity line the port settings file keeps for device, or "".
std::string StableIdentity(const std::string& device, const std::string& root = "/");

// Whether device is, now, the one identity names.
bool HasIdentity(const std::string& device, const std::string& identity, const std::string& root = "/");

}  // namespace orvex
