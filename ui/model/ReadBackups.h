#pragma once
// Keeps a backup of every read the radio confirmed, so what a radio held
// before it was overwritten can always be brought back.
#include <functional>
#include <string>
#include <string_view>

#include "files/BackupStore.h"
#include "ui/model/FormModel.h"
#include "ui/model/VerifiedWrite.h"

namespace orvex {

// The news of a backup, followed by its path or by the reason none was kept.
inline constexpr std::string_view kBackupKeptNews = "Backup of the radio kept: ";
inline constexpr std::string_view kBackupNotKeptNews = "No backup of the radio kept: ";
inline constexpr std::string_view kBackupUnstorable =
    "a frequency read from the radio cannot be stored in a settings file";
// Write and Verify writes no radio whose settings could not be kept; then
// the problem and what to do follow.
inline constexpr std::string_view kBackupNeeded =
    "The radio was not written: what it holds could not be kept as a backup";
inline constexpr std::string_view kBackupFolderFixIntro = "Backups are kept in ";
// %s: the variable, then where in the folder it names the backups go.
inline constexpr std::string_view kBackupFolderFix =
    ": make that folder writable, free some space on its disk, or set %s to an absolute folder where they can be "
    "kept (backups go to its %s); then try again.";
inline constexpr std::string_view kNoBackupFolderFix =
    "Set %s to an absolute folder where backups can be kept (they go to its %s), then try again.";
inline constexpr std::string_view kUnstorableFix =
    "Read from Radio shows what the radio holds; Write to Radio writes without keeping a backup.";

class ReadBackups : public IReadKeeping, private IFormObserver {
public:
    using Report = std::function<void(const std::string& news)>;

    // report hears of every backup kept or not; a backup that fails never
    // fails the read.
    ReadBackups(FormModel& form, BackupStore& store, Report report);
    ~ReadBackups() override;
    ReadBackups(const ReadBackups&) = delete;
    ReadBackups& operator=(const ReadBackups&) = delete;

    void KeepRead(const std::optional<kvx::KvxValues>& values) override;
    // The backup of the last confirmed read kept; empty when it was not.
    const std::string& LastPath() const override { return m_lastPath; }
    // Why the last confirmed read was not kept.
    const std::string& LastProblem() const { return m_lastProblem; }
    UserMessage NotKeptMessage() const override;

private:
    void OnTransferConfirmed(TransferDirection direction) override;

    FormModel& m_form;
    BackupStore& m_store;
    Report m_report;
    std::string m_lastPath;
    std::string m_lastProblem;
};

}  // namespace orvex
