#pragma once
// A lock file a running session holds for its whole life, so that another
// window or process can tell the session's files from ones left behind.
// The lock goes with the holder: released when it is destroyed and by the
// system when the process dies, so a crash never leaves a live-looking
// session. Paths are UTF-8.
#include <memory>
#include <string>

namespace orvex::filestore {

class SessionLock {
public:
    // Creates the lock file at path when missing and takes the lock; null
    // when the file cannot be made or another holder has it.
    static std::unique_ptr<SessionLock> Take(const std::string& path);
    // Releases the lock and removes the lock file.
    ~SessionLock();
    SessionLock(const SessionLock&) = delete;
    SessionLock& operator=(const SessionLock&) = delete;

    const std::string& Path() const { return m_path; }

private:
    struct Native;
    SessionLock(std::string path, std::unique_ptr<Native> native);

    std::string m_path;
    std::unique_ptr<Native> m_native;
};

// Whether a live holder, in this process or another, has the lock at path.
// A missing lock file is not held.
bool IsSessionLockHeld(const std::string& path);

}  // namespace orvex::filestore
