#include <gtest/gtest.h>

#include <string>

#include "support/KvxSample.h"
#include "ui/model/RecoveryFile.h"
#include "ui/model/RecoveryTexts.h"

namespace orvex {
namespace {

// Every value away from its default, so a field the file forgot to carry
// comes back different; cells hold what typing or pasting can produce.
FormSnapshot RichSnapshot() {
    FormSnapshot s;
    RadioSettings& r = s.settings;
    for (int i = 0; i < kChannelCount; ++i) {
        std::array<std::uint8_t, ChannelEntry::kSize> bytes{};
        for (std::size_t b = 0; b < bytes.size(); ++b) bytes[b] = static_cast<std::uint8_t>(i * 17 + b * 29 + 3);
        r.m_channels[i] = ChannelEntry::FromBytes(bytes);
    }
    r.m_nBandPlan = kBandPlanSouthAfrica;
    r.m_nEmgChannel = 19;
    for (int i = 0; i < kChannelEnableCount; ++i) r.b_CHcheck[i] = (i * 7) % 3 == 0;
    for (int i = 0; i < 4; ++i) r.Alignment(i) = 11 + 50 * i;
    for (int i = 0; i < kOptionListCount; ++i)
        r.OptionSelection(i) = static_cast<int>(OptionLists()[i].entries.size()) - 1;  // the last, or none
    for (int i = 0; i < kOptionFlagCount; ++i) r.OptionFlag(i) = 1 - kOptionFlagDefaults[i];
    for (std::size_t i = 0; i < r.m_optionBlock.size(); ++i) r.m_optionBlock[i] = static_cast<std::uint8_t>(255 - i * 9);
    r.m_dToneAFreq = 0.1 + 0.2;  // not the shortest decimal of itself
    r.m_dToneBFreq = 1.0 / 3.0;
    s.cells = {"", "27.", "27.0125", "a=b\\x41\\", "tab\there\nnew\rline", std::string("nul\0in", 6), "\x7f\xff\xfe",
               "  padded  ", "Köln 27 MHz", "end\\"};
    s.modeSel = kBandPlanSouthAfrica;
    s.emgItems = {"CH 03", "CH 19", "ODD\\NAME\x01"};
    s.emgSelection = 1;
    s.caption = "C:\\radios\\shop=1.kvx\n - ORVEX";
    return s;
}

std::string Text(const test::Bytes& b) { return {b.begin(), b.end()}; }

// A file whose end line vouches for the body it was given.
std::string Sealed(std::string body) {
    const std::uint32_t crc = recovery::Crc32({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(crc));
    return body + "end=" + std::to_string(body.size()) + " " + hex + "\n";
}
std::string Body(const std::string& file) { return file.substr(0, file.rfind("end=")); }

// Why the rich state's file is refused once the line of key says value.
std::string ReasonWithLine(const std::string& key, const std::string& value) {
    std::string b = Body(recovery::Encode(RichSnapshot()));
    const std::size_t at = b.find("\n" + key + "=") + 1;
    b.replace(at, b.find('\n', at) - at, key + "=" + value);
    const recovery::Decoded d = recovery::Decode(Sealed(b));
    return d.ok ? "taken" : d.reason;
}

std::string Repeated(const std::string& value, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += (i ? "," : "") + value;
    return out;
}

TEST(RecoveryFile, RoundTripIsExactAndStable) {
    const FormSnapshot rich = RichSnapshot();
    const std::string text = recovery::Encode(rich);
    const recovery::Decoded back = recovery::Decode(text);
    ASSERT_TRUE(back.ok) << back.reason;
    EXPECT_TRUE(back.state == rich);
    EXPECT_EQ(recovery::Encode(back.state), text);
}

TEST(RecoveryFile, RefusesWhatIsNotAWholeFileOfOurs) {
    const std::string good = recovery::Encode(RichSnapshot());
    for (std::size_t size = 0; size < good.size(); ++size)
        ASSERT_EQ(recovery::Decode(good.substr(0, size)).reason, texts::kRecoveryCutShort) << "cut at " << size;

    std::string newer = good;
    newer.replace(newer.find("format=1"), 8, "format=12");
    EXPECT_EQ(recovery::Decode(newer).reason, "written by a newer version (format 12)");

    EXPECT_EQ(recovery::Decode(Text(test::BlankSettingsImage())).reason, texts::kRecoveryNotOurs);
    EXPECT_EQ(recovery::Decode(std::string("\x89PNG\r\n\x1a\n", 8)).reason, texts::kRecoveryNotOurs);

    std::string flipped = good;
    flipped[flipped.find("27.0125") + 3] = '9';
    EXPECT_EQ(recovery::Decode(flipped).reason, texts::kRecoveryChecksum);
}

TEST(RecoveryFile, RefusesSealedContentTheFormCouldNotHold) {
    const std::string body = Body(recovery::Encode(RichSnapshot()));
    auto with = [&](const std::string& from, const std::string& to) {
        std::string b = body;
        b.replace(b.find(from), from.size(), to);
        return recovery::Decode(Sealed(b)).reason;
    };
    EXPECT_EQ(with("modeSel=3", "modeSel=5"), "damaged (modeSel)");
    EXPECT_EQ(with("emgSelection=1", "emgSelection=3"), "damaged (emgSelection)");
    EXPECT_EQ(with("emgItems=3", "emgItems=4"), "damaged (emgItem.4)");
    EXPECT_EQ(with("caption=", "caption=\\q"), "damaged (caption)");
    EXPECT_EQ(with("modeSel=3\n", "modeSel=3\nmodeSel=3\n"), "damaged (line 23)");
    EXPECT_EQ(with("modeSel=3\n", "modeSel=3\nshiny=1\n"), "damaged (unknown lines)");
    EXPECT_TRUE(recovery::Decode(Sealed(body)).ok);
}

// These go to the radio as they are: a value the form never writes must not
// come back from a file, whatever its seal says.
TEST(RecoveryFile, RefusesSettingsValuesTheFormNeverWrites) {
    const std::string flags = Repeated("1", kChannelEnableCount);
    EXPECT_EQ(ReasonWithLine("channelFlags", flags), "taken");
    EXPECT_EQ(ReasonWithLine("channelFlags", "5" + flags.substr(1)), "damaged (channelFlags)");
    EXPECT_EQ(ReasonWithLine("channelFlags", "-1" + flags.substr(1)), "damaged (channelFlags)");
    EXPECT_EQ(ReasonWithLine("optionFlags", "0,1,1,0,2,0"), "damaged (optionFlags)");
    EXPECT_EQ(ReasonWithLine("optionFlags", "0,1,1,0,1,-1"), "damaged (optionFlags)");

    EXPECT_EQ(ReasonWithLine("alignment", "255,255,200,200"), "taken");
    EXPECT_EQ(ReasonWithLine("alignment", "256,0,140,72"), "damaged (alignment)");
    EXPECT_EQ(ReasonWithLine("alignment", "82,0,140,201"), "damaged (alignment)");

    std::vector<std::string> last;
    for (const OptionList& list : OptionLists()) last.push_back(std::to_string(int(list.entries.size()) - 1));
    auto selections = [&](std::size_t index, const std::string& value) {
        std::string line;
        for (std::size_t i = 0; i < last.size(); ++i) line += (i ? "," : "") + (i == index ? value : last[i]);
        return ReasonWithLine("selections", line);
    };
    EXPECT_EQ(selections(0, "-1"), "taken");
    for (std::size_t i = 0; i < last.size(); ++i) {
        EXPECT_EQ(selections(i, std::to_string(OptionLists()[i].entries.size())), "damaged (selections)") << i;
        EXPECT_EQ(selections(i, "-2"), "damaged (selections)") << i;
    }

    // Under South Africa the channel names an entry of its list; elsewhere
    // the form keeps the byte a file or the radio gave, and so must this.
    EXPECT_EQ(ReasonWithLine("emgChannel", std::to_string(kEmgChannelNotFound)), "taken");
    EXPECT_EQ(ReasonWithLine("emgChannel", std::to_string(kEmgChannelNotFound + 1)), "damaged (emgChannel)");
    std::string b = Body(recovery::Encode(RichSnapshot()));
    b.replace(b.find("bandPlan=3\nemgChannel=19"), 24, "bandPlan=0\nemgChannel=200");
    EXPECT_TRUE(recovery::Decode(Sealed(b)).ok);
}

}  // namespace
}  // namespace orvex
