// Files on the Win32 calls: wide-character paths, replacement by
// ReplaceFileW (which keeps the old file's attributes and security) or
// MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "files/FileStore.h"
#include "files/SystemError.h"

namespace orvex::filestore {
namespace {

class Handle {
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle() { Close(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return m_h; }
    bool valid() const { return m_h != INVALID_HANDLE_VALUE; }
    void Reset(HANDLE h) {
        Close();
        m_h = h;
    }
    HANDLE Release() {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h;
    }
    bool Close() {
        if (!valid()) return true;
        const bool ok = ::CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

Result Failed(Status status, const std::string& path, DWORD error) {
    return {status, DescribeError(path, static_cast<int>(error))};
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Opening a device name ("COM1", "NUL") as a file reaches the device; only
// files on a disk are accepted.
Result CheckRegular(const std::string& path, HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK) return {Status::CantOpen, path + ": is not a regular file"};
    if (::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {Status::CantOpen, path + ": is a directory"};
    return {};
}

HANDLE OpenForReading(const std::wstring& path) {
    // Backup semantics let a folder be opened, so that it is reported as one.
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool ReadUpTo(HANDLE h, std::vector<std::uint8_t>& out, std::size_t maxBytes) {
    out.clear();
    std::uint8_t chunk[8192];
    while (out.size() < maxBytes) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(sizeof chunk, maxBytes - out.size()));
        if (!::ReadFile(h, chunk, want, &got, nullptr)) return false;
        if (got == 0) break;
        out.insert(out.end(), chunk, chunk + got);
    }
    return true;
}

bool WriteAt(HANDLE h, std::size_t offset, std::span<const std::uint8_t> bytes) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        if (!::WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &wrote, nullptr))
            return false;
        done += wrote;
    }
    return true;
}

Result OpenForWriting(const std::string& path, Handle& out) {
    Handle h(::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.valid()) return Failed(Status::CantOpen, path, ::GetLastError());
    if (Result r = CheckRegular(path, h.get()); !r.ok()) return r;
    out.Reset(h.Release());
    return {};
}

Result Finish(Handle& h, const std::string& path) {
    if (!::FlushFileBuffers(h.get()) || !h.Close()) return Failed(Status::WriteFailed, path, ::GetLastError());
    return {};
}

Result Rewrite(const std::string& path, const std::function<void(std::vector<std::uint8_t>&)>& build,
               const std::function<Result()>& inPlace) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // Save through a link into the file it names, not over the link.
    fs::path target = PathFromUtf8(path);
    if (fs::is_symlink(target, ec)) {
        const fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    const std::wstring wTarget = target.wstring();
    const std::string shown = path;

    std::vector<std::uint8_t> content;
    const DWORD attributes = ::GetFileAttributesW(wTarget.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {Status::CantOpen, shown + ": is a directory"};
        if (attributes & FILE_ATTRIBUTE_READONLY) return Failed(Status::CantOpen, shown, ERROR_ACCESS_DENIED);
        Handle in(OpenForReading(wTarget));
        if (!in.valid()) return Failed(Status::CantOpen, shown, ::GetLastError());
        if (Result r = CheckRegular(shown, in.get()); !r.ok()) return r;
        if (!ReadUpTo(in.get(), content, static_cast<std::size_t>(-1))) return inPlace();
    } else if (!IsMissing(::GetLastError())) {
        return Failed(Status::CantOpen, shown, ::GetLastError());
    }
    build(content);

    fs::path dir = target.parent_path();
    if (dir.empty()) dir = L".";
    wchar_t temp[MAX_PATH + 1] = {};
    if (!::GetTempFileNameW(dir.wstring().c_str(), L"kvx", 0, temp)) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_DIRECTORY) return Failed(Status::CantOpen, shown, error);
        return inPlace();  // a folder we may not add files to
    }
    auto fail = [&](DWORD error) {
        ::DeleteFileW(temp);
        return Failed(Status::WriteFailed, shown, error);
    };
    {
        Handle out(::CreateFileW(temp, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) return fail(::GetLastError());
        if (!WriteAt(out.get(), 0, content) || !::FlushFileBuffers(out.get())) return fail(::GetLastError());
        if (!out.Close()) return fail(::GetLastError());
    }
    // ReplaceFileW keeps the old file's attributes and security; some file
    // systems (and emulations) lack it, and a plain replacing move is next.
    if (exists && ::ReplaceFileW(wTarget.c_str(), temp, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return {};
    if (!::MoveFileExW(temp, wTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(::GetLastError());
    return {};
}

}  // namespace

}  // namespace orvex::filestore

namespace orvex {

std::string SystemErrorText(int code) {
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
        nullptr);
    std::string out = n && text ? std::string(text, n) : "system error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

}  // namespace orvex

namespace orvex::filestore {

std::string DescribeError(const std::string& path, int code) {
    std::string text = path + ": " + SystemErrorText(code);
    if (code == ERROR_ACCESS_DENIED) text += " (check the file's and its folder's permissions)";
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) text += " (another program has the file open)";
    return text;
}

Result ReadHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out) {
    out.clear();
    Handle h(OpenForReading(Wide(path)));
    if (!h.valid()) {
        const DWORD error = ::GetLastError();
        return Failed(IsMissing(error) ? Status::Missing : Status::CantOpen, path, error);
    }
    if (Result r = CheckRegular(path, h.get()); !r.ok()) return r;
    if (!ReadUpTo(h.get(), out, maxBytes)) {
        out.clear();
        return Failed(Status::CantOpen, path, ::GetLastError());
    }
    return {};
}

Result PatchFile(const std::string& path, std::span<const Patch> patches, std::size_t minSize) {
    auto build = [&](std::vector<std::uint8_t>& content) { detail::ApplyPatches(content, patches, minSize); };
    auto inPlace = [&]() -> Result {
        Handle h(INVALID_HANDLE_VALUE);
        if (Result r = OpenForWriting(path, h); !r.ok()) return r;
        for (const Patch& p : patches)
            if (!WriteAt(h.get(), p.offset, p.bytes)) return Failed(Status::WriteFailed, path, ::GetLastError());
        return Finish(h, path);
    };
    return Rewrite(path, build, inPlace);
}

Result ReplaceWholeFile(const std::string& path, std::span<const std::uint8_t> content) {
    auto build = [&](std::vector<std::uint8_t>& old) { old.assign(content.begin(), content.end()); };
    auto refuse = [&]() { return Failed(Status::CantOpen, path, ::GetLastError()); };
    return Rewrite(path, build, refuse);
}

}  // namespace orvex::filestore
