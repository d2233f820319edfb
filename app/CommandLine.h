// What the orvex command line asks for. Read before the toolkit starts, so
// --help, --version and a wrong option need no display; the toolkit's own
// options are let through with their values for it to take.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvex {

enum class Request { Run, Help, Version, Wrong };

struct CommandLine {
    Request request = Request::Run;
    std::string wrong;               // the first option not understood
    std::vector<std::string> files;  // as given: the bytes the file calls take
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

}  // namespace orvex
