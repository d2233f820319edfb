#pragma once
// The simulator's control lines: what a test (or a person at a shell) tells
// it while it runs, as a dealer swaps radios on one cable.
#include <string>

#include "settings/Problem.h"

namespace orvex::sim {

struct ControlCommand {
    enum class Kind {
        Away,     // the radio is taken off the cable; the cable still echoes
        Connect,  // a radio is plugged in: the memory of file, or another built-in sample
        Unplug,   // the cable goes: the device disappears, an open port hangs up
        Plug,     // the cable comes back, as a new device behind the same link
    };
    Kind kind = Kind::Away;
    std::string file;  // Connect only; empty: a built-in sample
};

// One line ("away", "connect /tmp/b.kvx", ...); anything else is refused.
// Surrounding blanks do not count.
Outcome<ControlCommand> ParseControl(const std::string& line);

}  // namespace orvex::sim
