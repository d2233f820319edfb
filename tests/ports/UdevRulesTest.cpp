// The udev rules shipped for the cables: every usual adapter is matched,
// and every match both opens it to the user and keeps ModemManager off.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <utility>

namespace orvex {
namespace {

TEST(UdevRules, EveryUsualAdapterIsOpenedToTheUserAndHiddenFromModemManager) {
    const char* source = std::getenv("ORVEX_SOURCE_DIR");
    ASSERT_TRUE(source && *source) << "ORVEX_SOURCE_DIR is not set";
    std::ifstream in(std::string(source) + "/dist/60-orvex-cable.rules");
    ASSERT_TRUE(in) << "no dist/60-orvex-cable.rules";

    const std::regex vendor(R"re(ATTRS\{idVendor\}=="([0-9a-f]{4})")re");
    const std::regex product(R"re(ATTRS\{idProduct\}=="([0-9a-f]{4})")re");
    std::set<std::pair<std::string, std::string>> matched;
    int rules = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        ++rules;
        // A rule that matches a cable but lacks one of the actions would
        // leave that cable root-only or probed by ModemManager.
        EXPECT_NE(line.find("SUBSYSTEM==\"tty\""), std::string::npos) << line;
        EXPECT_NE(line.find("TAG+=\"uaccess\""), std::string::npos) << line;
        EXPECT_NE(line.find("ENV{ID_MM_DEVICE_IGNORE}=\"1\""), std::string::npos) << line;
        EXPECT_EQ(line.back(), '"') << "a continued or cut line: " << line;
        std::smatch v, p;
        ASSERT_TRUE(std::regex_search(line, v, vendor)) << line;
        ASSERT_TRUE(std::regex_search(line, p, product)) << line;
        matched.emplace(v[1], p[1]);
    }
    EXPECT_GT(rules, 0);
    const std::set<std::pair<std::string, std::string>> usual = {
        {"0403", "6001"}, {"0403", "6010"}, {"0403", "6014"}, {"0403", "6015"},  // FTDI
        {"1a86", "7523"}, {"1a86", "5523"},                                      // CH340, CH341
        {"067b", "2303"},                                                        // PL2303
        {"10c4", "ea60"},                                                        // CP210x
    };
    for (const auto& [v, p] : usual) EXPECT_TRUE(matched.count({v, p})) << v << ":" << p << " has no rule";
}

}  // namespace
}  // namespace orvex
