#pragma once
// The simulated radio's memory to and from files.
#include <string>

#include "tools/sim/SimRadio.h"

namespace orvex::sim {

// Loads the radio's memory from a .kvx file; false with a reason on failure.
bool LoadMemory(const std::string& path, RadioMemory& memory, std::string& error);
// Saves it as a .kvx file (the way the application would store these values).
bool SaveMemoryKvx(const std::string& path, const RadioMemory& memory, std::string& error);
// Saves it as JSON, with the slots and codes of the last write.
bool SaveMemoryJson(const std::string& path, const RadioMemory& memory, int reads, int writes, std::string& error);

}  // namespace orvex::sim
