#pragma once
// Shared pieces of the fuzz targets.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/UserMessage.h"

namespace orvex::fuzz {

class SilentPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& m) override {
        ++count;
        return m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
    int count = 0;
};

// A file of this process's own in the temporary folder, rewritten per input.
inline std::string ScratchFile(const char* name) {
    const char* base = std::getenv("TMPDIR");
    return std::string(base && *base ? base : "/tmp") + "/orvex-fuzz-" + std::to_string(::getpid()) + "-" + name;
}

inline bool WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

// The whole file; empty when it cannot be read.
inline std::string ReadFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) out.append(buf, n);
    std::fclose(f);
    return out;
}

}  // namespace orvex::fuzz
