// Opening the remembered port: which device, what the pane says, and the
// one retry before the user is told.
#include <gtest/gtest.h>

#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "ports/support/SearchRig.h"

namespace orvex {
namespace {

using test::PaneText;
using test::SearchRig;
using test::SimDevice;

// Runs OpenRadioPort to its end and returns what it reported.
int OpenAndWait(SearchRig& rig) {
    int result = 99;
    rig.link->OpenRadioPort([&](int r) { result = r; });
    EXPECT_TRUE(rig.loop.RunUntil([&] { return result != 99 && !rig.link->Activity().pausing; }, 5000));
    return result;
}

TEST(OpenRadioPort, IndexNineOpensTheDeviceOfCom10) {
    PortMap map;
    ASSERT_TRUE(map.AddOverrides("COM2=/dev/radio-two"));
    std::vector<std::string> scanned;
    for (int i = 0; i < 12; ++i) scanned.push_back("/dev/ttyUSB" + std::to_string(i));
    map.SetScanned(scanned);
    SearchRig rig([map](int index) { return map.DeviceFor(index + 1); });
    rig.link->SetConfiguredPort(9);

    EXPECT_EQ(OpenAndWait(rig), 0);
    ASSERT_EQ(rig.port->opens.size(), 1u);
#ifdef _WIN32
    // Windows names COM10 itself; neither the map nor the devices move it.
    EXPECT_EQ(rig.port->opens[0].name, "\\\\.\\COM10");
#else
    // COM2 is taken by the map, so COM10 is the ninth device found.
    EXPECT_EQ(rig.port->opens[0].name, "/dev/ttyUSB8");
#endif
    EXPECT_TRUE(rig.port->IsConnected());
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(10));
    EXPECT_TRUE(rig.prompter.seen.empty());
}

TEST(OpenRadioPort, TheRememberedIndexFromTheFileIsOpenedAtStartUp) {
    SearchRig rig;
    rig.SetFileText("4\n");
    rig.link->SetConfiguredPort(ReadPortSettings(rig.portFile).index);
    EXPECT_EQ(OpenAndWait(rig), 0);
    EXPECT_EQ(rig.port->OpenedName(), SimDevice(5));
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(5));
}

TEST(OpenRadioPort, BothAttemptsFailingGiveOneMessageWithTheReasonAndKeepThePane) {
    SearchRig rig;
    rig.Refuse(3);
    ASSERT_EQ(OpenAndWait(rig), 0);  // COM1 is in use and shown
    ASSERT_EQ(rig.form.View().PortPaneText(), PaneText(1));
    rig.link->SetConfiguredPort(2);
    const std::size_t mark = rig.port->Mark();

    EXPECT_EQ(OpenAndWait(rig), -1);
    rig.loop.RunFor(2000);

    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    const auto& shown = rig.prompter.seen[0];
    EXPECT_EQ(shown.message.text, "Can't Open COM Port!");
    EXPECT_EQ(shown.message.icon, MsgIcon::Stop);
    EXPECT_NE(shown.message.detail.find(SimDevice(3)), std::string::npos) << shown.message.detail;
    EXPECT_NE(shown.message.detail.find("no such device"), std::string::npos) << shown.message.detail;

    const auto opens = rig.port->OpensFrom(mark);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].name, SimDevice(3));
    EXPECT_EQ(opens[1].name, SimDevice(3));
    EXPECT_EQ(opens[1].atMs - opens[0].atMs, 500);
    EXPECT_FALSE(rig.port->IsConnected());
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(1));
}

TEST(OpenRadioPort, ASecondAttemptThatOpensCountsAsSuccess) {
    SearchRig rig;
    rig.link->SetConfiguredPort(2);
    rig.port->FailNextOpens(SimDevice(3), 1);

    EXPECT_EQ(OpenAndWait(rig), 0);
    EXPECT_TRUE(rig.prompter.seen.empty());
    ASSERT_EQ(rig.port->opens.size(), 2u);
    EXPECT_FALSE(rig.port->opens[0].ok);
    EXPECT_TRUE(rig.port->opens[1].ok);
    EXPECT_TRUE(rig.port->IsConnected());
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(3));
}

TEST(OpenRadioPort, AReadWhosePortOpensOnTheRetryGoesAhead) {
    SearchRig rig;
    rig.PlaceRadio(3);
    rig.link->SetConfiguredPort(2);
    rig.port->FailNextOpens(SimDevice(3), 1);

    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    EXPECT_EQ(rig.prompter.LastText(), "UPLOAD COMPLETE");
}

}  // namespace
}  // namespace orvex
