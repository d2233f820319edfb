// The connection check's findings, each from a made-up system: /dev, sysfs
// up to the adapter, /proc, /etc/group and the udev rules folders, with the
// user's groups and rights given by the test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "link/ConnectionCheck.h"
#include "support/FakeSystem.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

using test::FakeSystem;

// A CH340 cable on ttyUSB0 as the kernel shows it.
void Ch340(FakeSystem& sys) {
    sys.Adapter("ttyUSB0", "1-2", "");
    sys.File(sys.Usb("1-2") + "/idVendor", "1a86\n");
    sys.File(sys.Usb("1-2") + "/idProduct", "7523\n");
}

// A copy: the findings are often a temporary.
std::optional<Finding> Find(const std::vector<Finding>& findings, const std::string& check) {
    const auto it = std::find_if(findings.begin(), findings.end(), [&](const Finding& f) { return f.check == check; });
    return it == findings.end() ? std::nullopt : std::optional<Finding>(*it);
}

std::string Dump(const std::vector<Finding>& findings) { return FormatFindings(findings); }

class ConnectionCheckTree : public ::testing::Test {
protected:
    void SetUp() override {
        Ch340(sys);
        sources.root = sys.Root();
        sources.userName = "alice";
        sources.mayOpen = true;
        sources.selfPid = 4242;
    }
    std::vector<Finding> Check() { return CheckDevice("/dev/ttyUSB0", sources); }
    FakeSystem sys;
    CheckSources sources;
};

TEST_F(ConnectionCheckTree, AHealthySystemHasNoProblems) {
    const auto findings = Check();
    for (const char* check : {"device", "permission", "holders", "brltty", "modemmanager"}) {
        auto f = Find(findings, check);
        ASSERT_TRUE(f) << check << "\n" << Dump(findings);
        EXPECT_EQ(f->result, FindingResult::Ok) << Dump(findings);
        EXPECT_EQ(f->fix, "");
    }
}

TEST_F(ConnectionCheckTree, AMissingDeviceIsTheOnlyFinding) {
    const auto findings = CheckDevice("/dev/ttyUSB7", sources);
    ASSERT_EQ(findings.size(), 1u) << Dump(findings);
    EXPECT_EQ(findings[0].check, "device");
    EXPECT_EQ(findings[0].result, FindingResult::Problem);
    EXPECT_NE(findings[0].detail.find("/dev/ttyUSB7 does not exist"), std::string::npos);
    EXPECT_NE(findings[0].fix.find("orvex-cli ports"), std::string::npos);
    EXPECT_EQ(CheckDevice("", sources).at(0).result, FindingResult::Problem);
}

TEST_F(ConnectionCheckTree, PermissionNamesTheGroupAndTheWayIntoIt) {
    sources.mayOpen = false;
    const long gid = sys.GroupOf("/dev/ttyUSB0");
    const std::string group = "dialout:x:" + std::to_string(gid) + ":";
    // A member in /etc/group, whose login started before: log out and in.
    sys.File("/etc/group", "wheel:x:99999:alice\n# a comment\nbroken line\n" + group + "bob,alice\n");
    sources.groupIds = {1000};
    auto f = Find(Check(), "permission");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->result, FindingResult::Problem);
    EXPECT_NE(f->detail.find("member of the group dialout"), std::string::npos) << f->detail;
    EXPECT_NE(f->fix.find("Log out and log in again"), std::string::npos) << f->fix;
    EXPECT_EQ(f->fix.find("usermod"), std::string::npos) << f->fix;

    // Not a member: the usermod command for this user, or the udev rule.
    sys.File("/etc/group", group + "bob\n");
    f = Find(Check(), "permission");
    ASSERT_TRUE(f);
    EXPECT_NE(f->detail.find("alice is not a member"), std::string::npos) << f->detail;
    EXPECT_NE(f->fix.find("sudo usermod -aG dialout alice"), std::string::npos) << f->fix;
    EXPECT_NE(f->fix.find("60-orvex-cable.rules"), std::string::npos) << f->fix;

    // Allowed to open it: nothing to fix.
    sources.mayOpen = true;
    EXPECT_EQ(Find(Check(), "permission")->result, FindingResult::Ok);
}

TEST_F(ConnectionCheckTree, EveryOtherHolderIsNamedWithItsFix) {
    sys.Link("/proc/100/fd/3", "/dev/ttyUSB0");
    sys.File("/proc/100/comm", "ModemManager\n");
    sys.Link("/proc/200/fd/5", "/dev/ttyUSB0");
    sys.File("/proc/200/comm", "minicom\n");
    sys.Link("/proc/300/fd/7", "/dev/ttyUSB0");
    sys.File("/proc/300/comm", "orvex-cli\n");
    sys.Link("/proc/400/fd/9", "/dev/ttyUSB0");
    sys.File("/proc/400/comm", "brltty\n");
    // The checking process itself does not count.
    sys.Link("/proc/4242/fd/3", "/dev/ttyUSB0");
    sys.File("/proc/4242/comm", "orvex-cli\n");
    std::vector<Finding> holders;
    for (const Finding& f : Check())
        if (f.check == "holders") holders.push_back(f);
    ASSERT_EQ(holders.size(), 4u) << Dump(holders);
    for (const Finding& f : holders) EXPECT_EQ(f.result, FindingResult::Problem);
    EXPECT_NE(holders[0].detail.find("ModemManager (pid 100)"), std::string::npos) << holders[0].detail;
    EXPECT_NE(holders[0].fix.find("ModemManager"), std::string::npos);
    EXPECT_NE(holders[1].detail.find("minicom (pid 200)"), std::string::npos);
    EXPECT_NE(holders[1].fix.find("terminal program minicom"), std::string::npos) << holders[1].fix;
    EXPECT_NE(holders[2].fix.find("Another copy"), std::string::npos) << holders[2].fix;
    EXPECT_NE(holders[3].fix.find("sudo apt remove brltty"), std::string::npos) << holders[3].fix;
}

TEST_F(ConnectionCheckTree, BrlttyRulesThatClaimTheAdapterAreFoundInEitherForm) {
    // A rule for another adapter and a commented-out one claim nothing.
    sys.File("/usr/lib/udev/rules.d/85-brltty.rules",
             "ENV{PRODUCT}==\"403/6001/*\", ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\"\n"
             "# ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\", GOTO=\"brltty\"\n");
    EXPECT_EQ(Find(Check(), "brltty")->result, FindingResult::Ok);

    sys.File("/lib/udev/rules.d/85-brltty.rules",
             "ACTION==\"add\", SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"1A86\", ATTRS{idProduct}==\"7523\", "
             "ENV{BRLTTY_BRAILLE_DRIVER}=\"bm\"\n");
    auto f = Find(Check(), "brltty");
    EXPECT_EQ(f->result, FindingResult::Problem);
    EXPECT_NE(f->detail.find("/lib/udev/rules.d/85-brltty.rules"), std::string::npos) << f->detail;
    EXPECT_EQ(f->detail.find(sys.Root()), std::string::npos) << f->detail;
    EXPECT_NE(f->detail.find("1a86:7523"), std::string::npos);
    EXPECT_NE(f->fix.find("sudo apt remove brltty"), std::string::npos) << f->fix;

    // The newer form: the USB PRODUCT key, hex without leading zeros.
    FakeSystem other;
    Ch340(other);
    other.File("/usr/lib/udev/rules.d/90-brltty-device.rules", "ENV{PRODUCT}==\"1a86/7523/*\", ENV{BRLTTY}=\"1\"\n");
    sources.root = other.Root();
    EXPECT_EQ(Find(Check(), "brltty")->result, FindingResult::Problem);
}

TEST_F(ConnectionCheckTree, ModemManagerNeedsARuleThatKeepsItOffTheAdapter) {
    sys.File("/proc/77/comm", "ModemManager\n");
    sys.File("/usr/lib/udev/rules.d/77-mm-usb-device-blacklist.rules",
             "ATTRS{idVendor}==\"0403\", ATTRS{idProduct}==\"6001\", ENV{ID_MM_DEVICE_IGNORE}=\"1\"\n"
             "ATTRS{idVendor}==\"1a86\", ATTRS{idProduct}==\"7523\", ENV{ID_MM_CANDIDATE}=\"1\"\n");
    auto f = Find(Check(), "modemmanager");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->result, FindingResult::Problem) << f->detail;
    EXPECT_NE(f->fix.find("60-orvex-cable.rules"), std::string::npos) << f->fix;
    EXPECT_NE(f->fix.find("udevadm control --reload"), std::string::npos) << f->fix;

    // The rule this project ships, once installed, is what the check wants.
    const char* source = std::getenv("ORVEX_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream in(std::string(source) + "/dist/60-orvex-cable.rules");
    ASSERT_TRUE(in);
    sys.File("/etc/udev/rules.d/60-orvex-cable.rules", std::string(std::istreambuf_iterator<char>(in), {}));
    f = Find(Check(), "modemmanager");
    EXPECT_EQ(f->result, FindingResult::Ok) << f->detail;
    EXPECT_NE(f->detail.find("/etc/udev/rules.d/60-orvex-cable.rules"), std::string::npos) << f->detail;
}

TEST_F(ConnectionCheckTree, ADeviceWithoutUsbIdsSkipsTheRuleChecksWithANote) {
    sys.File("/dev/ttyS0");
    const auto findings = CheckDevice("/dev/ttyS0", sources);
    EXPECT_FALSE(Find(findings, "brltty"));
    ASSERT_TRUE(Find(findings, "adapter"));
    EXPECT_EQ(Find(findings, "adapter")->result, FindingResult::Note);
}

TEST(ConnectionCheckLine, TheAnswerToOneDeviceCheckIsClassified) {
    using B = std::vector<std::uint8_t>;
    EXPECT_EQ(ClassifyLineAnswer(B{}), LineAnswer::Silent);
    EXPECT_EQ(ClassifyLineAnswer(B{0x11}), LineAnswer::EchoOnly);
    EXPECT_EQ(ClassifyLineAnswer(B{0x11, 0x7F}), LineAnswer::Radio);
    EXPECT_EQ(ClassifyLineAnswer(B{0x7F}), LineAnswer::Radio);  // a cable without echo
    EXPECT_EQ(ClassifyLineAnswer(B{0x11, 0x7F, 0x00}), LineAnswer::Other);
    EXPECT_EQ(ClassifyLineAnswer(B{0x11, 0x11}), LineAnswer::Other);
    EXPECT_EQ(ClassifyLineAnswer(B{0xFF, 0x00}), LineAnswer::Other);
    EXPECT_STREQ(LineAnswerName(LineAnswer::Radio), "answers");
    EXPECT_STREQ(LineAnswerName(LineAnswer::EchoOnly), "echo-only");

    LineTestResult noise;
    noise.received = {0x11, 0xAB, 0x05};
    noise.answer = ClassifyLineAnswer(noise.received);
    const Finding f = LineFinding(noise);
    EXPECT_EQ(f.result, FindingResult::Problem);
    EXPECT_NE(f.detail.find("(11 AB 05)"), std::string::npos) << f.detail;
    const std::string text = FormatFindings({f, {"device", FindingResult::Ok, "here.", ""}});
    EXPECT_EQ(text, "PROBLEM  " + f.detail + "\n         fix: " + f.fix + "\nok       here.\n");
}

}  // namespace
}  // namespace orvex
