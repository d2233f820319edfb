#include "ui/model/SettingsCompare.h"

#include "files/KvxLayout.h"
#include "files/SettingsFile.h"
#include "ui/model/CompareTexts.h"
#include "ui/model/VerifyTexts.h"

namespace orvex {
namespace {

// Each %s of pattern in turn takes the next value.
std::string Fill(std::string_view pattern, std::initializer_list<std::string> values) {
    std::string out;
    auto next = values.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && next != values.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string FrequencyShown(const std::string& cellText) {
    if (cellText == texts::kVerifyRowNotReadBack) return cellText;
    const std::optional<std::uint16_t> code = FrequencyCodeFromText(cellText);
    if (!code) return "\"" + cellText + "\"";
    const std::string text = FrequencyTextFromCode(*code);
    return text.empty() ? std::string(texts::kVerifyEmptyChannel) : text;
}

std::string BandPlanShown(int modeSel) {
    if (modeSel < 0 || modeSel >= kBandPlanCount) return std::string(texts::kVerifyNoBandPlan);
    return std::string(BAND_PLAN_NAMES[modeSel]);
}

// The list's blank entry and a list showing nothing both mean no channel,
// though Save stores them differently (the byte then counts among the others).
int EmgMeaning(int channel) { return channel >= 1 && channel <= kChannelEnableCount ? channel : 0; }

bool SameCell(const std::string& a, const std::string& b) {
    // A row a read did not give back matches nothing.
    if (a == texts::kVerifyRowNotReadBack || b == texts::kVerifyRowNotReadBack) return false;
    const std::optional<std::uint16_t> ac = FrequencyCodeFromText(a), bc = FrequencyCodeFromText(b);
    return ac && bc ? *ac == *bc : a == b;
}

// The offsets Save stores a listed field at: the row's record number and
// frequency code, the band plan's byte, and so on.
std::vector<std::size_t> StoredOffsets(const SettingDifference& d) {
    namespace Offset = kvx::Offset;
    switch (d.kind) {
        case SettingField::Row: {
            const std::size_t record = Offset::channelRecords + static_cast<std::size_t>(d.index - 1) * ChannelEntry::kSize;
            return {record, record + 1, record + 2};
        }
        case SettingField::BandPlan: return {Offset::bandPlan};
        case SettingField::EmgChannel: return {Offset::emgChannel};
        case SettingField::ChannelFlag: return {Offset::channelEnable + static_cast<std::size_t>(d.index - 1)};
    }
    return {};
}

// Which part of the file an offset lies in, so a user can tell a stale
// record copy from the tones; empty outside what Save writes.
std::string_view StoredRegion(std::size_t offset) {
    namespace Offset = kvx::Offset;
    struct Region {
        std::size_t end;  // one past its last byte
        std::string_view name;
    };
    static constexpr Region kRegions[] = {
        {Offset::version, "header"},
        {Offset::version + kvx::kVersionSize, "version"},
        {Offset::identifier, ""},
        {Offset::optionSelections, "identifier"},
        {Offset::alignment, "option lists"},
        {Offset::optionFlags, "alignment"},
        {Offset::bandPlan, "option flags"},
        {Offset::emgChannel, "band plan"},
        {Offset::channelEnable, "emergency channel"},
        {Offset::channelEnable + kChannelEnableCount, "channel flags"},
        {Offset::channelRecords, ""},
        {Offset::channelRecords + kChannelCount * ChannelEntry::kSize, "channel records"},
        {Offset::optionBlock, ""},
        {Offset::toneA, "option block"},
        {Offset::toneB + sizeof(double), "tones"},
        {Offset::trailer, ""},
        {kvx::kFileSize, "end mark"},
    };
    for (const Region& r : kRegions)
        if (offset < r.end) return r.name;
    return {};
}

}  // namespace

std::string EmgChannelShown(int channel) {
    const int n = EmgMeaning(channel);
    return n == 0 ? std::string(texts::kVerifyNoEmgChannel) : std::string(ChannelCaption(n));
}

std::vector<SettingDifference> CompareFields(const ComparedFields& first, const ComparedFields& second,
                                             bool withEmgAndFlags) {
    std::vector<SettingDifference> out;
    for (int row = 1; row <= kChannelCount; ++row) {
        const std::string& a = first.cells[row - 1];
        const std::string& b = second.cells[row - 1];
        if (!SameCell(a, b)) out.push_back({SettingField::Row, row, RowLabel(row), FrequencyShown(a), FrequencyShown(b)});
    }
    if (first.modeSel != second.modeSel)
        out.push_back({SettingField::BandPlan, 0, std::string(texts::kVerifyBandPlanField),
                       BandPlanShown(first.modeSel), BandPlanShown(second.modeSel)});
    if (!withEmgAndFlags) return out;
    if (EmgMeaning(first.emgChannel) != EmgMeaning(second.emgChannel))
        out.push_back({SettingField::EmgChannel, 0, std::string(texts::kVerifyEmgField),
                       EmgChannelShown(first.emgChannel), EmgChannelShown(second.emgChannel)});
    for (int n = 1; n <= kChannelEnableCount; ++n) {
        const bool a = first.flags[n - 1] != 0, b = second.flags[n - 1] != 0;
        if (a != b)
            out.push_back({SettingField::ChannelFlag, n, std::string(ChannelCaption(n)),
                           std::string(a ? texts::kVerifyOn : texts::kVerifyOff),
                           std::string(b ? texts::kVerifyOn : texts::kVerifyOff)});
    }
    return out;
}

FormComparison CompareForms(const FormModel& first, const FormModel& second) {
    const auto fields = [](const FormModel& f) {
        return ComparedFields{f.Cells(), f.ModeSelection(), EmgChannelForSave(f), f.Settings().b_CHcheck};
    };
    FormComparison out;
    out.fields = CompareFields(fields(first), fields(second), true);
    const std::optional<kvx::KvxValues> a = first.ValuesForSave(), b = second.ValuesForSave();
    if (!a || !b) {
        out.bytesCompared = false;
        return out;
    }
    const kvx::KvxImage imageA = kvx::EncodeKvx(*a), imageB = kvx::EncodeKvx(*b);
    std::array<bool, kvx::kFileSize> listed{};
    for (const SettingDifference& d : out.fields)
        for (std::size_t offset : StoredOffsets(d)) listed[offset] = true;
    for (std::size_t offset = 0; offset < kvx::kFileSize; ++offset) {
        if (listed[offset] || imageA.getUInt8(offset) == imageB.getUInt8(offset)) continue;
        if (out.otherBytes++ == 0) out.firstOtherOffset = offset;
    }
    return out;
}

std::optional<std::string> OtherBytesLine(const FormComparison& c) {
    const std::string field = std::string(texts::kOtherBytesField) + ": ";
    if (!c.bytesCompared) return field + std::string(texts::kOtherBytesNotCompared);
    if (c.otherBytes == 0) return std::nullopt;
    const std::string_view region = StoredRegion(c.firstOtherOffset);
    std::string where = std::to_string(c.firstOtherOffset);
    if (!region.empty()) where += " (" + std::string(region) + ")";
    return field + Fill(c.otherBytes == 1 ? texts::kOtherByteDiffers : texts::kOtherBytesDiffer,
                        {std::to_string(c.otherBytes), where});
}

std::vector<std::string> ComparisonLines(const FormComparison& c) {
    std::vector<std::string> lines;
    const std::string separator(texts::kCompareSeparator);
    for (const SettingDifference& d : c.fields) lines.push_back(d.field + ": " + d.first + separator + d.second);
    if (std::optional<std::string> other = OtherBytesLine(c)) lines.push_back(std::move(*other));
    return lines;
}

std::vector<std::string> ComparisonReport(const FormComparison& c, const std::string& firstName,
                                          const std::string& secondName) {
    if (c.Same()) return {Fill(texts::kSidesSame, {firstName, secondName})};
    std::vector<std::string> lines = {firstName + std::string(texts::kCompareSeparator) + secondName};
    for (std::string& line : ComparisonLines(c)) lines.push_back(std::move(line));
    return lines;
}

UserMessage CompareWithFileMessage(const FormComparison& c, const std::string& fileName) {
    if (c.Same()) return {Fill(texts::kFormSameAsFile, {fileName}), {}, MsgIcon::None};
    const std::size_t count = c.Count();
    std::string text = count == 1 ? Fill(texts::kFormDiffersOnce, {fileName})
                                  : Fill(texts::kFormDiffers, {std::to_string(count), fileName});
    std::string detail;
    for (const std::string& line : ComparisonReport(c, std::string(texts::kTheForm), fileName))
        detail += (detail.empty() ? "" : "\n") + line;
    return {std::move(text), std::move(detail), MsgIcon::None};
}

}  // namespace orvex
