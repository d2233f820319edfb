// The JSON and CSV exchange on the form itself: what comes back from an
// export is what Save writes, and a refused document changes nothing.
#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <random>

#include "settings/ChannelCsv.h"
#include "support/KvxSample.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "tools/cli/FormJson.h"
#include "ui/model/ChannelExchange.h"

namespace orvex {
namespace {

using test::Bytes;

class FormJsonTest : public ::testing::Test {
protected:
    // resave: Open, then Save to a new file; empty when Open refuses.
    Bytes Resaved(const std::string& path) {
        FormModel form(prompter);
        form.StartUp();
        if (!form.Open(path)) return {};
        return SavedBytes(form);
    }
    // import(export(path)) on a form fresh from New.
    Bytes RoundTripped(const std::string& path) {
        FormModel source(prompter);
        source.StartUp();
        if (!source.Open(path)) return {};
        FormModel target(prompter);
        target.StartUp();
        target.New();
        const Outcome<void> applied = cli::ApplyFormJson(target, cli::FormJson(source));
        EXPECT_TRUE(applied) << applied.problem();
        return SavedBytes(target);
    }
    Bytes SavedBytes(FormModel& form) {
        const std::string out = dir.File("saved.kvx");
        std::filesystem::remove(out);
        EXPECT_TRUE(Save(form, out));
        return test::ReadBytes(out);
    }
    std::string Put(const Bytes& bytes) {
        const std::string path = dir.File("in-" + std::to_string(++m_count) + ".kvx");
        test::WriteBytes(path, bytes);
        return path;
    }
    // What the refusal says; the form must be untouched by it.
    std::string Refusal(const std::string& json) {
        FormModel form(prompter);
        form.StartUp();
        form.New();
        const FormSnapshot before = form.Snapshot();
        const Outcome<void> applied = cli::ApplyFormJson(form, json);
        EXPECT_FALSE(applied) << json;
        EXPECT_TRUE(form.Snapshot() == before) << json;
        return applied.problem().Text();
    }
    static std::string Channels(const std::string& firstFrequency = "\"27.1250\"") {
        std::string out = "\"channels\": [";
        for (int row = 1; row <= kChannelCount; ++row)
            out += std::string(row > 1 ? ", " : "") + "{\"label\": \"" + RowLabel(row) + "\", \"frequency\": " +
                   (row == 1 ? firstFrequency : "\"\"") + "}";
        return out + "]";
    }

    test::ScriptedPrompter prompter;
    test::TempDir dir;
    int m_count = 0;
};

// Files whose values the form changes on the way or holds untouched: every
// one must come back as resave writes it.
std::vector<Bytes> OddImages() {
    std::vector<Bytes> images;
    Bytes b = test::BlankSettingsImage();
    b[146] = 200;                                  // a selection beyond its list
    b[162] = 255, b[164] = 250;                    // alignment beyond its range
    b[166] = 0x3F, b[167] = 3, b[168] = 9;         // South Africa, emergency channel without its box
    b[169] = b[173] = b[190] = 7;                  // flags stored as 7
    test::PutRecord(b, 0, 10850, 3, 9, {155, 1, 2, 4, 1, 9});  // tail bytes beyond what the radio takes
    test::PutRecord(b, 1, 0, 200, 1);                           // code 0 reads as an empty cell
    test::PutRecord(b, 2, 0xFFFE, 0, 0);                        // far out of the band
    test::PutRecord(b, 3, 0x1234, 9, 44);
    for (int r = 4; r < 10; ++r) test::PutRecord(b, r, 0xFFFF, 0xFF, 0xFF);
    std::uint64_t nanBits = 0x7FF4000000001234ull;
    double nan;
    std::memcpy(&nan, &nanBits, 8);
    test::PutDouble(b, 1815, nan);
    test::PutDouble(b, 1823, -std::numeric_limits<double>::infinity());
    images.push_back(b);

    Bytes c = test::BlankSettingsImage(3000);  // longer than a settings file
    c[167] = 9, c[168] = 200;                  // a band plan without a name
    test::PutDouble(c, 1815, -0.0);
    test::PutDouble(c, 1823, std::numeric_limits<double>::denorm_min());
    images.push_back(c);

    Bytes d = test::BlankSettingsImage();
    d[167] = 3, d[168] = 30, d[170] = 1, d[185] = 1;  // an emergency channel beyond CH 23
    images.push_back(d);

    // Random contents behind a valid identifier.
    std::mt19937 random(1234);
    for (int n = 0; n < 150; ++n) {
        Bytes r = test::BlankSettingsImage();
        for (std::size_t i = 0; i < r.size(); ++i)
            if (i < 128 || i >= 146) r[i] = static_cast<std::uint8_t>(random());
        if (n % 2) r[167] = 3;  // half of them South Africa, whose emergency list has the most to get wrong
        images.push_back(r);
    }
    return images;
}

TEST_F(FormJsonTest, ImportOfExportIsResaveForCorpusSamplesAndRandomFiles) {
    std::vector<std::string> paths;
    const char* source = std::getenv("ORVEX_SOURCE_DIR");
    ASSERT_TRUE(source) << "ORVEX_SOURCE_DIR is not set";
    for (const auto& e : std::filesystem::recursive_directory_iterator(std::string(source) + "/tests/fuzz/corpus"))
        if (e.is_regular_file()) paths.push_back(e.path().string());
    for (const Bytes& image : OddImages()) paths.push_back(Put(image));
    int opened = 0;
    for (const std::string& path : paths) {
        const Bytes expected = Resaved(path);
        if (expected.empty()) continue;  // not a settings file: Open refuses it
        ++opened;
        EXPECT_EQ(RoundTripped(path), expected) << path;
    }
    EXPECT_GE(opened, 150);
}

TEST_F(FormJsonTest, OnlyTheKeysGivenChangeTheBase) {
    Bytes sa = test::BlankSettingsImage();
    sa[167] = 3, sa[168] = 7, sa[175] = 1, sa[162] = 90;
    test::PutRecord(sa, 0, 10850, 3, 7, {1, 2, 1, 3, 1, 1});
    const std::string base = Put(sa);
    FormModel form(prompter);
    form.StartUp();
    ASSERT_TRUE(form.Open(base));
    ASSERT_TRUE(cli::ApplyFormJson(form, "{" + Channels("\"26.965\"") + ", \"option_flags\": [1, 0, 0, 0, 0, 1]}"));
    Bytes expected = Resaved(base);
    expected[256 + 1] = 10786 >> 8, expected[256 + 2] = 10786 & 0xFF;  // 26.9650 MHz
    expected[166] = 0x21;
    EXPECT_EQ(SavedBytes(form), expected);
    EXPECT_EQ(CellText(form, 1), "26.9650");

    // Without a base, what New gives: its option flags included.
    FormModel fresh(prompter);
    fresh.StartUp();
    fresh.New();
    const Bytes newBytes = SavedBytes(fresh);
    ASSERT_TRUE(cli::ApplyFormJson(fresh, "{" + Channels("\"\"") + "}"));
    EXPECT_EQ(SavedBytes(fresh), newBytes);
}

TEST_F(FormJsonTest, RefusesBadDocumentsNamingKeyAndValue) {
    const std::string ch = Channels();
    EXPECT_EQ(Refusal("{\"band_plan\": 1}"), "key \"channels\": missing: the document must list the channels");
    EXPECT_EQ(Refusal("{" + ch + ", \"band_pln\": 1}"), "key \"band_pln\": unknown key");
    EXPECT_EQ(Refusal("{" + ch + ", \"band_plan\": \"x\"}"),
              "key \"band_plan\": expected a whole number from 0 to 4, got \"x\"");
    EXPECT_EQ(Refusal("{" + ch + ", \"emergency_channel\": 2.5}"),
              "key \"emergency_channel\": expected a whole number from 0 to 255, got 2.5");
    EXPECT_EQ(Refusal("{" + ch + ", \"channel_enable\": [1, 0]}"),
              "key \"channel_enable\": expected an array of 23 numbers, got 2 items");
    EXPECT_EQ(Refusal("{" + Channels("\"27.1263\"") + "}"),
              "key \"channels\"[0] (P1).frequency: \"27.1263\" is not on the 2.5 kHz step");
    EXPECT_EQ(Refusal("{" + Channels("\"27,125\"") + "}"),
              "key \"channels\"[0] (P1).frequency: \"27,125\" is not a frequency in MHz (such as \"27.1250\", or \"\" for none)");
    EXPECT_EQ(Refusal("{" + Channels("\"200\"") + "}"), "key \"channels\"[0] (P1).frequency: \"200\" is too large to be stored");
    std::string dup = ch;
    dup.replace(dup.find("\"P2\""), 4, "\"P1\"");
    EXPECT_EQ(Refusal("{" + dup + "}"), "key \"channels\"[1].label: channel P1 appears twice");
    std::string unknown = ch;
    unknown.replace(unknown.find("\"P2\""), 4, "\"P11\"");
    EXPECT_EQ(Refusal("{" + unknown + "}"), "key \"channels\"[1].label: unknown channel \"P11\" (the channels are P1 .. P9 and P0)");
    EXPECT_EQ(Refusal("{\"channels\": [{\"label\": \"P1\"}]}"), "key \"channels\": expected an array of 10 channels, got 1 items");
    EXPECT_EQ(Refusal("{" + ch + ", \"alignment\": [82, 0, 250, 72]}"),
              "key \"alignment\"[2]: 250 is beyond the largest value, 200");
    EXPECT_EQ(Refusal("{" + ch + ", \"selections\": {\"1004\": 200}}"),
              "key \"selections\".\"1004\": 200 is not an entry of that list, which has 6");
    EXPECT_EQ(Refusal("{" + ch + ", \"tone_a_hz\": null}"),
              "key \"tone_a_hz\": is null (not a finite number) and key \"tone_a_bits\" is missing");
    EXPECT_EQ(Refusal("{" + ch + ", \"tone_b_hz\": 321.7, \"tone_b_bits\": \"7ff8\"}"),
              "key \"tone_b_bits\": expected 16 hexadecimal digits, got \"7ff8\"");
    std::string records = "[";
    for (int r = 0; r < kChannelCount; ++r) records += std::string(r ? ", " : "") + (r == 2 ? "[0, 0, 200, 0, 0, 0, 0, 0]" : "[0, 0, 0, 0, 0, 0, 0, 0]");
    EXPECT_EQ(Refusal("{" + ch + ", \"record_bytes\": " + records + "]}"),
              "key \"record_bytes\"[2][2] (P3, record byte 5): 200 is beyond what the radio takes there; the form would store 0");
    // South Africa with channel 9 as the emergency channel but no box for it:
    // the list would show another.
    std::string flags = "[";
    for (int i = 0; i < kChannelEnableCount; ++i) flags += std::string(i ? ", " : "") + (i == 4 ? "1" : "0");
    EXPECT_EQ(Refusal("{" + ch + ", \"band_plan\": 3, \"emergency_channel\": 9, \"channel_enable\": " + flags + "]}"),
              "key \"emergency_channel\": 9 does not go with this band plan and these channel_enable flags; the form "
              "would store 5");
    EXPECT_EQ(Refusal("{\"channels\": \"caf\xE9\"}"), "the text is not UTF-8 (byte offset 17); save it as UTF-8 and try again");
}

TEST_F(FormJsonTest, CsvImportChangesOnlyTheCellsAndNeverDuringATransfer) {
    FormModel form(prompter);
    form.StartUp();
    ASSERT_TRUE(form.Open(Put(test::BlankSettingsImage())));
    const FormSnapshot opened = form.Snapshot();
    ChannelCells cells{};
    cells[0] = "27.1250", cells[9] = "29.9975";
    const std::string csv = WriteChannelCsv(cells);

    test::TransferStarts(form);
    Outcome<void> result = ImportChannelCsv(form, csv);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.problem().Text(), kImportDuringTransfer);
    test::TransferEnds(form);
    EXPECT_TRUE(form.Snapshot() == opened);

    result = ImportChannelCsv(form, "Channel,Frequency\nP1,27.1263\n");
    EXPECT_EQ(result.problem().Text(), "row 2 (P1): frequency \"27.1263\" is not on the 2.5 kHz step");
    EXPECT_TRUE(form.Snapshot() == opened);

    result = ImportChannelCsv(form, csv);
    ASSERT_TRUE(result.ok()) << result.problem();
    FormSnapshot expected = opened;
    expected.cells = cells;
    EXPECT_TRUE(form.Snapshot() == expected);
    EXPECT_TRUE(HasUnsavedEdits(form));
    EXPECT_EQ(ExportChannelCsv(form), csv);
}

}  // namespace
}  // namespace orvex
