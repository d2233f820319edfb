#include "files/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <vector>
#include <algorithm>

#include "settings/Trace.h"

namespace orvex::kvx {
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

private:
    int m_fd;
};

// Reads up to size bytes from offset 0; returns the count or -1.
ssize_t ReadFully(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(done);
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

std::string NotRegular(const std::string& path, const struct stat& st) {
    return path + (S_ISDIR(st.st_mode) ? ": is a directory" : ": is not a regular file");
}

}  // namespace

std::string DescribeFileError(const std::string& path, int error) {
    std::string text = path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) text += " (check the file's and its folder's permissions)";
    return text;
}

KvxValues MakeKvxValues(const RadioSettings& s) {
    auto low = [](long value) { return static_cast<std::uint8_t>(value & 0xFF); };
    KvxValues v;
    for (int i = 0; i < kOptionListCount; ++i) v.optionSelections[i] = low(s.OptionSelection(i));
    for (int i = 0; i < 4; ++i) v.alignment[i] = low(s.Alignment(i));
    for (int i = 0; i < kOptionFlagCount; ++i)
        if (s.OptionFlag(i)) v.optionFlags |= static_cast<std::uint8_t>(1u << i);
    v.bandPlan = s.m_nBandPlan;
    v.emgChannel = s.m_nEmgChannel;
    for (int i = 0; i < kChannelEnableCount; ++i) v.channelEnable[i] = low(s.b_CHcheck[i]);
    v.records = s.m_channels;
    v.optionBlock = s.m_optionBlock;
    v.toneA = s.m_dToneAFreq;
    v.toneB = s.m_dToneBFreq;
    return v;
}

KvxImage EncodeKvx(const KvxValues& v) {
    KvxImage image;
    image.setText(Offset::header, kHeaderSize, kHeaderText);
    image.setText(Offset::version, kVersionSize, kVersionText);
    image.setBytes(Offset::identifier, kIdentifier);
    image.setUInt8(Offset::formatMajor, kFormatMajor);
    image.setUInt8(Offset::formatMinor, kFormatMinor);
    image.setBytes(Offset::optionSelections, v.optionSelections);
    image.setBytes(Offset::alignment, v.alignment);
    image.setUInt8(Offset::optionFlags, v.optionFlags);
    image.setUInt8(Offset::bandPlan, v.bandPlan);
    image.setUInt8(Offset::emgChannel, v.emgChannel);
    image.setBytes(Offset::channelEnable, v.channelEnable);
    for (int i = 0; i < kChannelCount; ++i)
        image.setBytes(Offset::channelRecords + i * ChannelEntry::kSize, v.records[i].ToBytes());
    image.setBytes(Offset::optionBlock, v.optionBlock);
    image.setDouble_le(Offset::toneA, v.toneA);
    image.setDouble_le(Offset::toneB, v.toneB);
    image.setUInt8(Offset::trailer, kTrailer);
    return image;
}

KvxValues DecodeKvx(const KvxImage& image) {
    KvxValues v;
    auto copy = [&](auto& field, std::size_t offset) {
        const auto src = image.slice(offset, field.size());
        std::copy(src.begin(), src.end(), field.begin());
    };
    copy(v.optionSelections, Offset::optionSelections);
    copy(v.alignment, Offset::alignment);
    v.optionFlags = image.getUInt8(Offset::optionFlags);
    v.bandPlan = image.getUInt8(Offset::bandPlan);
    v.emgChannel = image.getUInt8(Offset::emgChannel);
    copy(v.channelEnable, Offset::channelEnable);
    for (int i = 0; i < kChannelCount; ++i) {
        const auto rec = image.slice(Offset::channelRecords + i * ChannelEntry::kSize, ChannelEntry::kSize);
        v.records[i] = ChannelEntry::FromBytes(std::span<const std::uint8_t, ChannelEntry::kSize>(rec));
    }
    copy(v.optionBlock, Offset::optionBlock);
    v.toneA = image.getDouble_le(Offset::toneA);
    v.toneB = image.getDouble_le(Offset::toneB);
    return v;
}

ReadResult ReadSettingsFile(const std::string& path) {
    ReadResult result;
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        result.status = FileStatus::CantOpen;
        result.detail = DescribeFileError(path, errno);
        Trace("open for reading failed: %s\n", result.detail.c_str());
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = FileStatus::CantOpen;
        result.detail = NotRegular(path, st);
        Trace("open for reading failed: %s\n", result.detail.c_str());
        return result;
    }
    KvxImage image;
    const ssize_t n = ReadFully(fd.get(), image.bytes().data(), kFileSize);
    if (n < 0) {
        result.status = FileStatus::CantOpen;
        result.detail = DescribeFileError(path, errno);
        return result;
    }
    const auto size = static_cast<std::size_t>(n);
    if (size < Offset::optionSelections || !image.HasSettingsIdentifier()) {
        result.status = FileStatus::NotSettingsFile;
        result.detail = path + ": not a settings file";
        return result;
    }
    if (size < kFileSize) {
        // A cut-short file would mix its values with the ones on screen.
        result.status = FileStatus::NotSettingsFile;
        result.detail = path + ": the file is " + std::to_string(size) + " bytes long, a settings file has " +
                        std::to_string(kFileSize) + " (damaged or cut short)";
        return result;
    }
    result.values = DecodeKvx(image);
    return result;
}

namespace {

// The old way: the file itself, opened without truncation, the written
// ranges overwritten in place. Used only where no file can be made beside it.
WriteResult WriteInPlace(const std::string& path, const KvxImage& image) {
    WriteResult result;
    // O_NONBLOCK so that a FIFO at the path cannot hang the save.
    Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0666));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0) {
        result.status = FileStatus::CantOpen;
        result.detail = DescribeFileError(path, errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = FileStatus::CantOpen;
        result.detail = NotRegular(path, st);
        return result;
    }
    for (const Range& r : kWrittenRanges) {
        if (!WriteFully(fd.get(), image.bytes().data() + r.offset, r.size, r.offset)) {
            result.status = FileStatus::WriteFailed;
            result.detail = DescribeFileError(path, errno);
            return result;
        }
    }
    if (::fsync(fd.get()) != 0 || ::close(fd.release()) != 0) {
        result.status = FileStatus::WriteFailed;
        result.detail = DescribeFileError(path, errno);
    }
    return result;
}

// Reads a whole existing file; false with errno set when it cannot.
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

}  // namespace

WriteResult WriteSettingsFile(const std::string& path, const KvxValues& values) {
    WriteResult result;
    const KvxImage image = EncodeKvx(values);

    // Save through a link into the file it names, not over the link.
    std::string target = path;
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    // The new file starts as the old one, so that the bytes Save does not
    // own (and any past the 2048th) survive.
    std::vector<std::uint8_t> content;
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists) {
        if (!S_ISREG(old.st_mode)) {
            result.status = FileStatus::CantOpen;
            result.detail = NotRegular(path, old);
            return result;
        }
        if (::access(target.c_str(), W_OK) != 0) {
            result.status = FileStatus::CantOpen;
            result.detail = DescribeFileError(path, errno);
            return result;
        }
        Fd in(::open(target.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
        if (in.get() < 0 || !ReadAll(in.get(), content)) return WriteInPlace(path, image);
    }
    if (content.size() < kFileSize) content.resize(kFileSize, 0);
    for (const Range& r : kWrittenRanges)
        std::copy_n(image.bytes().begin() + static_cast<std::ptrdiff_t>(r.offset), r.size,
                    content.begin() + static_cast<std::ptrdiff_t>(r.offset));

    // A complete new file beside the old one, then renamed over it: the
    // path always holds either the whole old file or the whole new one.
    const std::filesystem::path t(target);
    const std::string dir = t.has_parent_path() ? t.parent_path().string() : std::string(".");
    std::string temp = dir + "/." + t.filename().string() + ".XXXXXX";
    const int tfd = ::mkstemp(temp.data());
    if (tfd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            result.status = FileStatus::CantOpen;
            result.detail = DescribeFileError(path, errno);
            return result;
        }
        return WriteInPlace(path, image);  // a folder we may not add files to
    }
    Fd out(tfd);
    auto fail = [&](int error) {
        ::unlink(temp.c_str());
        result.status = FileStatus::WriteFailed;
        result.detail = DescribeFileError(path, error);
        return result;
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
    return result;
}

}  // namespace orvex::kvx
