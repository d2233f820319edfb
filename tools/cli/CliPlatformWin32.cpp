#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <fcntl.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>

#include "tools/cli/CliPlatform.h"

namespace orvex::cli {

std::vector<std::string> CommandLineArguments(int, char**) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; wide && i < count; ++i) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
        ::WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
        arg.resize(arg.size() - 1);  // the terminating zero
        args.push_back(std::move(arg));
    }
    if (wide) ::LocalFree(wide);
    return args;
}

namespace {
// Set before any output, while the relay below may stand between stderr
// and the console.
bool g_stderrIsConsole = false;

bool IsConsole(int fd) {
    DWORD mode = 0;
    const auto h = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
    return h != INVALID_HANDLE_VALUE && ::GetConsoleMode(h, &mode) != 0;
}

// How many bytes at the end of text begin a UTF-8 sequence that the next
// chunk completes.
std::size_t IncompleteTail(const char* text, std::size_t size) {
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const auto c = static_cast<unsigned char>(text[size - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}
}  // namespace

bool StderrIsTerminal() { return g_stderrIsConsole || ::_isatty(::_fileno(stderr)) != 0; }

// The C runtime hands a console its bytes through the console's code page
// (or, under Wine, byte by byte), which garbles every character outside
// ASCII. So while a console is on stdout or stderr, those descriptors write
// into a pipe, and a thread passes the text on to the console as UTF-16.
// Both go through the one pipe so that their order is kept.
struct Utf8Console::Impl {
    HANDLE console = INVALID_HANDLE_VALUE;
    int readFd = -1;
    HANDLE readEnd = INVALID_HANDLE_VALUE;
    int saved[3] = {-1, -1, -1};  // the console's descriptors put aside, by number
    HANDLE thread = nullptr;

    static DWORD WINAPI Relay(void* self) {
        const Impl& impl = *static_cast<Impl*>(self);
        char buffer[4096];
        std::size_t kept = 0;
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(impl.readEnd, buffer + kept, static_cast<DWORD>(sizeof buffer - kept), &got, nullptr) ||
                got == 0)
                break;
            const std::size_t size = kept + got;
            const std::size_t tail = IncompleteTail(buffer, size);
            impl.Show(buffer, size - tail);
            std::memmove(buffer, buffer + size - tail, tail);
            kept = tail;
        }
        impl.Show(buffer, kept);
        return 0;
    }

    void Show(const char* text, std::size_t size) const {
        if (size == 0) return;
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), nullptr, 0);
        if (n <= 0) return;
        std::wstring wide(static_cast<std::size_t>(n), L'\0');
        ::MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(size), wide.data(), n);
        for (std::size_t done = 0; done < wide.size();) {
            DWORD wrote = 0;
            if (!::WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(wide.size() - done), &wrote, nullptr) ||
                wrote == 0)
                return;
            done += wrote;
        }
    }
};

Utf8Console::Utf8Console() {
    g_stderrIsConsole = IsConsole(2);
    const bool out = IsConsole(1);
    if (!out && !g_stderrIsConsole) return;
    auto impl = std::make_unique<Impl>();
    int ends[2] = {-1, -1};
    // Text mode on the writing end keeps the line ends the runtime gave the
    // console before.
    if (::_pipe(ends, 4096, _O_BINARY | _O_NOINHERIT) != 0) return;
    impl->readFd = ends[0];
    impl->readEnd = reinterpret_cast<HANDLE>(::_get_osfhandle(ends[0]));
    ::_setmode(ends[1], _O_TEXT);
    std::fflush(stdout);
    std::fflush(stderr);
    for (const int fd : {1, 2}) {
        if (!(fd == 1 ? out : g_stderrIsConsole)) continue;
        impl->saved[fd] = ::_dup(fd);
        ::_dup2(ends[1], fd);
    }
    ::_close(ends[1]);
    // The handle the descriptor had is closed with it; the copy put aside
    // is the one to write to.
    impl->console = reinterpret_cast<HANDLE>(::_get_osfhandle(impl->saved[out ? 1 : 2]));
    impl->thread = ::CreateThread(nullptr, 0, &Impl::Relay, impl.get(), 0, nullptr);
    if (!impl->thread) {
        // Without the relay the console gets the bytes as before.
        for (const int fd : {1, 2}) {
            if (impl->saved[fd] < 0) continue;
            ::_dup2(impl->saved[fd], fd);
            ::_close(impl->saved[fd]);
        }
        ::_close(ends[0]);
        return;
    }
    m_impl = std::move(impl);
}

Utf8Console::~Utf8Console() {
    if (!m_impl) return;
    std::fflush(stdout);
    std::fflush(stderr);
    // Putting the console back closes the pipe's writing ends, so the relay
    // reads to the end and stops.
    for (const int fd : {1, 2}) {
        if (m_impl->saved[fd] < 0) continue;
        ::_dup2(m_impl->saved[fd], fd);
        ::_close(m_impl->saved[fd]);
    }
    ::WaitForSingleObject(m_impl->thread, INFINITE);
    ::CloseHandle(m_impl->thread);
    ::_close(m_impl->readFd);
}

// The console calls its control handler on a thread of its own.
namespace {
std::mutex g_handlerMutex;
std::function<void()> g_onInterrupt;

BOOL WINAPI OnConsoleControl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    std::lock_guard lock(g_handlerMutex);
    if (g_onInterrupt) g_onInterrupt();
    return TRUE;
}
}  // namespace

struct InterruptHandler::Impl {};

InterruptHandler::InterruptHandler() : m_impl(std::make_unique<Impl>()) {
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void InterruptHandler::OnInterrupt(std::function<void()> fn) {
    std::lock_guard lock(g_handlerMutex);
    g_onInterrupt = std::move(fn);
}

InterruptHandler::~InterruptHandler() {
    ::SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::lock_guard lock(g_handlerMutex);
    g_onInterrupt = nullptr;
}

}  // namespace orvex::cli
