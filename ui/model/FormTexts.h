#pragma once
// Texts of the form and of the file commands.
#include <string_view>

namespace orvex::texts {

inline constexpr std::string_view kCaption = "ORVEX Programmer Ver 1.1.2";
inline constexpr std::string_view kCantMakeFile = "Can't make file.";
inline constexpr std::string_view kCantReadFile = "Can't read file.";
// Says that the named file is not a valid settings file; %s is the file name.
inline constexpr std::string_view kNotSettingsFileFormat = "\"%s\"는 잘못된 qmd파일입니다.";
inline constexpr std::string_view kFrequencyRefused = "Frequency is out of range or Not step 2.5Khz";
inline constexpr std::string_view kTotalRangeHint = "TOTAL FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz";
inline constexpr std::string_view kColumnRangeHint = "FREQUENCY RANGE : 26.0000 MHz ~ 30.0000 MHz";
inline constexpr std::string_view kEmgChannelCheck = " Emg Channel check !";
// The status line after the emergency channel's own box was cleared: the
// channel cleared, then the one now selected.
inline constexpr std::string_view kEmgChannelMovedFormat = "%s is disabled: Emg Channel is now %s";
inline constexpr std::string_view kNoEmgChannel = "none (enable a channel to choose one)";
inline constexpr std::string_view kBlankEmgChannel = "blank";

}  // namespace orvex::texts
