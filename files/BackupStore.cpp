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

std::string ToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string Stamp(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

// The stamp as a person reads a time: "2026-12-09 22:55:22".
std::string ShownTime(std::string stamp) {
    stamp[10] = ' ';
    stamp[13] = ':';
    stamp[16] = ':';
    return stamp;
}

bool IsDiskFull(const std::string& detail) {
#ifdef _WIN32
    const int codes[] = {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL};
#else
    const int codes[] = {ENOSPC, EDQUOT};
#endif
    return std::any_of(std::begin(codes), std::end(codes),
                       [&](int code) { return detail.find(SystemErrorText(code)) != std::string::npos; });
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
        const std::string name = ToUtf8(it->path().filename());
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

bool ParseBackupName(const std::string& name, std::string& stamp, int& sequence) {
    const std::size_t n = kStampShape.size();
    if (name.size() < n + kExtension.size() || !name.ends_with(kExtension)) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (kStampShape[i] == '0' ? !digit : name[i] != kStampShape[i]) return false;
    }
    const std::string rest = name.substr(n, name.size() - n - kExtension.size());
    sequence = 1;
    if (!rest.empty()) {
        // "_2" onwards; no leading zero, so each sequence has one spelling.
        if (rest.size() < 2 || rest.size() > 7 || rest[0] != '_' || rest[1] == '0') return false;
        if (!std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
        sequence = std::stoi(rest.substr(1));
        if (sequence < 2) return false;
    }
    stamp = name.substr(0, n);
    return true;
}

}  // namespace detail

LocalTime LocalTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
#ifdef _WIN32
    ::localtime_s(&t, &now);
#else
    ::localtime_r(&now, &t);
#endif
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

BackupStore::BackupStore(std::string folder, LocalClock clock, WholeFileWriter writer)
    : m_folder(std::move(folder)), m_clock(std::move(clock)), m_writer(std::move(writer)) {}

KeepResult BackupStore::Keep(const kvx::KvxValues& values) {
    KeepResult result;
    if (m_folder.empty()) {
#ifdef _WIN32
        result.problem = "there is no folder for backups: LOCALAPPDATA is not set";
#else
        result.problem = "there is no folder for backups: neither HOME nor XDG_DATA_HOME is set";
#endif
        return result;
    }
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    std::error_code ec;
    const fs::file_status status = fs::status(folder, ec);
    if (fs::exists(status) && !fs::is_directory(status)) {
        result.problem = m_folder + ": is a file, not a folder (move or rename that file, and backups are kept there again)";
        return result;
    }
    if (!fs::exists(status)) {
        fs::create_directories(folder, ec);
        if (ec) {
            result.problem = m_folder + ": the folder cannot be made: " + ec.message() +
                             " (check the permissions of the folders above it)";
            return result;
        }
    }
    // The content reaches the disk under a name of its own first, then takes
    // the first free backup name in one step that never replaces a file: two
    // programs keeping a backup in the same second both keep theirs.
    const std::string stamp = Stamp(m_clock());
    const fs::path pending = folder / filestore::PathFromUtf8(std::string(kPendingPrefix) + stamp + "-" + UniqueTag() + ".kvx");
    const kvx::KvxImage image = kvx::EncodeKvx(values);
    const filestore::Result written = m_writer(ToUtf8(pending), image.bytes());
    if (!written.ok()) {
        fs::remove(pending, ec);
        // The name the user would have found it under, not the passing one.
        result.problem = written.detail;
        const std::string passing = ToUtf8(pending);
        if (const std::size_t at = result.problem.find(passing); at != std::string::npos)
            result.problem.replace(at, passing.size(), ToUtf8(folder / filestore::PathFromUtf8(stamp + ".kvx")));
        if (IsDiskFull(written.detail))
            result.problem += " (the disk is full: free some space on it, for example by deleting old backups in " +
                              m_folder + ")";
        return result;
    }
    if (!Publish(pending, stamp, result.path, result.problem)) {
        fs::remove(pending, ec);
        return result;
    }
    Prune(result.path);
    result.ok = true;
    return result;
}

bool BackupStore::Publish(const fs::path& pending, const std::string& stamp, std::string& path,
                          std::string& problem) const {
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    for (int sequence = 1;; ++sequence) {
        const std::string name =
            stamp + (sequence == 1 ? std::string() : "_" + std::to_string(sequence)) + std::string(kExtension);
        const fs::path candidate = folder / filestore::PathFromUtf8(name);
        std::error_code ec;
        // A dangling link counts as taken: writing through it would put the
        // backup somewhere else.
        if (fs::symlink_status(candidate, ec).type() != fs::file_type::not_found) continue;
        fs::create_hard_link(pending, candidate, ec);
        if (ec == std::errc::file_exists) continue;  // taken since the look
        if (ec) {
            // A file system without links: the name was free a moment ago.
            fs::rename(pending, candidate, ec);
            if (ec) {
                problem = ToUtf8(candidate) + ": " + ec.message();
                return false;
            }
        }
        fs::remove(pending, ec);
        path = ToUtf8(candidate);
        return true;
    }
}

void BackupStore::Prune(const std::string& keep) const {
    std::error_code ec;
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    // A passing file outlives its program only when that program died while
    // writing it; one still being written is minutes old at most.
    const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = ToUtf8(it->path().filename());
        std::error_code timeError;
        if (name.starts_with(kPendingPrefix) && name.ends_with(kExtension) &&
            fs::last_write_time(it->path(), timeError) < stale && !timeError)
            fs::remove(it->path(), timeError);
    }
    const std::vector<Found> found = FindBackups(folder, ec);
    if (ec) return;  // the backup is written; the old ones stay for another time
    for (std::size_t i = kBackupsKept; i < found.size(); ++i) {
        // A clock set back names the newest backup as older than the rest.
        if (ToUtf8(found[i].path) == keep) continue;
        std::error_code ignored;
        fs::remove(found[i].path, ignored);
    }
}

BackupListing BackupStore::List() const {
    BackupListing listing;
    std::error_code ec;
    const fs::path folder = filestore::PathFromUtf8(m_folder);
    if (m_folder.empty() || fs::status(folder, ec).type() == fs::file_type::not_found) return listing;
    const std::vector<Found> found = FindBackups(folder, ec);
    if (ec) {
        listing.problem = m_folder + ": the folder cannot be read: " + ec.message();
        return listing;
    }
    for (const Found& f : found) {
        BackupEntry e;
        e.time = ShownTime(f.stamp);
        e.path = ToUtf8(f.path);
        e.name = f.name;
        const kvx::ReadResult read = kvx::ReadSettingsFile(e.path);
        if (read.status != kvx::FileStatus::Ok) {
            e.problem = read.detail.empty() ? e.path + ": cannot be read" : read.detail;
            listing.entries.push_back(std::move(e));
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
        listing.entries.push_back(std::move(e));
    }
    return listing;
}

}  // namespace orvex
