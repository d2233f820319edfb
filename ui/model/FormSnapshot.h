#pragma once
// The whole state of the form a user could lose: every value behind it, the
// cells as typed, the band plan chosen, the emergency channel list and the
// caption naming the file it came from. Equal snapshots mean nothing is left unsaved.
#include <string>
#include <vector>

#include "settings/QMDataMng.h"
#include "settings/RadioSettings.h"

namespace orvex {

struct FormSnapshot {
    RadioSettings settings;
    ChannelCells cells;
    int modeSel = 0;  // "Mode Select": 0..4, or -1 for none
    std::vector<std::string> emgItems;
    int emgSelection = -1;
    std::string caption;

    bool operator==(const FormSnapshot&) const = default;
};

}  // namespace orvex
