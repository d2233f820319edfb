#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <mutex>

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

bool StderrIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

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
