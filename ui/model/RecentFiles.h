#pragma once
// The recent-file list of the File menu: the four files last opened or
// saved, newest first. The list is re-read from its store before each
// change, so two windows open at once add to one list instead of each
// writing back its own stale copy.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/UserMessage.h"

namespace orvex {

inline constexpr std::size_t kRecentFileCount = 4;

// Where the list is kept between runs. Paths are the bytes the file calls
// take (UTF-8 on Windows, the system's own bytes on POSIX).
class IRecentFilesStore {
public:
    virtual ~IRecentFilesStore() = default;
    virtual std::vector<std::string> Load() const = 0;
    // Empty on success, else why the list could not be kept.
    virtual std::string Store(const std::vector<std::string>& paths) = 0;
};

class RecentFiles {
public:
    explicit RecentFiles(IRecentFilesStore& store) : m_store(store) {}

    // Newest first; at most kRecentFileCount, no file twice, no empty entry
    // (the store may have been edited by hand).
    std::vector<std::string> Entries() const;
    // Puts path at the top as an absolute path; the same file under another
    // name (a relative path, "..", a link) replaces its older entry.
    // Empty on success, else the store's reason.
    std::string Add(const std::string& path);
    // Takes the entry that names the same file as path off the list.
    std::string Remove(const std::string& path);

private:
    IRecentFilesStore& m_store;
};

// The absolute, lexically normal form of path, as the list keeps it.
std::string AbsoluteFilePath(const std::string& path);
// Whether a and b name the same file: their resolved forms agree where
// they resolve, else their absolute forms.
bool SameFile(const std::string& a, const std::string& b);
// True when nothing is at path (any other failure to look counts as there,
// so an unreadable entry is left to the Open's own message).
bool FileIsGone(const std::string& path);

// Shown for a recent-file entry whose file is no longer there; it is then
// taken off the list.
inline constexpr std::string_view kRecentFileGone = "The file is no longer there and has been removed from the recent-file list.";
UserMessage RecentFileGoneMessage(const std::string& path);
// Shown on the status line when the list cannot be written back.
inline constexpr std::string_view kRecentFilesNotKept = "The recent-file list is not kept: ";

}  // namespace orvex
