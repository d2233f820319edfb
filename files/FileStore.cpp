// What the platforms' file stores share.
#include <algorithm>

#include "files/FileStore.h"

namespace orvex::filestore {

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace orvex::filestore

namespace orvex::filestore::detail {

void ApplyPatches(std::vector<std::uint8_t>& content, std::span<const Patch> patches, std::size_t minSize) {
    if (content.size() < minSize) content.resize(minSize, 0);
    for (const Patch& p : patches) {
        if (content.size() < p.offset + p.bytes.size()) content.resize(p.offset + p.bytes.size(), 0);
        std::copy(p.bytes.begin(), p.bytes.end(), content.begin() + static_cast<std::ptrdiff_t>(p.offset));
    }
}

}  // namespace orvex::filestore::detail
