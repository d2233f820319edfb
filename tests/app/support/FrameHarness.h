#pragma once
// The main window over a simulated cable and radio, with a scripted user, a
// scratch port settings file and COM names for port indexes. The helpers
// drive it the way a person would (clicks, keys, toolbar buttons) and wait
// on the window's own event loop: in real time, or (Setup::virtualTime) in
// virtual time, where the protocol's pauses pass at once.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QToolBar>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

#include <functional>

#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "GridCtrl_src/GridCtrl.h"
#include "app/MainFrm.h"
#include "files/UserFolders.h"
#include "gui/support/Screenshot.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "tools/sim/SimLinePort.h"
#include "tools/sim/SimRadio.h"
#include "ui/CFontStatic_src/FontStatic.h"
#include "ui/QMView.h"
#include "ui/readonlycombo_src/ReadOnlyComboBox.h"

namespace orvex::test {

inline constexpr int kReadTimeoutMs = 8000;
inline constexpr int kWriteTimeoutMs = 10000;

// The menu of the window's menu bar titled title, or null; and its items.
inline QMenu* MenuOf(const CMainFrame& frame, const QString& title) {
    for (QAction* a : frame.menuBar()->actions())
        if (a->text() == title) return a->menu();
    return nullptr;
}
inline QStringList MenuItemsOf(const CMainFrame& frame, const QString& title) {
    QStringList items;
    if (QMenu* menu = MenuOf(frame, title))
        for (QAction* a : menu->actions()) items << a->text();
    return items;
}

// The user's data folder at a fixed place.
struct FoldersAt final : IUserFolders {
    explicit FoldersAt(std::string folder) : data(std::move(folder)) {}
    std::string DataFolder() const override { return data; }
    std::string data;
};

class FrameHarness {
public:
    struct Setup {
        sim::RadioMemory memory = sim::SampleMemory();
        sim::Faults faults{};
        // Content of the port settings file before start; nullopt: no file.
        std::optional<std::string> portFile = std::string("0\n");
        // Only this device has the radio on it; empty: every port has it.
        std::string radioDevice;
        // Backups and unsaved edits; null: a scratch data folder of the
        // harness's own.
        const IUserFolders* folders = nullptr;
        // The settings file with the recent-file list; empty: a scratch one
        // of the harness's own, never the user's.
        std::string settingsPath;
        // The window's waits on a clock the helpers run on (Wait, Pass).
        bool virtualTime = false;
    };
    static Setup VirtualTime() {
        Setup s;
        s.virtualTime = true;
        return s;
    }

    FrameHarness() : FrameHarness(Setup{}) {}
    explicit FrameHarness(const Setup& setup)
        : portFile(dir.File("ORVEX.CFG")), radio(setup.memory, setup.faults) {
        if (setup.portFile) {
            std::ofstream out(portFile, std::ios::binary);
            out << *setup.portFile;
        }
        ViewOptions options;
        options.virtualTime = setup.virtualTime;
        options.prompter = &prompts;
        options.makePort = [this, device = setup.radioDevice](IEventLoop& loop) {
            auto port = std::make_unique<sim::SimLinePort>(loop, radio);
            if (!device.empty()) port->SetRadioDevice(device);
            line = port.get();
            return std::unique_ptr<IRadioPort>(std::move(port));
        };
        options.resolver = [](int index) { return "COM" + std::to_string(index + 1); };
        options.portSettingsPath = portFile;
        options.folders = setup.folders ? setup.folders : &folders;
        options.settingsPath = setup.settingsPath.empty() ? dataDir.File("orvex.ini") : setup.settingsPath;
        frame = std::make_unique<CMainFrame>(options);
    }
    ~FrameHarness() {
        frame.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    FrameHarness(const FrameHarness&) = delete;
    FrameHarness& operator=(const FrameHarness&) = delete;

    CQMView& View() const { return *frame->View(); }
    CRadioLink& Link() const { return View().Link(); }
    CGridCtrl& Grid() const { return *View().Grid(); }

    // ---- Start-up ----------------------------------------------------------
    // Shows and activates the window, so that keys and clicks reach it.
    bool ShowAndActivate() {
        frame->show();
        if (!QTest::qWaitForWindowExposed(frame.get())) return false;
        frame->activateWindow();
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
        QApplication::setActiveWindow(frame.get());
#endif
        return QTest::qWaitForWindowActive(frame.get());
    }
    static QString PortPane(int com) { return QString("                        ComPort:%1").arg(com); }
    // Runs the window until done() holds or ms pass on its clock.
    bool Wait(const std::function<bool()>& done, int ms) const {
        QtEventLoop& loop = View().Loop();
        return loop.IsVirtual() ? loop.RunUntil(done, ms) : QTest::qWaitFor(done, ms);
    }
    // Lets ms pass: whatever is due by then has happened.
    void Pass(int ms) const {
        if (View().Loop().IsVirtual())
            View().Loop().RunFor(ms);
        else
            QTest::qWait(ms);
    }
    // Waits for the remembered port to be opened and shown.
    bool WaitPortShown(int com, int ms = 2000) {
        return Wait([&] { return frame->PortPaneText() == PortPane(com); }, ms);
    }
    // Shown, active and with the remembered COM1 open: ready for the user.
    bool Ready() { return ShowAndActivate() && WaitPortShown(1); }

    // ---- Transfers -------------------------------------------------------
    bool WaitTransferEnd(int ms) {
        return Wait(
            [&] {
                // Its last steps (the pause after it, the form given back)
                // are over too, so a click that follows is the user's next.
                return !Link().Activity().Busy() && Link().Outcome() != TransferOutcome::Running &&
                       !View().Form().View().IsTableLocked();
            },
            ms);
    }
    bool WaitTransferStarted(int ms = 2000) {
        return Wait([&] { return View().Form().View().IsTableLocked(); }, ms);
    }
    // Waits until at least n bytes have gone to the line since the last open.
    bool WaitAppBytes(std::size_t n, int ms = 2000) {
        return Wait([&] { return line->WrittenBytes().size() >= n; }, ms);
    }
    bool ReadFromRadio() {
        frame->OnCommand(ID_READ_FROM_RADIO);
        return WaitTransferEnd(kReadTimeoutMs) && Link().Outcome() == TransferOutcome::Completed;
    }
    bool WriteToRadio() {
        frame->OnCommand(ID_WRITE_TO_RADIO);
        return WaitTransferEnd(kWriteTimeoutMs) && Link().Outcome() == TransferOutcome::Completed;
    }

    // ---- The user's messages -----------------------------------------------
    QStringList Messages() const {
        QStringList out;
        for (const UserMessage& m : prompts.shown) out << QString::fromStdString(m.text);
        return out;
    }
    int Count(std::string_view text) const {
        int n = 0;
        for (const UserMessage& m : prompts.shown) n += m.text == text;
        return n;
    }

    // ---- Toolbar and keys ------------------------------------------------
    QAction* ToolAction(const QString& text) const {
        for (QAction* a : frame->ToolBar()->actions())
            if (!a->isSeparator() && a->text() == text) return a;
        return nullptr;
    }
    QToolButton* ToolButton(const QString& text) const {
        QAction* a = ToolAction(text);
        return a ? qobject_cast<QToolButton*>(frame->ToolBar()->widgetForAction(a)) : nullptr;
    }
    void ClickTool(const QString& text) const {
        QToolButton* b = ToolButton(text);
        QVERIFY2(b, qPrintable("no toolbar button " + text));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    // A key as the user presses it: to whatever has the focus.
    void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) const {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : frame.get(), key, mods);
    }
    void Type(const QString& text) const {
        for (const QChar ch : text) {
            QWidget* target = QApplication::focusWidget();
            QTest::keyClick(target ? target : frame.get(), ch.toLatin1());
        }
    }

    // ---- Channel table -----------------------------------------------------
    QMenu* Menu(const QString& title) const { return MenuOf(*frame, title); }
    QStringList MenuItems(const QString& title) const { return MenuItemsOf(*frame, title); }

    QString Cell(int row) const { return QString::fromStdString(Grid().Core().GetCellText(row, kFrequencyColumn)); }
    QStringList Cells() const {
        QStringList out;
        for (int r = 1; r <= kChannelCount; ++r) out << Cell(r);
        return out;
    }
    void ClickCell(int row, int col = kFrequencyColumn) const {
        QTest::mouseClick(&Grid(), Qt::LeftButton, Qt::NoModifier, Grid().Geometry().CellRect(row, col).center());
    }
    // Selects the cell (a click on an unselected cell), then types.
    void TypeIntoCell(int row, const QString& text, Qt::Key end = Qt::Key_Return) const {
        if (Grid().Core().Selection().Focus() != grid::CellId{row, kFrequencyColumn}) ClickCell(row);
        Type(text);
        Key(end);
    }

    // ---- Band section ------------------------------------------------------
    QString ModeText() const { return View().ModeSelect()->currentText(); }
    // The user picks entry index of Mode Select from its list.
    void ChooseBandPlan(int index) const { View().ModeSelect()->setCurrentIndex(index); }
    QStringList EmgItems() const {
        QStringList out;
        for (int i = 0; i < View().EmgChannel()->count(); ++i) out << View().EmgChannel()->itemText(i);
        return out;
    }
    QString EmgShown() const { return View().EmgChannel()->currentText(); }
    void ChooseEmg(const QString& item) const {
        const int i = View().EmgChannel()->findText(item, Qt::MatchExactly);
        QVERIFY2(i >= 0, qPrintable(item + " is not in the Emg Channel list"));
        View().EmgChannel()->setCurrentIndex(i);
    }
    void ClickBox(int n) const { QTest::mouseClick(View().ChannelBox(n), Qt::LeftButton); }
    std::vector<int> CheckedBoxes() const {
        std::vector<int> out;
        for (int n = 1; n <= kChannelEnableCount; ++n)
            if (View().ChannelBox(n)->isChecked()) out.push_back(n);
        return out;
    }
    // Mode Select, Emg Channel and every CH box have this enabled state.
    bool BandControlsEnabled(bool modeSelect, bool section) const {
        if (View().ModeSelect()->isEnabled() != modeSelect) return false;
        if (View().EmgChannel()->isEnabled() != section) return false;
        for (int n = 1; n <= kChannelEnableCount; ++n)
            if (View().ChannelBox(n)->isEnabled() != section) return false;
        return true;
    }

    std::string PortFileContent() const {
        std::ifstream in(portFile, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    // A picture of the whole window for a person to look at after the run.
    QString Screenshot(const QString& name) { return SaveScreenshot(*frame, name); }

    // Declared in this order: the window (and the port it owns) goes first.
    TempDir dir;
    TempDir dataDir;  // apart from dir, which tests expect to hold their files only
    FoldersAt folders{dataDir.File("orvex")};
    std::string portFile;
    ScriptedPrompter prompts;
    sim::SimRadio radio;
    sim::SimLinePort* line = nullptr;  // owned by the window's link
    std::unique_ptr<CMainFrame> frame;
};

// Deals with modal dialogs (file dialogs, the About box) while a command
// waits in their exec(): each one that comes up is handed to handle, which
// must close it. Dialogs nobody expected are counted all the same.
class ModalWatch {
public:
    explicit ModalWatch(std::function<void(QWidget*)> handle) : m_handle(std::move(handle)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || m_inHandler || m_handled.contains(w)) return;
            m_handled << QPointer<QWidget>(w);
            ++m_count;
            m_inHandler = true;
            m_handle(w);
            m_inHandler = false;
        });
        m_timer.start(10);
    }
    int Count() const { return m_count; }

private:
    std::function<void(QWidget*)> m_handle;
    QTimer m_timer;
    QList<QPointer<QWidget>> m_handled;
    int m_count = 0;
    bool m_inHandler = false;
};

// Types path into the dialog's file name field and presses its OK, so the
// dialog's own checks and its default suffix apply. A dialog that refuses
// is cancelled rather than left waiting.
inline void Pick(QFileDialog& d, const QString& path) {
    auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
    QVERIFY2(edit, "the file dialog has no file name field");
    edit->setText(path);
    static_cast<QDialog&>(d).accept();
    if (d.isVisible()) {
        d.reject();
        QFAIL(qPrintable("the file dialog refused " + path));
    }
}

// Ten cells as the table shows them after a read of the sample radio.
inline QStringList SampleCells() {
    return {"26.9650", "27.0050", "27.1250", "27.4050", "", "28.0000", "29.6000", "26.0000", "30.0000", "27.2150"};
}

}  // namespace orvex::test
