// What a serial device is and who holds it, read from a made-up system
// tree: /dev with its by-id links, sysfs up to the USB device, and /proc.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "link/DeviceIdentity.h"
#include "link/DeviceInfo.h"
#include "link/PortMap.h"
#include "link/SerialDevices.h"
#include "support/FakeSystem.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

using test::FakeSystem;

class DeviceInfoTree : public ::testing::Test {
protected:
    void SetUp() override {
        sys.Adapter("ttyUSB0", "1-2", "ftdi_sio");
        const std::string usb = sys.Usb("1-2");
        sys.File(usb + "/idVendor", "0403\n");
        sys.File(usb + "/idProduct", "6001\n");
        sys.File(usb + "/manufacturer", "FTDI\n");
        sys.File(usb + "/product", "FT232R USB UART\n");
        sys.File(usb + "/serial", "A1B2C3\n");
        sys.Link("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "../../ttyUSB0");
        // Sorted before the good link, and left behind by an unplugged adapter.
        sys.Link("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "../../ttyUSB9");
    }
    FakeSystem sys;
};

TEST_F(DeviceInfoTree, AnFtdiAdapterShowsItsStableNameDriverIdsAndStrings) {
    const DeviceInfo info = ReadDeviceInfo("/dev/ttyUSB0", sys.Root());
    EXPECT_EQ(info.byId, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_EQ(info.driver, "ftdi_sio");
    EXPECT_EQ(info.vendorId, "0403");
    EXPECT_EQ(info.productId, "6001");
    EXPECT_EQ(info.manufacturer, "FTDI");
    EXPECT_EQ(info.product, "FT232R USB UART");
    EXPECT_EQ(info.serial, "A1B2C3");

    // Named by its stable name, it is the same device.
    const DeviceInfo viaLink =
        ReadDeviceInfo("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", sys.Root());
    EXPECT_EQ(viaLink.serial, "A1B2C3");
    EXPECT_EQ(viaLink.byId, info.byId);
}

TEST_F(DeviceInfoTree, MissingAndMalformedAttributesLeaveTheirFieldsEmpty) {
    // An interface-level tty (as cdc_acm makes) without a driver link, whose
    // USB device tells only a vendor id in capitals, a product id that is
    // not one, and a product string with a terminal escape in it.
    sys.Dir(sys.Usb("1-3") + "/1-3:1.0");
    sys.Link("/sys/class/tty/ttyACM0/device", "../../../devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0");
    sys.File("/dev/ttyACM0");
    sys.File(sys.Usb("1-3") + "/idVendor", "067B\n");
    sys.File(sys.Usb("1-3") + "/idProduct", "zz9!\n");
    sys.File(sys.Usb("1-3") + "/product", "\x1b[2JEvil\xff Cable  \n");

    const DeviceInfo info = ReadDeviceInfo("/dev/ttyACM0", sys.Root());
    EXPECT_EQ(info.byId, "");
    EXPECT_EQ(info.driver, "");
    EXPECT_EQ(info.vendorId, "067b");
    EXPECT_EQ(info.productId, "");
    EXPECT_EQ(info.manufacturer, "");
    EXPECT_EQ(info.product, "?[2JEvil? Cable");
    EXPECT_EQ(info.serial, "");
}

TEST_F(DeviceInfoTree, NothingIsMadeUpForDevicesWithoutSysfsOrThatAreGone) {
    // An on-board port with no sysfs entry, a device unplugged since the
    // listing, and a name the dangling by-id link still promises.
    sys.File("/dev/ttyS0");
    // Above sysfs, an idVendor the walk must not reach.
    sys.File("/idVendor", "dead\n");
    sys.Dir("/sys/devices/platform/serial8250/tty/ttyS1");
    sys.Link("/sys/class/tty/ttyS1/device", "../../../devices/platform/serial8250/tty/ttyS1");
    sys.File("/dev/ttyS1");
    for (const std::string device :
         {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB7", "/dev/ttyUSB9", "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
          "", "/", "relative/ttyUSB0", "/dev/../../../../ttyUSB0"}) {
        const DeviceInfo info = ReadDeviceInfo(device, sys.Root());
        EXPECT_EQ(info.byId, "") << device;
        EXPECT_EQ(info.vendorId, "") << device;
        EXPECT_EQ(info.product, "") << device;
        EXPECT_EQ(info.driver, "") << device;
    }
    // No such root at all.
    EXPECT_EQ(ReadDeviceInfo("/dev/ttyUSB0", sys.Root() + "/nowhere").byId, "");
}

TEST(DeviceStrings, OnlyPrintableTextAndWholeUtf8SequencesPass) {
    EXPECT_EQ(PrintableDeviceString("USB-Serial Controller D"), "USB-Serial Controller D");
    EXPECT_EQ(PrintableDeviceString("Sch\xc3\xa4" "fer \xe2\x82\xac"), "Sch\xc3\xa4" "fer \xe2\x82\xac");
    EXPECT_EQ(PrintableDeviceString("a\tb\rc\x7f"), "a?b?c?");
    // Cut short, overlong, a surrogate, beyond U+10FFFF, a stray continuation.
    EXPECT_EQ(PrintableDeviceString("x\xc3"), "x?");
    EXPECT_EQ(PrintableDeviceString("\xc0\xaf"), "??");
    EXPECT_EQ(PrintableDeviceString("\xed\xa0\x80"), "???");
    EXPECT_EQ(PrintableDeviceString("\xf4\x90\x80\x80"), "????");
    EXPECT_EQ(PrintableDeviceString("\x80z"), "?z");
    EXPECT_EQ(PrintableDeviceString(std::string("a\0b", 3)), "a?b");
    EXPECT_EQ(PrintableDeviceString("   "), "");
}

class DeviceHolders : public DeviceInfoTree {
protected:
    void SetUp() override {
        DeviceInfoTree::SetUp();
        sys.File("/dev/ttyUSB1");
        sys.Link("/proc/100/fd/3", "/dev/ttyUSB0");
        sys.File("/proc/100/comm", "minicom\n");
        // Holding it twice is holding it once; the process ended before its
        // name could be read.
        sys.Link("/proc/200/fd/0", "/dev/ttyUSB0");
        sys.Link("/proc/200/fd/1", "/dev/ttyUSB0");
        // Another user's process: its fd folder cannot be listed (a file
        // here, as the tests may run as root, who can list anything).
        sys.File("/proc/300/fd", "");
        sys.File("/proc/300/comm", "secret\n");
        // A process that vanished, leaving only its folder.
        sys.Dir("/proc/400");
        sys.Link("/proc/50/fd/7", "socket:[123]");
        sys.Link("/proc/50/fd/8", "/dev/ttyUSB7 (deleted)");
        sys.File("/proc/50/comm", "gone-device\n");
        sys.Link("/proc/self", "100");
        sys.Link("/proc/9x/fd/1", "/dev/ttyUSB1");
        sys.Link("/proc/12345678901234567890/fd/1", "/dev/ttyUSB1");
    }
};

TEST_F(DeviceHolders, ProcessesHoldingADeviceAreNamedWithTheirPids) {
    const DeviceStates states(sys.Root());
    EXPECT_EQ(states.Of("/dev/ttyUSB0"), DeviceState::InUse);
    EXPECT_EQ(states.HoldersOf("/dev/ttyUSB0"),
              (std::vector<DeviceHolder>{{100, "minicom"}, {200, ""}}));
    // Under its stable name the device is just as busy.
    EXPECT_EQ(states.HoldersOf("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0").size(), 2u);

    EXPECT_EQ(states.Of("/dev/ttyUSB1"), DeviceState::Present);
    EXPECT_TRUE(states.HoldersOf("/dev/ttyUSB1").empty());
    EXPECT_EQ(states.Of("/dev/ttyUSB7"), DeviceState::Missing);
    EXPECT_TRUE(states.HoldersOf("/dev/ttyUSB7").empty());
    EXPECT_EQ(states.Of("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0"), DeviceState::Missing);
    EXPECT_TRUE(states.HoldersOf("").empty());
}

TEST_F(DeviceHolders, ATreeWithoutProcShowsNothingInUse) {
    const DeviceStates states(sys.Root() + "/dev");
    EXPECT_EQ(states.Of("/ttyUSB0"), DeviceState::Present);
    EXPECT_TRUE(states.HoldersOf("/ttyUSB0").empty());
}

TEST(DeviceHoldersOfThisSystem, ThisProcessIsSeenHoldingAFileItOpened) {
    test::TempDir dir;
    const std::string held = dir.File("held");
    test::WriteBytes(held, {});
    const int fd = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    std::string comm;
    std::getline(std::ifstream("/proc/self/comm"), comm);
    const DeviceStates states;
    ::close(fd);

    EXPECT_EQ(states.Of(held), DeviceState::InUse);
    const auto holders = states.HoldersOf(held);
    EXPECT_NE(std::find(holders.begin(), holders.end(), DeviceHolder{static_cast<long>(::getpid()), comm}),
              holders.end())
        << "pid " << ::getpid() << " (" << comm << ") not among " << holders.size() << " holders";
}

// ---- The remembered cable across renaming -------------------------------------

TEST_F(DeviceInfoTree, TheRememberedCableKeepsItsNumberWhenTheSystemRenamesIt) {
    const std::string id = StableIdentity("/dev/ttyUSB0", sys.Root());
    EXPECT_EQ(id, "device=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");

    // Re-plugged after another adapter: the cable is ttyUSB1 now, the other
    // one ttyUSB0.
    fs::remove(fs::path(sys.Root()) / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    sys.Link("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0", "../../ttyUSB1");
    sys.Adapter("ttyUSB1", "1-3", "ftdi_sio");
    EXPECT_TRUE(HasIdentity("/dev/ttyUSB1", id, sys.Root()));
    EXPECT_FALSE(HasIdentity("/dev/ttyUSB0", id, sys.Root()));

    PortMap map;
    map.Prefer(3, [&](const std::string& device) { return HasIdentity(device, id, sys.Root()); });
    map.SetScanned({"/dev/ttyUSB0", "/dev/ttyUSB1"});
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    EXPECT_EQ(map.DeviceFor(1), "/dev/ttyUSB0");
    // Unplugged, the number waits for the cable; nothing else takes it.
    map.SetScanned({"/dev/ttyUSB0"});
    EXPECT_EQ(map.DeviceFor(3), "");
    map.SetScanned({"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB1"});
    EXPECT_EQ(map.DeviceFor(3), "/dev/ttyUSB1");
    EXPECT_EQ(map.DeviceFor(2), "/dev/ttyUSB2");
}

TEST_F(DeviceInfoTree, WithoutAStableNameTheSerialNumberIdentifiesTheCable) {
    fs::remove(fs::path(sys.Root()) / "dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_EQ(StableIdentity("/dev/ttyUSB0", sys.Root()), "serial=A1B2C3");
    EXPECT_TRUE(HasIdentity("/dev/ttyUSB0", "serial=A1B2C3", sys.Root()));
    EXPECT_FALSE(HasIdentity("/dev/ttyUSB0", "serial=ZZZ", sys.Root()));
    // A port that tells neither has no identity, and matches none.
    sys.File("/dev/ttyS0");
    EXPECT_EQ(StableIdentity("/dev/ttyS0", sys.Root()), "");
    EXPECT_FALSE(HasIdentity("/dev/ttyS0", "", sys.Root()));
    EXPECT_EQ(StableIdentity("", sys.Root()), "");
}

}  // namespace
}  // namespace orvex
