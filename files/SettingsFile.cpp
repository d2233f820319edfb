#include "files/SettingsFile.h"

#include <algorithm>
#include <vector>

#include "files/FileStore.h"
#include "settings/Trace.h"

namespace orvex::kvx {

KvxValues MakeKvxValues(const RadioSettings& s) {
    auto low = [](long value) { return static_cast<std::uint8_t>(value & 0xFF); };
    KvxValues v;
    for (int i = 0; i < kOptionListCount; ++i) v.optionSelections[i] = low(s.OptionSelection(i));
    for (int i = 0; i < 4; ++i) v.alignment[i] = low(s.Alignment(i));
    for (int i = 0; i < kOptionFlagCount; ++i)
        if (s.OptionFlag(i)) v.optionFlags |= static_cast<std::uint8_t>(1u << i);
    v.bandPlan = s.m_nBandPlan;
    v.emgChannel = s.m_nEmgChannel;
    for (int i = 0; i < kChannelEnableCount; ++i) v.channelEnable[i] = low(s.b_CHcheck[i]);
    v.records = s.m_channels;
    v.optionBlock = s.m_optionBlock;
    v.toneA = s.m_dToneAFreq;
    v.toneB = s.m_dToneBFreq;
    return v;
}

KvxImage EncodeKvx(const KvxValues& v) {
    KvxImage image;
    image.setText(Offset::header, kHeaderSize, kHeaderText);
    image.setText(Offset::version, kVersionSize, kVersionText);
    image.setBytes(Offset::identifier, kIdentifier);
    image.setUInt8(Offset::formatMajor, kFormatMajor);
    image.setUInt8(Offset::formatMinor, kFormatMinor);
    image.setBytes(Offset::optionSelections, v.optionSelections);
    image.setBytes(Offset::alignment, v.alignment);
    image.setUInt8(Offset::optionFlags, v.optionFlags);
    image.setUInt8(Offset::bandPlan, v.bandPlan);
    image.setUInt8(Offset::emgChannel, v.emgChannel);
    image.setBytes(Offset::channelEnable, v.channelEnable);
    for (int i = 0; i < kChannelCount; ++i)
        image.setBytes(Offset::channelRecords + i * ChannelEntry::kSize, v.records[i].ToBytes());
    image.setBytes(Offset::optionBlock, v.optionBlock);
    image.setDouble_le(Offset::toneA, v.toneA);
    image.setDouble_le(Offset::toneB, v.toneB);
    image.setUInt8(Offset::trailer, kTrailer);
    return image;
}

KvxValues DecodeKvx(const KvxImage& image) {
    KvxValues v;
    auto copy = [&](auto& field, std::size_t offset) {
        const auto src = image.slice(offset, field.size());
        std::copy(src.begin(), src.end(), field.begin());
    };
    copy(v.optionSelections, Offset::optionSelections);
    copy(v.alignment, Offset::alignment);
    v.optionFlags = image.getUInt8(Offset::optionFlags);
    v.bandPlan = image.getUInt8(Offset::bandPlan);
    v.emgChannel = image.getUInt8(Offset::emgChannel);
    copy(v.channelEnable, Offset::channelEnable);
    for (int i = 0; i < kChannelCount; ++i) {
        const auto rec = image.slice(Offset::channelRecords + i * ChannelEntry::kSize, ChannelEntry::kSize);
        v.records[i] = ChannelEntry::FromBytes(std::span<const std::uint8_t, ChannelEntry::kSize>(rec));
    }
    copy(v.optionBlock, Offset::optionBlock);
    v.toneA = image.getDouble_le(Offset::toneA);
    v.toneB = image.getDouble_le(Offset::toneB);
    return v;
}

ReadResult ReadSettingsFile(const std::string& path) {
    std::vector<std::uint8_t> head;
    if (const filestore::Result r = filestore::ReadHead(path, kFileSize, head); !r.ok()) {
        Trace("open for reading failed: %s\n", r.problem().Text().c_str());
        return {FileStatus::CantOpen, r.problem()};
    }
    KvxImage image;
    std::copy(head.begin(), head.end(), image.bytes().begin());
    const std::size_t size = head.size();
    if (size < Offset::optionSelections || !image.HasSettingsIdentifier())
        return {FileStatus::NotSettingsFile, Problem{.where = path, .why = "not a settings file"}};
    if (size < kFileSize) {
        // A cut-short file would mix its values with the ones on screen.
        return {FileStatus::NotSettingsFile,
                Problem{.where = path,
                        .why = "the file is " + std::to_string(size) + " bytes long, a settings file has " +
                               std::to_string(kFileSize) + " (damaged or cut short)"}};
    }
    ReadResult result;
    result.values = DecodeKvx(image);
    return result;
}

WriteResult WriteSettingsFile(const std::string& path, const KvxValues& values) {
    const KvxImage image = EncodeKvx(values);
    std::vector<filestore::Patch> patches;
    for (const Range& r : kWrittenRanges)
        patches.push_back({r.offset, std::span<const std::uint8_t>(image.bytes().data() + r.offset, r.size)});
    const filestore::Result w = filestore::PatchFile(path, patches, kFileSize);
    if (w.ok()) return {};
    Trace("save failed: %s\n", w.problem().Text().c_str());
    return {w.status == filestore::Status::WriteFailed ? FileStatus::WriteFailed : FileStatus::CantOpen, w.problem()};
}

}  // namespace orvex::kvx
