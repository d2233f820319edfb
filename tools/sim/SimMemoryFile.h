#pragma once
// The simulated radio's memory to and from files.
#include <string>

#include "settings/Problem.h"
#include "tools/sim/SimRadio.h"

namespace orvex::sim {

// Loads the radio's memory from a .kvx file.
Outcome<RadioMemory> LoadMemory(const std::string& path);
// Saves it as a .kvx file (the way the application would store these values).
Outcome<void> SaveMemoryKvx(const std::string& path, const RadioMemory& memory);
// Saves it as JSON, with the slots and codes of the last write.
Outcome<void> SaveMemoryJson(const std::string& path, const RadioMemory& memory, int reads, int writes);

}  // namespace orvex::sim
