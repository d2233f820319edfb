// COM numbers on a system that has device paths: mapped numbers first, then
// the serial devices found, cables before on-board ports. On Windows COM n
// is the system's own name unless the map says otherwise.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "link/PortMap.h"
#include "link/SerialDevices.h"
#include "support/Environment.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
TEST(PortMapScan, CablesComeFirstAndNumbersSortNaturally) {
    test::TempDir dev;
    for (const char* name : {"ttyUSB10", "ttyS1", "ttyACM0", "ttyUSB2", "ttyS10", "ttyS9", "ttyUSB0"})
        test::WriteBytes(dev.File(name), {});
    // Look-alikes that are no serial device of a known family.
    for (const char* name : {"ttyUSB", "ttyUSBx", "ttyS1.lock", "tty0", "ttyACM", "console", "xttyUSB3"})
        test::WriteBytes(dev.File(name), {});

    const auto root = dev.Path();
    EXPECT_EQ(ScanSerialDevices(root.string()),
              (std::vector<std::string>{(root / "ttyUSB0").string(), (root / "ttyUSB2").string(),
                                        (root / "ttyUSB10").string(), (root / "ttyACM0").string(),
                                        (root / "ttyS1").string(), (root / "ttyS9").string(),
                                        (root / "ttyS10").string()}));
}

TEST(PortMapScan, AMissingDeviceFolderGivesNoDevices) {
    test::TempDir dev;
    EXPECT_TRUE(ScanSerialDevices(dev.File("absent")).empty());
    EXPECT_TRUE(ScanSerialDevices(dev.Path().string()).empty());
}

TEST(PortMap, OverridesWinAndScannedDevicesFillTheFreeNumbersInOrder) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM2=/dev/radio,COM4=/tmp/other"));
    map.SetScanned({"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS0"});
    EXPECT_EQ(map.DeviceFor(1), "/dev/ttyUSB0");
    EXPECT_EQ(map.DeviceFor(2), "/dev/radio");
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    EXPECT_EQ(map.DeviceFor(4), "/tmp/other");
    EXPECT_EQ(map.DeviceFor(5), "/dev/ttyACM0");
    EXPECT_EQ(map.DeviceFor(6), "/dev/ttyS0");
    EXPECT_EQ(map.DeviceFor(7), "");
    EXPECT_EQ(map.DeviceFor(256), "");
    EXPECT_EQ(map.DeviceFor(0), "");
    EXPECT_EQ(map.DeviceFor(257), "");
    EXPECT_EQ(map.DeviceFor(-1), "");
}

TEST(PortMap, ADeviceKeepsItsNumberWhileItStaysAndANewOneTakesTheLowestFree) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM2=/tmp/radio"));
    map.SetScanned({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    EXPECT_EQ(map.DeviceFor(1), "/dev/ttyUSB0");
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    // ttyUSB0 unplugged: ttyUSB1 stays COM3 rather than moving up.
    map.SetScanned({"/dev/ttyUSB1"});
    EXPECT_EQ(map.DeviceFor(1), "");
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    // A cable plugged in takes the number that came free; the next one the
    // lowest after it.
    map.SetScanned({"/dev/ttyUSB1", "/dev/ttyUSB2", "/dev/ttyACM0"});
    EXPECT_EQ(map.DeviceFor(1), "/dev/ttyUSB2");
    EXPECT_EQ(map.DeviceFor(2), "/tmp/radio");
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    EXPECT_EQ(map.DeviceFor(4), "/dev/ttyACM0");
}

TEST(PortMap, OnlyNumbersWithADeviceBehindThemArePresent) {
    test::TempDir dir;
    const std::string radio = dir.File("radio");
    test::WriteBytes(radio, {});
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM5=" + radio + ",COM7=" + dir.File("gone")));
    map.SetScanned({});
    EXPECT_EQ(map.PresentNumbers(), std::vector<int>{5});
}

TEST(PortMap, AMappedDeviceIsNotAlsoGivenAScannedNumber) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM5=/dev/ttyUSB1"));
    map.SetScanned({"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyS0"});
    EXPECT_EQ(map.DeviceFor(1), "/dev/ttyUSB0");
    EXPECT_EQ(map.DeviceFor(2), "/dev/ttyS0");
    EXPECT_EQ(map.DeviceFor(3), "");
    EXPECT_EQ(map.DeviceFor(5), "/dev/ttyUSB1");
}
#else
TEST(PortMap, ComNumbersAreTheSystemsOwnNamesAndOverridesWin) {
    PortMap map;
    // Devices found do not move the numbers: COM5 is COM5 whatever is
    // plugged in.
    map.SetScanned({"\\\\.\\COM3", "\\\\.\\COM7"});
    EXPECT_EQ(map.DeviceFor(5), "\\\\.\\COM5");
    EXPECT_EQ(map.DeviceFor(1), "\\\\.\\COM1");
    EXPECT_EQ(map.DeviceFor(10), "\\\\.\\COM10");
    EXPECT_EQ(map.DeviceFor(256), "\\\\.\\COM256");

    ASSERT_TRUE(map.AddOverrides("COM5=\\\\.\\COM12,COM6=C:\\radio.bin"));
    EXPECT_EQ(map.DeviceFor(5), "\\\\.\\COM12");
    EXPECT_EQ(map.DeviceFor(6), "C:\\radio.bin");
    EXPECT_EQ(map.DeviceFor(7), "\\\\.\\COM7");
    EXPECT_EQ(map.DeviceFor(12), "\\\\.\\COM12") << "a number named by an override elsewhere keeps its own name";

    for (const int outside : {0, -1, 257}) EXPECT_EQ(map.DeviceFor(outside), "") << outside;
}
#endif

TEST(PortMap, TheHighestNumberCanBeMapped) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM256=/dev/last"));
    EXPECT_EQ(map.DeviceFor(256), "/dev/last");
#ifndef _WIN32
    EXPECT_EQ(map.DeviceFor(1), "");
#endif
}

TEST(PortMap, OverrideListsAllowBlanksCommentsAndOtherSeparators) {
    PortMap map;
    const Outcome<void> added =
        map.AddOverrides(" com3=/dev/ttyUSB1 ,,COM4=/tmp/radio;COM5=/dev/five\n# a note\nCOM6=/dev/six\r\n");
    ASSERT_TRUE(added) << added.problem();
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    EXPECT_EQ(map.DeviceFor(4), "/tmp/radio");
    EXPECT_EQ(map.DeviceFor(5), "/dev/five");
    EXPECT_EQ(map.DeviceFor(6), "/dev/six");
}

TEST(PortMap, BlanksAroundTheEqualsSignAreNotPartOfTheNameOrPath) {
    PortMap map;
    const Outcome<void> added = map.AddOverrides("COM3 = /dev/ttyUSB1");
    ASSERT_TRUE(added) << added.problem();
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
}

class MalformedOverride : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedOverride, IsRefusedAndNamed) {
    PortMap map;
    const std::string entry = GetParam();
    const Outcome<void> added = map.AddOverrides(entry);
    const std::string error = added.problem().Text();
    EXPECT_FALSE(added);
    EXPECT_NE(error.find(entry.substr(0, entry.find_last_not_of(' ') + 1)), std::string::npos) << error;
}

INSTANTIATE_TEST_SUITE_P(Entries, MalformedOverride,
                         ::testing::Values("COM3", "COM3=", "=/dev/x", "COMx=/dev/x", "COM0=/dev/x",
                                           "COM257=/dev/x", "PORT3=/dev/x", "COM3:/dev/x", "/dev/ttyUSB0",
                                           "COM3=   "));

TEST(PortMap, ResolveTakesAPathAsItIsAndLooksUpAComName) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM2=/tmp/radio"));
    map.SetScanned({"/dev/ttyUSB0"});
    EXPECT_EQ(map.Resolve("/dev/ttyS3"), "/dev/ttyS3");
    EXPECT_EQ(map.Resolve("./radio"), "./radio");
    EXPECT_EQ(map.Resolve("COM2"), "/tmp/radio");
    EXPECT_EQ(map.Resolve("com2"), "/tmp/radio");
#ifdef _WIN32
    EXPECT_EQ(map.Resolve("COM1"), "\\\\.\\COM1");
    EXPECT_EQ(map.Resolve("com12"), "\\\\.\\COM12") << "without the prefix, COM10 and above do not open";
    EXPECT_EQ(map.Resolve("\\\\.\\COM4"), "\\\\.\\COM4");
#else
    EXPECT_EQ(map.Resolve("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(map.Resolve("COM9"), "") << "a COM number without a device must not be opened as a file";
#endif
}

TEST(ParseComName, AcceptsCom1ToCom256InAnyCase) {
    EXPECT_EQ(ParseComName("COM1"), 1);
    EXPECT_EQ(ParseComName("com3"), 3);
    EXPECT_EQ(ParseComName("Com12"), 12);
    EXPECT_EQ(ParseComName("COM256"), 256);
}

TEST(ParseComName, RefusesEverythingElse) {
    for (const char* text : {"COM0", "COM257", "COM2560", "COMx", "COM", "", "CO", "COM-1", "COM+1", "COM 3",
                             "COM3 ", " COM3", "COM3x", "LPT1", "/dev/ttyS0", "COM99999999999999999999"})
        EXPECT_EQ(ParseComName(text), std::nullopt) << '"' << text << '"';
}

TEST(PortMapFromSystem, TheEnvironmentOverridesWinOverTheDevicesFound) {
    const char* old = std::getenv("ORVEX_PORT_MAP");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    test::SetEnv("ORVEX_PORT_MAP", "COM1=/tmp/orvex-mapped-one,COM256=/tmp/orvex-mapped-last");
    Problem problem;
    const PortMap map = PortMap::FromSystem(&problem);
    EXPECT_EQ(problem.Text(), "");
    EXPECT_EQ(map.DeviceFor(1), "/tmp/orvex-mapped-one");
    EXPECT_EQ(map.DeviceFor(256), "/tmp/orvex-mapped-last");
#ifdef _WIN32
    EXPECT_EQ(map.DeviceFor(2), "\\\\.\\COM2");
    EXPECT_EQ(map.DeviceFor(255), "\\\\.\\COM255");
#else
    // The devices of this machine fill COM2 onwards, in scanning order.
    const auto found = NumberedSerialDevices();
    for (std::size_t i = 0; i < found.size() && i < 254; ++i)
        EXPECT_EQ(map.DeviceFor(static_cast<int>(i) + 2), found[i]);
#endif

    test::SetEnv("ORVEX_PORT_MAP", "COM1=/tmp/ok,COM:2=/tmp/typo");
    PortMap::FromSystem(&problem);
    EXPECT_EQ(problem.Text(), "ORVEX_PORT_MAP: bad port map entry 'COM:2=/tmp/typo' (expected COMn=/dev/device)")
        << "a mistyped map is dropped without a word";

    if (saved)
        test::SetEnv("ORVEX_PORT_MAP", *saved);
    else
        test::UnsetEnv("ORVEX_PORT_MAP");
}

}  // namespace
}  // namespace orvex
