#pragma once
// Texts of Write and Verify.
#include <string_view>

namespace orvex::texts {

inline constexpr std::string_view kVerifyOk = "VERIFY OK";
inline constexpr std::string_view kVerifyOkDetail = "The radio gave back what was written.";
inline constexpr std::string_view kVerifyDiffers = "VERIFY FAILED: the radio gave back other values than were written";
inline constexpr std::string_view kVerifyBackupIntro = "What the radio held before the write is kept in ";
inline constexpr std::string_view kVerifyStoppedIntro = "Write and Verify stopped while ";
inline constexpr std::string_view kStepReadBefore = "reading what the radio held (step 1 of 3)";
inline constexpr std::string_view kStepWrite = "writing to the radio (step 2 of 3)";
inline constexpr std::string_view kStepReadBack = "reading the radio back (step 3 of 3)";
inline constexpr std::string_view kStepReadBeforeLeaves = "Nothing was written to the radio.";
inline constexpr std::string_view kStepWriteLeaves =
    "The radio may hold part of the new settings: write them again, or write the backup back.";
inline constexpr std::string_view kStepReadBackLeaves =
    "The radio confirmed the write, but it could not be read back: read it to check what it holds.";
inline constexpr std::string_view kVerifyStepDeclined = "The step did not start.";
inline constexpr std::string_view kVerifyBandPlanField = "Band plan";
inline constexpr std::string_view kVerifyEmgField = "Emg Channel";
inline constexpr std::string_view kVerifyEmptyChannel = "(empty)";
inline constexpr std::string_view kVerifyRowNotReadBack = "(not read back)";
// Shown where a setting holds no value at all.
inline constexpr std::string_view kNoneShown = "(none)";
inline constexpr std::string_view kVerifyNoBandPlan = kNoneShown;
inline constexpr std::string_view kVerifyNoEmgChannel = kNoneShown;
inline constexpr std::string_view kVerifyOn = "on";
inline constexpr std::string_view kVerifyOff = "off";

}  // namespace orvex::texts
