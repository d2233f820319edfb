#include "settings/Trace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace orvex {
namespace {

std::mutex g_traceMutex;
TraceSink g_traceSink;

bool EnvTraceOn() {
    static const bool on = std::getenv("ORVEX_TRACE") != nullptr;
    return on;
}

}  // namespace

void SetTraceSink(TraceSink sink) {
    std::lock_guard lock(g_traceMutex);
    g_traceSink = std::move(sink);
}

void Trace(const char* format, ...) {
    std::lock_guard lock(g_traceMutex);
    if (!g_traceSink && !EnvTraceOn()) return;
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (g_traceSink)
        g_traceSink(buffer);
    else
        std::fputs(buffer, stderr);
}

}  // namespace orvex
