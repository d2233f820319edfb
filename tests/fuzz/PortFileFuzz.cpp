// The port settings file on arbitrary bytes: always a port index in range.
#include <cstdlib>

#include "fuzz/FuzzSupport.h"
#include "link/PortSettingsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = orvex::fuzz::ScratchFile("ORVEX.CFG");
    if (!orvex::fuzz::WriteFile(path, data, size)) return 0;
    const orvex::PortSettingsRead r = orvex::ReadPortSettings(path);
    if (r.index < 0 || r.index > orvex::kPortIndexMax) std::abort();
    return 0;
}
