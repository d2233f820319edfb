#include "tools/cli/CliSession.h"

#include <cstdio>

#include "files/UserFolders.h"
#include "link/CRadioPort.h"
#include "link/DeviceIdentity.h"
#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "tools/cli/CliPlatform.h"

namespace orvex::cli {

CliSession::CliSession(const std::string& port) : m_form(m_prompter), m_loop(EventLoop::Clock::Real) {
    m_form.StartUp();
    m_form.AddObserver(this);
    m_tty = StderrIsTerminal();
    const auto com = ParseComName(port);
    CRadioLink::PortResolver resolve = [map = m_ports](int index) {
        map->Refresh();  // a search runs long enough for cables to come and go
        return map->DeviceFor(index + 1);
    };
    // A port named on the command line is the one every opening uses.
    if (!port.empty()) resolve = [device = m_ports->Resolve(port)](int) { return device; };
    m_link = std::make_unique<CRadioLink>(m_form, m_loop, std::make_unique<CRadioPort>(), resolve);
    m_link->SetConfiguredPort(com ? *com - 1 : (port.empty() ? m_remembered.index : 0));
    // Printing never keeps the radio waiting: each wrong answer is told as
    // it comes, a line of the log as it always was.
    m_link->SetWrongAnswerReport(WrongAnswerReport::EachAtOnce);
    // The window's way back names its own commands; a script reads the exit
    // status, and the lines it matches stay as they were.
    m_link->SetRecoveryAdvice(false);
}

std::string CliSession::IdentityOf(int comNumber) const { return StableIdentity(m_ports->DeviceFor(comNumber)); }

CliSession::~CliSession() {
    m_form.RemoveObserver(this);
    m_link.reset();
}

void CliSession::KeepBackups() {
    if (m_backups) return;
    m_backupStore = std::make_unique<BackupStore>(BackupFolder(SystemUserFolders()));
    m_backups = std::make_unique<ReadBackups>(m_form, *m_backupStore, [this](const std::string& news) {
        // After a progress bar, the news starts on a line of its own.
        if (m_tty && m_drawn >= 0 && m_drawn < 10) std::fputc('\n', stderr);
        std::fprintf(stderr, "%s\n", news.c_str());
    });
}

void CliSession::OnFormChanged(unsigned changes) {
    if ((changes & kChangeProgress) && m_tty) DrawProgress();
}

void CliSession::DrawProgress() {
    const int done = m_form.Progress();
    if (done == m_drawn) return;
    m_drawn = done;
    std::string bar(static_cast<std::size_t>(done), '#');
    bar.resize(10, '.');
    std::fprintf(stderr, "\r[%s] %2d/10 channels", bar.c_str(), done);
    if (done == 10) std::fputc('\n', stderr);
    std::fflush(stderr);
}

void CliSession::RunUntilSettled() {
    // Longer than any transfer can take: every silence ends in 2 s.
    constexpr std::int64_t kLimitMs = 10 * 60 * 1000;
    m_loop.RunUntil([this] { return m_link->Settled(); }, kLimitMs);
    if (m_tty && m_drawn >= 0 && m_drawn < 10) std::fputc('\n', stderr);
}

}  // namespace orvex::cli
