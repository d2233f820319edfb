#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"
#include "settings/Trace.h"

namespace orvex {
namespace {

TEST(FrequencyRoundTrip, EveryStepFromCodeToTextAndBack) {
    RadioSettings settings;
    for (unsigned code = kMinFrequencyCode; code <= kMaxFrequencyCode; ++code) {
        const std::string text = FrequencyTextFromCode(static_cast<std::uint16_t>(code));
        const FrequencyCheck check = ValidateFrequencyText(text);
        ASSERT_TRUE(check.accepted) << text;
        ASSERT_EQ(check.normalised, text);
        ASSERT_EQ(FrequencyCodeFromText(text), code) << text;
        const BlockFrequency rx = EncodeBlockFrequency(text, kReceiveOffsetMHz);
        const BlockFrequency tx = EncodeBlockFrequency(text, 0.0);
        ASSERT_TRUE(rx.ok && tx.ok);
        ASSERT_EQ(rx.high * 256 + rx.low, code + 4278) << text;  // 10.695 MHz = 4278 steps
        ASSERT_EQ(tx.high * 256 + tx.low, code) << text;
    }
}

struct EditCase {
    const char* typed;
    bool accepted;
    const char* cell;  // what the cell holds afterwards
};

TEST(ValidateFrequencyText, BandEdgesStepAndEmptyChannel) {
    const EditCase cases[] = {
        {"26.0000", true, "26.0000"}, {"30.0000", true, "30.0000"},  {"30.0025", false, ""},
        {"25.9975", false, ""},       {"27.0010", false, "26.0000"}, {"26.00001", false, "26.0000"},
        {"0", true, ""},              {"", true, ""},                {"0.000001", true, ""},
        {"0.001", false, ""},         {"-27.0000", false, ""},       {"-0", true, ""},
        {"27.125", true, "27.1250"},  {"27.00000001", true, "27.0000"},
    };
    for (const EditCase& c : cases) {
        const FrequencyCheck check = ValidateFrequencyText(c.typed);
        EXPECT_EQ(check.accepted, c.accepted) << '"' << c.typed << '"';
        EXPECT_EQ(check.normalised, c.cell) << '"' << c.typed << '"';
    }
}

// Only the leading number counts; text without one is an empty channel.
TEST(ValidateFrequencyText, ReadsTheLeadingNumberOnly) {
    const EditCase cases[] = {
        {"  27.5", true, "27.5000"}, {"+27.5", true, "27.5000"},    {"2.75e1", true, "27.5000"},
        {"27.1250 MHz", true, "27.1250"}, {"27,125", true, "27.0000"}, {"27.12.50", true, "27.1200"},
        {"abc", true, ""},           {"MHz 27", true, ""},          {"+-27", true, ""},
        {"0x1A", true, ""},          {"nan", true, ""},             {"1e-999", true, ""},
        {"inf", false, ""},          {"-inf", false, ""},           {"1e999", false, ""},
        {"-1e999", false, ""},       {"99999999999999999999", false, ""},
    };
    for (const EditCase& c : cases) {
        const FrequencyCheck check = ValidateFrequencyText(c.typed);
        EXPECT_EQ(check.accepted, c.accepted) << '"' << c.typed << '"';
        EXPECT_EQ(check.normalised, c.cell) << '"' << c.typed << '"';
    }
}

TEST(FrequencyCode, TextOfRecordCodes) {
    EXPECT_EQ(FrequencyTextFromCode(10400), "26.0000");
    EXPECT_EQ(FrequencyTextFromCode(0x28A0), "26.0000");
    EXPECT_EQ(FrequencyTextFromCode(12000), "30.0000");
    EXPECT_EQ(FrequencyTextFromCode(10801), "27.0025");
    EXPECT_EQ(FrequencyTextFromCode(0xFFFF), "");
    // Only FF FF marks an empty channel.
    EXPECT_EQ(FrequencyTextFromCode(0xFF00), "163.2000");
}

TEST(FrequencyCode, CodeOfCellTexts) {
    EXPECT_EQ(FrequencyCodeFromText("27.0000"), 0x2A30);
    EXPECT_EQ(FrequencyCodeFromText(""), kEmptyFrequencyCode);
    EXPECT_EQ(FrequencyCodeFromText("0"), kEmptyFrequencyCode);
    // Outside the band but on the step: stored as it is, refused by a write.
    EXPECT_EQ(FrequencyCodeFromText("30.0025"), 12001);
    EXPECT_EQ(FrequencyCodeFromText("25.9975"), 10399);
    EXPECT_EQ(FrequencyCodeFromText("163.8350"), 0xFFFE);
    const struct {
        const char* text;
        PackError why;
    } refused[] = {{"27.0010", PackError::OffStep}, {"-26", PackError::OutOfRange},
                   {"163.8375", PackError::OutOfRange}, {"inf", PackError::OffStep}};
    for (const auto& r : refused) {
        PackError why = PackError::None;
        EXPECT_EQ(FrequencyCodeFromText(r.text, &why), std::nullopt) << r.text;
        EXPECT_EQ(why, r.why) << r.text;
    }
}

// A user whose desktop writes 27,1250 must still get the radio's 27.1250.
TEST(FrequencyText, IgnoresTheProcessLocale) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const char* chosen = nullptr;
    // scripts/install-deps.sh generates de_DE.UTF-8; Windows knows German
    // by its own names.
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "nl_NL.UTF-8", "ru_RU.UTF-8",
                             "German_Germany.1252", "de-DE"})
        if (std::setlocale(LC_ALL, name)) {
            chosen = name;
            break;
        }
    ASSERT_NE(chosen, nullptr) << "no locale with a decimal comma is installed (scripts/install-deps.sh makes one)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",") << chosen;
    SetTraceSink([](const std::string&) {});  // the trace's own formatting runs too

    const FrequencyCheck check = ValidateFrequencyText("27.1250");
    EXPECT_TRUE(check.accepted);
    EXPECT_EQ(check.normalised, "27.1250");
    EXPECT_EQ(ValidateFrequencyText("27,1250").normalised, "27.0000");
    EXPECT_EQ(FrequencyCodeFromText("27.1250"), 10850);
    EXPECT_EQ(FrequencyTextFromCode(10850), "27.1250");
    EXPECT_EQ(FormatMHz(27.125), "27.1250");
    const BlockFrequency tx = EncodeBlockFrequency("27.1250", 0.0);
    EXPECT_TRUE(tx.ok);
    EXPECT_EQ(tx.high * 256 + tx.low, 10850);

    SetTraceSink({});
    std::setlocale(LC_ALL, before.c_str());
}

TEST(PackChannelTable, CellsIntoRecordBytesZeroToTwo) {
    RadioSettings s;
    for (ChannelEntry& e : s.m_channels) {
        e.m_nNumber = 77;
        e.m_nRadioBandPlan = 3;
        e.m_nRadioEmgChannel = 7;
        e.m_tail = {1, 2, 3, 4, 5, 6};
    }
    ChannelCells cells{};
    cells[0] = "26.0000";
    cells[2] = "30.0000";
    cells[9] = "27.0000";
    ASSERT_TRUE(PackChannelTable(s, cells));
    for (int i = 0; i < kChannelCount; ++i) {
        const auto b = s.m_channels[i].ToBytes();
        EXPECT_EQ(b[0], i + 1);
        EXPECT_EQ((std::array<std::uint8_t, 8>{b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10]}),
                  (std::array<std::uint8_t, 8>{3, 7, 1, 2, 3, 4, 5, 6}))
            << "record " << i + 1 << " beyond the frequency must not change";
    }
    EXPECT_EQ(s.m_channels[0].m_wFreq, 10400);
    EXPECT_EQ(s.m_channels[1].m_wFreq, kEmptyFrequencyCode);
    EXPECT_EQ(s.m_channels[2].m_wFreq, 12000);
    EXPECT_EQ(s.m_channels[9].m_wFreq, 10800);
}

TEST(PackChannelTable, StopsAtTheFirstBadCellWithEarlierRowsStored) {
    RadioSettings s;
    ChannelCells cells = {"27.0000", "28.0000", "27.0010", "29.0000"};
    EXPECT_EQ(PackChannelTable(s, cells).problem().Text(), "P3: \"27.0010\" is not on the 2.5 kHz step");
    EXPECT_EQ(s.m_channels[0].m_wFreq, 10800);
    EXPECT_EQ(s.m_channels[1].m_wFreq, 11200);
    EXPECT_EQ(s.m_channels[2].m_wFreq, kEmptyFrequencyCode);
    EXPECT_EQ(s.m_channels[3].m_wFreq, kEmptyFrequencyCode);

    RadioSettings t;
    cells = {"-30", "28.0000"};
    EXPECT_EQ(PackChannelTable(t, cells).problem().Text(), "P1: \"-30\" cannot be stored as a frequency");
    EXPECT_EQ(t.m_channels[1].m_wFreq, kEmptyFrequencyCode);
}

TEST(UnpackChannelTable, RecordsIntoCellsWithTailClamp) {
    RadioSettings s;
    s.m_channels[0].m_wFreq = 0x28A0;
    s.m_channels[0].m_tail = {155, 154, 2, 4, 2, 2};
    s.m_channels[1].m_wFreq = 0x2EE0;
    s.m_channels[1].m_tail = {154, 155, 1, 3, 1, 1};
    s.m_channels[2].m_tail = {255, 0, 255, 255, 255, 0};
    ChannelCells cells;
    cells.fill("stale");
    UnpackChannelTable(s, cells);
    EXPECT_EQ(cells[0], "26.0000");
    EXPECT_EQ(cells[1], "30.0000");
    for (int i = 2; i < kChannelCount; ++i) EXPECT_EQ(cells[i], "") << "row " << i + 1;
    EXPECT_EQ(s.m_channels[0].m_tail, (std::array<std::uint8_t, 6>{0, 154, 0, 0, 0, 0}));
    EXPECT_EQ(s.m_channels[1].m_tail, (std::array<std::uint8_t, 6>{154, 0, 1, 3, 1, 1}));
    EXPECT_EQ(s.m_channels[2].m_tail, (std::array<std::uint8_t, 6>{0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace orvex
