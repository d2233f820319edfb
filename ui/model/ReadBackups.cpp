#include "ui/model/ReadBackups.h"

#include <cstdio>

#include "files/UserFolders.h"

namespace orvex {
namespace {

// A fix that names the variable moving the data folder, and where in it
// the backups then go.
std::string WithVariable(std::string_view format) {
    char text[512];
    std::snprintf(text, sizeof text, std::string(format).c_str(), kDataFolderVariable, BackupFolderWithin().c_str());
    return text;
}

}  // namespace

ReadBackups::ReadBackups(FormModel& form, BackupStore& store, Report report)
    : m_form(form), m_store(store), m_report(std::move(report)) {
    m_form.AddObserver(this);
}

ReadBackups::~ReadBackups() { m_form.RemoveObserver(this); }

UserMessage ReadBackups::NotKeptMessage() const {
    std::string fix;
    if (m_lastProblem == kBackupUnstorable)
        fix = std::string(kUnstorableFix);
    else if (m_store.Folder().empty())
        fix = WithVariable(kNoBackupFolderFix);
    else
        fix = std::string(kBackupFolderFixIntro) + m_store.Folder() + WithVariable(kBackupFolderFix);
    return {std::string(kBackupNeeded), m_lastProblem.empty() ? fix : m_lastProblem + "\n" + fix, MsgIcon::Stop};
}

void ReadBackups::OnTransferConfirmed(TransferDirection direction) {
    if (direction == TransferDirection::Reading) KeepRead(m_form.ValuesForSave());
}

void ReadBackups::KeepRead(const std::optional<kvx::KvxValues>& values) {
    m_lastPath.clear();
    m_lastProblem.clear();
    if (!values) {
        m_lastProblem = std::string(kBackupUnstorable);
    } else {
        Outcome<std::string> kept = m_store.Keep(*values);
        if (kept)
            m_lastPath = std::move(kept.value());
        else
            m_lastProblem = kept.problem().Text();
    }
    if (!m_report) return;
    if (m_lastProblem.empty())
        m_report(std::string(kBackupKeptNews) + m_lastPath);
    else
        m_report(std::string(kBackupNotKeptNews) + m_lastProblem);
}

}  // namespace orvex
