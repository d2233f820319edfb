// clone: one settings file into radio after radio on the same cable, each
// backed up, written and verified, with a row of the report for each.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "link/RadioPresence.h"
#include "tools/cli/CliPlatform.h"
#include "tools/cli/CliSession.h"
#include "tools/cli/CloneReport.h"
#include "ui/model/VerifiedWrite.h"
#include "ui/model/VerifyTexts.h"

namespace orvex::cli {
namespace {

constexpr const char* kStoppingWithoutBackups =
    "Stopping: no radio is written while what it holds cannot be kept as a backup.";

struct CloneOptions {
    std::string file;
    std::string report;
    std::string port;
    int count = 0;  // 0: until Ctrl+C
};

// Parses the arguments; an empty string when they are fine, else the usage
// error.
std::string ParseCloneArgs(const Args& args, CloneOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size() && !args[i + 1].empty();
        if (a == "--count") {
            char* end = nullptr;
            const long n = hasValue ? std::strtol(args[i + 1].c_str(), &end, 10) : 0;
            if (!hasValue || *end != '\0' || n < 1 || n > 100000) return "--count needs a number of radios, 1 or more";
            o.count = static_cast<int>(n);
            ++i;
        } else if (a == "--report") {
            if (!hasValue) return "--report needs a file name (FILE.csv)";
            o.report = args[++i];
        } else if (a == "--port") {
            if (!hasValue) return "--port needs a device path or COMn";
            o.port = args[++i];
        } else if (a.rfind("--", 0) == 0 || !o.file.empty()) {
            return "clone takes one settings file and --count N, --report FILE.csv, --port DEV, not " + a;
        } else {
            o.file = a;
        }
    }
    return o.file.empty() ? "clone needs the settings file to write" : std::string{};
}

// The batch, on the session's loop: wait for a radio, program it, wait
// for it to go, and again.
class CloneRun {
public:
    CloneRun(CliSession& session, const CloneOptions& options, CloneReport* report)
        : m_session(session),
          m_options(options),
          m_report(report),
          m_presence(session.Link(), session.Loop()),
          m_before(report ? report->LastRadio() : 0),
          m_radio(m_before) {
        m_presence.SetObserver([this](const RadioPresence::Probe& p) { OnProbe(p); });
    }

    void Start() { NextRadio(); }
    bool Finished() const { return m_finished; }

    // Ctrl+C, on the loop: a radio being programmed is finished first.
    void Interrupt() {
        if (m_stopping || m_finished) return;
        m_stopping = true;
        if (m_session.Session().VerifyRunning()) {
            std::printf("Stopping after radio %d is done.\n", m_radio);
            std::fflush(stdout);
            return;
        }
        m_presence.Cancel();
        Finish();
    }

    int ExitStatus() const {
        const bool allDone = m_options.count == 0 || m_verified == m_options.count;
        return m_programmed > 0 && m_verified == m_programmed && allDone && !m_reportFailed ? kExitOk : kExitFailed;
    }

private:
    // Radios asked for in this run, and whether all that were asked for are.
    int ThisRun() const { return m_radio - m_before; }
    bool AllAskedFor() const { return m_options.count > 0 && ThisRun() >= m_options.count; }
    // The last read's backup failed for what the radio held, not the folder.
    bool RadioUnstorable() {
        return m_session.Backups() && m_session.Backups()->LastProblem() == kBackupUnstorable;
    }

    void NextRadio() {
        if (m_stopping || AllAskedFor()) {
            Finish();
            return;
        }
        ++m_radio;
        // A batch that adds to a report goes on with its numbers, so each
        // radio keeps the number of its row.
        if (m_options.count > 0 && m_before > 0)
            std::printf("Connect radio %d (%d of %d)\n", m_radio, ThisRun(), m_options.count);
        else if (m_options.count > 0)
            std::printf("Connect radio %d of %d\n", m_radio, m_options.count);
        else
            std::printf("Connect radio %d (Ctrl+C ends)\n", m_radio);
        std::fflush(stdout);
        m_presence.AwaitRadio([this](const RadioPresence::Probe&) { Program(); });
    }

    void OnProbe(const RadioPresence::Probe& probe) {
        const bool noPort = probe.finding == RadioPresence::Finding::NoPort;
        // Said once each time the cable goes or comes, not at every probe.
        if (noPort && !m_cableGone)
            std::fprintf(stderr, "The cable is not there (%s); waiting for it.\n", probe.detail.c_str());
        else if (!noPort && m_cableGone)
            std::fprintf(stderr, "The cable is back.\n");
        m_cableGone = noPort;
    }

    void Program() {
        std::printf("Radio %d: programming...\n", m_radio);
        std::fflush(stdout);
        ++m_programmed;
        const bool started = m_session.Session().StartWriteAndVerify([this](const VerifyResult& r) { OnVerified(r); });
        if (!started) {
            VerifyResult refused;
            refused.status = VerifyResult::Status::NotStarted;
            OnVerified(refused);
        }
    }

    void OnVerified(const VerifyResult& r) {
        if (m_reported == m_radio) return;  // one verdict per radio
        m_reported = m_radio;
        CloneRow row{ReportTime(), m_radio, m_session.Link().ConfiguredDevice(), r.backupPath, {}, {}};
        switch (r.status) {
            case VerifyResult::Status::Verified:
                ++m_verified;
                row.result = "OK";
                break;
            case VerifyResult::Status::Differs:
                row.result = "DIFFERS";
                row.differences = FormatDifferences(r.differences, "; ");
                break;
            case VerifyResult::Status::Failed:
            case VerifyResult::Status::NotStarted: {
                row.result = "FAILED";
                std::string why = r.said.empty() ? std::string(texts::kVerifyStepDeclined) : r.said.front().text;
                if (r.status == VerifyResult::Status::Failed) why += " while " + std::string(StepName(r.step));
                row.differences = why;
                break;
            }
        }
        const std::string line = row.differences.empty() ? row.result : row.result + " (" + row.differences + ")";
        // The whole verdict, with the backup and what to do, goes with the
        // other messages; stdout keeps one line per radio.
        if (r.status != VerifyResult::Status::Verified) {
            const UserMessage told = VerifyMessage(r);
            if (!told.text.empty()) m_session.Form().Messages().Show(told);
        }
        if (const Outcome<void> appended = m_report ? m_report->Append(row) : Outcome<void>{}; !appended) {
            std::fprintf(stderr, "The report could not be written: %s. Stopping after this radio.\n",
                         appended.problem().Text().c_str());
            m_reportFailed = true;
            m_stopping = true;
        }
        // A folder that could not keep this radio's backup keeps no other
        // radio's either; a frequency this radio holds that no settings file
        // can store is its own problem, and the batch goes on.
        if (r.noBackup && !m_stopping && !RadioUnstorable()) {
            std::fprintf(stderr, "%s\n", kStoppingWithoutBackups);
            m_stopping = true;
        }
        std::printf("Radio %d: %s, disconnect it\n", m_radio, line.c_str());
        std::fflush(stdout);
        if (m_stopping || AllAskedFor()) {
            Finish();
            return;
        }
        m_presence.AwaitDeparture([this](const RadioPresence::Probe&) { NextRadio(); });
    }

    void Finish() {
        if (m_finished) return;
        m_finished = true;
        std::printf("%d of %d radio%s programmed and verified.\n", m_verified, m_programmed,
                    m_programmed == 1 ? "" : "s");
        std::fflush(stdout);
    }

    CliSession& m_session;
    CloneOptions m_options;
    CloneReport* m_report;
    RadioPresence m_presence;
    int m_before;          // the last radio of the report's earlier batches
    int m_radio;           // the radio asked for last
    int m_programmed = 0;  // radios a write and verify ran for
    int m_verified = 0;
    int m_reported = 0;  // the radio whose verdict was given last
    bool m_cableGone = false;
    bool m_stopping = false;
    bool m_finished = false;
    bool m_reportFailed = false;
};

}  // namespace

int CmdClone(const Args& args) {
    CloneOptions options;
    if (const std::string wrong = ParseCloneArgs(args, options); !wrong.empty()) return UsageError(wrong);
    InterruptHandler interrupt;  // before the port's threads
    CliSession session(options.port);
    if (!session.Form().Open(options.file)) return kExitFailed;
    // A file no radio would take is refused before the first radio is asked for.
    if (const std::optional<UserMessage> refusal = VerifyRefusal(session.Form())) {
        session.Form().Messages().Show(*refusal);
        return kExitFailed;
    }
    CloneReport report;
    if (const Outcome<void> opened = options.report.empty() ? Outcome<void>{} : report.Open(options.report); !opened) {
        std::fprintf(stderr, "The report cannot be written: %s\n", opened.problem().Text().c_str());
        return kExitFailed;
    }
    session.KeepBackups();
    CloneRun run(session, options, options.report.empty() ? nullptr : &report);
    interrupt.OnInterrupt([&] { session.Loop().Post([&] { run.Interrupt(); }); });
    run.Start();
    while (!run.Finished()) session.Loop().RunUntil([&] { return run.Finished(); }, 3600 * 1000LL);
    interrupt.OnInterrupt(nullptr);
    return run.ExitStatus();
}

}  // namespace orvex::cli
