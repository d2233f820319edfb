#pragma once
// The automatic backups of what was read from a radio: one settings file per
// read in a folder of their own, named by the local date and time of the
// read, the newest kBackupsKept kept.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "files/FileStore.h"
#include "files/LocalTime.h"
#include "files/SettingsFile.h"
#include "settings/CodeTables.h"
#include "settings/Problem.h"
#include "settings/RadioSettings.h"

namespace orvex {

inline constexpr std::size_t kBackupsKept = 500;

using LocalClock = std::function<LocalTime()>;

// Replaces a whole file safely; a seam so tests can make the disk fail.
using WholeFileWriter = std::function<filestore::Result(const std::string& path, std::span<const std::uint8_t>)>;
// Makes the folder's latest changes of names reach the disk; a seam so tests
// can see when.
using FolderSync = std::function<void(const std::string& folder)>;
void SyncFolder(const std::string& folder);

struct BackupEntry {
    std::string time;  // "YYYY-MM-DD HH:MM:SS"
    std::string path;
    std::string name;
    std::optional<Problem> problem;  // why the file could not be read; nothing else is set then
    int bandPlan = -1;    // Mode Select's entry, -1 for none
    std::string bandPlanName;
    std::array<std::string, kChannelCount> frequencies{};  // P1..P9, P0 as the table shows them
    int emgChannel = 0;  // as stored
    std::array<std::uint8_t, kChannelEnableCount> channelEnable{};
};

// Newest first, or why the folder could not be read.
using BackupListing = Outcome<std::vector<BackupEntry>>;

class BackupStore {
public:
    explicit BackupStore(std::string folder, LocalClock clock = LocalTimeNow,
                         WholeFileWriter writer = filestore::ReplaceWholeFile, FolderSync sync = SyncFolder);

    const std::string& Folder() const { return m_folder; }
    // Writes the file Save would write for values as a new backup, making
    // the folder when missing, then lets the oldest go beyond kBackupsKept.
    // The backup's path, or why none was written.
    Outcome<std::string> Keep(const kvx::KvxValues& values);
    // Newest first; a file that cannot be read is listed with its problem.
    // No folder yet is no backups, not a problem.
    BackupListing List() const;

private:
    // Gives the written file at pending the first free backup name, and
    // makes that name last; the name given.
    Outcome<std::string> Publish(const std::filesystem::path& pending, const std::string& stamp) const;
    // Where Keep would put the backup: the folder, there and usable.
    Outcome<void> MakeFolder() const;
    // What programs that died while keeping a backup left behind: their
    // written files become backups, their half-written ones go.
    void TakeOverLeftovers() const;
    void Prune(const std::string& keep) const;

    std::string m_folder;
    LocalClock m_clock;
    WholeFileWriter m_writer;
    FolderSync m_sync;
};

namespace detail {
// The highest sequence a backup's name can carry.
inline constexpr int kMaxSequence = 999999;
// The backup name of a stamp's sequence; empty beyond kMaxSequence.
std::string BackupName(const std::string& stamp, int sequence);
// The parts of a backup's name: "2026-12-09_22-55-22.kvx" is the stamp with
// sequence 1, "..._3.kvx" sequence 3; false for any other name.
bool ParseBackupName(const std::string& name, std::string& stamp, int& sequence);
}  // namespace detail

}  // namespace orvex
