#pragma once
// The fixed tables that give the radio's values their texts.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace orvex {

inline constexpr int kBandPlanCount = 5;
inline constexpr int kBandPlanSouthAfrica = 3;  // the only plan with channel enable flags

inline constexpr std::array<std::string_view, kBandPlanCount> BAND_PLAN_NAMES = {
    "Australian Marine", "Australian Land CB", "New Zealand CB", "South Africa", "New Guinea Marine",
};

inline constexpr int kChannelEnableCount = 23;  // CH 01 .. CH 23
inline constexpr int kEmgChannelNotFound = 25;

// An emergency channel beyond CH 23 (a list entry no box stands for) is
// taken as none.
inline constexpr std::uint8_t LimitEmgChannel(std::uint8_t n) { return n > kChannelEnableCount ? 0 : n; }

// Index 0 is five blanks (no channel); n = 1..25 is "CH nn".
inline constexpr std::array<std::string_view, 26> EMG_CHANNEL_NAMES = {
    "     ", "CH 01", "CH 02", "CH 03", "CH 04", "CH 05", "CH 06", "CH 07", "CH 08",
    "CH 09", "CH 10", "CH 11", "CH 12", "CH 13", "CH 14", "CH 15", "CH 16", "CH 17",
    "CH 18", "CH 19", "CH 20", "CH 21", "CH 22", "CH 23", "CH 24", "CH 25",
};

// First exact match among entries 0..24, otherwise kEmgChannelNotFound.
int EmgChannelFromText(std::string_view text);

// The caption of channel box n (1..23), which is also its emergency list text.
std::string_view ChannelCaption(int n);

// One hidden option list: its control id and its entries in list order.
struct OptionList {
    int controlId;
    std::span<const std::string_view> entries;
};

inline constexpr int kOptionListCount = 16;

// The sixteen option lists, in the order their selections lie in the settings
// file (1010 first, 1025 last).
const std::array<OptionList, kOptionListCount>& OptionLists();

// Position of a control id in OptionLists(), or -1.
int OptionListIndex(int controlId);

// A list keeps a selection only if it names an existing entry; -1 is "none".
inline int LimitSelection(int index, std::size_t entryCount) {
    return (index >= 0 && static_cast<std::size_t>(index) < entryCount) ? index : -1;
}

}  // namespace orvex
