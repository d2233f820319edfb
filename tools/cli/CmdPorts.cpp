// ports and search: which device each COM number means, and Auto Search.
#include <dirent.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <thread>

#include "link/PortMap.h"
#include "link/PortSearch.h"
#include "link/PortSettingsFile.h"
#include "tools/cli/CliSession.h"

namespace orvex::cli {
namespace {

// Devices some process holds open (as far as /proc lets us see).
std::set<std::string> DevicesInUse() {
    std::set<std::string> used;
    DIR* proc = ::opendir("/proc");
    if (!proc) return used;
    while (const dirent* p = ::readdir(proc)) {
        if (p->d_name[0] < '0' || p->d_name[0] > '9') continue;
        const std::string fdDir = std::string("/proc/") + p->d_name + "/fd";
        DIR* fds = ::opendir(fdDir.c_str());
        if (!fds) continue;
        while (const dirent* f = ::readdir(fds)) {
            char target[512];
            const std::string link = fdDir + "/" + f->d_name;
            const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
            if (n > 0 && target[0] == '/') used.insert(std::string(target, static_cast<std::size_t>(n)));
        }
        ::closedir(fds);
    }
    ::closedir(proc);
    return used;
}

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

class StatusPrinter : public IFormObserver {
public:
    explicit StatusPrinter(FormModel& form) : m_form(form) {}
    void OnFormChanged(unsigned changes) override {
        if (!(changes & kChangeStatus) || m_form.StatusText() == m_last) return;
        m_last = m_form.StatusText();
        std::fprintf(stderr, "%s\n", m_last.c_str());
    }

private:
    FormModel& m_form;
    std::string m_last;
};

}  // namespace

int CmdPorts(const Args& args) {
    if (!args.empty()) return UsageError("ports takes no arguments");
    std::string mapError;
    const PortMap map = PortMap::FromSystem(&mapError);
    if (!mapError.empty()) std::fprintf(stderr, "orvex-cli: %s\n", mapError.c_str());
    const auto used = DevicesInUse();
    const int remembered = ReadPortSettings(PortSettingsPath()).index + 1;
    std::printf("%-7s %-32s %s\n", "PORT", "DEVICE", "STATE");
    for (int n = 1; n <= kMaxComNumber; ++n) {
        const std::string device = map.DeviceFor(n);
        if (device.empty()) continue;
        struct stat st {};
        const bool exists = ::stat(device.c_str(), &st) == 0;
        const bool busy = exists && used.count(RealPath(device));
        std::printf("COM%-4d %-32s %s%s\n", n, device.c_str(), !exists ? "missing" : busy ? "in use" : "present",
                    n == remembered ? "  (remembered)" : "");
    }
    std::printf("\nPort settings file: %s (COM%d)\n", PortSettingsPath().c_str(), remembered);
    std::printf("Override with ORVEX_PORT_MAP=\"COM3=/dev/ttyUSB1,COM4=/dev/ttyS0\".\n");
    return kExitOk;
}

int CmdSearch(const Args& args) {
    if (!args.empty()) return UsageError("search takes no arguments");
    // Ctrl+C acts as Auto Stop: a thread takes the signal and hands it to
    // the loop, where the search lives.
    sigset_t interrupt;
    sigemptyset(&interrupt);
    sigaddset(&interrupt, SIGINT);
    pthread_sigmask(SIG_BLOCK, &interrupt, nullptr);

    CliSession session("");
    StatusPrinter printer(session.Form());
    session.Form().SetObserver(&printer);
    CPortSearch search(session.Form(), session.Link(), session.Loop(), PortSettingsPath());
    bool stopped = false;
    std::thread waiter([&] {
        int sig = 0;
        if (sigwait(&interrupt, &sig) == 0 && sig == SIGINT)
            session.Loop().Post([&] {
                if (!stopped) search.OnAutoStop();
                stopped = true;
            });
    });
    search.OnAutoSearch();
    session.Loop().RunUntil(
        [&] { return search.Settled() && !search.Active() && !session.Link().Pausing(); }, 24 * 3600 * 1000LL);
    const bool found = !stopped && search.PortIndex() > 0 && session.Link().Port().IsConnected();
    if (found)
        std::printf("COM%d\n", session.Link().ConfiguredPort() + 1);
    session.Form().SetObserver(nullptr);
    pthread_kill(waiter.native_handle(), SIGINT);
    waiter.join();
    return found ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
