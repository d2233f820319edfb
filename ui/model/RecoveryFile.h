#pragma once
// The file that keeps a form's unsaved state across a closed window or a
// crash. It is a text of key=value lines between a first line naming the
// program and the format and a last line holding the length and CRC-32 of
// everything before it, so a foreign, cut-short or damaged file is told
// apart from ours instead of being brought back half-right.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "files/FileStore.h"
#include "ui/model/FormSnapshot.h"

namespace orvex::recovery {

inline constexpr int kFormatVersion = 1;
inline constexpr std::string_view kMagicLine = "ORVEX Programmer recovery file";
inline constexpr std::string_view kFileExtension = ".orvexrec";
// Far beyond any real form; keeps a foreign giant from being read whole.
inline constexpr std::size_t kMaxFileBytes = 4u << 20;

std::string Encode(const FormSnapshot& state);

struct Decoded {
    bool ok = false;
    FormSnapshot state;  // meaningful only when ok
    std::string reason;  // why not, for the user (no path)
};

// Any bytes at all: either the exact state Encode was given, or a refusal.
Decoded Decode(std::span<const std::uint8_t> bytes);
Decoded Decode(std::string_view text);

// The same, from a file; the reason then starts with the path.
Decoded ReadFile(const std::string& path);
// Crash-safe: the path holds the old or the new file at every moment.
filestore::Result WriteFile(const std::string& path, const FormSnapshot& state);

std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace orvex::recovery
