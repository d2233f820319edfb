#include "ui/model/ReadBackups.h"

namespace orvex {

ReadBackups::ReadBackups(FormModel& form, BackupStore& store, Report report)
    : m_form(form), m_store(store), m_report(std::move(report)) {
    m_form.AddResultListener(this);
}

ReadBackups::~ReadBackups() { m_form.RemoveResultListener(this); }

void ReadBackups::OnTransferConfirmed(TransferDirection direction) {
    if (direction != TransferDirection::Reading || m_held) return;
    m_lastPath.clear();
    m_lastProblem.clear();
    const std::optional<kvx::KvxValues> values = m_form.ValuesForSave();
    if (!values) {
        m_lastProblem = std::string(kBackupUnstorable);
    } else {
        KeepResult kept = m_store.Keep(*values);
        if (kept.ok)
            m_lastPath = std::move(kept.path);
        else
            m_lastProblem = std::move(kept.problem);
    }
    if (!m_report) return;
    if (m_lastProblem.empty())
        m_report(std::string(kBackupKeptNews) + m_lastPath);
    else
        m_report(std::string(kBackupNotKeptNews) + m_lastProblem);
}

}  // namespace orvex
