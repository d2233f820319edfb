#pragma once
// Diagnostic trace lines: a debug channel the user never sees. Lines go to
// stderr only when ORVEX_TRACE is set in the environment, or to a sink that a
// test or front end installs.
#include <functional>
#include <string>

namespace orvex {

using TraceSink = std::function<void(const std::string&)>;

// Installs a sink for trace lines; an empty sink restores the default.
void SetTraceSink(TraceSink sink);

// printf-style trace; the text is formatted only when someone listens.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orvex
