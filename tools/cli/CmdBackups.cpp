// backups: the automatic backups of the radio's reads, newest first.
#include <cstdio>
#include <string>

#include "files/BackupStore.h"
#include "files/UserFolders.h"
#include "settings/QMDataMng.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/CliJson.h"
#include "ui/model/VerifyTexts.h"

namespace orvex::cli {
namespace {

void PrintTable(const std::vector<BackupEntry>& entries) {
    std::printf("%-19s  %-24s  %-18s", "TIME", "FILE", "BAND PLAN");
    for (int row = 1; row <= kChannelCount; ++row) std::printf("  %-7s", RowLabel(row).c_str());
    std::printf("\n");
    for (const BackupEntry& e : entries) {
        std::printf("%-19s  %-24s  ", e.time.c_str(), e.name.c_str());
        if (e.problem) {
            std::printf("%s\n", e.problem->Text().c_str());
            continue;
        }
        const std::string plan = e.bandPlan < 0 ? std::string(texts::kNoneShown) : e.bandPlanName;
        std::printf("%-18s", plan.c_str());
        for (const std::string& f : e.frequencies) std::printf("  %-7s", f.empty() ? "-" : f.c_str());
        std::printf("\n");
    }
}

void PrintJson(const std::vector<BackupEntry>& entries) {
    const std::string array = JsonArray(entries, [](const BackupEntry& e) {
        const bool ok = !e.problem;
        const std::string plan = ok && e.bandPlan >= 0 ? std::to_string(e.bandPlan) : "null";
        const std::string frequencies =
            ok ? JsonArray(e.frequencies, [](const std::string& f) { return JsonString(f); }) : "null";
        const std::string flags = ok ? JsonArray(e.channelEnable, [](auto b) { return std::to_string(b); }) : "null";
        return "{\"time\": " + JsonString(e.time) + ", \"file\": " + JsonString(e.path) +
               ", \"band_plan\": " + plan + ", \"band_plan_name\": " + (ok ? JsonStringOrNull(e.bandPlanName) : "null") +
               ", \"frequencies\": " + frequencies +
               ", \"emergency_channel\": " + (ok ? std::to_string(e.emgChannel) : "null") +
               ", \"channel_enable\": " + flags + ", \"problem\": " + JsonStringOrNull(ok ? std::string() : e.problem->Text()) + "}";
    });
    std::printf("%s\n", array.c_str());
}

}  // namespace

int CmdBackups(const Args& args) {
    bool json = false;
    for (const std::string& a : args) {
        if (a != "--json") return UsageError("backups takes only --json");
        json = true;
    }
    const BackupStore store(BackupFolder(SystemUserFolders()));
    const BackupListing listing = store.List();
    if (!listing) {
        std::fprintf(stderr, "%s\n", listing.problem().Text().c_str());
        return kExitFailed;
    }
    if (json) {
        PrintJson(listing.value());
    } else if (listing.value().empty()) {
        std::printf("No backups yet in %s: every read from a radio keeps one there.\n", store.Folder().c_str());
    } else {
        PrintTable(listing.value());
    }
    return kExitOk;
}

}  // namespace orvex::cli
