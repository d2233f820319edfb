#include "files/UserFolders.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvex {
namespace {

// The POSIX rules hold their own names on every platform, so that they
// can be tested everywhere.
constexpr const char* kPosixAppFolder = "orvex";
#ifdef _WIN32
constexpr char kSeparator = '\\';
constexpr const char* kAppFolder = "ORVEX";
#else
constexpr char kSeparator = '/';
constexpr const char* kAppFolder = kPosixAppFolder;
#endif
constexpr const char* kBackups = "backups";

std::string Child(const std::string& folder, const char* name) {
    if (folder.empty()) return {};
    return folder + kSeparator + name;
}

#ifdef _WIN32
// The variable as UTF-8: the narrow getenv would give it in the ANSI code
// page, garbling a user name outside it. The name itself is ASCII.
std::string WideEnv(const char* name) {
    const std::wstring wideName(name, name + std::char_traits<char>::length(name));
    const wchar_t* value = ::_wgetenv(wideName.c_str());
    if (!value || !*value) return {};
    const std::wstring wide(value);
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}
#else
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
#endif

}  // namespace

namespace detail {

std::string PosixDataFolder(const std::string& xdgDataHome, const std::string& home) {
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') return xdgDataHome + "/" + kPosixAppFolder;
    if (home.empty()) return {};
    return home + "/.local/share/" + kPosixAppFolder;
}

}  // namespace detail

std::string SystemUserFolders::DataFolder() const {
#ifdef _WIN32
    return Child(WideEnv(kDataFolderVariable), kAppFolder);
#else
    return detail::PosixDataFolder(Env(kDataFolderVariable), Env("HOME"));
#endif
}

std::string BackupFolder(const IUserFolders& folders) { return Child(folders.DataFolder(), kBackups); }

std::string BackupFolderWithin() { return Child(kAppFolder, kBackups); }

std::string RecoveryFolder(const IUserFolders& folders) { return Child(folders.DataFolder(), "recovery"); }

}  // namespace orvex
