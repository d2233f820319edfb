// The batch report: rows that stay rows however the file was left, and the
// local time written the way people and the backups' names read it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "files/LocalTime.h"
#include "support/TempDir.h"
#include "tools/cli/CloneReport.h"

namespace orvex {
namespace {

using namespace test;

std::string Text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

cli::CloneRow Row(int radio, std::string differences = {}) {
    return {"2026-03-01 14:05:09", radio, "/dev/ttyUSB0", "", "OK", std::move(differences)};
}

std::string AppendRows(const std::string& path, std::initializer_list<cli::CloneRow> rows) {
    cli::CloneReport report;
    if (const Outcome<void> opened = report.Open(path); !opened) return opened.problem().Text();
    for (const cli::CloneRow& row : rows)
        if (const Outcome<void> appended = report.Append(row); !appended) return appended.problem().Text();
    return {};
}

constexpr const char* kHeader = "time,radio,port,backup,result,differences\n";

TEST(CloneReport, EveryRowStartsOnItsOwnLineHoweverTheFileWasLeft) {
    TempDir dir;
    const std::string fresh = dir.File("fresh.csv");
    ASSERT_EQ(AppendRows(fresh, {Row(1, "P1: 26.9650, \"was\" 27.0000")}), "");
    ASSERT_EQ(AppendRows(fresh, {Row(2)}), "");  // the header once, rows kept
    EXPECT_EQ(Text(fresh), std::string(kHeader) +
                               "2026-03-01 14:05:09,1,/dev/ttyUSB0,,OK,\"P1: 26.9650, \"\"was\"\" 27.0000\"\n"
                               "2026-03-01 14:05:09,2,/dev/ttyUSB0,,OK,\n");

    // A batch cut off mid-row, or a file edited by hand without a last
    // line break: the next row is not glued onto its last line.
    const std::string cut = dir.File("cut.csv");
    Put(cut, std::string(kHeader) + "2026-03-01 14:05:09,1,/dev/tty");
    ASSERT_EQ(AppendRows(cut, {Row(2)}), "");
    EXPECT_EQ(Text(cut), std::string(kHeader) + "2026-03-01 14:05:09,1,/dev/tty\n" +
                             "2026-03-01 14:05:09,2,/dev/ttyUSB0,,OK,\n");
    const std::string crlf = dir.File("crlf.csv");
    Put(crlf, std::string("time,radio\r\n"));
    ASSERT_EQ(AppendRows(crlf, {Row(3)}), "");
    EXPECT_EQ(Text(crlf), "time,radio\r\n2026-03-01 14:05:09,3,/dev/ttyUSB0,,OK,\n");
}

// A batch adding to a report numbers on from its highest radio, however
// the rows were quoted, edited or left.
TEST(CloneReport, TheLastRadioIsTheHighestNumberOfTheRowsAlreadyThere) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"", 0},
        {kHeader, 0},
        {std::string(kHeader) + "t,1,p,,OK,\nt,2,p,,FAILED,x\n", 2},
        {std::string(kHeader) + "t,7,p,,OK,\r\nt,3,p,,OK,\r\n", 7},  // edited: out of order, CRLF
        {std::string(kHeader) + "\"t, \"\"quoted\"\"\",\"4\",p,,OK,\n", 4},
        // a line break inside a quoted field is no new row
        {std::string(kHeader) + "t,2,p,\"a\n99,b\",OK,\nt,x,p,,OK,\n", 2},
        {std::string(kHeader) + "t,5,/dev/tty", 5},  // cut off mid-row
    };
    TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string path = dir.File("report" + std::to_string(i) + ".csv");
        if (!cases[i].first.empty()) Put(path, cases[i].first);
        cli::CloneReport report;
        const Outcome<void> opened = report.Open(path);
        ASSERT_TRUE(opened) << opened.problem();
        EXPECT_EQ(report.LastRadio(), cases[i].second) << cases[i].first;
    }
}

TEST(LocalTime, WritesBothShapesWithEveryFieldPadded) {
    const LocalTime t{2026, 3, 1, 4, 5, 9};
    EXPECT_EQ(ShownLocalTime(t), "2026-03-01 04:05:09");
    EXPECT_EQ(LocalTimeStamp(t), "2026-03-01_04-05-09");
    // The report's time is the shown shape of now.
    const std::string now = cli::ReportTime();
    ASSERT_EQ(now.size(), 19u) << now;
    EXPECT_EQ(now.substr(4, 1) + now.substr(7, 1) + now.substr(10, 1) + now.substr(13, 1) + now.substr(16, 1), "-- ::");
}

}  // namespace
}  // namespace orvex
