#include "tools/sim/SimMemoryFile.h"

#include <cstdio>
#include <filesystem>

#include "files/SettingsFile.h"
#include "settings/QMDataMng.h"

namespace orvex::sim {

Outcome<RadioMemory> LoadMemory(const std::string& path) {
    const kvx::ReadResult r = kvx::ReadSettingsFile(path);
    if (!r.ok()) return r.problem();
    RadioMemory memory;
    memory.records = r.values.records;
    memory.bandPlan = r.values.bandPlan;
    memory.emgChannel = r.values.emgChannel;
    for (int i = 0; i < kChannelEnableCount; ++i) memory.flags[i] = r.values.channelEnable[i] ? 1 : 0;
    return memory;
}

Outcome<void> SaveMemoryKvx(const std::string& path, const RadioMemory& memory) {
    RadioSettings s;
    s.m_channels = memory.records;
    s.m_nBandPlan = memory.bandPlan;
    s.m_nEmgChannel = memory.emgChannel;
    for (int i = 0; i < kChannelEnableCount; ++i) s.b_CHcheck[i] = memory.flags[i];
    // Written as a whole new file renamed over the old one: a reader never
    // sees half of it.
    return kvx::WriteSettingsFile(path, kvx::MakeKvxValues(s));
}

Outcome<void> SaveMemoryJson(const std::string& path, const RadioMemory& m, int reads, int writes) {
    const Problem cannotWrite{.what = "cannot write", .where = path};
    const std::string temp = path + ".tmp";
    FILE* f = std::fopen(temp.c_str(), "w");
    if (!f) return cannotWrite;
    std::fprintf(f, "{\"band_plan\": %d, \"emergency_channel\": %d, \"reads\": %d, \"writes\": %d,\n", m.bandPlan,
                 m.emgChannel, reads, writes);
    std::fprintf(f, " \"channel_enable\": [");
    for (int i = 0; i < kChannelEnableCount; ++i) std::fprintf(f, "%s%d", i ? ", " : "", m.flags[i]);
    std::fprintf(f, "],\n \"channels\": [\n");
    for (int i = 0; i < kChannelCount; ++i) {
        const ChannelEntry& r = m.records[i];
        std::fprintf(f,
                     "  {\"number\": %d, \"frequency\": \"%s\", \"code\": %u, \"rx_code\": %u, \"slot_a\": %d, "
                     "\"slot_b\": %d}%s\n",
                     r.m_nNumber, FrequencyTextFromCode(r.m_wFreq).c_str(), r.m_wFreq, m.rxCode[i], m.slotA[i],
                     m.slotB[i], i + 1 < kChannelCount ? "," : "");
    }
    std::fprintf(f, " ]}\n");
    const bool ok = std::fclose(f) == 0;
    std::error_code ec;
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) return cannotWrite;
    return {};
}

}  // namespace orvex::sim
