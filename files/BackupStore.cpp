#include "files/BackupStore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>
#include <tuple>

#include "files/SystemError.h"
#include "settings/CodeTables.h"
#include "settings/QMDataMng.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace orvex {
namespace fs = std::filesystem;
namespace {

constexpr std::string_view kExtension = ".kvx";
constexpr std::string_view kPendingPrefix = ".pending-";
// "YYYY-MM-DD_HH-MM-SS": digits everywhere but at these positions.
constexpr std::string_view kStampShape = "0000-00-00_00-00-00";

// Sets this program's passing file apart from another's in the same second.
std::string UniqueTag() {
    std::random_device entropy;
    char tag[20];
    std::snprintf(tag, sizeof tag, "%08x%08x", static_cast<unsigned>(entropy()), static_cast<unsigned>(entropy()));
    return tag;
}

using filestore::Utf8FromPath;

// A file that outlives the program writing it only does so when that program
// died; none is in use for more than moments.
constexpr auto kLeftoverAge = std::chrono::hours(1);

bool IsStamp(std::string_view text) {
    if (text.size() < kStampShape.size()) return false;
    for (std::size_t i = 0; i < kStampShape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kStampShape[i] == '0' ? !digit : text[i] != kStampShape[i]) return false;
    }
    return true;
}

// The stamp of a written but unpublished backup's name
// (".pending-<stamp>-<tag>.kvx"); empty for any other name.
std::string PendingStamp(std::string_view name) {
    if (!name.starts_with(kPendingPrefix) || !name.ends_with(kExtension)) return {};
    const std::string_view rest = name.substr(kPendingPrefix.size());
    if (!IsStamp(rest) || rest.size() <= kStampShape.size() || rest[kStampShape.size()] != '-') return {};
    return std::string(rest.substr(0, kStampShape.size()));
}

// The safe writer's half-written file for a pending name: its own name
// with a dot before and a suffix after (".<name>.XXXXXX", ".<name>.<n>.tmp").
bool IsHalfWritten(std::string_view name) {
    if (!name.starts_with(".") || !name.substr(1).starts_with(kPendingPrefix)) return false;
    return name.find(std::string(kExtension) + ".") != std::string_view::npos;
}

// How many names the file at path has; 0 when that cannot be told.
std::uintmax_t NameCount(const fs::path& path) {
#ifdef _WIN32
    // The C runtime's stat counts one name always.
    const HANDLE h = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 0;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = ::GetFileInformationByHandle(h, &info);
    ::CloseHandle(h);
    return known ? info.nNumberOfLinks : 0;
#else
    std::error_code ec;
    const std::uintmax_t n = fs::hard_link_count(path, ec);
    return ec ? 0 : n;
#endif
}

enum class Naming { Named, Taken, Failed };

// Gives the file at from the name to, never replacing a file that has it.
Naming NameWithoutReplacing(const fs::path& from, const fs::path& to, std::error_code& ec) {
#ifdef _WIN32
    // A move without MOVEFILE_REPLACE_EXISTING fails on a taken name, and
    // write-through returns only once the new name is on the disk: no second
    // name to flush or tidy, as a link would leave.
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return Naming::Named;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return Naming::Taken;
    ec.assign(static_cast<int>(error), std::system_category());
    return Naming::Failed;
#else
    fs::create_hard_link(from, to, ec);
    if (ec == std::errc::file_exists) return Naming::Taken;
    if (ec) {
        // A file system without links: the name was free a moment ago.
        fs::rename(from, to, ec);
        return ec ? Naming::Failed : Naming::Named;
    }
    std::error_code ignored;  // a second name left now goes with the leftovers
    fs::remove(from, ignored);
    return Naming::Named;
#endif
}

// The stamp as a person reads a time: "2026-12-09 22:55:22".
std::string ShownTime(std::string stamp) {
    stamp[10] = ' ';
    stamp[13] = ':';
    stamp[16] = ':';
    return stamp;
}

bool IsDiskFull(const std::string& why) {
#ifdef _WIN32
    const int codes[] = {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL};
#else
    const int codes[] = {ENOSPC, EDQUOT};
#endif
    return std::any_of(std::begin(codes), std::end(codes),
                       [&](int code) { return why.find(SystemErrorText(code)) != std::string::npos; });
}

struct Found {
    std::string stamp;
    int sequence;
    fs::path path;
    std::string name;
    bool operator<(const Found& other) const {
        return std::tie(stamp, sequence) < std::tie(other.stamp, other.sequence);
    }
};

// The backups in folder, newest first; files of other names are not ours.
std::vector<Found> FindBackups(const fs::path& folder, std::error_code& ec) {
    std::vector<Found> found;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        Found f{{}, 0, it->path(), name};
        std::error_code statError;
        if (!detail::ParseBackupName(name, f.stamp, f.sequence) || it->is_directory(statError)) continue;
        found.push_back(std::move(f));
    }
    std::sort(found.rbegin(), found.rend());
    return found;
}

}  // namespace

namespace detail {

std::string BackupName(const std::string& stamp, int sequence) {
    if (sequence < 1 || sequence > kMaxSequence) return {};
    return stamp + (sequence == 1 ? std::string() : "_" + std::to_string(sequence)) + std::string(kExtension);
}

bool ParseBackupName(const std::string& name, std::string& stamp, int& sequence) {
    const std::size_t n = kStampShape.size();
    if (name.size() < n + kExtension.size() || !name.ends_with(kExtension) || !IsStamp(name)) return false;
    const std::string rest = name.substr(n, name.size() - n - kExtension.size());
    sequence = 1;
    if (!rest.empty()) {
        // "_2" onwards; no leading zero, so each sequence has one spelling.
        const std::size_t maxDigits = std::to_string(kMaxSequence).size();
        if (rest.size() < 2 || rest.size() > 1 + maxDigits || rest[0] != '_' || rest[1] == '0') return false;
        if (!std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
        sequence = std::stoi(rest.substr(1));
        if (sequence < 2) return false;
    }
    stamp = name.substr(0, n);
    return true;
}

}  // namespace detail

void SyncFolder(const std::string& folder) {
#ifndef _WIN32
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // Best effort: the names are made, and a file system that cannot flush
    // a folder has nothing better to offer.
    ::fsync(fd);
    ::close(fd);
#else
    // Windows opens no folder for flushing in general; names are given
    // there by write-through moves instead.
    (void)folder;
#endif
}

BackupStore::BackupStore(std::string folder, LocalClock clock, WholeFileWriter writer, FolderSync sync)
    : m_folder(std::move(folder)), m_clock(std::move(clock)), m_writer(std::move(writer)), m_sync(std::move(sync)) {}

Outcome<void> BackupStore::MakeFolder() const {
    if (m_folder.empty()) {
#ifdef _WIN32
        return Problem{.what = "there is no folder for backups", .why = "LOCALAPPDATA is not set"};
#else
        return Problem{.what = "there is no folder for backups", .why = "neither HOME nor XDG_DATA_HOME is set"};
#endif
    }
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (fs::exists(status) && !fs::is_directory(status))
        return Problem{.where = m_folder, .why = "is a file, not a folder",
                       .fix = "move or rename that file, and backups are kept there again"};
    if (!fs::exists(status)) {
        fs::create_directories(folder, ec);
        if (ec)
            return Problem{.what = "the folder cannot be made", .where = m_folder, .why = ec.message(),
                           .fix = "check the permissions of the folders above it"};
    }
    return {};
}

Outcome<std::string> BackupStore::Keep(const kvx::KvxValues& values) {
    if (Outcome<void> made = MakeFolder(); !made) return made.problem();
    // The content reaches the disk under a name of its own first, then takes
    // the first free backup name in one step that never replaces a file: two
    // programs keeping a backup in the same second both keep theirs.
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    const std::string stamp = LocalTimeStamp(m_clock());
    const fs::path pending = folder / filestore::PathFromUtf8(std::string(kPendingPrefix) + stamp + "-" + UniqueTag() + ".kvx");
    const kvx::KvxImage image = kvx::EncodeKvx(values);
    std::error_code ec;
    const filestore::Result written = m_writer(Utf8FromPath(pending), image.bytes());
    if (!written.ok()) {
        fs::remove(pending, ec);
        // The name the user would have found it under, not the passing one.
        Problem problem = written.problem();
        if (problem.where == Utf8FromPath(pending)) problem.where = Utf8FromPath(folder / filestore::PathFromUtf8(stamp + ".kvx"));
        if (IsDiskFull(problem.why))
            problem.fix = "the disk is full: free some space on it, for example by deleting old backups in " + m_folder;
        return problem;
    }
    Outcome<std::string> published = Publish(pending, stamp);
    if (!published) {
        fs::remove(pending, ec);
        return published;
    }
    TakeOverLeftovers();
    Prune(published.value());
    return published;
}

Outcome<std::string> BackupStore::Publish(const fs::path& pending, const std::string& stamp) const {
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    for (int sequence = 1; sequence <= detail::kMaxSequence; ++sequence) {
        const fs::path candidate = folder / filestore::PathFromUtf8(detail::BackupName(stamp, sequence));
        std::error_code ec;
        // A dangling link counts as taken: writing through it would put the
        // backup somewhere else.
        const fs::file_type type = fs::symlink_status(candidate, ec).type();
        if (ec && type != fs::file_type::not_found) return Problem{.where = Utf8FromPath(candidate), .why = ec.message()};
        if (type != fs::file_type::not_found) continue;
        const Naming naming = NameWithoutReplacing(pending, candidate, ec);
        if (naming == Naming::Taken) continue;  // taken since the look
        if (naming == Naming::Failed) return Problem{.where = Utf8FromPath(candidate), .why = ec.message()};
        // Until the folder reaches the disk, a power cut may leave the backup
        // under its passing name only.
        if (m_sync) m_sync(m_folder);
        return Utf8FromPath(candidate);
    }
    return Problem{.where = m_folder, .why = "every backup name for " + ShownTime(stamp) + " is taken",
                   .fix = "move some of that second's backups elsewhere"};
}

void BackupStore::TakeOverLeftovers() const {
    std::error_code ec;
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    const auto stale = fs::file_time_type::clock::now() - kLeftoverAge;
    std::vector<std::pair<fs::path, std::string>> written;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = Utf8FromPath(it->path().filename());
        const std::string stamp = PendingStamp(name);
        if (stamp.empty() && !IsHalfWritten(name)) continue;
        std::error_code fileError;
        if (!it->is_regular_file(fileError) || fs::last_write_time(it->path(), fileError) >= stale || fileError)
            continue;
        if (stamp.empty()) {
            fs::remove(it->path(), fileError);  // never finished, never a backup
            continue;
        }
        // The safe writer puts a file under its pending name only once the
        // whole of it is on the disk: it is a backup that lost its name.
        // With a second name it was published before its program died.
        const std::uintmax_t names = NameCount(it->path());
        if (names > 1)
            fs::remove(it->path(), fileError);
        else if (names == 1)
            written.emplace_back(it->path(), stamp);
    }
    for (const auto& [pending, stamp] : written) Publish(pending, stamp);  // failing, it stays for another time
}

void BackupStore::Prune(const std::string& keep) const {
    std::error_code ec;
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    const std::vector<Found> found = FindBackups(folder, ec);
    if (ec) return;  // the backup is written; the old ones stay for another time
    for (std::size_t i = kBackupsKept; i < found.size(); ++i) {
        // A clock set back names the newest backup as older than the rest.
        if (Utf8FromPath(found[i].path) == keep) continue;
        std::error_code ignored;
        fs::remove(found[i].path, ignored);
    }
}

BackupListing BackupStore::List() const {
    std::vector<BackupEntry> entries;
    std::error_code ec;
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    if (m_folder.empty() || fs::status(folder, ec).type() == fs::file_type::not_found) return entries;
    const std::vector<Found> found = FindBackups(folder, ec);
    if (ec) return Problem{.what = "the folder cannot be read", .where = m_folder, .why = ec.message()};
    for (const Found& f : found) {
        BackupEntry e;
        e.time = ShownTime(f.stamp);
        e.path = Utf8FromPath(f.path);
        e.name = f.name;
        const kvx::ReadResult read = kvx::ReadSettingsFile(e.path);
        if (read.status != kvx::FileStatus::Ok) {
            e.problem = read.problem();
            entries.push_back(std::move(e));
            continue;
        }
        const kvx::KvxValues& v = read.values;
        if (v.bandPlan < kBandPlanCount) {
            e.bandPlan = v.bandPlan;
            e.bandPlanName = std::string(BAND_PLAN_NAMES[v.bandPlan]);
        }
        RadioSettings settings;
        settings.m_channels = v.records;
        ChannelCells cells;
        UnpackChannelTable(settings, cells);
        std::copy(cells.begin(), cells.end(), e.frequencies.begin());
        e.emgChannel = v.emgChannel;
        e.channelEnable = v.channelEnable;
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace orvex
