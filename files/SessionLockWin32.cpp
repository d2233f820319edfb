// The lock is the open handle itself: opened sharing nothing, so every
// other open of the file fails with a sharing violation while the holder
// lives, and deleted on close, so it goes with the holder even in a crash.
#include <windows.h>

#include "files/FileStore.h"
#include "files/SessionLock.h"

namespace orvex::filestore {

struct SessionLock::Native {
    HANDLE handle = INVALID_HANDLE_VALUE;
};

SessionLock::SessionLock(std::string path, std::unique_ptr<Native> native)
    : m_path(std::move(path)), m_native(std::move(native)) {}

std::unique_ptr<SessionLock> SessionLock::Take(const std::string& path) {
    const HANDLE h = ::CreateFileW(PathFromUtf8(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto native = std::make_unique<Native>();
    native->handle = h;
    return std::unique_ptr<SessionLock>(new SessionLock(path, std::move(native)));
}

SessionLock::~SessionLock() { ::CloseHandle(m_native->handle); }

bool IsSessionLockHeld(const std::string& path) {
    const HANDLE h = ::CreateFileW(PathFromUtf8(path).c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        ::CloseHandle(h);
        return false;
    }
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace orvex::filestore
