// Files on the Win32 calls: wide-character paths, replacement by
// ReplaceFileW (which keeps the old file's attributes and security) or
// MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

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

// UTF-8 to UTF-16; false for bytes that are not UTF-8, which would
// otherwise quietly name some other file.
bool ToWide(const std::string& utf8, std::wstring& out) {
    out.clear();
    if (utf8.empty()) return true;
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
    if (n <= 0) return false;
    out.resize(static_cast<std::size_t>(n));
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, out.data(), n) == n;
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = static_cast<int>(wide.size());
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}

Result BadName(const std::string& path) {
    return {Status::CantOpen, {.where = path, .why = "not a valid file name (not UTF-8 text)"}};
}

Result Failed(Status status, const std::string& path, DWORD error) {
    return {status, DescribeError(path, static_cast<int>(error))};
}

bool IsMissing(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Opening a device name ("COM1", "NUL") as a file reaches the device; only
// files on a disk are accepted.
Result CheckRegular(const std::string& path, HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK) return {Status::CantOpen, {.where = path, .why = "is not a regular file"}};
    if (::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {Status::CantOpen, {.where = path, .why = "is a directory"}};
    return {};
}

HANDLE OpenForReading(const std::wstring& path) {
    // Backup semantics let a folder be opened, so that it is reported as one.
    // Sharing for reading only: a file another program is still writing is
    // refused rather than read half-way.
    return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
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

Result OpenForWriting(const std::string& path, const std::wstring& wide, Handle& out) {
    Handle h(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
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

// The file a path finally names, through any links (which std::filesystem
// does not see on this platform); the path itself when nothing is there.
std::wstring FinalPath(const std::wstring& path) {
    Handle h(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!h.valid()) return path;
    std::vector<wchar_t> buffer(32768);
    const DWORD n = ::GetFinalPathNameByHandleW(h.get(), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= buffer.size()) return path;
    std::wstring out(buffer.data(), n);
    if (out.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\\\" + out.substr(8);
    if (out.rfind(L"\\\\?\\", 0) == 0) return out.substr(4);
    return out;
}

// A new, empty file beside target, created exclusively.
HANDLE CreateBeside(const std::wstring& target, std::wstring& temp) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring dir = slash == std::wstring::npos ? L"." : target.substr(0, slash);
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    for (unsigned attempt = 0;; ++attempt) {
        temp = dir + L"\\." + name + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
               std::to_wstring(::GetTickCount64() + attempt) + L".tmp";
        const HANDLE h =
            ::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE || ::GetLastError() != ERROR_FILE_EXISTS || attempt == 100) return h;
    }
}

// The file at path is gone and its new content could not take its place:
// the user is told where that content is.
Result SavedAside(const std::string& path, const std::wstring& temp, DWORD error) {
    Problem lost = DescribeError(path, static_cast<int>(error));
    if (!lost.fix.empty()) lost.why += " (" + lost.fix + ")";
    lost.fix = "the saved file is " + ToUtf8(temp);
    lost.layout = Problem::Layout::FixAfter;
    return {Status::WriteFailed, std::move(lost)};
}

// As on POSIX: the new content is built (from the old one when fromOld),
// written beside the target and put in its place; inPlace is the way out
// where the folder refuses the new file.
Result Rewrite(const std::string& path, bool fromOld, const std::function<void(std::vector<std::uint8_t>&)>& build,
               const std::function<Result()>& inPlace) {
    std::wstring wide;
    if (!ToWide(path, wide)) return BadName(path);
    // Save through a link into the file it names, not over the link.
    const std::wstring target = FinalPath(wide);

    std::vector<std::uint8_t> content;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) return {Status::CantOpen, {.where = path, .why = "is a directory"}};
        if (attributes & FILE_ATTRIBUTE_READONLY) return Failed(Status::CantOpen, path, ERROR_ACCESS_DENIED);
        Handle in(OpenForReading(target));
        if (!in.valid()) return Failed(Status::CantOpen, path, ::GetLastError());
        if (Result r = CheckRegular(path, in.get()); !r.ok()) return r;
        if (fromOld && !ReadUpTo(in.get(), content, static_cast<std::size_t>(-1))) {
            in.Close();  // it does not share writing
            return inPlace();
        }
    } else if (const DWORD error = ::GetLastError(); !IsMissing(error)) {
        return Failed(Status::CantOpen, path, error);
    }
    build(content);

    std::wstring temp;
    Handle out(CreateBeside(target, temp));
    if (!out.valid()) {
        const DWORD error = ::GetLastError();
        if (IsMissing(error) || error == ERROR_DIRECTORY) return Failed(Status::CantOpen, path, error);
        return inPlace();  // a folder we may not add files to
    }
    auto fail = [&](DWORD error) {
        out.Close();
        ::DeleteFileW(temp.c_str());
        return Failed(Status::WriteFailed, path, error);
    };
    if (!WriteAt(out.get(), 0, content) || !::FlushFileBuffers(out.get())) return fail(::GetLastError());
    if (!out.Close()) return fail(::GetLastError());

    // ReplaceFileW keeps the old file's attributes and security; some file
    // systems (and emulations) lack it, and a plain replacing move is next.
    constexpr DWORD kMove = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (exists) {
        if (::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return {};
        const DWORD error = ::GetLastError();
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT || error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The old file is already gone from the path; the new content
            // now lives only in the temporary file, which must not be lost.
            if (::MoveFileExW(temp.c_str(), target.c_str(), kMove)) return {};
            return SavedAside(path, temp, ::GetLastError());
        }
    }
    if (!::MoveFileExW(temp.c_str(), target.c_str(), kMove)) return fail(::GetLastError());
    return {};
}

}  // namespace

}  // namespace orvex::filestore

namespace orvex {

std::string SystemErrorText(int code) {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
        nullptr);
    std::string out = n && text ? filestore::ToUtf8(std::wstring(text, n)) : "system error " + std::to_string(code);
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

}  // namespace orvex

namespace orvex::filestore {

Problem DescribeError(const std::string& path, int code) {
    Problem p{.where = path, .why = SystemErrorText(code)};
    if (code == ERROR_ACCESS_DENIED) p.fix = "check the file's and its folder's permissions";
    if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) p.fix = "another program has the file open";
    return p;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    std::wstring wide;
    if (ToWide(utf8, wide)) return std::filesystem::path(wide);
    // Not UTF-8: every byte as its own character, so nothing throws and the
    // file calls refuse the name later with a reason.
    return std::filesystem::path(std::wstring(utf8.begin(), utf8.end()));
}

Result ReadHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out) {
    out.clear();
    std::wstring wide;
    if (!ToWide(path, wide)) return BadName(path);
    Handle h(OpenForReading(wide));
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
        std::wstring wide;
        ToWide(path, wide);  // Rewrite has checked the name
        Handle h(INVALID_HANDLE_VALUE);
        if (Result r = OpenForWriting(path, wide, h); !r.ok()) return r;
        for (const Patch& p : patches)
            if (!WriteAt(h.get(), p.offset, p.bytes)) return Failed(Status::WriteFailed, path, ::GetLastError());
        return Finish(h, path);
    };
    return Rewrite(path, true, build, inPlace);
}

Result ReplaceWholeFile(const std::string& path, std::span<const std::uint8_t> content) {
    auto build = [&](std::vector<std::uint8_t>& old) { old.assign(content.begin(), content.end()); };
    auto refuse = [&]() { return Failed(Status::CantOpen, path, ::GetLastError()); };
    return Rewrite(path, false, build, refuse);
}

}  // namespace orvex::filestore
