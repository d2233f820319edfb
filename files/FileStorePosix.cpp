#include "files/FileStore.h"
#include "files/SystemError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

namespace orvex::filestore {
namespace {

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

Result Failed(Status status, const std::string& path, int error) { return {status, DescribeError(path, error)}; }

Result NotRegular(const std::string& path, const struct stat& st) {
    return {Status::CantOpen, {.where = path, .why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file"}};
}

bool WriteFully(int fd, const std::uint8_t* data, std::size_t size, std::size_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads a whole open file; false with errno set when it cannot.
bool ReadAll(int fd, std::vector<std::uint8_t>& out) {
    out.clear();
    std::uint8_t chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        out.insert(out.end(), chunk, chunk + n);
    }
}

// Opens path for writing in place, refusing anything but a regular file.
// O_NONBLOCK so that a FIFO at the path cannot hang the caller.
Result OpenForWriting(const std::string& path, Fd& fd) {
    fd.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) return Failed(Status::CantOpen, path, errno);
    if (!S_ISREG(st.st_mode)) return NotRegular(path, st);
    return {};
}

Result Finish(Fd& fd, const std::string& path) {
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) return Failed(Status::WriteFailed, path, errno);
    return {};
}

// The new content is built (from the old one when fromOld, empty when there
// is none), written beside the target and renamed over it. inPlace is the
// way out where the folder refuses the new file.
Result Rewrite(const std::string& path, bool fromOld, const std::function<void(std::vector<std::uint8_t>&)>& build,
               const std::function<Result()>& inPlace) {
    // Save through a link into the file it names, not over the link.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    std::vector<std::uint8_t> content;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) return NotRegular(path, old);
        if (::access(target.c_str(), W_OK) != 0) return Failed(Status::CantOpen, path, errno);
        if (fromOld) {
            Fd in(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
            if (in.get() < 0 || !ReadAll(in.get(), content)) return inPlace();
        }
    }
    build(content);

    const std::filesystem::path t(target);
    const std::string dir = t.has_parent_path() ? t.parent_path().string() : std::string(".");
    std::string temp = dir + "/." + t.filename().string() + ".XXXXXX";
    const int tfd = ::mkstemp(temp.data());
    if (tfd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return Failed(Status::CantOpen, path, errno);
        return inPlace();  // a folder we may not add files to
    }
    Fd out(tfd);
    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        return Failed(Status::WriteFailed, path, error);
    };
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    const mode_t mode = exists ? (old.st_mode & 07777) : (0666 & ~umaskNow);
    if (::fchmod(out.get(), mode) != 0) return fail(errno);
    if (exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
        [[maybe_unused]] const int ignored = ::fchown(out.get(), old.st_uid, old.st_gid);  // best effort
    if (!WriteFully(out.get(), content.data(), content.size(), 0)) return fail(errno);
    if (::fsync(out.get()) != 0) return fail(errno);
    if (::close(out.release()) != 0) return fail(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return fail(errno);
    Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());  // the rename itself reaches the disk
    return {};
}

}  // namespace

}  // namespace orvex::filestore

namespace orvex {

std::string SystemErrorText(int code) { return std::strerror(code); }

}  // namespace orvex

namespace orvex::filestore {

Problem DescribeError(const std::string& path, int error) {
    Problem p{.where = path, .why = SystemErrorText(error)};
    if (error == EACCES || error == EPERM) p.fix = "check the file's and its folder's permissions";
    return p;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) { return std::filesystem::path(utf8); }

Result ReadHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out) {
    out.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0)
        return Failed(errno == ENOENT ? Status::Missing : Status::CantOpen, path, errno);
    if (!S_ISREG(st.st_mode)) return NotRegular(path, st);
    out.resize(maxBytes);
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t n = ::pread(fd.get(), out.data() + done, maxBytes - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            out.clear();
            return Failed(Status::CantOpen, path, errno);
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    out.resize(done);
    return {};
}

Result PatchFile(const std::string& path, std::span<const Patch> patches, std::size_t minSize) {
    auto build = [&](std::vector<std::uint8_t>& content) { detail::ApplyPatches(content, patches, minSize); };
    auto inPlace = [&]() -> Result {
        Fd fd(-1);
        if (Result r = OpenForWriting(path, fd); !r.ok()) return r;
        for (const Patch& p : patches)
            if (!WriteFully(fd.get(), p.bytes.data(), p.bytes.size(), p.offset))
                return Failed(Status::WriteFailed, path, errno);
        return Finish(fd, path);
    };
    return Rewrite(path, true, build, inPlace);
}

Result ReplaceWholeFile(const std::string& path, std::span<const std::uint8_t> content) {
    auto build = [&](std::vector<std::uint8_t>& old) { old.assign(content.begin(), content.end()); };
    auto refuse = [&]() { return Failed(Status::CantOpen, path, errno); };
    return Rewrite(path, false, build, refuse);
}

}  // namespace orvex::filestore
