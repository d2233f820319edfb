#pragma once
// Keeps the form's unsaved edits in a recovery file of this session, so
// that closing the window (which never asks to save) or a crash loses
// nothing, and offers the edits an earlier session left behind.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "files/FileStore.h"
#include "files/SessionLock.h"
#include "link/EventLoop.h"
#include "ui/model/FormModel.h"

namespace orvex {

// Names this session's file; no two running sessions share one.
struct RecoverySession {
    std::string fileName;  // e.g. "session-20261209-224000-4711.orvexrec"

    // From the wall clock and the process id.
    static RecoverySession ForThisProcess();
};

struct PendingRecovery {
    std::string path;
    std::string timeText;  // when the edits were last kept, local "YYYY-MM-DD HH:MM"
};

// The status line's news of a pending recovery.
std::string PendingRecoveryText(const PendingRecovery& pending);

// The form and the loop must outlive the keeper.
class RecoveryKeeper : private IFormObserver {
public:
    // A change is kept this long after the last one of a burst, but never
    // later than kLatestMs after the first.
    static constexpr int kQuietMs = 500;
    static constexpr int kLatestMs = 1000;
    // After a failed write, how often it is tried again with no new change.
    static constexpr int kRetryMs = 5000;

    // Looks for the files earlier sessions left in folder (created on the
    // first write); files of sessions still running are not theirs to take.
    RecoveryKeeper(FormModel& form, IEventLoop& loop, std::string folder, RecoverySession session);
    // Keeps the state one last time: with unsaved edits the file stays,
    // without them it is gone.
    ~RecoveryKeeper() override;
    RecoveryKeeper(const RecoveryKeeper&) = delete;
    RecoveryKeeper& operator=(const RecoveryKeeper&) = delete;

    const std::string& FilePath() const { return m_path; }

    // The newest readable file of an earlier session not yet brought back
    // or refused.
    std::optional<PendingRecovery> Pending() const;
    // Files found at start that cannot be brought back, each "<path>: <why>";
    // they are left as they are.
    const std::vector<std::string>& Unreadable() const { return m_unreadable; }
    // Tells the status line of a pending recovery and of unreadable files,
    // once per keeper; false when there is nothing or it was told already.
    bool AnnouncePending();
    // Brings the pending edits back into the form. Unsaved edits the form
    // holds are first kept in a file of their own, offered next, so the
    // same command brings them back. A file that is refused is left as it
    // is, the reason shown with a stop icon, and the next older one is
    // offered. False when nothing was restored.
    bool RestorePending();

    // Keeps the current state now, as the debounce would (not during a transfer).
    void KeepNow();

    // Told whenever what Pending() offers may have changed.
    void SetPendingListener(std::function<void()> listener) { m_pendingListener = std::move(listener); }

private:
    void OnFormChanged(unsigned changes) override;
    void Schedule();
    void CancelTimer(std::optional<IEventLoop::TimerId>& timer);
    void RemoveFile(const std::string& path);
    filestore::Result MakeFolder() const;
    // Writes state to a new file of this session, offered first.
    filestore::Result KeepAside(const FormSnapshot& state);
    // Unsaved edits New, Open or a read replaced go aside as KeepAside puts them.
    void KeepReplaced();
    // Files set aside whose edits the form holds again (an undo) or has
    // saved are handed over, so they are neither offered nor left behind.
    void RetireAsides();
    // The status line's standing notice and the listener follow m_pending.
    void PendingChanged();
    // Removes files whose edits our own file now holds (or that nothing
    // unsaved needs any more), with their lock files.
    void DropHandedOver();
    void UpdateNewsAfterRestore(const PendingRecovery& dealtWith);

    FormModel& m_form;
    IEventLoop& m_loop;
    std::string m_folder;
    std::string m_path;
    // Earlier sessions' files, newest first, as found at start.
    std::vector<PendingRecovery> m_pending;
    // Restored files whose edits our own file does not hold yet.
    std::vector<std::string> m_handedOver;
    std::vector<std::string> m_unreadable;
    // Held from the first write to the end, so no other session takes our file.
    std::unique_ptr<filestore::SessionLock> m_lock;
    // Files of this session holding edits a restore replaced.
    std::vector<std::unique_ptr<filestore::SessionLock>> m_asideLocks;
    // What each file this session set aside holds.
    std::vector<std::pair<std::string, FormSnapshot>> m_asides;
    std::function<void()> m_pendingListener;
    std::string m_failureText;  // why our file cannot be written; empty when it can
    int m_asideCount = 0;
    std::string m_announcedText;

    std::optional<IEventLoop::TimerId> m_timer;
    std::optional<IEventLoop::TimerId> m_retry;
    std::int64_t m_burstStart = 0;
    std::optional<FormSnapshot> m_kept;  // what our file holds
    bool m_failureShown = false;
    bool m_announced = false;
    // Set by the destructor: nothing may be left on the loop after it.
    bool m_closing = false;
};

}  // namespace orvex
