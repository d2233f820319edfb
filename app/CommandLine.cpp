#include "app/CommandLine.h"

#include <algorithm>
#include <array>

namespace orvex {
namespace {

// The toolkit's documented options, for any platform it runs on. Each may be
// written with one dash or two, and those with a value as "-opt=value".
constexpr std::array<std::string_view, 15> kToolkitWithValue = {
    "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry",
    "style", "stylesheet", "name", "title", "visual"};
constexpr std::array<std::string_view, 6> kToolkitPlain = {
    "reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};
// Only ever written with its value after "=".
constexpr std::string_view kToolkitDebugger = "qmljsdebugger";

template <std::size_t N>
bool Among(const std::array<std::string_view, N>& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// How many arguments a toolkit option takes up, itself included; 0 if the
// argument is none of its options.
int ToolkitOptionLength(std::string_view arg) {
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    const std::size_t equals = arg.find('=');
    if (equals != std::string_view::npos) {
        const std::string_view name = arg.substr(0, equals);
        return Among(kToolkitWithValue, name) || name == kToolkitDebugger ? 1 : 0;
    }
    if (Among(kToolkitWithValue, arg)) return 2;
    return Among(kToolkitPlain, arg) ? 1 : 0;
}

}  // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (!options || a.size() < 2 || a.front() != '-') {
            line.files.emplace_back(a);
        } else if (a == "--") {
            options = false;
        } else if (a == "-h" || a == "--help") {
            line.request = Request::Help;
            return line;
        } else if (a == "-v" || a == "--version") {
            line.request = Request::Version;
            return line;
        } else if (const int length = ToolkitOptionLength(a); length > 0) {
            i += length - 1;
        } else if (line.request == Request::Run) {
            // Help or version later on the line still wins.
            line.request = Request::Wrong;
            line.wrong = a;
        }
    }
    return line;
}

}  // namespace orvex
