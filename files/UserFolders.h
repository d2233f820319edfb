#pragma once
// Where the application keeps its own data for the user, behind an
// interface so tests can point it at a scratch folder. Paths are UTF-8.
#include <string>

namespace orvex {

class IUserFolders {
public:
    virtual ~IUserFolders() = default;
    // The application's own data folder; empty when the environment names
    // none (no home folder at all).
    virtual std::string DataFolder() const = 0;
};

// From the environment: $XDG_DATA_HOME/orvex when that is set to an absolute
// path (a relative one is ignored, as the XDG base-directory rules ask),
// else $HOME/.local/share/orvex; %LOCALAPPDATA%\ORVEX on Windows.
class SystemUserFolders final : public IUserFolders {
public:
    std::string DataFolder() const override;
};

// The environment variable that moves the data folder (to its value's
// orvex, or ORVEX on Windows), for the messages that tell the user to set it.
#ifdef _WIN32
inline constexpr const char* kDataFolderVariable = "LOCALAPPDATA";
#else
inline constexpr const char* kDataFolderVariable = "XDG_DATA_HOME";
#endif

// The automatic backups of what was read from a radio.
std::string BackupFolder(const IUserFolders& folders);
// Where in the folder kDataFolderVariable names the backups go
// ("orvex/backups"; "ORVEX\backups" on Windows).
std::string BackupFolderWithin();
// Unsaved edits kept across a closing.
std::string RecoveryFolder(const IUserFolders& folders);

namespace detail {
// The data folder for these environment values (empty = unset).
std::string PosixDataFolder(const std::string& xdgDataHome, const std::string& home);
}  // namespace detail

}  // namespace orvex
