#include "tools/cli/CliSession.h"

#include <cstdio>

#include "link/PortMap.h"
#include "link/PortSettingsFile.h"
#include "tools/cli/CliPlatform.h"

namespace orvex::cli {

CliSession::CliSession(const std::string& port) : m_form(m_prompter), m_loop(EventLoop::Clock::Real) {
    m_form.StartUp();
    m_form.AddObserver(this);
    m_tty = StderrIsTerminal();
    SessionOptions options;
    options.prompter = &m_prompter;
    options.loop = &m_loop;
    // A port named on the command line is the one every opening uses; else
    // a search runs long enough for cables to come and go, and the map is
    // looked at again at every opening.
    const auto com = ParseComName(port);
    if (!port.empty()) {
        const PortSettingsRead remembered = ReadPortSettingsFrom(options.portSettings);
        options.resolver = [device = PortMap::FromSystem(nullptr, &remembered).Resolve(port)](int) { return device; };
    }
    options.backupNews = [this](const std::string& news) {
        // After a progress bar, the news starts on a line of its own.
        if (m_tty && m_drawn >= 0 && m_drawn < 10) std::fputc('\n', stderr);
        std::fprintf(stderr, "%s\n", news.c_str());
    };
    m_session = std::make_unique<RadioSession>(m_form, std::move(options));
    if (!port.empty()) Link().SetConfiguredPort(com ? *com - 1 : 0);
    WriteDoubtAdvice advice = Link().DoubtAdvice();
    // Printing never keeps the radio waiting: each wrong answer is told as
    // it comes, a line of the log as it always was.
    advice.wrongAnswers = WrongAnswerReport::EachAtOnce;
    // The window's way back names its own commands; a script reads the exit
    // status, and the lines it matches stay as they were.
    advice.recoveryAdvice = false;
    Link().SetDoubtAdvice(std::move(advice));
}

CliSession::~CliSession() {
    m_form.RemoveObserver(this);
    m_session.reset();
}

void CliSession::KeepBackups() { m_session->KeepBackups(m_folders); }

void CliSession::OnFormChanged(unsigned changes) {
    if ((changes & kChangeProgress) && m_tty) DrawProgress();
}

void CliSession::DrawProgress() {
    const int done = m_form.View().Progress();
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
    m_loop.RunUntil([this] { return Link().Activity().Settled(); }, kLimitMs);
    if (m_tty && m_drawn >= 0 && m_drawn < 10) std::fputc('\n', stderr);
}

}  // namespace orvex::cli
