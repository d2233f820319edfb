#pragma once
// The operating system's own wording for an error number: strerror() of an
// errno value on POSIX, the system message of a GetLastError() value on
// Windows.
#include <string>

namespace orvex {

std::string SystemErrorText(int code);

}  // namespace orvex
