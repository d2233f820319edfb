#include "ui/model/RecoveryKeeper.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "files/FileStore.h"
#include "files/LocalTime.h"
#include "ui/model/FormTexts.h"
#include "ui/model/RecoveryFile.h"
#include "ui/model/RecoveryTexts.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace orvex {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSessionPrefix = "session-";
constexpr std::string_view kLockExtension = ".lock";

// Views only move on status, progress and the port pane; nothing a user could lose.
constexpr unsigned kNotState = kChangeStatus | kChangeProgress | kChangeHistory;

// The lock file a session holds beside its recovery file.
std::string LockPathFor(const std::string& recoveryPath) {
    std::string path = recoveryPath;
    if (path.ends_with(recovery::kFileExtension)) path.resize(path.size() - recovery::kFileExtension.size());
    return path + std::string(kLockExtension);
}

std::string TimeText(fs::file_time_type time) {
    const auto sys = std::chrono::file_clock::to_sys(time);
    return FormatLocalTime(LocalTimeAt(std::chrono::system_clock::to_time_t(
                               std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys))),
                           "%Y-%m-%d %H:%M");
}

struct Found {
    PendingRecovery pending;
    fs::file_time_type time;
};

// Newest first; a running session's file is its own, not left behind.
std::vector<PendingRecovery> FindEarlier(const std::string& folder, const std::string& ownName) {
    std::vector<Found> found;
    std::error_code ec;
    for (fs::directory_iterator it(filestore::PathFromUtf8(folder), ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc)) continue;
        const std::string name = filestore::Utf8FromPath(it->path().filename());
        if (name == ownName || !name.ends_with(recovery::kFileExtension)) continue;
        const fs::file_time_type time = it->last_write_time(fileEc);
        if (fileEc) continue;
        const std::string path = filestore::Utf8FromPath(filestore::PathFromUtf8(folder) / it->path().filename());
        if (filestore::IsSessionLockHeld(LockPathFor(path))) continue;
        found.push_back({{path, TimeText(time)}, time});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.time != b.time ? a.time > b.time : a.pending.path > b.pending.path;
    });
    std::vector<PendingRecovery> out;
    for (Found& f : found) out.push_back(std::move(f.pending));
    return out;
}

}  // namespace

RecoverySession RecoverySession::ForThisProcess() {
#ifdef _WIN32
    const long pid = _getpid();
#else
    const long pid = static_cast<long>(::getpid());
#endif
    return {std::string(kSessionPrefix) + FormatLocalTime(LocalTimeNow(), "%Y%m%d-%H%M%S") + "-" + std::to_string(pid) +
            std::string(recovery::kFileExtension)};
}

std::string PendingRecoveryText(const PendingRecovery& pending) {
    std::string text(texts::kRecoveryPendingFormat);
    text.replace(text.find("%s"), 2, pending.timeText);
    return text;
}

RecoveryKeeper::RecoveryKeeper(FormModel& form, IEventLoop& loop, std::string folder, RecoverySession session)
    : m_form(form),
      m_loop(loop),
      m_folder(std::move(folder)),
      m_path(filestore::Utf8FromPath(filestore::PathFromUtf8(m_folder) / filestore::PathFromUtf8(session.fileName))) {
    // Read now, so the menu and the status line offer only what a restore
    // can bring back.
    for (PendingRecovery& found : FindEarlier(m_folder, session.fileName)) {
        const recovery::Decoded file = recovery::ReadFile(found.path);
        if (file.ok)
            m_pending.push_back(std::move(found));
        else
            m_unreadable.push_back(file.reason);
    }
    m_form.AddObserver(this);
}

RecoveryKeeper::~RecoveryKeeper() {
    m_form.RemoveObserver(this);
    CancelTimer(m_timer);
    CancelTimer(m_retry);
    m_closing = true;
    m_pendingListener = nullptr;  // whoever listens may be going too
    KeepNow();
}

std::optional<PendingRecovery> RecoveryKeeper::Pending() const {
    if (m_pending.empty()) return std::nullopt;
    return m_pending.front();
}

bool RecoveryKeeper::AnnouncePending() {
    const auto pending = Pending();
    if ((!pending && m_unreadable.empty()) || m_announced) return false;
    m_announced = true;
    std::string text = pending ? PendingRecoveryText(*pending) : std::string();
    if (!m_unreadable.empty()) {
        if (!text.empty()) text += ". ";
        text += std::string(texts::kRecoveryUnreadable) + m_unreadable.front();
        if (m_unreadable.size() > 1) {
            std::string more(texts::kRecoveryUnreadableMoreFormat);
            more.replace(more.find("%d"), 2, std::to_string(m_unreadable.size() - 1));
            text += more;
        }
    }
    m_announcedText = text;
    m_form.View().SetStatusText(std::move(text));
    PendingChanged();
    return true;
}

bool RecoveryKeeper::RestorePending() {
    const auto pending = Pending();
    // Checked before the file is read and dealt with: the form would refuse it.
    if (!pending || m_form.View().IsTableLocked() || m_form.History().Held()) return false;
    const recovery::Decoded file = recovery::ReadFile(pending->path);
    if (!file.ok) {
        m_pending.erase(m_pending.begin());
        PendingChanged();
        m_form.Messages().Show({std::string(texts::kRecoveryRefused), file.reason, MsgIcon::Stop, MsgButtons::Ok});
        UpdateNewsAfterRestore(*pending);
        return false;
    }
    // The form's own unsaved edits are set aside, not thrown away: a
    // question could only offer to lose them, and the same command swaps
    // them back.
    const bool setAside = HasUnsavedEdits(m_form);
    if (setAside) {
        const filestore::Result aside = KeepAside(m_form.Snapshot());
        if (!aside.ok()) {
            m_form.Messages().Show({std::string(texts::kRecoveryRefused),
                                    std::string(texts::kRecoveryAsideFailed) + aside.problem().Text(), MsgIcon::Stop,
                                    MsgButtons::Ok});
            return false;
        }
    }
    // Handed over below, not retired on the way as the form takes its state.
    std::erase_if(m_asides, [&](const auto& aside) { return aside.first == pending->path; });
    {
        // The user's own command: Undo takes the form back to what it was.
        const FormModel::UserChange change(m_form);
        if (!m_form.Restore(file.state)) return false;
    }
    std::erase_if(m_pending, [&](const PendingRecovery& p) { return p.path == pending->path; });
    // The old file goes once ours holds its edits (or nothing is unsaved),
    // so no moment has the edits in neither.
    m_handedOver.push_back(pending->path);
    PendingChanged();
    KeepNow();
    if (setAside)
        m_form.View().SetStatusText(std::string(texts::kRecoveryKeptAside));
    else
        UpdateNewsAfterRestore(*pending);
    return true;
}

void RecoveryKeeper::UpdateNewsAfterRestore(const PendingRecovery& dealtWith) {
    const std::string& shown = m_form.View().StatusText();
    if (shown != m_announcedText && shown != PendingRecoveryText(dealtWith)) return;
    const auto next = Pending();
    m_form.View().SetStatusText(next ? PendingRecoveryText(*next) : std::string(texts::kTotalRangeHint));
}

filestore::Result RecoveryKeeper::KeepAside(const FormSnapshot& state) {
    if (filestore::Result made = MakeFolder(); !made.ok()) return made;
    std::string name = filestore::Utf8FromPath(filestore::PathFromUtf8(m_path).filename());
    name.resize(name.size() - std::min(name.size(), recovery::kFileExtension.size()));
    const std::string path = filestore::Utf8FromPath(filestore::PathFromUtf8(m_folder) /
                                  filestore::PathFromUtf8(name + "-" + std::to_string(++m_asideCount) +
                                                          std::string(recovery::kFileExtension)));
    // Locked before it exists, so no other session ever sees it unlocked.
    std::unique_ptr<filestore::SessionLock> lock = filestore::SessionLock::Take(LockPathFor(path));
    const filestore::Result written = recovery::WriteFile(path, state);
    if (!written.ok()) return written;
    if (lock) m_asideLocks.push_back(std::move(lock));
    std::error_code ec;
    const fs::file_time_type time = fs::last_write_time(filestore::PathFromUtf8(path), ec);
    m_pending.insert(m_pending.begin(), {path, ec ? std::string() : TimeText(time)});
    m_asides.emplace_back(path, state);
    PendingChanged();
    return written;
}

void RecoveryKeeper::RetireAsides() {
    if (m_asides.empty() || m_form.View().IsTableLocked()) return;
    const FormSnapshot now = m_form.Snapshot();
    bool retired = false;
    for (auto it = m_asides.begin(); it != m_asides.end();) {
        if (it->second != now && it->second != m_form.Baseline()) {
            ++it;
            continue;
        }
        std::erase_if(m_pending, [&](const PendingRecovery& p) { return p.path == it->first; });
        m_handedOver.push_back(it->first);
        it = m_asides.erase(it);
        retired = true;
    }
    if (retired) PendingChanged();
}

void RecoveryKeeper::PendingChanged() {
    // A keeper that cannot write speaks louder than edits waiting.
    const auto pending = Pending();
    m_form.View().SetStatusNotice(!m_failureText.empty() ? m_failureText
                           : pending              ? PendingRecoveryText(*pending)
                                                  : std::string());
    if (m_pendingListener) m_pendingListener();
}

void RecoveryKeeper::OnFormChanged(unsigned changes) {
    if (changes & kChangeReplacedEdits) KeepReplaced();
    if ((changes & ~kNotState) == 0) return;
    RetireAsides();
    Schedule();
}

void RecoveryKeeper::KeepReplaced() {
    const std::optional<FormSnapshot> replaced = m_form.History().TakeReplacedEdits();
    if (!replaced) return;
    // Undo brings them back too, but not once the window is closed or the
    // history has moved on.
    const filestore::Result aside = KeepAside(*replaced);
    m_form.View().SetStatusText(aside.ok() ? std::string(texts::kRecoveryReplacedKept)
                                    : std::string(texts::kRecoveryNotKept) + aside.problem().Text());
}

void RecoveryKeeper::Schedule() {
    const std::int64_t now = m_loop.NowMs();
    if (m_timer)
        CancelTimer(m_timer);
    else
        m_burstStart = now;
    const std::int64_t due = std::min(now + kQuietMs, m_burstStart + kLatestMs);
    m_timer = m_loop.StartTimer(static_cast<int>(std::max<std::int64_t>(0, due - now)), [this] {
        m_timer.reset();
        KeepNow();
    });
}

void RecoveryKeeper::CancelTimer(std::optional<IEventLoop::TimerId>& timer) {
    if (timer) m_loop.CancelTimer(*timer);
    timer.reset();
}

void RecoveryKeeper::KeepNow() {
    // Mid-transfer the form is half old, half new; the end of the transfer
    // unlocks the table, and that change brings us back.
    if (m_form.View().IsTableLocked()) return;
    if (!HasUnsavedEdits(m_form)) {
        CancelTimer(m_retry);
        RemoveFile(m_path);
        m_kept.reset();
        DropHandedOver();
        if (!m_failureText.empty()) {
            m_failureText.clear();  // nothing is left to keep
            PendingChanged();
        }
        return;
    }
    FormSnapshot state = m_form.Snapshot();
    if (m_kept && *m_kept == state) {
        DropHandedOver();
        return;
    }

    filestore::Result result = MakeFolder();
    if (result.ok()) {
        if (!m_lock) m_lock = filestore::SessionLock::Take(LockPathFor(m_path));
        result = recovery::WriteFile(m_path, state);
    }
    if (result.ok()) {
        m_kept = std::move(state);
        m_failureShown = false;
        CancelTimer(m_retry);
        DropHandedOver();
        if (!m_failureText.empty()) {
            m_failureText.clear();
            PendingChanged();
        }
        return;
    }
    m_kept.reset();
    // The user's work goes on undisturbed: one line of news, then quiet
    // retries; the line comes back wherever the status line is reset.
    if (!m_failureShown) {
        m_failureShown = true;
        m_failureText = std::string(texts::kRecoveryNotKept) + result.problem().Text();
        m_form.View().SetStatusText(m_failureText);
        PendingChanged();
    }
    // A closing keeper arms nothing: the timer would outlive it.
    if (!m_retry && !m_closing)
        m_retry = m_loop.StartTimer(kRetryMs, [this] {
            m_retry.reset();
            KeepNow();
        });
}

filestore::Result RecoveryKeeper::MakeFolder() const {
    std::error_code ec;
    fs::create_directories(filestore::PathFromUtf8(m_folder), ec);
    if (ec && !fs::is_directory(filestore::PathFromUtf8(m_folder)))
        return {filestore::Status::WriteFailed, {.where = m_folder, .why = ec.message()}};
    return {};
}

void RecoveryKeeper::DropHandedOver() {
    for (const std::string& path : m_handedOver) {
        RemoveFile(path);
        const std::string lockPath = LockPathFor(path);
        const auto ours = std::find_if(m_asideLocks.begin(), m_asideLocks.end(),
                                       [&](const auto& lock) { return lock->Path() == lockPath; });
        if (ours != m_asideLocks.end())
            m_asideLocks.erase(ours);  // takes its lock file along
        else if (!filestore::IsSessionLockHeld(lockPath))
            RemoveFile(lockPath);  // left by a session that ended without removing it
    }
    m_handedOver.clear();
}

void RecoveryKeeper::RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(filestore::PathFromUtf8(path), ec);
}

}  // namespace orvex
