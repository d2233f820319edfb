#include "files/UserFolders.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvex {
namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

std::string Child(const std::string& folder, const char* name) {
    if (folder.empty()) return {};
    return folder + kSeparator + name;
}

#ifdef _WIN32
// The variable as UTF-8: the narrow getenv would give it in the ANSI code
// page, garbling a user name outside it.
std::string WideEnv(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
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
    if (!xdgDataHome.empty() && xdgDataHome.front() == '/') return xdgDataHome + "/orvex";
    if (home.empty()) return {};
    return home + "/.local/share/orvex";
}

}  // namespace detail

std::string SystemUserFolders::DataFolder() const {
#ifdef _WIN32
    return Child(WideEnv(L"LOCALAPPDATA"), "ORVEX");
#else
    return detail::PosixDataFolder(Env("XDG_DATA_HOME"), Env("HOME"));
#endif
}

std::string BackupFolder(const IUserFolders& folders) { return Child(folders.DataFolder(), "backups"); }

std::string RecoveryFolder(const IUserFolders& folders) { return Child(folders.DataFolder(), "recovery"); }

}  // namespace orvex
