#pragma once
// The main form's layout in dialog units (left, top, width, height), as
// the form template has it; converted with the form's font at start.
namespace orvex::form {

struct DluRect {
    int x, y, w, h;
};

// The painted titles; they also name their frames for a screen reader.
inline constexpr const char* kChannelTitleText = "Channel Status";
inline constexpr const char* kSystemTitleText = "System Option";
inline constexpr const char* kProgressName = "Progress";

inline constexpr int kFormWidth = 355;
inline constexpr int kFormHeight = 213;

inline constexpr DluRect kChannelGroup{9, 13, 124, 163};
inline constexpr DluRect kChannelTitle{15, 10, 72, 10};
inline constexpr DluRect kChannelTable{11, 27, 120, 146};
inline constexpr DluRect kSystemGroup{133, 13, 213, 163};
inline constexpr DluRect kSystemTitle{136, 10, 70, 11};
inline constexpr DluRect kSouthAfricaGroup{136, 24, 207, 113};
inline constexpr DluRect kChannelEnableGroup{140, 39, 199, 77};
inline constexpr DluRect kEmgLabel{141, 122, 45, 9};
inline constexpr DluRect kEmgList{189, 120, 53, 85};
inline constexpr DluRect kBandGroup{136, 144, 207, 28};
inline constexpr DluRect kModeLabel{142, 156, 45, 9};
inline constexpr DluRect kModeList{189, 153, 80, 85};
inline constexpr DluRect kStatusLine{9, 178, 338, 14};
inline constexpr DluRect kProgress{9, 193, 338, 13};

// Channel boxes: five columns, CH 01..CH 05 down the first.
inline constexpr int kBoxColumnX[5] = {147, 184, 222, 261, 300};
inline constexpr int kBoxRowY[5] = {51, 64, 77, 89, 102};
inline constexpr int kBoxRowYRight[5] = {51, 64, 77, 90, 103};  // columns 3..5 sit a unit lower
inline constexpr int kBoxWidth = 36;
inline constexpr int kBoxHeight = 10;

}  // namespace orvex::form
