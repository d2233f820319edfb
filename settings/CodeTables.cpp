#include "settings/CodeTables.h"

#include <string>

namespace orvex {
namespace {

constexpr std::string_view kDelaySteps[] = {"D", "3", "6", "9", "12", "15"};
constexpr std::string_view kDelaySteps1022[] = {"D", "1", "2", "9", "12", "15"};
constexpr std::string_view kMinutes[] = {"1", "2", "3", "5", "10 ", "15 ", "20 ", "30 ", "45 ", "60 "};
constexpr std::string_view kMilliseconds[] = {"100 mSec", "150 mSec", "200 mSec", "250 mSec", "300 mSec",
                                              "350 mSec", "400 mSec", "500 mSec", "600 mSec", "700 mSec"};
constexpr std::string_view kSeconds[] = {"1 Sec", "2 Sec", "3 Sec", "4 Sec", "5 Sec",
                                         "10 Sec", "15 Sec", "20 Sec", "30 Sec"};

// "1 CH" .. "128 CH", built once; string_views point into the stored strings.
const std::array<std::string_view, 128>& ChannelCountEntries() {
    static const std::array<std::string, 128> texts = [] {
        std::array<std::string, 128> t;
        for (int i = 0; i < 128; ++i) t[i] = std::to_string(i + 1) + " CH";
        return t;
    }();
    static const std::array<std::string_view, 128> views = [] {
        std::array<std::string_view, 128> v;
        for (int i = 0; i < 128; ++i) v[i] = texts[i];
        return v;
    }();
    return views;
}

}  // namespace

int EmgChannelFromText(std::string_view text) {
    for (int i = 0; i < kEmgChannelNotFound; ++i)
        if (EMG_CHANNEL_NAMES[i] == text) return i;
    return kEmgChannelNotFound;
}

std::string_view ChannelCaption(int n) {
    return (n >= 1 && n <= kChannelEnableCount) ? EMG_CHANNEL_NAMES[n] : std::string_view{};
}

const std::array<OptionList, kOptionListCount>& OptionLists() {
    static const std::array<OptionList, kOptionListCount> lists = {{
        {1010, ChannelCountEntries()},
        {1004, kDelaySteps},
        {1018, {}},
        {1017, {}},
        {1008, kDelaySteps},
        {1009, kDelaySteps},
        {1019, kDelaySteps},
        {1020, {}},
        {1007, kMinutes},
        {1021, kMinutes},
        {1022, kDelaySteps1022},
        {1023, kDelaySteps},
        {1024, kMilliseconds},
        {1016, kDelaySteps},
        {1026, kSeconds},
        {1025, kSeconds},
    }};
    return lists;
}

int OptionListIndex(int controlId) {
    const auto& lists = OptionLists();
    for (int i = 0; i < kOptionListCount; ++i)
        if (lists[i].controlId == controlId) return i;
    return -1;
}

}  // namespace orvex
