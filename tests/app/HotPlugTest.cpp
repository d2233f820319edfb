// Cables plugged in and pulled while the window runs, told by a fake event
// source over a fake system root; and Select Port > Port List..., which
// remembers the chosen port as a successful search does.
#include <QDialogButtonBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

#include <filesystem>

#include "app/support/FrameHarness.h"
#include "link/LinkTexts.h"
#include "support/FakeDeviceEvents.h"
#include "ui/PortListDialog.h"
#include "ui/UdevDeviceEvents.h"

namespace orvex::test {
namespace {

namespace fs = std::filesystem;

// The simulated line, whose cable can be pulled: the port then reports the
// hang-up as the system's port does when its device goes.
class PullableLine : public sim::SimLinePort {
public:
    using SimLinePort::SimLinePort;
    void SetListener(IPortListener* listener) override {
        m_listener = listener;
        SimLinePort::SetListener(listener);
    }
    bool OpenPort(const std::string& name, unsigned baudRate, std::uint16_t portId) override {
        m_hungUp = false;
        return SimLinePort::OpenPort(name, baudRate, portId);
    }
    bool HasHungUp() const override { return m_hungUp; }
    void Pull() {
        m_hungUp = true;
        if (m_listener) m_listener->OnPortHangUp();
    }

private:
    IPortListener* m_listener = nullptr;
    bool m_hungUp = false;
};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// The window over a system root of our own: its /dev holds what the test
// plugs in, and ttyUSB0 is an adapter that tells its product name.
class PlugHarness {
public:
    PlugHarness() : portFile(root.File("ORVEX.CFG")), radio(sim::SampleMemory(), sim::Faults{}) {
        WriteFile(portFile, "0\n");
        const fs::path usb0 = root.Path() / "sys/class/tty/ttyUSB0/device";
        WriteFile(usb0 / "idVendor", "0403\n");
        WriteFile(usb0 / "idProduct", "6001\n");
        WriteFile(usb0 / "manufacturer", "FTDI\n");
        WriteFile(usb0 / "product", "FT232R USB UART\n");
        ViewOptions options;
        options.prompter = &prompts;
        options.makePort = [this](IEventLoop& loop) {
            auto port = std::make_unique<PullableLine>(loop, radio);
            line = port.get();
            return std::unique_ptr<IRadioPort>(std::move(port));
        };
        options.portSettingsPath = portFile;
        options.scanDevices = [this] {
            std::vector<std::string> present;
            for (const std::string& d : plugged)
                if (fs::exists(root.Path() / fs::path(d).relative_path())) present.push_back(d);
            return present;
        };
        options.systemRoot = root.Path().string();
        options.deviceEvents = &events;
        frame = std::make_unique<CMainFrame>(options);
        // A COM number with no device behind it resolves to no name, which
        // the system's port never opens.
        line->RefuseOpen("");
    }
    ~PlugHarness() {
        frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    CQMView& View() const { return *frame->View(); }
    QString Status() const { return QString::fromStdString(View().Form().View().StatusText()); }

    void Plug(const std::string& device) {
        WriteFile(root.Path() / fs::path(device).relative_path(), "");
        plugged.push_back(device);
        events.Send(DeviceEvent::Kind::Added, device);
    }
    void Unplug(const std::string& device) {
        fs::remove(root.Path() / fs::path(device).relative_path());
        std::erase(plugged, device);
        events.Send(DeviceEvent::Kind::Removed, device);
    }
    // The start-up opening of the remembered port is over.
    bool Settle() {
        return QTest::qWaitFor([&] { return line->Opens() >= 1 && !View().Link().Activity().Busy(); }, 3000);
    }
    int Count(const std::string& text) const {
        int n = 0;
        for (const UserMessage& m : prompts.shown) n += m.text == text;
        return n;
    }
    // A read to its end, or to the message that it could not start.
    bool Read() {
        const std::size_t messages = prompts.shown.size();
        bool started = false;
        frame->OnCommand(ID_READ_FROM_RADIO);
        return QTest::qWaitFor(
            [&] {
                const CRadioLink& link = View().Link();
                started = started || View().Form().View().IsTableLocked();
                const bool idle = !link.Activity().Busy() && !View().Form().View().IsTableLocked();
                return idle && (started || prompts.shown.size() > messages);
            },
            kReadTimeoutMs);
    }
    std::string PortFileContent() const {
        std::ifstream in(portFile, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    TempDir root;
    std::string portFile;
    std::vector<std::string> plugged;
    FakeDeviceEvents events;
    ScriptedPrompter prompts;
    sim::SimRadio radio;
    PullableLine* line = nullptr;
    std::unique_ptr<CMainFrame> frame;
};

// Picks com in the Port List dialog and presses Remember (or Cancel).
void AnswerPortList(QWidget* w, int com, bool remember, QStringList* rows = nullptr) {
    auto* dialog = qobject_cast<CPortListDialog*>(w);
    if (!dialog) {
        w->close();
        return;
    }
    if (rows)
        for (int r = 0; r < dialog->Table()->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < dialog->Table()->columnCount(); ++c)
                cells << (dialog->Table()->item(r, c) ? dialog->Table()->item(r, c)->text() : QString());
            *rows << cells.join('|');
        }
    if (!remember) {
        dialog->reject();
        return;
    }
    dialog->SelectCom(com);
    QTest::mouseClick(dialog->RememberButton(), Qt::LeftButton);
}

}  // namespace

class HotPlugTest : public QObject {
    Q_OBJECT
private slots:
    void pluggedAndPulledDevicesAreNamedOnTheStatusLine() {
        PlugHarness h;
        QVERIFY(h.events.Connected());
        h.Plug("/dev/ttyUSB0");
        QCOMPARE(h.Status(), QString("COM1: FT232R USB UART (ttyUSB0) connected"));
        // An adapter that tells no product is named by its device alone.
        h.Plug("/dev/ttyUSB1");
        QCOMPARE(h.Status(), QString("COM2: ttyUSB1 connected"));
        h.Unplug("/dev/ttyUSB0");
        QCOMPARE(h.Status(), QString("COM1: ttyUSB0 disconnected"));
        QCOMPARE(h.View().Ports().DeviceFor(1), std::string());
        QCOMPARE(h.View().Ports().DeviceFor(2), std::string("/dev/ttyUSB1"));
    }

    void devicesWithoutANumberAreNoNews() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        const QString before = h.Status();
        // A console the scan does not number, a removal of something never
        // seen, and an event without a device.
        h.events.Send(DeviceEvent::Kind::Added, "/dev/tty5");
        h.events.Send(DeviceEvent::Kind::Removed, "/dev/ttyACM7");
        h.events.Send(DeviceEvent::Kind::Removed, "");
        QCOMPARE(h.Status(), before);
    }

    void theRememberedCableOpensAgainAfterReplugging() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        QVERIFY(h.Settle());
        QVERIFY(h.Read());
        QCOMPARE(h.View().Link().Outcome(), TransferOutcome::Completed);
        QCOMPARE(h.line->OpenedName(), std::string("/dev/ttyUSB0"));

        h.Unplug("/dev/ttyUSB0");
        const int opensBefore = h.line->Opens();
        // With nothing behind COM1 the read cannot start.
        QVERIFY(h.Read());
        QVERIFY(h.line->Opens() > opensBefore);
        QCOMPARE(h.line->OpenedName(), std::string());
        QVERIFY(h.Count(std::string(texts::kCantOpenPort)) >= 1);

        h.Plug("/dev/ttyUSB0");
        QCOMPARE(h.Status(), QString("COM1: FT232R USB UART (ttyUSB0) connected"));
        QVERIFY(h.Read());
        QCOMPARE(h.View().Link().Outcome(), TransferOutcome::Completed);
        QCOMPARE(h.line->OpenedName(), std::string("/dev/ttyUSB0"));
        // This opening carried the read: its bytes went to the line.
        QVERIFY(!h.line->WrittenBytes().empty());
    }

    void aTransferKeepsItsStatusLineButTheMapLearns() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        QVERIFY(h.Settle());
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(QTest::qWaitFor([&] { return h.View().Form().View().IsTableLocked(); }, 2000));
        h.Plug("/dev/ttyUSB1");
        QVERIFY(!h.Status().contains("ttyUSB1"));
        QCOMPARE(h.View().Ports().DeviceFor(2), std::string("/dev/ttyUSB1"));
        QVERIFY(QTest::qWaitFor([&] { return !h.View().Link().Activity().Busy(); }, kReadTimeoutMs));
        QCOMPARE(h.View().Link().Outcome(), TransferOutcome::Completed);
    }

    void aCablePulledDuringATransferEndsItAtOnce() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        QVERIFY(h.Settle());
        h.frame->OnCommand(ID_READ_FROM_RADIO);
        QVERIFY(QTest::qWaitFor([&] { return h.line->WrittenBytes().size() >= 4; }, 2000));
        h.line->Pull();
        h.Unplug("/dev/ttyUSB0");
        // The hang-up ends it, not the receive watchdog: the message says which.
        QVERIFY(QTest::qWaitFor([&] { return !h.View().Link().Activity().Busy(); }, 2000));
        QCOMPARE(h.View().Link().Outcome(), TransferOutcome::Failed);
        QCOMPARE(h.Count(std::string(texts::kPortLost)), 1);
        QVERIFY(!h.View().Form().View().IsTableLocked());
        // The transfer is over, so the cable's return is news again.
        h.Plug("/dev/ttyUSB0");
        QCOMPARE(h.Status(), QString("COM1: FT232R USB UART (ttyUSB0) connected"));
        QCOMPARE(h.View().Ports().DeviceFor(1), std::string("/dev/ttyUSB0"));
    }

    void portListComesAfterTheSearchItems() {
        PlugHarness h;
        QCOMPARE(MenuItemsOf(*h.frame, "&Select Port"), (QStringList{"&Auto Search", "Auto S&top", "&Port List..."}));
    }

    void portListRemembersTheChosenPort() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        h.Plug("/dev/ttyUSB1");
        QVERIFY(h.Settle());
        QStringList rows;
        ModalWatch watch([&](QWidget* w) { AnswerPortList(w, 2, true, &rows); });
        h.frame->Action(ID_PORT_LIST)->trigger();
        QCOMPARE(watch.Count(), 1);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0], QString("COM1 (remembered)|/dev/ttyUSB0|||0403:6001|FTDI|FT232R USB UART||present"));
        QCOMPARE(rows[1], QString("COM2|/dev/ttyUSB1|||||||present"));
        QCOMPARE(h.PortFileContent(), std::string("1\n"));
        QCOMPARE(h.View().Link().ConfiguredPort(), 1);
        QCOMPARE(h.frame->PortPaneText(), FrameHarness::PortPane(2));
        QCOMPARE(h.Count("COM2 is not remembered for the next start."), 0);
        // The next read opens the port remembered.
        QVERIFY(h.Read());
        QCOMPARE(h.line->OpenedName(), std::string("/dev/ttyUSB1"));
    }

    void cancelChangesNothing() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        h.Plug("/dev/ttyUSB1");
        const QString pane = h.frame->PortPaneText();
        ModalWatch watch([&](QWidget* w) { AnswerPortList(w, 2, false); });
        h.frame->Action(ID_PORT_LIST)->trigger();
        QCOMPARE(watch.Count(), 1);
        QCOMPARE(h.PortFileContent(), std::string("0\n"));
        QCOMPARE(h.View().Link().ConfiguredPort(), 0);
        QCOMPARE(h.frame->PortPaneText(), pane);
    }

    void aFileThatCannotBeWrittenIsReported() {
        PlugHarness h;
        h.Plug("/dev/ttyUSB0");
        h.Plug("/dev/ttyUSB1");
        QVERIFY(h.Settle());
        const std::string notRemembered = "COM2 is not remembered for the next start.";
        // No such port: nothing to remember, nothing to tell.
        QVERIFY(!h.View().RememberPort(0));
        QVERIFY(!h.View().RememberPort(257));
        QCOMPARE(h.Count(notRemembered), 0);
        QCOMPARE(h.PortFileContent(), std::string("0\n"));
        // A folder where the file should be: nothing can be written there.
        fs::remove(h.portFile);
        fs::create_directories(h.portFile + "/in-the-way");
        QVERIFY(!h.View().RememberPort(2));
        QCOMPARE(h.Count(notRemembered), 1);
        // This run uses it all the same.
        QCOMPARE(h.View().Link().ConfiguredPort(), 1);
    }

    void anEmptyListRemembersNothing() {
        PlugHarness h;
        bool rememberEnabled = true;
        int rows = -1;
        ModalWatch watch([&](QWidget* w) {
            auto* dialog = qobject_cast<CPortListDialog*>(w);
            if (dialog) {
                rememberEnabled = dialog->RememberButton()->isEnabled();
                rows = dialog->Table()->rowCount();
                dialog->accept();
            } else {
                w->close();
            }
        });
        h.frame->Action(ID_PORT_LIST)->trigger();
        QCOMPARE(rows, 0);
        QVERIFY(!rememberEnabled);
        QCOMPARE(h.PortFileContent(), std::string("0\n"));
    }

    void aComNumberWithNoDeviceSendsTheUserToTheWindowsPortList() {
        // The window's own port, not a simulated line: its words are the
        // ones the user reads.
        TempDir dir;
        ScriptedPrompter prompts;
        ViewOptions options;
        options.prompter = &prompts;
        options.portSettingsPath = dir.File("ORVEX.CFG");
        options.scanDevices = [] { return std::vector<std::string>{}; };
        options.systemRoot = dir.Path().string();
        CMainFrame frame(options);
        frame.OnCommand(ID_READ_FROM_RADIO);
        const auto refusal = [&] {
            for (const UserMessage& m : prompts.shown)
                if (m.text == texts::kCantOpenPort) return m.detail;
            return std::string();
        };
        QVERIFY(QTest::qWaitFor([&] { return !refusal().empty(); }, kReadTimeoutMs));
        QCOMPARE(refusal(), std::string("COM1: no device is mapped to this port (pick the cable's port in Select Port > Port List)"));
    }

    void theSystemMonitorStartsOrSaysWhyNot() {
        // A container may have no netlink socket for udev: then Start says
        // why, and the window goes on without hot-plug news.
        UdevDeviceEvents events;
        const Outcome<void> start = events.Start();
        const bool started = start.ok();
        QCOMPARE(events.Listening(), started);
        QCOMPARE(start.problem().Text().empty(), started);
        events.SetHandler([](const DeviceEvent&) {});
        QTest::qWait(50);
        events.SetHandler(nullptr);
        // Starting again replaces the first monitor.
        QCOMPARE(events.Start().ok(), started);
    }
};

}  // namespace orvex::test

QTEST_MAIN(orvex::test::HotPlugTest)
#include "HotPlugTest.moc"
