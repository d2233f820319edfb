// Windows ports in the window, from a made-up device tree and made-up
// news: a cable plugged in is named as Device Manager names it, and a port
// the port settings file's first place refuses is kept in the second, which
// the next window reads. The same on every platform: the COM numbers are
// mapped to Windows' own names.
#include <filesystem>

#include "app/support/FrameHarness.h"
#include "link/PortSettingsFile.h"
#include "link/WindowsPorts.h"
#include "support/FakeDeviceEvents.h"

namespace orvex::test {
namespace {

WindowsPortNode Port(std::string name, std::string friendly) {
    WindowsPortNode n;
    n.portName = std::move(name);
    n.friendlyName = std::move(friendly);
    n.hardwareIds = {"USB\\VID_1A86&PID_7523&REV_0254"};
    return n;
}

struct WindowsHarness {
    WindowsHarness() { Open(); }
    ~WindowsHarness() { Close(); }
    void Open() {
        ViewOptions options;
        options.prompter = &prompts;
        options.makePort = [this](IEventLoop& loop) { return std::make_unique<sim::SimLinePort>(loop, radio); };
        options.scanDevices = [] { return std::vector<std::string>{}; };
        options.deviceEvents = &events;
        options.deviceInfo = [this](const std::string& device) {
            const WindowsPortNode* node = FindPortNode(tree, device);
            return node ? DeviceInfoOf(*node) : DeviceInfo{};
        };
        options.portSettingsPath = places.primary;
        options.portSettingsFallback = places.fallback;
        options.folders = &folders;
        options.settingsPath = dir.File("orvex.ini");
        frame = std::make_unique<CMainFrame>(options);
    }
    void Close() {
        frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString Status() const { return QString::fromStdString(frame->View()->Form().View().StatusText()); }

    TempDir dir;
    PortSettingsPlaces places{dir.File("ORVEX.CFG"), dir.File("Local/ORVEX/ORVEX.CFG")};
    FoldersAt folders{dir.File("data")};
    std::vector<WindowsPortNode> tree{Port("COM3", "USB-SERIAL CH340 (COM3)"), Port("COM12", "")};
    FakeDeviceEvents events;
    ScriptedPrompter prompts;
    sim::SimRadio radio{sim::SampleMemory(), sim::Faults{}};
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace

class WindowsPortNewsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("ORVEX_PORT_MAP", "COM3=\\\\.\\COM3,COM12=\\\\.\\COM12"); }
    void cleanupTestCase() { qunsetenv("ORVEX_PORT_MAP"); }

    void aCableIsNamedWithoutThePortWindowsPutsBehindItsName() {
        WindowsHarness h;
        h.events.Send(DeviceEvent::Kind::Added, "\\\\.\\COM3");
        QCOMPARE(h.Status(), QString("COM3: USB-SERIAL CH340 connected"));
        h.events.Send(DeviceEvent::Kind::Removed, "\\\\.\\COM3");
        QCOMPARE(h.Status(), QString("COM3 disconnected"));
        h.events.Send(DeviceEvent::Kind::Added, "\\\\.\\COM12");
        QCOMPARE(h.Status(), QString("COM12 connected"));
    }

    void aPortTheFirstPlaceRefusesIsToldOnceAndReadByTheNextWindow() {
        WindowsHarness h;
        // A standard user's C:\ takes no new file: here a folder is in the way.
        std::filesystem::remove(h.places.primary);
        std::filesystem::create_directories(h.places.primary + "/in-the-way");
        QVERIFY(h.frame->View()->RememberPort(3));
        QCOMPARE(h.Status(), QString::fromStdString(MovedPortSettingsText(3, h.places)));
        QVERIFY(h.prompts.shown.empty());
        h.frame->View()->Form().View().SetStatusText("before");
        QVERIFY(h.frame->View()->RememberPort(12));
        QCOMPARE(h.Status(), QString("before"));
        h.Close();
        h.Open();
        QCOMPARE(h.frame->View()->Link().ConfiguredPort(), 11);
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::WindowsPortNewsTest)
#include "WindowsPortNewsTest.moc"
