#include "ui/model/RecentFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "files/FileStore.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

// Every entry once, the first (newest) kept, the oldest beyond the count
// dropped.
std::vector<std::string> Tidy(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (const std::string& e : entries) {
        if (e.empty()) continue;
        if (std::none_of(out.begin(), out.end(), [&](const std::string& kept) { return SameFile(kept, e); }))
            out.push_back(e);
        if (out.size() == kRecentFileCount) break;
    }
    return out;
}

}  // namespace

std::string AbsoluteFilePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code ec;
    const fs::path absolute = fs::absolute(filestore::PathFromUtf8(path), ec);
    return ec ? path : filestore::Utf8FromPath(absolute.lexically_normal());
}

bool SameFile(const std::string& a, const std::string& b) {
    if (a == b) return true;
    // weakly_canonical resolves the links of the part that exists, so a
    // file that is gone still compares by its folder.
    const auto resolved = [](const std::string& p) {
        std::error_code ec;
        const fs::path r = fs::weakly_canonical(filestore::PathFromUtf8(AbsoluteFilePath(p)), ec);
        return ec ? AbsoluteFilePath(p) : filestore::Utf8FromPath(r);
    };
    return resolved(a) == resolved(b);
}

bool FileIsGone(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::status(filestore::PathFromUtf8(path), ec);
    return st.type() == fs::file_type::not_found;
}

std::vector<std::string> RecentFiles::Entries() const { return Tidy(m_store.Load()); }

std::string RecentFiles::Add(const std::string& path) {
    if (path.empty()) return {};
    std::vector<std::string> entries = m_store.Load();
    entries.insert(entries.begin(), AbsoluteFilePath(path));
    return m_store.Store(Tidy(entries));
}

std::string RecentFiles::Remove(const std::string& path) {
    std::vector<std::string> entries = Tidy(m_store.Load());
    const auto gone = std::remove_if(entries.begin(), entries.end(), [&](const std::string& e) { return SameFile(e, path); });
    if (gone == entries.end()) return {};
    entries.erase(gone, entries.end());
    return m_store.Store(entries);
}

UserMessage RecentFileGoneMessage(const std::string& path) {
    return UserMessage{std::string(kRecentFileGone), path, MsgIcon::Stop, MsgButtons::Ok};
}

}  // namespace orvex
