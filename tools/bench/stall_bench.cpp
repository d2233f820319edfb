// orvex-bench-gui: the longest stall of the window's event loop during a
// read and during a South Africa write (a 1 ms timer notes the largest gap
// between its ticks), the time from start to the window shown, and peak
// memory. Runs against the simulated cable and radio in-process.
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/MainFrm.h"
#include "tools/sim/SimLinePort.h"
#include "ui/QMView.h"

using namespace orvex;

namespace {

class QuietPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& m) override { return m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok; }
};

long PeakMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// Runs the loop until the transfer has ended; returns the largest gap
// between ticks of a 1 ms timer, in ms.
double LongestStall(QApplication& app, CMainFrame& frame, int command) {
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed(), worst = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(1);
    frame.OnCommand(command);
    CRadioLink& link = frame.View()->Link();
    while (link.Busy() || link.Outcome() == TransferOutcome::Running) app.processEvents(QEventLoop::WaitForMoreEvents);
    tick.stop();
    return worst / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    QApplication app(argc, argv);
    QuietPrompter prompter;
    sim::SimRadio radio(sim::SampleMemory());
    ViewOptions options;
    options.prompter = &prompter;
    options.makePort = [&radio](IEventLoop& loop) { return std::make_unique<sim::SimLinePort>(loop, radio); };
    options.resolver = [](int index) { return "COM" + std::to_string(index + 1); };
    options.portSettingsPath = "/tmp/orvex-bench-gui.cfg";
    CMainFrame frame(options);
    frame.show();
    while (!frame.isVisible()) app.processEvents();
    app.processEvents();
    const double shownMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    QTimer::singleShot(400, &app, &QApplication::quit);
    app.exec();  // let the start-up open of the port finish

    const double readStall = LongestStall(app, frame, ID_READ_FROM_RADIO);  // the sample is South Africa
    const bool readDone = frame.View()->Link().Outcome() == TransferOutcome::Completed;
    const double writeStall = LongestStall(app, frame, ID_WRITE_TO_RADIO);
    const bool writeDone = frame.View()->Link().Outcome() == TransferOutcome::Completed && radio.WritesCompleted() == 1;
    if (!readDone || !writeDone) std::fprintf(stderr, "a transfer did not complete\n");
    std::printf("%-40s %10s\n", "measure", "value");
    std::printf("%-40s %8.1f ms\n", "longest loop stall, read", readStall);
    std::printf("%-40s %8.1f ms\n", "longest loop stall, write (band plan 3)", writeStall);
    std::printf("%-40s %8.1f ms\n", "start to window shown", shownMs);
    std::printf("%-40s %8ld KiB\n", "peak memory (VmHWM)", PeakMemoryKiB());
    std::remove("/tmp/orvex-bench-gui.cfg");
    return readDone && writeDone && readStall < 100 && writeStall < 100 ? 0 : 1;
}
