// orvex-bench-window: how the main window holds up while the protocol runs on
// its own event loop, against the in-process simulated cable and radio.
//
//   start-up   from process start and from main() to the window exposed
//              and to the form's first paint
//   stall      the longest gap between ticks of a 1 ms timer: idle, during a
//              full read, and during a band plan 3 write (the slowest one,
//              23 flag bytes 50 ms apart at the end)
//   check      the longest gap while Connection Check runs on a line that
//              opens and stays silent (its line test listens 600 ms)
//   memory     peak resident set (VmHWM)
//
// Run it on a display (xvfb-run -a) or with QT_QPA_PLATFORM=offscreen.
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainFrm.h"
#include "tools/sim/SimLinePort.h"
#include "tools/sim/SimRadio.h"
#include "ui/QMView.h"

using namespace orvex;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kStallTargetMs = 100.0;

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// Milliseconds since the kernel started this process (10 ms resolution),
// or a negative value when /proc cannot tell.
double MsSinceProcessStart() {
    std::ifstream in("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = stat.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream fields(stat.substr(close + 2));
    std::string field;
    // Field 3 (state) comes first after the name; starttime is field 22.
    for (int i = 3; i < 22 && fields >> field; ++i) {
    }
    unsigned long long startTicks = 0;
    if (!(fields >> startTicks)) return -1;
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) return -1;
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

long PeakRssKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

// Answers every message at once and keeps its text.
class QuietPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& m) override {
        shown.push_back(m.text);
        return m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    }
    std::vector<std::string> shown;
};

// The longest wait of a 1 ms timer for its turn: whatever holds up the
// event loop holds up the user's clicks and repaints the same way.
class StallMeter {
public:
    StallMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
            ++m_ticks;
        });
    }
    void Start() {
        m_longest = 0;
        m_ticks = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void Stop() {
        m_timer.stop();
        // The wait since the last tick counts as well.
        m_longest = std::max(m_longest, m_clock.nsecsElapsed() - m_last);
    }
    double LongestMs() const { return m_longest / 1e6; }
    long Ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
    long m_ticks = 0;
};

// Runs the event loop until done() holds or timeoutMs pass.
bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    poll.start(5);
    if (!done()) loop.exec();
    return done();
}

// Notes the first time an event of one type reaches an object.
class FirstEvent : public QObject {
public:
    FirstEvent(QEvent::Type type, Clock::time_point t0) : m_type(type), m_t0(t0) {}
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == m_type && ms < 0) ms = MsSince(m_t0);
        return QObject::eventFilter(o, e);
    }
    double ms = -1;

private:
    QEvent::Type m_type;
    Clock::time_point m_t0;
};

struct Transfer {
    bool ok = false;
    double durationMs = 0;
    double stallMs = 0;
    long ticks = 0;
};

Transfer Measure(CMainFrame& frame, int command, StallMeter& meter) {
    CRadioLink& link = frame.View()->Link();
    Transfer t;
    const auto t0 = Clock::now();
    meter.Start();
    frame.OnCommand(command);
    t.ok = RunUntil([&] { return !link.Activity().Busy() && link.Outcome() != TransferOutcome::Running &&
                                 link.Outcome() != TransferOutcome::None; },
                    20000) &&
           link.Outcome() == TransferOutcome::Completed;
    meter.Stop();
    t.durationMs = MsSince(t0);
    t.stallMs = meter.LongestMs();
    t.ticks = meter.Ticks();
    return t;
}

// --runs N; nothing when the arguments are wrong (the usage is shown).
std::optional<int> ParseRuns(int argc, char** argv) {
    int runs = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: %s [--runs N]\n", argv[0]);
            return std::nullopt;
        }
    }
    return runs;
}

// A line for Connection Check that opens and never answers. Both ends stay
// open for the rest of the run: closing the master would hang the line up.
bool OpenSilentLine(std::string& name) {
    int ptyMaster = -1, ptySlave = -1;
    char ptyName[256] = {};
    if (::openpty(&ptyMaster, &ptySlave, ptyName, nullptr, nullptr) != 0) {
        std::fprintf(stderr, "no pseudo-terminal for the silent line\n");
        return false;
    }
    termios raw{};
    ::tcgetattr(ptySlave, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(ptySlave, TCSANOW, &raw);
    name = ptyName;
    return true;
}

ViewOptions BenchOptions(QuietPrompter& prompter, sim::SimRadio& radio, const std::string& silentLine,
                         const QTemporaryDir& scratch) {
    ViewOptions options;
    options.prompter = &prompter;
    options.makePort = [&radio](IEventLoop& loop) { return std::make_unique<sim::SimLinePort>(loop, radio); };
    // COM1 names the silent line; the transfers go to the simulated radio
    // whatever the name.
    options.resolver = [&silentLine](int index) { return index == 0 ? silentLine : "COM" + std::to_string(index + 1); };
    options.portSettingsPath = scratch.filePath("ORVEX.CFG").toStdString();
    return options;
}

struct Figures {
    int runs = 1;
    double processAtMain = -1;
    double exposedMs = -1;
    double paintedMs = -1;
    double idleStall = 0;
    Transfer read, write;
    double checkStall = 0;
    bool checked = true;
    bool programmed = false;
    long peakKiB = -1;
};

// Shows the window and waits for it to be exposed, painted and on its port;
// false (and why on stderr) when it did not come up. The watchers stay with
// the caller: they keep watching the window for as long as it runs.
bool ShowWindow(CMainFrame& frame, FirstEvent& exposed, FirstEvent& painted, Figures& fig) {
    frame.View()->installEventFilter(&painted);
    frame.winId();  // the native window exists now, so its expose can be watched
    frame.windowHandle()->installEventFilter(&exposed);
    frame.show();
    const bool shown = RunUntil([&] { return exposed.ms >= 0 && painted.ms >= 0; }, 10000);
    fig.exposedMs = exposed.ms;
    fig.paintedMs = painted.ms;
    const bool portOpen = RunUntil([&] { return frame.PortPaneText().contains("ComPort:1"); }, 5000);
    if (!shown || !portOpen) {
        std::fprintf(stderr, "the window did not come up (shown %d, port %d)\n", shown, portOpen);
        return false;
    }
    return true;
}

double IdleStall(StallMeter& meter) {
    meter.Start();
    RunUntil([] { return false; }, 1000);
    meter.Stop();
    return meter.LongestMs();
}

void MeasureChecks(CMainFrame& frame, const QuietPrompter& prompter, StallMeter& meter, Figures& fig) {
    for (int r = 0; r < fig.runs; ++r) {
        const std::size_t before = prompter.shown.size();
        meter.Start();
        frame.OnCommand(ID_CONNECTION_CHECK);
        fig.checked = RunUntil([&] { return prompter.shown.size() > before; }, 5000) && fig.checked &&
                      prompter.shown.back().rfind("Connection Check:", 0) == 0;
        meter.Stop();
        fig.checkStall = std::max(fig.checkStall, meter.LongestMs());
    }
}

Transfer Worst(const std::vector<Transfer>& v) {
    Transfer w = v.front();
    for (const Transfer& t : v) {
        w.ok = w.ok && t.ok;
        w.stallMs = std::max(w.stallMs, t.stallMs);
        w.durationMs = std::max(w.durationMs, t.durationMs);
        w.ticks = std::min(w.ticks, t.ticks);
    }
    return w;
}

void PrintFigures(const Figures& fig) {
    auto procMs = [&](double ms) { return fig.processAtMain < 0 ? -1.0 : fig.processAtMain + ms; };
    const Transfer& read = fig.read;
    const Transfer& write = fig.write;
    std::printf("orvex-bench-window (%s platform, %d run%s; worst of the runs)\n",
                QGuiApplication::platformName().toLocal8Bit().constData(), fig.runs, fig.runs == 1 ? "" : "s");
    std::printf("%-44s %10s %10s\n", "figure", "value", "target");
    std::printf("%-44s %7.1f ms %10s\n", "start-up: process start -> window exposed", procMs(fig.exposedMs), "");
    std::printf("%-44s %7.1f ms %10s\n", "start-up: process start -> form painted", procMs(fig.paintedMs), "");
    std::printf("%-44s %7.1f ms %10s\n", "start-up: main() -> window exposed", fig.exposedMs, "");
    std::printf("%-44s %7.1f ms %10s\n", "start-up: main() -> form painted", fig.paintedMs, "");
    std::printf("%-44s %7.1f ms %10s\n", "event loop stall, idle (timer jitter)", fig.idleStall, "");
    std::printf("%-44s %7.1f ms %10s\n", "read: duration", read.durationMs, "");
    std::printf("%-44s %7.1f ms %7.0f ms\n", "read: longest event loop stall", read.stallMs, kStallTargetMs);
    std::printf("%-44s %7.1f ms %10s\n", "write, band plan 3: duration", write.durationMs, "");
    std::printf("%-44s %7.1f ms %7.0f ms\n", "write, band plan 3: longest event loop stall", write.stallMs,
                kStallTargetMs);
    std::printf("%-44s %7.1f ms %7.0f ms\n", "Connection Check: longest event loop stall", fig.checkStall,
                kStallTargetMs);
    std::printf("%-44s %7.1f MiB %9s\n", "peak memory (VmHWM)", fig.peakKiB / 1024.0, "");
    std::printf("%-44s %10s\n", "transfers completed, radio programmed",
                read.ok && write.ok && fig.programmed ? "yes" : "NO");
}

}  // namespace

int main(int argc, char** argv) {
    const auto mainStart = Clock::now();
    Figures fig;
    fig.processAtMain = MsSinceProcessStart();
    QApplication app(argc, argv);
    const std::optional<int> runs = ParseRuns(argc, argv);
    if (!runs) return 2;
    fig.runs = *runs;

    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        std::fprintf(stderr, "no scratch folder for the port settings file\n");
        return 1;
    }
    std::string silentLine;
    if (!OpenSilentLine(silentLine)) return 1;
    QuietPrompter prompter;
    sim::SimRadio radio(sim::SampleMemory());
    const ViewOptions options = BenchOptions(prompter, radio, silentLine, scratch);

    CMainFrame frame(options);
    FirstEvent exposed(QEvent::Expose, mainStart);
    FirstEvent painted(QEvent::Paint, mainStart);
    if (!ShowWindow(frame, exposed, painted, fig)) return 1;

    StallMeter meter;
    fig.idleStall = IdleStall(meter);

    std::vector<Transfer> reads, writes;
    for (int r = 0; r < fig.runs; ++r) {
        reads.push_back(Measure(frame, ID_READ_FROM_RADIO, meter));
        // The read leaves band plan 3 with its flags in the form: the write
        // sends all of it back.
        writes.push_back(Measure(frame, ID_WRITE_TO_RADIO, meter));
    }
    MeasureChecks(frame, prompter, meter, fig);
    fig.programmed = radio.WritesCompleted() == fig.runs && radio.Memory().bandPlan == kBandPlanSouthAfrica &&
                     radio.Memory().flags == sim::SampleMemory().flags;
    fig.peakKiB = PeakRssKiB();
    fig.read = Worst(reads);
    fig.write = Worst(writes);
    PrintFigures(fig);

    const bool pass = fig.read.ok && fig.write.ok && fig.programmed && fig.read.stallMs < kStallTargetMs &&
                      fig.write.stallMs < kStallTargetMs && fig.checked && fig.checkStall < kStallTargetMs;
    if (!pass) {
        for (const std::string& m : prompter.shown) std::fprintf(stderr, "message: %s\n", m.c_str());
    }
    return pass ? 0 : 1;
}
