#include <gtest/gtest.h>

#include <cstdlib>

#include "settings/ChannelCsv.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

std::string Rows(const std::vector<std::string>& frequencies, const std::string& eol = "\n") {
    std::string csv = "Channel,Frequency" + eol;
    for (std::size_t i = 0; i < frequencies.size(); ++i) csv += RowLabel(static_cast<int>(i) + 1) + "," + frequencies[i] + eol;
    return csv;
}

std::vector<std::string> Ten(const std::string& first = "27.1250") {
    std::vector<std::string> f(10, "");
    f[0] = first;
    return f;
}

std::string ErrorOf(const std::string& csv) {
    const ChannelCsvRead read = ReadChannelCsv(csv);
    EXPECT_FALSE(read.ok()) << csv;
    return read.ok() ? std::string() : read.problem().Text();
}

TEST(ChannelCsv, WrittenTextReadsBackToTheSameCells) {
    ChannelCells cells{"26.9650", "", "27.1250", "30.0000", "", "", "", "", "", "26.0000"};
    const std::string csv = WriteChannelCsv(cells);
    EXPECT_TRUE(csv.starts_with("Channel,Frequency\nP1,26.9650\nP2,\nP3,27.1250\n"));
    EXPECT_TRUE(csv.ends_with("P9,\nP0,26.0000\n"));
    const ChannelCsvRead read = ReadChannelCsv(csv);
    ASSERT_TRUE(read.ok()) << read.problem();
    EXPECT_EQ(read.value(), cells);
    // A cell typed with a comma or a quote still makes one field.
    cells[1] = "27,1\"x";
    EXPECT_NE(WriteChannelCsv(cells).find("P2,\"27,1\"\"x\"\n"), std::string::npos);
}

TEST(ChannelCsv, TakesWhatSpreadsheetsWrite) {
    // Byte-order mark, CRLF, columns found by name in another order, other
    // columns, quoted fields, a decimal comma in quotes, labels in any case
    // and order, blank lines, values the table would normalise.
    const std::string csv =
        "\xEF\xBB\xBF\"Note\",\"frequency\",\" CHANNEL \"\r\n"
        "a,\"27,125\",P1\r\n"
        ",\r\n"
        "\"b, c\",27.13,p2\r\n"
        "x,,P3\r\n"
        "x, 26.0 ,P4\r\n"
        "x,0,P5\r\n"
        "x,\"29.9975\",P0\r\n"
        "x,30,P9\r\n"
        "x,28.,P8\r\n"
        "x,.,P7\r\n";
    const ChannelCsvRead read = ReadChannelCsv(csv + "\"multi\nline\",,P6\r\n,,\r\n");
    EXPECT_FALSE(read.ok());
    EXPECT_EQ(read.problem().Text(), "row 11 (P7): frequency \".\" is not a number in MHz (write it as 27.1250, or leave it empty)");

    std::string fixed = csv;
    fixed.replace(fixed.find("x,.,P7"), 6, "x,,P7");
    const ChannelCsvRead ok = ReadChannelCsv(fixed + "\"multi\nline\",,P6\r\n,,\r\n");
    ASSERT_TRUE(ok.ok()) << ok.problem();
    EXPECT_EQ(ok.value(), (ChannelCells{"27.1250", "27.1300", "", "26.0000", "", "", "", "28.0000", "30.0000", "29.9975"}));
}

TEST(ChannelCsv, RefusesBadRowsNamingRowAndValue) {
    auto nine = Ten();
    nine.pop_back();
    EXPECT_EQ(ErrorOf(Rows(nine)), "no row for channel P0 (each of P1 .. P9 and P0 needs one row)");
    EXPECT_EQ(ErrorOf(Rows(Ten()) + "P3,27.1350\n"), "row 12 (P3): channel P3 is already in row 4");
    EXPECT_EQ(ErrorOf(Rows(Ten()) + "P10,\n"), "row 12: unknown channel \"P10\" (the channels are P1 .. P9 and P0)");
    EXPECT_EQ(ErrorOf(Rows(Ten("27.1263"))), "row 2 (P1): frequency \"27.1263\" is not on the 2.5 kHz step");
    EXPECT_EQ(ErrorOf(Rows(Ten("25.9975"))), "row 2 (P1): frequency \"25.9975\" is outside 26.0000 .. 30.0000 MHz");
    EXPECT_EQ(ErrorOf(Rows(Ten("30.0025"))), "row 2 (P1): frequency \"30.0025\" is outside 26.0000 .. 30.0000 MHz");
    const std::string commaAdvice = "; a decimal comma must be inside quotes (\"27,1250\"), or write a point (27.1250)";
    EXPECT_EQ(ErrorOf(Rows(Ten("27,125"))), "row 2: the frequency is split in two (\"27\", \"125\")" + commaAdvice);
    // A column after the frequency would otherwise take the decimals.
    EXPECT_EQ(ErrorOf("Channel,Frequency,Note\nP1,27,1250\n"), "row 2: the frequency is split in two (\"27\", \"1250\")" + commaAdvice);
    EXPECT_EQ(ErrorOf("Channel,Frequency\nP1,27.125,x\n"), "row 2: more fields than the header has" + commaAdvice);
    // Empty fields a spreadsheet leaves at a row's end are nothing.
    std::string trailing = Rows(Ten("27.125"));
    trailing.replace(trailing.find("27.125\n"), 7, "27.125,,\n");
    EXPECT_TRUE(ReadChannelCsv(trailing).ok()) << ReadChannelCsv(trailing).problem();
    for (const char* notNumber : {"27.1 MHz", "-27.125", "2.7e1", "27.12.5", "\"27,1,25\""})
        EXPECT_NE(ErrorOf(Rows(Ten(notNumber))).find("is not a number in MHz"), std::string::npos) << notNumber;
    EXPECT_EQ(ErrorOf("Chan,Frequency\n"), "row 1: the header row has no \"Channel\" column");
    EXPECT_EQ(ErrorOf("Channel,Frequency,frequency\n"), "row 1: the column \"Frequency\" appears twice");
    EXPECT_EQ(ErrorOf(""), "row 1: expected the header row \"Channel,Frequency\"");
    EXPECT_EQ(ErrorOf("Channel,Frequency\nP1,\"27.125\n"), "row 2: a quoted field is not closed");
    EXPECT_EQ(ErrorOf("Channel,Frequency\nP1,\"27.125\"x\n"), "row 2: text after a closing quote");
    EXPECT_EQ(ErrorOf("Note,Channel,Frequency\nx,P1\n"), "row 2: fewer fields than the header has");
}

// One sheet with a notes column (a comma, a quote, a semicolon, an umlaut),
// saved by LibreOffice Calc in the C and de_DE locales with each separator,
// quoting all text or not, and this program's export resaved by the German
// Calc. Calc writes LF and no BOM; other spreadsheets add those.
TEST(ChannelCsv, TakesSheetsAsCalcSavesThemInTheCAndAGermanLocale) {
    const char* source = std::getenv("ORVEX_SOURCE_DIR");
    ASSERT_TRUE(source) << "ORVEX_SOURCE_DIR is not set";
    for (const char* name : {"c-comma", "c-tab-quoted", "de-comma", "de-semicolon", "de-semicolon-quoted", "de-tab",
                             "de-export-resaved"}) {
        const test::Bytes bytes = test::ReadBytes(std::string(source) + "/tests/settings/fixtures/calc-" + name + ".csv");
        std::string saved(bytes.begin(), bytes.end()), crlf;
        for (const char c : saved) crlf += c == '\n' ? "\r\n" : std::string(1, c);
        for (const std::string& csv : {saved, crlf, "\xEF\xBB\xBF" + saved, "\xEF\xBB\xBF" + crlf}) {
            const ChannelCsvRead read = ReadChannelCsv(csv);
            EXPECT_TRUE(read.ok()) << name << ": " << read.problem();
            EXPECT_EQ(read.value(), (ChannelCells{"26.9650", "", "27.1250", "27.4050", "", "28.0000", "29.6000", "26.0000",
                                                "30.0000", "27.2150"})) << name;
        }
    }
}

TEST(ChannelCsv, SemicolonAndTabSheetsNeverSplitAFrequencyAndNameTheirSeparator) {
    const std::pair<std::string, std::string> cases[] = {  // header and P1, then P1's cell or the message
        {"Channel;Frequency;Notes, misc, more\nP1;27;1250", "27.0000"},
        {"Channel;Frequency\nP1;27,1263", "row 2 (P1): frequency \"27,1263\" is not on the 2.5 kHz step"},
        {"Channel;Frequency\nP1;27,125;x", "row 2: more fields than the header has"},
        {"Kanal;Frequenz\n", "row 1: the header row has no \"Channel\" column (fields separated by ';')"},
        {"Channel\tFrequenz\n", "row 1: the header row has no \"Frequency\" column (fields separated by tabs)"},
    };
    for (const auto& [start, result] : cases) {
        std::string csv = start + "\n";
        const char* emptyRest = start.find('\t') == std::string::npos ? ";\n" : "\t\n";
        for (int row = 2; row <= kChannelCount; ++row) csv += RowLabel(row) + emptyRest;
        const ChannelCsvRead read = ReadChannelCsv(csv);
        EXPECT_EQ(read.ok() ? read.value()[0] : read.problem().Text(), result) << csv;
    }
}

TEST(ChannelCsv, RefusesTextThatIsNotUtf8WithItsOffset) {
    // Latin-1 "é" as a spreadsheet in a Western code page saves it.
    const std::string latin1 = "Channel,Frequency,Note\nP1,,caf\xE9\n";
    EXPECT_EQ(ErrorOf(latin1), "the text is not UTF-8 (byte offset 30); save it from the spreadsheet as CSV UTF-8");
    // UTF-16 as some spreadsheets export it.
    EXPECT_NE(ErrorOf(std::string("\xFF\xFE" "C\0h\0", 6)).find("byte offset 0"), std::string::npos);
}

}  // namespace
}  // namespace orvex
