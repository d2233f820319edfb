#pragma once
// Reading the start of a file and replacing files so that no moment leaves
// a half-written one, over the platform's own file calls (POSIX or Win32).
// Paths are UTF-8.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "settings/Problem.h"

namespace orvex::filestore {

enum class Status {
    Ok,
    Missing,      // no file at the path
    CantOpen,     // it cannot be opened, or is not a regular file
    WriteFailed,  // opened, but writing or replacing it failed
};

// Nothing, or the problem with the file; status tells callers that choose
// by it what kind of failure it was.
struct Result : Outcome<void> {
    Status status = Status::Ok;
    Result() = default;
    Result(Status failure, Problem problem) : Outcome<void>(std::move(problem)), status(failure) {}
};

// Reads at most maxBytes from the start of the regular file at path into
// out. A folder, a device or a FIFO is refused, and never blocks the caller.
Result ReadHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out);

struct Patch {
    std::size_t offset;
    std::span<const std::uint8_t> bytes;
};

// Writes the patches into the file at path, which is created when missing
// and is at least minSize bytes long afterwards (zero-filled). Every byte
// outside the patches keeps its value. The path holds the whole old or the
// whole new file at every moment: the new content goes into a file beside
// it, reaches the disk, and then takes the old one's place with its
// permissions; through a symbolic link, the linked file is the one replaced.
// Only where the folder takes no new file are the patches written in place.
Result PatchFile(const std::string& path, std::span<const Patch> patches, std::size_t minSize);

// Replaces the whole file at path by content, in the same safe way. There
// is no in-place way out here: where the folder takes no new file, this
// fails and the old file stays as it was.
Result ReplaceWholeFile(const std::string& path, std::span<const std::uint8_t> content);

// A UTF-8 path as the platform's path type (on Windows a narrow path would
// be read in the ANSI code page).
std::filesystem::path PathFromUtf8(const std::string& utf8);
// The reverse: a path as UTF-8 text, whatever the platform's path type.
std::string Utf8FromPath(const std::filesystem::path& path);

// Why a file operation failed: the path, the system's reason and a fix
// where one helps. code is errno on POSIX and GetLastError() on Windows.
Problem DescribeError(const std::string& path, int code);

namespace detail {
// The patched content: old, grown to minSize, with every patch laid over it.
void ApplyPatches(std::vector<std::uint8_t>& content, std::span<const Patch> patches, std::size_t minSize);
}  // namespace detail

}  // namespace orvex::filestore
