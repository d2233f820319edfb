#pragma once
// Reading and writing .kvx settings files.
#include <array>
#include <cstdint>
#include <string>

#include "files/KvxLayout.h"
#include "settings/Problem.h"
#include "settings/RadioSettings.h"

namespace orvex::kvx {

// The values a settings file carries, as stored bytes.
struct KvxValues {
    std::array<std::uint8_t, kOptionListCount> optionSelections{};  // OptionLists() order, 255 = none
    std::array<std::uint8_t, 4> alignment{};
    std::uint8_t optionFlags = 0;  // bit 0 = first option flag
    std::uint8_t bandPlan = 0;
    std::uint8_t emgChannel = 0;
    std::array<std::uint8_t, kChannelEnableCount> channelEnable{};
    std::array<ChannelEntry, kChannelCount> records{};
    std::array<std::uint8_t, kOptionBlockSize> optionBlock{};
    double toneA = 0;
    double toneB = 0;
};

// The stored bytes of a settings model: selections as their low byte (255
// for none), option flags packed bit 0 first, band plan and emergency
// channel as the model holds them.
KvxValues MakeKvxValues(const RadioSettings& settings);

// Complete image of a file holding these values; ranges Save does not write
// are zero.
KvxImage EncodeKvx(const KvxValues& values);
KvxValues DecodeKvx(const KvxImage& image);

enum class FileStatus {
    Ok,
    CantOpen,         // "Can't read file." / "Can't make file."
    NotSettingsFile,  // the identifier check failed, or the file is cut short
    WriteFailed,      // "Can't make file."
};

// Nothing, or the problem with the file ("<path>: Permission denied");
// status tells callers that choose a message by it what kind it was.
struct ReadResult : Outcome<void> {
    FileStatus status = FileStatus::Ok;
    KvxValues values{};  // only when ok()
    ReadResult() = default;
    ReadResult(FileStatus failure, Problem problem) : Outcome<void>(std::move(problem)), status(failure) {}
};

// Reads and checks a settings file. Only a complete file is accepted.
ReadResult ReadSettingsFile(const std::string& path);

struct WriteResult : Outcome<void> {
    FileStatus status = FileStatus::Ok;
    WriteResult() = default;
    WriteResult(FileStatus failure, Problem problem) : Outcome<void>(std::move(problem)), status(failure) {}
};

// Writes the ranges Save owns into the file at path, creating it when
// missing. An existing file is not truncated: the other bytes, and any bytes
// past the 2048th, stay as they were.
WriteResult WriteSettingsFile(const std::string& path, const KvxValues& values);

}  // namespace orvex::kvx
